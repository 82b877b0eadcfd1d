#!/usr/bin/env bash
# Configures and builds the release tree build/release, the one that
# scripts/demo.sh and scripts/test.sh share. Both go through here so that
# they always configure it with the same compiler and options: the tree can
# then be reused in either order, and CMake never drops its cache because a
# second configure asked for another compiler.
#
#   scripts/build-release.sh [target...]    (default: everything)
#
# Build output goes to standard output; the caller decides what to show.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)

cmake -S . -B build/release -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=g++ -DOMTREE_WARNINGS_AS_ERRORS=ON -DOMTREE_BUILD_BENCHMARKS=ON
if [ "$#" -eq 0 ]; then
  cmake --build build/release -j "$jobs"
else
  cmake --build build/release -j "$jobs" --target "$@"
fi
