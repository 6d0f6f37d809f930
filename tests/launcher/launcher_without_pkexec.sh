#!/usr/bin/env bash
# The launcher with no pkexec on PATH says so and starts nothing. Root would
# start the program directly, so root runs it as nobody.
set -euo pipefail
launcher=$1
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
mkdir "$tmp/empty"
cp "$launcher" "$tmp/quarnel-launcher"
chmod 755 "$tmp/quarnel-launcher"
run=(env -i PATH="$tmp/empty" DISPLAY=:0 HOME="$tmp" "$tmp/quarnel-launcher")
if [ "$(id -u)" -eq 0 ]; then
  run=(setpriv --reuid=65534 --regid=65534 --clear-groups "${run[@]}")
fi
status=0
"${run[@]}" >"$tmp/out" 2>"$tmp/err" || status=$?
cat "$tmp/err"
if [ "$status" -ne 1 ]; then
  echo "FAIL: exit status $status, expected 1" >&2
  exit 1
fi
if ! grep -q "pkexec was not found, so Quarnel cannot ask for administrator rights" "$tmp/err"; then
  echo "FAIL: no word about the missing pkexec" >&2
  exit 1
fi
if [ -s "$tmp/out" ]; then
  echo "FAIL: unexpected output" >&2
  exit 1
fi
