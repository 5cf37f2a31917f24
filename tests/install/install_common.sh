# Sourced by the install tests: a temporary folder removed on exit with the processes started
# into `pids`, `fail`, and the build installed into "$work/prefix".
# Before sourcing: `build` (absolute); `fail_log` may name a log to show on failure.
work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  if [ -n "${fail_log:-}" ] && [ -s "$fail_log" ]; then sed 's/^/log: /' "$fail_log" >&2; fi
  exit 1
}
prefix=$work/prefix
cmake --install "$build" --prefix "$prefix" >/dev/null
