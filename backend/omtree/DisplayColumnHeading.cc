#include "backend/omtree/DisplayColumnHeading.h"

#include "backend/omtree/DisplayHeading.h"

OmDisplayColumnHeading::OmDisplayColumnHeading(OmDisplayLayerHeading& layers, bool hideEmpty)
    : _grid(new OmDisplayHeading(layers, layers.Table().Columns(), layers.Table().Rows(), hideEmpty,
                                 false, false)) {}

OmDisplayColumnHeading::~OmDisplayColumnHeading() {
  delete _grid;
}

int OmDisplayColumnHeading::NColumns() const {
  return static_cast<int>(_grid->Count());
}
int OmDisplayColumnHeading::NRows() const {
  return static_cast<int>(_grid->TotalHeight());
}
int OmDisplayColumnHeading::VisibleHeight(int i) const {
  return _grid->VisibleHeight(i);
}
int OmDisplayColumnHeading::NDimensions() const {
  return _grid->NDimensions();
}
int OmDisplayColumnHeading::getDimensionIndex(int i) const {
  return _grid->DimensionIndex(i);
}

const std::vector<std::size_t>& OmDisplayColumnHeading::getNonEmptyColumns() const {
  return _grid->NonEmpty();
}

std::deque<OmDisplayColumnHeading::ConstNode*> OmDisplayColumnHeading::Column(int c) const {
  return _grid->LabelStack(static_cast<std::size_t>(c));
}

std::deque<OmDisplayColumnHeading::ConstNode*> OmDisplayColumnHeading::ColumnCategories(
    int c) const {
  return _grid->LeafStack(static_cast<std::size_t>(c));
}

std::deque<OmDisplayColumnHeading::ConstNode*> OmDisplayColumnHeading::Row(int r) const {
  return _grid->LevelSlice(static_cast<std::size_t>(r));
}

void OmDisplayColumnHeading::Fill(std::vector<int>& index, int c) const {
  _grid->Fill(index, static_cast<std::size_t>(c));
}

void OmDisplayColumnHeading::DimCatNodes(int c, std::vector<ConstNode*>& roots,
                                         std::vector<ConstNode*>& leaves) const {
  _grid->DimCatNodes(static_cast<std::size_t>(c), roots, leaves);
}

OmPivotTable& OmDisplayColumnHeading::Table() {
  return _grid->Table();
}
