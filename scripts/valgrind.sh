#!/usr/bin/env bash
# Runs the tests under valgrind's memcheck: configures and builds
# build/valgrind (g++, RelWithDebInfo, without the tools), then runs every
# test program that ctest would run under valgrind, two at a time (one per
# core), and fails when any of them reports a memory error, leaks a block
# definitely, or fails a test.
#
# Left out: the packaging tests (they run cmake), the tests labelled
# "stress" (far too slow under valgrind) and the death tests (gtest filter
# -*DeathTest*: their children abort on purpose). A test program whose
# tests gtest discovered runs once, all its tests together; any other test
# runs its own command. Each program's valgrind report and output go to
# build/valgrind/memcheck/<program>.{valgrind,out}.
#
#   scripts/valgrind.sh
set -euo pipefail
shopt -s nullglob

root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
jobs=$(nproc 2>/dev/null || echo 2)
build=build/valgrind
logs=$build/memcheck

scripts/install-deps.sh
if ! command -v valgrind >/dev/null 2>&1; then
  echo "Installing: valgrind"
  sudo=""
  if [ "$(id -u)" -ne 0 ]; then
    sudo="sudo"
  fi
  export DEBIAN_FRONTEND=noninteractive
  $sudo apt-get update -q
  $sudo apt-get install -y -q --no-install-recommends valgrind
fi

echo "== Build $build"
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=g++ \
  -DOMTREE_BUILD_TOOLS=OFF -DOMTREE_BUILD_TESTS=ON
cmake --build "$build" -j "$jobs"

rm -rf "$logs"
mkdir -p "$logs"

# The C library's dynamic loader compares the strings of a run path a word
# at a time, past their ends, when iconv loads a conversion module; valgrind
# reports those reads although they cannot fault.
cat >"$logs/system.supp" <<'EOF'
{
   dynamic loader: word-wise strncmp while expanding a run path
   Memcheck:Addr8
   fun:strncmp
   fun:is_dst
   ...
   fun:decompose_rpath
}
EOF

# nouserintercepts: robustness_test replaces the global operator new and
# delete with its own counting versions, which must stay in place.
options=(--tool=memcheck --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=definite
  --soname-synonyms=somalloc=nouserintercepts --suppressions="$logs/system.supp")

# The command of every selected test, as ctest prints it.
mapfile -t commands < <(ctest --test-dir "$build" -N -V -LE stress -E '^packaging\.' |
  sed -n 's/^[0-9]*: Test command: //p')
if [ ${#commands[@]} -eq 0 ]; then
  echo "no tests found in $build" >&2
  exit 1
fi
mapfile -t gtestPrograms < <(printf '%s\n' "${commands[@]}" | grep -e '--gtest_filter=' |
  cut -d' ' -f1 | sort -u)
mapfile -t otherCommands < <(printf '%s\n' "${commands[@]}" | grep -v -e '--gtest_filter=' || true)

# Runs one program under valgrind and records "<status> <seconds>s <name>".
memcheck() {
  local name=$1
  shift
  local start=$SECONDS
  local status=ok
  if ! valgrind "${options[@]}" --log-file="$logs/$name.valgrind" "$@" >"$logs/$name.out" 2>&1; then
    status=FAILED
  fi
  echo "$status $((SECONDS - start))s $name" >"$logs/$name.status"
}

echo "== Memcheck: ${#gtestPrograms[@]} test programs and ${#otherCommands[@]} other tests"
start=$SECONDS
for program in "${gtestPrograms[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  memcheck "$(basename "$program")" "$program" --gtest_filter='-*DeathTest*' &
done
for k in "${!otherCommands[@]}"; do
  while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
  words=()
  eval "words=(${otherCommands[$k]})"
  memcheck "$(basename "${words[0]}").$k" "${words[@]}" &
done
wait

failed=0
runs=0
for status in "$logs"/*.status; do
  cat "$status"
  runs=$((runs + 1))
  if grep -q '^FAILED' "$status"; then
    failed=1
  fi
done
if [ "$runs" -ne $((${#gtestPrograms[@]} + ${#otherCommands[@]})) ]; then
  echo "== Memcheck: $runs of $((${#gtestPrograms[@]} + ${#otherCommands[@]})) runs finished" >&2
  failed=1
fi
echo "== Memcheck took $((SECONDS - start))s"
if [ "$failed" -ne 0 ]; then
  echo "== Memcheck FAILED: see $logs" >&2
  exit 1
fi
echo "== Memcheck passed"
