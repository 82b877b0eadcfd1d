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

echo "== HTML checkers (tests/tools/npm)"
(cd tests/tools/npm && npm ci --no-audit --no-fund)

echo "== Formatting"
mapfile -t sources < <(git ls-files '*.h' '*.cc' 2>/dev/null || find backend platform tests examples -name '*.h' -o -name '*.cc')
clang-format --dry-run --Werror "${sources[@]}"

run_tests() {
  echo "== Test $1"
  ctest --test-dir "$1" --output-on-failure -j "$jobs"
}

echo "== Build build/release"
scripts/build-release.sh
run_tests build/release

echo "== Benchmarks, one short run each (a smoke test: times are not checked)"
build/release/bench/omtree_bench --benchmark_min_time=0.01

echo "== API reference"
cmake --build build/release --target docs

if [ "$quick" -eq 0 ]; then
  echo "== Build build/sanitize"
  cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DCMAKE_CXX_COMPILER=clang++ \
    -DOMTREE_WARNINGS_AS_ERRORS=ON -DOMTREE_SANITIZE=ON
  cmake --build build/sanitize -j "$jobs"
  ASAN_OPTIONS=detect_leaks=1:abort_on_error=0 UBSAN_OPTIONS=print_stacktrace=1 \
    run_tests build/sanitize
  echo "== Fuzzing"
  scripts/fuzz.sh "${OMTREE_FUZZ_SECONDS:-30}"
  echo "== Valgrind"
  scripts/valgrind.sh
fi
echo "== All tests passed"
