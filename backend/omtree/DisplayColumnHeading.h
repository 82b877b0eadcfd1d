// OmDisplayColumnHeading is the column heading of one displayed layer of a
// pivot table: the block of label cells above the data cells. Its display
// columns are combinations of the column dimensions' categories (the
// innermost, the first entry of the table's Columns(), changing fastest);
// its heading rows are label levels, the outermost dimension's labels on
// top. With hideEmpty, only the columns that hold a cell in the layer that
// is current in the layer heading when this heading is built are shown.
//
// The three Fill operations (layer, column and row heading) write disjoint
// parts of one cell index; together they give the index of the displayed
// cell, which OmPivotTable::Cell looks up.
//
// Every ConstNode pointer returned points into the layer heading's records
// and stays valid until the layer heading is destroyed; this heading must
// not outlive it. Display columns c lie in [0, NColumns()), heading rows r
// in [0, NRows()), heading positions i in [0, NDimensions()); nothing is
// range-checked. Not copyable. Used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_DISPLAYCOLUMNHEADING_H_
#define OMTREE_BACKEND_OMTREE_DISPLAYCOLUMNHEADING_H_

#include <cstddef>
#include <deque>
#include <vector>

#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/Export.h"

class OmDisplayHeading;

class OMTREE_EXPORT OmDisplayColumnHeading {
 public:
  using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;

  OmDisplayColumnHeading(OmDisplayLayerHeading& layers, bool hideEmpty);
  ~OmDisplayColumnHeading();

  OmDisplayColumnHeading(const OmDisplayColumnHeading&) = delete;
  OmDisplayColumnHeading& operator=(const OmDisplayColumnHeading&) = delete;

  int NColumns() const;
  // The number of heading rows.
  int NRows() const;
  // The heading rows taken by the dimension at heading position i (0 is the
  // outermost, the last entry of the table's Columns()).
  int VisibleHeight(int i) const;
  int NDimensions() const;
  int getDimensionIndex(int i) const;
  // The heading-axis position of each display column, ascending; empty
  // without hideEmpty.
  const std::vector<std::size_t>& getNonEmptyColumns() const;
  // The label stack of display column c, top row first: NRows() entries,
  // null where a cell has no label.
  std::deque<ConstNode*> Column(int c) const;
  // One leaf category per column dimension of display column c, outermost
  // first, hidden ones included.
  std::deque<ConstNode*> ColumnCategories(int c) const;
  // Heading row r across all display columns.
  std::deque<ConstNode*> Row(int r) const;
  void Fill(std::vector<int>& index, int c) const;
  void DimCatNodes(int c, std::vector<ConstNode*>& roots, std::vector<ConstNode*>& leaves) const;
  OmPivotTable& Table();

 private:
  OmDisplayHeading* _grid;
};

#endif  // OMTREE_BACKEND_OMTREE_DISPLAYCOLUMNHEADING_H_
