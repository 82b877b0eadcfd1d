#include "Latex.h"

#include <algorithm>
#include <cstddef>
#include <sstream>
#include <vector>

#include "Layout.h"

namespace omrender {

namespace {

std::string Escape(const std::string& text) {
  std::string escaped;
  for (char c : text) {
    switch (c) {
      case '#':
      case '$':
      case '%':
      case '&':
      case '_':
      case '{':
      case '}':
        escaped += '\\';
        escaped += c;
        break;
      case '\\':
        escaped += "\\textbackslash{}";
        break;
      case '~':
        escaped += "\\textasciitilde{}";
        break;
      case '^':
        escaped += "\\textasciicircum{}";
        break;
      case '<':
        escaped += "\\textless{}";
        break;
      case '>':
        escaped += "\\textgreater{}";
        break;
      case '|':
        escaped += "\\textbar{}";
        break;
      default:
        escaped += c;
    }
  }
  return escaped;
}

std::string Marks(const ShownText& text) {
  if (text.footnotes.empty()) return "";
  std::string marks = "\\textsuperscript{";
  for (std::size_t i = 0; i < text.footnotes.size(); ++i)
    marks += (i > 0 ? "," : "") + FootnoteMark(text.footnotes[i]);
  return marks + '}';
}

// A text outside a table: its lines joined by \newline.
std::string Inline(const ShownText& text) {
  const std::vector<std::string> lines = SplitLines(text.text);
  std::string latex = Escape(lines.front());
  for (std::size_t i = 1; i < lines.size(); ++i)
    latex += "\\newline " + Escape(lines[i]);
  return latex + Marks(text);
}

std::string Inline(const OmCellText* text) {
  return Inline(Shown(text));
}

// A text in a moving argument (\caption, a heading), where \newline breaks:
// its lines joined by spaces.
std::string OneLine(const ShownText& text) {
  std::string latex;
  for (const std::string& line : SplitLines(text.text))
    latex += (latex.empty() ? "" : " ") + Escape(line);
  return latex + Marks(text);
}

// A text in a table cell: several lines stack in one cell, aligned as the
// column (l, c or r).
std::string CellText(const ShownText& text, char align) {
  const std::vector<std::string> lines = SplitLines(text.text);
  if (lines.size() == 1) return Escape(lines.front()) + Marks(text);
  std::string latex = std::string("\\shortstack[") + align + "]{" + Escape(lines.front());
  for (std::size_t i = 1; i < lines.size(); ++i)
    latex += "\\\\" + Escape(lines[i]);
  return latex + Marks(text) + '}';
}

// Lines in typewriter type with their spaces kept.
std::string Typewriter(const std::vector<std::string>& texts) {
  std::string latex = "\\begin{flushleft}\\ttfamily\n";
  bool first = true;
  for (const std::string& text : texts) {
    for (const std::string& line : SplitLines(text)) {
      std::string escaped = Escape(line);
      std::replace(escaped.begin(), escaped.end(), ' ', '~');
      latex += (first ? "" : "\\\\\n") + ("\\mbox{}" + escaped);
      first = false;
    }
  }
  return latex + "\n\\end{flushleft}\n";
}

std::string HeadRow(LayerLayout& layout, std::size_t r) {
  const std::vector<LayoutCell>& row = layout.Row(r);
  std::string latex;
  std::string rules;
  for (std::size_t c = 0; c < layout.Width(); ++c) {
    const LayoutCell& cell = row[c];
    if (cell.covered) continue;
    const bool label = c >= layout.LabelColumns();
    std::string text = CellText(cell.text, label ? 'c' : 'l');
    if (label && cell.colspan > 1 && r + 1 < layout.HeadRows() && !text.empty()) {
      rules +=
          "\\cmidrule(lr){" + std::to_string(c + 1) + '-' + std::to_string(c + cell.colspan) + '}';
    }
    if (cell.colspan > 1) {
      text = "\\multicolumn{" + std::to_string(cell.colspan) + "}{" + (label ? 'c' : 'l') + "}{" +
             text + '}';
    }
    latex += (c > 0 ? " & " : "") + text;
  }
  return latex + " \\\\\n" + (rules.empty() ? "" : rules + '\n');
}

std::string DataRow(LayerLayout& layout, std::size_t r) {
  const std::vector<LayoutCell>& row = layout.Row(r);
  std::string latex;
  for (std::size_t c = 0; c < layout.Width(); ++c) {
    const LayoutCell& cell = row[c];
    const bool label = c < layout.LabelColumns();
    std::string text = cell.covered ? "" : CellText(cell.text, label ? 'l' : 'r');
    if (label && cell.rowspan > 1)
      text = "\\multirow{" + std::to_string(cell.rowspan) + "}{*}{" + text + '}';
    latex += (c > 0 ? " & " : "") + text;
  }
  return latex + " \\\\\n";
}

void Tabular(LayerLayout& layout, std::ostream& out) {
  if (layout.Empty()) {
    out << "\\begin{tabular}{l}\n(no cells)\n\\end{tabular}\n";
    return;
  }
  out << "\\begin{tabular}{" << std::string(layout.LabelColumns(), 'l')
      << std::string(layout.DataColumns(), 'r') << "}\n\\toprule\n";
  for (std::size_t r = 0; r < layout.HeadRows(); ++r)
    out << HeadRow(layout, r);
  if (layout.HeadRows() > 0) out << "\\midrule\n";
  for (std::size_t r = layout.HeadRows(); r < layout.Rows(); ++r)
    out << DataRow(layout, r);
  out << "\\bottomrule\n\\end{tabular}\n";
}

// The footnotes, each after its mark, then the caption when shown.
std::string Foot(const OmPivotTable& table) {
  std::string latex;
  const OmVector<OmFootnote>& footnotes = table.Footnotes();
  for (std::size_t n = 0; n < footnotes.size(); ++n) {
    latex += "\\textsuperscript{" + FootnoteMark(static_cast<int>(n)) + "} " +
             Inline(footnotes[n].Text()) + "\\par\n";
  }
  if (table.Caption() != nullptr && table.showCaption())
    latex += Inline(table.Caption()) + "\\par\n";
  return latex.empty() ? "" : "\\par\\footnotesize\n" + latex;
}

void LayerTable(const ShownLayer& layer, std::ostream& out) {
  LayerLayout layout(layer);
  std::string caption = OneLine(Shown(TableTitle(layer.table)));
  for (const std::vector<ShownText>& labels : layout.LayerLabels()) {
    caption += " --- ";
    for (std::size_t l = 0; l < labels.size(); ++l)
      caption += Escape(LayerLabelSeparator(l)) + OneLine(labels[l]);
  }
  out << "\\begin{table}[htbp]\n\\centering\n\\caption{" << caption << "}\n";
  Tabular(layout, out);
  out << Foot(layer.table) << "\\end{table}\n";
}

class DocumentWriter : public OutlineWalker {
 public:
  using OutlineWalker::Visit;

  DocumentWriter(const Options& options, std::ostream& out) : _options(options), _blocks(out) {}

  void Visit(OmHeading& heading) override { Heading(heading.OutlineText()); }

  void Visit(OmProcedure& procedure) override {
    Heading(procedure.OutlineText());
    if (!procedure.Command().empty())
      Add(Typewriter(std::vector<std::string>{procedure.Command()}));
  }

  void Visit(OmTextBlock& block) override {
    if (block.IsLog()) {
      Add("\\noindent\\textbf{Log}\n");
      Add(Typewriter(std::vector<std::string>(block.TextList().begin(), block.TextList().end())));
      return;
    }
    const std::string title = Inline(block.OutlineText());
    if (!title.empty()) Add("\\noindent\\textbf{" + title + "}\n");
    std::string lines;
    for (const std::string& line : block.TextList())
      lines += (lines.empty() ? "" : "\\newline\n") + Inline(ShownText{line, {}});
    if (!lines.empty()) Add("\\noindent\\mbox{}" + lines + '\n');
  }

  void Visit(OmPivotTable& table) override {
    // A layer's table is never empty: it has at least its \begin{table}.
    const int shown = ForEachShownLayer(
        table, _options, [&](const ShownLayer& layer) { LayerTable(layer, _blocks.Begin()); });
    if (shown == 0) Add("\\noindent " + Inline(TableTitle(table)) + ": no layer to show.\n");
  }

 private:
  void Add(const std::string& block) { _blocks.Add(block); }

  void Heading(const OmCellText* text) {
    static const char* const kCommands[] = {"section", "subsection", "subsubsection", "paragraph",
                                            "subparagraph"};
    Add(std::string("\\") + kCommands[std::min(Level(), 4)] + "*{" + OneLine(Shown(text)) + "}\n");
  }

  void PageTitle(const std::string& text) override {
    Add("\\noindent\\textit{" + Inline(ShownText{text, {}}) + "}\n");
  }

  void Summary(const char* kind, const OmCellText* title, const std::string& figures) override {
    Add("\\noindent " + Escape(kind) + Inline(title) + " (" + Escape(figures) + ")\n");
  }

  const Options& _options;
  BlockWriter _blocks;
};

}  // namespace

void RenderLatex(OmOutputTree& tree, const Options& options, bool standalone, std::ostream& out) {
  if (standalone) {
    out << "\\documentclass{article}\n\\usepackage[utf8]{inputenc}\n\\usepackage[T1]{fontenc}\n"
           "\\usepackage{booktabs,multirow}\n\\begin{document}\n\n";
  }
  DocumentWriter(options, out).Walk(tree);
  if (standalone) out << "\n\\end{document}\n";
}

std::string RenderLatex(OmOutputTree& tree, const Options& options, bool standalone) {
  std::ostringstream out;
  RenderLatex(tree, options, standalone, out);
  return out.str();
}

}  // namespace omrender
