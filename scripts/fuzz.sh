#!/usr/bin/env bash
# Runs each fuzz target for a bounded time, two workers at once, over its corpus in
# fuzz/corpus/<name>/, built with clang, libFuzzer and the address and undefined-behaviour
# sanitizers in build-fuzz/.
#   bash scripts/fuzz.sh [seconds-per-target] [target...]
# New inputs go to a scratch directory on tmpfs, so the committed corpus stays as it is;
# with KESTREL_FUZZ_UPDATE_CORPUS=1 the corpus is replaced by a minimised merge of both.
# A crash, a hang (10 s on one input), undefined behaviour or a leak fails the run and is
# kept under build-fuzz/findings/.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds="${1:-60}"
[ $# -gt 0 ] && shift
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(NumbersFuzz SettingsFuzz ConfigFuzz)
workers=2

bash scripts/install-deps.sh --fuzz
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz -j2

findings="$root/build-fuzz/findings"
mkdir -p "$findings"
failed=0
for target in "${targets[@]}"; do
  name=$(echo "${target%Fuzz}" | tr '[:upper:]' '[:lower:]')
  corpus="$root/fuzz/corpus/$name"
  mkdir -p "$corpus"
  scratch=$(mktemp -d /dev/shm/kestrel-fuzz-"$name"-XXXXXX)
  logs=$(mktemp -d)
  set +e
  # Without the allocation stack in reports, which only saves time: a finding's input,
  # run alone under the default options, reports it in full.
  (cd "$logs" && ASAN_OPTIONS=malloc_context_size=0 \
    UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    "$root/build-fuzz/$target" -max_total_time="$seconds" -jobs=$workers -workers=$workers \
    -timeout=10 -close_fd_mask=3 -print_final_stats=1 \
    -artifact_prefix="$findings/$target-" "$scratch" "$corpus" >/dev/null 2>&1)
  result=$?
  set -e
  runs=$(cat "$logs"/fuzz-*.log | sed -n 's/^stat::number_of_executed_units: *//p' |
         awk '{ n += $1 } END { print n + 0 }')
  echo "$target: $runs executions in ${seconds} s with $workers workers over $corpus" \
       "($(ls "$corpus" | wc -l) inputs), exit status $result"
  if [ $result -ne 0 ]; then
    failed=1
    grep -h -A30 -E "^==[0-9]+==ERROR|runtime error|ALARM|deadly signal" "$logs"/fuzz-*.log |
      head -60 >&2 || true
    ls "$findings"/"$target"-* >&2 2>/dev/null || true
  elif [ "${KESTREL_FUZZ_UPDATE_CORPUS:-}" = 1 ]; then
    # Hand-written seeds stay as they are; of the rest, only inputs that add coverage.
    merged=$(mktemp -d /dev/shm/kestrel-fuzz-merged-XXXXXX)
    find "$corpus" -regextype posix-extended -type f ! -regex '.*/[0-9a-f]{40}' -exec cp {} "$merged"/ \;
    "$root/build-fuzz/$target" -merge=1 -close_fd_mask=3 "$merged" "$corpus" "$scratch" \
      >/dev/null 2>&1
    find "$corpus" -type f -delete
    cp "$merged"/* "$corpus"/
    rm -rf "$merged"
    echo "$target: corpus minimised to $(ls "$corpus" | wc -l) inputs"
  fi
  rm -rf "$scratch" "$logs"
done
exit $failed
