// OmDisplayLayerHeading is the first of the three display views over one
// pivot table: the table is shown one layer at a time, a layer being one
// combination of displayed categories of the layer dimensions. The heading
// lays out every dimension of the table once (displayed categories, label
// paths, label depths), numbers the layers (optionally only those that hold
// a cell), keeps the current layer and the current cell index, and answers
// which labels the current layer shows. The column and row headings are built
// over it.
//
// Lifetime and ownership: the heading never changes the table and must not
// outlive it; the table's dimensions must not change while it exists. It
// owns an arena from which all its layout comes; every ConstNode pointer that
// it or a column or row heading built over it returns points into that
// arena and stays valid until this heading is destroyed. Column and row
// headings must not outlive it.
//
// Layer positions i (of getDimensionIndex, VisibleWidth, Nodes, DimCatNodes)
// run over [0, NDimensions()); layer position 0 is the last entry of the
// table's Layers(), whose categories change slowest from layer to layer.
//
// While no layer is selected (after construction, after SwitchLayer(-1), or
// after restoreLayer set a number outside the layers), Nodes returns nothing,
// DimCatNodes leaves its outputs alone and Fill only sizes the index.
//
// Not copyable. Used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_DISPLAYLAYERHEADING_H_
#define OMTREE_BACKEND_OMTREE_DISPLAYLAYERHEADING_H_

#include <deque>
#include <vector>

#include "backend/omtree/Export.h"
#include "backend/omtree/PivotTable.h"

class OMTREE_EXPORT OmDisplayLayerHeading {
 public:
  using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;

  // Lays out table; with hideEmpty, only the layers that hold a cell count.
  OmDisplayLayerHeading(OmPivotTable& table, bool hideEmpty);
  ~OmDisplayLayerHeading();

  OmDisplayLayerHeading(const OmDisplayLayerHeading&) = delete;
  OmDisplayLayerHeading& operator=(const OmDisplayLayerHeading&) = delete;

  // The number of layer dimensions.
  int NDimensions() const;
  // The table's dimension number at layer position i; past the end of the
  // list the list grows with -1 entries.
  int getDimensionIndex(int i) const;
  // The label levels of the dimension at layer position i; 0 when it names
  // no dimension.
  int VisibleWidth(int i) const;
  OmPivotTable& Table();

  // The current layer, -1 when none is selected.
  int getLayer() const;
  // Selects the next layer (layer 0 from none); false after the last.
  bool NextLayer();
  // Selects layer n and fills the current cell index with its subscripts;
  // true when 0 <= n < the layer count. -1 returns to no layer (false);
  // any other n changes nothing.
  bool SwitchLayer(int n);
  // Selects the last layer (no layer when there are none).
  void LastLayer();
  // Sets the current layer number to the table's stored layer location,
  // unchecked, without filling the current cell index; returns it. Changes
  // the heading although it is const.
  int restoreLayer() const;

  // The current cell index: one subscript per table dimension; the layer
  // dimensions' subscripts are those of the last selected layer, the others
  // 0.
  std::vector<int> getCurrentCellIndex();
  // Writes the current layer's subscripts into index, sized to the table's
  // dimension count first; entries of other dimensions keep their values.
  void Fill(std::vector<int>& index);

  // The labels of layer position i in the current layer: root first, a null
  // place for each hidden node, ending just above the first visible group
  // that hides its labels.
  std::deque<ConstNode*> Nodes(int i);
  // For layer position i: root is set to the dimension's root node and leaf
  // to the current layer's category, when its path has more than the root;
  // otherwise both keep what they held.
  void DimCatNodes(int i, ConstNode*& root, ConstNode*& leaf) const;

 private:
  friend class OmDisplayHeading;
  struct Data;

  Data* _my;
};

#endif  // OMTREE_BACKEND_OMTREE_DISPLAYLAYERHEADING_H_
