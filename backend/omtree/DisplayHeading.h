// OmDisplayHeading is the layout shared by the column heading and the row
// heading of one displayed layer: one grid computed along a list of
// dimensions (the table's Columns() or Rows()) and across the other. It
// numbers the display positions (columns of a column heading, rows of a row
// heading), decides how many label levels each heading dimension takes, and
// gives, per display position, the stack of category nodes whose labels
// stand there, outermost dimension first.
//
// Heading position 0 is the last entry of the table's list, the outermost
// dimension; the innermost dimension changes fastest from one display
// position to the next. With hideEmpty, the display positions are only those
// that hold a cell in the layer that was current in the layer heading when
// the grid was built; the grid never looks at the layer heading's current
// layer again. With namesInCorner, each dimension's root label moves out of
// the heading (to the corner texts of a row heading).
//
// Every result points into the layer heading's records. The grid must not
// outlive its layer heading. Queries make no range checks: display positions
// lie in [0, Count()), label levels in [0, TotalHeight()), heading positions
// in [0, NDimensions()). Internal to the library; the exported faces are
// OmDisplayColumnHeading and OmDisplayRowHeading. Used from one thread at a
// time.

#ifndef OMTREE_BACKEND_OMTREE_DISPLAYHEADING_H_
#define OMTREE_BACKEND_OMTREE_DISPLAYHEADING_H_

#include <cstddef>
#include <cstdint>
#include <deque>
#include <vector>

#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/DisplayLayout.h"

class OmDisplayHeading {
 public:
  using ConstNode = OmConstNode;
  using Stack = std::deque<ConstNode*>;

  // along and across are the table's lists; forRows adds the corner texts.
  OmDisplayHeading(OmDisplayLayerHeading& layers, const PuppetVector<short>& along,
                   const PuppetVector<short>& across, bool hideEmpty, bool namesInCorner,
                   bool forRows);

  OmDisplayHeading(const OmDisplayHeading&) = delete;
  OmDisplayHeading& operator=(const OmDisplayHeading&) = delete;

  std::size_t Count() const { return _count; }
  std::uint32_t TotalHeight() const { return _totalHeight; }
  int VisibleHeight(int k) const { return _visibleHeights[static_cast<std::size_t>(k)]; }
  int NDimensions() const { return static_cast<int>(_dimensions.size()); }
  int DimensionIndex(int k) const { return _dimensions[static_cast<std::size_t>(k)]; }
  const std::vector<std::size_t>& NonEmpty() const { return _nonEmpty; }
  bool NamesInCorner() const { return _namesInCorner; }
  const std::vector<const OmCellText*>& CornerTexts() const { return _cornerTexts; }
  OmPivotTable& Table() const { return _table; }

  // The label cells of display position j over all levels.
  Stack LabelStack(std::size_t j) const;
  // The leaf category of each heading dimension at display position j.
  Stack LeafStack(std::size_t j) const;
  // Label level r across every display position.
  Stack LevelSlice(std::size_t r) const;
  // Writes the heading dimensions' subscripts of display position j into
  // index, sized to the table's dimension count first.
  void Fill(std::vector<int>& index, std::size_t j) const;
  // Appends, per heading dimension whose leaf path at display position j is
  // more than its root, the root to roots and the leaf to leaves.
  void DimCatNodes(std::size_t j, std::vector<ConstNode*>& roots,
                   std::vector<ConstNode*>& leaves) const;

 private:
  const omtree_internal::Records& Records() const { return _layers._my->records; }
  std::size_t AxisPosition(std::size_t j) const;
  // The leaf path of each valid heading dimension at an axis position
  // (null for a dimension without that leaf).
  std::vector<OmVector<ConstNode>*> LeafPaths(std::size_t axisPosition) const;
  // The labels of one heading dimension for path, brought to height
  // entries.
  void AppendLabels(OmVector<ConstNode>* path, int height, Stack& stack) const;
  void ComputeVisibleHeights();
  void ComputeCornerTexts();

  // Fixed at construction.
  OmDisplayLayerHeading& _layers;
  OmPivotTable& _table;
  bool _hideEmpty;
  bool _namesInCorner;
  PuppetVector<short> _dimensions{-1};
  std::vector<const OmCellText*> _cornerTexts;
  std::vector<std::size_t> _nonEmpty;
  OmDisplayAxis _axis;
  std::vector<unsigned short> _visibleHeights;
  std::size_t _count;
  std::uint32_t _totalHeight = 0;
};

#endif  // OMTREE_BACKEND_OMTREE_DISPLAYHEADING_H_
