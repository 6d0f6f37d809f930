#!/usr/bin/env bash
# The desktop program's command line reaches Qt with the program's name only:
# a platform plugin offered by -platformpluginpath and -platform is never
# loaded, and every argument the program does not define is refused.
# Usage: qt-arguments.sh QUARNEL MARKER_PLUGIN
set -uo pipefail
quarnel=$1 plugin=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/plugins"
cp "$plugin" "$work/plugins/"
export QUARNEL_MARKER_FILE="$work/loaded" QT_QPA_PLATFORM=offscreen XDG_DATA_HOME="$work/data"
failed=0
expect_refused() {  # ARGUMENTS...: refused with status 2 and a line naming the argument
  local status=0
  timeout 60 "$quarnel" "$@" >"$work/out" 2>&1 </dev/null || status=$?
  if [ $status -ne 2 ] || ! grep -q 'unknown argument' "$work/out"; then
    echo "FAIL: quarnel $* gave status $status:"; cat "$work/out"; failed=1
  fi
  if [ -e "$work/loaded" ]; then
    echo "FAIL: quarnel $* loaded the plugin from -platformpluginpath"; failed=1
    rm -f "$work/loaded"
  fi
}
expect_refused --simulate -platformpluginpath "$work/plugins" -platform marker
expect_refused -platform marker --simulate
expect_refused --simulate --style=fusion
expect_refused --simulate extra
[ $failed -eq 0 ] && echo "Every foreign argument refused; the plugin was not loaded."
exit $failed
