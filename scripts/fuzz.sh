#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/) with clang and runs each one for a
# bounded time, starting from its seed corpus in fuzz/corpus/<name>/.
#
#   scripts/fuzz.sh [seconds-per-target]    (default 60)
#
# Each fuzzer works on a scratch copy of its seeds, so fuzz/corpus is never
# written. Crash, leak and timeout inputs go to build/fuzz/findings/<name>/,
# the fuzzer's output to build/fuzz/logs/<name>.log. Exits non-zero when any
# fuzzer stops with a finding (a non-zero exit or an input written to its
# findings directory); every target runs either way.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

seconds=${1:-60}
if ! [[ "$seconds" =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: scripts/fuzz.sh [seconds-per-target]" >&2
  exit 2
fi
if ! command -v clang++ >/dev/null; then
  echo "scripts/fuzz.sh needs clang++ (with libFuzzer); run scripts/install-deps.sh" >&2
  exit 2
fi

targets=(map_info outline dimension cells headings csv document)
build=build/fuzz
jobs=$(nproc 2>/dev/null || echo 2)

echo "== Build $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DOMTREE_BUILD_FUZZERS=ON -DOMTREE_BUILD_TESTS=OFF -DOMTREE_BUILD_TOOLS=OFF
cmake --build "$build" -j "$jobs" --target "${targets[@]/#/fuzz_}"

scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
mkdir -p "$build/logs"

failed=()
for name in "${targets[@]}"; do
  corpus="$scratch/$name"
  findings="$build/findings/$name"
  log="$build/logs/$name.log"
  mkdir -p "$corpus"
  cp -R "fuzz/corpus/$name/." "$corpus/"
  rm -rf "$findings"
  mkdir -p "$findings"

  echo "== Fuzz $name for ${seconds}s"
  status=0
  UBSAN_OPTIONS=print_stacktrace=1 "$build/fuzz/fuzz_$name" \
    -max_total_time="$seconds" -timeout=10 -rss_limit_mb=4096 -print_final_stats=1 \
    -artifact_prefix="$findings/" "$corpus" >"$log" 2>&1 || status=$?

  grep -E '^#[0-9]+[[:space:]]+DONE' "$log" | tail -n 1 || true
  grep -E '^stat::number_of_executed_units|^stat::average_exec_per_sec' "$log" || true
  if [ "$status" -ne 0 ] || [ -n "$(ls -A "$findings")" ]; then
    echo "!! $name: exit status $status; findings in $findings, log in $log"
    tail -n 40 "$log"
    failed+=("$name")
  fi
done

if [ "${#failed[@]}" -ne 0 ]; then
  echo "== Fuzzing found problems in: ${failed[*]}"
  exit 1
fi
echo "== Fuzzing found nothing"
