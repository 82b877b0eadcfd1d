#include "backend/omtree/DisplayHeading.h"

#include <algorithm>

using omtree_internal::HasRecord;

namespace {

PuppetVector<short> Reversed(const PuppetVector<short>& list) {
  PuppetVector<short> reversed = list;
  std::reverse(reversed.begin(), reversed.end());
  return reversed;
}

}  // namespace

OmDisplayHeading::OmDisplayHeading(OmDisplayLayerHeading& layers, const PuppetVector<short>& along,
                                   const PuppetVector<short>& across, bool hideEmpty,
                                   bool namesInCorner, bool forRows)
    : _layers(layers),
      _table(layers.Table()),
      _hideEmpty(hideEmpty),
      _namesInCorner(namesInCorner),
      _dimensions(Reversed(along)),
      _axis(_dimensions, _table.SizeVector()) {
  if (_hideEmpty) {
    _nonEmpty =
        omtree_internal::NonEmptyPositions(_table, Records(), layers._my->currentIndex, _dimensions,
                                           Reversed(across), layers._my->sparse);
  }
  _count = _hideEmpty ? _nonEmpty.size() : static_cast<std::size_t>(_axis.Total());
  ComputeVisibleHeights();
  for (unsigned short height : _visibleHeights)
    _totalHeight += height;
  if (forRows) ComputeCornerTexts();
}

void OmDisplayHeading::ComputeVisibleHeights() {
  const omtree_internal::Records& records = Records();
  for (std::size_t k = 0; k < _dimensions.size(); ++k) {
    const int d = _dimensions[k];
    if (!HasRecord(records, d)) continue;
    const OmDisplayDimension& record = *records[static_cast<std::size_t>(d)];
    if (_nonEmpty.empty()) {
      _visibleHeights.push_back(static_cast<unsigned short>(record.maxLabelDepth));
      continue;
    }
    // The deepest label depth among the leaves that some non-empty position
    // shows.
    std::vector<bool> shown(
        static_cast<std::size_t>(std::max(_table.Dimension(d).NumCategories(), 0)), false);
    for (std::size_t position : _nonEmpty) {
      const unsigned digit = _axis.base.Decompose(position)[k];
      if (digit < shown.size()) shown[digit] = true;
    }
    int height = 0;
    const std::size_t leaves = std::min(shown.size(), record.labelDepths.size());
    for (std::size_t leaf = 0; leaf < leaves && height < record.maxLabelDepth; ++leaf) {
      if (shown[leaf]) height = std::max(height, static_cast<int>(record.labelDepths[leaf]));
    }
    _visibleHeights.push_back(static_cast<unsigned short>(height));
  }
  if (!_namesInCorner) return;
  for (std::size_t k = 0, h = 0; k < _dimensions.size(); ++k) {
    const int d = _dimensions[k];
    if (!HasRecord(records, d)) continue;
    OmDisplayDimension& record = *records[static_cast<std::size_t>(d)];
    unsigned short& height = _visibleHeights[h++];
    if (!record.leafPaths.empty() && height != 0) {
      const OmVector<ConstNode>& path = record.leafPaths.front();
      if (!path[path.size() - 1]->Hide()) --height;
    }
  }
}

void OmDisplayHeading::ComputeCornerTexts() {
  bool namePlaced = false;
  if (!_dimensions.empty() && _namesInCorner) {
    const std::vector<OmVector<ConstNode>*> paths = LeafPaths(0);
    for (std::size_t k = 0; k < paths.size(); ++k) {
      const OmVector<ConstNode>* path = paths[k];
      if (path == nullptr || path->size() == 0) continue;
      const OmDimensionNode& root = (*path)[path->size() - 1].Value();
      const std::size_t height = _visibleHeights[k];
      std::vector<const OmCellText*> block;
      if (!root.Hide()) block.push_back(root.Text());
      block.resize(height, nullptr);
      _cornerTexts.insert(_cornerTexts.end(), block.begin(), block.end());
      if (height != 0 && block.front() != nullptr) namePlaced = true;
    }
  }
  if (_count != 0 && !namePlaced) {
    _cornerTexts.resize(_totalHeight, nullptr);
    if (_totalHeight != 0) _cornerTexts[0] = _table.CornerText();
  }
}

std::size_t OmDisplayHeading::AxisPosition(std::size_t j) const {
  return _hideEmpty ? _nonEmpty[j] : j;
}

std::vector<OmVector<OmDisplayHeading::ConstNode>*> OmDisplayHeading::LeafPaths(
    std::size_t axisPosition) const {
  const omtree_internal::Records& records = Records();
  const std::vector<unsigned> digits = _axis.base.Decompose(axisPosition);
  std::vector<OmVector<ConstNode>*> paths;
  for (std::size_t k = 0; k < _dimensions.size(); ++k) {
    const int d = _dimensions[k];
    if (HasRecord(records, d))
      paths.push_back(records[static_cast<std::size_t>(d)]->LeafPath(digits[k]));
  }
  return paths;
}

void OmDisplayHeading::AppendLabels(OmVector<ConstNode>* path, int height, Stack& stack) const {
  const std::size_t start = stack.size();
  if (path != nullptr) {
    for (std::size_t k = path->size(); k-- > 0;) {
      ConstNode& node = (*path)[k];
      if (node->IsGroup() && node->HideLabels()) break;
      if (node->Hide() || (_namesInCorner && node.IsRoot())) continue;
      stack.push_back(&node);
    }
  }
  stack.resize(start + static_cast<std::size_t>(height), nullptr);
}

OmDisplayHeading::Stack OmDisplayHeading::LabelStack(std::size_t j) const {
  Stack stack;
  const std::vector<OmVector<ConstNode>*> paths = LeafPaths(AxisPosition(j));
  for (std::size_t k = 0; k < paths.size(); ++k)
    AppendLabels(paths[k], _visibleHeights[k], stack);
  return stack;
}

OmDisplayHeading::Stack OmDisplayHeading::LeafStack(std::size_t j) const {
  Stack stack;
  for (OmVector<ConstNode>* path : LeafPaths(AxisPosition(j))) {
    stack.push_back(path != nullptr ? &(*path)[0] : nullptr);
  }
  return stack;
}

OmDisplayHeading::Stack OmDisplayHeading::LevelSlice(std::size_t r) const {
  Stack slice;
  for (std::size_t j = 0; j < _count; ++j)
    slice.push_back(LabelStack(j)[r]);
  return slice;
}

void OmDisplayHeading::Fill(std::vector<int>& index, std::size_t j) const {
  omtree_internal::FillIndex(index, _axis, AxisPosition(j), Records(), true);
}

void OmDisplayHeading::DimCatNodes(std::size_t j, std::vector<ConstNode*>& roots,
                                   std::vector<ConstNode*>& leaves) const {
  const std::size_t position = _hideEmpty && j < _nonEmpty.size() ? _nonEmpty[j] : j;
  for (OmVector<ConstNode>* path : LeafPaths(position)) {
    if (path == nullptr || path->size() <= 1) continue;
    roots.push_back(&(*path)[path->size() - 1]);
    leaves.push_back(&(*path)[0]);
  }
}
