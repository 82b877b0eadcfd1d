#include "Render.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <sstream>
#include <vector>

#include "TextWidth.h"

namespace omrender {

namespace {

using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;
using Stack = std::deque<ConstNode*>;

// The characters that draw a table's rules.
struct Rules {
  const char* horizontal;
  const char* vertical;
  const char* top[3];  // left, between columns, right
  const char* middle[3];
  const char* bottom[3];
};

const Rules kBoxRules = {"─", "│", {"┌", "┬", "┐"}, {"├", "┼", "┤"}, {"└", "┴", "┘"}};
const Rules kAsciiRules = {"-", "|", {"+", "+", "+"}, {"+", "+", "+"}, {"+", "+", "+"}};

// The mark of the footnote with the given number: a, b, ..., z, aa, ab, ...
std::string FootnoteMark(int number) {
  std::string mark;
  for (int n = number;; n = n / 26 - 1) {
    mark.insert(mark.begin(), static_cast<char>('a' + n % 26));
    if (n < 26) break;
  }
  return mark;
}

// A text as shown: its string followed by the marks of its footnotes.
std::string Decorated(const OmCellText* text) {
  if (text == nullptr) return "";
  std::string shown = text->AsString();
  const std::vector<short>& footnotes = text->Footnotes();
  if (!footnotes.empty()) {
    shown += '[';
    for (std::size_t i = 0; i < footnotes.size(); ++i) {
      if (i > 0) shown += ',';
      shown += FootnoteMark(footnotes[i]);
    }
    shown += ']';
  }
  return shown;
}

std::string Label(const ConstNode* node) {
  return node == nullptr ? "" : Decorated(node->Value().Text());
}

bool SameNode(const ConstNode* a, const ConstNode* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return *a == *b;
}

// One cell of the drawn grid. A cell that spans several columns is stored in
// the first of them; the others are marked covered.
struct GridCell {
  std::string text;
  Align align = Align::kLeft;
  std::size_t span = 1;
  bool covered = false;
};

class Grid {
 public:
  Grid(std::size_t rows, std::size_t columns, std::size_t headRows)
      : _columns(columns), _headRows(headRows), _cells(rows, std::vector<GridCell>(columns)) {}

  GridCell& At(std::size_t row, std::size_t column) { return _cells[row][column]; }

  void Span(std::size_t row, std::size_t column, std::size_t span) {
    _cells[row][column].span = span;
    for (std::size_t c = column + 1; c < column + span; ++c)
      _cells[row][c].covered = true;
  }

  std::string Draw(const Rules& rules, const std::string& indent) const {
    const std::vector<std::size_t> widths = Widths();
    std::string out = RuleLine(rules.top, rules, widths, indent);
    for (std::size_t r = 0; r < _cells.size(); ++r) {
      if (r == _headRows && r > 0) out += RuleLine(rules.middle, rules, widths, indent);
      out += indent + rules.vertical;
      for (std::size_t c = 0; c < _columns; ++c) {
        const GridCell& cell = _cells[r][c];
        if (cell.covered) continue;
        out += ' ' + Pad(cell.text, SpanWidth(widths, c, cell.span), cell.align) + ' ' +
               rules.vertical;
      }
      out += '\n';
    }
    return out + RuleLine(rules.bottom, rules, widths, indent);
  }

 private:
  static std::size_t SpanWidth(const std::vector<std::size_t>& widths, std::size_t column,
                               std::size_t span) {
    std::size_t width = 3 * (span - 1);
    for (std::size_t c = column; c < column + span; ++c)
      width += widths[c];
    return width;
  }

  std::vector<std::size_t> Widths() const {
    std::vector<std::size_t> widths(_columns, 0);
    for (const auto& row : _cells) {
      for (std::size_t c = 0; c < _columns; ++c) {
        if (!row[c].covered && row[c].span == 1) {
          widths[c] = std::max(widths[c], DisplayWidth(row[c].text));
        }
      }
    }
    // A spanning label wider than its columns widens the last of them.
    for (const auto& row : _cells) {
      for (std::size_t c = 0; c < _columns; ++c) {
        const GridCell& cell = row[c];
        if (cell.covered || cell.span == 1) continue;
        const std::size_t need = DisplayWidth(cell.text);
        const std::size_t have = SpanWidth(widths, c, cell.span);
        if (need > have) widths[c + cell.span - 1] += need - have;
      }
    }
    return widths;
  }

  static std::string RuleLine(const char* const ends[3], const Rules& rules,
                              const std::vector<std::size_t>& widths, const std::string& indent) {
    std::string line = indent + ends[0];
    for (std::size_t c = 0; c < widths.size(); ++c) {
      if (c > 0) line += ends[1];
      for (std::size_t i = 0; i < widths[c] + 2; ++i)
        line += rules.horizontal;
    }
    return line + ends[2] + '\n';
  }

  std::size_t _columns;
  std::size_t _headRows;
  std::vector<std::vector<GridCell>> _cells;
};

// The heading dimension that owns each label level, from the visible
// heights.
template <typename Heading, typename Height>
std::vector<int> LevelOwners(const Heading& heading, int levels, Height height) {
  std::vector<int> owners;
  for (int k = 0; k < heading.NDimensions(); ++k) {
    for (int h = 0; h < (heading.*height)(k); ++h)
      owners.push_back(k);
  }
  owners.resize(static_cast<std::size_t>(levels), heading.NDimensions());
  return owners;
}

// Whether two display positions show the same label at level, as part of
// the same block: equal labels at this level and every level before it, and
// the same categories of the dimensions outside the level's own.
bool SameBlock(const Stack& labelsA, const Stack& leavesA, const Stack& labelsB,
               const Stack& leavesB, std::size_t level, int owner) {
  for (std::size_t l = 0; l <= level; ++l) {
    if (!SameNode(labelsA[l], labelsB[l])) return false;
  }
  for (int k = 0; k < owner; ++k) {
    if (!SameNode(leavesA[static_cast<std::size_t>(k)], leavesB[static_cast<std::size_t>(k)])) {
      return false;
    }
  }
  return true;
}

bool IsNumber(const OmCellText* text) {
  return dynamic_cast<const OmNumber*>(text) != nullptr;
}

std::string LayerLabels(OmDisplayLayerHeading& layers, const std::string& indent) {
  std::string out;
  for (int i = 0; i < layers.NDimensions(); ++i) {
    std::vector<std::string> labels;
    for (const ConstNode* node : layers.Nodes(i)) {
      if (node != nullptr) labels.push_back(Label(node));
    }
    if (labels.empty()) continue;
    std::string line = labels.front();
    for (std::size_t l = 1; l < labels.size(); ++l)
      line += (l == 1 ? ": " : " / ") + labels[l];
    out += indent + line + '\n';
  }
  return out;
}

// The grid of the layer that is current in layers.
std::string RenderLayer(OmPivotTable& table, OmDisplayLayerHeading& layers, const Options& options,
                        const std::string& indent) {
  const OmDisplayColumnHeading columns(layers, options.hideEmpty);
  const OmDisplayRowHeading rows(layers, options.hideEmpty, options.namesInCorner);
  const std::size_t dataColumns = static_cast<std::size_t>(columns.NColumns());
  const std::size_t dataRows = static_cast<std::size_t>(rows.NRows());
  const std::size_t labelColumns = static_cast<std::size_t>(rows.NColumns());
  const std::size_t headingRows = static_cast<std::size_t>(columns.NRows());
  const std::vector<const OmCellText*> corner = rows.CornerText();
  const bool cornerRow =
      headingRows == 0 && std::any_of(corner.begin(), corner.end(),
                                      [](const OmCellText* text) { return text != nullptr; });
  const std::size_t headRows = cornerRow ? 1 : headingRows;
  if (labelColumns + dataColumns == 0 || headRows + dataRows == 0) return indent + "(no cells)\n";

  Grid grid(headRows + dataRows, labelColumns + dataColumns, headRows);
  for (std::size_t k = 0; headRows > 0 && k < labelColumns && k < corner.size(); ++k) {
    grid.At(headRows - 1, k).text = Decorated(corner[k]);
  }

  std::vector<Stack> columnLabels;
  std::vector<Stack> columnLeaves;
  for (std::size_t c = 0; c < dataColumns; ++c) {
    columnLabels.push_back(columns.Column(static_cast<int>(c)));
    columnLeaves.push_back(columns.ColumnCategories(static_cast<int>(c)));
  }
  const std::vector<int> columnOwners =
      LevelOwners(columns, columns.NRows(), &OmDisplayColumnHeading::VisibleHeight);
  for (std::size_t r = 0; r < headingRows; ++r) {
    for (std::size_t c = 0; c < dataColumns;) {
      std::size_t end = c + 1;
      while (end < dataColumns && SameBlock(columnLabels[c], columnLeaves[c], columnLabels[end],
                                            columnLeaves[end], r, columnOwners[r])) {
        ++end;
      }
      GridCell& cell = grid.At(r, labelColumns + c);
      cell.text = Label(columnLabels[c][r]);
      cell.align = Align::kCenter;
      grid.Span(r, labelColumns + c, end - c);
      c = end;
    }
  }

  const std::vector<int> rowOwners =
      LevelOwners(rows, rows.NColumns(), &OmDisplayRowHeading::VisibleWidth);
  Stack previousLabels;
  Stack previousLeaves;
  for (std::size_t r = 0; r < dataRows; ++r) {
    const Stack labels = rows.Row(static_cast<int>(r));
    const Stack leaves = rows.RowCategories(static_cast<int>(r));
    for (std::size_t k = 0; k < labelColumns; ++k) {
      const bool repeated =
          r > 0 && SameBlock(previousLabels, previousLeaves, labels, leaves, k, rowOwners[k]);
      grid.At(headRows + r, k).text = repeated ? "" : Label(labels[k]);
    }
    for (std::size_t c = 0; c < dataColumns; ++c) {
      std::vector<int> index;
      layers.Fill(index);
      columns.Fill(index, static_cast<int>(c));
      rows.Fill(index, static_cast<int>(r));
      const OmCellText* value = table.Cell(index);
      GridCell& cell = grid.At(headRows + r, labelColumns + c);
      cell.text = Decorated(value);
      cell.align = IsNumber(value) ? Align::kRight : Align::kLeft;
    }
    previousLabels = labels;
    previousLeaves = leaves;
  }
  return grid.Draw(options.ascii ? kAsciiRules : kBoxRules, indent);
}

// Renders every item of an outline, indented by its level.
class DocumentRenderer : public OmOutputPart::Visitor {
 public:
  explicit DocumentRenderer(const Options& options) : _options(options) {}

  std::string Render(OmOutputTree& tree) {
    for (const auto& entry : tree.List()) {
      if (entry.item == nullptr) continue;
      _indent = std::string(2 * static_cast<std::size_t>(std::max(entry.level, 0)), ' ');
      entry.item->Accept(*this);
    }
    return _out.str();
  }

  void Visit(OmHeading& heading) override { Line(Decorated(heading.OutlineText())); }

  void Visit(OmProcedure& procedure) override {
    Line(Decorated(procedure.OutlineText()) + " [" + procedure.Command() + "]");
  }

  void Visit(OmTextBlock& block) override {
    const std::string title = Decorated(block.OutlineText());
    if (block.IsLog()) {
      Line("Log");
      for (const std::string& line : block.TextList())
        Line("  > " + line);
      return;
    }
    if (!title.empty()) Line(title);
    for (const std::string& line : block.TextList())
      Line("  " + line);
  }

  void Visit(OmPageTitle& title) override {
    std::string text;
    for (const std::string& line : title.TextList())
      text += (text.empty() ? "" : " ") + line;
    Line("Page title: " + text);
  }

  void Visit(OmChart& chart) override {
    std::ostringstream line;
    line << "Chart: " << Decorated(chart.OutlineText()) << " (XML "
         << chart.GetXmlDescription().size() << " B, data " << chart.GetXmlData().size()
         << " B, image " << chart.GetImageData().size() << " B, sub-type "
         << chart.GetChartSubType() << (chart.hasMap() ? ", map" : "") << ")";
    Line(line.str());
  }

  void Visit(OmModel& model) override {
    std::ostringstream line;
    line << "Model: " << Decorated(model.OutlineText()) << " (type " << model.GetModelType()
         << ", PMML " << model.GetPMML().size() << " B, data " << model.GetBinaryDataStream().size()
         << " B, containers "
         << model.GetPMMLContainer().size() + model.GetStatXMLContainer().size() << " B)";
    Line(line.str());
  }

  void Visit(OmAnswerTree& tree) override {
    std::ostringstream line;
    line << "Answer tree: " << Decorated(tree.OutlineText()) << " (tree type " << tree.GetTreeType()
         << ", XML " << tree.GetUncompressedXml().size() << " B, compressed "
         << tree.GetCompressedXml().size() << " B)";
    Line(line.str());
  }

  void Visit(OmPivotTable& table) override { _out << RenderTable(table, _options, _indent); }

 private:
  void Line(const std::string& text) { _out << _indent << text << '\n'; }

  const Options& _options;
  std::ostringstream _out;
  std::string _indent;
};

}  // namespace

std::string RenderTable(OmPivotTable& table, const Options& options, const std::string& indent) {
  std::string out =
      indent +
      Decorated(table.GetTableTitle() != nullptr ? table.GetTableTitle() : table.OutlineText()) +
      '\n';
  OmDisplayLayerHeading layers(table, options.hideEmpty);
  bool anyLayer = false;
  if (options.layer >= 0) {
    if (layers.SwitchLayer(options.layer)) {
      anyLayer = true;
      out += LayerLabels(layers, indent) + RenderLayer(table, layers, options, indent);
    }
  } else {
    while (layers.NextLayer()) {
      anyLayer = true;
      out += LayerLabels(layers, indent) + RenderLayer(table, layers, options, indent);
    }
  }
  if (!anyLayer) out += indent + "(no layer to show)\n";
  const OmVector<OmFootnote>& footnotes = table.Footnotes();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    out +=
        indent + FootnoteMark(static_cast<int>(n)) + ". " + Decorated(footnotes[n].Text()) + '\n';
  }
  if (table.Caption() != nullptr && table.showCaption()) {
    out += indent + Decorated(table.Caption()) + '\n';
  }
  return out;
}

std::string RenderDocument(OmOutputTree& tree, const Options& options) {
  return DocumentRenderer(options).Render(tree);
}

}  // namespace omrender
