#!/usr/bin/env bash
# Installs what is missing, builds (Linux, and Windows with mingw-w64), and
# runs every test: the Linux build's, then the Windows builds' under wine.
# Arguments go to ctest. The exit status is 0 only when all of them passed;
# a suite this machine cannot run is named as skipped, with the reason, in
# the summary at the end.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh --tests
scripts/build.sh --tests
scripts/build-windows.sh
# Whether 32-bit programs run here is found out once, for every script below.
source scripts/wine-env.sh
status=0
summary=()
if (cd build && ctest --output-on-failure -j2 "$@"); then
  summary+=("Linux tests: passed")
else
  summary+=("Linux tests: FAILED")
  status=1
fi
suites="build-win64 and build-win32"
[ "$QUARNEL_WINE32" = yes ] || suites="build-win64"
if scripts/build-windows.sh --test "$@"; then
  summary+=("Windows tests ($suites): passed")
else
  summary+=("Windows tests ($suites): FAILED")
  status=1
fi
[ "$QUARNEL_WINE32" = yes ] ||
  summary+=("Windows tests (build-win32): SKIPPED, not run: $QUARNEL_WINE32")
echo
echo "Summary:"
printf '  %s\n' "${summary[@]}"
exit $status
