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

void LayOutColumnLabels(const OmDisplayColumnHeading& columns, LayerLayout& layout) {
  std::vector<Stack> labels;
  std::vector<Stack> leaves;
  for (std::size_t c = 0; c < layout.dataColumns; ++c) {
    labels.push_back(columns.Column(static_cast<int>(c)));
    leaves.push_back(columns.ColumnCategories(static_cast<int>(c)));
  }
  const std::vector<int> owners =
      LevelOwners(columns, columns.NRows(), &OmDisplayColumnHeading::VisibleHeight);
  for (std::size_t r = 0; r < static_cast<std::size_t>(columns.NRows()); ++r) {
    std::vector<LayoutCell>& row = layout.rows[r];
    for (std::size_t c = 0; c < layout.dataColumns;) {
      std::size_t end = c + 1;
      while (end < layout.dataColumns &&
             SameBlock(labels[c], leaves[c], labels[end], leaves[end], r, owners[r])) {
        row[layout.labelColumns + end].covered = true;
        ++end;
      }
      LayoutCell& cell = row[layout.labelColumns + c];
      cell.text = Label(labels[c][r]);
      cell.colspan = end - c;
      c = end;
    }
  }
}

void LayOutRowLabels(const OmDisplayRowHeading& rows, LayerLayout& layout) {
  const std::vector<int> owners =
      LevelOwners(rows, rows.NColumns(), &OmDisplayRowHeading::VisibleWidth);
  std::vector<std::size_t> blockStart(layout.labelColumns, 0);
  Stack previousLabels;
  Stack previousLeaves;
  for (std::size_t r = 0; r < static_cast<std::size_t>(rows.NRows()); ++r) {
    const Stack labels = rows.Row(static_cast<int>(r));
    const Stack leaves = rows.RowCategories(static_cast<int>(r));
    std::vector<LayoutCell>& row = layout.rows[layout.headRows + r];
    for (std::size_t k = 0; k < layout.labelColumns; ++k) {
      if (r > 0 && SameBlock(previousLabels, previousLeaves, labels, leaves, k, owners[k])) {
        row[k].covered = true;
        ++layout.rows[layout.headRows + blockStart[k]][k].rowspan;
      } else {
        row[k].text = Label(labels[k]);
        blockStart[k] = r;
      }
    }
    previousLabels = labels;
    previousLeaves = leaves;
  }
}

void LayOutCells(OmPivotTable& table, OmDisplayLayerHeading& layers,
                 const OmDisplayColumnHeading& columns, const OmDisplayRowHeading& rows,
                 LayerLayout& layout) {
  for (std::size_t r = 0; r < static_cast<std::size_t>(rows.NRows()); ++r) {
    std::vector<LayoutCell>& row = layout.rows[layout.headRows + r];
    for (std::size_t c = 0; c < layout.dataColumns; ++c) {
      std::vector<int> index;
      layers.Fill(index);
      columns.Fill(index, static_cast<int>(c));
      rows.Fill(index, static_cast<int>(r));
      const OmCellText* value = table.Cell(index);
      LayoutCell& cell = row[layout.labelColumns + c];
      cell.text = Shown(value);
      cell.number = dynamic_cast<const OmNumber*>(value) != nullptr;
    }
  }
}

}  // namespace

std::string FootnoteMark(int number) {
  std::string mark;
  for (int n = number;; n = n / 26 - 1) {
    mark.insert(mark.begin(), static_cast<char>('a' + n % 26));
    if (n < 26) break;
  }
  return mark;
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

LayerLayout LayOutLayer(OmPivotTable& table, OmDisplayLayerHeading& layers,
                        const Options& options) {
  const OmDisplayColumnHeading columns(layers, options.hideEmpty);
  const OmDisplayRowHeading rows(layers, options.hideEmpty, options.namesInCorner);
  const std::vector<const OmCellText*> corner = rows.CornerText();
  const bool cornerRow =
      columns.NRows() == 0 && std::any_of(corner.begin(), corner.end(),
                                          [](const OmCellText* text) { return text != nullptr; });
  LayerLayout layout;
  layout.layerLabels = LayerLabels(layers);
  layout.headRows = cornerRow ? 1 : static_cast<std::size_t>(columns.NRows());
  layout.labelColumns = static_cast<std::size_t>(rows.NColumns());
  layout.dataColumns = static_cast<std::size_t>(columns.NColumns());
  layout.namesInCorner = rows.DimNamesInCorner();
  const std::size_t dataRows = static_cast<std::size_t>(rows.NRows());
  if (layout.Width() == 0 || layout.headRows + dataRows == 0) return layout;

  layout.rows.assign(layout.headRows + dataRows, std::vector<LayoutCell>(layout.Width()));
  for (std::size_t k = 0; layout.headRows > 0 && k < layout.labelColumns && k < corner.size();
       ++k) {
    layout.rows[layout.headRows - 1][k].text = Shown(corner[k]);
  }
  LayOutColumnLabels(columns, layout);
  LayOutRowLabels(rows, layout);
  LayOutCells(table, layers, columns, rows, layout);
  return layout;
}

}  // namespace omrender
