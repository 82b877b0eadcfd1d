// The cell store, the hot path of the library, beside what a user would pick
// instead: set (clone + stamp), replace, get, delete and full iteration, and
// the memory each stored cell costs. Data sets (the benchmark argument):
//   0: dense, 1000 x 1000, every cell;
//   1: sparse, 4 dimensions of 178 categories (about 10^9 possible cells),
//      10^5 random cells;
//   2: the same with 10^6 random cells.
// Stores: the pivot table; std::map keyed by the index; absl::flat_hash_map
// keyed by the index; and, for the dense set only, a plain vector of text
// pointers indexed directly, the practical limit.

#include <absl/container/flat_hash_map.h>
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <vector>

#include "backend/omtree/PivotTable.h"

namespace {

using Index = std::vector<int>;

std::vector<Index> MakeIndexes(int dataSet) {
  std::vector<Index> indexes;
  if (dataSet == 0) {
    indexes.reserve(1000 * 1000);
    for (int column = 0; column < 1000; ++column) {
      for (int row = 0; row < 1000; ++row)
        indexes.push_back({row, column});
    }
    return indexes;
  }
  const int count = dataSet == 1 ? 100000 : 1000000;
  std::mt19937 random(42);
  indexes.reserve(static_cast<std::size_t>(count));
  for (int i = 0; i < count; ++i) {
    Index index(4);
    for (int& subscript : index)
      subscript = static_cast<int>(random() % 178);
    indexes.push_back(index);
  }
  std::sort(indexes.begin(), indexes.end());
  indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
  std::shuffle(indexes.begin(), indexes.end(), std::mt19937(9));
  return indexes;
}

const std::vector<Index>& Indexes(int dataSet) {
  static std::vector<Index> sets[3];
  if (sets[dataSet].empty()) sets[dataSet] = MakeIndexes(dataSet);
  return sets[dataSet];
}

// The indexes in another order, for lookups.
const std::vector<Index>& Lookups(int dataSet) {
  static std::vector<Index> sets[3];
  if (sets[dataSet].empty()) {
    sets[dataSet] = Indexes(dataSet);
    std::shuffle(sets[dataSet].begin(), sets[dataSet].end(), std::mt19937(7));
  }
  return sets[dataSet];
}

// The stores, behind one small interface.

class TableStore {
 public:
  // The table clones its texts into its own region.
  static constexpr bool kTextsInRegion = true;

  explicit TableStore(int dataSet) : _table(Label(), Label(), false) {
    for (int d = 0; d < (dataSet == 0 ? 2 : 4); ++d)
      _table.AddDimension(Label());
  }
  void Set(const Index& index, const OmCellText& text) { _table.Cell(index, text); }
  const OmCellText* Get(const Index& index) const { return _table.Cell(index); }
  void Delete(const Index& index) { _table.deleteCell(index); }
  template <typename Visit>
  void Iterate(Visit visit) const {
    for (OmPivotTable::ConstIterator it = _table.FirstCell(); it.Cell() != nullptr; ++it) {
      visit(it.Cell());
    }
  }

 private:
  static OmStringCell Label() { return OmStringCell("cells", nullptr, false); }
  OmPivotTable _table;
};

// A store keyed by the whole index: std::map or absl::flat_hash_map.
template <typename Map>
class KeyedStore {
 public:
  static constexpr bool kTextsInRegion = false;

  explicit KeyedStore(int) {}
  void Set(const Index& index, const OmCellText& text) { _cells[index].reset(text.Clone(nullptr)); }
  const OmCellText* Get(const Index& index) const {
    const auto found = _cells.find(index);
    return found != _cells.end() ? found->second.get() : nullptr;
  }
  void Delete(const Index& index) { _cells.erase(index); }
  template <typename Visit>
  void Iterate(Visit visit) const {
    for (const auto& cell : _cells)
      visit(cell.second.get());
  }

 private:
  Map _cells;
};

using MapStore = KeyedStore<std::map<Index, std::unique_ptr<OmCellText>>>;
using HashStore = KeyedStore<absl::flat_hash_map<Index, std::unique_ptr<OmCellText>>>;

// Dense data only: row + 1000 * column.
class VectorStore {
 public:
  static constexpr bool kTextsInRegion = false;

  explicit VectorStore(int) : _cells(1000 * 1000) {}
  void Set(const Index& index, const OmCellText& text) {
    _cells[Slot(index)].reset(text.Clone(nullptr));
  }
  const OmCellText* Get(const Index& index) const { return _cells[Slot(index)].get(); }
  void Delete(const Index& index) { _cells[Slot(index)].reset(); }
  template <typename Visit>
  void Iterate(Visit visit) const {
    for (const auto& cell : _cells) {
      if (cell != nullptr) visit(cell.get());
    }
  }

 private:
  static std::size_t Slot(const Index& index) {
    return static_cast<std::size_t>(index[0]) + 1000 * static_cast<std::size_t>(index[1]);
  }
  std::vector<std::unique_ptr<OmCellText>> _cells;
};

const OmNumber& Value() {
  static const OmNumber value(1.5);
  return value;
}

template <typename Store>
std::unique_ptr<Store> Filled(int dataSet) {
  auto store = std::make_unique<Store>(dataSet);
  for (const Index& index : Indexes(dataSet))
    store->Set(index, Value());
  return store;
}

// Makes the data set before the timed loop.
int DataSet(const benchmark::State& state) {
  const int dataSet = static_cast<int>(state.range(0));
  Lookups(dataSet);
  return dataSet;
}

void Items(benchmark::State& state, int dataSet) {
  state.SetItemsProcessed(state.iterations() * static_cast<std::int64_t>(Indexes(dataSet).size()));
}

template <typename Store>
void BM_CellSet(benchmark::State& state) {
  const int dataSet = DataSet(state);
  for (auto _ : state) {
    auto store = Filled<Store>(dataSet);
    state.PauseTiming();
    store.reset();
    state.ResumeTiming();
  }
  Items(state, dataSet);
}

template <typename Store>
void BM_CellReplace(benchmark::State& state) {
  const int dataSet = DataSet(state);
  auto store = Filled<Store>(dataSet);
  const OmNumber other(2.5);
  for (auto _ : state) {
    for (const Index& index : Indexes(dataSet))
      store->Set(index, other);
  }
  Items(state, dataSet);
}

template <typename Store>
void BM_CellGet(benchmark::State& state) {
  const int dataSet = DataSet(state);
  const auto store = Filled<Store>(dataSet);
  for (auto _ : state) {
    for (const Index& index : Lookups(dataSet))
      benchmark::DoNotOptimize(store->Get(index));
  }
  Items(state, dataSet);
}

template <typename Store>
void BM_CellDelete(benchmark::State& state) {
  const int dataSet = DataSet(state);
  for (auto _ : state) {
    state.PauseTiming();
    auto store = Filled<Store>(dataSet);
    state.ResumeTiming();
    for (const Index& index : Lookups(dataSet))
      store->Delete(index);
    state.PauseTiming();
    store.reset();
    state.ResumeTiming();
  }
  Items(state, dataSet);
}

template <typename Store>
void BM_CellIterate(benchmark::State& state) {
  const int dataSet = DataSet(state);
  const auto store = Filled<Store>(dataSet);
  for (auto _ : state) {
    store->Iterate([](const OmCellText* cell) { benchmark::DoNotOptimize(cell); });
  }
  Items(state, dataSet);
}

// Heap bytes now in use, chunks cached by destroyed regions included.
std::size_t HeapInUse() {
  OmMemoryRegion::ReleaseCachedChunks();
  malloc_trim(0);
  return mallinfo2().uordblks;
}

// Heap bytes per text of the data set, the texts cloned where Store keeps
// them (a region or the heap) and held by an array reserved beforehand.
template <typename Store>
double TextBytesPerCell(int dataSet) {
  const std::size_t count = Indexes(dataSet).size();
  std::vector<OmCellText*> texts;
  texts.reserve(count);
  std::unique_ptr<OmMemoryRegion> region;
  const std::size_t before = HeapInUse();
  if (Store::kTextsInRegion) region = std::make_unique<OmMemoryRegion>(false);
  for (std::size_t i = 0; i < count; ++i)
    texts.push_back(Value().Clone(region.get()));
  const std::size_t after = mallinfo2().uordblks;
  for (OmCellText* text : texts)
    delete text;
  return static_cast<double>(after - before) / static_cast<double>(count);
}

// Heap bytes per stored cell that the store adds to the texts themselves:
// the whole store's bytes less those of the same texts kept the same way.
template <typename Store>
void BM_CellMemory(benchmark::State& state) {
  const int dataSet = DataSet(state);
  const double cells = static_cast<double>(Indexes(dataSet).size());
  double total = 0;
  for (auto _ : state) {
    const std::size_t before = HeapInUse();
    auto store = Filled<Store>(dataSet);
    total = static_cast<double>(mallinfo2().uordblks - before) / cells;
  }
  const double texts = TextBytesPerCell<Store>(dataSet);
  state.counters["bytes_per_cell"] = total - texts;
  state.counters["text_bytes_per_cell"] = texts;
}

#define OMTREE_CELL_BENCHMARKS(Store, ...)          \
  BENCHMARK_TEMPLATE(BM_CellSet, Store)             \
      ->ArgName("set")                              \
      ->__VA_ARGS__->Unit(benchmark::kMillisecond); \
  BENCHMARK_TEMPLATE(BM_CellReplace, Store)         \
      ->ArgName("set")                              \
      ->__VA_ARGS__->Unit(benchmark::kMillisecond); \
  BENCHMARK_TEMPLATE(BM_CellGet, Store)             \
      ->ArgName("set")                              \
      ->__VA_ARGS__->Unit(benchmark::kMillisecond); \
  BENCHMARK_TEMPLATE(BM_CellDelete, Store)          \
      ->ArgName("set")                              \
      ->__VA_ARGS__->Unit(benchmark::kMillisecond); \
  BENCHMARK_TEMPLATE(BM_CellIterate, Store)         \
      ->ArgName("set")                              \
      ->__VA_ARGS__->Unit(benchmark::kMillisecond); \
  BENCHMARK_TEMPLATE(BM_CellMemory, Store)->ArgName("set")->__VA_ARGS__->Iterations(1)

OMTREE_CELL_BENCHMARKS(TableStore, DenseRange(0, 2));
OMTREE_CELL_BENCHMARKS(MapStore, DenseRange(0, 2));
OMTREE_CELL_BENCHMARKS(HashStore, DenseRange(0, 2));
OMTREE_CELL_BENCHMARKS(VectorStore, Arg(0));

}  // namespace
