#!/usr/bin/env bash
# Runs a Windows program under wine: the emulator of the Windows builds'
# tests. The wine prefix is the folder "wineprefix" of the build folder that
# holds the program (or $QUARNEL_WINEPREFIX); it is made on first use and
# reused after that.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 PROGRAM.exe [ARGUMENTS...]" >&2; exit 2; }
if [ -z "${QUARNEL_WINEPREFIX:-}" ]; then
  dir=$(cd "$(dirname "$1")" && pwd)
  while [ ! -f "$dir/CMakeCache.txt" ] && [ "$dir" != / ]; do dir=$(dirname "$dir"); done
  [ "$dir" != / ] || { echo "$0: $1 lies in no build folder" >&2; exit 2; }
  QUARNEL_WINEPREFIX="$dir/wineprefix"
fi
source "$(dirname "$0")/wine-env.sh"
"$(dirname "$0")/wine-prefix.sh" "$QUARNEL_WINEPREFIX"
export WINEPREFIX="$QUARNEL_WINEPREFIX" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec "$WINE" "$@"
