#!/usr/bin/env bash
# Builds the libFuzzer targets of bench/fuzz with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) into build-fuzz/ and runs each for SECONDS
# (default 60). Seeds come from the captured drives; a crash fails the run and
# leaves its input in build-fuzz/.
set -euo pipefail
seconds="${1:-60}"
cd "$(dirname "$0")/.."
root="$PWD"
out="$root/build-fuzz"

if [ ! -f "$out/CMakeCache.txt" ]; then
  cmake -S bench/fuzz -B "$out" -G Ninja -DCMAKE_CXX_COMPILER=clang++ >/dev/null
fi
# The build's lines only when it fails.
if ! cmake --build "$out" -- -j"$(nproc)" >"$out/build.log" 2>&1; then
  tail -40 "$out/build.log" >&2
  echo "fuzz.sh: building the fuzz targets failed" >&2
  exit 1
fi

seed() {  # seed NAME FILE...: one corpus folder per target
  mkdir -p "$out/corpus/$1"
  local name=$1
  shift
  for f in "$@"; do cp -f "$f" "$out/corpus/$name/$(basename "$(dirname "$f")")-$(basename "$f")"; done
}
seed FuzzIdentify tests/data/drives/*/identify.bin
seed FuzzSmartRow tests/data/drives/*/smart.bin
seed FuzzDescriptor tests/data/drives/*/identify.bin
seed FuzzNvme tests/data/nvme/*/*.bin
seed FuzzSimMachine bench/fuzz/machines/*.json
seed FuzzSelfTestLog tests/data/drives/*/smart.bin tests/data/nvme/*/*.bin
seed FuzzMemberStream bench/fuzz/streams/*
seed FuzzHiddenArea tests/data/drives/*/identify.bin
seed FuzzSanitizeStatus tests/data/nvme/*/*.bin
seed FuzzSmartHealth tests/data/drives/*/smart.bin
seed FuzzRecord bench/fuzz/records/*.json
# A machine nested 100,000 levels deep inside "faults": once a stack overflow.
deep="$out/corpus/FuzzSimMachine/deep-faults.json"
if [ ! -s "$deep" ]; then
  { printf '{"drives": [{"number": 0, "faults": {"silent_loss": '
    head -c 100000 /dev/zero | tr '\0' '['
    head -c 100000 /dev/zero | tr '\0' ']'
    printf '}}]}'; } >"$deep"
fi

run_target() {  # TARGET: its figures line, or FAILED with the log's tail
  local target=$1 log="$out/$1.log"
  if ! (cd "$out" && "./$target" -max_total_time="$seconds" -print_final_stats=1 \
        -artifact_prefix="$out/$target-" "corpus/$target" >"$log" 2>&1); then
    echo "$target: FAILED (log: $log)"
    tail -30 "$log"
    return 1
  fi
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  speed=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log")
  echo "$target: $runs runs in ${seconds}s, $speed execs/s, no findings"
}

# As many targets at once as there are cores; each prints when it is done.
status=0
pids=()
for target in FuzzIdentify FuzzDescriptor FuzzSmartRow FuzzNvme FuzzSimMachine FuzzSelfTestLog \
              FuzzHiddenArea FuzzSanitizeStatus FuzzSmartHealth FuzzRecord FuzzMemberStream; do
  run_target "$target" &
  pids+=($!)
  if [ ${#pids[@]} -ge "$(nproc)" ]; then
    wait "${pids[0]}" || status=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
exit $status
