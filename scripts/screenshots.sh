#!/usr/bin/env bash
# Runs the desktop program under Xvfb on the demo machine, a scripted user
# answering every window, and writes one PNG per step to build/screenshots/:
# the agreement, the chooser, the three main-window pages (S.M.A.R.T. after a
# read), the format confirmation, a quick wipe in progress and after its stop,
# and the debug window of a start with --debug.
# BUILD_DIR=folder uses another configured build folder.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh --tests
build="${BUILD_DIR:-build}"
if [ "$build" = build ]; then
  scripts/build.sh --tests
else
  cmake --build "$build" --target quarnel-screenshots -- -j2 >/dev/null
fi
out="$build/screenshots"
rm -rf "$out"
mkdir -p "$out"
# The tool uses a fresh data folder of its own: the agreement shows as on a
# first start.
xvfb-run -a -s "-screen 0 1280x800x24" "$build/quarnel-screenshots" "$out"
# The debug window of a start with --debug.
xvfb-run -a -s "-screen 0 1280x800x24" "$build/quarnel-screenshots" "$out" --debug
# Without administrator rights: the message and the chooser's status line.
xvfb-run -a -s "-screen 0 1280x800x24" "$build/quarnel-screenshots" "$out" --no-rights
echo "Screenshots in $out"
