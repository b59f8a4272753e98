#!/usr/bin/env bash
# The capture benchmark in one command: installs the peers it is measured against,
# builds, starts one Xvfb per screen size, runs kestrel_bench, prints the table and
# writes it to bench/results.md.
#
#   scripts/bench.sh [--build-dir DIR] [kestrel_bench options...]
#
# --build-dir uses (and configures) another build directory instead of the default
# preset's build/. Other options go to kestrel_bench: --captures N, --process-runs N,
# --peer-runs N, --size W H, --markdown FILE.
set -euo pipefail

ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
cd "$ROOT"

SIZES=(1024x768 1920x1080 3840x2160)
XVFB_START_SECONDS=20

command="scripts/bench.sh${*:+ $*}"
build_dir=""
if [ "${1:-}" = "--build-dir" ]; then
  build_dir=$2
  shift 2
fi

if [ "$(id -u)" -eq 0 ]; then
  scripts/install-deps.sh --bench
elif ! scripts/install-deps.sh --bench; then
  echo "kestrel: run 'sudo scripts/install-deps.sh --bench' first" >&2
  exit 1
fi

if [ -z "$build_dir" ]; then
  cmake --preset default >/dev/null
  cmake --build --preset default -j2 --target kestrel_bench
  build_dir=build
else
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build "$build_dir" -j2 --target kestrel_bench
fi

scratch=$(mktemp -d "${TMPDIR:-/tmp}/kestrel-bench-xvfb-XXXXXX")
servers=()
cleanup() {
  for pid in "${servers[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${servers[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  rm -rf "$scratch"
}
trap cleanup EXIT

# Each server writes its display number to a pipe once it accepts connections; the
# read waits for that, or for the server's end, or for the deadline. -noreset keeps the
# painted root window when the painting client disconnects.
displays=()
for size in "${SIZES[@]}"; do
  fifo="$scratch/display-$size"
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp -noreset \
    3>"$fifo" >"$scratch/xvfb-$size.log" 2>&1 &
  servers+=("$!")
  number=""
  if ! read -r -t "$XVFB_START_SECONDS" number <"$fifo" || [ -z "$number" ]; then
    echo "kestrel: Xvfb ${size} did not start:" >&2
    cat "$scratch/xvfb-$size.log" >&2
    exit 1
  fi
  displays+=(":$number")
done

echo "kestrel: load average before the run: $(cut -d' ' -f1-3 /proc/loadavg)" >&2
"$build_dir/kestrel_bench" --markdown bench/results.md --command "$command" \
  "$@" "${displays[@]}"
