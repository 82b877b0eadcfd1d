// OmDisplayRowHeading is the row heading of one displayed layer of a pivot
// table: the block of label cells left of the data cells, and the corner
// cells above it. Its display rows are combinations of the row dimensions'
// categories (the innermost, the first entry of the table's Rows(), changing
// fastest); its heading columns are label levels, the outermost dimension's
// labels leftmost. With hideEmpty, only the rows that hold a cell in the
// layer that is current in the layer heading when this heading is built are
// shown.
//
// With namesInCorner, the row dimensions' names move out of the heading:
// each dimension whose root is visible takes one heading column less, and
// the corner texts carry the names. The corner texts hold one entry per
// heading column: the dimensions' names above their blocks when they moved
// there, otherwise the table's corner text followed by nulls. They point at
// the table's texts and are not owned.
//
// Every ConstNode pointer returned points into the layer heading's records
// and stays valid until the layer heading is destroyed; this heading must
// not outlive it. Display rows r lie in [0, NRows()), heading columns c in
// [0, NColumns()), heading positions i in [0, NDimensions()); nothing is
// range-checked. Not copyable. Used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_DISPLAYROWHEADING_H_
#define OMTREE_BACKEND_OMTREE_DISPLAYROWHEADING_H_

#include <cstddef>
#include <deque>
#include <vector>

#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/Export.h"

class OmDisplayHeading;

class OMTREE_EXPORT OmDisplayRowHeading {
 public:
  using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;

  OmDisplayRowHeading(OmDisplayLayerHeading& layers, bool hideEmpty, bool namesInCorner);
  ~OmDisplayRowHeading();

  OmDisplayRowHeading(const OmDisplayRowHeading&) = delete;
  OmDisplayRowHeading& operator=(const OmDisplayRowHeading&) = delete;

  int NRows() const;
  // The number of heading columns.
  int NColumns() const;
  // The heading columns taken by the dimension at heading position i (0 is
  // the outermost, the last entry of the table's Rows()).
  int VisibleWidth(int i) const;
  int NDimensions() const;
  int getDimensionIndex(int i) const;
  // The heading-axis position of each display row, ascending; empty without
  // hideEmpty.
  const std::vector<std::size_t>& getNonEmptyRows() const;
  // The label stack of display row r, leftmost heading column first:
  // NColumns() entries, null where a cell has no label.
  std::deque<ConstNode*> Row(int r) const;
  // One leaf category per row dimension of display row r, outermost first,
  // hidden ones included.
  std::deque<ConstNode*> RowCategories(int r) const;
  // Heading column c down all display rows.
  std::deque<ConstNode*> Column(int c) const;
  std::vector<const OmCellText*> CornerText() const;
  bool DimNamesInCorner() const;
  void Fill(std::vector<int>& index, int r) const;
  void DimCatNodes(int r, std::vector<ConstNode*>& roots, std::vector<ConstNode*>& leaves) const;
  OmPivotTable& Table();

 private:
  OmDisplayHeading* _grid;
};

#endif  // OMTREE_BACKEND_OMTREE_DISPLAYROWHEADING_H_
