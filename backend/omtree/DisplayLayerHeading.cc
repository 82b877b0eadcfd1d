#include "backend/omtree/DisplayLayerHeading.h"

#include "backend/omtree/DisplayLayout.h"

OmDisplayLayerHeading::OmDisplayLayerHeading(OmPivotTable& table, bool hideEmpty)
    : _my(new Data(table, hideEmpty)) {}

OmDisplayLayerHeading::~OmDisplayLayerHeading() {
  delete _my;
}

int OmDisplayLayerHeading::NDimensions() const {
  return static_cast<int>(_my->layerList.size());
}

int OmDisplayLayerHeading::getDimensionIndex(int i) const {
  return _my->layerList[static_cast<std::size_t>(i)];
}

int OmDisplayLayerHeading::VisibleWidth(int i) const {
  const PuppetVector<short>& list = _my->layerList;
  const int d = list[static_cast<std::size_t>(i)];
  return omtree_internal::HasRecord(_my->records, d)
             ? _my->records[static_cast<std::size_t>(d)]->maxLabelDepth
             : 0;
}

OmPivotTable& OmDisplayLayerHeading::Table() {
  return _my->table;
}

int OmDisplayLayerHeading::getLayer() const {
  return static_cast<int>(_my->currentLayer);
}

bool OmDisplayLayerHeading::NextLayer() {
  return SwitchLayer(static_cast<int>(_my->currentLayer + 1));
}

bool OmDisplayLayerHeading::SwitchLayer(int n) {
  if (n == -1) {
    _my->currentLayer = static_cast<std::size_t>(-1);
    return false;
  }
  if (n < 0 || static_cast<std::size_t>(n) >= _my->layerCount) return false;
  _my->currentLayer = static_cast<std::size_t>(n);
  omtree_internal::FillIndex(_my->currentIndex, _my->layerAxis,
                             static_cast<std::size_t>(_my->CurrentPosition()), _my->records, true);
  return true;
}

void OmDisplayLayerHeading::LastLayer() {
  SwitchLayer(static_cast<int>(_my->layerCount - 1));
}

int OmDisplayLayerHeading::restoreLayer() const {
  _my->currentLayer = static_cast<std::size_t>(static_cast<std::int64_t>(_my->table.getLayerLoc()));
  return static_cast<int>(_my->currentLayer);
}

std::vector<int> OmDisplayLayerHeading::getCurrentCellIndex() {
  return _my->currentIndex;
}

void OmDisplayLayerHeading::Fill(std::vector<int>& index) {
  const std::int64_t position = _my->CurrentPosition();
  if (position < 0) {
    index.resize(_my->records.size(), 0);
    return;
  }
  omtree_internal::FillIndex(index, _my->layerAxis, static_cast<std::size_t>(position),
                             _my->records, true);
}

std::deque<OmDisplayLayerHeading::ConstNode*> OmDisplayLayerHeading::Nodes(int i) {
  std::deque<ConstNode*> labels;
  OmVector<OmConstNode>* path = _my->CurrentPath(i);
  if (path == nullptr) return labels;
  for (std::size_t k = path->size(); k-- > 0;) {
    OmConstNode& node = (*path)[k];
    if (node->Hide()) {
      labels.push_back(nullptr);
      continue;
    }
    if (node->IsGroup() && node->HideLabels()) break;
    labels.push_back(&node);
  }
  return labels;
}

void OmDisplayLayerHeading::DimCatNodes(int i, ConstNode*& root, ConstNode*& leaf) const {
  if (static_cast<unsigned>(i) >= static_cast<unsigned>(NDimensions())) return;
  OmVector<OmConstNode>* path = _my->CurrentPath(i);
  if (path == nullptr || path->size() <= 1) return;
  root = &(*path)[path->size() - 1];
  leaf = &(*path)[0];
}
