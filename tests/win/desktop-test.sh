#!/usr/bin/env bash
# Runs quarnel.exe's window tests under wine on a virtual display of their own
# (xvfb-run), in a wine prefix of their own: PREFIX TEST.exe [ARGUMENTS...].
# The prefix's wine server and services hold the display, which ends with the
# run, so the server is stopped before and after it.
set -uo pipefail
prefix=${1:?usage: desktop-test.sh PREFIX TEST.exe [ARGUMENTS...]}
shift
export QUARNEL_WINEPREFIX=$prefix
stop() { [ -d "$prefix" ] && WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1; true; }
stop
xvfb-run -a -s "-screen 0 1280x800x24" "$(dirname "$0")/../../scripts/wine-run.sh" "$@"
status=$?
stop
exit $status
