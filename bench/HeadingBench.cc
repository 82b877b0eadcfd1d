// Display headings: laying out a table of 10,000 display rows x 100 display
// columns x 10 layers and reading every label stack of every layer; and, on
// a sparse table of about 10^9 possible and 10^5 stored cells, building the
// three headings of one layer with empty positions hidden, which costs a
// walk of the stored cells rather than a scan of the possible ones.

#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <string>
#include <vector>

#include "backend/omtree/DisplayColumnHeading.h"
#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/DisplayRowHeading.h"

namespace {

// A dimension of groups groups of leaves leaves each (one level of groups
// when groups > 0, else plain leaves).
void AddDimension(OmPivotTable& table, int groups, int leaves) {
  OmDimension& dimension = table.AddDimension(OmStringCell("dimension", nullptr, false));
  std::size_t subscript = 0;
  auto addLeaves = [&](const OmDimension::Node& parent, int count) {
    for (int i = 0; i < count; ++i) {
      dimension.AddNewChild(parent,
                            OmStringCell("category " + std::to_string(subscript), nullptr, false),
                            subscript, false);
      ++subscript;
    }
  };
  if (groups == 0) {
    addLeaves(dimension.Root(), leaves);
    return;
  }
  for (int g = 0; g < groups; ++g) {
    OmDimension::Node group = dimension.AddNewChild(
        dimension.Root(), OmStringCell("group " + std::to_string(g), nullptr, false),
        OmDimensionNode::kNoSubscript, true);
    addLeaves(group, leaves);
  }
}

std::unique_ptr<OmPivotTable> WideTable() {
  const OmStringCell label("Headings", nullptr, false);
  auto table = std::make_unique<OmPivotTable>(label, label, false);
  AddDimension(*table, 10, 10);  // 0: inner rows, 100
  AddDimension(*table, 10, 10);  // 1: outer rows, 100
  AddDimension(*table, 10, 10);  // 2: columns, 100
  AddDimension(*table, 0, 10);   // 3: layers, 10
  table->Rows().push_back(0);
  table->Rows().push_back(1);
  table->Columns().push_back(2);
  table->Layers().push_back(3);
  table->EndTable();
  table->Cell({0, 0, 0, 0}, label);
  return table;
}

void BM_HeadingsEveryLayerEveryLabel(benchmark::State& state) {
  const std::unique_ptr<OmPivotTable> table = WideTable();
  std::size_t labels = 0;
  for (auto _ : state) {
    OmDisplayLayerHeading layers(*table, false);
    while (layers.NextLayer()) {
      OmDisplayColumnHeading columns(layers, false);
      OmDisplayRowHeading rows(layers, false, true);
      for (int c = 0; c < columns.NColumns(); ++c)
        labels += columns.Column(c).size();
      for (int r = 0; r < rows.NRows(); ++r)
        labels += rows.Row(r).size();
    }
  }
  benchmark::DoNotOptimize(labels);
  state.counters["label_stacks"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * 10 * (10000 + 100), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_HeadingsEveryLayerEveryLabel)->Unit(benchmark::kMillisecond);

std::unique_ptr<OmPivotTable> SparseTable() {
  const OmStringCell label("Sparse", nullptr, false);
  auto table = std::make_unique<OmPivotTable>(label, label, false);
  for (int d = 0; d < 4; ++d)
    AddDimension(*table, 0, 178);
  std::mt19937 random(5);
  for (int i = 0; i < 100000; ++i) {
    std::vector<int> index(4);
    for (int& subscript : index)
      subscript = static_cast<int>(random() % 178);
    table->Cell(index, label);
  }
  table->Rows().push_back(0);
  table->Rows().push_back(1);
  table->Columns().push_back(2);
  table->Layers().push_back(3);
  table->EndTable();
  return table;
}

void BM_HeadingsSparseHideEmptyOneLayer(benchmark::State& state) {
  const std::unique_ptr<OmPivotTable> table = SparseTable();
  for (auto _ : state) {
    OmDisplayLayerHeading layers(*table, true);
    layers.NextLayer();
    OmDisplayColumnHeading columns(layers, true);
    OmDisplayRowHeading rows(layers, true, false);
    benchmark::DoNotOptimize(columns.NColumns() + rows.NRows());
  }
}
BENCHMARK(BM_HeadingsSparseHideEmptyOneLayer)->Unit(benchmark::kMillisecond);

}  // namespace
