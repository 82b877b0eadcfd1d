"""Output documents of statistical analyses: outlines of headings, text blocks
and pivot tables, built from data, opened, walked, edited and exported.

    >>> import omtree, pandas as pd
    >>> frame = pd.DataFrame({"region": ["North", "South", "North"],
    ...                       "sex": ["F", "M", "M"], "income": [10.5, 20.0, 30.0]})
    >>> doc = omtree.crosstab(frame, rows=["region"], cols=["sex"],
    ...                       stats=["count", "mean"], value="income", totals=True)
    >>> table = doc.tables[0]
    >>> table["North", "M", "Count"]
    1.0
    >>> doc.export("report.xlsx")

A Document owns its outline. Items, tables, dimensions and categories taken
from it keep it alive; after Document.close() (or the end of a ``with``
block) they raise ValueError. Bad input raises ValueError, a file that cannot
be read or written OSError, each with the message omtree-view gives.
"""

import os
import tempfile

from . import _core, _frames
from ._core import Category, Dimension, Document, Item, Table

__all__ = ["Category", "Dimension", "Document", "Item", "Table", "FORMATS", "crosstab", "open",
           "loads"]

# The formats that Document.export writes, as omtree-view names them.
FORMATS = ("text", "html", "json", "markdown", "csv", "latex", "xlsx")

_SUFFIXES = {
    ".txt": "text", ".text": "text", ".html": "html", ".htm": "html", ".json": "json",
    ".md": "markdown", ".markdown": "markdown", ".csv": "csv", ".tex": "latex",
    ".latex": "latex", ".xlsx": "xlsx",
}

_STATS_IN = {"rows": "rows", "cols": "columns", "columns": "columns", "layers": "layers"}


def open(path):  # pylint: disable=redefined-builtin
    """Opens a document saved in the JSON document format (Document.save).

    >>> doc = omtree.open("report.json")
    """
    return _core._open(os.fspath(path))


def loads(text, name="<string>"):
    """A document from its JSON text; name stands for it in error messages."""
    return _core._loads(text, name)


def crosstab(data, rows=(), cols=(), layers=(), stats=("count",), value=None, weight=None,
             totals=False, chisq=False, sort=False, *, stats_in="rows", groups=None,
             missing=(), include_missing=False):
    """A document holding the crosstab of data, as ``omtree-view FILE --rows ...`` makes it.

    data is the path of a CSV file (UTF-8, a header of column names) or a
    pandas DataFrame, read column by column as a CSV file of it would read.
    rows, cols and layers name columns, outermost first; stats are the
    command's statistic names ("count", "sum", "mean", "min", "max",
    "median", "stddev", "valid", "rowpct", "colpct", "totalpct"), value the
    numeric column they need, weight a column of frequency weights. totals
    adds "Total" categories, chisq a table of chi-square tests, sort orders
    categories by label instead of first appearance. stats_in places the
    Statistics dimension ("rows", "cols", "layers"); groups maps a column to
    the columns that group its categories, outermost first; missing lists
    values that count as missing besides the empty field.

    >>> doc = omtree.crosstab("survey.csv", rows=["region"], cols=["sex"], totals=True)
    """
    if isinstance(stats, str):
        stats = [stats]
    if stats_in not in _STATS_IN:
        raise ValueError(f"stats_in must be 'rows', 'cols' or 'layers', not {stats_in!r}")
    def names(columns):
        return [str(column) for column in columns]
    arguments = dict(rows=names(rows), columns=names(cols), layers=names(layers),
                     statistics=list(stats), value=str(value or ""), weight=str(weight or ""),
                     totals=totals, chisq=chisq, sort=sort, stats_in=_STATS_IN[stats_in],
                     groups={str(column): names(by) for column, by in (groups or {}).items()},
                     missing=names(missing),
                     include_missing=include_missing)
    if isinstance(data, (str, os.PathLike)):
        return _core._crosstab_file(os.fspath(data), arguments)
    return _frames.crosstab_frame(data, arguments)


def _document_export(self, path, format=None, **options):  # pylint: disable=redefined-builtin
    """Writes the document to path in format (one of FORMATS; by default
    from the suffix: .txt .html .json .md .csv .tex .xlsx), replacing it
    whole or not at all. options are those of the to_* method of the
    format (ascii, hide_empty, names_in_corner, layer, title, standalone;
    sheets="tables" for xlsx)."""
    path = os.fspath(path)
    if format is None:
        suffix = os.path.splitext(path)[1].lower()
        if suffix not in _SUFFIXES:
            raise ValueError(f"cannot tell the format of {path!r} from its suffix; "
                             f"name one of {', '.join(FORMATS)}")
        format = _SUFFIXES[suffix]
    if format == "xlsx":
        _replace_atomically(path, lambda temporary: self._write_xlsx(temporary, **options))
        return
    if format not in FORMATS:
        raise ValueError(f"unknown format {format!r}; the formats are {', '.join(FORMATS)}")
    text = getattr(self, "to_" + format)(**options)
    _replace_atomically(path, lambda temporary: self._write_text(temporary, text))


def _document_save(self, path):
    """Writes the document to path in the JSON document format, which
    omtree.open reads; the file is replaced whole or not at all."""
    _replace_atomically(os.fspath(path), self._save)


def _replace_atomically(path, write):
    """Calls write with the name of a new file beside path, then renames
    that file over path; when anything fails, path is left as it was."""
    directory, name = os.path.split(os.path.abspath(path))
    descriptor, temporary = tempfile.mkstemp(prefix=name + ".", dir=directory)
    os.close(descriptor)
    try:
        write(temporary)
        mask = os.umask(0)
        os.umask(mask)
        os.chmod(temporary, 0o666 & ~mask)
        os.replace(temporary, path)
    except BaseException:
        os.remove(temporary)
        raise


def _document_enter(self):
    return self


def _document_exit(self, *exception):
    self.close()


def _document_tables(self):
    """The pivot tables, in outline order."""
    return [item for item in self.items if item.kind == "table"]


def _document_repr(self):
    if self.closed:
        return "<omtree.Document (closed)>"
    return f"<omtree.Document of {len(self.items)} items, {len(self.tables)} tables>"


def _item_repr(self):
    try:
        return f"<omtree.Item {self.kind} {self.label!r}>"
    except ValueError:
        return "<omtree.Item of a closed document>"


def _table_repr(self):
    try:
        names = [dimension.name for dimension in self.dimensions]
        return f"<omtree.Table {self.label!r} dimensions={names}>"
    except ValueError:
        return "<omtree.Table of a closed document>"


Document.export = _document_export
Document.save = _document_save
Document.__enter__ = _document_enter
Document.__exit__ = _document_exit
Document.__iter__ = lambda self: iter(self.items)
Document.__len__ = lambda self: len(self.items)
Document.tables = property(_document_tables)
Document.__repr__ = _document_repr
Document._repr_html_ = lambda self: _frames.notebook_html(self.to_html())
Item.__repr__ = _item_repr
Table.__repr__ = _table_repr
Table.to_frame = _frames.to_frame
Table._repr_html_ = lambda self: _frames.notebook_html(self._html_page())
