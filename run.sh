#!/usr/bin/env bash
# Installs what is missing, builds, and starts Quarnel. Arguments are passed on,
# for example: ./run.sh --simulate
set -euo pipefail
cd "$(dirname "$0")"
scripts/ensure-deps.sh
scripts/build.sh
commands=0
for a in "$@"; do case "$a" in list|details|smart) commands=1 ;; esac; done
if [ "$commands" -eq 0 ]; then
  exec build/quarnel-cli "$@" list
fi
exec build/quarnel-cli "$@"
