#!/usr/bin/env bash
# setup: links the drive letter X: of the wine prefix PREFIX to a new 16 MiB
# image file filled with FFh (\\.\X: then opens the image), and starts the
# prefix's wine server afresh so that it lists X:. Made before any test of the
# run, since the restart ends every wine program of the prefix.
# cleanup: removes the links and the image.
set -euo pipefail
[ $# -eq 3 ] || { echo "usage: $0 setup|cleanup PREFIX IMAGE" >&2; exit 2; }
action=$1 prefix=$2 image=$3
dosdevices="$prefix/dosdevices"
case "$action" in
  setup)
    "$(dirname "$0")/wine-prefix.sh" "$prefix"
    WINEPREFIX="$prefix" wineserver -k 2>/dev/null || true
    WINEPREFIX="$prefix" wineserver -w 2>/dev/null || true
    mkdir -p "$(dirname "$image")" "$image.root"
    head -c 16777216 /dev/zero | tr '\0' '\377' >"$image"
    ln -sfn "$image.root" "$dosdevices/x:"
    ln -sfn "$image" "$dosdevices/x::"
    "$(dirname "$0")/wine-prefix.sh" "$prefix"
    ;;
  cleanup)
    rm -f "$dosdevices/x:" "$dosdevices/x::" "$image"
    rm -rf "$image.root"
    ;;
  *) echo "usage: $0 setup|cleanup PREFIX IMAGE" >&2; exit 2 ;;
esac
