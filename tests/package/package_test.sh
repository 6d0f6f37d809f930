#!/usr/bin/env bash
# Builds the Debian package with cpack, checks it with lintian, installs it
# with dpkg into a throw-away root whose package database is a copy of this
# machine's (so the dependencies are checked against what is installed here),
# checks the installed files with their own validators, and removes it again.
# Manual pages are UTF-8, read through preconv as man does (groff -k).
set -euo pipefail
build=$(cd "$1" && pwd)
source=$(cd "$2" && pwd)
if [ "${QUARNEL_PACKAGE_TEST:-}" != 1 ]; then
  echo "skipped: set QUARNEL_PACKAGE_TEST=1 to build and test the Debian package"
  exit 77
fi
"$source/scripts/ensure-deps.sh" --package-tools

tmp=$(mktemp -d /tmp/quarnel-package-test.XXXXXX)
trap 'rm -rf "$tmp"' EXIT
chmod 755 "$tmp"
failures=0
fail() {
  echo "FAIL: $*" >&2
  failures=$((failures + 1))
}

echo "== cpack"
cpack --config "$build/CPackConfig.cmake" -G DEB -B "$tmp/out" >"$tmp/cpack.log" 2>&1 ||
  { cat "$tmp/cpack.log"; exit 1; }
deb="$tmp/out/quarnel_4.40-1_amd64.deb"
[ -f "$deb" ] || { ls "$tmp/out"; echo "FAIL: no $deb" >&2; exit 1; }
dpkg-deb --field "$deb"
dpkg-deb --contents "$deb"

echo "== lintian"
lintian --fail-on error --display-info "$deb" || fail "lintian reports errors"

echo "== install into a throw-away root"
root="$tmp/root"
admin="$root/var/lib/dpkg"
mkdir -p "$admin/info" "$admin/updates" "$admin/triggers"
cp /var/lib/dpkg/status "$admin/status"
touch "$admin/available"
# The file lists let dpkg check the package's files against the machine's.
cp /var/lib/dpkg/info/*.list "$admin/info/"
dpkg=(dpkg --root="$root" --log=/dev/null --no-triggers)
"${dpkg[@]}" -i "$deb"

echo "== checks"
version=$(env PATH="$root/usr/bin:$PATH" bash -c 'command -v quarnel-cli && quarnel-cli --version')
[ "$version" = "$root/usr/bin/quarnel-cli
Quarnel 4.40" ] || fail "quarnel-cli --version from PATH gave: $version"

desktop="$root/usr/share/applications/example.zelmora.Quarnel.desktop"
desktop-file-validate "$desktop" || fail "desktop-file-validate"
exec_line=$(grep '^Exec=' "$desktop")
[ "$exec_line" = "Exec=/usr/libexec/quarnel/quarnel-launcher" ] || fail "desktop entry: $exec_line"
# The launcher finds the program beside it in the tree it was installed into.
launcher_says=$(setpriv --reuid=65534 --regid=65534 --clear-groups env -i PATH="$tmp/nowhere" \
  DISPLAY=:0 "$root/usr/libexec/quarnel/quarnel-launcher" 2>&1) && fail "launcher without pkexec succeeded"
[[ "$launcher_says" == *"start $root/usr/bin/quarnel as root."* ]] || fail "launcher: $launcher_says"

appstreamcli validate-tree --no-net "$root" ||
  fail "appstreamcli validate-tree"

policy="$root/usr/share/polkit-1/actions/example.zelmora.quarnel.policy"
xmllint --noout --dtdvalid /usr/share/polkit-1/policyconfig-1.dtd "$policy" || fail "polkit DTD"
grep -q '<annotate key="org.freedesktop.policykit.exec.path">/usr/bin/quarnel</annotate>' \
  "$policy" || fail "polkit action does not name /usr/bin/quarnel"
# A disk-wiping tool asks every time: no kept authorisation for any session.
[ "$(grep -c '>auth_admin<' "$policy")" -eq 3 ] || fail "polkit action keeps an authorisation"

for page in quarnel quarnel-cli; do
  file="$root/usr/share/man/man1/$page.1.gz"
  warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings=w -l "$file" 2>&1 >/dev/null)
  warnings+=$(zcat "$file" | groff -k -ww -man -Tutf8 -z 2>&1)
  [ -z "$warnings" ] || fail "$page.1: $warnings"
  LC_ALL=C.UTF-8 MANWIDTH=80 man -l "$file" | grep "EXIT STATUS" >/dev/null || fail "$page.1 has no exit statuses"
done

# grep reads to the end in these pipes: with pipefail, grep -q leaving early
# can kill the writer with SIGPIPE and fail a check that holds.
# The record's document, which the manual page points at, and libcrypto,
# which the seal needs, as a dependency found by dpkg-shlibdeps.
zcat "$root/usr/share/doc/quarnel/erase-record.md.gz" | grep '^### The canonical form' >/dev/null ||
  fail "the erase record's document is not installed"
# The page's source marks each full stop with \& (no sentence end there).
zcat "$root/usr/share/man/man1/quarnel-cli.1.gz" | sed 's/\\&//g' | grep 'erase-record.md.gz' >/dev/null ||
  fail "quarnel-cli.1 does not point at the erase record's document"
zcat "$root/usr/share/doc/quarnel/cli-json.md.gz" | grep '^## details' >/dev/null ||
  fail "the JSON documents' description is not installed"
zcat "$root/usr/share/man/man1/quarnel-cli.1.gz" | sed 's/\\&//g' | grep 'cli-json.md.gz' >/dev/null ||
  fail "quarnel-cli.1 does not point at the JSON documents' description"
dpkg-deb --field "$deb" Depends | grep 'libssl3' >/dev/null || fail "Depends lacks libssl3 (libcrypto)"

for size in 48 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/example.zelmora.Quarnel.png"
  # The PNG header's width, bytes 16 to 19.
  width=$(od -An -tu1 -j16 -N4 "$png" 2>/dev/null | awk '{print $1*16777216 + $2*65536 + $3*256 + $4}')
  [ "$width" = "$size" ] || fail "icon ${size}: width ${width:-missing}"
done

echo "== remove"
"${dpkg[@]}" -r quarnel
[ ! -e "$root/usr/bin/quarnel-cli" ] || fail "quarnel-cli left after removal"
[ ! -e "$desktop" ] || fail "desktop entry left after removal"
"${dpkg[@]}" -s quarnel 2>/dev/null | grep '^Status: install ok installed' >/dev/null &&
  fail "still installed after removal"

[ "$failures" -eq 0 ] || { echo "$failures check(s) failed" >&2; exit 1; }
echo "package test: every check passed"
