"""pandas in and out of omtree: DataFrames as crosstab input, tables as
DataFrames, and the HTML that notebooks show."""

import re

import numpy

from . import _core


def to_frame(table, layer=None):
    """The table as a pandas DataFrame with a MultiIndex on rows and columns.

    Each dimension gives one index level named after it, holding its
    categories' labels, and before it one level per group level, named
    "<dimension> (group 1)", ... (empty where a category stands less deep).
    Hidden categories are left out. Numbers and percentages are floats, the
    missing mark and empty cells NaN, text cells strings.

    A table with layer dimensions gives every layer in one frame, the layer
    dimensions' levels outermost on the rows, unless layer selects one:
    its number (counted from 0, the last layer dimension varying fastest) or
    its labels (one per layer level); the layer levels are then dropped.
    An axis without dimensions has a single entry, 0.

    >>> frame = table.to_frame(layer=0)
    """
    import pandas  # pylint: disable=import-outside-toplevel

    row_names, row_keys, layer_levels, column_names, column_keys, numbers, texts = \
        table._frame_data()
    values = numbers
    if texts:
        values = numbers.astype(object)
        for row, column, text in texts:
            values[row, column] = text
    frame = pandas.DataFrame(values, index=_index(pandas, row_names, row_keys),
                             columns=_index(pandas, column_names, column_keys))
    if layer is None:
        return frame
    if layer_levels == 0:
        if layer in (0, ()):
            return frame
        raise ValueError("the table has one layer: select it as 0 or leave layer out")
    layers = list(dict.fromkeys(key[:layer_levels] for key in row_keys))
    if isinstance(layer, int):
        if not 0 <= layer < len(layers):
            raise IndexError(f"layer {layer} out of range (the table has {len(layers)})")
        layer = layers[layer]
    key = (layer,) if isinstance(layer, str) else tuple(layer)
    if key not in layers:
        raise KeyError(f"no layer {key!r}; the layers are {layers!r}")
    result = frame.xs(key, level=list(range(layer_levels)), drop_level=True)
    return result


def _index(pandas, names, keys):
    if not names:
        return pandas.RangeIndex(1)
    if not keys:
        return pandas.MultiIndex.from_arrays([[] for _ in names], names=names)
    return pandas.MultiIndex.from_tuples(keys, names=names)


def crosstab_frame(frame, arguments):
    """The crosstab of a DataFrame (see omtree.crosstab): each column the
    request names goes over as its distinct fields and one code per row,
    from pandas.factorize. When a name is not a column, every column goes,
    so that the message lists them as it would for a file."""
    import pandas  # pylint: disable=import-outside-toplevel

    if not isinstance(frame, pandas.DataFrame):
        raise TypeError("crosstab data must be the path of a CSV file or a pandas DataFrame, "
                        f"not {type(frame).__name__}")
    names = [str(name) for name in frame.columns]
    wanted = set(arguments["rows"] + arguments["columns"] + arguments["layers"])
    wanted.update(name for name in (arguments["value"], arguments["weight"]) if name)
    for column, by in arguments["groups"].items():
        wanted.update([column, *by])
    if not wanted <= set(names) or len(set(names)) != len(names):
        wanted = set(names)
    columns = [_coded(name, frame.iloc[:, place])
               for place, name in enumerate(names) if name in wanted]
    return _core._crosstab_columns("DataFrame", columns, arguments)


def _coded(name, series):
    """(name, fields, codes) of a column: its distinct values as the text a
    CSV file of the frame holds, and per row the place of its value there,
    -1 for a missing value (NaN, None, NaT), the empty field."""
    import pandas  # pylint: disable=import-outside-toplevel
    codes, uniques = pandas.factorize(series, sort=False)
    return name, _fields(numpy.asarray(uniques)), codes.astype(numpy.int32, copy=False)


def _fields(uniques):
    """The distinct values as a CSV file holds them. NumPy writes floats in
    their shortest exact form, as repr does, and integers as str does, a
    whole array at once; other values go one by one."""
    if uniques.dtype.kind in "fiu":
        return uniques.astype(str).tolist()
    return [_field(value) for value in uniques.astype(object)]


def _field(value):
    """value as a CSV file holds it: floats in their shortest exact form
    (2.0, 0.1, 1e-05), everything else as str writes it."""
    if isinstance(value, (bool, numpy.bool_)):
        return "True" if value else "False"
    if isinstance(value, (float, numpy.floating)):
        return repr(float(value))
    return str(value)


_SELECTOR = re.compile(r"^(\s*)([^@\s{}][^{}]*)\{", re.MULTILINE)


def _scoped(style, scope):
    """style with every rule's selectors confined to elements below scope."""
    def scope_rule(match):
        selectors = []
        for selector in match.group(2).split(","):
            selector = selector.strip()
            selectors.append(scope if selector == "body" else f"{scope} {selector}")
        return f"{match.group(1)}{', '.join(selectors)} {{"
    return _SELECTOR.sub(scope_rule, style)


def notebook_html(page):
    """The body of an HTML page from the renderer, its style sheet confined
    to it, to show inside a notebook's page; without the root heading."""
    style = re.search(r"<style>(.*?)</style>", page, re.DOTALL)
    body = re.search(r"<body>(.*)</body>", page, re.DOTALL)
    content = body.group(1) if body else page
    content = content.replace("<h1>Output</h1>\n", "", 1)
    css = _scoped(style.group(1), ".omtree-output") if style else ""
    return f'<div class="omtree-output"><style>{css}</style>{content}</div>'
