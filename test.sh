#!/usr/bin/env bash
# Installs what is missing, builds (Linux, and Windows with mingw-w64), and
# runs every test: the Linux build's, then the Windows builds' under wine.
#   --quick  leaves out the tests labelled slow (loop devices, the fuzzers,
#            the package, the Windows syntax check) and the Windows suites:
#            a developer's run of a few minutes. CI runs everything.
# Other arguments go to ctest. The exit status is 0 only when all of them
# passed; every suite and every test that did not run is named in the
# summary at the end, with the reason.
set -euo pipefail
cd "$(dirname "$0")"
quick=0
if [ "${1:-}" = --quick ]; then
  quick=1
  shift
fi
scripts/ensure-deps.sh --tests
scripts/build.sh --tests
# Whether 32-bit programs run here is found out once, for every script below.
source scripts/wine-env.sh
status=0
summary=()
skips() {  # JUNIT-FILE SUITE: one summary line per test that did not run
  local line
  while IFS= read -r line; do
    summary+=("  SKIPPED ($2): $line")
  done < <(scripts/ctest-skips.sh "$1")
}
# The Windows builds compile for real everything windows_syntax compiles
# for syntax only (and the headers after <windows.h>), so a full run leaves it
# to them.
selection=(-E '^windows_syntax$')
[ $quick -eq 1 ] && selection=(-LE slow)
junit=$PWD/build/ctest-junit.xml
rm -f "$junit"
if (cd build && ctest --output-on-failure -j2 --output-junit "$junit" "${selection[@]}" "$@"); then
  summary+=("Linux tests: passed")
else
  summary+=("Linux tests: FAILED")
  status=1
fi
skips "$junit" Linux
if [ $quick -eq 1 ]; then
  while IFS= read -r name; do
    summary+=("  SKIPPED (Linux): $name: labelled slow, not run with --quick")
  done < <(cd build && ctest -N -L slow | sed -n 's/^ *Test *#[0-9]*: //p')
else
  summary+=("  SKIPPED (Linux): windows_syntax: the Windows builds below compile the same sources")
fi
if [ $quick -eq 1 ]; then
  summary+=("Windows tests: SKIPPED, not run with --quick")
else
  suites="build-win64 and build-win32"
  [ "$QUARNEL_WINE32" = yes ] || suites="build-win64"
  if scripts/build-windows.sh --test "$@"; then
    summary+=("Windows tests ($suites): passed")
  else
    summary+=("Windows tests ($suites): FAILED")
    status=1
  fi
  skips build-win64/ctest-junit.xml build-win64
  [ "$QUARNEL_WINE32" = yes ] && skips build-win32/ctest-junit.xml build-win32
  [ "$QUARNEL_WINE32" = yes ] ||
    summary+=("Windows tests (build-win32): SKIPPED, not built or run: $QUARNEL_WINE32")
fi
echo
echo "Summary:"
printf '  %s\n' "${summary[@]}"
exit $status
