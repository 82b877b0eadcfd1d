#!/bin/sh
# The omtree-view command's contract, end to end: exit statuses, messages
# that name the file, line and column, the four formats, and output files
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
printf 'region,sex,w\nNorth,M,2\nSouth,F,x\nNorth,F,-1\nSouth,M,0.5\n' >"$work/weights.csv"
berkeley=$(dirname "$0")/data/berkeley-admissions.csv
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
expect 2 "--stat: unknown statistic 'mode'; the statistics are count, sum, mean" \
  "$work/good.csv" --rows region --stat count,mode
expect 2 "--stat: 'count' is named twice" "$work/good.csv" --rows region --stat count,rowpct,count
expect 2 "--stat median needs --value" "$work/good.csv" --rows region --stat count,median
expect 2 "--chisq needs exactly one --rows column and one --cols column" \
  "$work/good.csv" --rows region,sex --cols income --chisq
expect 2 "--chisq needs exactly one" "$work/good.csv" --rows region --chisq
expect 2 "stats-in" "$work/good.csv" --rows region --stat count,rowpct --stats-in diagonal

# Weights that are not numbers or negative: the rows are left out and
# counted in the caption, and the run succeeds.
expect 0 "" "$work/weights.csv" --rows region --cols sex --weight w
grep -q "Left out for a weight of w that is empty: 0, not a number: 1, negative: 1." "$work/out" ||
  fail "the caption does not count the weights left out"
grep -q "North .* 2\.0 " "$work/out" || fail "the weighted count of North and M is not 2.0"

# Statistics, totals and chi-square tests in every format: the published
# figures of the Berkeley admissions (tests/tools/data/README.md).
published() {
  expect 0 "" "$berkeley" --rows gender --cols admission --weight frequency \
    --stat count,rowpct --totals --chisq "$@"
}
published
for figure in "44.5%" "30.4%" "100.0%" "4526" "Chi-square tests" "Pearson chi-square .* 92.205 " \
  "Likelihood ratio .* 93.449 " "--stat count,rowpct --weight frequency --totals --chisq"; do
  grep -Eq -- "$figure" "$work/out" || fail "text output lacks '$figure'"
done
published --format html
for figure in '<td class="number">44.5%</td>' '<td class="number">92.205</td>' \
  '<td class="number">2691</td>'; do
  grep -q -- "$figure" "$work/out" || fail "HTML output lacks '$figure'"
done
published --format json -o "$work/berkeley.json"
"$python" - "$work/berkeley.json" <<'CHECK' || fail "JSON figures of the Berkeley admissions"
import json, math, sys
items = json.load(open(sys.argv[1]))["items"][0]["children"][0]["children"]
crosstab, tests = items
cells = {tuple(c["index"]): c["text"] for c in crosstab["cells"]}
def number(text):
    if text["kind"] == "number":
        return text["value"]
    assert text["kind"] == "composite", text
    return number(text["root"]["parts"][0]["text"])
# Male, Admitted, Row %: a composite of the full percentage, shown with one
# decimal, and the sign.
male = cells[(0, 0, 1)]
parts = [part["text"] for part in male["root"]["parts"]]
assert parts[0]["decimals"] == 1 and parts[1] == {"kind": "string", "text": "%"}, male
assert math.isclose(number(male), 100 * 1198 / 2691), male
assert number(cells[(2, 2, 0)]) == 4526
figures = {tuple(c["index"]): number(c["text"]) for c in tests["cells"]}
assert abs(figures[(0, 0)] - 92.2053) < 5e-5, figures[(0, 0)]
assert abs(figures[(1, 0)] - 93.4494) < 5e-5, figures[(1, 0)]
assert figures[(0, 1)] == 1 and figures[(0, 2)] < 1e-4
CHECK

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
# The output is written as it is rendered, so a write can fail halfway: a
# file size limit stands in for a full disk (with SIGXFSZ ignored, the
# write fails with EFBIG), and the old file stays.
cp "$work/kept.txt" "$work/before"
(trap '' XFSZ; ulimit -f 2; "$view" --demo -o "$work/kept.txt" >"$work/out" 2>"$work/err"
  echo $? >"$work/status")
[ "$(cat "$work/status")" -eq 1 ] || fail "a write failing halfway: exit status $(cat "$work/status")"
grep -q "kept.txt: cannot write: File too large" "$work/err" ||
  fail "a write failing halfway: $(cat "$work/err")"
cmp -s "$work/kept.txt" "$work/before" || fail "a write failing halfway changed the file"
"$view" --demo --format html >/dev/full 2>"$work/err"
[ $? -eq 1 ] && grep -q "standard output: cannot write: No space left" "$work/err" ||
  fail "a full standard output: $(cat "$work/err")"
# A directory nobody may write to: /proc, and one made read-only, unless
# the user may write there all the same (root).
expect 1 "omtree-view: /proc/out.txt: cannot create a temporary file" --demo -o /proc/out.txt
mkdir "$work/readonly"
chmod 555 "$work/readonly"
if ! touch "$work/readonly/probe" 2>/dev/null; then
  expect 1 "readonly/out.txt: cannot create a temporary file" --demo -o "$work/readonly/out.txt"
  [ -z "$(ls "$work/readonly")" ] || fail "a read-only directory got a file"
fi
chmod 755 "$work/readonly"
rm "$work/before"
leftovers=$(find "$work" -name '*.txt.*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporary files left behind"
# A workbook goes the same way: replaced whole, never half-written, and
# only with -o.
echo "previous" >"$work/kept.xlsx"
expect 1 "number.csv" "$work/number.csv" --rows region --stat sum --value income \
  --format xlsx -o "$work/kept.xlsx"
[ "$(cat "$work/kept.xlsx")" = "previous" ] || fail "a failed run changed the workbook"
expect 2 "name it with -o" --demo --format xlsx
expect 1 "cannot create" --demo --format xlsx -o "$work/no/such/dir/out.xlsx"
expect 0 "" --demo --format xlsx -o "$work/kept.xlsx"
head -c 2 "$work/kept.xlsx" | grep -q "PK" || fail "the workbook is not a zip archive"
leftovers=$(find "$work" -name '*.xlsx.*' | wc -l)
[ "$leftovers" -eq 0 ] || fail "temporary workbooks left behind"

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
expect 2 "apply to a CSV file, not to a saved document" "$work/saved.json" --rows region

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
