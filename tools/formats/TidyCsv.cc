#include "TidyCsv.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <map>
#include <set>
#include <sstream>
#include <utility>
#include <vector>

#include "Layout.h"

namespace omrender {

namespace {

using ConstNode = OmDimension::ConstNode;

// One dimension's labels by subscript: a category's groups, outermost
// first, and its own label.
struct DimensionLabels {
  std::vector<std::vector<std::string>> groups;
  std::vector<std::string> leaves;
  std::size_t groupLevels = 0;
};

DimensionLabels Labels(const OmDimension& dimension) {
  DimensionLabels labels;
  OmDimension::Tree::WalkBelow(
      dimension.Root(), [](ConstNode) { return true; },
      [&](ConstNode node) {
        if (node->IsGroup()) return;
        const std::size_t subscript = node->Subscript();
        if (subscript >= labels.leaves.size()) {
          labels.leaves.resize(subscript + 1);
          labels.groups.resize(subscript + 1);
        }
        labels.leaves[subscript] = Shown(node->Text()).text;
        std::vector<std::string>& groups = labels.groups[subscript];
        for (ConstNode parent = node.Parent(); !parent.IsRoot(); parent = parent.Parent())
          groups.insert(groups.begin(), Shown(parent->Text()).text);
        labels.groupLevels = std::max(labels.groupLevels, groups.size());
      });
  return labels;
}

std::string Quoted(const std::string& field) {
  if (field.find_first_of(",\"\r\n") == std::string::npos) return field;
  std::string quoted = "\"";
  for (char c : field)
    quoted += c == '"' ? "\"\"" : std::string(1, c);
  return quoted + '"';
}

std::string Value(const OmCellText* text) {
  if (const OmNumber* number = CellNumber(text)) {
    char buffer[64];
    const std::to_chars_result result =
        std::to_chars(buffer, buffer + sizeof buffer, number->Value());
    return std::string(buffer, result.ptr);
  }
  return Shown(text).text;
}

// The columns of one table and where they stand in the file.
struct TableColumns {
  OmPivotTable* table;
  std::vector<DimensionLabels> dimensions;
  // Per dimension, the file column of its first group level; the levels
  // and the leaf column follow it in the table's own order.
  std::vector<std::vector<std::size_t>> places;
};

// Takes name, or name with " (2)", " (3)", ... when taken already.
std::string Unique(const std::string& name, std::set<std::string>& taken) {
  std::string unique = name;
  for (int n = 2; !taken.insert(unique).second; ++n)
    unique = name + " (" + std::to_string(n) + ')';
  return unique;
}

}  // namespace

void RenderTidyCsv(OmOutputTree& tree, std::ostream& out) {
  std::vector<OmPivotTable*> tables;
  for (const auto& entry : tree.List()) {
    if (auto* table = dynamic_cast<OmPivotTable*>(entry.item)) tables.push_back(table);
  }
  const bool several = tables.size() > 1;
  std::vector<std::string> header;
  std::map<std::string, std::size_t> column;
  const auto place = [&](const std::string& name) {
    const auto [it, added] = column.emplace(name, header.size());
    if (added) header.push_back(name);
    return it->second;
  };
  if (several) place("table");
  std::vector<TableColumns> layouts;
  for (OmPivotTable* table : tables) {
    TableColumns layout{table, {}, {}};
    std::set<std::string> taken{"value"};
    if (several) taken.insert("table");
    for (std::size_t d = 0; d < table->NDimensions(); ++d) {
      const OmDimension& dimension = table->Dimension(static_cast<int>(d));
      layout.dimensions.push_back(Labels(dimension));
      const std::string name = Shown(dimension.Root()->Text()).text;
      std::vector<std::size_t> places;
      for (std::size_t g = 1; g <= layout.dimensions.back().groupLevels; ++g)
        places.push_back(place(Unique(name + " (group " + std::to_string(g) + ')', taken)));
      places.push_back(place(Unique(name, taken)));
      layout.places.push_back(std::move(places));
    }
    layouts.push_back(std::move(layout));
  }
  const std::size_t valueColumn = place("value");

  for (std::size_t c = 0; c < header.size(); ++c)
    out << (c > 0 ? "," : "") << Quoted(header[c]);
  out << "\r\n";
  std::vector<std::string> fields(header.size());
  for (const TableColumns& layout : layouts) {
    std::fill(fields.begin(), fields.end(), std::string());
    if (several) fields[0] = Quoted(Shown(TableTitle(*layout.table)).text);
    for (OmPivotTable::ConstIterator it = std::as_const(*layout.table).FirstCell();
         it.Cell() != nullptr; ++it) {
      const std::vector<int> index = it.Index();
      for (std::size_t d = 0; d < index.size(); ++d) {
        const DimensionLabels& labels = layout.dimensions[d];
        const std::vector<std::size_t>& places = layout.places[d];
        const auto subscript = static_cast<std::size_t>(index[d]);
        const bool known = subscript < labels.leaves.size();
        for (std::size_t g = 0; g < labels.groupLevels; ++g) {
          fields[places[g]] = known && g < labels.groups[subscript].size()
                                  ? Quoted(labels.groups[subscript][g])
                                  : std::string();
        }
        fields[places.back()] = known ? Quoted(labels.leaves[subscript]) : std::string();
      }
      fields[valueColumn] = Quoted(Value(it.Cell()));
      for (std::size_t c = 0; c < fields.size(); ++c) {
        if (c > 0) out << ',';
        out << fields[c];
      }
      out << "\r\n";
    }
  }
}

std::string RenderTidyCsv(OmOutputTree& tree) {
  std::ostringstream out;
  RenderTidyCsv(tree, out);
  return out.str();
}

}  // namespace omrender
