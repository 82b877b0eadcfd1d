// The consumer's side of omtree: walks an output tree, tells its items apart
// with a visitor, and lays each pivot table out through the three display
// headings, printing the labels and the cells one display row per line. It
// exits non-zero when the outline or the cells read back differ from what
// was built.
//
// It is also the packaging check: tests/packaging builds this directory as a
// project of its own, against the source tree and against an installation,
// and looks for the "ok: 3 outline entries" line.

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "backend/omtree/omtree.h"

namespace {

using ConstNode = OmDisplayLayerHeading::ConstNode;

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Stands in for a producer: under the root heading, a procedure heading with
// a 2 x 2 table below it (sex in the rows, smoking in the columns).
void BuildOutput(OmOutputTree& output) {
  OmOutputTree::Node procedure =
      output.Root().AppendChild(new OmProcedure(Text("Crosstab"), "en", "UTF-8", "en_US"));
  OmPivotTable* table = new OmPivotTable(Text("Region by sex"), Text("Crosstab"), false);
  procedure.AppendChild(table);

  OmDimension& sex = table->AddDimension(Text("Sex"));
  sex.Child(sex.Root(), Text("Male"), 0, false);
  sex.Child(sex.Root(), Text("Female"), 1, false);
  OmDimension& smoker = table->AddDimension(Text("Smoker"));
  smoker.Child(smoker.Root(), Text("Yes"), 0, false);
  smoker.Child(smoker.Root(), Text("No"), 1, false);
  table->Cell({0, 0}, OmNumber(12));
  table->Cell({0, 1}, OmNumber(30));
  table->Cell({1, 0}, OmNumber(8));
  table->Cell({1, 1}, OmNumber(41));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->EndTable();
}

// One fixed-width cell of a printed line.
std::string Pad(const std::string& text) {
  constexpr std::size_t kWidth = 10;
  return text.size() < kWidth ? text + std::string(kWidth - text.size(), ' ') : text + ' ';
}

// A heading label; null stands for a place without one.
std::string Label(const ConstNode* node) {
  if (node == nullptr || (*node)->Text() == nullptr) return "";
  return (*node)->Text()->AsString();
}

// Prints one line per outline item, indented by its level; tables are laid
// out below their line. Remembers every cell it read through the headings.
class Printer : public OmOutputPart::Visitor {
 public:
  void Indent(int level) { _indent = std::string(2 * static_cast<std::size_t>(level), ' '); }

  void Visit(OmModel& model) override { Line("model " + model.OutlineText()->AsString()); }
  void Visit(OmAnswerTree& tree) override { Line("answer tree " + tree.OutlineText()->AsString()); }
  void Visit(OmChart& chart) override { Line("chart " + chart.OutlineText()->AsString()); }
  void Visit(OmTextBlock& block) override {
    Line("text " + block.OutlineText()->AsString());
    for (const std::string& line : block.TextList())
      Line("  " + line);
  }
  void Visit(OmHeading& heading) override { Line("heading " + heading.OutlineText()->AsString()); }
  // Without this override a procedure would print as a heading.
  void Visit(OmProcedure& procedure) override { Line("procedure " + procedure.Command()); }
  void Visit(OmPivotTable& table) override;
  // Page titles keep the default: they print as text blocks.
  using OmOutputPart::Visitor::Visit;

  const std::vector<std::string>& CellsRead() const { return _cellsRead; }

 private:
  // Prints text after the indentation, without the padding that ends it.
  void Line(const std::string& text) {
    const std::string line = _indent + text;
    std::printf("%s\n", line.substr(0, line.find_last_not_of(' ') + 1).c_str());
  }

  std::string _indent;
  std::vector<std::string> _cellsRead;
};

// A table is shown one layer at a time. For each layer, the column heading
// gives the label rows above the data and the row heading the labels left of
// it; the three Fill calls together give the index of a displayed cell.
void Printer::Visit(OmPivotTable& table) {
  Line("table " + table.OutlineText()->AsString());
  OmDisplayLayerHeading layers(table, false);
  while (layers.NextLayer()) {
    OmDisplayColumnHeading columns(layers, false);
    OmDisplayRowHeading rows(layers, false, false);

    // Column labels, one heading row per line, after room for the row labels.
    std::string corner;
    for (int c = 0; c < rows.NColumns(); ++c)
      corner += Pad("");
    for (int r = 0; r < columns.NRows(); ++r) {
      std::string line = corner;
      for (const ConstNode* label : columns.Row(r))
        line += Pad(Label(label));
      Line("  " + line);
    }

    // Each display row: its labels, then its cells.
    for (int r = 0; r < rows.NRows(); ++r) {
      std::string line;
      for (const ConstNode* label : rows.Row(r))
        line += Pad(Label(label));
      for (int c = 0; c < columns.NColumns(); ++c) {
        std::vector<int> index;
        layers.Fill(index);
        columns.Fill(index, c);
        rows.Fill(index, r);
        const OmCellText* cell = table.Cell(index);
        const std::string text = cell == nullptr ? "" : cell->AsString();
        _cellsRead.push_back(text);
        line += Pad(text);
      }
      Line("  " + line);
    }
  }
}

}  // namespace

int main() {
  OmOutputTree output;
  BuildOutput(output);

  // List() holds the outline in document order, each entry with its level.
  // An entry may hold no item.
  Printer printer;
  std::vector<int> levels;
  for (const auto& entry : output.List()) {
    levels.push_back(entry.level);
    if (entry.item == nullptr) continue;
    printer.Indent(entry.level);
    entry.item->Accept(printer);
  }

  const bool ok = output.Size() == 3 && levels == std::vector<int>{0, 1, 2} &&
                  printer.CellsRead() == std::vector<std::string>{"12", "30", "8", "41"};
  std::printf("%s: %d outline entries, %zu cells read through the headings\n", ok ? "ok" : "FAILED",
              output.Size(), printer.CellsRead().size());
  return ok ? 0 : 1;
}
