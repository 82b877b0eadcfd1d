#!/bin/sh
# The omtree-view command's contract, end to end: exit statuses, messages
# that name the file, line and column, the three formats, and output files
# that are replaced whole or not at all.
#
#   omtree_view_test.sh OMTREE_VIEW PYTHON3
set -u
view=$1
python=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
  echo "FAIL: $*"
  failures=$((failures + 1))
}

# expect STATUS PATTERN ARGS...: runs omtree-view with ARGS, checks its exit
# status and that standard error matches the extended regular expression
# PATTERN, or is empty when PATTERN is empty. Columns count characters
# from 1, like a text editor's.
expect() {
  status=$1
  pattern=$2
  shift 2
  "$view" "$@" >"$work/out" 2>"$work/err"
  got=$?
  if [ "$got" -ne "$status" ]; then
    fail "omtree-view $*: exit status $got, expected $status; stderr: $(cat "$work/err")"
  elif [ -z "$pattern" ] && [ -s "$work/err" ]; then
    fail "omtree-view $*: unexpected stderr: $(cat "$work/err")"
  elif [ -n "$pattern" ] && ! grep -Eq -- "$pattern" "$work/err"; then
    fail "omtree-view $*: stderr does not match '$pattern': $(cat "$work/err")"
  fi
}

printf 'region,sex,income\nNorth,M,10\nSouth,F,20\nNorth,F,5.5\n' >"$work/good.csv"
printf 'region,sex\nNorth,M\nSouth\n' >"$work/ragged.csv"
printf 'region,sex\nNorth,M\nSo\377th,F\n' >"$work/utf8.csv"
printf 'region,income\nNorth,10\nSouth,12x\n' >"$work/number.csv"
: >"$work/empty.csv"

# Bad input: status 1, the message names the file and the position.
expect 1 "missing.csv: .*No such file" "$work/missing.csv" --rows region
expect 1 "good.csv: .*\"regio\"" "$work/good.csv" --rows regio
expect 1 "ragged.csv:3:[0-9]+: " "$work/ragged.csv" --rows region
expect 1 "utf8.csv:3:1: .*UTF-8" "$work/utf8.csv" --rows region
expect 1 "number.csv:3:7: .*12x" "$work/number.csv" --rows region --stat sum --value income
expect 1 "empty.csv: " "$work/empty.csv" --rows region

# Usage errors: status 2.
expect 2 "nothing to render" --ascii
expect 2 "needs --value" "$work/good.csv" --rows region --stat mean
expect 2 "--rows or --cols" "$work/good.csv"
expect 2 "format" --demo --format pdf
expect 2 "excludes|FILE" --demo "$work/good.csv"
expect 2 "group" "$work/good.csv" --rows region --group region

# The formats. The JSON must parse.
expect 0 "" "$work/good.csv" --rows region --cols sex --stat mean --value income
grep -q "Mean of income by region by sex" "$work/out" || fail "text crosstab lacks its title"
grep -q " 10.000 " "$work/out" || fail "text crosstab lacks the mean of North and M (three decimals: one more than the data has, plus two)"
expect 0 "" --demo --format html
head -c 15 "$work/out" | grep -q "<!DOCTYPE html>" || fail "HTML output lacks its doctype"
expect 0 "" --demo --format json -o "$work/demo.json"
"$python" -c 'import json, sys; json.load(open(sys.argv[1]))' "$work/demo.json" ||
  fail "JSON output does not parse"

# A failure never touches the output file, nor leaves a temporary behind.
echo "previous" >"$work/kept.txt"
expect 1 "number.csv" "$work/number.csv" --rows region --stat sum --value income -o "$work/kept.txt"
[ "$(cat "$work/kept.txt")" = "previous" ] || fail "a failed run changed the output file"
expect 1 "cannot create" --demo -o "$work/no/such/dir/out.txt"
expect 0 "" --demo -o "$work/kept.txt"
grep -q "Respondents by Region and Sex" "$work/kept.txt" || fail "a successful run did not replace the file"
leftovers=$(find "$work" -name '*.txt.*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"

# Saved documents: the demo saved and opened again shows what the demo
# shows, and saves again byte for byte.
expect 0 "" --demo -o "$work/demo.txt"
expect 0 "" --demo --format json -o "$work/saved.json"
expect 0 "" "$work/saved.json" -o "$work/reopened.txt"
cmp -s "$work/demo.txt" "$work/reopened.txt" || fail "a saved demo does not show as the demo"
expect 0 "" "$work/saved.json" --format json -o "$work/resaved.json"
cmp -s "$work/saved.json" "$work/resaved.json" || fail "a saved demo does not save again unchanged"
printf '{"format": "omtree-document", "version": 2,\n "items": [{"kind": "chart"}]}\n' \
  >"$work/bad.json"
expect 1 "bad.json:2:[0-9]+: .*\(at /items/0" "$work/bad.json"
expect 1 "missing.json: cannot open" "$work/missing.json"
expect 2 "do not apply to a saved document" "$work/saved.json" --rows region

# --transpose: the rows of a table become its columns and the other way
# round, so the grid equals that of the crosstab asked for the other way.
grid() { grep -E '^ *[+|]' "$work/out"; }
expect 0 "" "$work/good.csv" --rows region --cols sex --transpose --ascii
grid >"$work/transposed"
expect 0 "" "$work/good.csv" --rows sex --cols region --ascii
grid >"$work/swapped"
cmp -s "$work/transposed" "$work/swapped" || fail "--transpose does not swap rows and columns"

# Progress shows on a terminal (script gives the command one) and nowhere
# else.
if command -v script >/dev/null 2>&1; then
  script -qec "\"$view\" \"$work/good.csv\" --rows region >/dev/null" /dev/null >"$work/tty"
  grep -q "Reading .*good.csv: 100%" "$work/tty" || fail "no progress on a terminal"
fi
"$view" "$work/good.csv" --rows region 2>"$work/err" >/dev/null
[ -s "$work/err" ] && fail "progress written where standard error is not a terminal"

if [ "$failures" -ne 0 ]; then
  echo "$failures failure(s)"
  exit 1
fi
echo "all omtree-view checks passed"
