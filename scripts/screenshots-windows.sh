#!/usr/bin/env bash
# Runs quarnel.exe under wine in a virtual desktop on Xvfb, on the demo
# machine, a scripted user answering every window, and writes one PNG per
# step, window frame included, to build-win64/screenshots/: the agreement, the
# chooser, the three main-window pages (S.M.A.R.T. after a read), the format
# confirmation, a quick wipe in progress and after its stop, and the debug
# window of a start with --debug.
set -euo pipefail
cd "$(dirname "$0")/.."
build=build-win64
[ -f "$build/CMakeCache.txt" ] || scripts/build-windows.sh
nice cmake --build "$build" --target quarnel-screenshots -- -j2 >/dev/null
out="$build/screenshots"
rm -rf "$out"
mkdir -p "$out"
prefix="$PWD/$build/wineprefix"
source scripts/wine-env.sh
scripts/wine-prefix.sh "$prefix"
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# The frame's buttons need wine's Marlett (fonts-wine). The windows' faces
# take their Chinese glyphs from the CJK font of fontconfig (fonts-noto-cjk)
# by the system's font links; the report panes' Courier New becomes the
# fixed-pitch face of that font.
cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/"
link='HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink'
for face in Tahoma "MS Shell Dlg" "MS Shell Dlg 2" "Microsoft Sans Serif"; do
  wine reg add "$link" /v "$face" /t REG_MULTI_SZ /d "NotoSansCJK-Regular.ttc,Noto Sans CJK SC" \
    /f >/dev/null 2>&1
done
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "Courier New" /t REG_SZ \
  /d "Noto Sans Mono CJK SC" /f >/dev/null 2>&1
tool=$(winepath -w "$build/quarnel-screenshots.exe")
target=$(winepath -w "$out")
shoot() {
  # The virtual desktop draws the frames that a window manager would.
  timeout 180 xvfb-run -a -s "-screen 0 1280x800x24" \
    wine explorer /desktop=Quarnel,1200x760 "$tool" "$target" "$@" </dev/null
}
shoot
shoot --debug
wineserver -k 2>/dev/null || true
count=$(find "$out" -name '*.png' | wc -l)
echo "Screenshots in $out ($count pictures)"
[ "$count" -eq 9 ]
