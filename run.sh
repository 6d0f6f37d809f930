#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quarnel. Arguments are passed on,
# for example: ./run.sh --simulate
#   With a terminal command (list, details, smart, format) it runs quarnel-cli;
#   otherwise the desktop program, or, where there is no display, the terminal
#   program's drive list.
# Only what the two Linux programs need is installed and built here; test.sh
# adds the tests, the package tools and the Windows builds.
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
scripts/build.sh
for a in "$@"; do
  case "$a" in
    list | details | smart | format) exec build/quarnel-cli "$@" ;;
  esac
done
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): starting quarnel-cli $* list instead." >&2
  exec build/quarnel-cli "$@" list
fi
exec build/quarnel "$@"
