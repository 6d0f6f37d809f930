# Sourced by every script that starts wine. Finds out once whether this
# machine runs 32-bit programs, by starting wine's 32-bit loader, and exports:
#   QUARNEL_WINE32  "yes", or why the 32-bit Windows programs cannot run here
#   WINE            the loader for the 64-bit Windows programs
# Debian's `wine` wrapper (and wineboot, winepath, ... behind it) starts the
# 32-bit loader whenever wine32 is installed, so on a kernel without 32-bit
# support every call through it fails, the 64-bit programs' too: there the
# 64-bit loader is called directly.
# QUARNEL_NO_WINE32=1 takes the no-32-bit branch on any machine.
quarnel_wine32_loader=/usr/lib/wine/wine
quarnel_wine64_loader=/usr/lib/wine/wine64

if [ -z "${QUARNEL_WINE32:-}" ]; then
  if [ "${QUARNEL_NO_WINE32:-0}" = 1 ]; then
    QUARNEL_WINE32="QUARNEL_NO_WINE32=1 is set"
  elif [ ! -x "$quarnel_wine32_loader" ]; then
    # scripts/ensure-deps.sh says why it did not install wine32.
    quarnel_status=$(dirname "${BASH_SOURCE[0]}")/../build/wine32-status
    if [ -s "$quarnel_status" ]; then
      QUARNEL_WINE32=$(head -1 "$quarnel_status")
    else
      QUARNEL_WINE32="wine32 is not installed ($quarnel_wine32_loader is missing)"
    fi
  elif quarnel_probe=$("$quarnel_wine32_loader" --version 2>&1); then
    QUARNEL_WINE32=yes
  else
    QUARNEL_WINE32="this machine cannot run 32-bit programs ($quarnel_wine32_loader --version: ${quarnel_probe:-no output})"
  fi
  export QUARNEL_WINE32
fi
if [ "$QUARNEL_WINE32" = yes ]; then
  WINE=wine
else
  WINE=$quarnel_wine64_loader
  export WINELOADER=$quarnel_wine64_loader
fi
export WINE

# Windows's own tools, through the loader chosen above.
wineboot() { command "$WINE" wineboot.exe "$@"; }
winepath() { command "$WINE" winepath.exe "$@"; }
wine() { command "$WINE" "$@"; }
