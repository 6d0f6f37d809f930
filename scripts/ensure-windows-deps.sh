#!/usr/bin/env bash
# Installs what the Windows builds and their tests under wine need; quiet when
# all is there. The win32 thread model of mingw-w64 keeps the executables free
# of imports that Windows XP lacks (the posix one pulls in GetTickCount64).
# wine32 runs the 32-bit executables and needs the i386 architecture.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  googletest nlohmann-json3-dev zip
  wine wine64 wine32:i386 fonts-wine
)

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
log=/tmp/quarnel-apt-windows.log
apt=($sudo apt-get -o DPkg::Lock::Timeout=600)
: >"$log"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  "${apt[@]}" update -q >>"$log" 2>&1
fi
if ! "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
  "${apt[@]}" update -q >>"$log" 2>&1
  if ! "${apt[@]}" install -y -q --no-install-recommends "${missing[@]}" >>"$log" 2>&1; then
    tail -20 "$log" >&2
    echo "Installing the Windows build packages failed (log: $log)" >&2
    exit 1
  fi
fi
