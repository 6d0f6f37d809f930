#!/usr/bin/env bash
# Read speed of the read-back of `quarnel-cli format --verify` against
# `dd if=DEV of=/dev/null bs=32M iflag=direct` on the loop devices of
# bench/format_throughput.sh: one over a file in /dev/shm (memory-backed), one
# with --direct-io=on over a file on the machine's disk (/var/tmp by default,
# or QUARNEL_BENCH_DIR). The read-back's time is the one its debug line reports
# ("Read-back: N bytes in M ms", from its first read to its last check); dd's
# is the one dd reports. RUNS rounds per target, the two alternating. Prints
# each run, the medians and their ratio, and the median of each round's own
# ratio (the read-back against the dd run beside it, which shares its moment
# on a machine whose speed drifts). Needs root for the loop devices.
#   bench/verify_throughput.sh [SIZE_MIB] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-2048}
runs=${2:-5}
disk_dir=${QUARNEL_BENCH_DIR:-/var/tmp}
[ "$(id -u)" -eq 0 ] || { echo "verify_throughput: needs root for a loop device" >&2; exit 1; }
[ $((size_mib % 32)) -eq 0 ] || { echo "verify_throughput: SIZE_MIB must be a multiple of 32" >&2; exit 1; }
[ -n "${QUARNEL_CLI:-}" ] || [ -x build/quarnel-cli ] || scripts/build.sh
cli=${QUARNEL_CLI:-build/quarnel-cli}  # QUARNEL_CLI: another build to compare

. bench/loop_targets.sh
log=$(mktemp /tmp/quarnel-verify-bench.XXXXXX)
cleanup() {
  remove_targets
  rm -f "$log"
}
trap cleanup EXIT INT TERM


# MB/s of the read-back of one full run with --verify.
run_quarnel() {
  "$cli" --debug --devices="$1" format 1 --yes --verify </dev/null >"$log" 2>&1 || {
    cat "$log" >&2; echo "verify_throughput: quarnel-cli failed" >&2; exit 1; }
  grep -q "校验完成：所有已写入的扇区均为零。" "$log" || {
    echo "verify_throughput: read-back did not pass" >&2; exit 1; }
  sed -n 's/.*Read-back: \([0-9]*\) bytes in \([0-9]*\) ms.*/\1 \2/p' "$log" |
    awk '{ printf "%.1f", $1 / $2 / 1000 }'
}
# MB/s as dd reports it: "<bytes> bytes (...) copied, <seconds> s, ...".
run_dd() {
  dd if="$1" of=/dev/null bs=32M iflag=direct 2>&1 | tail -1 |
    awk '{ for (i = 1; i <= NF; ++i) if ($i == "copied,") s = $(i + 1); printf "%.1f", $1 / s / 1e6 }'
}

bench_target() {
  local label=$1 node
  make_target "$2" "$3"
  node=$target_node
  local q=() d=() r=()
  for i in $(seq 1 "$runs"); do
    q+=("$(run_quarnel "$node")")
    d+=("$(run_dd "$node")")
    r+=("$(ratio "${q[-1]}" "${d[-1]}")")
    echo "$label run $i: read-back ${q[-1]} MB/s   dd ${d[-1]} MB/s   ratio ${r[-1]}"
  done
  local mq md
  mq=$(median "${q[@]}")
  md=$(median "${d[@]}")
  echo "$label median of ${runs} runs over ${size_mib} MiB: read-back ${mq} MB/s, dd ${md} MB/s;" \
    "read-back/dd $(ratio "$mq" "$md"); median of the rounds' ratios $(median "${r[@]}")"
}

bench_target memory /dev/shm ""
bench_target disk "$disk_dir" "--direct-io=on"
