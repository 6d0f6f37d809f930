#!/usr/bin/env bash
# Installs what is missing, builds, and runs every test; the last line is the
# test runner's summary.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
scripts/build.sh
cd build
ctest --output-on-failure -j2 "$@"
