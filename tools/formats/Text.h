// Plain-text rendering of output documents, written against the library's
// public interface only. The outline reads top to bottom, indented by level:
// headings and procedure headings (with their commands), text blocks line by
// line, logs, page titles, one-line summaries of charts, models and answer
// trees, and pivot tables laid out through the display headings: the title,
// per layer its labels, the corner, the column headings (a group label spans
// the columns of its leaves), the row labels (a group label stands once at
// the top of its rows), the cells (numbers right-aligned), footnote marks
// ([a], [b], ... in the table's footnote order), the footnotes and the
// caption. Column widths follow the display width of UTF-8 text.
//
// A text may hold line breaks (LF, CR LF or a lone CR). In a table's grid a
// row is as tall as its tallest cell, each line aligned in its cell's width
// and a shorter cell blank below its lines; everywhere else the text's
// lines follow each other at the same indent.

#ifndef OMTREE_TOOLS_FORMATS_TEXT_H_
#define OMTREE_TOOLS_FORMATS_TEXT_H_

#include <ostream>
#include <string>

#include "backend/omtree/omtree.h"

namespace omrender {

struct Options {
  // Rules drawn with + - | instead of box-drawing characters.
  bool ascii = false;
  // Leave out the rows, columns and layers that hold no cell.
  bool hideEmpty = false;
  // Show the row dimensions' names in the corner instead of the heading.
  bool namesInCorner = false;
  // The one layer to show, counted from 0 among the shown layers; -1 for
  // every layer.
  int layer = -1;
};

// The whole outline, one item after the other, written to out as it is
// rendered: what is held at a time is one item, or for a table one row of
// its grid (and the column widths of the layer being written). The caller
// checks out's state afterwards.
void RenderDocument(OmOutputTree& tree, const Options& options, std::ostream& out);
// The same as one string.
std::string RenderDocument(OmOutputTree& tree, const Options& options);

// One pivot table, each line preceded by indent, written to out as above.
void RenderTable(OmPivotTable& table, const Options& options, std::ostream& out,
                 const std::string& indent = "");
// The same as one string.
std::string RenderTable(OmPivotTable& table, const Options& options,
                        const std::string& indent = "");

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_TEXT_H_
