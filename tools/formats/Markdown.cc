#include "Markdown.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <sstream>
#include <vector>

#include "Layout.h"

namespace omrender {

namespace {

// One line of text, escaped so that Markdown reads it as plain text.
std::string EscapeLine(const std::string& line) {
  std::string escaped;
  std::size_t i = 0;
  // Characters that open a block only at the start of a line.
  if (!line.empty() && std::string("#-+=").find(line[0]) != std::string::npos) {
    escaped += '\\';
  } else {
    while (i < line.size() && std::isdigit(static_cast<unsigned char>(line[i])))
      escaped += line[i++];
    if (i > 0 && i < line.size() && (line[i] == '.' || line[i] == ')')) escaped += '\\';
  }
  for (; i < line.size(); ++i) {
    if (std::string("\\`*_~[]<>&|").find(line[i]) != std::string::npos) escaped += '\\';
    escaped += line[i];
  }
  return escaped;
}

// A text escaped line by line, each line break a <br>.
std::string EscapeLines(const std::string& text) {
  const std::vector<std::string> lines = SplitLines(text);
  std::string markdown = EscapeLine(lines.front());
  for (std::size_t i = 1; i < lines.size(); ++i)
    markdown += "<br>" + EscapeLine(lines[i]);
  return markdown;
}

// A text with its footnote marks in one <sup>, comma-separated.
std::string Inline(const ShownText& text) {
  std::string markdown = EscapeLines(text.text);
  if (text.footnotes.empty()) return markdown;
  markdown += "<sup>";
  for (std::size_t i = 0; i < text.footnotes.size(); ++i)
    markdown += (i > 0 ? "," : "") + FootnoteMark(text.footnotes[i]);
  return markdown + "</sup>";
}

std::string Inline(const OmCellText* text) {
  return Inline(Shown(text));
}

// Lines as a fenced code block, kept as they are: the fence is longer than
// any run of backticks inside, so no line can close it.
template <typename Texts>
std::string Fenced(const Texts& texts) {
  std::vector<std::string> lines;
  for (const std::string& text : texts) {
    for (std::string& line : SplitLines(text))
      lines.push_back(std::move(line));
  }
  std::size_t longest = 0;
  for (const std::string& line : lines) {
    std::size_t run = 0;
    for (char c : line) {
      run = c == '`' ? run + 1 : 0;
      longest = std::max(longest, run);
    }
  }
  const std::string fence(std::max<std::size_t>(3, longest + 1), '`');
  std::string markdown = fence + '\n';
  for (const std::string& line : lines)
    markdown += line + '\n';
  return markdown + fence + '\n';
}

std::string TableRow(const std::vector<std::string>& cells) {
  std::string line = "|";
  for (const std::string& cell : cells)
    line += ' ' + cell + " |";
  return line + '\n';
}

// The one header row: above each data column the labels of the head rows
// that span it, joined by " / "; above the label columns the corner cells
// standing there.
std::vector<std::string> HeaderRow(LayerLayout& layout) {
  std::vector<std::string> header(layout.Width());
  for (std::size_t r = 0; r < layout.HeadRows(); ++r) {
    const std::vector<LayoutCell>& row = layout.Row(r);
    std::string spanning;
    for (std::size_t c = 0; c < layout.Width(); ++c) {
      const LayoutCell& cell = row[c];
      if (!cell.covered) spanning = Inline(cell.text);
      // A corner cell's span stays in the first label column.
      const std::string label = c < layout.LabelColumns() && cell.covered ? "" : spanning;
      if (label.empty()) continue;
      header[c] += (header[c].empty() ? "" : " / ") + label;
    }
  }
  return header;
}

// The data columns' alignment row: a column holding a number is
// right-aligned. Lays out every data row to find out.
std::vector<std::string> AlignmentRow(LayerLayout& layout) {
  std::vector<std::string> alignment(layout.Width(), "---");
  for (std::size_t r = layout.HeadRows(); r < layout.Rows(); ++r) {
    const std::vector<LayoutCell>& row = layout.Row(r);
    for (std::size_t c = layout.LabelColumns(); c < layout.Width(); ++c) {
      if (row[c].number) alignment[c] = "---:";
    }
  }
  return alignment;
}

void LayerTable(const ShownLayer& layer, std::ostream& out) {
  LayerLayout layout(layer);
  // An empty title would leave "****", a thematic break.
  const std::string title = Inline(TableTitle(layer.table));
  std::string markdown = title.empty() ? "" : "**" + title + "**";
  for (const std::vector<ShownText>& labels : layout.LayerLabels()) {
    if (!markdown.empty()) markdown += "<br>\n";
    for (std::size_t l = 0; l < labels.size(); ++l)
      markdown += EscapeLine(LayerLabelSeparator(l)) + Inline(labels[l]);
  }
  if (!markdown.empty()) markdown += "\n\n";
  out << markdown;
  if (layout.Empty()) {
    out << "(no cells)\n";
    return;
  }

  out << TableRow(HeaderRow(layout)) << TableRow(AlignmentRow(layout));
  // The row labels in force, carried down their spans.
  std::vector<std::string> labels(layout.LabelColumns());
  std::vector<std::string> cells(layout.Width());
  for (std::size_t r = layout.HeadRows(); r < layout.Rows(); ++r) {
    const std::vector<LayoutCell>& row = layout.Row(r);
    for (std::size_t c = 0; c < layout.Width(); ++c) {
      const LayoutCell& cell = row[c];
      if (c >= layout.LabelColumns()) {
        cells[c] = Inline(cell.text);
        continue;
      }
      if (!cell.covered) labels[c] = Inline(cell.text);
      cells[c] = labels[c];
    }
    out << TableRow(cells);
  }
}

// The footnotes as a list, then the caption when shown.
std::string Foot(const OmPivotTable& table) {
  std::string markdown;
  const OmVector<OmFootnote>& footnotes = table.Footnotes();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    markdown +=
        "- " + FootnoteMark(static_cast<int>(n)) + ": " + Inline(footnotes[n].Text()) + '\n';
  }
  if (table.Caption() != nullptr && table.showCaption()) {
    markdown += (markdown.empty() ? "" : "\n") + Inline(table.Caption()) + '\n';
  }
  return markdown;
}

// Writes the document, one block after the other with a blank line between
// them.
class DocumentWriter : public OutlineWalker {
 public:
  using OutlineWalker::Visit;

  DocumentWriter(const Options& options, std::ostream& out) : _options(options), _blocks(out) {}

  void Visit(OmHeading& heading) override { Heading(heading.OutlineText()); }

  void Visit(OmProcedure& procedure) override {
    Heading(procedure.OutlineText());
    if (!procedure.Command().empty()) Add(Fenced(std::vector<std::string>{procedure.Command()}));
  }

  void Visit(OmTextBlock& block) override {
    if (block.IsLog()) {
      Add("**Log**\n");
      Add(Fenced(block.TextList()));
      return;
    }
    const std::string title = Inline(block.OutlineText());
    if (!title.empty()) Add("**" + title + "**\n");
    std::string lines;
    for (const std::string& line : block.TextList())
      lines += (lines.empty() ? "" : "<br>\n") + EscapeLines(line);
    if (!lines.empty()) Add(lines + '\n');
  }

  void Visit(OmPivotTable& table) override {
    const int shown = ForEachShownLayer(table, _options, [&](const ShownLayer& layer) {
      // A layer's table is never empty: it has at least "(no cells)".
      LayerTable(layer, _blocks.Begin());
      const std::string foot = Foot(table);
      if (!foot.empty()) Add(foot);
    });
    if (shown == 0) Add(Inline(TableTitle(table)) + ": no layer to show.\n");
  }

 private:
  void Add(const std::string& block) { _blocks.Add(block); }

  void Heading(const OmCellText* text) {
    Add(std::string(static_cast<std::size_t>(std::min(Level() + 1, 6)), '#') + ' ' + Inline(text) +
        '\n');
  }

  void PageTitle(const std::string& text) override { Add('*' + EscapeLines(text) + "*\n"); }

  void Summary(const char* kind, const OmCellText* title, const std::string& figures) override {
    Add(kind + Inline(title) + " (" + EscapeLines(figures) + ")\n");
  }

  const Options& _options;
  BlockWriter _blocks;
};

}  // namespace

void RenderMarkdown(OmOutputTree& tree, const Options& options, std::ostream& out) {
  DocumentWriter(options, out).Walk(tree);
}

std::string RenderMarkdown(OmOutputTree& tree, const Options& options) {
  std::ostringstream out;
  RenderMarkdown(tree, options, out);
  return out.str();
}

}  // namespace omrender
