"""Reads omtree-view's Markdown and tidy CSV back and compares them with
counts made here from the CSV input, independently of omtree-view: the pipe
tables with a small parser of their own, the CSV with pandas. The tidy CSV
is then fed back through the crosstab, which must rebuild the same cells.

Usage: text_formats_check.py OMTREE_VIEW SURVEY_CSV WORK_DIR
Prints "text format checks passed" and exits 0 when every check holds.
"""

import collections
import csv
import os
import re
import subprocess
import sys

import pandas

CATEGORIES = ["country", "city", "sex", "year"]


def run(view, *args):
    return subprocess.run([view, *args], check=True, capture_output=True, text=True).stdout


def expected_counts(survey):
    """(country, city, sex, year) -> count, rows with a category missing left out."""
    counts = collections.Counter()
    with open(survey, newline="", encoding="utf-8") as f:
        for row in csv.DictReader(f):
            key = tuple(row[c] for c in CATEGORIES)
            if all(key):
                counts[key] += 1
    return dict(counts)


def unescape(cell):
    cell = cell.replace("<br>", "\n")
    return re.sub(r"\\(.)", r"\1", cell)


def split_row(line):
    """The cells of a pipe table row, split at the pipes not escaped."""
    cells, current, i = [], "", 1
    while i < len(line) - 1:
        if line[i] == "\\":
            current += line[i : i + 2]
            i += 2
            continue
        if line[i] == "|":
            cells.append(current.strip())
            current = ""
        else:
            current += line[i]
        i += 1
    cells.append(current.strip())
    return [unescape(c) for c in cells]


def markdown_counts(text):
    """Every filled cell of the crosstab's pipe tables, keyed as expected_counts."""
    counts = {}
    year = None
    lines = text.split("\n")
    for n, line in enumerate(lines):
        match = re.match(r"year: (.*)$", line)
        if match:
            year = unescape(match.group(1))
        if not line.startswith("|") or not lines[n + 1].startswith("| ---"):
            continue
        header = split_row(line)
        for row_line in lines[n + 2 :]:
            if not row_line.startswith("|"):
                break
            row = split_row(row_line)
            assert len(row) == len(header), (row, header)
            # Label columns: the dimension name, the country, the city.
            _, country, city = row[:3]
            for label, cell in zip(header[3:], row[3:]):
                assert label.startswith("sex / "), label
                if cell:
                    counts[(country, city, label[len("sex / ") :], year)] = int(cell)
    return counts


def tidy_counts(path):
    frame = pandas.read_csv(path, dtype=str, keep_default_na=False)
    assert list(frame.columns) == ["city (group 1)", "city", "sex", "year", "value"], list(
        frame.columns
    )
    frame = frame.astype({"value": float})
    return {
        (r["city (group 1)"], r["city"], r["sex"], r["year"]): r["value"]
        for _, r in frame.iterrows()
    }


def main():
    view, survey, work = sys.argv[1:4]
    expected = expected_counts(survey)
    arguments = [survey, "--rows", "city", "--group", "city=country", "--cols", "sex"]
    arguments += ["--layers", "year"]
    failures = []

    found = markdown_counts(run(view, *arguments, "--format", "markdown"))
    if found != expected:
        failures.append(f"markdown cells {found} differ from the counts {expected}")

    first = os.path.join(work, "survey-tidy.csv")
    run(view, *arguments, "--format", "csv", "-o", first)
    found = tidy_counts(first)
    if found != expected:
        failures.append(f"tidy CSV cells {found} differ from the counts {expected}")

    again = os.path.join(work, "survey-tidy-again.csv")
    run(view, first, "--rows", "city", "--group", "city=city (group 1)", "--cols", "sex",
        "--layers", "year", "--stat", "sum", "--value", "value", "--format", "csv", "-o", again)
    rebuilt = tidy_counts(again)
    if rebuilt != found:
        failures.append(f"the crosstab of the tidy CSV {rebuilt} differs from {found}")

    for failure in failures:
        print(failure)
    if failures:
        sys.exit(1)
    print("text format checks passed")


if __name__ == "__main__":
    main()
