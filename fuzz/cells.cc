// Fuzz target for the cell store of OmPivotTable: operation sequences
// (AddDimension up to four dimensions, setting, replacing and null-setting
// cells at random non-negative subscripts up to 300, deleteCell, lookups)
// checked after every step against a std::map keyed in walk order (the last
// subscript most significant). After every step the whole iteration, with
// Iterator and ConstIterator, must list exactly the model's cells in that
// order, and every model cell must be found by Cell(). Cells may carry
// metadata; a replaced cell's metadata carries over to its successor.
//
// The table's store is private to it, so every operation is also applied to
// a store of the same kind driven through the internal interface; after
// every step that store's occupancy data must agree with its slots, and its
// traversal must list the model's cells in order.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "backend/omtree/CellStore.h"
#include "backend/omtree/PivotTable.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

using Index = std::vector<int>;

struct Stored {
  std::string text;
  std::string meta;  // the value of key "m", "" when the cell has no metadata
  bool hasMeta;
};

// Keyed by the index read from the last subscript to the first, so that the
// map's order is the table's walk order.
using Model = std::map<Index, Stored>;

constexpr std::size_t kMaxDimensions = 4;

Index Key(const Index& index) {
  return Index(index.rbegin(), index.rend());
}

Index IndexOfKey(const Index& key) {
  return Index(key.rbegin(), key.rend());
}

void CheckCell(const OmCellText* cell, const Stored& stored) {
  Check(cell != nullptr);
  Check(cell->AsString() == stored.text);
  Check(cell->hasMeta() == stored.hasMeta);
  if (stored.hasMeta) Check(cell->getMeta()->Get("m") == stored.meta);
}

template <typename Iterator>
void CheckWalk(Iterator iterator, const Model& model, std::size_t dimensions) {
  auto expected = model.begin();
  for (; iterator.Cell() != nullptr; ++iterator, ++expected) {
    Check(expected != model.end());
    const Index index = iterator.Index();
    Check(index.size() == dimensions);
    Check(index == IndexOfKey(expected->first));
    CheckCell(iterator.Cell(), expected->second);
  }
  Check(expected == model.end());
}

void CheckAll(OmPivotTable& table, const Model& model) {
  const std::size_t dimensions = table.NDimensions();
  CheckWalk(table.FirstCell(), model, dimensions);
  const OmPivotTable& constant = table;
  CheckWalk(constant.FirstCell(), model, dimensions);
  for (const auto& [key, stored] : model) {
    CheckCell(table.Cell(IndexOfKey(key)), stored);
  }
}

// The cell store of the internal interface, given the table's operations.
class Mirror {
 public:
  Mirror() = default;
  Mirror(const Mirror&) = delete;
  Mirror& operator=(const Mirror&) = delete;
  ~Mirror() { omtree_internal::DestroyStore(_root, _levels); }

  void AddLevel() {
    omtree_internal::AddLevel(_root, &_region);
    ++_levels;
  }

  void Set(const Index& index, const OmCellText* text) {
    omtree_internal::PointerVector* leaf = omtree_internal::ReachLeaf(_root, index, &_region);
    const std::size_t subscript = static_cast<std::size_t>(index[0]);
    delete static_cast<OmCellText*>(leaf->slots()[subscript]);
    leaf->Set(subscript, nullptr);
    if (text != nullptr) leaf->Set(subscript, text->Clone(&_region));
  }

  void Delete(const Index& index) { omtree_internal::DeleteCell(_root, index); }

  void CheckAgainst(const Model& model) const {
    Check(omtree_internal::OccupancyMatchesSlots(_root, _levels));
    omtree_internal::Traversal traversal;
    auto expected = model.begin();
    for (omtree_internal::First(_root, _levels, traversal); traversal.cell != nullptr;
         omtree_internal::Advance(traversal), ++expected) {
      Check(expected != model.end());
      Check(traversal.cell->AsString() == expected->second.text);
      Index index;
      for (const omtree_internal::Traversal::Level& level : traversal.levels)
        index.push_back(static_cast<int>(level.subscript));
      Check(index == IndexOfKey(expected->first));
    }
    Check(expected == model.end());
  }

 private:
  OmMemoryRegion _region{false};
  omtree_internal::PointerVector* _root = nullptr;
  std::size_t _levels = 1;
};

Index RandomIndex(FuzzedDataProvider& provider, std::size_t dimensions) {
  // Mostly a small range, so that cells meet; now and then up to 63, and
  // past the 128 slots whose bits a node keeps inline.
  const int range = provider.ConsumeIntegralInRange<int>(0, 7);
  const int bound = range == 0 ? 300 : range < 3 ? 63 : 3;
  Index index;
  for (std::size_t d = 0; d < dimensions; ++d)
    index.push_back(provider.ConsumeIntegralInRange<int>(0, bound));
  return index;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const OmStringCell label("Table", nullptr, false);
  OmPivotTable table(label, label, false);
  table.AddDimension(OmStringCell("D0", nullptr, false));  // no cells without a dimension
  Model model;
  Mirror mirror;
  int nextValue = 0;

  for (int steps = 0; steps < 300 && provider.remaining_bytes() > 0; ++steps) {
    const std::size_t dimensions = table.NDimensions();
    switch (provider.ConsumeIntegralInRange<int>(0, 7)) {
      case 0: {  // Existing cells move to subscript 0 of the new dimension.
        if (dimensions >= kMaxDimensions) break;
        OmDimension& added =
            table.AddDimension(OmStringCell("D" + std::to_string(dimensions), nullptr, false));
        Check(table.NDimensions() == dimensions + 1);
        Check(&table.Dimension(static_cast<int>(dimensions)) == &added);
        Check(added.Root()->Subscript() == dimensions);
        mirror.AddLevel();
        Model moved;
        for (auto& [key, stored] : model) {
          Index longer{0};
          longer.insert(longer.end(), key.begin(), key.end());
          moved.emplace(longer, stored);
        }
        model = std::move(moved);
        break;
      }
      case 1:
      case 2:
      case 3: {  // Set or replace a cell, now and then with metadata.
        const Index index = RandomIndex(provider, dimensions);
        OmStringCell text("v" + std::to_string(nextValue++), nullptr, false);
        Stored stored{text.AsString(), "", false};
        if (provider.ConsumeIntegralInRange<int>(0, 3) == 0) {
          OmCellMetaData meta;
          stored.meta = "meta" + std::to_string(nextValue);
          meta.Set("m", stored.meta);
          text.setMeta(meta);
          stored.hasMeta = true;
        }
        const auto old = model.find(Key(index));
        if (old != model.end() && old->second.hasMeta) {
          stored.hasMeta = true;
          stored.meta = old->second.meta;
        }
        if (provider.ConsumeBool()) {
          table.Cell(index, text);
        } else {
          table.Cell(index, &text);
        }
        mirror.Set(index, &text);
        model[Key(index)] = stored;
        break;
      }
      case 4: {  // A null text removes the cell and keeps its path.
        const Index index = RandomIndex(provider, dimensions);
        table.Cell(index, nullptr);
        mirror.Set(index, nullptr);
        model.erase(Key(index));
        break;
      }
      case 5: {  // deleteCell removes the cell and prunes its path.
        const Index index = RandomIndex(provider, dimensions);
        table.deleteCell(index);
        mirror.Delete(index);
        model.erase(Key(index));
        break;
      }
      case 6: {  // Lookups, through both overloads.
        const Index index = RandomIndex(provider, dimensions);
        const auto found = model.find(Key(index));
        const OmCellText* cell = table.Cell(index);
        const OmCellText* constCell = static_cast<const OmPivotTable&>(table).Cell(index);
        Check(cell == constCell);
        if (found == model.end()) {
          Check(cell == nullptr);
        } else {
          CheckCell(cell, found->second);
        }
        break;
      }
      case 7: {  // Iterator copies are independent.
        OmPivotTable::Iterator walker = table.FirstCell();
        const int ahead = provider.ConsumeIntegralInRange<int>(0, 3);
        for (int k = 0; k < ahead && walker.Cell() != nullptr; ++k)
          ++walker;
        OmPivotTable::Iterator copy(walker);
        OmPivotTable::Iterator assigned;
        Check(assigned.Cell() == nullptr);
        assigned = walker;
        if (walker.Cell() != nullptr) ++walker;
        Check(copy.Cell() == assigned.Cell());
        if (copy.Cell() != nullptr) Check(copy.Index() == assigned.Index());
        auto expected = model.begin();
        for (int k = 0; k < ahead && expected != model.end(); ++k)
          ++expected;
        if (expected == model.end()) {
          Check(copy.Cell() == nullptr);
        } else {
          Check(copy.Index() == IndexOfKey(expected->first));
        }
        break;
      }
    }
    CheckAll(table, model);
    mirror.CheckAgainst(model);
  }
  return 0;
}
