// Fuzz target for the display headings: random tables (category trees with
// groups, hidden nodes and groups that hide their labels, leaf subscripts a
// permutation of 0..n-1, sparse cells within range, a random split of the
// dimensions into rows, columns and layers, placeholders that EndTable
// drops) are laid out through the layer, column and row headings, with and
// without hideEmpty. Checks, for every layer: label stacks and level slices
// have the total height and agree with each other, leaf stacks hold one leaf
// per heading dimension whose subscripts are those that Fill writes, the
// three Fill calls find every stored cell of the layer (and, with hideEmpty,
// only shown positions that hold one), and the non-empty positions match a
// brute-force reference. The non-empty search's two strategies (dense and
// sparse) must agree with each other and with the reference.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/DisplayLayout.h"
#include "tests/backend/omtree/DisplayTestSupport.h"

namespace {

using display_test::Category;
using display_test::ConstNode;
using Index = std::vector<int>;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// A random category tree with the given number of leaves. Flags in labels
// as DisplayTestSupport reads them: '-' hidden, '!' a group that hides its
// labels.
std::vector<Category> RandomCategories(FuzzedDataProvider& provider, int leaves, int depth) {
  std::vector<Category> categories;
  while (leaves > 0) {
    const int here = provider.ConsumeIntegralInRange<int>(1, leaves);
    const std::string hidden = provider.ConsumeIntegralInRange<int>(0, 4) == 0 ? "-" : "";
    if (here > 1 && depth < 3 && provider.ConsumeBool()) {
      const std::string hidesLabels = provider.ConsumeIntegralInRange<int>(0, 3) == 0 ? "!" : "";
      categories.push_back(display_test::Group("g" + hidden + hidesLabels,
                                               RandomCategories(provider, here, depth + 1)));
      leaves -= here;
    } else {
      categories.push_back(display_test::Leaf("x" + hidden));
      --leaves;
    }
    if (provider.ConsumeIntegralInRange<int>(0, 15) == 0) {
      categories.push_back(display_test::Group("e", {}));  // a group without leaves
    }
  }
  return categories;
}

// The subscript of each displayed leaf, in display order, worked out apart
// from the layout code: groups are entered, leaves are listed.
void LeafSubscripts(OmDimension::ConstNode node, std::vector<int>& out) {
  for (auto child = node.FirstChild(); child != node.EndChild(); ++child) {
    if (child->IsGroup()) {
      LeafSubscripts(child, out);
    } else {
      out.push_back(static_cast<int>(child->Subscript()));
    }
  }
}

struct RandomTable {
  std::unique_ptr<OmPivotTable> table;
  std::set<Index> cells;
  std::vector<std::vector<int>> leafSubscripts;  // per dimension, display order
};

RandomTable MakeRandomTable(FuzzedDataProvider& provider) {
  RandomTable made;
  const OmStringCell label("T", nullptr, false);
  made.table = std::make_unique<OmPivotTable>(label, label, false);
  OmPivotTable& table = *made.table;
  if (provider.ConsumeBool()) table.CornerText(&label);
  const int dimensions = provider.ConsumeIntegralInRange<int>(1, 4);
  for (int d = 0; d < dimensions; ++d) {
    const int leaves = provider.ConsumeIntegralInRange<int>(0, 15) == 0
                           ? 0
                           : provider.ConsumeIntegralInRange<int>(1, 5);
    std::vector<int> subscripts(static_cast<std::size_t>(leaves));
    std::iota(subscripts.begin(), subscripts.end(), 0);
    for (std::size_t k = subscripts.size(); k > 1; --k) {
      std::swap(subscripts[k - 1],
                subscripts[provider.ConsumeIntegralInRange<std::size_t>(0, k - 1)]);
    }
    std::string name = "D";
    if (provider.ConsumeIntegralInRange<int>(0, 4) == 0) name += "-";
    if (provider.ConsumeIntegralInRange<int>(0, 9) == 0) name += "!";
    display_test::AddDimension(table, name, RandomCategories(provider, leaves, 0), subscripts);
    made.leafSubscripts.emplace_back();
    LeafSubscripts(table.Dimension(d).Root(), made.leafSubscripts.back());
    Check(made.leafSubscripts.back().size() == static_cast<std::size_t>(leaves));
    const int where = provider.ConsumeIntegralInRange<int>(0, 2);
    PuppetVector<short>& list =
        where == 0 ? table.Rows() : (where == 1 ? table.Columns() : table.Layers());
    const std::size_t at = provider.ConsumeIntegralInRange<std::size_t>(0, list.size());
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), static_cast<short>(d));
  }
  if (provider.ConsumeIntegralInRange<int>(0, 7) == 0) {
    // A placeholder that EndTable drops, since the lists then hold more
    // entries than there are dimensions.
    table.Columns()[table.Columns().size() + 1] = -1;
    table.Rows()[table.Rows().size()] = -1;
  }
  table.EndTable();
  Check(table.Rows().size() + table.Columns().size() + table.Layers().size() ==
        static_cast<std::size_t>(dimensions));
  const std::vector<int> sizes = table.SizeVector();
  if (std::find(sizes.begin(), sizes.end(), 0) == sizes.end()) {
    const int count = provider.ConsumeIntegralInRange<int>(0, provider.ConsumeBool() ? 3 : 40);
    for (int i = 0; i < count; ++i) {
      Index index;
      for (int size : sizes)
        index.push_back(provider.ConsumeIntegralInRange<int>(0, size - 1));
      switch (provider.ConsumeIntegralInRange<int>(0, 7)) {
        case 0:  // removed, its path kept
          table.Cell(index, nullptr);
          made.cells.erase(index);
          break;
        case 1:  // removed with its path
          table.deleteCell(index);
          made.cells.erase(index);
          break;
        default:
          table.Cell(index, label);
          made.cells.insert(index);
          break;
      }
    }
  }
  return made;
}

// base with the subscripts that position p of the axis over list stands for.
Index SubscriptsAt(const RandomTable& made, const PuppetVector<short>& list, std::size_t p,
                   Index base) {
  for (std::size_t k = list.size(); k-- > 0;) {
    const auto& leaves = made.leafSubscripts[static_cast<std::size_t>(list[k])];
    base[static_cast<std::size_t>(list[k])] = leaves[p % leaves.size()];
    p /= leaves.size();
  }
  return base;
}

std::size_t AxisTotal(const RandomTable& made, const PuppetVector<short>& list) {
  std::size_t total = 1;
  for (short d : list)
    total *= made.leafSubscripts[static_cast<std::size_t>(d)].size();
  return total;
}

bool Listed(const PuppetVector<short>& list, std::size_t d) {
  return std::find(list.begin(), list.end(), static_cast<short>(d)) != list.end();
}

// Brute force: the positions of the axis over target whose combination
// holds a stored cell that matches current in the dimensions listed in
// neither target nor other.
std::vector<std::size_t> Reference(const RandomTable& made, const PuppetVector<short>& target,
                                   const PuppetVector<short>& other, const Index& current) {
  std::vector<std::size_t> positions;
  const std::size_t total = AxisTotal(made, target);
  for (std::size_t p = 0; p < total; ++p) {
    const Index wanted = SubscriptsAt(made, target, p, current);
    const bool hit = std::any_of(made.cells.begin(), made.cells.end(), [&](const Index& cell) {
      for (std::size_t d = 0; d < wanted.size(); ++d) {
        if (Listed(other, d) && !Listed(target, d)) continue;
        if (cell[d] != wanted[d]) return false;
      }
      return true;
    });
    if (hit) positions.push_back(p);
  }
  return positions;
}

PuppetVector<short> Reversed(const PuppetVector<short>& list) {
  PuppetVector<short> reversed = list;
  std::reverse(reversed.begin(), reversed.end());
  return reversed;
}

// Both strategies of the non-empty search against the reference, for a few
// splits of the dimensions into target, other and held ones.
void CheckSearch(FuzzedDataProvider& provider, const RandomTable& made) {
  const OmPivotTable& table = *made.table;
  OmMemoryRegion arena(false);
  omtree_internal::Records records(&arena);
  for (std::size_t d = 0; d < table.NDimensions(); ++d) {
    records.push_back(new (arena.Allocate(sizeof(OmDisplayDimension)))
                          OmDisplayDimension(&arena, table.Dimension(static_cast<int>(d))));
  }
  Index current;
  for (int size : table.SizeVector())
    current.push_back(size > 0 ? provider.ConsumeIntegralInRange<int>(0, size - 1) : 0);
  for (int split = 0; split < 4; ++split) {
    PuppetVector<short> target(-1);
    PuppetVector<short> other(-1);
    for (std::size_t d = 0; d < table.NDimensions(); ++d) {
      const int where = provider.ConsumeIntegralInRange<int>(0, 2);
      if (where == 0) target.push_back(static_cast<short>(d));
      if (where == 1) other.push_back(static_cast<short>(d));
    }
    const auto expected = Reference(made, target, other, current);
    Check(omtree_internal::NonEmptyPositions(table, records, current, target, other, false) ==
          expected);
    Check(omtree_internal::NonEmptyPositions(table, records, current, target, other, true) ==
          expected);
  }
  for (OmDisplayDimension* record : records) {
    record->~OmDisplayDimension();
    OmMemoryRegion::Release(record);
  }
}

// The label stacks, level slices and leaf stacks of a column heading.
void CheckColumns(const OmDisplayColumnHeading& columns) {
  int height = 0;
  for (int k = 0; k < columns.NDimensions(); ++k)
    height += columns.VisibleHeight(k);
  Check(height == columns.NRows());
  for (int r = 0; r < columns.NRows(); ++r) {
    const std::deque<ConstNode*> slice = columns.Row(r);
    Check(slice.size() == static_cast<std::size_t>(columns.NColumns()));
    for (int c = 0; c < columns.NColumns(); ++c) {
      Check(slice[static_cast<std::size_t>(c)] == columns.Column(c)[static_cast<std::size_t>(r)]);
    }
  }
  for (int c = 0; c < columns.NColumns(); ++c) {
    Check(columns.Column(c).size() == static_cast<std::size_t>(columns.NRows()));
    const auto leaves = columns.ColumnCategories(c);
    Check(leaves.size() == static_cast<std::size_t>(columns.NDimensions()));
    Index index;
    columns.Fill(index, c);
    std::vector<ConstNode*> rootNodes;
    std::vector<ConstNode*> leafNodes;
    columns.DimCatNodes(c, rootNodes, leafNodes);
    Check(leafNodes.size() == leaves.size() && rootNodes.size() == leaves.size());
    for (int k = 0; k < columns.NDimensions(); ++k) {
      const auto at = static_cast<std::size_t>(k);
      const int d = columns.getDimensionIndex(k);
      Check(static_cast<int>((*leaves[at])->Subscript()) == index[static_cast<std::size_t>(d)]);
      Check(leafNodes[at] == leaves[at]);
      Check(rootNodes[at]->IsRoot());
    }
  }
}

// The same for a row heading, whose label levels are its heading columns.
void CheckRows(const OmDisplayRowHeading& rows) {
  int width = 0;
  for (int k = 0; k < rows.NDimensions(); ++k)
    width += rows.VisibleWidth(k);
  Check(width == rows.NColumns());
  for (int c = 0; c < rows.NColumns(); ++c) {
    const std::deque<ConstNode*> slice = rows.Column(c);
    Check(slice.size() == static_cast<std::size_t>(rows.NRows()));
    for (int r = 0; r < rows.NRows(); ++r)
      Check(slice[static_cast<std::size_t>(r)] == rows.Row(r)[static_cast<std::size_t>(c)]);
  }
  for (int r = 0; r < rows.NRows(); ++r) {
    Check(rows.Row(r).size() == static_cast<std::size_t>(rows.NColumns()));
    const auto leaves = rows.RowCategories(r);
    Check(leaves.size() == static_cast<std::size_t>(rows.NDimensions()));
    Index index;
    rows.Fill(index, r);
    for (int k = 0; k < rows.NDimensions(); ++k) {
      const int d = rows.getDimensionIndex(k);
      Check(static_cast<int>((*leaves[static_cast<std::size_t>(k)])->Subscript()) ==
            index[static_cast<std::size_t>(d)]);
    }
  }
  if (rows.NRows() > 0)
    Check(rows.CornerText().size() == static_cast<std::size_t>(rows.NColumns()));
}

void CheckHeadings(FuzzedDataProvider& provider, const RandomTable& made, bool hide) {
  OmPivotTable& table = *made.table;
  const std::size_t dimensions = table.NDimensions();
  OmDisplayLayerHeading layers(table, hide);
  Check(layers.getLayer() == -1);
  const PuppetVector<short> layerList = Reversed(table.Layers());
  PuppetVector<short> notLayers = table.Columns();
  notLayers.insert(notLayers.end(), table.Rows().begin(), table.Rows().end());
  const auto layerPositions = Reference(made, layerList, notLayers, Index(dimensions, 0));
  Check(layers.NDimensions() == static_cast<int>(layerList.size()));

  for (int layer = 0; layers.NextLayer(); ++layer) {
    Check(layers.getLayer() == layer);
    const Index current = layers.getCurrentCellIndex();
    Check(current.size() == dimensions);
    if (hide) Check(static_cast<std::size_t>(layer) < layerPositions.size());
    const std::size_t position =
        hide ? layerPositions[static_cast<std::size_t>(layer)] : static_cast<std::size_t>(layer);
    Check(current == SubscriptsAt(made, layerList, position, Index(dimensions, 0)));
    for (int i = 0; i < layers.NDimensions(); ++i) {
      const int d = layers.getDimensionIndex(i);
      ConstNode* root = nullptr;
      ConstNode* leaf = nullptr;
      layers.DimCatNodes(i, root, leaf);
      Check(root != nullptr && leaf != nullptr && root->IsRoot());
      Check(static_cast<int>((*leaf)->Subscript()) == current[static_cast<std::size_t>(d)]);
      for (const ConstNode* label : layers.Nodes(i)) {
        if (label != nullptr) Check(!(*label)->Hide());
      }
    }

    const auto columnsExpected = Reference(made, Reversed(table.Columns()), table.Rows(), current);
    const auto rowsExpected = Reference(made, Reversed(table.Rows()), table.Columns(), current);
    const OmDisplayColumnHeading columns(layers, hide);
    const OmDisplayRowHeading rows(layers, hide, provider.ConsumeBool());
    if (hide) {
      Check(columns.getNonEmptyColumns() == columnsExpected);
      Check(rows.getNonEmptyRows() == rowsExpected);
      Check(static_cast<std::size_t>(columns.NColumns()) == columnsExpected.size());
      Check(static_cast<std::size_t>(rows.NRows()) == rowsExpected.size());
    } else {
      Check(static_cast<std::size_t>(columns.NColumns()) == AxisTotal(made, table.Columns()));
      Check(static_cast<std::size_t>(rows.NRows()) == AxisTotal(made, table.Rows()));
    }
    CheckColumns(columns);
    CheckRows(rows);

    // Every stored cell of the layer is displayed once, found through the
    // three Fill operations; with hideEmpty every shown column and row
    // holds one.
    std::size_t displayed = 0;
    std::vector<bool> rowHolds(static_cast<std::size_t>(rows.NRows()), false);
    for (int c = 0; c < columns.NColumns(); ++c) {
      bool columnHolds = false;
      for (int r = 0; r < rows.NRows(); ++r) {
        Index cellIndex;
        layers.Fill(cellIndex);
        columns.Fill(cellIndex, c);
        rows.Fill(cellIndex, r);
        const bool stored = made.cells.count(cellIndex) != 0;
        Check((table.Cell(cellIndex) != nullptr) == stored);
        columnHolds = columnHolds || stored;
        if (stored) rowHolds[static_cast<std::size_t>(r)] = true;
        displayed += stored ? 1 : 0;
      }
      if (hide && rows.NRows() > 0) Check(columnHolds);
    }
    if (hide && columns.NColumns() > 0) {
      Check(std::all_of(rowHolds.begin(), rowHolds.end(), [](bool holds) { return holds; }));
    }
    const auto inLayer =
        std::count_if(made.cells.begin(), made.cells.end(), [&](const Index& cell) {
          for (short d : layerList) {
            if (cell[static_cast<std::size_t>(d)] != current[static_cast<std::size_t>(d)])
              return false;
          }
          return true;
        });
    Check(displayed == static_cast<std::size_t>(inLayer));
  }
  const std::size_t layerCount = hide ? layerPositions.size() : AxisTotal(made, layerList);
  Check(static_cast<std::size_t>(layers.getLayer() + 1) == layerCount);
  Check(!layers.SwitchLayer(-1) && layers.getLayer() == -1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  const RandomTable made = MakeRandomTable(provider);
  CheckSearch(provider, made);
  CheckHeadings(provider, made, false);
  CheckHeadings(provider, made, true);
  return 0;
}
