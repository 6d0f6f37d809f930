#!/usr/bin/env bash
# Builds the Debian package build/package/quarnel_4.40-1_amd64.deb and shows
# lintian's findings on it. Install it with: sudo apt install ./build/package/quarnel_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/ensure-deps.sh --package-tools
scripts/build.sh --tests
rm -rf build/package
cpack --config build/CPackConfig.cmake -G DEB -B build/package >build/cpack.log 2>&1 ||
  { cat build/cpack.log >&2; exit 1; }
rm -rf build/package/_CPack_Packages
deb=$(ls build/package/quarnel_*.deb)
echo "$deb"
status=0
lintian --fail-on error --display-info "$deb" >build/lintian.log 2>&1 || status=$?
grep -v '^running with root privileges' build/lintian.log || true
exit "$status"
