#!/usr/bin/env bash
# Makes the wine prefix PREFIX once: wineboot (about 10 to 20 s, no display
# needed), then a warm-up call; later calls reuse it. The prefix's wine
# server stays up between the calls of a test run (wineserver -p, only after
# the warm-up: on a cold prefix it can keep the caller waiting).
set -euo pipefail
prefix=${1:?usage: wine-prefix.sh PREFIX}
source "$(dirname "$0")/wine-env.sh"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$prefix/.quarnel-ready" ]; then
  mkdir -p "$(dirname "$prefix")"
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$prefix/.quarnel-ready" ]; then
    rm -rf "$prefix"
    wineboot -i </dev/null >/dev/null 2>&1
    wine cmd /c exit </dev/null >/dev/null 2>&1
    touch "$prefix/.quarnel-ready"
  fi
  exec 9>&-
fi
# The server stays up 30 s after its last client. A new one starts its
# services (explorer, winedevice, ...) at the first call: that call is made
# here, so that they do not hold the caller's output open (ctest would wait
# for them).
if wineserver -p30 </dev/null >/dev/null 2>&1; then
  wine cmd /c exit </dev/null >/dev/null 2>&1
fi
