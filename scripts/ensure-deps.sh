#!/usr/bin/env bash
# Installs the Debian packages the project needs; quiet when all are there.
#   (no option)      what building and running the Linux programs needs (run.sh)
#   --tests          adds the test tools and the Windows builds' (test.sh)
#   --package-tools  adds the tests' and the package check's (package.sh)
# The Windows builds take the win32 thread model of mingw-w64, which keeps the
# executables free of imports that Windows XP lacks (the posix one pulls in
# GetTickCount64). wine32 runs the 32-bit executables; it is optional: it is
# asked for only where this machine runs 32-bit programs
# (scripts/runs-32bit.sh), and when it cannot be had the reason is written to
# build/wine32-status and the 32-bit suite is skipped, nothing else.
# An `apt-get update` that fails (a mirror mid-sync, an index the project does
# not need) is reported and the install is still tried; only a needed package
# that cannot be had fails the script, by name.
# The package tools are taken from PATH (tests put fakes there, with
# QUARNEL_DEPS_STATUS_DIR, QUARNEL_APT_LOG and QUARNEL_32BIT_PROBE).
set -euo pipefail
cd "$(dirname "$0")/.."

level=${1:-run}
packages=(
  cmake ninja-build g++ pkg-config
  nlohmann-json3-dev libmount-dev libssl-dev
  qt6-base-dev qt6-qpa-plugins libgl-dev qt6-translations-l10n
  fonts-noto-cjk fonts-liberation fonts-dejavu-core fontconfig
)
optional=()
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
      wine wine64 fonts-wine
    )
    optional+=(wine32:i386)
    # pkexec brings polkitd, which has the polkit policy DTD.
    [ "$level" = --package-tools ] && packages+=(lintian pkexec)
    ;;
  *) echo "usage: $0 [--tests|--package-tools]" >&2; exit 2 ;;
esac

status_dir=${QUARNEL_DEPS_STATUS_DIR:-build}
status_file=$status_dir/wine32-status
mkdir -p "$status_dir"
installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
missing_of() {  # PACKAGE... -> those not installed, one per line
  local p
  for p in "$@"; do installed "$p" || echo "$p"; done
}

mapfile -t missing < <(missing_of "${packages[@]}")
want32=0
if [ ${#optional[@]} -gt 0 ]; then
  mapfile -t missing32 < <(missing_of "${optional[@]}")
  if [ ${#missing32[@]} -eq 0 ]; then
    rm -f "$status_file"
  elif why=$(${QUARNEL_32BIT_PROBE:-scripts/runs-32bit.sh}); then
    want32=1
  else
    # No i386 architecture and no i386 package where nothing 32-bit runs.
    echo "$why" >"$status_file"
  fi
fi
[ ${#missing[@]} -eq 0 ] && [ $want32 -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -ne 0 ] && sudo="sudo"
export DEBIAN_FRONTEND=noninteractive
log=${QUARNEL_APT_LOG:-/tmp/quarnel-apt.log}
apt=($sudo apt-get -o DPkg::Lock::Timeout=600)
: >"$log"
updated=0
update() {
  [ $updated -eq 1 ] && return 0
  updated=1
  if ! "${apt[@]}" update -q >>"$log" 2>&1; then
    echo "apt-get update failed; trying with the package lists there are (log: $log):" >&2
    grep -E '^(W|E): ' "$log" | tail -5 >&2 || true
  fi
}
install() { "${apt[@]}" install -y -q --no-install-recommends "$@" >>"$log" 2>&1; }

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  if ! install "${missing[@]}"; then
    update
    if ! install "${missing[@]}"; then
      tail -20 "$log" >&2
      # Name what cannot be had: each package alone, as a dry run.
      unavailable=()
      for p in "${missing[@]}"; do
        "${apt[@]}" install -s -q --no-install-recommends "$p" >>"$log" 2>&1 || unavailable+=("$p")
      done
      echo "Installing the packages failed (log: $log)." >&2
      [ ${#unavailable[@]} -gt 0 ] &&
        echo "These needed packages cannot be installed: ${unavailable[*]}" >&2
      exit 1
    fi
  fi
fi

if [ $want32 -eq 1 ]; then
  echo "Installing (optional, for the 32-bit Windows tests): ${missing32[*]}"
  added=0
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
    added=1
    updated=0
  fi
  update
  if install "${missing32[@]}"; then
    rm -f "$status_file"
  else
    reason=$(grep -m1 'is not going to be installed' "$log" | sed 's/^ *//' || true)
    [ -n "$reason" ] || reason=$(grep -E '^E: ' "$log" | tail -1 || true)
    echo "wine32 could not be installed: ${reason:-apt-get install failed (log: $log)}" >"$status_file"
    echo "SKIPPED: $(cat "$status_file"); the 32-bit Windows tests will not run." >&2
    # Leave the machine as it was: an i386 architecture with a broken index
    # would make every later apt-get update fail.
    if [ $added -eq 1 ] && [ -z "$(dpkg-query -W -f='${Architecture}\n' 2>/dev/null | grep -x i386)" ]; then
      $sudo dpkg --remove-architecture i386 || true
    fi
  fi
fi
exit 0
