#!/usr/bin/python3
"""Checks an exported HTML page as a browser renders it."""

# Usage: browser_check.py FILE.html [--expect-json EXPECT.json]
#                         [--chromedriver PATH] [--chromium PATH]
#
# Loads the page in headless Chromium through chromedriver twice. With
# JavaScript on it checks: no console message of level SEVERE or WARNING, and
# each layer selection (a <section class="pivot"> with a .layer-select):
# for every combination of its selects' options exactly the <table> whose
# data-layer names that combination shows, its caption's layer lines ending
# in the chosen options and its text that of the same table without script,
# or, when no table has that combination, none shows and the status says
# "No such layer". With JavaScript off it checks that every table shows and
# no layer selection does, then reads the DOM and checks, for the page: a
# non-empty <title>; for every table: each row of its sections covers
# the same number of grid columns once colspan and rowspan are accounted for
# (a rowspan may not run past its section, no two cells may overlap; a row
# that leaves a column empty inside the grid always covers fewer columns than
# the rows above it), every <th> has a scope, and every footnote mark in a
# <sup> ("a" or "a,b") names a footnote of the table's <tfoot> (a
# <tr class="footnote"> whose first <sup> is its mark).
#
# EXPECT.json pins figures per table, in document order; every key is
# optional:
#
#   {"title": "Demo document",
#    "tables": [{"caption": ["Title", "Year: 2025"],   caption lines
#                "headRows": 2, "bodyRows": 5,         rows of thead, tbody
#                "columns": 6,                         grid width
#                "footnotes": 2,                       rows of class footnote
#                "spans": [[0, 4, 2, 1], ...],         [row, column, colspan,
#                                                      rowspan] of every head
#                                                      or body cell spanning
#                                                      more than one place
#                "cells": [[6, 5, "53a"], ...]}]}      [row, column, text] of
#                                                      the cell at that place
#
# Rows count from the first head row through the body rows; columns are grid
# columns. When "tables" is given, the page must hold that many tables.
#
# --no-layer-selection asserts the page has no layer selection to run through
# (rather than finding none by mistake), --layer-selection that it has one.
#
# Exit status 0 when every check passes; 1 otherwise, each failure reported on
# standard error.

import argparse
import json
import os
import shutil
import sys

from selenium import webdriver
from selenium.webdriver.chrome.service import Service

# Reads every table's sections, rows and cells, and the marks.
READ_TABLES = """
const text = element => element ? element.innerText.trim() : null;
const section = rows => Array.from(rows, row => Array.from(row.cells, cell => ({
  tag: cell.tagName.toLowerCase(), colspan: cell.colSpan, rowspan: cell.rowSpan,
  scope: cell.getAttribute('scope'), text: text(cell)})));
return Array.from(document.querySelectorAll('table'), table => ({
  caption: table.caption ? table.caption.innerText : null,
  head: table.tHead ? section(table.tHead.rows) : [],
  bodies: Array.from(table.tBodies, body => section(body.rows)),
  foot: table.tFoot ? section(table.tFoot.rows) : [],
  marks: Array.from(table.querySelectorAll('sup'), text),
  footnotes: table.tFoot ? Array.from(table.tFoot.querySelectorAll('tr.footnote'),
                                      row => text(row.querySelector('sup'))) : [],
}));
"""

# With script off: whether each table and each layer selection is rendered,
# and each layered table's text by its data-layer, per pivot section.
READ_VISIBILITY = """
const shown = element => element.getClientRects().length > 0;
return {
  tables: Array.from(document.querySelectorAll('table'), shown),
  selections: Array.from(document.querySelectorAll('.layer-select'), shown),
  layers: Array.from(document.querySelectorAll('section.pivot'), pivot => Object.fromEntries(
    Array.from(pivot.querySelectorAll('table[data-layer]'),
               table => [table.dataset.layer, table.innerText]))),
};
"""

# With script on: runs through every combination of each layer selection's
# options, choosing them as a user does (a change event per select), and
# reports what shows for each.
RUN_SELECTIONS = """
const shown = element => element.getClientRects().length > 0;
return Array.from(document.querySelectorAll('section.pivot'), (pivot, number) => {
  const controls = pivot.querySelector('.layer-select');
  if (!controls) return null;
  const selects = Array.from(controls.querySelectorAll('select'));
  const results = [];
  const visit = depth => {
    if (depth === selects.length) {
      const tables = Array.from(pivot.querySelectorAll('table'));
      const visible = tables.filter(shown);
      results.push({
        key: selects.map(select => select.value).join(' '),
        chosen: selects.map(select => select.selectedOptions[0].text),
        labelled: selects.map(select => select.labels.length),
        tables: tables.map(table => table.dataset.layer),
        visible: visible.map(table => ({
          layer: table.dataset.layer, text: table.innerText,
          lines: Array.from(table.querySelectorAll('caption .layer'), line => line.innerText)})),
        status: controls.querySelector('[role=status]').innerText,
        controlsShown: shown(controls),
      });
      return;
    }
    for (const option of selects[depth].options) {
      selects[depth].value = option.value;
      selects[depth].dispatchEvent(new Event('change'));
      visit(depth + 1);
    }
  };
  visit(0);
  return {number, results};
}).filter(pivot => pivot !== null);
"""

SCOPES = {"row", "col", "rowgroup", "colgroup"}
EXPECT_KEYS = {"caption", "headRows", "bodyRows", "columns", "footnotes", "spans", "cells"}


# Places the cells of one section on a grid, as the HTML table model does.
# Returns the grid columns each row covers, and a map from (row, column), rows
# numbered from first_row, to the cell standing there and the place it starts.
def occupy(rows, first_row, problems, where):
    places, end = {}, first_row + len(rows)
    for r, cells in enumerate(rows, first_row):
        column = 0
        for cell in cells:
            while (r, column) in places:
                column += 1
            if r + cell["rowspan"] > end:
                problems.append(f"{where}: row {r}, column {column}: rowspan "
                                f"{cell['rowspan']} runs past the end of its section")
            for place in [(r + dr, column + dc) for dr in range(cell["rowspan"])
                          for dc in range(cell["colspan"]) if r + dr < end]:
                if place in places:
                    problems.append(f"{where}: row {place[0]}, column {place[1]}: "
                                    "two cells overlap")
                places[place] = (cell, (r, column))
            column += cell["colspan"]
    return [sum(1 for row, _ in places if row == r) for r in range(first_row, end)], places


# Checks one table generically; returns its figures for the expectations.
def check_table(number, table, problems):
    where = f"table {number}"
    sections = [("thead", table["head"])] + [("tbody", body) for body in table["bodies"]]
    sections.append(("tfoot", table["foot"]))
    places, widths, row = {}, [], 0
    for name, rows in sections:
        section_widths, section_places = occupy(rows, row, problems, f"{where} {name}")
        widths += [(row + r, name, width) for r, width in enumerate(section_widths)]
        if name != "tfoot":
            places.update(section_places)
            row += len(rows)
    for r, name, width in widths:
        if width != widths[0][2]:
            problems.append(f"{where} {name}: row {r} covers {width} columns, row "
                            f"{widths[0][0]} {widths[0][2]}")
    for cell in (cell for _, rows in sections for cells in rows for cell in cells):
        if cell["tag"] == "th" and cell["scope"] not in SCOPES:
            problems.append(f"{where}: <th> \"{cell['text']}\" has no valid scope")
    if None in table["footnotes"]:
        problems.append(f"{where}: a footnote row starts with no <sup> mark")
    for mark in (mark for marks in table["marks"] for mark in marks.split(",")):
        if mark not in table["footnotes"]:
            problems.append(f"{where}: mark \"{mark}\" names no footnote of the table")
    return {
        "caption": table["caption"].split("\n") if table["caption"] is not None else None,
        "headRows": len(table["head"]),
        "bodyRows": sum(len(body) for body in table["bodies"]),
        "columns": widths[0][2] if widths else 0,
        "footnotes": len(table["footnotes"]),
        "spans": [[*start, cell["colspan"], cell["rowspan"]]
                  for place, (cell, start) in sorted(places.items())
                  if place == start and (cell["colspan"] > 1 or cell["rowspan"] > 1)],
        "places": places,
    }


def check_expectations(expect, title, figures, problems):
    if "title" in expect and title != expect["title"]:
        problems.append(f"page: title \"{title}\", expected \"{expect['title']}\"")
    if "tables" not in expect:
        return
    if len(figures) != len(expect["tables"]):
        problems.append(f"page: {len(figures)} tables, expected {len(expect['tables'])}")
    for number, (want, have) in enumerate(zip(expect["tables"], figures)):
        for key in sorted(want.keys() - EXPECT_KEYS):
            problems.append(f"expectations of table {number}: unknown key \"{key}\"")
        for key in sorted(want.keys() & EXPECT_KEYS - {"cells"}):
            if have[key] != want[key]:
                problems.append(f"table {number}: {key} {json.dumps(have[key])}, "
                                f"expected {json.dumps(want[key])}")
        for r, c, text in want.get("cells", []):
            place = have["places"].get((r, c))
            found = place[0]["text"] if place else None
            if found != text:
                problems.append(f"table {number}: cell ({r}, {c}) {json.dumps(found)}, "
                                f"expected {json.dumps(text)}")


# The layer selections as the script runs them, against the tables' text
# without script (layers: per pivot section, data-layer to text).
def check_selections(selections, layers, problems):
    for pivot in selections:
        where = f"layer selection {pivot['number']}"
        texts = layers[pivot["number"]]
        reached = set()
        for result in pivot["results"]:
            combination = f"{where}, {json.dumps(result['chosen'])}"
            if not result["controlsShown"]:
                problems.append(f"{where}: the selects do not show with script on")
            if 0 in result["labelled"]:
                problems.append(f"{where}: a select has no <label>")
            visible = result["visible"]
            if result["key"] not in result["tables"]:
                if visible:
                    problems.append(f"{combination}: no layer has it, yet {len(visible)} show")
                if not result["status"].startswith("No such layer"):
                    problems.append(f"{combination}: status \"{result['status']}\" for no layer")
                continue
            reached.add(result["key"])
            if [table["layer"] for table in visible] != [result["key"]]:
                problems.append(f"{combination}: layers {[t['layer'] for t in visible]} show, "
                                f"expected only {result['key']}")
                continue
            table = visible[0]
            if len(table["lines"]) != len(result["chosen"]) or not all(
                    line.endswith(chosen) for line, chosen in zip(table["lines"], result["chosen"])):
                problems.append(f"{combination}: the shown caption says {table['lines']}")
            if table["text"] != texts.get(result["key"]):
                problems.append(f"{combination}: the shown table differs from layer "
                                f"{result['key']} without script")
            if not all(line in result["status"] for line in table["lines"]):
                problems.append(f"{combination}: status \"{result['status']}\" does not name "
                                "the shown layer")
        for key in sorted(texts.keys() - reached):
            problems.append(f"{where}: no choice shows layer {key}")


def open_page(args, script):
    options = webdriver.ChromeOptions()
    for argument in ("--headless=new", "--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage"):
        options.add_argument(argument)
    if args.chromium:
        options.binary_location = args.chromium
    if not script:
        options.add_experimental_option(
            "prefs", {"profile.managed_default_content_settings.javascript": 2})
    options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
    driver = webdriver.Chrome(service=Service(executable_path=args.chromedriver), options=options)
    driver.set_page_load_timeout(60)
    driver.get("file://" + os.path.abspath(args.page))
    return driver


def main():
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("page")
    parser.add_argument("--expect-json")
    parser.add_argument("--chromedriver", default=shutil.which("chromedriver"))
    parser.add_argument("--chromium", default=shutil.which("chromium"))
    selection = parser.add_mutually_exclusive_group()
    selection.add_argument("--layer-selection", action="store_true")
    selection.add_argument("--no-layer-selection", action="store_true")
    args = parser.parse_args()
    if not args.chromedriver or not os.access(args.chromedriver, os.X_OK):
        print(f"browser_check: chromedriver not found ({args.chromedriver}); "
              "install chromium-driver", file=sys.stderr)
        return 1
    if not os.path.isfile(args.page):
        print(f"browser_check: no page {args.page}", file=sys.stderr)
        return 1
    expect = {}
    if args.expect_json:
        with open(args.expect_json, encoding="utf-8") as file:
            expect = json.load(file)

    driver = open_page(args, script=False)
    try:
        title = driver.title
        tables = driver.execute_script(READ_TABLES)
        visibility = driver.execute_script(READ_VISIBILITY)
    finally:
        driver.quit()
    driver = open_page(args, script=True)
    try:
        selections = driver.execute_script(RUN_SELECTIONS)
        log = driver.get_log("browser")
    finally:
        driver.quit()

    problems = [] if title.strip() else ["page: the <title> is empty"]
    problems += [f"page: console {entry['level']}: {entry['message']}" for entry in log
                 if entry["level"] in ("SEVERE", "WARNING")]
    problems += [f"page: without script, table {number} does not show"
                 for number, shown in enumerate(visibility["tables"]) if not shown]
    problems += [f"page: without script, layer selection {number} shows"
                 for number, shown in enumerate(visibility["selections"]) if shown]
    if args.layer_selection and not selections:
        problems.append("page: no layer selection, expected one")
    if args.no_layer_selection and selections:
        problems.append(f"page: {len(selections)} layer selections, expected none")
    check_selections(selections, visibility["layers"], problems)
    figures = [check_table(number, table, problems) for number, table in enumerate(tables)]
    check_expectations(expect, title, figures, problems)
    for problem in problems:
        print(f"{args.page}: {problem}", file=sys.stderr)
    if problems:
        print(f"browser_check: {len(problems)} problems", file=sys.stderr)
        return 1
    print(f"browser_check: {args.page}: {len(tables)} tables, "
          f"{sum(len(pivot['results']) for pivot in selections)} layer choices pass")
    return 0


if __name__ == "__main__":
    sys.exit(main())
