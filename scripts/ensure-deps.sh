#!/usr/bin/env bash
# Installs the Debian packages the project needs; quiet when all are there.
# --package-tools adds the heavier ones only the package test needs.
set -euo pipefail

# The cross-compilers and wine for the Windows builds.
"$(dirname "$0")/ensure-windows-deps.sh"

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
if ! $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}" >/tmp/quarnel-apt.log 2>&1; then
  $sudo apt-get -o DPkg::Lock::Timeout=600 update -q >>/tmp/quarnel-apt.log 2>&1
  if ! $sudo apt-get -o DPkg::Lock::Timeout=600 install -y -q --no-install-recommends "${missing[@]}" >>/tmp/quarnel-apt.log 2>&1; then
    tail -20 /tmp/quarnel-apt.log >&2
    echo "Installing the packages failed (log: /tmp/quarnel-apt.log)" >&2
    exit 1
  fi
fi
