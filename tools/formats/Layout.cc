#include "Layout.h"

#include <algorithm>
#include <deque>
#include <sstream>

namespace omrender {

namespace {

using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;
using Stack = std::deque<ConstNode*>;

ShownText Label(const ConstNode* node) {
  return node == nullptr ? ShownText() : Shown(node->Value().Text());
}

bool SameNode(const ConstNode* a, const ConstNode* b) {
  if (a == nullptr || b == nullptr) return a == b;
  return *a == *b;
}

// The heading dimension that owns each label level, from the visible
// heights.
template <typename Heading, typename Height>
std::vector<int> LevelOwners(const Heading& heading, int levels, Height height) {
  std::vector<int> owners;
  for (int k = 0; k < heading.NDimensions(); ++k) {
    for (int h = 0; h < (heading.*height)(k); ++h)
      owners.push_back(k);
  }
  owners.resize(static_cast<std::size_t>(levels), heading.NDimensions());
  return owners;
}

// Whether two display positions show the same label at level, as part of
// the same block: equal labels at this level and every level before it, and
// the same categories of the dimensions outside the level's own.
bool SameBlock(const Stack& labelsA, const Stack& leavesA, const Stack& labelsB,
               const Stack& leavesB, std::size_t level, int owner) {
  for (std::size_t l = 0; l <= level; ++l) {
    if (!SameNode(labelsA[l], labelsB[l])) return false;
  }
  for (int k = 0; k < owner; ++k) {
    if (!SameNode(leavesA[static_cast<std::size_t>(k)], leavesB[static_cast<std::size_t>(k)])) {
      return false;
    }
  }
  return true;
}

std::vector<std::vector<ShownText>> LayerLabels(OmDisplayLayerHeading& layers) {
  std::vector<std::vector<ShownText>> lines;
  for (int i = 0; i < layers.NDimensions(); ++i) {
    std::vector<ShownText> labels;
    for (const ConstNode* node : layers.Nodes(i)) {
      if (node != nullptr) labels.push_back(Label(node));
    }
    if (!labels.empty()) lines.push_back(std::move(labels));
  }
  return lines;
}

// The cell shown at display row r and column c of layer (positions of its
// headings), or null.
const OmCellText* CellAt(const ShownLayer& layer, int r, int c, std::vector<int>& index) {
  layer.layers.Fill(index);
  layer.columns.Fill(index, c);
  layer.rows.Fill(index, r);
  return layer.table.Cell(index);
}

// Keeps only the shown rows and columns of layer that hold a cell in a shown
// column and row.
void LeaveOutEmpty(ShownLayer& layer) {
  std::vector<bool> rowFilled(layer.shownRows.size(), false);
  std::vector<bool> columnFilled(layer.shownColumns.size(), false);
  std::vector<int> index;
  for (std::size_t r = 0; r < layer.shownRows.size(); ++r) {
    for (std::size_t c = 0; c < layer.shownColumns.size(); ++c) {
      if (CellAt(layer, layer.shownRows[r], layer.shownColumns[c], index) == nullptr) continue;
      rowFilled[r] = true;
      columnFilled[c] = true;
    }
  }
  const auto keep = [](std::vector<int>& positions, const std::vector<bool>& filled) {
    std::vector<int> kept;
    for (std::size_t k = 0; k < positions.size(); ++k) {
      if (filled[k]) kept.push_back(positions[k]);
    }
    positions = std::move(kept);
  };
  keep(layer.shownRows, rowFilled);
  keep(layer.shownColumns, columnFilled);
}

// Whether the layer that is current in layers selects a hidden leaf.
bool SelectsHiddenLeaf(const OmDisplayLayerHeading& layers) {
  for (int i = 0; i < layers.NDimensions(); ++i) {
    ConstNode* root = nullptr;
    ConstNode* leaf = nullptr;
    layers.DimCatNodes(i, root, leaf);
    if (leaf != nullptr && (*leaf)->Hide()) return true;
  }
  return false;
}

// The display positions 0 to count - 1 whose leaf stack holds no hidden
// leaf.
template <typename Heading>
std::vector<int> Shown(const Heading& heading, int count, Stack (Heading::*leaves)(int) const) {
  std::vector<int> shown;
  for (int k = 0; k < count; ++k) {
    if (!HoldsHiddenLeaf((heading.*leaves)(k))) shown.push_back(k);
  }
  return shown;
}

}  // namespace

std::string FootnoteMark(int number) {
  if (number < 0) return std::to_string(number);
  std::string mark;
  for (int n = number;; n = n / 26 - 1) {
    mark.insert(mark.begin(), static_cast<char>('a' + n % 26));
    if (n < 26) break;
  }
  return mark;
}

const OmNumber* CellNumber(const OmCellText* text) {
  const auto* composite = dynamic_cast<const OmComposite*>(text);
  if (composite == nullptr) return dynamic_cast<const OmNumber*>(text);
  using PartNode = OmComposite::PartTree::ConstNode;
  const PartNode root = composite->Parts().Root();
  const auto hasContent = [](const OmCellText* part) {
    return part != nullptr && part->TextLength() > 0;
  };
  if (hasContent(*root)) return dynamic_cast<const OmNumber*>(*root);
  if (root.IsLeaf()) return nullptr;
  for (PartNode part = root.FirstChild(); part != root.EndChild(); ++part) {
    if (hasContent(*part)) return dynamic_cast<const OmNumber*>(*part);
  }
  return nullptr;
}

ShownText Shown(const OmCellText* text) {
  ShownText shown;
  if (text == nullptr) return shown;
  shown.text = text->AsString();
  for (short number : text->Footnotes())
    shown.footnotes.push_back(number);
  return shown;
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  for (std::size_t start = 0;;) {
    const std::size_t end = text.find_first_of("\r\n", start);
    lines.push_back(text.substr(start, end - start));
    if (end == std::string::npos) return lines;
    start = end + (text.compare(end, 2, "\r\n") == 0 ? 2 : 1);
  }
}

std::string Decorated(const ShownText& text) {
  std::string shown = text.text;
  if (text.footnotes.empty()) return shown;
  shown += '[';
  for (std::size_t i = 0; i < text.footnotes.size(); ++i) {
    if (i > 0) shown += ',';
    shown += FootnoteMark(text.footnotes[i]);
  }
  return shown + ']';
}

std::string Decorated(const OmCellText* text) {
  return Decorated(Shown(text));
}

const char* LayerLabelSeparator(std::size_t position) {
  if (position == 0) return "";
  return position == 1 ? ": " : " / ";
}

const OmCellText* TableTitle(const OmPivotTable& table) {
  return table.GetTableTitle() != nullptr ? table.GetTableTitle() : table.OutlineText();
}

std::string ChartSummary(const OmChart& chart) {
  std::ostringstream out;
  out << "XML " << chart.GetXmlDescription().size() << " B, data " << chart.GetXmlData().size()
      << " B, image " << chart.GetImageData().size() << " B, sub-type " << chart.GetChartSubType()
      << (chart.hasMap() ? ", map" : "");
  return out.str();
}

std::string ModelSummary(const OmModel& model) {
  std::ostringstream out;
  out << "type " << model.GetModelType() << ", PMML " << model.GetPMML().size() << " B, data "
      << model.GetBinaryDataStream().size() << " B, containers "
      << model.GetPMMLContainer().size() + model.GetStatXMLContainer().size() << " B";
  return out.str();
}

std::string AnswerTreeSummary(const OmAnswerTree& tree) {
  std::ostringstream out;
  out << "tree type " << tree.GetTreeType() << ", XML " << tree.GetUncompressedXml().size()
      << " B, compressed " << tree.GetCompressedXml().size() << " B";
  return out.str();
}

bool HoldsHiddenLeaf(const Stack& leaves) {
  return std::any_of(leaves.begin(), leaves.end(),
                     [](const ConstNode* leaf) { return leaf != nullptr && (*leaf)->Hide(); });
}

int ForEachShownLayer(OmPivotTable& table, const Options& options,
                      const std::function<void(const ShownLayer&)>& show) {
  OmDisplayLayerHeading layers(table, options.hideEmpty);
  int seen = 0;
  int shown = 0;
  while (layers.NextLayer()) {
    if (SelectsHiddenLeaf(layers)) continue;
    const OmDisplayColumnHeading columns(layers, options.hideEmpty);
    const OmDisplayRowHeading rows(layers, options.hideEmpty, options.namesInCorner);
    ShownLayer layer{table,
                     layers,
                     columns,
                     rows,
                     Shown(columns, columns.NColumns(), &OmDisplayColumnHeading::ColumnCategories),
                     Shown(rows, rows.NRows(), &OmDisplayRowHeading::RowCategories)};
    // The headings left out the places without cells; what held cells only
    // in hidden places is empty now, and goes too.
    const bool hidAny = static_cast<int>(layer.shownColumns.size()) < columns.NColumns() ||
                        static_cast<int>(layer.shownRows.size()) < rows.NRows();
    if (options.hideEmpty && hidAny) LeaveOutEmpty(layer);
    if (options.hideEmpty && (layer.shownColumns.empty() || layer.shownRows.empty())) continue;
    if (options.layer < 0 || seen == options.layer) {
      show(layer);
      ++shown;
    }
    if (++seen > options.layer && options.layer >= 0) break;
  }
  return shown;
}

LayerLayout::LayerLayout(const ShownLayer& layer)
    : _layer(layer),
      _layerLabels(omrender::LayerLabels(layer.layers)),
      _labelColumns(static_cast<std::size_t>(layer.rows.NColumns())),
      _dataColumns(layer.shownColumns.size()),
      _dataRows(layer.shownRows.size()),
      _namesInCorner(layer.rows.DimNamesInCorner()) {
  const std::vector<const OmCellText*> corner = layer.rows.CornerText();
  const bool cornerRow = layer.columns.NRows() == 0 &&
                         std::any_of(corner.begin(), corner.end(),
                                     [](const OmCellText* text) { return text != nullptr; });
  _headRows = cornerRow ? 1 : static_cast<std::size_t>(layer.columns.NRows());
  if (Empty()) return;
  _head.assign(_headRows, std::vector<LayoutCell>(Width()));
  if (_headRows > 0) LayOutCorner(corner);
  LayOutColumnLabels();
  SpanRowLabels();
}

const std::vector<LayoutCell>& LayerLayout::Row(std::size_t r) {
  if (r < _headRows) return _head[r];
  LayOutDataRow(r - _headRows);
  return _row;
}

// The corner, the head rows' places left of the column labels. Its last
// row holds each row dimension's name above its column of labels, or else
// the table's corner text (the only one that is not null then); every other
// row of it, and the last one when it holds the corner text, is one place
// spanning the corner's width.
void LayerLayout::LayOutCorner(const std::vector<const OmCellText*>& corner) {
  const std::size_t last = _headRows - 1;
  for (std::size_t k = 0; k < _labelColumns && k < corner.size(); ++k)
    _head[last][k].text = Shown(corner[k]);
  for (std::size_t r = 0; r <= last && _labelColumns > 1; ++r) {
    if (r == last && _namesInCorner) break;
    _head[r][0].colspan = _labelColumns;
    for (std::size_t k = 1; k < _labelColumns; ++k)
      _head[r][k].covered = true;
  }
}

void LayerLayout::LayOutColumnLabels() {
  const OmDisplayColumnHeading& columns = _layer.columns;
  std::vector<Stack> labels;
  std::vector<Stack> leaves;
  for (int c : _layer.shownColumns) {
    labels.push_back(columns.Column(c));
    leaves.push_back(columns.ColumnCategories(c));
  }
  const std::vector<int> owners =
      LevelOwners(columns, columns.NRows(), &OmDisplayColumnHeading::VisibleHeight);
  for (std::size_t r = 0; r < static_cast<std::size_t>(columns.NRows()); ++r) {
    std::vector<LayoutCell>& row = _head[r];
    for (std::size_t c = 0; c < _dataColumns;) {
      std::size_t end = c + 1;
      while (end < _dataColumns &&
             SameBlock(labels[c], leaves[c], labels[end], leaves[end], r, owners[r])) {
        row[_labelColumns + end].covered = true;
        ++end;
      }
      LayoutCell& cell = row[_labelColumns + c];
      cell.text = Label(labels[c][r]);
      cell.colspan = end - c;
      c = end;
    }
  }
}

void LayerLayout::SpanRowLabels() {
  const OmDisplayRowHeading& rows = _layer.rows;
  const std::vector<int> owners =
      LevelOwners(rows, rows.NColumns(), &OmDisplayRowHeading::VisibleWidth);
  _rowSpans.assign(_dataRows * _labelColumns, 0);
  std::vector<std::size_t> blockStart(_labelColumns, 0);
  Stack previousLabels;
  Stack previousLeaves;
  for (std::size_t r = 0; r < _dataRows; ++r) {
    Stack labels = rows.Row(_layer.shownRows[r]);
    Stack leaves = rows.RowCategories(_layer.shownRows[r]);
    for (std::size_t k = 0; k < _labelColumns; ++k) {
      if (r == 0 || !SameBlock(previousLabels, previousLeaves, labels, leaves, k, owners[k])) {
        blockStart[k] = r;
      }
      ++_rowSpans[blockStart[k] * _labelColumns + k];
    }
    previousLabels = std::move(labels);
    previousLeaves = std::move(leaves);
  }
}

// Data row r: its row labels, shown at the top of their blocks, then its
// cells.
void LayerLayout::LayOutDataRow(std::size_t r) {
  _row.assign(Width(), LayoutCell());
  const Stack labels = _layer.rows.Row(_layer.shownRows[r]);
  for (std::size_t k = 0; k < _labelColumns; ++k) {
    LayoutCell& cell = _row[k];
    const std::uint32_t span = _rowSpans[r * _labelColumns + k];
    cell.covered = span == 0;
    if (cell.covered) continue;
    cell.rowspan = span;
    cell.text = Label(labels[k]);
  }
  for (std::size_t c = 0; c < _dataColumns; ++c) {
    const OmCellText* value = CellAt(_layer, _layer.shownRows[r], _layer.shownColumns[c], _index);
    LayoutCell& cell = _row[_labelColumns + c];
    cell.text = Shown(value);
    cell.number = CellNumber(value);
  }
}

void OutlineWalker::Walk(OmOutputTree& tree) {
  for (const auto& entry : tree.List()) {
    if (entry.item == nullptr) continue;
    _level = std::max(entry.level, 0);
    entry.item->Accept(*this);
  }
}

void OutlineWalker::Visit(OmPageTitle& title) {
  std::string text;
  for (const std::string& line : title.TextList())
    text += (text.empty() ? "" : " ") + line;
  PageTitle(text);
}

void OutlineWalker::Visit(OmChart& chart) {
  Summary("Chart: ", chart.OutlineText(), ChartSummary(chart));
}

void OutlineWalker::Visit(OmModel& model) {
  Summary("Model: ", model.OutlineText(), ModelSummary(model));
}

void OutlineWalker::Visit(OmAnswerTree& tree) {
  Summary("Answer tree: ", tree.OutlineText(), AnswerTreeSummary(tree));
}

}  // namespace omrender
