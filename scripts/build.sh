#!/usr/bin/env bash
# Configures and builds into build/.
set -euo pipefail
cd "$(dirname "$0")/.."
if ! grep -q '^QUARNEL_WERROR:BOOL=ON' build/CMakeCache.txt 2>/dev/null; then
  cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUARNEL_WERROR=ON >/dev/null
fi
cmake --build build -- -j"$(nproc)" | grep -v '^\[' || true
test "${PIPESTATUS[0]}" -eq 0
