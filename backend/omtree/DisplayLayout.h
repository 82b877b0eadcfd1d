// The display layout shared by the three display headings. Internal to the
// library: OmDisplayLayerHeading builds it, OmDisplayHeading (the grid of the
// column and row headings) reads it, and the tests drive the non-empty
// search directly.
//
// OmDisplayDimension is the layout of one dimension: its displayed
// categories (the leaves reached through groups, hidden ones included) in
// display order, the label path of each leaf (the leaf, its parent, ... up to
// the root), the number of label levels each leaf needs, and the maps between
// display positions and subscripts. Records live in the layer heading's
// arena; their paths are never changed after the build, so the address of a
// path entry stays valid as long as the record lives. The headings hand out
// such addresses.
//
// OmDisplayAxis numbers the category combinations of a list of dimensions:
// position p stands for one leaf display position per listed dimension, the
// last listed dimension changing fastest.
//
// The whole layout is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_DISPLAYLAYOUT_H_
#define OMTREE_BACKEND_OMTREE_DISPLAYLAYOUT_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "backend/omtree/Dimension.h"
#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/PivotTable.h"
#include "backend/omtree/cell/Vector.h"
#include "backend/tables/MultiBase.h"
#include "backend/tables/PuppetVector.h"

using OmConstNode = OmVectorTree<OmDimensionNode>::ConstNode;

// The display layout of one dimension.
struct OmDisplayDimension {
  // The layout of dimension, with its vectors in arena.
  OmDisplayDimension(OmMemoryRegion* arena, const OmDimension& dimension);

  OmDisplayDimension(const OmDisplayDimension&) = delete;
  OmDisplayDimension& operator=(const OmDisplayDimension&) = delete;

  // The leaf path at display position, or null when there is none.
  OmVector<OmConstNode>* LeafPath(std::size_t position) {
    return position < leafPaths.size() ? &leafPaths[position] : nullptr;
  }

  OmMemoryRegion* arena;
  // One path per leaf in display order: the leaf at entry 0, the root last.
  std::deque<OmVector<OmConstNode>> leafPaths;
  // The label levels each leaf needs: the nodes on its path that are not
  // hidden, counted above the topmost group that hides its labels.
  OmVector<unsigned short> labelDepths;
  std::int32_t maxLabelDepth = 0;
  OmVector<int> subscriptOfPosition;
  // -1 where no leaf has the subscript.
  OmVector<int> positionOfSubscript;

 private:
  void AddLeaf(OmConstNode leaf);
};

// An ordered list of dimension numbers and the numbering of their
// combinations. Dimension numbers that name no dimension of the table (the
// fill value -1, say) count as one position and give no digit a meaning.
struct OmDisplayAxis {
  OmDisplayAxis(const PuppetVector<short>& list, const std::vector<int>& sizes);

  // The number of positions: 1 for an empty list, 0 when a listed
  // dimension has no categories.
  std::uint64_t Total() const;

  PuppetVector<short> dimensionList;
  std::vector<int> dimensions;
  MultiBase base;
};

namespace omtree_internal {

using Records = OmVector<OmDisplayDimension*>;

// Whether dimension d (read as unsigned) has a record.
inline bool HasRecord(const Records& records, int d) {
  return static_cast<unsigned>(d) < records.size();
}

// Writes the subscripts that axis position p stands for into index, for the
// axis's dimensions only. Resizes index to the number of records first when
// resize is true.
void FillIndex(std::vector<int>& index, const OmDisplayAxis& axis, std::size_t position,
               const Records& records, bool resize);

// Whether the table stores fewer than one in a hundred of its possible
// cells (rounded to the nearest cell); counts no further than that.
bool IsSparse(const OmPivotTable& table);

// The positions of the axis over target that hold a cell, ascending. Cells
// count when their subscripts in the dimensions in neither target nor other
// equal those of current; their subscripts in other's dimensions may be
// anything. sparse chooses one walk over the stored cells instead of looking
// up every combination; both give the same positions.
std::vector<std::size_t> NonEmptyPositions(const OmPivotTable& table, const Records& records,
                                           const std::vector<int>& current,
                                           const PuppetVector<short>& target,
                                           const PuppetVector<short>& other, bool sparse);

}  // namespace omtree_internal

// The private record of OmDisplayLayerHeading. The arena comes first, so it
// is destroyed last.
struct OmDisplayLayerHeading::Data {
  Data(OmPivotTable& table, bool hideEmpty);
  ~Data();

  // The current layer position: the non-empty layer that the current layer
  // stands for, or the current layer itself; -1 without a layer.
  std::int64_t CurrentPosition() const;

  // The leaf path of layer position i for the current layer, or null.
  OmVector<OmConstNode>* CurrentPath(int i) const;

  // Destroys every dimension record and returns its storage to the arena.
  void DestroyRecords();

  OmMemoryRegion arena{false};
  OmPivotTable& table;
  bool hideEmpty;
  std::vector<int> currentIndex;
  omtree_internal::Records records{&arena, 0};
  PuppetVector<short> layerList{-1};
  std::vector<OmDisplayDimension*> layerRecords;
  std::vector<std::size_t> nonEmptyLayers;
  bool sparse;
  std::size_t layerCount = 0;
  std::size_t currentLayer;
  OmDisplayAxis layerAxis;
};

#endif  // OMTREE_BACKEND_OMTREE_DISPLAYLAYOUT_H_
