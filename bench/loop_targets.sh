# Shared by the throughput benchmarks (sourced, not run): the loop devices they
# measure on, their clean-up, and the median and ratio of the figures.
# Needs size_mib set by the sourcing script.

files=() nodes=()
remove_targets() {
  for n in "${nodes[@]}"; do losetup -d "$n" 2>/dev/null || true; done
  for f in "${files[@]}"; do rm -f "$f"; done
  files=() nodes=()
}

median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.3f", a / b }'; }

# make_target DIR LOSETUP_OPTIONS: a file of size_mib in DIR and a loop device
# over it, in target_node, written once unmeasured (the file's blocks are
# allocated on the first write).
make_target() {
  local file
  file=$(mktemp "$1/quarnel-bench.XXXXXX")
  files+=("$file")
  fallocate -l "${size_mib}M" "$file" 2>/dev/null || truncate -s "${size_mib}M" "$file"
  target_node=$(losetup --find --show $2 "$file")
  nodes+=("$target_node")
  dd if=/dev/zero of="$target_node" bs=32M count=$((size_mib / 32)) oflag=direct status=none
}
