#!/usr/bin/env bash
# A rack of drives from one command against the same drives one after another
# and against one quarnel-cli per drive started by a shell loop: wall time of
# each, and the peak memory (the sum of the resident sizes of every
# quarnel-cli process, sampled every 50 ms) of the batch and of one run.
#   bench/batch_scale.sh sim [DRIVES] [MIB] [MB_PER_S]   simulated drives that
#       write at MB_PER_S each (no shared bottleneck: the simulation sleeps);
#       defaults 64 drives of 32 MiB at 20 MB/s
#   bench/batch_scale.sh loop [DRIVES] [MIB]   loop devices over files in
#       /dev/shm (they share this machine's cores and memory bandwidth);
#       defaults 16 of 256 MiB; needs root
# Also prints how the batch's peak memory grows: batches of 1, 4, 16 and
# DRIVES drives.
set -euo pipefail
cd "$(dirname "$0")/.."
kind=${1:-sim}
[ -n "${QUARNEL_CLI:-}" ] || [ -x build/quarnel-cli ] || scripts/build.sh
cli=${QUARNEL_CLI:-$PWD/build/quarnel-cli}  # QUARNEL_CLI: another build to compare
work=$(mktemp -d /tmp/quarnel-batch-bench.XXXXXX)
size_mib=0
. bench/loop_targets.sh
cleanup() {
  remove_targets
  rm -rf "$work"
}
trap cleanup EXIT INT TERM

host=()
if [ "$kind" = sim ]; then
  drives=${2:-64} size_mib=${3:-32} speed=${4:-20}
  {
    echo '{"drives": ['
    for i in $(seq 0 $((drives - 1))); do
      printf '{"number": %d, "length": %d, "serial": "BENCH%04d", "write_mb_per_s": %s}%s\n' \
        "$i" $((size_mib * 1048576)) "$i" "$speed" "$([ "$i" -lt $((drives - 1)) ] && echo ,)"
    done
    echo ']}'
  } >"$work/machine.json"
  host=("--simulate=$work/machine.json")
elif [ "$kind" = loop ]; then
  drives=${2:-16} size_mib=${3:-256}
  [ "$(id -u)" -eq 0 ] || { echo "batch_scale: loop devices need root" >&2; exit 1; }
  list=""
  for i in $(seq 1 "$drives"); do
    make_target /dev/shm ""
    list+="${list:+,}$target_node"
  done
  host=("--devices=$list")
else
  echo "usage: bench/batch_scale.sh sim|loop [DRIVES] [MIB] [MB_PER_S]" >&2
  exit 2
fi

# peak_kib COMMAND...: runs it, prints "<seconds> <peak KiB of all quarnel-cli>".
peak_kib() {
  local peak=0 sum start end
  start=$(date +%s.%N)
  "$@" >/dev/null 2>&1 &
  local pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    sum=$( (ps -C quarnel-cli -o rss= || true) | awk '{ s += $1 } END { print s + 0 }')
    [ "$sum" -gt "$peak" ] && peak=$sum
    sleep 0.05
  done
  wait "$pid" || { echo "batch_scale: a run failed: $*" >&2; exit 1; }
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" -v p="$peak" 'BEGIN { printf "%.2f %d\n", e - s, p }'
}

one_after_another() {
  for i in $(seq 1 "$drives"); do "$cli" "${host[@]}" format "$i" --yes || return 1; done
}
# Each process is given its own drive alone: with the whole list, each one's
# scan would meet the drives the others hold, and its numbers would shift.
shell_loop() {
  local pids=()
  for i in $(seq 1 "$drives"); do
    if [ "$kind" = loop ]; then
      "$cli" "--devices=${nodes[$((i - 1))]}" format 1 --yes >/dev/null 2>&1 &
    else
      "$cli" "${host[@]}" format "$i" --yes >/dev/null 2>&1 &
    fi
    pids+=($!)
  done
  for p in "${pids[@]}"; do wait "$p" || return 1; done
}

echo "$drives $kind drives of $size_mib MiB${speed:+ at $speed MB/s each}; $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"
read -r one one_kib < <(peak_kib "$cli" "${host[@]}" format 1 --yes)
echo "one drive alone:            ${one} s, peak ${one_kib} KiB"
read -r batch batch_kib < <(peak_kib "$cli" "${host[@]}" format $(seq 1 "$drives") --yes --json)
echo "one command (batch):        ${batch} s, peak ${batch_kib} KiB ($(ratio "$batch" "$one") x one drive)"
read -r seq_s _ < <(peak_kib one_after_another)
echo "one after another:          ${seq_s} s"
read -r loop_s loop_kib < <(peak_kib shell_loop)
echo "a quarnel-cli per drive:    ${loop_s} s, peak ${loop_kib} KiB"
for n in 1 4 16; do
  [ "$n" -lt "$drives" ] || break
  read -r s kib < <(peak_kib "$cli" "${host[@]}" format $(seq 1 "$n") --yes --json)
  echo "batch of $n: ${s} s, peak ${kib} KiB"
done
echo "batch of $drives: ${batch} s, peak ${batch_kib} KiB"
