#!/usr/bin/env bash
# quarnel-cli.exe in a console under wine (a pseudo-terminal from script(1)):
# the Chinese text shows, a typed "yes" goes ahead, the progress line is
# drawn, and Ctrl+C during a run stops it after the block in hand.
# Usage: cli-console.sh QUARNEL_CLI_EXE
set -uo pipefail
exe=$(cd "$(dirname "$1")" && pwd)/$(basename "$1")
wine_run="$(cd "$(dirname "$0")/../.." && pwd)/scripts/wine-run.sh"
work=$(mktemp -d)
pid=""
trap '[ -n "$pid" ] && kill "$pid" 2>/dev/null; rm -rf "$work"' EXIT

# session NAME ARGS...: starts the program in a console, its keys from a fifo.
session() {
  local name=$1
  shift
  mkfifo "$work/$name.keys"
  script -qfec "$wine_run $exe $*; echo \"[status \$?]\"" /dev/null \
    <"$work/$name.keys" >"$work/$name.out" 2>&1 &
  pid=$!
  exec 7>"$work/$name.keys"
}
# wait_for NAME TEXT: up to 60 s for TEXT on the console.
wait_for() {
  for _ in $(seq 600); do
    grep -qF -- "$2" "$work/$1.out" 2>/dev/null && return 0
    sleep 0.1
  done
  echo "no \"$2\" on the console after 60 s:"
  tr -d '\r' <"$work/$1.out" | sed 's/\x1b\[[0-9;?]*[A-Za-z]//g' | tail -20
  return 1
}
finish() {
  exec 7>&-
  wait "$pid"
  pid=""
}

failed=0
session yes --simulate format 2 --quick
wait_for yes "Type yes to go ahead" && printf 'yes\r' >&7 &&
  wait_for yes "[status 0]" && wait_for yes "低级格式完成。" && wait_for yes "100%" || failed=1
finish

session stop --simulate format 1
wait_for stop "Type yes to go ahead" && printf 'yes\r' >&7 && wait_for stop "%" &&
  printf '\003' >&7 && wait_for stop "在偏移时取消操作" && wait_for stop "[status 3]" || failed=1
finish
exit $failed
