#!/usr/bin/env bash
# The platform line and the NT-family test from the real GetVersionExW under
# wine, with the Windows version wine reports set in the prefix's registry
# (HKCU\Software\Wine, Version) for one run each and removed afterwards.
# Usage: cli-versions.sh QUARNEL_CLI_EXE
set -uo pipefail
exe=$1
wine_run="$(dirname "$0")/../../scripts/wine-run.sh"
source "$(dirname "$0")/../../scripts/wine-env.sh"
prefix=$(cd "$(dirname "$exe")" && pwd)/wineprefix
set_version() {
  if [ -n "$1" ]; then
    WINEPREFIX="$prefix" WINEDEBUG=-all wine reg add 'HKCU\Software\Wine' /v Version /d "$1" /f
  else
    WINEPREFIX="$prefix" WINEDEBUG=-all wine reg delete 'HKCU\Software\Wine' /v Version /f
  fi >/dev/null 2>&1 </dev/null
}
trap 'set_version ""' EXIT
failed=0
# expect VERSION STATUS PATTERN: a debug list on an empty drive list.
expect() {
  set_version "$1"
  local out
  out=$("$wine_run" "$exe" --debug '--devices=\\.\PhysicalDrive9' list 2>&1 </dev/null | tr -d '\r')
  local got=${PIPESTATUS[0]}
  if [ "$got" != "$2" ] || ! grep -qF -- "$3" <<<"$out"; then
    echo "Windows version $1: expected status $2 and \"$3\", got status $got:"
    echo "$out" | head -12
    failed=1
  fi
}
expect winxp 0 'Platform: 5.1.2600   Service Pack 3  ('
# The prefixes are 64-bit: the 64-bit program, and the 32-bit one under
# WOW64, both run on a 64-bit Windows.
expect win7 0 'Platform: 6.1.7601   Service Pack 1  (64 bit)'
expect win98 1 'Error: Only the following versions of Windows are supported: 2003, 2008, XP, Vista, 7'
exit $failed
