#!/usr/bin/env bash
# scripts/run stopped by a signal stops the station and the simulator with it.
#   run_signal_test.sh <source dir> <build dir>
set -uo pipefail
source_dir=$1
build_dir=$2
work=$(mktemp -d)
script_pid=""
cleanup() {
  [[ -n "$script_pid" ]] && pkill -KILL -P "$script_pid" 2>/dev/null
  [[ -n "$script_pid" ]] && kill -KILL "$script_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export HOME="$work/home" QT_QPA_PLATFORM=offscreen GAUGEMON_BUILD_DIR="$build_dir"
mkdir -p "$HOME"
port_dir="$work/ports"
"$source_dir/scripts/run" --prebuilt --port COM9 --port-dir "$port_dir" >"$work/out" 2>&1 &
script_pid=$!

# Both children up: the simulator's link exists and the station runs.
children=""
for _ in $(seq 100); do
  children=$(pgrep -P "$script_pid" | tr '\n' ' ')
  if [[ -L "$port_dir/COM9" ]] && [[ $(wc -w <<<"$children") -ge 2 ]]; then break; fi
  sleep 0.1
done
[[ -L "$port_dir/COM9" ]] || fail "the simulator did not link its port: $(cat "$work/out")"
[[ $(wc -w <<<"$children") -ge 2 ]] || fail "the station and the simulator did not both start: $children"

kill -TERM "$script_pid"
for _ in $(seq 100); do
  kill -0 "$script_pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$script_pid" 2>/dev/null && fail "scripts/run did not end on SIGTERM"
script_pid_done=$script_pid
script_pid=""
for pid in $children; do
  for _ in $(seq 50); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$pid" 2>/dev/null; then
    kill -KILL "$pid"
    fail "child $pid of scripts/run ($script_pid_done) still runs after SIGTERM"
  fi
done
[[ -e "$port_dir/COM9" ]] && fail "the simulator's link was left behind"
echo "scripts/run stopped both children"
