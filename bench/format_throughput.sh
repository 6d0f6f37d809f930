#!/usr/bin/env bash
# Full-run throughput of `quarnel-cli format` against dd and fio on the same
# loop device, measured the same way (wall time of the whole command), on two
# targets: a loop device over a file in /dev/shm (memory-backed), and one with
# --direct-io=on over a file on the machine's disk (/var/tmp by default, or
# QUARNEL_BENCH_DIR). RUNS rounds per target, the three commands alternating.
# Prints each run, the medians and the ratios. Needs root for the loop devices;
# builds the program and installs fio if needed.
#   bench/format_throughput.sh [SIZE_MIB] [RUNS]
set -euo pipefail
cd "$(dirname "$0")/.."
size_mib=${1:-2048}
runs=${2:-3}
disk_dir=${QUARNEL_BENCH_DIR:-/var/tmp}
[ "$(id -u)" -eq 0 ] || { echo "format_throughput: needs root for a loop device" >&2; exit 1; }
[ $((size_mib % 32)) -eq 0 ] || { echo "format_throughput: SIZE_MIB must be a multiple of 32" >&2; exit 1; }
[ -n "${QUARNEL_CLI:-}" ] || [ -x build/quarnel-cli ] || scripts/build.sh
cli=${QUARNEL_CLI:-build/quarnel-cli}  # QUARNEL_CLI: another build to compare
if ! command -v fio >/dev/null; then
  echo "Installing fio" >&2
  DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 install -y -q \
    --no-install-recommends fio >/tmp/quarnel-apt.log 2>&1 || {
    tail -5 /tmp/quarnel-apt.log >&2; exit 1; }
fi
bytes=$((size_mib * 1048576))

. bench/loop_targets.sh
cleanup() {
  remove_targets
  rm -f /tmp/quarnel-bench.log
}
trap cleanup EXIT INT TERM

now() { date +%s.%N; }
speed() { awk -v b="$bytes" -v s="$1" -v e="$2" 'BEGIN { printf "%.1f", b / (e - s) / 1e6 }'; }

run_quarnel() {
  "$cli" --devices="$1" format 1 --yes </dev/null >/tmp/quarnel-bench.log 2>&1 || {
    cat /tmp/quarnel-bench.log >&2; echo "format_throughput: quarnel-cli failed" >&2; exit 1; }
  grep -q "低级格式完成。" /tmp/quarnel-bench.log || {
    echo "format_throughput: run not complete" >&2; exit 1; }
}
run_dd() { dd if=/dev/zero of="$1" bs=32M count=$((size_mib / 32)) oflag=direct status=none; }
run_fio() {
  fio --name=zeros --filename="$1" --rw=write --bs=32M --direct=1 --ioengine=psync \
    --end_fsync=1 --size="${size_mib}M" --zero_buffers --output=/dev/null
}
timed() {
  local start end
  start=$(now)
  "$@"
  end=$(now)
  speed "$start" "$end"
}

# One target: its loop device, then the rounds.
bench_target() {
  local label=$1 node
  make_target "$2" "$3"
  node=$target_node
  local q=() d=() f=()
  for i in $(seq 1 "$runs"); do
    q+=("$(timed run_quarnel "$node")")
    d+=("$(timed run_dd "$node")")
    f+=("$(timed run_fio "$node")")
    echo "$label run $i: quarnel-cli ${q[-1]} MB/s   dd ${d[-1]} MB/s   fio ${f[-1]} MB/s"
  done
  local mq md mf
  mq=$(median "${q[@]}")
  md=$(median "${d[@]}")
  mf=$(median "${f[@]}")
  echo "$label median of ${runs} runs over ${size_mib} MiB: quarnel-cli ${mq} MB/s, dd ${md} MB/s," \
    "fio ${mf} MB/s; quarnel-cli/dd $(ratio "$mq" "$md"), quarnel-cli/fio $(ratio "$mq" "$mf")"
  remove_targets  # the next target's file may need the memory
}

bench_target memory /dev/shm ""
bench_target disk "$disk_dir" "--direct-io=on"
