#include "backend/omtree/DisplayRowHeading.h"

#include "backend/omtree/DisplayHeading.h"

OmDisplayRowHeading::OmDisplayRowHeading(OmDisplayLayerHeading& layers, bool hideEmpty,
                                         bool namesInCorner)
    : _grid(new OmDisplayHeading(layers, layers.Table().Rows(), layers.Table().Columns(), hideEmpty,
                                 namesInCorner, true)) {}

OmDisplayRowHeading::~OmDisplayRowHeading() {
  delete _grid;
}

int OmDisplayRowHeading::NRows() const {
  return static_cast<int>(_grid->Count());
}
int OmDisplayRowHeading::NColumns() const {
  return static_cast<int>(_grid->TotalHeight());
}
int OmDisplayRowHeading::VisibleWidth(int i) const {
  return _grid->VisibleHeight(i);
}
int OmDisplayRowHeading::NDimensions() const {
  return _grid->NDimensions();
}
int OmDisplayRowHeading::getDimensionIndex(int i) const {
  return _grid->DimensionIndex(i);
}

const std::vector<std::size_t>& OmDisplayRowHeading::getNonEmptyRows() const {
  return _grid->NonEmpty();
}

std::deque<OmDisplayRowHeading::ConstNode*> OmDisplayRowHeading::Row(int r) const {
  return _grid->LabelStack(static_cast<std::size_t>(r));
}

std::deque<OmDisplayRowHeading::ConstNode*> OmDisplayRowHeading::RowCategories(int r) const {
  return _grid->LeafStack(static_cast<std::size_t>(r));
}

std::deque<OmDisplayRowHeading::ConstNode*> OmDisplayRowHeading::Column(int c) const {
  return _grid->LevelSlice(static_cast<std::size_t>(c));
}

std::vector<const OmCellText*> OmDisplayRowHeading::CornerText() const {
  return _grid->CornerTexts();
}

bool OmDisplayRowHeading::DimNamesInCorner() const {
  return _grid->NamesInCorner();
}

void OmDisplayRowHeading::Fill(std::vector<int>& index, int r) const {
  _grid->Fill(index, static_cast<std::size_t>(r));
}

void OmDisplayRowHeading::DimCatNodes(int r, std::vector<ConstNode*>& roots,
                                      std::vector<ConstNode*>& leaves) const {
  _grid->DimCatNodes(static_cast<std::size_t>(r), roots, leaves);
}

OmPivotTable& OmDisplayRowHeading::Table() {
  return _grid->Table();
}
