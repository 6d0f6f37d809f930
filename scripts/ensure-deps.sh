#!/usr/bin/env bash
# Installs the Debian packages the project needs; quiet when all are there.
# --package-tools adds the heavier ones only the package test needs.
# The Windows builds take the win32 thread model of mingw-w64, which keeps the
# executables free of imports that Windows XP lacks (the posix one pulls in
# GetTickCount64); wine32 runs the 32-bit executables and needs the i386
# architecture.
set -euo pipefail

packages=(
  cmake ninja-build g++ pkg-config
  libgtest-dev nlohmann-json3-dev libmount-dev
  clang libclang-rt-14-dev
  hdparm libatasmart-bin
  util-linux fdisk mount e2fsprogs dosfstools xxd dmsetup
  qt6-base-dev qt6-qpa-plugins libgl-dev
  fonts-noto-cjk fonts-liberation fonts-dejavu-core fontconfig
  xvfb xauth
  qt6-translations-l10n
  scdoc librsvg2-bin gzip dpkg-dev desktop-file-utils appstream libxml2-utils groff-base man-db
  g++-mingw-w64-x86-64-posix
  g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
  binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
  googletest zip
  wine wine64 wine32:i386 fonts-wine
)
if [ "${1:-}" = "--package-tools" ]; then
  # pkexec brings polkitd, which has the polkit policy DTD.
  packages+=(lintian pkexec)
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

echo "Installing: ${missing[*]}"
sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
log=/tmp/quarnel-apt.log
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
    echo "Installing the packages failed (log: $log)" >&2
    exit 1
  fi
fi
