#include "Pivot.h"

namespace omdoc {

namespace {

class Transposer : public OmOutputPart::Visitor {
 public:
  void Visit(OmPivotTable& table) override {
    table.Rows().swap(table.Columns());
    ++tables;
  }
  void Visit(OmHeading&) override {}
  void Visit(OmTextBlock&) override {}
  void Visit(OmChart&) override {}
  void Visit(OmModel&) override {}
  void Visit(OmAnswerTree&) override {}

  int tables = 0;
};

}  // namespace

int Transpose(OmOutputTree& tree) {
  Transposer transposer;
  for (const auto& entry : tree.List()) {
    if (entry.item != nullptr) entry.item->Accept(transposer);
  }
  return transposer.tables;
}

}  // namespace omdoc
