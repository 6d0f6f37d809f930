#!/usr/bin/env bash
# scripts/ensure-deps.sh against a fake package tool: an apt-get update that
# exits 100 (a mirror mid-sync), an i386 install that fails, a machine without
# 32-bit support, and a needed package that cannot be had.
set -uo pipefail
source_dir=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fake=$work/bin
mkdir -p "$fake"
failures=0
fail() { echo "FAILED: $*"; failures=$((failures + 1)); }

cat >"$fake/dpkg-query" <<'F'
#!/usr/bin/env bash
# -W -f=FORMAT PACKAGE: installed when listed in $FAKE/installed
pkg=${!#}
if [[ "$*" == *Architecture* ]]; then grep ':i386$' "$FAKE/installed" | sed 's/.*/i386/'; exit 0; fi
grep -qxF "$pkg" "$FAKE/installed" && { printf 'install ok installed'; exit 0; }
exit 1
F
cat >"$fake/dpkg" <<'F'
#!/usr/bin/env bash
echo "dpkg $*" >>"$FAKE/calls"
case "$1" in
  --print-foreign-architectures) cat "$FAKE/arch" ;;
  --add-architecture) echo "$2" >>"$FAKE/arch" ;;
  --remove-architecture) grep -vx "$2" "$FAKE/arch" >"$FAKE/arch.new"; mv "$FAKE/arch.new" "$FAKE/arch" ;;
esac
F
cat >"$fake/apt-get" <<'F'
#!/usr/bin/env bash
echo "apt-get $*" >>"$FAKE/calls"
args=()
for a in "$@"; do [[ "$a" == -* || "$a" == DPkg::* ]] || args+=("$a"); done
if [ "${args[0]}" = update ]; then
  touch "$FAKE/updated"  # the other indexes did come
  echo "E: Failed to fetch .../binary-i386/Packages.xz  File has unexpected size (374820 != 376004). Mirror sync in progress?"
  echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
  exit 100
fi
# A fresh machine's lists are old: nothing installs before an update.
[ -e "$FAKE/updated" ] || { echo "E: Unable to locate package ${args[1]}"; exit 100; }
for p in "${args[@]:1}"; do
  if grep -qxF "$p" "$FAKE/unavailable"; then
    echo " libssl3:i386 : Depends: libc6:i386 but it is not going to be installed"
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100
  fi
done
[[ " $* " == *" -s "* ]] || printf '%s\n' "${args[@]:1}" >>"$FAKE/installed"
F
printf '#!/bin/sh\nexec "$@"\n' >"$fake/sudo"
chmod +x "$fake"/*

run() {  # SCENARIO UNAVAILABLE-PACKAGE|- ENVIRONMENT...; sets out and status
  export FAKE=$work/$1
  mkdir -p "$FAKE"
  : >"$FAKE/calls"; : >"$FAKE/arch"; : >"$FAKE/installed"; : >"$FAKE/unavailable"
  rm -f "$FAKE/updated"
  [ "$2" = - ] || echo "$2" >"$FAKE/unavailable"
  shift 2
  out=$(env PATH="$fake:$PATH" QUARNEL_DEPS_STATUS_DIR="$FAKE" QUARNEL_APT_LOG="$FAKE/apt.log" "$@" \
    "$source_dir/scripts/ensure-deps.sh" --tests 2>&1)
  status=$?
}

# No 32-bit support: no architecture added, no i386 package asked for, the
# rest installed although the update fails.
run no32 - QUARNEL_NO_32BIT=1
[ $status -eq 0 ] || fail "no 32-bit: exit $status: $out"
grep -q -- '--add-architecture' "$FAKE/calls" && fail "no 32-bit: the i386 architecture was added"
grep -q ':i386' "$FAKE/calls" && fail "no 32-bit: an i386 package was asked for"
grep -qx wine64 "$FAKE/installed" || fail "no 32-bit: wine64 was not installed"
grep -q 'QUARNEL_NO_32BIT=1 is set' "$FAKE/wine32-status" 2>/dev/null || fail "no 32-bit: no reason kept"

# 32-bit runs, but the i386 index is broken: wine32 is skipped with the
# reason, everything else is installed, the architecture is taken back.
run broken32 wine32:i386 QUARNEL_32BIT_PROBE=true
[ $status -eq 0 ] || fail "broken i386 index: exit $status: $out"
[[ "$out" == *"SKIPPED: wine32 could not be installed"* ]] || fail "broken i386 index: no SKIPPED line: $out"
grep -q '^wine32 could not be installed: libssl3:i386' "$FAKE/wine32-status" 2>/dev/null ||
  fail "broken i386 index: reason not kept: $(cat "$FAKE/wine32-status" 2>&1)"
grep -qx chromium "$FAKE/installed" || fail "broken i386 index: chromium was not installed"
[ -s "$FAKE/arch" ] && fail "broken i386 index: the i386 architecture was left added"

# A needed package that cannot be had fails the run, by name.
run missing xvfb QUARNEL_NO_32BIT=1
[ $status -ne 0 ] || fail "unavailable package: exit 0"
[[ "$out" == *"cannot be installed: xvfb"* ]] || fail "unavailable package not named: $out"

[ $failures -eq 0 ] && echo "ensure-deps: all scenarios held"
exit $((failures > 0))
