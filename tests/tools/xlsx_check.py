#!/usr/bin/env python3
"""Checks the workbooks omtree-view writes with --format xlsx, read back with
openpyxl: values and their types, number formats, merged ranges of spanning
labels, sheet names, footnotes below tables, and texts that look like
formulas or markup kept as strings. The superscript runs of footnote marks
are read from the workbook's shared strings, since the openpyxl of Debian 12
(3.0) reads rich text as plain strings.

Usage: xlsx_check.py OMTREE_VIEW TESTS_DIR --case demo|survey|berkeley|escaping
Prints "xlsx check passed" and exits 0, or lists every problem and exits 1.
"""

import argparse
import csv
import json
import os
import subprocess
import sys
import tempfile
import zipfile
import xml.etree.ElementTree as ElementTree

import openpyxl
from openpyxl.utils import get_column_letter

NS = {"m": "http://schemas.openxmlformats.org/spreadsheetml/2006/main"}
problems = []


def expect(condition, message):
    if not condition:
        problems.append(message)


def view(binary, *args, cwd=None):
    result = subprocess.run([binary, *args], cwd=cwd, capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"omtree-view {' '.join(args)} failed ({result.returncode}): {result.stderr}")


def rich_runs(path, sheet_number):
    """{coordinate: [(text, superscript)]} for the rich-text cells of the
    sheet-th sheet (1-based; libxlsxwriter names them sheet1.xml, ...)."""
    with zipfile.ZipFile(path) as archive:
        names = archive.namelist()
        strings = []
        if "xl/sharedStrings.xml" in names:
            root = ElementTree.fromstring(archive.read("xl/sharedStrings.xml"))
            for item in root.findall("m:si", NS):
                runs = []
                for run in item.findall("m:r", NS):
                    align = run.find("m:rPr/m:vertAlign", NS)
                    superscript = align is not None and align.get("val") == "superscript"
                    runs.append((run.find("m:t", NS).text or "", superscript))
                strings.append(runs)
        sheet = ElementTree.fromstring(archive.read(f"xl/worksheets/sheet{sheet_number}.xml"))
    cells = {}
    for cell in sheet.iter(f"{{{NS['m']}}}c"):
        value = cell.find("m:v", NS)
        if cell.get("t") == "s" and value is not None and strings[int(value.text)]:
            cells[cell.get("r")] = strings[int(value.text)]
    return cells


def find_row(sheet, text, column=1, start=1):
    for row in range(start, sheet.max_row + 1):
        if sheet.cell(row, column).value == text:
            return row
    return None


def merged(sheet):
    return {str(r) for r in sheet.merged_cells.ranges}


def span(top, left, bottom, right):
    return f"{get_column_letter(left)}{top}:{get_column_letter(right)}{bottom}"


def check_demo(binary, tests_dir, work):
    path = os.path.join(work, "demo.xlsx")
    view(binary, "--demo", "--format", "xlsx", "-o", path)
    book = openpyxl.load_workbook(path)
    expect(book.sheetnames == ["Document"], f"sheets {book.sheetnames}, expected one, Document")
    sheet = book["Document"]
    title = find_row(sheet, "Respondents by Region and Sex")
    expect(title is not None, "no row holds the table's title")
    if title is None:
        return
    expect(sheet.cell(title, 1).font.b, "the table's title is not bold")
    expect(sheet.cell(title + 1, 1).value == "Year: 2025", "no layer label under the title")
    # The grid of the first layer: two head rows, then four data rows of
    # three row-label columns and the Region name (four label columns),
    # two data columns (Male, Female) as the text renderer lays them out.
    g = title + 3
    expected = {
        span(g, 1, g, 4), span(g, 5, g, 6), span(g + 1, 1, g + 1, 4),
        span(g + 2, 1, g + 5, 1), span(g + 2, 2, g + 4, 2), span(g + 2, 3, g + 3, 3)}
    missing = expected - merged(sheet)
    expect(not missing, f"merged ranges {sorted(missing)} missing")
    expect(sheet.cell(g, 5).value == "Sex", f"E{g} is {sheet.cell(g, 5).value!r}, expected Sex")
    expect(sheet.cell(g, 5).font.b, "the column label Sex is not bold")
    for row, label, male, female in [(g + 2, "Oslo", 10, 13), (g + 3, "Bergen", 20, 23),
                                    (g + 4, "Madrid", 30, 33), (g + 5, None, 50, 53)]:
        for column, value in ((5, male), (6, female)):
            cell = sheet.cell(row, column)
            expect(cell.value == value and cell.data_type == "n",
                   f"{cell.coordinate} is {cell.value!r} ({cell.data_type}), expected the number {value}")
    expect(sheet.cell(g + 5, 6).number_format.endswith('"[a]"'),
           f"the footnoted number's format is {sheet.cell(g + 5, 6).number_format!r}")
    runs = rich_runs(path, 1)
    bergen = runs.get(f"D{g + 3}")
    expect(bergen == [("Bergen", False), ("b", True)],
           f"Bergen's runs are {bergen}, expected its mark b in superscript")
    # The footnotes follow the last of the four layers, each after its mark.
    first = find_row(sheet, "Year: 2026", start=title)
    last_grid = find_row(sheet, "Wave: Autumn", start=first) + 6
    footnote = last_grid + 2
    expect(runs.get(f"A{footnote}") == [("a", True), (" Estimated from a partial count.", False)],
           f"A{footnote} runs {runs.get(f'A{footnote}')}, expected the footnote a")
    expect(runs.get(f"A{footnote + 1}") == [("b", True), (" Includes the suburbs.", False)],
           f"A{footnote + 1} runs {runs.get(f'A{footnote + 1}')}, expected the footnote b")
    expect(sheet.cell(footnote + 2, 1).value == "Counts of respondents.",
           "the caption does not follow the footnotes")
    widest = max(len(str(sheet.cell(r, 4).value or "")) for r in range(g, g + 6))
    width = sheet.column_dimensions["D"].width
    expect(width is not None and width >= widest, f"column D is {width} wide, its labels {widest}")

    # One sheet per table, and the outline's other items on the first.
    path = os.path.join(work, "demo-tables.xlsx")
    view(binary, "--demo", "--format", "xlsx", "--sheets", "tables", "-o", path)
    book = openpyxl.load_workbook(path)
    names = ["Outline", "Notes", "Warnings", "Respondents by Region and Sex"]
    expect(book.sheetnames == names, f"sheets {book.sheetnames}, expected {names}")
    tables = book["Respondents by Region and Sex"]
    expect(tables.cell(1, 1).value == "Respondents by Region and Sex", "the table's sheet starts elsewhere")
    expect(find_row(book["Outline"], "Notes") is None, "a table stands on the Outline sheet")

    # Titles that are no valid sheet names, and titles taken already.
    with open(os.path.join(work, "demo.json"), "w") as out:
        view(binary, "--demo", "--format", "json", "-o", out.name)
    with open(os.path.join(work, "demo.json")) as source:
        document = json.load(source)
    long_title = "Sales [2025]: north/south * east\\west? and so on"
    titles = iter(["Outline", long_title, long_title])

    def retitle(node):
        if isinstance(node, dict):
            if node.get("kind") == "pivotTable":
                node["title"] = {"kind": "string", "text": next(titles)}
            for value in node.values():
                retitle(value)
        elif isinstance(node, list):
            for value in node:
                retitle(value)

    retitle(document)
    with open(os.path.join(work, "retitled.json"), "w") as out:
        json.dump(document, out)
    path = os.path.join(work, "retitled.xlsx")
    view(binary, os.path.join(work, "retitled.json"), "--format", "xlsx", "--sheets", "tables",
         "-o", path)
    book = openpyxl.load_workbook(path)
    clean = "Sales _2025__ north_south _ east_west_ and so on"
    names = ["Outline", "Outline (2)", clean[:31], clean[:27] + " (2)"]
    expect(book.sheetnames == names, f"sheets {book.sheetnames}, expected {names}")
    expect(all(len(name) <= 31 for name in book.sheetnames), "a sheet name is over 31 characters")


def check_survey(binary, tests_dir, work):
    path = os.path.join(work, "survey.xlsx")
    view(binary, "survey.csv", "--rows", "city", "--group", "city=country", "--cols", "sex",
         "--layers", "year", "--format", "xlsx", "-o", path,
         cwd=os.path.join(tests_dir, "browser"))
    sheet = openpyxl.load_workbook(path)["Document"]
    with open(os.path.join(tests_dir, "browser", "survey.csv"), newline="") as source:
        records = list(csv.DictReader(source))
    cities = ["Oslo", "Bergen", "Madrid", 'Sevilla, "old" town', "Tromsø"]
    for year in ("2025", "2026"):
        top = find_row(sheet, f"year: {year}")
        expect(top is not None, f"no layer year: {year}")
        if top is None:
            continue
        # Head rows: a blank corner over the three label columns and "sex"
        # over Female and Male; "Count" across the corner below. Rows: the
        # dimension's name over all five cities, each country over its
        # cities (the last country has one city: nothing to merge).
        g = top + 1
        expected = {span(g, 1, g, 3), span(g, 4, g, 5), span(g + 1, 1, g + 1, 3),
                    span(g + 2, 1, g + 6, 1), span(g + 2, 2, g + 3, 2), span(g + 4, 2, g + 5, 2)}
        missing = expected - merged(sheet)
        expect(not missing, f"year {year}: merged ranges {sorted(missing)} missing")
        expect(sheet.cell(g + 6, 2).value == "<b>&Co</b>",
               f"year {year}: the last country is {sheet.cell(g + 6, 2).value!r}")
        expect(sheet.cell(g + 1, 4).value == "Female" and sheet.cell(g + 1, 5).value == "Male",
               f"year {year}: the columns are not Female, Male")
        for r, city in enumerate(cities):
            expect(sheet.cell(g + 2 + r, 3).value == city,
                   f"year {year}: row {g + 2 + r} is {sheet.cell(g + 2 + r, 3).value!r}, expected {city!r}")
            for c, sex in enumerate(("Female", "Male")):
                count = sum(1 for x in records
                            if x["city"] == city and x["sex"] == sex and x["year"] == year)
                cell = sheet.cell(g + 2 + r, 4 + c)
                if count == 0:
                    expect(cell.value is None, f"{cell.coordinate} is {cell.value!r}, expected empty")
                else:
                    expect(cell.value == count and cell.data_type == "n",
                           f"{cell.coordinate} is {cell.value!r}, expected the number {count}")
                    expect(cell.number_format == "0",
                           f"{cell.coordinate} format {cell.number_format!r}, expected '0'")


def check_berkeley(binary, tests_dir, work):
    path = os.path.join(work, "berkeley.xlsx")
    data = os.path.join(tests_dir, "data", "berkeley-admissions.csv")
    view(binary, data, "--rows", "gender", "--cols", "admission", "--stat", "count,rowpct",
         "--totals", "--weight", "frequency", "--format", "xlsx", "-o", path)
    sheet = openpyxl.load_workbook(path)["Document"]
    counts = {}
    with open(data, newline="") as source:
        for record in csv.DictReader(source):
            key = (record["gender"], record["admission"])
            counts[key] = counts.get(key, 0) + float(record["frequency"])
    columns = ["Admitted", "Rejected"]
    head = find_row(sheet, "admission", column=4)
    expect(head is not None, "no column label admission")
    if head is None:
        return
    expect(span(head, 4, head, 6) in merged(sheet), "admission does not span its three columns")
    for gender_row, gender in ((head + 2, "Male"), (head + 4, "Female")):
        expect(sheet.cell(gender_row, 2).value == gender, f"row {gender_row} is not {gender}")
        expect(span(gender_row, 2, gender_row + 1, 2) in merged(sheet),
               f"{gender} does not span its two statistics")
        total = sum(counts[(gender, a)] for a in columns)
        for c, admission in enumerate(columns + ["Total"]):
            count = total if admission == "Total" else counts[(gender, admission)]
            cell = sheet.cell(gender_row, 4 + c)
            expect(cell.data_type == "n" and abs(cell.value - count) < 1e-9,
                   f"{cell.coordinate} is {cell.value!r}, expected the count {count}")
            percent = sheet.cell(gender_row + 1, 4 + c)
            expect(percent.data_type == "n" and abs(percent.value - count / total) < 1e-9,
                   f"{percent.coordinate} is {percent.value!r}, expected {count / total}")
            expect(percent.number_format == "0.0%",
                   f"{percent.coordinate} format {percent.number_format!r}, expected '0.0%'")


def check_escaping(binary, tests_dir, work):
    labels = ["=1+1", "<b>&amp;</b>", "\"quoted\" 'single'", "+SUM(A1:A2)", "@cmd", "-2",
              "line one\nline two"]
    source = os.path.join(work, "special.csv")
    with open(source, "w", newline="") as out:
        writer = csv.writer(out)
        writer.writerow(["label", "=kind"])
        for label in labels:
            writer.writerow([label, "x"])
    path = os.path.join(work, "special.xlsx")
    view(binary, source, "--rows", "label", "--cols", "=kind", "--format", "xlsx",
         "--sheets", "tables", "-o", path)
    book = openpyxl.load_workbook(path)
    table = book[book.sheetnames[-1]]
    found = {}
    for row in table.iter_rows():
        for cell in row:
            if isinstance(cell.value, str):
                found[cell.value] = cell
    for label in labels:
        cell = found.get(label)
        expect(cell is not None and cell.data_type == "s",
               f"{label!r} is not a string cell ({cell.data_type if cell else 'missing'})")
    expect(found.get("=kind") is not None, "the column dimension's name is not a string")
    wrapped = found.get("line one\nline two")
    expect(wrapped is not None and wrapped.alignment.wrap_text, "a two-line label does not wrap")
    with zipfile.ZipFile(path) as archive:
        for name in archive.namelist():
            if name.startswith("xl/worksheets/"):
                expect(b"<f>" not in archive.read(name), f"{name} holds a formula")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("binary")
    parser.add_argument("tests_dir")
    parser.add_argument("--case", required=True,
                        choices=["demo", "survey", "berkeley", "escaping"])
    arguments = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        globals()["check_" + arguments.case](os.path.abspath(arguments.binary), arguments.tests_dir, work)
    for problem in problems:
        print(problem)
    if problems:
        print(f"{len(problems)} problems")
        return 1
    print("xlsx check passed")
    return 0


if __name__ == "__main__":
    sys.exit(main())
