#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quarnel. Arguments are passed on,
# for example: ./run.sh --simulate
#   With a terminal command among them (list, details, smart, format, record,
#   ...: every command `quarnel-cli --help` lists) it runs quarnel-cli;
#   otherwise the desktop program, or, where there is no display, the terminal
#   program's drive list.
# Only what the two Linux programs need is installed and built here; test.sh
# adds the tests, the package tools and the Windows builds.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
scripts/build.sh
# The commands are the ones the terminal program's own usage lists, so that a
# new command needs no change here.
mapfile -t commands < <(build/quarnel-cli --help |
  sed -n '/^Commands:/,/^$/s/^  \([a-z][a-z-]*\) .*/\1/p' | sort -u)
for a in "$@"; do
  for c in "${commands[@]}"; do
    [ "$a" = "$c" ] && exec build/quarnel-cli "$@"
  done
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): starting quarnel-cli $* list instead." >&2
  exec build/quarnel-cli "$@" list
fi
exec build/quarnel "$@"
