#!/usr/bin/env bash
# Installs what is missing, builds (Linux, and Windows with mingw-w64), and
# runs every test: the Linux build's, then the Windows builds' under wine.
# Arguments go to ctest. The exit status is 0 only when all of them passed.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh --tests
scripts/build.sh --tests
scripts/build-windows.sh
status=0
(cd build && ctest --output-on-failure -j2 "$@") || status=1
scripts/build-windows.sh --test "$@" || status=1
exit $status
