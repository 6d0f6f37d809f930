# Sourced by the build scripts. quiet_build FOLDER [ARGUMENTS...] runs
# cmake --build with Ninja's progress lines left out and returns the build's
# own status, whatever the filter returns.
quiet_build() {
  local dir=$1 status
  shift
  status=$({ { nice cmake --build "$dir" "$@" 2>&1; echo $? >&3; } | grep -v '^\[' >&2 || true; } 3>&1)
  if [ "$status" -ne 0 ]; then
    echo "The build in $dir failed (cmake --build exited with $status)." >&2
  fi
  return "$status"
}
