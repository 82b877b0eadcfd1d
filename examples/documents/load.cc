// Loading an output document: a consumer opens the file that save.cc wrote
// with omdoc::Load, walks its outline with a visitor and reads the table's
// cells. It prints what it finds and exits non-zero when the document is
// not the one save.cc writes. Bad input ends with omdoc::LoadError, whose
// message names the file, line, column and the JSON pointer of the value.
//
//   omtree_example_load document.json

#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "Document.h"
#include "backend/omtree/omtree.h"

namespace {

// Prints every item and sums the cells of every table.
class Reader : public OmOutputPart::Visitor {
 public:
  void Visit(OmHeading& heading) override { Print("heading", heading); }
  void Visit(OmTextBlock& block) override {
    Print("text", block);
    for (const std::string& line : block.TextList())
      std::cout << "  " << line << '\n';
  }
  void Visit(OmPivotTable& table) override {
    Print("table", table);
    for (OmPivotTable::Iterator it = table.FirstCell(); it.Cell() != nullptr; ++it) {
      const auto* number = dynamic_cast<const OmNumber*>(it.Cell());
      if (number != nullptr) total += number->Value();
      ++cells;
    }
  }
  void Visit(OmChart&) override {}
  void Visit(OmModel&) override {}
  void Visit(OmAnswerTree&) override {}

  double total = 0;
  int cells = 0;

 private:
  static void Print(const char* kind, const OmOutputPart& item) {
    std::cout << kind << ": " << item.OutlineText()->AsString() << '\n';
  }
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: omtree_example_load FILE.json\n";
    return 2;
  }
  std::ifstream in(argv[1], std::ios::binary);
  if (!in) {
    std::cerr << argv[1] << ": cannot open\n";
    return 1;
  }
  std::unique_ptr<OmOutputTree> tree;
  try {
    tree = omdoc::Load(in, argv[1]);
  } catch (const omdoc::LoadError& error) {
    std::cerr << error.what() << '\n';
    return 1;
  }
  Reader reader;
  for (const auto& entry : tree->List()) {
    if (entry.item != nullptr) entry.item->Accept(reader);
  }
  std::cout << reader.cells << " cells, total " << reader.total << '\n';
  return reader.cells == 4 && reader.total == 92 ? 0 : 1;
}
