#include "Text.h"

#include <algorithm>
#include <cstddef>
#include <sstream>
#include <vector>

#include "Layout.h"
#include "TextWidth.h"

namespace omrender {

namespace {

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

// One cell of the drawn grid, its text split into lines. A cell that spans
// several columns is stored in the first of them; the others are marked
// covered.
struct GridCell {
  std::vector<std::string> lines;
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
      const std::vector<GridCell>& row = _cells[r];
      const std::size_t height = Height(row);
      for (std::size_t line = 0; line < height; ++line) {
        out += indent + rules.vertical;
        for (std::size_t c = 0; c < _columns; ++c) {
          const GridCell& cell = row[c];
          if (cell.covered) continue;
          // A cell of fewer lines than its row is blank below them.
          const std::string text = line < cell.lines.size() ? cell.lines[line] : std::string();
          out +=
              ' ' + Pad(text, SpanWidth(widths, c, cell.span), cell.align) + ' ' + rules.vertical;
        }
        out += '\n';
      }
    }
    return out + RuleLine(rules.bottom, rules, widths, indent);
  }

 private:
  // The lines a row takes: those of its tallest cell, at least one.
  static std::size_t Height(const std::vector<GridCell>& row) {
    std::size_t height = 1;
    for (const GridCell& cell : row) {
      if (!cell.covered) height = std::max(height, cell.lines.size());
    }
    return height;
  }

  // The display width of a cell's widest line.
  static std::size_t Widest(const GridCell& cell) {
    std::size_t width = 0;
    for (const std::string& line : cell.lines)
      width = std::max(width, DisplayWidth(line));
    return width;
  }

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
          widths[c] = std::max(widths[c], Widest(row[c]));
        }
      }
    }
    // A spanning label wider than its columns widens the last of them.
    for (const auto& row : _cells) {
      for (std::size_t c = 0; c < _columns; ++c) {
        const GridCell& cell = row[c];
        if (cell.covered || cell.span == 1) continue;
        const std::size_t need = Widest(cell);
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

// text as lines, each after indent: a text with line breaks goes on below
// at the same indent, keeping its place in the outline.
std::string Indented(const std::string& indent, const std::string& text) {
  std::string out;
  for (const std::string& line : SplitLines(text))
    out += indent + line + '\n';
  return out;
}

std::string LayerLabels(const LayerLayout& layout, const std::string& indent) {
  std::string out;
  for (const std::vector<ShownText>& labels : layout.layerLabels) {
    std::string line;
    for (std::size_t l = 0; l < labels.size(); ++l)
      line += LayerLabelSeparator(l) + Decorated(labels[l]);
    out += Indented(indent, line);
  }
  return out;
}

// The grid of a laid-out layer. A row label stands once, at the top of its
// block; the places below it stay blank.
std::string DrawLayer(const LayerLayout& layout, const Options& options,
                      const std::string& indent) {
  if (layout.Empty()) return indent + "(no cells)\n";
  Grid grid(layout.rows.size(), layout.Width(), layout.headRows);
  for (std::size_t r = 0; r < layout.rows.size(); ++r) {
    for (std::size_t c = 0; c < layout.Width(); ++c) {
      const LayoutCell& cell = layout.rows[r][c];
      if (cell.covered) continue;
      GridCell& drawn = grid.At(r, c);
      drawn.lines = SplitLines(Decorated(cell.text));
      if (r < layout.headRows && c >= layout.labelColumns) {
        drawn.align = Align::kCenter;
      } else if (cell.number) {
        drawn.align = Align::kRight;
      }
      grid.Span(r, c, cell.colspan);
    }
  }
  return grid.Draw(options.ascii ? kAsciiRules : kBoxRules, indent);
}

std::string RenderLayer(const ShownLayer& layer, const Options& options,
                        const std::string& indent) {
  const LayerLayout layout = LayOutLayer(layer);
  return LayerLabels(layout, indent) + DrawLayer(layout, options, indent);
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
        Line(line, "  > ");
      return;
    }
    if (!title.empty()) Line(title);
    for (const std::string& line : block.TextList())
      Line(line, "  ");
  }

  void Visit(OmPageTitle& title) override {
    std::string text;
    for (const std::string& line : title.TextList())
      text += (text.empty() ? "" : " ") + line;
    Line("Page title: " + text);
  }

  void Visit(OmChart& chart) override {
    Line("Chart: " + Decorated(chart.OutlineText()) + " (" + ChartSummary(chart) + ")");
  }

  void Visit(OmModel& model) override {
    Line("Model: " + Decorated(model.OutlineText()) + " (" + ModelSummary(model) + ")");
  }

  void Visit(OmAnswerTree& tree) override {
    Line("Answer tree: " + Decorated(tree.OutlineText()) + " (" + AnswerTreeSummary(tree) + ")");
  }

  void Visit(OmPivotTable& table) override { _out << RenderTable(table, _options, _indent); }

 private:
  // text at the item's indent and after margin, on as many lines as it has.
  void Line(const std::string& text, const char* margin = "") {
    _out << Indented(_indent + margin, text);
  }

  const Options& _options;
  std::ostringstream _out;
  std::string _indent;
};

}  // namespace

std::string RenderTable(OmPivotTable& table, const Options& options, const std::string& indent) {
  std::string out = Indented(indent, Decorated(TableTitle(table)));
  const int shown = ForEachShownLayer(
      table, options, [&](const ShownLayer& layer) { out += RenderLayer(layer, options, indent); });
  if (shown == 0) out += indent + "(no layer to show)\n";
  const OmVector<OmFootnote>& footnotes = table.Footnotes();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    out +=
        Indented(indent, FootnoteMark(static_cast<int>(n)) + ". " + Decorated(footnotes[n].Text()));
  }
  if (table.Caption() != nullptr && table.showCaption()) {
    out += Indented(indent, Decorated(table.Caption()));
  }
  return out;
}

std::string RenderDocument(OmOutputTree& tree, const Options& options) {
  return DocumentRenderer(options).Render(tree);
}

}  // namespace omrender
