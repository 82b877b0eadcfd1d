"""pandas in and out of omtree: DataFrames as crosstab input, tables as
DataFrames, and the HTML that notebooks show."""

import re

import numpy


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
    """The crosstab of a DataFrame (see omtree.crosstab)."""
    raise TypeError("crosstab data must be the path of a CSV file")


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
