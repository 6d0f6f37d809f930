#!/usr/bin/env bash
# quarnel-cli.exe under wine on WinHost, through the drive letter X: linked to
# an image file: wine refuses the identification's requests, so the drive
# opens, is not identified and stays out of the list; what is not a Windows
# device path is refused before anything is opened.
# Usage: cli-refusals.sh QUARNEL_CLI_EXE
set -uo pipefail
exe=$1
wine_run="$(dirname "$0")/../../scripts/wine-run.sh"
failed=0
# expect STATUS PATTERN ARGS...: the exit status and a line of the output.
expect() {
  local status=$1 pattern=$2
  shift 2
  local out
  out=$("$wine_run" "$exe" "$@" 2>&1 </dev/null | tr -d '\r')
  local got=${PIPESTATUS[0]}
  if [ "$got" != "$status" ] || ! grep -qF -- "$pattern" <<<"$out"; then
    echo "quarnel-cli.exe $*: expected status $status and \"$pattern\", got status $got:"
    echo "$out" | head -40
    failed=1
  fi
}
expect 0 'Trying device \\.\X:' '--devices=\\.\X:' --debug list
expect 0 'Done. Status = 0' '--devices=\\.\X:' --debug list
expect 0 '找到扇区 X:      设备类型: 7   设备编号: 0' '--devices=\\.\X:' --debug list
expect 0 '找到磁盘: 0' '--devices=\\.\X:' list
expect 1 'no drive 1 in the list; these were found:' '--devices=\\.\X:' format 1 --quick --yes
expect 1 'C: is no Windows device path' '--devices=C:' list
expect 1 'is listed twice' '--devices=\\.\X:,\\.\x:' list
# No Ed25519 on Windows: a signature check is refused with its own status
# before any file is read.
expect 7 'Ed25519 signatures are not available in this build' record check none.json --key none.pub
# Several drives in one command: a process per drive under wine too; the
# demo hard disk hides sectors, so the batch's status is that of
# visible-sectors-only, and the other drive's row is complete.
expect 6 'PhysicalDrive1  AA00000000000497  complete' --simulate format 1 2 --quick --yes
exit $failed
