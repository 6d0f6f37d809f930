#!/usr/bin/env bash
# Runs the terminal program of the Linux build and quarnel-cli.exe under wine
# on the simulated demo machine and fails when a command prints otherwise
# (line ends, time stamps and the measured speed aside) or ends with another status. The path
# line of the debug log names each program's own folder and is left out.
# Usage: compare-cli.sh LINUX_CLI WINDOWS_CLI_EXE
set -uo pipefail
native=$1 exe=$2
wine_run="$(dirname "$0")/../../scripts/wine-run.sh"
[ -x "$native" ] || { echo "no Linux build of quarnel-cli at $native: skipped"; exit 77; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

normalise() {
  tr -d '\r' | sed -E -e 's#[0-9]{1,4}[/.-][0-9]{1,2}[/.-][0-9]{1,4} [0-9]{1,2}:[0-9]{2}:[0-9]{2}( [AP]M)?#<time>#g' \
    -e 's#(平均速度: ).*#\1<speed>#' |
    # The progress lines follow each machine's clock: which percentages get
    # a line, the speed and the times differ from run to run.
    grep -v -e 'Program Path: ' -e '% 完成   '
}

failed=0
while IFS= read -r line; do
  read -ra args <<<"$line"
  "$native" "${args[@]}" >"$work/n.out" 2>"$work/n.err" </dev/null
  n_status=$?
  "$wine_run" "$exe" "${args[@]}" >"$work/w.out" 2>"$work/w.err" </dev/null
  w_status=$?
  for s in out err; do
    normalise <"$work/n.$s" >"$work/n.$s.txt"
    normalise <"$work/w.$s" >"$work/w.$s.txt"
    if ! diff -u --label "linux $line ($s)" --label "wine $line ($s)" "$work/n.$s.txt" "$work/w.$s.txt"; then
      failed=1
    fi
  done
  if [ "$n_status" != "$w_status" ]; then
    echo "$line: exit status $n_status on Linux, $w_status under wine"
    failed=1
  fi
  echo "$line: $(wc -l <"$work/w.out.txt") + $(wc -l <"$work/w.err.txt") lines, status $w_status"
done <<'COMMANDS'
--simulate list
--simulate details 1
--simulate smart 1
--simulate details 3
--simulate smart 2
--simulate --debug list
--simulate format 2 --quick --yes
--simulate format 1
--simulate details 9
--simulate frobnicate
--version
COMMANDS
exit $failed
