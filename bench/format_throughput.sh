#!/usr/bin/env bash
# Full-run throughput of `quarnel-cli format` against dd on the same loop
# device over a 2 GiB file in /dev/shm, three runs each, measured the same way
# (wall time of the whole command). Prints each run, both medians and their
# ratio. Needs root for the loop device; builds the program if needed.
#   bench/format_throughput.sh [SIZE_MIB] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-2048}
runs=${2:-3}
[ "$(id -u)" -eq 0 ] || { echo "format_throughput: needs root for a loop device" >&2; exit 1; }
[ -x build/quarnel-cli ] || scripts/build.sh

file=$(mktemp /dev/shm/quarnel-bench.XXXXXX)
node=""
cleanup() {
  [ -n "$node" ] && losetup -d "$node" 2>/dev/null || true
  rm -f "$file"
}
trap cleanup EXIT INT TERM
truncate -s "${size_mib}M" "$file"
node=$(losetup --find --show "$file")
[ $((size_mib % 32)) -eq 0 ] || { echo "format_throughput: SIZE_MIB must be a multiple of 32" >&2; exit 1; }
bytes=$((size_mib * 1048576))

now() { date +%s.%N; }
speed() { awk -v b="$bytes" -v s="$1" -v e="$2" 'BEGIN { printf "%.1f", b / (e - s) / 1e6 }'; }
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One unmeasured pass first: tmpfs allocates its pages on the first write.
dd if=/dev/zero of="$node" bs=32M count=$((size_mib / 32)) oflag=direct status=none

quarnel=() dd_speeds=()
for i in $(seq 1 "$runs"); do
  start=$(now)
  build/quarnel-cli --devices="$node" format 1 --yes </dev/null >/tmp/quarnel-bench.log 2>&1 || {
    cat /tmp/quarnel-bench.log >&2; echo "format_throughput: quarnel-cli failed" >&2; exit 1; }
  end=$(now)
  grep -q "低级格式完成。" /tmp/quarnel-bench.log || { echo "format_throughput: run not complete" >&2; exit 1; }
  quarnel+=("$(speed "$start" "$end")")
  start=$(now)
  dd if=/dev/zero of="$node" bs=32M count=$((size_mib / 32)) oflag=direct status=none
  end=$(now)
  dd_speeds+=("$(speed "$start" "$end")")
  echo "run $i: quarnel-cli ${quarnel[-1]} MB/s   dd ${dd_speeds[-1]} MB/s"
done
mq=$(median "${quarnel[@]}")
md=$(median "${dd_speeds[@]}")
echo "median of ${runs} runs over ${size_mib} MiB: quarnel-cli ${mq} MB/s, dd ${md} MB/s," \
  "ratio $(awk -v a="$mq" -v b="$md" 'BEGIN { printf "%.3f", a / b }')"
