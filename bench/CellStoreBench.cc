// The cell store, the hot path of the library: set, get, replace, delete and
// full iteration on a dense 1000 x 1000 table and on a sparse table of four
// dimensions (178^4, about 10^9 possible cells) holding 10^5 random cells,
// each beside the same work on a std::map keyed by the index.

#include <benchmark/benchmark.h>

#include <map>
#include <memory>
#include <random>
#include <vector>

#include "backend/omtree/PivotTable.h"

namespace {

using Index = std::vector<int>;
using MapStore = std::map<Index, std::unique_ptr<OmCellText>>;

std::vector<Index> DenseIndexes() {
  std::vector<Index> indexes;
  indexes.reserve(1000 * 1000);
  for (int column = 0; column < 1000; ++column) {
    for (int row = 0; row < 1000; ++row)
      indexes.push_back({row, column});
  }
  return indexes;
}

std::vector<Index> SparseIndexes() {
  std::mt19937 random(42);
  std::vector<Index> indexes;
  indexes.reserve(100000);
  for (int i = 0; i < 100000; ++i) {
    Index index(4);
    for (int& subscript : index)
      subscript = static_cast<int>(random() % 178);
    indexes.push_back(index);
  }
  return indexes;
}

const std::vector<Index>& Indexes(int sparse) {
  static const std::vector<Index> dense = DenseIndexes();
  static const std::vector<Index> scattered = SparseIndexes();
  return sparse ? scattered : dense;
}

// The indexes in an order unrelated to the store's, for lookups.
std::vector<Index> Shuffled(const std::vector<Index>& indexes) {
  std::vector<Index> shuffled = indexes;
  std::shuffle(shuffled.begin(), shuffled.end(), std::mt19937(7));
  return shuffled;
}

std::unique_ptr<OmPivotTable> FilledTable(const std::vector<Index>& indexes) {
  const OmStringCell label("Cells", nullptr, false);
  auto table = std::make_unique<OmPivotTable>(label, label, false);
  for (std::size_t d = 0; d < indexes.front().size(); ++d)
    table->AddDimension(label);
  const OmNumber value(1.5);
  for (const Index& index : indexes)
    table->Cell(index, value);
  return table;
}

MapStore FilledMap(const std::vector<Index>& indexes) {
  MapStore map;
  const OmNumber value(1.5);
  for (const Index& index : indexes)
    map[index].reset(value.Clone(nullptr));
  return map;
}

void BM_TableSet(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(FilledTable(indexes));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

void BM_MapSet(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  for (auto _ : state)
    benchmark::DoNotOptimize(FilledMap(indexes));
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

void BM_TableGet(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  const std::unique_ptr<OmPivotTable> table = FilledTable(indexes);
  const std::vector<Index> lookups = Shuffled(indexes);
  for (auto _ : state) {
    for (const Index& index : lookups)
      benchmark::DoNotOptimize(table->Cell(index));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lookups.size()));
}

void BM_MapGet(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  const MapStore map = FilledMap(indexes);
  const std::vector<Index> lookups = Shuffled(indexes);
  for (auto _ : state) {
    for (const Index& index : lookups)
      benchmark::DoNotOptimize(map.find(index));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(lookups.size()));
}

void BM_TableReplace(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  const std::unique_ptr<OmPivotTable> table = FilledTable(indexes);
  const OmNumber value(2.5);
  for (auto _ : state) {
    for (const Index& index : indexes)
      table->Cell(index, value);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

void BM_MapReplace(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  MapStore map = FilledMap(indexes);
  const OmNumber value(2.5);
  for (auto _ : state) {
    for (const Index& index : indexes)
      map[index].reset(value.Clone(nullptr));
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

void BM_TableDelete(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    std::unique_ptr<OmPivotTable> table = FilledTable(indexes);
    state.ResumeTiming();
    for (const Index& index : indexes)
      table->deleteCell(index);
    state.PauseTiming();
    table.reset();
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

void BM_MapDelete(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  for (auto _ : state) {
    state.PauseTiming();
    MapStore map = FilledMap(indexes);
    state.ResumeTiming();
    for (const Index& index : indexes)
      map.erase(index);
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

void BM_TableIterate(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  const std::unique_ptr<const OmPivotTable> table = FilledTable(indexes);
  for (auto _ : state) {
    for (OmPivotTable::ConstIterator it = table->FirstCell(); it.Cell() != nullptr; ++it) {
      benchmark::DoNotOptimize(it.Cell());
    }
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

void BM_MapIterate(benchmark::State& state) {
  const std::vector<Index>& indexes = Indexes(static_cast<int>(state.range(0)));
  const MapStore map = FilledMap(indexes);
  for (auto _ : state) {
    for (const auto& entry : map)
      benchmark::DoNotOptimize(entry.second.get());
  }
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(indexes.size()));
}

// Argument 0: the dense table; 1: the sparse one.
#define OMTREE_CELL_BENCHMARK(name) \
  BENCHMARK(name)->ArgName("sparse")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond)

OMTREE_CELL_BENCHMARK(BM_TableSet);
OMTREE_CELL_BENCHMARK(BM_MapSet);
OMTREE_CELL_BENCHMARK(BM_TableGet);
OMTREE_CELL_BENCHMARK(BM_MapGet);
OMTREE_CELL_BENCHMARK(BM_TableReplace);
OMTREE_CELL_BENCHMARK(BM_MapReplace);
OMTREE_CELL_BENCHMARK(BM_TableDelete);
OMTREE_CELL_BENCHMARK(BM_MapDelete);
OMTREE_CELL_BENCHMARK(BM_TableIterate);
OMTREE_CELL_BENCHMARK(BM_MapIterate);

}  // namespace
