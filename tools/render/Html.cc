#include "Html.h"

#include <algorithm>
#include <cstddef>
#include <vector>

#include "Layout.h"

namespace omrender {

namespace {

const char kStyle[] =
    "body { font-family: sans-serif; margin: 1em 2em; }\n"
    "table { border-collapse: collapse; margin: 0.5em 0 1.5em; }\n"
    "caption { text-align: left; font-weight: bold; padding: 0.25em 0; }\n"
    "caption .layer { font-weight: normal; }\n"
    "th, td { border: 1px solid #999; padding: 0.2em 0.5em; vertical-align: top; }\n"
    "thead th { text-align: center; }\n"
    "tbody th { text-align: left; font-weight: normal; }\n"
    "td.number { text-align: right; }\n"
    "td.corner { vertical-align: bottom; }\n"
    "tfoot td { border: none; font-size: smaller; }\n"
    "pre.log { background: #f4f4f4; padding: 0.5em; }\n";

std::string Escape(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '&':
        escaped += "&amp;";
        break;
      case '<':
        escaped += "&lt;";
        break;
      case '>':
        escaped += "&gt;";
        break;
      case '"':
        escaped += "&quot;";
        break;
      case '\'':
        escaped += "&#39;";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

// A text written inline: escaped, each line break a <br>.
std::string EscapeLines(const std::string& text) {
  const std::vector<std::string> lines = SplitLines(text);
  std::string html = Escape(lines.front());
  for (std::size_t i = 1; i < lines.size(); ++i)
    html += "<br>" + Escape(lines[i]);
  return html;
}

// A text as HTML: escaped with its line breaks, its footnote marks in one
// <sup>, comma-separated.
std::string Inline(const ShownText& text) {
  std::string html = EscapeLines(text.text);
  if (text.footnotes.empty()) return html;
  html += "<sup>";
  for (std::size_t i = 0; i < text.footnotes.size(); ++i)
    html += (i > 0 ? "," : "") + FootnoteMark(text.footnotes[i]);
  return html + "</sup>";
}

std::string Inline(const OmCellText* text) {
  return Inline(Shown(text));
}

// A span attribute, left out for a span of 1.
std::string SpanAttribute(const char* name, std::size_t span) {
  return span > 1 ? std::string(" ") + name + "=\"" + std::to_string(span) + '"' : "";
}

// One cell: a header with scope when it has text, otherwise a plain cell.
std::string Cell(const LayoutCell& cell, const char* scope) {
  const std::string spans =
      SpanAttribute("colspan", cell.colspan) + SpanAttribute("rowspan", cell.rowspan);
  if (cell.text.text.empty() && cell.text.footnotes.empty()) return "<td" + spans + "></td>";
  return "<th scope=\"" + std::string(scope) + '"' + spans + '>' + Inline(cell.text) + "</th>";
}

std::string Caption(const ShownText& title, const LayerLayout& layout) {
  std::string html = "<caption>" + Inline(title);
  for (const std::vector<ShownText>& labels : layout.layerLabels) {
    html += "<div class=\"layer\">";
    for (std::size_t l = 0; l < labels.size(); ++l)
      html += Escape(LayerLabelSeparator(l)) + Inline(labels[l]);
    html += "</div>";
  }
  return html + "</caption>\n";
}

// The corner, the block above the row labels and left of the column labels,
// in head row `row`. It is one cell spanning the block and holding the
// corner text; when the row dimensions' names stand in the corner, the
// block's last row holds each name above its column of labels instead, and
// one blank cell spans the rows above it.
std::string CornerCells(const LayerLayout& layout, std::size_t row) {
  if (layout.labelColumns == 0) return "";
  const std::size_t last = layout.headRows - 1;
  if (layout.namesInCorner && row == last) {
    std::string html;
    for (std::size_t k = 0; k < layout.labelColumns; ++k)
      html += Cell(layout.rows[row][k], "col");
    return html;
  }
  if (row > 0) return "";
  const std::size_t rows = layout.namesInCorner ? last : layout.headRows;
  const std::string text = layout.namesInCorner ? "" : Inline(layout.rows[last][0].text);
  return "<td class=\"corner\"" + SpanAttribute("colspan", layout.labelColumns) +
         SpanAttribute("rowspan", rows) + '>' + text + "</td>";
}

std::string Head(const LayerLayout& layout) {
  if (layout.Empty() || layout.headRows == 0) return "";
  std::string html = "<thead>\n";
  for (std::size_t r = 0; r < layout.headRows; ++r) {
    html += "<tr>" + CornerCells(layout, r);
    for (std::size_t c = layout.labelColumns; c < layout.Width(); ++c) {
      const LayoutCell& cell = layout.rows[r][c];
      if (!cell.covered) html += Cell(cell, "col");
    }
    html += "</tr>\n";
  }
  return html + "</thead>\n";
}

std::string Body(const LayerLayout& layout) {
  if (layout.Empty()) return "<tbody>\n<tr><td>(no cells)</td></tr>\n</tbody>\n";
  std::string html = "<tbody>\n";
  for (std::size_t r = layout.headRows; r < layout.rows.size(); ++r) {
    html += "<tr>";
    for (std::size_t c = 0; c < layout.labelColumns; ++c) {
      const LayoutCell& cell = layout.rows[r][c];
      if (!cell.covered) html += Cell(cell, "row");
    }
    for (std::size_t c = layout.labelColumns; c < layout.Width(); ++c) {
      const LayoutCell& cell = layout.rows[r][c];
      html +=
          std::string(cell.number ? "<td class=\"number\">" : "<td>") + Inline(cell.text) + "</td>";
    }
    html += "</tr>\n";
  }
  return html + "</tbody>\n";
}

// The footnotes, each after its mark, then the caption when shown.
std::string Foot(const OmPivotTable& table, std::size_t width) {
  const std::string cell = "<td" + SpanAttribute("colspan", width) + '>';
  std::string rows;
  const OmVector<OmFootnote>& footnotes = table.Footnotes();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    rows += "<tr class=\"footnote\">" + cell + "<sup>" + FootnoteMark(static_cast<int>(n)) +
            "</sup> " + Inline(footnotes[n].Text()) + "</td></tr>\n";
  }
  if (table.Caption() != nullptr && table.showCaption()) {
    rows += "<tr class=\"caption\">" + cell + Inline(table.Caption()) + "</td></tr>\n";
  }
  return rows.empty() ? "" : "<tfoot>\n" + rows + "</tfoot>\n";
}

std::string LayerTable(const ShownLayer& layer) {
  const OmPivotTable& table = layer.table;
  const LayerLayout layout = LayOutLayer(layer);
  return "<table>\n" + Caption(Shown(TableTitle(table)), layout) + Head(layout) + Body(layout) +
         Foot(table, layout.Empty() ? 1 : layout.Width()) + "</table>\n";
}

// Every layer to show of a table, one <table> each.
std::string TableHtml(OmPivotTable& table, const Options& options) {
  std::string html;
  ForEachShownLayer(table, options, [&](const ShownLayer& layer) { html += LayerTable(layer); });
  if (html.empty()) {
    html = "<p class=\"empty\">" + Inline(TableTitle(table)) + ": no layer to show.</p>\n";
  }
  return html;
}

// Writes the body of the page, one item after the other.
class DocumentWriter : public OmOutputPart::Visitor {
 public:
  explicit DocumentWriter(const Options& options) : _options(options) {}

  std::string Write(OmOutputTree& tree) {
    for (const auto& entry : tree.List()) {
      if (entry.item == nullptr) continue;
      _level = std::min(std::max(entry.level, 0) + 1, 6);
      entry.item->Accept(*this);
    }
    return _html;
  }

  void Visit(OmHeading& heading) override { Heading(heading.OutlineText()); }

  void Visit(OmProcedure& procedure) override {
    Heading(procedure.OutlineText());
    if (!procedure.Command().empty()) {
      _html += "<p class=\"command\"><code>" + EscapeLines(procedure.Command()) + "</code></p>\n";
    }
  }

  // A log keeps its lines and their breaks as they are, in <pre>.
  void Visit(OmTextBlock& block) override {
    std::string lines;
    const char* separator = block.IsLog() ? "\n" : "<br>";
    for (const std::string& line : block.TextList())
      lines +=
          (lines.empty() ? "" : separator) + (block.IsLog() ? Escape(line) : EscapeLines(line));
    if (block.IsLog()) {
      _html += "<p class=\"item-title\">Log</p>\n<pre class=\"log\">" + lines + "</pre>\n";
      return;
    }
    const std::string title = Inline(block.OutlineText());
    if (!title.empty()) _html += "<p class=\"item-title\">" + title + "</p>\n";
    if (!lines.empty()) _html += "<p>" + lines + "</p>\n";
  }

  void Visit(OmPageTitle& title) override {
    std::string text;
    for (const std::string& line : title.TextList())
      text += (text.empty() ? "" : " ") + line;
    _html += "<p class=\"page-title\">" + EscapeLines(text) + "</p>\n";
  }

  void Visit(OmChart& chart) override {
    Summary("Chart: ", chart.OutlineText(), ChartSummary(chart));
  }

  void Visit(OmModel& model) override {
    Summary("Model: ", model.OutlineText(), ModelSummary(model));
  }

  void Visit(OmAnswerTree& tree) override {
    Summary("Answer tree: ", tree.OutlineText(), AnswerTreeSummary(tree));
  }

  void Visit(OmPivotTable& table) override { _html += TableHtml(table, _options); }

 private:
  void Heading(const OmCellText* text) {
    const std::string tag = "h" + std::to_string(_level);
    _html += '<' + tag + '>' + Inline(text) + "</" + tag + ">\n";
  }

  void Summary(const char* kind, const OmCellText* title, const std::string& figures) {
    _html += "<p class=\"summary\">" + std::string(kind) + Inline(title) + " (" + Escape(figures) +
             ")</p>\n";
  }

  const Options& _options;
  std::string _html;
  int _level = 1;
};

}  // namespace

std::string RenderHtml(OmOutputTree& tree, const Options& options, const std::string& title) {
  return "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>" +
         Escape(title.empty() ? "Output" : title) + "</title>\n<style>\n" + kStyle +
         "</style>\n</head>\n<body>\n" + DocumentWriter(options).Write(tree) + "</body>\n</html>\n";
}

}  // namespace omrender
