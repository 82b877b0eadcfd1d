#include "Text.h"

#include <algorithm>
#include <cstddef>
#include <sstream>
#include <vector>

#include "Layout.h"
#include "TextWidth.h"

namespace omrender {

namespace {

// The characters that draw a table's rules. Where a rule crosses the line
// between two columns, its junction joins the vertical rules that meet it:
// from above, from below, both or neither (a label spanning the columns on
// both sides).
struct Rules {
  const char* horizontal;
  const char* vertical;
  const char* ends[3][2];      // left and right ends of the top, middle and bottom rules
  const char* junction[2][2];  // [from above][from below]
};

const Rules kBoxRules = {"─", "│", {{"┌", "┐"}, {"├", "┤"}, {"└", "┘"}}, {{"─", "┬"}, {"┴", "┼"}}};
const Rules kAsciiRules = {
    "-", "|", {{"+", "+"}, {"+", "+"}, {"+", "+"}}, {{"-", "+"}, {"+", "+"}}};

enum RulePlace { kTop = 0, kMiddle = 1, kBottom = 2 };

// One place of a drawn row: its lines and their alignment.
struct GridCell {
  std::vector<std::string> lines;
  Align align = Align::kLeft;
};

// Draws a laid-out layer's grid. The column widths need every place of the
// layer, so the grid goes over its rows twice: once for the widths, keeping
// only them, and once to write each row as it is laid out again. A place
// covered by a column label's span is left out; one covered by a row
// label's span is drawn blank.
class Grid {
 public:
  Grid(LayerLayout& layout, const Rules& rules, const std::string& indent)
      : _layout(layout), _rules(rules), _indent(indent), _widths(Widths(layout)) {}

  void Draw(std::ostream& out) const {
    const std::size_t rows = _layout.Rows();
    const std::size_t head = _layout.HeadRows();
    RuleLine(kTop, {}, Lines(0), out);
    for (std::size_t r = 0; r < rows; ++r) {
      if (r == head && r > 0) RuleLine(kMiddle, Lines(head - 1), Lines(head), out);
      DrawRow(r, out);
    }
    RuleLine(kBottom, Lines(rows - 1), {}, out);
  }

 private:
  // Row r, as tall as its tallest place; a place of fewer lines is blank
  // below them.
  void DrawRow(std::size_t r, std::ostream& out) const {
    const std::vector<LayoutCell>& row = _layout.Row(r);
    std::vector<GridCell> cells(row.size());
    std::size_t height = 1;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (row[c].covered) continue;
      cells[c].lines = SplitLines(Decorated(row[c].text));
      cells[c].align = Alignment(r, c, row[c]);
      height = std::max(height, cells[c].lines.size());
    }
    for (std::size_t line = 0; line < height; ++line) {
      out << _indent << _rules.vertical;
      for (std::size_t c = 0; c < row.size(); ++c) {
        if (row[c].covered && r < _layout.HeadRows()) continue;
        const std::vector<std::string>& lines = cells[c].lines;
        const std::string text = line < lines.size() ? lines[line] : std::string();
        out << ' ' << Pad(text, SpanWidth(_widths, c, row[c].colspan), cells[c].align) << ' '
            << _rules.vertical;
      }
      out << '\n';
    }
  }

  Align Alignment(std::size_t r, std::size_t c, const LayoutCell& cell) const {
    if (r < _layout.HeadRows() && c >= _layout.LabelColumns()) return Align::kCenter;
    return cell.number != nullptr ? Align::kRight : Align::kLeft;
  }

  // The display width of a place's widest line.
  static std::size_t Widest(const LayoutCell& cell) {
    std::size_t width = 0;
    for (const std::string& line : SplitLines(Decorated(cell.text)))
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

  // Each column as wide as its widest place; then a spanning label (only
  // head rows hold them) wider than its columns widens the last of them.
  static std::vector<std::size_t> Widths(LayerLayout& layout) {
    std::vector<std::size_t> widths(layout.Width(), 0);
    for (std::size_t r = 0; r < layout.Rows(); ++r) {
      const std::vector<LayoutCell>& row = layout.Row(r);
      for (std::size_t c = 0; c < row.size(); ++c) {
        if (!row[c].covered && row[c].colspan == 1) widths[c] = std::max(widths[c], Widest(row[c]));
      }
    }
    for (std::size_t r = 0; r < layout.HeadRows(); ++r) {
      const std::vector<LayoutCell>& row = layout.Row(r);
      for (std::size_t c = 0; c < row.size(); ++c) {
        if (row[c].covered || row[c].colspan == 1) continue;
        const std::size_t need = Widest(row[c]);
        const std::size_t have = SpanWidth(widths, c, row[c].colspan);
        if (need > have) widths[c + row[c].colspan - 1] += need - have;
      }
    }
    return widths;
  }

  // Whether row r draws a vertical rule before each column: not inside a
  // label's span.
  std::vector<bool> Lines(std::size_t r) const {
    std::vector<bool> lines(_widths.size(), true);
    const std::vector<LayoutCell>& row = _layout.Row(r);
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (row[c].covered) continue;
      for (std::size_t k = 1; k < row[c].colspan; ++k)
        lines[c + k] = false;
    }
    return lines;
  }

  // A rule between a row whose lines are above and one whose lines are
  // below (empty: no row there).
  void RuleLine(RulePlace place, const std::vector<bool>& above, const std::vector<bool>& below,
                std::ostream& out) const {
    out << _indent << _rules.ends[place][0];
    for (std::size_t c = 0; c < _widths.size(); ++c) {
      if (c > 0) {
        const bool up = !above.empty() && above[c];
        const bool down = !below.empty() && below[c];
        out << _rules.junction[up][down];
      }
      for (std::size_t i = 0; i < _widths[c] + 2; ++i)
        out << _rules.horizontal;
    }
    out << _rules.ends[place][1] << '\n';
  }

  LayerLayout& _layout;
  const Rules& _rules;
  const std::string& _indent;
  const std::vector<std::size_t> _widths;
};

// text as lines, each after indent: a text with line breaks goes on below
// at the same indent, keeping its place in the outline.
void Indented(const std::string& indent, const std::string& text, std::ostream& out) {
  for (const std::string& line : SplitLines(text))
    out << indent << line << '\n';
}

void LayerLabels(const LayerLayout& layout, const std::string& indent, std::ostream& out) {
  for (const std::vector<ShownText>& labels : layout.LayerLabels()) {
    std::string line;
    for (std::size_t l = 0; l < labels.size(); ++l)
      line += LayerLabelSeparator(l) + Decorated(labels[l]);
    Indented(indent, line, out);
  }
}

// A layer's labels, then its grid. A row label stands once, at the top of
// its block; the places below it stay blank.
void RenderLayer(const ShownLayer& layer, const Options& options, const std::string& indent,
                 std::ostream& out) {
  LayerLayout layout(layer);
  LayerLabels(layout, indent, out);
  if (layout.Empty()) {
    out << indent << "(no cells)\n";
    return;
  }
  Grid(layout, options.ascii ? kAsciiRules : kBoxRules, indent).Draw(out);
}

// Renders every item of an outline, indented by its level.
class DocumentRenderer : public OutlineWalker {
 public:
  using OutlineWalker::Visit;

  DocumentRenderer(const Options& options, std::ostream& out) : _options(options), _out(out) {}

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

  void Visit(OmPivotTable& table) override { RenderTable(table, _options, _out, Indent()); }

 private:
  void PageTitle(const std::string& text) override { Line("Page title: " + text); }

  void Summary(const char* kind, const OmCellText* title, const std::string& figures) override {
    Line(kind + Decorated(title) + " (" + figures + ")");
  }

  // Two spaces a level.
  std::string Indent() const { return std::string(2 * static_cast<std::size_t>(Level()), ' '); }

  // text at the item's indent and after margin, on as many lines as it has.
  void Line(const std::string& text, const char* margin = "") {
    Indented(Indent() + margin, text, _out);
  }

  const Options& _options;
  std::ostream& _out;
};

}  // namespace

void RenderTable(OmPivotTable& table, const Options& options, std::ostream& out,
                 const std::string& indent) {
  Indented(indent, Decorated(TableTitle(table)), out);
  const int shown = ForEachShownLayer(
      table, options, [&](const ShownLayer& layer) { RenderLayer(layer, options, indent, out); });
  if (shown == 0) out << indent << "(no layer to show)\n";
  const OmVector<OmFootnote>& footnotes = table.Footnotes();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    Indented(indent, FootnoteMark(static_cast<int>(n)) + ". " + Decorated(footnotes[n].Text()),
             out);
  }
  if (table.Caption() != nullptr && table.showCaption()) {
    Indented(indent, Decorated(table.Caption()), out);
  }
}

std::string RenderTable(OmPivotTable& table, const Options& options, const std::string& indent) {
  std::ostringstream out;
  RenderTable(table, options, out, indent);
  return out.str();
}

void RenderDocument(OmOutputTree& tree, const Options& options, std::ostream& out) {
  DocumentRenderer(options, out).Walk(tree);
}

std::string RenderDocument(OmOutputTree& tree, const Options& options) {
  std::ostringstream out;
  RenderDocument(tree, options, out);
  return out.str();
}

}  // namespace omrender
