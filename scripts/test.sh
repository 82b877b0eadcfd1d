#!/usr/bin/env bash
# Builds omtree and runs every test: installs missing packages, checks the
# formatting, builds with warnings as errors, runs the tests, runs each
# benchmark once and builds the API reference (warnings fail it); then
# builds and tests again with the address and undefined-behaviour
# sanitizers, runs each fuzzer for a bounded time (OMTREE_FUZZ_SECONDS,
# default 30) and runs the tests under valgrind's memcheck.
#
#   scripts/test.sh            everything
#   scripts/test.sh --quick    the ordinary build, its tests and the benchmarks
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
fi

scripts/install-deps.sh

echo "== Formatting"
mapfile -t sources < <(git ls-files '*.h' '*.cc' 2>/dev/null || find backend platform tests examples -name '*.h' -o -name '*.cc')
clang-format --dry-run --Werror "${sources[@]}"

build_and_test() {
  local dir=$1
  shift
  echo "== Build $dir"
  cmake -S . -B "$dir" -G Ninja -DOMTREE_WARNINGS_AS_ERRORS=ON "$@"
  cmake --build "$dir" -j "$jobs"
  echo "== Test $dir"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs"
}

build_and_test build/release -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
  -DOMTREE_BUILD_BENCHMARKS=ON

echo "== Benchmarks, one short run each (a smoke test: times are not checked)"
build/release/bench/omtree_bench --benchmark_min_time=0.01

echo "== API reference"
cmake --build build/release --target docs

if [ "$quick" -eq 0 ]; then
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    build_and_test build/sanitize -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DOMTREE_SANITIZE=ON
  echo "== Fuzzing"
  scripts/fuzz.sh "${OMTREE_FUZZ_SECONDS:-30}"
  echo "== Valgrind"
  scripts/valgrind.sh
fi
echo "== All tests passed"
