"""Documents: walking the outline, saving and opening, and every export
format read back by the tool its users read it with."""

import concurrent.futures
import csv
import html.parser
import io
import json

import openpyxl
import pandas
import pytest

import omtree


@pytest.fixture
def report(survey_csv):
    return omtree.crosstab(survey_csv, rows=["region"], cols=["sex"], layers=["year"],
                           stats=["count", "rowpct"], totals=True, chisq=False)


def crosstab_with_tests(survey_csv):
    return omtree.crosstab(survey_csv, rows=["region"], cols=["sex"], chisq=True)


def test_outline_in_order_with_kinds_labels_and_children(survey_csv):
    doc = crosstab_with_tests(survey_csv)
    items = list(doc)
    assert [item.kind for item in items] == ["procedure", "table", "table"]
    procedure, crosstab, tests = items
    assert procedure.command.startswith("omtree-view ") and "--chisq" in procedure.command
    assert procedure.children == [crosstab, tests]
    assert crosstab.parent == procedure and procedure.parent == doc.root
    assert [item.level for item in items] == [1, 2, 2]
    assert crosstab.label == "region by sex" and tests.label == "Chi-square tests"
    assert doc.tables == [crosstab, tests]


def test_built_outline(tmp_path):
    doc = omtree.Document()
    section = doc.add_heading("Section")
    doc.add_text(["first line", "second line"], title="Notes", parent=section)
    with pytest.raises(ValueError, match="below headings"):
        doc.add_heading("x", parent=doc.add_text(["a"]))
    assert [(i.kind, i.label, i.level) for i in doc] == [
        ("heading", "Section", 1), ("text", "Notes", 2), ("text", "Text", 1)]
    assert doc.items[1].lines == ["first line", "second line"]


def test_save_and_open_give_the_same_document(report, tmp_path):
    path = tmp_path / "report.json"
    report.save(path)
    with omtree.open(path) as again:
        assert again.to_json() == report.to_json()
        assert again.tables[0]["North", "M", "2024", "Count"] == \
            report.tables[0]["North", "M", "2024", "Count"]
    assert again.closed
    assert omtree.loads(path.read_text()).to_text() == report.to_text()


def test_bad_documents_raise_with_the_command_message(tmp_path, view):
    path = tmp_path / "bad.json"
    path.write_text('{"format": "omtree-document",\n "version": 2, "items": [}\n')
    with pytest.raises(ValueError) as error:
        omtree.open(path)
    assert str(error.value).startswith(f"{path}:2:")
    status, _, stderr = view(str(path))
    assert status == 1 and stderr == f"omtree-view: {error.value}\n"
    with pytest.raises(ValueError, match=r"^note:1:[0-9]+: "):
        omtree.loads("nonsense", name="note")
    with pytest.raises(FileNotFoundError, match="missing.json: cannot open"):
        omtree.open(tmp_path / "missing.json")


class Page(html.parser.HTMLParser):
    """Collects the text of table cells and checks that tags nest."""

    VOID = {"meta", "br", "col", "input", "hr", "img", "link"}

    def __init__(self):
        super().__init__()
        self.open, self.cells, self.in_cell = [], [], False

    def handle_starttag(self, tag, attrs):
        if tag not in self.VOID:
            self.open.append(tag)
        self.in_cell = tag in ("td", "th")

    def handle_endtag(self, tag):
        assert self.open.pop() == tag

    def handle_data(self, data):
        if self.in_cell and data.strip():
            self.cells.append(data.strip())


def test_every_format_reads_back(report, tmp_path):
    labels = {"North", "South", "East", "West", "Total", "Row %"}
    for fmt in omtree.FORMATS:
        report.export(tmp_path / f"out.{fmt}", format=fmt)
    text = (tmp_path / "out.text").read_text()
    assert labels <= {word for line in text.splitlines() for word in line.split()} | {"Row %"}
    assert "Row %" in text
    page = Page()
    page.feed((tmp_path / "out.html").read_text())
    assert page.open == [] and labels <= set(page.cells)
    saved = json.loads((tmp_path / "out.json").read_text())
    assert omtree.loads(json.dumps(saved)).to_json() == report.to_json()
    records = list(csv.DictReader(io.StringIO((tmp_path / "out.csv").read_text())))
    frame = pandas.read_csv(tmp_path / "out.csv")
    assert len(records) == len(frame) == len(report.tables[0].cells())
    counts = frame[frame.Statistics == "Count"]
    assert counts[(counts.region != "Total") & (counts.sex != "Total")].value.sum() == 500
    assert "\\begin{tabular}" in (tmp_path / "out.latex").read_text()
    assert "| North" in (tmp_path / "out.markdown").read_text()
    sheet = openpyxl.load_workbook(tmp_path / "out.xlsx").active
    values = {cell.value for row in sheet.iter_rows() for cell in row}
    assert labels - {"Row %"} <= values


def test_export_infers_the_format_from_the_suffix(report, tmp_path):
    report.export(tmp_path / "a.md")
    assert (tmp_path / "a.md").read_text() == report.to_markdown()
    report.export(tmp_path / "a.html", title="Survey")
    assert "<title>Survey</title>" in (tmp_path / "a.html").read_text()
    with pytest.raises(ValueError, match="cannot tell the format"):
        report.export(tmp_path / "a.pdf")
    with pytest.raises(OSError):
        report.export(tmp_path / "no" / "such" / "a.txt")
    (tmp_path / "taken.xlsx").mkdir()
    for name in ("a.xlsx", "a.md"):
        with pytest.raises(TypeError):
            report.export(tmp_path / name, bogus_option=True)
    with pytest.raises(IsADirectoryError):
        report.export(tmp_path / "taken.xlsx")
    assert sorted(p.name for p in tmp_path.iterdir()) == ["a.html", "a.md", "taken.xlsx"]
    assert (tmp_path / "a.md").read_text() == report.to_markdown()


def test_notebook_html_confines_the_style(report):
    shown = report._repr_html_()
    assert shown.startswith('<div class="omtree-output">') and "<h1>Output</h1>" not in shown
    assert ".omtree-output table {" in shown and "\ntable {" not in shown
    page = Page()
    page.feed(report.tables[0]._repr_html_())
    assert page.open == [] and "North" in page.cells


def test_threads_render_one_document_while_it_is_read(report):
    expected = {"text": report.to_text(), "html": report.to_html(), "json": report.to_json()}
    table = report.tables[0]
    count = table["North", "M", "2024", "Count"]

    def render(fmt):
        return all(getattr(report, "to_" + fmt)() == expected[fmt] for _ in range(20))

    with concurrent.futures.ThreadPoolExecutor(4) as pool:
        done = [pool.submit(render, fmt) for fmt in expected for _ in range(2)]
        reads = [table["North", "M", "2024", "Count"] for _ in range(1000)]
        assert all(future.result() for future in done)
    assert reads == [count] * 1000
