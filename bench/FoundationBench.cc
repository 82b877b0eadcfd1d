// The foundations: the region allocator against malloc/free on the block
// sizes the library uses; building, amputating and destroying an outline of
// 1,000,000 items; and deep-copying a dimension of 100,000 categories.

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "backend/omtree/omtree.h"

// Makes and copies dimensions without a table, as the unit tests do.
class OmDimensionTest {
 public:
  static std::unique_ptr<OmDimension> Make(OmMemoryRegion* region) {
    const OmDimensionNode root(OmStringCell("Category", nullptr, false),
                               OmDimensionNode::kNoSubscript, true, nullptr);
    return std::unique_ptr<OmDimension>(new OmDimension(root, region));
  }
  static std::unique_ptr<OmDimension> Copy(const OmDimension& other, OmMemoryRegion* region) {
    return std::unique_ptr<OmDimension>(new OmDimension(other, region));
  }
};

namespace {

// Block sizes in the proportions a table's region sees them: text objects,
// their byte vectors, child indexes, cell-store nodes and their slot blocks.
std::vector<std::size_t> LibrarySizes() {
  static const std::size_t kSizes[] = {48, 48, 48, 16,  16,  24,   32,
                                       32, 64, 96, 128, 256, 1424, 8192};
  std::mt19937 random(11);
  std::vector<std::size_t> sizes(20000);
  for (std::size_t& size : sizes)
    size = kSizes[random() % (sizeof kSizes / sizeof kSizes[0])];
  return sizes;
}

// Allocate every block, release every other one, allocate as many again,
// release everything; five rounds, so that the blocks are reused as a
// table's are, rather than every page touched for the first time.
template <typename Allocate, typename Release>
void Mix(const std::vector<std::size_t>& sizes, Allocate allocate, Release release) {
  std::vector<void*> blocks(sizes.size());
  for (std::size_t i = 0; i < sizes.size(); ++i)
    blocks[i] = allocate(sizes[i]);
  for (std::size_t i = 0; i < sizes.size(); i += 2)
    release(blocks[i]);
  for (std::size_t i = 0; i < sizes.size(); i += 2)
    blocks[i] = allocate(sizes[i]);
  for (void* block : blocks)
    release(block);
}

void BM_AllocatorRegion(benchmark::State& state) {
  const std::vector<std::size_t> sizes = LibrarySizes();
  for (auto _ : state) {
    OmMemoryRegion region(false);
    Mix(
        sizes, [&](std::size_t size) { return region.Allocate(size); },
        [](void* block) { OmMemoryRegion::Release(block); });
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sizes.size()) * 15 / 2);
}
BENCHMARK(BM_AllocatorRegion)->Unit(benchmark::kMillisecond);

void BM_AllocatorMalloc(benchmark::State& state) {
  const std::vector<std::size_t> sizes = LibrarySizes();
  for (auto _ : state) {
    Mix(
        sizes, [](std::size_t size) { return std::malloc(size); },
        [](void* block) { std::free(block); });
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(sizes.size()) * 15 / 2);
}
BENCHMARK(BM_AllocatorMalloc)->Unit(benchmark::kMillisecond);

// An outline of 1,000,000 items in document order: 1,000 procedures of 999
// text blocks each, entered through List() as a producer streams them.
std::unique_ptr<OmOutputTree> BigOutline() {
  auto tree = std::make_unique<OmOutputTree>();
  const OmStringCell text("item", nullptr, false);
  for (int procedure = 0; procedure < 1000; ++procedure) {
    tree->List().emplace_back(1, new OmHeading(text));
    for (int block = 1; block < 1000; ++block) {
      tree->List().emplace_back(2, new OmTextBlock(text, "UTF-8"));
    }
  }
  return tree;
}

void BM_OutlineBuild(benchmark::State& state) {
  for (auto _ : state) {
    auto tree = BigOutline();
    state.PauseTiming();
    tree.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OutlineBuild)->Unit(benchmark::kMillisecond);

void BM_OutlineAmputate(benchmark::State& state) {
  const OmStringCell text("removed", nullptr, false);
  for (auto _ : state) {
    state.PauseTiming();
    auto tree = BigOutline();
    state.ResumeTiming();
    Amputate(tree->Root(), &text, "UTF-8");
    state.PauseTiming();
    tree.reset();
    state.ResumeTiming();
  }
}
BENCHMARK(BM_OutlineAmputate)->Unit(benchmark::kMillisecond);

void BM_OutlineDestroy(benchmark::State& state) {
  for (auto _ : state) {
    state.PauseTiming();
    auto tree = BigOutline();
    state.ResumeTiming();
    tree.reset();
  }
}
BENCHMARK(BM_OutlineDestroy)->Unit(benchmark::kMillisecond);

void BM_DimensionDeepCopy(benchmark::State& state) {
  OmMemoryRegion region(false);
  std::unique_ptr<OmDimension> dimension = OmDimensionTest::Make(&region);
  for (int g = 0; g < 100; ++g) {
    OmDimension::Node group = dimension->AddNewChild(
        dimension->Root(), OmStringCell("group " + std::to_string(g), nullptr, false),
        OmDimensionNode::kNoSubscript, true);
    for (int i = 0; i < 1000; ++i) {
      dimension->AddNewChild(group, OmStringCell("category " + std::to_string(i), nullptr, false),
                             static_cast<std::size_t>(1000 * g + i), false);
    }
  }
  for (auto _ : state) {
    OmMemoryRegion target(false);
    benchmark::DoNotOptimize(OmDimensionTest::Copy(*dimension, &target));
  }
  state.SetItemsProcessed(state.iterations() * 100100);
}
BENCHMARK(BM_DimensionDeepCopy)->Unit(benchmark::kMillisecond);

}  // namespace
