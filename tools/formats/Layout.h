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
#include <cstdint>
#include <deque>
#include <functional>
#include <ostream>
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

struct ShownLayer;

// The laid-out grid of one shown layer: the head rows on top, then the data
// rows. Every row has Width() places; the corner texts, if any, stand in
// the last head row.
//
// The head rows and the row labels' spans are laid out at construction;
// they grow with the headings, not with the cells. A data row is laid out
// only when Row asks for it, into one buffer that the next call reuses, so
// that a writer never holds a layer's cells all at once: a writer that
// needs the whole grid first (the text format's column widths) goes over
// the rows twice.
//
// The layout reads the ShownLayer it was made from, which must outlive it
// (it is made and used within ForEachShownLayer's call). Not copyable: Row
// hands out a reference into its own buffer.
class LayerLayout {
 public:
  explicit LayerLayout(const ShownLayer& layer);
  LayerLayout(const LayerLayout&) = delete;
  LayerLayout& operator=(const LayerLayout&) = delete;

  // One line per layer dimension that shows a label: its labels, root first.
  const std::vector<std::vector<ShownText>>& LayerLabels() const { return _layerLabels; }
  std::size_t HeadRows() const { return _headRows; }
  std::size_t LabelColumns() const { return _labelColumns; }
  std::size_t DataColumns() const { return _dataColumns; }
  // The corner holds the row dimensions' names, not the table's corner text.
  bool NamesInCorner() const { return _namesInCorner; }
  std::size_t Width() const { return _labelColumns + _dataColumns; }
  // Whether the layer shows no cell; it has no rows then.
  bool Empty() const { return _dataColumns == 0 || _dataRows == 0; }
  // The head rows and the data rows; 0 when Empty().
  std::size_t Rows() const { return Empty() ? 0 : _headRows + _dataRows; }

  // Row r of the grid. A data row's places stay valid until the next call.
  // REQUIRES: r < Rows().
  const std::vector<LayoutCell>& Row(std::size_t r);

 private:
  void LayOutCorner(const std::vector<const OmCellText*>& corner);
  void LayOutColumnLabels();
  void SpanRowLabels();
  void LayOutDataRow(std::size_t r);

  // Fixed at construction.
  const ShownLayer& _layer;
  std::vector<std::vector<ShownText>> _layerLabels;
  std::size_t _headRows = 0;
  std::size_t _labelColumns = 0;
  std::size_t _dataColumns = 0;
  std::size_t _dataRows = 0;
  bool _namesInCorner = false;
  std::vector<std::vector<LayoutCell>> _head;
  // Per data row, the rowspan of each of its row labels (LabelColumns() per
  // row); 0 where the label above covers the place.
  std::vector<std::uint32_t> _rowSpans;

  // Changed by Row: the last data row laid out.
  std::vector<LayoutCell> _row;
  std::vector<int> _index;
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

// Writes a document's blocks to a stream, one blank line between a block
// and the one before it.
class BlockWriter {
 public:
  explicit BlockWriter(std::ostream& out) : _out(out) {}

  void Add(const std::string& block) {
    Separate();
    _out << block;
    _started = _started || !block.empty();
  }

  // Starts a block that the caller writes to the stream returned.
  std::ostream& Begin() {
    Separate();
    _started = true;
    return _out;
  }

 private:
  void Separate() {
    if (_started) _out << '\n';
  }

  std::ostream& _out;
  bool _started = false;  // whether a block is written yet
};

// The walk over a document that the document formats share: every item of
// the outline in order, each at its level (0 for the items directly under
// the root). The kinds that every format shows alike reach two hooks: a
// page title with its lines joined by spaces, and a chart, model or answer
// tree as a summary: its kind ("Chart: ", "Model: ", "Answer tree: "), its
// title and its figures (ChartSummary and the like).
class OutlineWalker : public OmOutputPart::Visitor {
 public:
  // Visits the items of tree in outline order; entries without an item are
  // passed over.
  void Walk(OmOutputTree& tree);

  void Visit(OmPageTitle& title) final;
  void Visit(OmChart& chart) final;
  void Visit(OmModel& model) final;
  void Visit(OmAnswerTree& tree) final;

 protected:
  // The level of the item being visited.
  int Level() const { return _level; }

  virtual void PageTitle(const std::string& text) = 0;
  virtual void Summary(const char* kind, const OmCellText* title, const std::string& figures) = 0;

 private:
  int _level = 0;
};

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_LAYOUT_H_
