// Category trees: finding or adding categories by label under one group,
// and looking labels up.

#include <benchmark/benchmark.h>

#include <memory>
#include <string>
#include <vector>

#include "backend/omtree/Dimension.h"

// Makes dimensions without a pivot table, as the unit tests do.
class OmDimensionTest {
 public:
  static std::unique_ptr<OmDimension> Make(OmMemoryRegion* region) {
    const OmDimensionNode root(OmStringCell("Category", nullptr, false),
                               OmDimensionNode::kNoSubscript, true, nullptr);
    return std::unique_ptr<OmDimension>(new OmDimension(root, region));
  }
};

namespace {

// Labels in an order unrelated to their sorted order.
std::vector<OmStringCell> Labels(int count) {
  std::vector<OmStringCell> labels;
  labels.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    const unsigned scrambled = static_cast<unsigned>(i) * 2654435761u;
    labels.emplace_back("label " + std::to_string(scrambled), nullptr, false);
  }
  return labels;
}

// Adds every label with Child, then finds every one again with Child.
void BM_DimensionChildFindOrAdd(benchmark::State& state) {
  const int count = static_cast<int>(state.range(0));
  const std::vector<OmStringCell> labels = Labels(count);
  for (auto _ : state) {
    OmMemoryRegion region(false);
    std::unique_ptr<OmDimension> dimension = OmDimensionTest::Make(&region);
    OmDimension::Node root = dimension->Root();
    for (int i = 0; i < count; ++i)
      dimension->Child(root, labels[static_cast<std::size_t>(i)], i, false);
    for (const OmStringCell& label : labels)
      benchmark::DoNotOptimize(dimension->Child(root, label, 0, false));
    benchmark::DoNotOptimize(dimension->NumCategories());
  }
  state.SetItemsProcessed(state.iterations() * 2 * count);
}
BENCHMARK(BM_DimensionChildFindOrAdd)->Arg(1000)->Arg(100000)->Unit(benchmark::kMillisecond);

// FindChild hits and misses among 100,000 categories.
void BM_DimensionFindChild(benchmark::State& state) {
  const int count = 100000;
  const std::vector<OmStringCell> labels = Labels(count);
  OmMemoryRegion region(false);
  std::unique_ptr<OmDimension> dimension = OmDimensionTest::Make(&region);
  OmDimension::Node root = dimension->Root();
  for (int i = 0; i < count; i += 2)
    dimension->Child(root, labels[static_cast<std::size_t>(i)], i, false);
  std::size_t next = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(OmDimension::FindChild(root, labels[next], false));
    next = (next + 1) % labels.size();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_DimensionFindChild);

}  // namespace
