#!/usr/bin/env bash
# Installs the Debian packages the project needs; quiet when all are there.
#   (no option)      what building and running the Linux programs needs (run.sh)
#   --tests          adds the test tools and the Windows builds' (test.sh)
#   --package-tools  adds the tests' and the package check's (package.sh)
# The Windows builds take the win32 thread model of mingw-w64, which keeps the
# executables free of imports that Windows XP lacks (the posix one pulls in
# GetTickCount64); wine32 runs the 32-bit executables and needs the i386
# architecture, so only the test level adds it.
set -euo pipefail

level=${1:-run}
packages=(
  cmake ninja-build g++ pkg-config
  nlohmann-json3-dev libmount-dev libssl-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev qt6-translations-l10n
  fonts-noto-cjk fonts-liberation fonts-dejavu-core fontconfig
)
case "$level" in
  run) ;;
  --tests | --package-tools)
    packages+=(
      libgtest-dev googletest
      clang libclang-rt-14-dev
      hdparm libatasmart-bin
      util-linux fdisk mount e2fsprogs dosfstools xxd dmsetup
      xvfb xauth
      scdoc librsvg2-bin gzip dpkg-dev desktop-file-utils appstream libxml2-utils groff-base man-db
      g++-mingw-w64-x86-64-posix
      g++-mingw-w64-x86-64-win32 g++-mingw-w64-i686-win32
      binutils-mingw-w64-x86-64 binutils-mingw-w64-i686
      zip
      chromium poppler-utils
      wine wine64 wine32:i386 fonts-wine
    )
    # pkexec brings polkitd, which has the polkit policy DTD.
    [ "$level" = --package-tools ] && packages+=(lintian pkexec)
    ;;
  *) echo "usage: $0 [--tests|--package-tools]" >&2; exit 2 ;;
esac

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
if [[ " ${missing[*]} " == *:i386* ]] && ! dpkg --print-foreign-architectures | grep -qx i386; then
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
