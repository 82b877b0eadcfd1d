#include "Html.h"

#include <algorithm>
#include <cstddef>
#include <deque>
#include <sstream>
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
    "pre.log { background: #f4f4f4; padding: 0.5em; }\n"
    ".layer-select { margin: 0.5em 0; }\n"
    ".layer-select select { margin: 0 1em 0 0.25em; }\n"
    ".layer-select p { margin: 0.25em 0; font-style: italic; }\n"
    // On paper nothing can be chosen: every layer stands, also those the
    // script hid, and no table is cut by a page break where avoidable.
    "@media print {\n"
    "  body { margin: 0; color: #000; background: #fff; }\n"
    "  .layer-select { display: none; }\n"
    "  .pivot > table { display: table; }\n"
    "  table { break-inside: avoid; page-break-inside: avoid; }\n"
    "  th, td { border-color: #000; }\n"
    "  pre.log { background: none; border: 1px solid #000; }\n"
    "}\n";

// Shows one layer of each table with a layer selection at a time, the one
// its selects name, and says which (or that no shown layer has that
// combination) in the status line. Only the page's markup is read, so no
// label ever stands in the script. Without script the selects stay hidden
// and every layer shows.
const char kScript[] =
    "document.querySelectorAll('section.pivot').forEach(function (pivot) {\n"
    "  var controls = pivot.querySelector('.layer-select');\n"
    "  if (!controls) return;\n"
    "  var selects = Array.from(controls.querySelectorAll('select'));\n"
    "  var tables = Array.from(pivot.querySelectorAll('table[data-layer]'));\n"
    "  var status = controls.querySelector('[role=status]');\n"
    "  function update() {\n"
    "    var key = selects.map(function (select) { return select.value; }).join(' ');\n"
    "    var shown = null;\n"
    "    tables.forEach(function (table) {\n"
    "      table.hidden = table.dataset.layer !== key;\n"
    "      if (!table.hidden) shown = table;\n"
    "    });\n"
    "    status.textContent = shown === null ? 'No such layer: it shows no cells.' :\n"
    "      'Showing ' + Array.from(shown.querySelectorAll('caption .layer'), function (line) {\n"
    "        return line.textContent;\n"
    "      }).join('; ') + '.';\n"
    "  }\n"
    "  selects.forEach(function (select) { select.addEventListener('change', update); });\n"
    "  controls.hidden = false;\n"
    "  update();\n"
    "});\n";

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

// A text where markup cannot stand (an option, a label): escaped, its lines
// joined by spaces, without footnote marks.
std::string PlainText(const ShownText& text) {
  std::string plain;
  for (const std::string& line : SplitLines(text.text))
    plain += (plain.empty() ? "" : " ") + line;
  return Escape(plain);
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

void Caption(const ShownText& title, const LayerLayout& layout, std::ostream& out) {
  out << "<caption>" << Inline(title);
  for (const std::vector<ShownText>& labels : layout.LayerLabels()) {
    out << "<div class=\"layer\">";
    for (std::size_t l = 0; l < labels.size(); ++l)
      out << Escape(LayerLabelSeparator(l)) << Inline(labels[l]);
    out << "</div>";
  }
  out << "</caption>\n";
}

// The corner, the block above the row labels and left of the column labels,
// in head row `row`. It is one cell spanning the block and holding the
// corner text; when the row dimensions' names stand in the corner, the
// block's last row holds each name above its column of labels instead, and
// one blank cell spans the rows above it.
void CornerCells(LayerLayout& layout, std::size_t row, std::ostream& out) {
  if (layout.LabelColumns() == 0) return;
  const std::size_t last = layout.HeadRows() - 1;
  if (layout.NamesInCorner() && row == last) {
    const std::vector<LayoutCell>& places = layout.Row(row);
    for (std::size_t k = 0; k < layout.LabelColumns(); ++k)
      out << Cell(places[k], "col");
    return;
  }
  if (row > 0) return;
  const std::size_t rows = layout.NamesInCorner() ? last : layout.HeadRows();
  const std::string text = layout.NamesInCorner() ? "" : Inline(layout.Row(last)[0].text);
  out << "<td class=\"corner\"" << SpanAttribute("colspan", layout.LabelColumns())
      << SpanAttribute("rowspan", rows) << '>' << text << "</td>";
}

void Head(LayerLayout& layout, std::ostream& out) {
  if (layout.Empty() || layout.HeadRows() == 0) return;
  out << "<thead>\n";
  for (std::size_t r = 0; r < layout.HeadRows(); ++r) {
    out << "<tr>";
    CornerCells(layout, r, out);
    const std::vector<LayoutCell>& row = layout.Row(r);
    for (std::size_t c = layout.LabelColumns(); c < layout.Width(); ++c) {
      if (!row[c].covered) out << Cell(row[c], "col");
    }
    out << "</tr>\n";
  }
  out << "</thead>\n";
}

void Body(LayerLayout& layout, std::ostream& out) {
  if (layout.Empty()) {
    out << "<tbody>\n<tr><td>(no cells)</td></tr>\n</tbody>\n";
    return;
  }
  out << "<tbody>\n";
  for (std::size_t r = layout.HeadRows(); r < layout.Rows(); ++r) {
    const std::vector<LayoutCell>& row = layout.Row(r);
    out << "<tr>";
    for (std::size_t c = 0; c < layout.LabelColumns(); ++c) {
      if (!row[c].covered) out << Cell(row[c], "row");
    }
    for (std::size_t c = layout.LabelColumns(); c < layout.Width(); ++c) {
      out << (row[c].number ? "<td class=\"number\">" : "<td>") << Inline(row[c].text) << "</td>";
    }
    out << "</tr>\n";
  }
  out << "</tbody>\n";
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

// The layer dimensions of a table as its selects offer them: each one's
// name and the categories its shown layers select, in the order they first
// appear, which is their display order since the layers run through the
// categories in order.
struct LayerChoice {
  std::string name;
  // The category subscripts in the table's dimension, and the option text
  // of each: its labels below the root as the caption shows them.
  std::vector<int> subscripts;
  std::vector<std::string> options;
};

// The positions, among the choices' options, of the categories that the
// current layer selects; adds the categories not met before to choices.
std::vector<std::size_t> LayerPositions(const ShownLayer& layer,
                                        std::vector<LayerChoice>& choices) {
  OmDisplayLayerHeading& layers = layer.layers;
  std::vector<int> index;
  layers.Fill(index);
  std::vector<std::size_t> positions;
  for (int i = 0; i < layers.NDimensions(); ++i) {
    const int dimension = layers.getDimensionIndex(i);
    if (dimension < 0) continue;
    OmDisplayLayerHeading::ConstNode* root = nullptr;
    OmDisplayLayerHeading::ConstNode* leaf = nullptr;
    layers.DimCatNodes(i, root, leaf);
    if (leaf == nullptr) continue;
    const std::size_t choice = positions.size();
    if (choice == choices.size()) {
      // The select needs a name even when the table hides the dimension's.
      const std::string name = PlainText(Shown(root->Value().Text()));
      choices.push_back(
          {name.empty() ? "Layer dimension " + std::to_string(choice + 1) : name, {}, {}});
    }
    LayerChoice& options = choices[choice];
    const int subscript = index[static_cast<std::size_t>(dimension)];
    const auto found = std::find(options.subscripts.begin(), options.subscripts.end(), subscript);
    positions.push_back(static_cast<std::size_t>(found - options.subscripts.begin()));
    if (found != options.subscripts.end()) continue;
    std::string text;
    const std::deque<OmDisplayLayerHeading::ConstNode*> path = layers.Nodes(i);
    for (std::size_t l = 1; l < path.size(); ++l) {
      if (path[l] != nullptr)
        text += (text.empty() ? "" : " / ") + PlainText(Shown(path[l]->Value().Text()));
    }
    options.subscripts.push_back(subscript);
    options.options.push_back(text.empty() ? PlainText(Shown(leaf->Value().Text())) : text);
  }
  return positions;
}

// One layer's <table> without its start tag, which carries the layer's key
// when the table has a layer selection.
void LayerTable(const ShownLayer& layer, std::ostream& out) {
  const OmPivotTable& table = layer.table;
  LayerLayout layout(layer);
  Caption(Shown(TableTitle(table)), layout, out);
  Head(layout, out);
  Body(layout, out);
  out << Foot(table, layout.Empty() ? 1 : layout.Width()) << "</table>\n";
}

// The selects of a table's layer selection, hidden until the script shows
// them, and the status line that says which layer shows. Each select's id
// is unique in the page through the table's number.
std::string LayerSelect(const std::vector<LayerChoice>& choices, int number) {
  std::string html = "<div class=\"layer-select\" hidden>\n";
  for (std::size_t c = 0; c < choices.size(); ++c) {
    const std::string id = "pivot" + std::to_string(number) + "-layer" + std::to_string(c);
    html += "<label for=\"" + id + "\">" + choices[c].name + "</label><select id=\"" + id + "\">";
    for (std::size_t o = 0; o < choices[c].options.size(); ++o)
      html += "<option value=\"" + std::to_string(o) + "\">" + choices[c].options[o] + "</option>";
    html += "</select>\n";
  }
  return html + "<p role=\"status\"></p>\n</div>\n";
}

// A table in its <section class="pivot">: every layer to show, one <table>
// each, after a layer selection when there are several. Each of those
// tables has a data-layer attribute: the positions of its categories among
// the selects' options, space-separated as the script joins the selects'
// values. Sets selects when it wrote a selection. The selection comes
// before the tables and offers what all of them show, so the layers are
// gone over twice: for the selection's options, then to write each table.
void TableHtml(OmPivotTable& table, const Options& options, int number, bool& selects,
               std::ostream& out) {
  std::vector<LayerChoice> choices;
  std::vector<std::string> keys;
  ForEachShownLayer(table, options, [&](const ShownLayer& layer) {
    std::string key;
    for (std::size_t position : LayerPositions(layer, choices))
      key += (key.empty() ? "" : " ") + std::to_string(position);
    keys.push_back(key);
  });
  out << "<section class=\"pivot\">\n";
  if (keys.empty()) {
    out << "<p class=\"empty\">" << Inline(TableTitle(table))
        << ": no layer to show.</p>\n</section>\n";
    return;
  }
  const bool select = keys.size() > 1 && !choices.empty();
  if (select) {
    selects = true;
    out << LayerSelect(choices, number);
  }
  std::size_t k = 0;
  ForEachShownLayer(table, options, [&](const ShownLayer& layer) {
    out << (select ? "<table data-layer=\"" + keys[k++] + "\">\n" : "<table>\n");
    LayerTable(layer, out);
  });
  out << "</section>\n";
}

// Writes the body of the page, one item after the other.
class DocumentWriter : public OutlineWalker {
 public:
  using OutlineWalker::Visit;

  DocumentWriter(const Options& options, std::ostream& out) : _options(options), _out(out) {}

  void Visit(OmHeading& heading) override { Heading(heading.OutlineText()); }

  void Visit(OmProcedure& procedure) override {
    Heading(procedure.OutlineText());
    if (!procedure.Command().empty()) {
      _out << "<p class=\"command\"><code>" + EscapeLines(procedure.Command()) + "</code></p>\n";
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
      _out << "<p class=\"item-title\">Log</p>\n<pre class=\"log\">" + lines + "</pre>\n";
      return;
    }
    const std::string title = Inline(block.OutlineText());
    if (!title.empty()) _out << "<p class=\"item-title\">" + title + "</p>\n";
    if (!lines.empty()) _out << "<p>" + lines + "</p>\n";
  }

  void Visit(OmPivotTable& table) override {
    TableHtml(table, _options, ++_tables, _selects, _out);
  }

  // Whether a table of the page has a layer selection, which needs the
  // script.
  bool Selects() const { return _selects; }

 private:
  void PageTitle(const std::string& text) override {
    _out << "<p class=\"page-title\">" + EscapeLines(text) + "</p>\n";
  }

  void Heading(const OmCellText* text) {
    const std::string tag = "h" + std::to_string(std::min(Level() + 1, 6));
    _out << '<' + tag + '>' + Inline(text) + "</" + tag + ">\n";
  }

  void Summary(const char* kind, const OmCellText* title, const std::string& figures) override {
    _out << "<p class=\"summary\">" + std::string(kind) + Inline(title) + " (" + Escape(figures) +
                ")</p>\n";
  }

  const Options& _options;
  std::ostream& _out;
  int _tables = 0;
  bool _selects = false;
};

}  // namespace

void RenderHtml(OmOutputTree& tree, const Options& options, const std::string& title,
                std::ostream& out) {
  out << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>"
      << Escape(title.empty() ? "Output" : title) << "</title>\n<style>\n"
      << kStyle << "</style>\n</head>\n<body>\n<main>\n";
  DocumentWriter writer(options, out);
  writer.Walk(tree);
  out << "</main>\n";
  if (writer.Selects()) out << "<script>\n" << kScript << "</script>\n";
  out << "</body>\n</html>\n";
}

std::string RenderHtml(OmOutputTree& tree, const Options& options, const std::string& title) {
  std::ostringstream out;
  RenderHtml(tree, options, title, out);
  return out.str();
}

}  // namespace omrender
