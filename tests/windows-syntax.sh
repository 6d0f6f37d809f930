#!/usr/bin/env bash
# Compiles the portable sources for 64-bit Windows with mingw-w64, syntax only:
# the core, the simulated host, the Windows per-system file, the front-end
# library and the terminal program; and every core header after <windows.h>,
# so no Windows macro rewrites a name of ours.
# Usage: windows-syntax.sh REPOSITORY SCRATCH_FOLDER JSON_INCLUDE_DIRS
set -euo pipefail
root=$1
scratch=$2
json_dirs=$3

cxx=""
for c in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-g++; do
  if command -v "$c" >/dev/null; then
    cxx=$c
    break
  fi
done
if [ -z "$cxx" ]; then
  echo "Skipped: no mingw-w64 C++ compiler (x86_64-w64-mingw32-g++); scripts/ensure-deps.sh installs it."
  exit 77
fi

# The JSON library is header-only; only its own folder joins the include
# path, never the build machine's whole /usr/include.
rm -rf "$scratch"
mkdir -p "$scratch/include"
for d in ${json_dirs//;/ }; do
  if [ -d "$d/nlohmann" ]; then
    ln -s "$d/nlohmann" "$scratch/include/nlohmann"
    break
  fi
done

cd "$root/src"
{
  echo "#include <windows.h>"
  echo "#include <winioctl.h>"
  for h in base/*.h host/*.h ui/*.h ata/*.h nvme/*.h devices/*.h reports/*.h erase/*.h agreement/*.h \
    app/*.h frontend/*.h; do
    echo "#include \"$h\""
  done
} >"$scratch/AfterWindowsH.cpp"

sources=("$scratch/AfterWindowsH.cpp")
for s in base/*.cpp host/*.cpp ui/*.cpp ata/*.cpp nvme/*.cpp devices/*.cpp reports/*.cpp erase/*.cpp \
  agreement/*.cpp app/*.cpp host/sim/*.cpp platform/win/*.cpp json/*.cpp record/*.cpp frontend/*.cpp cli/*.cpp; do
  sources+=("$root/src/$s")
done
version=$(sed -nE 's/^project\(Quarnel VERSION ([0-9.]+).*/\1/p' "$root/CMakeLists.txt")
echo "$cxx: ${#sources[@]} files"
printf '%s\0' "${sources[@]}" |
  xargs -0 -n 4 -P 2 "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror \
    -I"$root/src" -isystem "$scratch/include" -DQUARNEL_VERSION="\"$version\""
echo "All compile for Windows."
