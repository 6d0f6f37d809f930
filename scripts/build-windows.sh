#!/usr/bin/env bash
# Cross-builds Quarnel for Windows with mingw-w64: build-win64/ (x86-64) and
# build-win32/ (x86), each with quarnel-cli.exe and a zip of it with the
# README (quarnel-VERSION-win64.zip, quarnel-VERSION-win32.zip). With --test,
# runs their tests under wine afterwards and passes the remaining arguments to
# ctest (each folder's results also in its ctest-junit.xml). The 32-bit build
# is made and tested where this machine runs 32-bit programs under wine
# (scripts/wine-env.sh finds out); elsewhere --test builds nothing of it and
# reports it as skipped, with the reason, and the 64-bit tests run through
# wine's 64-bit loader.
set -euo pipefail
cd "$(dirname "$0")/.."
run_tests=0
if [ "${1:-}" = --test ]; then
  run_tests=1
  shift
fi
source scripts/quiet-build.sh
version=$(sed -nE 's/^project\(Quarnel VERSION ([0-9.]+).*/\1/p' CMakeLists.txt)

build() {  # folder toolchain zip-suffix
  local dir=$1 toolchain=$2 suffix=$3
  if ! grep -q '^QUARNEL_WERROR:BOOL=ON' "$dir/CMakeCache.txt" 2>/dev/null; then
    cmake --no-warn-unused-cli -S . -B "$dir" -G Ninja -DCMAKE_TOOLCHAIN_FILE="cmake/$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" -DQUARNEL_WERROR=ON \
      -DQUARNEL_NATIVE_CLI="$PWD/build/quarnel-cli" >/dev/null
  fi
  quiet_build "$dir" -- -j"$(nproc)"
  local stage="$dir/quarnel-$version-$suffix"
  rm -rf "$stage" "$stage.zip"
  mkdir -p "$stage"
  cp "$dir/quarnel.exe" "$dir/quarnel-cli.exe" "$stage/"
  sed 's/$/\r/' README.md >"$stage/README.txt"
  (cd "$dir" && zip -qr "quarnel-$version-$suffix.zip" "quarnel-$version-$suffix")
  rm -rf "$stage"
}

build build-win64 toolchain-mingw64.cmake win64
if [ $run_tests -eq 0 ]; then
  build build-win32 toolchain-mingw32.cmake win32
  exit 0
fi

source scripts/wine-env.sh
# The 32-bit build only where it will be run.
[ "$QUARNEL_WINE32" = yes ] && build build-win32 toolchain-mingw32.cmake win32
status=0
suite() {  # FOLDER CTEST-ARGUMENTS...
  local dir=$1
  shift
  rm -f "$dir/ctest-junit.xml"
  (cd "$dir" && ctest --output-on-failure -j2 --output-junit "$PWD/ctest-junit.xml" "$@") || status=1
}
suite build-win64 "$@"
if [ "$QUARNEL_WINE32" = yes ]; then
  suite build-win32 "$@"
else
  echo "SKIPPED: the 32-bit Windows tests (build-win32) were not built or run: $QUARNEL_WINE32"
fi
exit $status
