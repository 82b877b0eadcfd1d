#include "backend/omtree/DisplayLayout.h"

#include <algorithm>
#include <limits>
#include <set>

using omtree_internal::HasRecord;
using omtree_internal::Records;

namespace {

// a * b, or the largest value when that overflows.
std::uint64_t SaturatingProduct(std::uint64_t a, std::uint64_t b) {
  if (a != 0 && b > std::numeric_limits<std::uint64_t>::max() / a) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return a * b;
}

// The digits of position on axis, one per listed dimension.
std::vector<unsigned> DigitsOf(const OmDisplayAxis& axis, std::size_t position) {
  return axis.base.Decompose(position);
}

}  // namespace

OmDisplayDimension::OmDisplayDimension(OmMemoryRegion* region, const OmDimension& dimension)
    : arena(region), labelDepths(region), subscriptOfPosition(region), positionOfSubscript(region) {
  const int categories = dimension.NumCategories();
  positionOfSubscript.resize(static_cast<std::size_t>(std::max(categories, 0)), -1);
  subscriptOfPosition.reserve(static_cast<std::size_t>(std::max(categories, 0)));
  if (categories == 0) return;
  // Depth first from the root: groups are entered, every other node is a
  // displayed category whose children are not visited.
  const OmConstNode root = dimension.Root();
  if (!root->IsGroup()) {
    AddLeaf(root);
    return;
  }
  OmDimension::Tree::WalkBelow(
      root, [](const OmConstNode& node) { return node->IsGroup(); },
      [this](const OmConstNode& node) {
        if (!node->IsGroup()) AddLeaf(node);
      });
}

void OmDisplayDimension::AddLeaf(OmConstNode leaf) {
  leafPaths.emplace_back(arena, leaf.Level() + 1);
  OmVector<OmConstNode>& path = leafPaths.back();
  int depth = 0;
  for (OmConstNode node = leaf;; node = node.Parent()) {
    path.push_back(node);
    if (!node->Hide()) ++depth;
    if (node->IsGroup() && node->HideLabels()) depth = 0;
    if (node.IsRoot()) break;
  }
  maxLabelDepth = std::max(maxLabelDepth, depth);
  const int position = static_cast<int>(subscriptOfPosition.size());
  const int subscript = static_cast<int>(leaf->Subscript());
  subscriptOfPosition.push_back(subscript);
  if (subscript >= 0) {
    while (subscript >= static_cast<int>(positionOfSubscript.size())) {
      positionOfSubscript.push_back(-1);
    }
    positionOfSubscript[static_cast<std::size_t>(subscript)] = position;
  }
  labelDepths.push_back(static_cast<unsigned short>(depth));
}

OmDisplayAxis::OmDisplayAxis(const PuppetVector<short>& list, const std::vector<int>& sizes)
    : dimensionList(list), dimensions(list.begin(), list.end()), base([&] {
        std::vector<unsigned> bases;
        bases.reserve(list.size());
        for (short d : list) {
          const bool known = static_cast<unsigned short>(d) < sizes.size() && d >= 0;
          bases.push_back(
              known ? static_cast<unsigned>(std::max(sizes[static_cast<std::size_t>(d)], 0)) : 1u);
        }
        return bases;
      }()) {}

std::uint64_t OmDisplayAxis::Total() const {
  std::uint64_t total = 1;
  for (unsigned radix : base.Bases())
    total = SaturatingProduct(total, radix);
  return total;
}

namespace omtree_internal {

void FillIndex(std::vector<int>& index, const OmDisplayAxis& axis, std::size_t position,
               const Records& records, bool resize) {
  if (resize) index.resize(records.size(), 0);
  const std::vector<unsigned> digits = DigitsOf(axis, position);
  for (std::size_t k = 0; k < axis.dimensions.size(); ++k) {
    const int d = axis.dimensions[k];
    if (!HasRecord(records, d)) continue;
    const OmVector<int>& subscripts = records[static_cast<std::size_t>(d)]->subscriptOfPosition;
    if (digits[k] < subscripts.size() && static_cast<std::size_t>(d) < index.size()) {
      index[static_cast<std::size_t>(d)] = subscripts[digits[k]];
    }
  }
}

bool IsSparse(const OmPivotTable& table) {
  std::uint64_t total = 1;
  for (int size : table.SizeVector()) {
    total = SaturatingProduct(total, static_cast<std::uint64_t>(std::max(size, 0)));
  }
  const std::uint64_t threshold =
      total > std::numeric_limits<std::uint64_t>::max() - 50 ? total / 100 : (total + 50) / 100;
  std::uint64_t count = 0;
  for (OmPivotTable::ConstIterator it = table.FirstCell();
       it.Cell() != nullptr && count < threshold; ++it) {
    ++count;
  }
  return count < threshold;
}

namespace {

// Whether each table dimension is in neither list, so that a cell must
// match the current index there.
std::vector<bool> HeldDimensions(std::size_t dimensions, const PuppetVector<short>& target,
                                 const PuppetVector<short>& other) {
  std::vector<bool> held(dimensions, true);
  for (const PuppetVector<short>* list : {&target, &other}) {
    for (short d : *list) {
      if (d >= 0 && static_cast<std::size_t>(d) < dimensions)
        held[static_cast<std::size_t>(d)] = false;
    }
  }
  return held;
}

std::vector<std::size_t> DenseSearch(const OmPivotTable& table, const Records& records,
                                     const std::vector<int>& current, const OmDisplayAxis& target,
                                     const OmDisplayAxis& other) {
  std::vector<std::size_t> positions;
  std::vector<int> index = current;
  const std::uint64_t otherTotal = other.Total();
  for (std::uint64_t p = 0; p < target.Total(); ++p) {
    FillIndex(index, target, static_cast<std::size_t>(p), records, false);
    for (std::uint64_t q = 0; q < otherTotal; ++q) {
      const std::vector<unsigned> digits = DigitsOf(other, static_cast<std::size_t>(q));
      for (std::size_t k = 0; k < other.dimensions.size(); ++k) {
        const int d = other.dimensions[k];
        if (HasRecord(records, d)) index[static_cast<std::size_t>(d)] = static_cast<int>(digits[k]);
      }
      if (table.Cell(index) != nullptr) {
        positions.push_back(static_cast<std::size_t>(p));
        break;
      }
    }
  }
  return positions;
}

std::vector<std::size_t> SparseSearch(const OmPivotTable& table, const Records& records,
                                      const std::vector<int>& current, const OmDisplayAxis& target,
                                      const std::vector<bool>& held) {
  std::set<std::size_t> found;
  std::vector<unsigned> digits(target.dimensions.size(), 0);
  for (OmPivotTable::ConstIterator it = table.FirstCell(); it.Cell() != nullptr; ++it) {
    const std::vector<int> index = it.Index();
    bool matches = true;
    for (std::size_t d = 0; d < held.size() && matches; ++d) {
      matches = !held[d] || index[d] == current[d];
    }
    // The digit of each target dimension is the display position of the
    // cell's category there; a subscript without a category is displayed
    // nowhere.
    for (std::size_t k = 0; k < target.dimensions.size() && matches; ++k) {
      const int d = target.dimensions[k];
      digits[k] = 0;
      if (!HasRecord(records, d)) continue;
      const OmVector<int>& positions = records[static_cast<std::size_t>(d)]->positionOfSubscript;
      const int subscript = index[static_cast<std::size_t>(d)];
      const int position = static_cast<std::size_t>(subscript) < positions.size()
                               ? positions[static_cast<std::size_t>(subscript)]
                               : -1;
      matches = position >= 0;
      digits[k] = static_cast<unsigned>(position);
    }
    if (matches) found.insert(digits.empty() ? 0 : target.base.Compose(digits));
  }
  return std::vector<std::size_t>(found.begin(), found.end());
}

}  // namespace

std::vector<std::size_t> NonEmptyPositions(const OmPivotTable& table, const Records& records,
                                           const std::vector<int>& current,
                                           const PuppetVector<short>& target,
                                           const PuppetVector<short>& other, bool sparse) {
  const std::vector<int> sizes = table.SizeVector();
  const OmDisplayAxis targetAxis(target, sizes);
  if (sparse) {
    return SparseSearch(table, records, current, targetAxis,
                        HeldDimensions(current.size(), target, other));
  }
  return DenseSearch(table, records, current, targetAxis, OmDisplayAxis(other, sizes));
}

}  // namespace omtree_internal

OmDisplayLayerHeading::Data::Data(OmPivotTable& pivotTable, bool hide)
    : table(pivotTable),
      hideEmpty(hide),
      currentIndex(pivotTable.NDimensions(), 0),
      sparse(omtree_internal::IsSparse(pivotTable)),
      currentLayer(static_cast<std::size_t>(-1)),
      layerAxis([&] {
        PuppetVector<short> reversed = pivotTable.Layers();
        std::reverse(reversed.begin(), reversed.end());
        return OmDisplayAxis(reversed, pivotTable.SizeVector());
      }()) {
  layerList = layerAxis.dimensionList;
  // A half-built Data is not destroyed, so a failure here destroys the
  // records made so far before it goes on.
  try {
    records.reserve(pivotTable.NDimensions());
    for (std::size_t d = 0; d < pivotTable.NDimensions(); ++d) {
      void* block = arena.Allocate(sizeof(OmDisplayDimension));
      try {
        records.push_back(
            new (block) OmDisplayDimension(&arena, pivotTable.Dimension(static_cast<int>(d))));
      } catch (...) {
        OmMemoryRegion::Release(block);
        throw;
      }
    }
    for (short d : layerList) {
      if (HasRecord(records, d)) layerRecords.push_back(records[static_cast<std::size_t>(d)]);
    }
    if (hideEmpty) {
      PuppetVector<short> others = pivotTable.Columns();
      others.insert(others.end(), pivotTable.Rows().begin(), pivotTable.Rows().end());
      nonEmptyLayers = omtree_internal::NonEmptyPositions(pivotTable, records, currentIndex,
                                                          layerList, others, sparse);
      layerCount = nonEmptyLayers.size();
    } else {
      layerCount = static_cast<std::size_t>(layerAxis.Total());
    }
  } catch (...) {
    DestroyRecords();
    throw;
  }
}

void OmDisplayLayerHeading::Data::DestroyRecords() {
  for (OmDisplayDimension* record : records) {
    record->~OmDisplayDimension();
    OmMemoryRegion::Release(record);
  }
  records.erase(records.begin(), records.end());
}

OmDisplayLayerHeading::Data::~Data() {
  arena.WorkingRelease(false);
  DestroyRecords();
}

std::int64_t OmDisplayLayerHeading::Data::CurrentPosition() const {
  const auto layer = static_cast<std::int64_t>(static_cast<std::int32_t>(currentLayer));
  if (layer < 0) return -1;
  if (!hideEmpty) return layer;
  return static_cast<std::size_t>(layer) < nonEmptyLayers.size()
             ? static_cast<std::int64_t>(nonEmptyLayers[static_cast<std::size_t>(layer)])
             : -1;
}

OmVector<OmConstNode>* OmDisplayLayerHeading::Data::CurrentPath(int i) const {
  const std::int64_t position = CurrentPosition();
  if (position < 0 || static_cast<std::uint64_t>(position) >= layerAxis.Total()) return nullptr;
  if (static_cast<std::size_t>(i) >= layerRecords.size()) return nullptr;
  const std::vector<unsigned> digits = DigitsOf(layerAxis, static_cast<std::size_t>(position));
  return layerRecords[static_cast<std::size_t>(i)]->LeafPath(digits[static_cast<std::size_t>(i)]);
}
