#!/usr/bin/env bash
# Configures and builds into build/.
#   (no option)  the programs only: quarnel, quarnel-cli (run.sh)
#   --tests      everything, the tests included (test.sh, package.sh)
# The exit status is the build's: a failed compile or link fails the script.
set -euo pipefail
cd "$(dirname "$0")/.."
tests=OFF
[ "${1:-}" = --tests ] && tests=ON
cache=build/CMakeCache.txt
if ! grep -q '^QUARNEL_WERROR:BOOL=ON' "$cache" 2>/dev/null ||
   { [ $tests = ON ] && ! grep -q '^QUARNEL_TESTS:BOOL=ON' "$cache"; }; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_WERROR=ON \
    -DQUARNEL_TESTS=$tests >/dev/null
fi
targets=()
[ $tests = OFF ] && targets=(--target quarnel quarnel-cli)
source scripts/quiet-build.sh
quiet_build build "${targets[@]}" -- -j"$(nproc)"
