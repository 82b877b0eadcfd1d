// What the text and HTML renderers share, internal to the render library:
// texts with their footnote numbers kept apart from their strings, the
// lines of a text, the one-line summaries of charts, models and answer
// trees, and the laid-out grid of one layer of a pivot table.
//
// Hidden categories. A leaf category whose Hide() is set keeps its place in
// the display headings, but no rendering shows it: the rows and columns
// whose leaf stacks hold a hidden leaf, and the layers that select one, are
// left out of the layout, and a label spanning them spans only what is
// left. A hidden group only hides its own label: its leaves are shown (they
// have hidden flags of their own), just as a hidden dimension root hides
// the dimension's name and not its categories.
//
// A layer's grid has head rows on top (the corner left of the column
// labels) and data rows below them (the row labels left of the cells).
// A column label spans the display columns of its block: the columns that
// show the same label at its level and above, under the same categories of
// the outer column dimensions. A row label stands once, at the top of its
// block of rows, defined alike.

#ifndef OMTREE_TOOLS_FORMATS_LAYOUT_H_
#define OMTREE_TOOLS_FORMATS_LAYOUT_H_

#include <cstddef>
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "Text.h"
#include "backend/omtree/omtree.h"

namespace omrender {

// The mark of the footnote with the given number (its place in the table's
// footnotes): a, b, ..., z, aa, ab, ...; a negative number, which no
// footnote has, stands as itself ("-1").
std::string FootnoteMark(int number);

// A text as shown: its string and the numbers of its footnotes, in order.
struct ShownText {
  std::string text;
  std::vector<int> footnotes;
};

// text as shown; empty for null.
ShownText Shown(const OmCellText* text);

// The number a data cell holds: the cell itself when it is an OmNumber, or
// the number a composite leads with, a number followed by a unit (the
// crosstab's percentages, "37.5" and "%"): its root part when that has
// content, else its root's first child part with content, when that part
// is an OmNumber. Null for every other text and for null. Such a cell is
// shown right-aligned, and the JSON export writes the number's value.
const OmNumber* CellNumber(const OmCellText* text);

// The lines of text: a line break is LF, CR LF or a lone CR. An empty text
// is one empty line, and a break at the end leaves an empty last line.
std::vector<std::string> SplitLines(const std::string& text);

// The string followed by its footnote marks in brackets: "53[a]", "x[a,b]".
std::string Decorated(const ShownText& text);
std::string Decorated(const OmCellText* text);

// The text between the labels of a layer dimension: before the label at
// position (0 the root), "" for the root, ": " after it, " / " further on.
const char* LayerLabelSeparator(std::size_t position);

// The text a table shows above itself: its table title, else its outline
// text.
const OmCellText* TableTitle(const OmPivotTable& table);

// The figures shown after an item's title, in parentheses.
std::string ChartSummary(const OmChart& chart);
std::string ModelSummary(const OmModel& model);
std::string AnswerTreeSummary(const OmAnswerTree& tree);

// One place of a layer's grid. A label spanning several places is stored in
// the first (top or left) of them; the others are marked covered.
struct LayoutCell {
  ShownText text;
  // The number a data cell holds (CellNumber), shown right-aligned; null
  // for every other place. It points into the table, valid while the table
  // is unchanged.
  const OmNumber* number = nullptr;
  // Greater than 1 only for column labels and the corner text.
  std::size_t colspan = 1;
  // Greater than 1 only for row labels.
  std::size_t rowspan = 1;
  // Covered by the label to the left (colspan) or above (rowspan).
  bool covered = false;
};

// The laid-out grid of one layer. Every row has Width() places; the corner
// texts, if any, stand in the last head row.
struct LayerLayout {
  // One line per layer dimension that shows a label: its labels, root first.
  std::vector<std::vector<ShownText>> layerLabels;
  std::size_t headRows = 0;
  std::size_t labelColumns = 0;
  std::size_t dataColumns = 0;
  // The corner holds the row dimensions' names, not the table's corner text.
  bool namesInCorner = false;
  // The head rows, then the data rows; empty when the layer shows no cell.
  std::vector<std::vector<LayoutCell>> rows;

  std::size_t Width() const { return labelColumns + dataColumns; }
  bool Empty() const { return rows.empty(); }
};

// Whether a leaf stack of a display heading holds a hidden leaf.
bool HoldsHiddenLeaf(const std::deque<OmVectorTree<OmDimensionNode>::ConstNode*>& leaves);

// One layer of a table as a reader sees it: the headings over it and the
// display positions of each that are shown. Valid during the call to the
// function that ForEachShownLayer hands it to.
struct ShownLayer {
  OmPivotTable& table;
  OmDisplayLayerHeading& layers;  // with the layer selected
  const OmDisplayColumnHeading& columns;
  const OmDisplayRowHeading& rows;
  // Display columns and rows of the headings, ascending: those whose leaf
  // stacks hold no hidden leaf and, with options.hideEmpty, that show a
  // cell once the hidden places are left out.
  std::vector<int> shownColumns;
  std::vector<int> shownRows;
};

// Selects, one after the other, every layer of table that a reader sees and
// calls show for each: the layers of a heading built with options.hideEmpty
// that select no hidden leaf and, with options.hideEmpty, show a cell; or
// only the options.layer-th of those, counted from 0, when options.layer is
// not -1. The headings are built with options.hideEmpty and
// options.namesInCorner. Returns how many layers it showed.
int ForEachShownLayer(OmPivotTable& table, const Options& options,
                      const std::function<void(const ShownLayer&)>& show);

// Lays out one shown layer.
LayerLayout LayOutLayer(const ShownLayer& layer);

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_LAYOUT_H_
