#!/usr/bin/python3
"""Checks that omtree-view nests dimensions the way the user names them."""

# Usage: nesting_check.py OMTREE-VIEW
#
# Writes a small CSV file of four category columns, crosstabs it with
# --rows a,b --cols c,d (and the other way round, and sorted), and reads the
# HTML page's body row by row: the data cells must come in the order of the
# table laid out here, independently, with the first column named outermost
# (its categories changing slowest) on each axis, and each row's labels must
# be that row's categories. Exit status 0 when every check passes.

import csv
import html.parser
import itertools
import os
import random
import subprocess
import sys
import tempfile


class BodyReader(html.parser.HTMLParser):
    """Collects, per <tbody> row of the first table, its labels and cells."""

    def __init__(self):
        super().__init__()
        self.rows, self.cell, self.in_body, self.tables = [], None, False, 0

    def handle_starttag(self, tag, attrs):
        if tag == "table":
            self.tables += 1
        elif tag == "tbody" and self.tables == 1:
            self.in_body = True
        elif tag == "tr" and self.in_body:
            self.rows.append({"labels": [], "cells": []})
        elif tag in ("th", "td") and self.in_body:
            self.cell = (tag, "")

    def handle_data(self, data):
        if self.cell is not None:
            self.cell = (self.cell[0], self.cell[1] + data)

    def handle_endtag(self, tag):
        if tag == "tbody":
            self.in_body = False
        elif tag in ("th", "td") and self.cell is not None:
            kind, text = self.cell
            self.rows[-1]["labels" if kind == "th" else "cells"].append(text)
            self.cell = None


def categories(records, column, ordered):
    seen = list(dict.fromkeys(record[column] for record in records))
    return sorted(seen) if ordered else seen


def check(view, path, records, rows, cols, ordered):
    command = [view, path, "--rows", ",".join(rows), "--cols", ",".join(cols), "--format", "html"]
    if ordered:
        command.append("--sort")
    page = subprocess.run(command, check=True, capture_output=True, text=True).stdout
    reader = BodyReader()
    reader.feed(page)

    counts = {}
    for record in records:
        key = tuple(record[name] for name in rows + cols)
        counts[key] = counts.get(key, 0) + 1
    row_keys = list(itertools.product(*(categories(records, n, ordered) for n in rows)))
    col_keys = list(itertools.product(*(categories(records, n, ordered) for n in cols)))
    expected_cells = [[str(counts[r + c]) if r + c in counts else "" for c in col_keys]
                      for r in row_keys]
    problems = []
    got_cells = [row["cells"] for row in reader.rows]
    if got_cells != expected_cells:
        problems.append(f"cells {got_cells} != expected {expected_cells}")
    # A label stands once at the top of its block: the labels a row shows
    # are the categories that change at that row, outermost first, each
    # after its dimension's name where a block of the dimension starts.
    for number, (row, key) in enumerate(zip(reader.rows, row_keys)):
        previous = row_keys[number - 1] if number > 0 else None
        changed = next((d for d in range(len(rows)) if previous is None or
                        key[d] != previous[d]), len(rows))
        expected = []
        for d in range(changed, len(rows)):
            if number == 0 or d > 0 and d > changed:
                expected.append(rows[d])
            expected.append(key[d])
        if row["labels"] != expected:
            problems.append(f"row {number}: labels {row['labels']} != expected {expected}")
    where = f"--rows {','.join(rows)} --cols {','.join(cols)}{' --sort' if ordered else ''}"
    for problem in problems:
        print(f"{where}: {problem}", file=sys.stderr)
    return not problems


def main():
    view = sys.argv[1]
    generator = random.Random(7)
    values = {"a": ["north", "south", "east"], "b": ["x", "y"], "c": ["2025", "2026"],
              "d": ["F", "M", "D"]}
    records = [{name: generator.choice(pool) for name, pool in values.items()}
               for _ in range(200)]
    with tempfile.TemporaryDirectory() as work:
        path = os.path.join(work, "nesting.csv")
        with open(path, "w", newline="", encoding="utf-8") as file:
            writer = csv.DictWriter(file, fieldnames=list(values))
            writer.writeheader()
            writer.writerows(records)
        good = True
        for rows, cols, ordered in [(["a", "b"], ["c", "d"], False), (["b", "a"], ["d", "c"], False),
                                    (["a", "b"], ["c", "d"], True)]:
            good = check(view, path, records, rows, cols, ordered) and good
    print("nesting checks passed" if good else "nesting checks failed")
    return 0 if good else 1


if __name__ == "__main__":
    sys.exit(main())
