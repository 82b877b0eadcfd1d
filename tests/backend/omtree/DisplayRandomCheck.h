// Random tables through the non-empty search and all three headings, shared
// by the seeded tests and the fuzz target: category trees with groups,
// hidden nodes and groups that hide their labels, leaf subscripts a
// permutation of 0..n-1, sparse cells within range (some set to null or
// deleted again), a random split of the dimensions into rows, columns and
// layers, placeholders that EndTable drops. Checks, for every layer, with
// and without hideEmpty: label stacks and level slices have the total
// height and agree with each other, leaf stacks hold one leaf per heading
// dimension whose subscripts are those that Fill writes, the three Fill
// calls find every stored cell of the layer (and, with hideEmpty, only
// shown positions that hold one), and the non-empty positions match a
// brute-force reference; the non-empty search's two strategies (dense and
// sparse) agree with each other and with the reference.
//
// The randomness and the reaction to a failed check come from a
// RandomSource: a seeded generator that throws in the tests, the fuzzer's
// input that traps in the fuzz target.

#ifndef OMTREE_TESTS_BACKEND_OMTREE_DISPLAYRANDOMCHECK_H_
#define OMTREE_TESTS_BACKEND_OMTREE_DISPLAYRANDOMCHECK_H_

#include <algorithm>
#include <cstddef>
#include <deque>
#include <memory>
#include <numeric>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/DisplayLayout.h"
#include "tests/backend/omtree/DisplayTestSupport.h"

namespace display_test {

class RandomSource {
 public:
  virtual ~RandomSource() = default;
  // A number in [low, high].
  virtual int Pick(int low, int high) = 0;
  // Reports a failed check; never returns.
  [[noreturn]] virtual void Fail(const char* check) = 0;

  void Check(bool holds, const char* check) {
    if (!holds) Fail(check);
  }
};

#define OMTREE_DISPLAY_CHECK(condition) source.Check((condition), #condition)

using Index = std::vector<int>;

// A random category tree with the given number of leaves. Flags in labels
// as DisplayTestSupport reads them: '-' hidden, '!' a group that hides its
// labels.
inline std::vector<Category> RandomCategories(RandomSource& source, int leaves, int depth) {
  std::vector<Category> categories;
  while (leaves > 0) {
    const int here = source.Pick(1, leaves);
    const std::string hidden = source.Pick(0, 4) == 0 ? "-" : "";
    if (here > 1 && depth < 3 && source.Pick(0, 1) == 1) {
      const std::string hidesLabels = source.Pick(0, 3) == 0 ? "!" : "";
      categories.push_back(
          Group("g" + hidden + hidesLabels, RandomCategories(source, here, depth + 1)));
      leaves -= here;
    } else {
      categories.push_back(Leaf("x" + hidden));
      --leaves;
    }
    if (source.Pick(0, 15) == 0) {
      categories.push_back(Group("e", {}));  // a group without leaves
    }
  }
  return categories;
}

// The subscript of each displayed leaf, in display order, worked out apart
// from the layout code: groups are entered, leaves are listed.
inline void LeafSubscripts(OmDimension::ConstNode node, std::vector<int>& out) {
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

inline RandomTable MakeRandomTable(RandomSource& source) {
  RandomTable made;
  const OmStringCell label("T", nullptr, false);
  made.table = std::make_unique<OmPivotTable>(label, label, false);
  OmPivotTable& table = *made.table;
  if (source.Pick(0, 1) == 1) table.CornerText(&label);
  const int dimensions = source.Pick(1, 4);
  for (int d = 0; d < dimensions; ++d) {
    const int leaves = source.Pick(0, 15) == 0 ? 0 : source.Pick(1, 5);
    std::vector<int> subscripts(static_cast<std::size_t>(leaves));
    std::iota(subscripts.begin(), subscripts.end(), 0);
    for (std::size_t k = subscripts.size(); k > 1; --k) {
      std::swap(subscripts[k - 1],
                subscripts[static_cast<std::size_t>(source.Pick(0, static_cast<int>(k - 1)))]);
    }
    std::string name = "D";
    if (source.Pick(0, 4) == 0) name += "-";
    if (source.Pick(0, 9) == 0) name += "!";
    AddDimension(table, name, RandomCategories(source, leaves, 0), subscripts);
    made.leafSubscripts.emplace_back();
    LeafSubscripts(table.Dimension(d).Root(), made.leafSubscripts.back());
    OMTREE_DISPLAY_CHECK(made.leafSubscripts.back().size() == static_cast<std::size_t>(leaves));
    const int where = source.Pick(0, 2);
    PuppetVector<short>& list =
        where == 0 ? table.Rows() : (where == 1 ? table.Columns() : table.Layers());
    const std::size_t at = static_cast<std::size_t>(source.Pick(0, static_cast<int>(list.size())));
    list.insert(list.begin() + static_cast<std::ptrdiff_t>(at), static_cast<short>(d));
  }
  if (source.Pick(0, 7) == 0) {
    // A placeholder that EndTable drops, since the lists then hold more
    // entries than there are dimensions.
    table.Columns()[table.Columns().size() + 1] = -1;
    table.Rows()[table.Rows().size()] = -1;
  }
  table.EndTable();
  OMTREE_DISPLAY_CHECK(table.Rows().size() + table.Columns().size() + table.Layers().size() ==
                       static_cast<std::size_t>(dimensions));
  const std::vector<int> sizes = table.SizeVector();
  if (std::find(sizes.begin(), sizes.end(), 0) == sizes.end()) {
    const int count = source.Pick(0, source.Pick(0, 1) == 1 ? 3 : 40);
    for (int i = 0; i < count; ++i) {
      Index index;
      for (int size : sizes)
        index.push_back(source.Pick(0, size - 1));
      switch (source.Pick(0, 7)) {
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
inline Index SubscriptsAt(const RandomTable& made, const PuppetVector<short>& list, std::size_t p,
                          Index base) {
  for (std::size_t k = list.size(); k-- > 0;) {
    const auto& leaves = made.leafSubscripts[static_cast<std::size_t>(list[k])];
    base[static_cast<std::size_t>(list[k])] = leaves[p % leaves.size()];
    p /= leaves.size();
  }
  return base;
}

inline std::size_t AxisTotal(const RandomTable& made, const PuppetVector<short>& list) {
  std::size_t total = 1;
  for (short d : list)
    total *= made.leafSubscripts[static_cast<std::size_t>(d)].size();
  return total;
}

inline bool Listed(const PuppetVector<short>& list, std::size_t d) {
  return std::find(list.begin(), list.end(), static_cast<short>(d)) != list.end();
}

// Brute force: the positions of the axis over target whose combination
// holds a stored cell that matches current in the dimensions listed in
// neither target nor other.
inline std::vector<std::size_t> Reference(const RandomTable& made,
                                          const PuppetVector<short>& target,
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

inline PuppetVector<short> Reversed(const PuppetVector<short>& list) {
  PuppetVector<short> reversed = list;
  std::reverse(reversed.begin(), reversed.end());
  return reversed;
}

// Both strategies of the non-empty search against the reference, for a few
// splits of the dimensions into target, other and held ones.
inline void CheckSearch(RandomSource& source, const RandomTable& made) {
  const OmPivotTable& table = *made.table;
  OmMemoryRegion arena(false);
  omtree_internal::Records records(&arena);
  for (std::size_t d = 0; d < table.NDimensions(); ++d) {
    records.push_back(new (arena.Allocate(sizeof(OmDisplayDimension)))
                          OmDisplayDimension(&arena, table.Dimension(static_cast<int>(d))));
  }
  Index current;
  for (int size : table.SizeVector())
    current.push_back(size > 0 ? source.Pick(0, size - 1) : 0);
  for (int split = 0; split < 4; ++split) {
    PuppetVector<short> target(-1);
    PuppetVector<short> other(-1);
    for (std::size_t d = 0; d < table.NDimensions(); ++d) {
      const int where = source.Pick(0, 2);
      if (where == 0) target.push_back(static_cast<short>(d));
      if (where == 1) other.push_back(static_cast<short>(d));
    }
    const auto expected = Reference(made, target, other, current);
    OMTREE_DISPLAY_CHECK(omtree_internal::NonEmptyPositions(table, records, current, target, other,
                                                            false) == expected);
    OMTREE_DISPLAY_CHECK(omtree_internal::NonEmptyPositions(table, records, current, target, other,
                                                            true) == expected);
  }
  for (OmDisplayDimension* record : records) {
    record->~OmDisplayDimension();
    OmMemoryRegion::Release(record);
  }
}

// The label stacks, level slices and leaf stacks of a column heading.
inline void CheckColumns(RandomSource& source, const OmDisplayColumnHeading& columns) {
  int height = 0;
  for (int k = 0; k < columns.NDimensions(); ++k)
    height += columns.VisibleHeight(k);
  OMTREE_DISPLAY_CHECK(height == columns.NRows());
  for (int r = 0; r < columns.NRows(); ++r) {
    const std::deque<ConstNode*> slice = columns.Row(r);
    OMTREE_DISPLAY_CHECK(slice.size() == static_cast<std::size_t>(columns.NColumns()));
    for (int c = 0; c < columns.NColumns(); ++c) {
      OMTREE_DISPLAY_CHECK(slice[static_cast<std::size_t>(c)] ==
                           columns.Column(c)[static_cast<std::size_t>(r)]);
    }
  }
  for (int c = 0; c < columns.NColumns(); ++c) {
    OMTREE_DISPLAY_CHECK(columns.Column(c).size() == static_cast<std::size_t>(columns.NRows()));
    const auto leaves = columns.ColumnCategories(c);
    OMTREE_DISPLAY_CHECK(leaves.size() == static_cast<std::size_t>(columns.NDimensions()));
    Index index;
    columns.Fill(index, c);
    std::vector<ConstNode*> rootNodes;
    std::vector<ConstNode*> leafNodes;
    columns.DimCatNodes(c, rootNodes, leafNodes);
    OMTREE_DISPLAY_CHECK(leafNodes.size() == leaves.size() && rootNodes.size() == leaves.size());
    for (int k = 0; k < columns.NDimensions(); ++k) {
      const auto at = static_cast<std::size_t>(k);
      const int d = columns.getDimensionIndex(k);
      OMTREE_DISPLAY_CHECK(static_cast<int>((*leaves[at])->Subscript()) ==
                           index[static_cast<std::size_t>(d)]);
      OMTREE_DISPLAY_CHECK(leafNodes[at] == leaves[at]);
      OMTREE_DISPLAY_CHECK(rootNodes[at]->IsRoot());
    }
  }
}

// The same for a row heading, whose label levels are its heading columns.
inline void CheckRows(RandomSource& source, const OmDisplayRowHeading& rows) {
  int width = 0;
  for (int k = 0; k < rows.NDimensions(); ++k)
    width += rows.VisibleWidth(k);
  OMTREE_DISPLAY_CHECK(width == rows.NColumns());
  for (int c = 0; c < rows.NColumns(); ++c) {
    const std::deque<ConstNode*> slice = rows.Column(c);
    OMTREE_DISPLAY_CHECK(slice.size() == static_cast<std::size_t>(rows.NRows()));
    for (int r = 0; r < rows.NRows(); ++r)
      OMTREE_DISPLAY_CHECK(slice[static_cast<std::size_t>(r)] ==
                           rows.Row(r)[static_cast<std::size_t>(c)]);
  }
  for (int r = 0; r < rows.NRows(); ++r) {
    OMTREE_DISPLAY_CHECK(rows.Row(r).size() == static_cast<std::size_t>(rows.NColumns()));
    const auto leaves = rows.RowCategories(r);
    OMTREE_DISPLAY_CHECK(leaves.size() == static_cast<std::size_t>(rows.NDimensions()));
    Index index;
    rows.Fill(index, r);
    for (int k = 0; k < rows.NDimensions(); ++k) {
      const int d = rows.getDimensionIndex(k);
      OMTREE_DISPLAY_CHECK(static_cast<int>((*leaves[static_cast<std::size_t>(k)])->Subscript()) ==
                           index[static_cast<std::size_t>(d)]);
    }
  }
  if (rows.NRows() > 0)
    OMTREE_DISPLAY_CHECK(rows.CornerText().size() == static_cast<std::size_t>(rows.NColumns()));
}

inline void CheckHeadings(RandomSource& source, const RandomTable& made, bool hide) {
  OmPivotTable& table = *made.table;
  const std::size_t dimensions = table.NDimensions();
  OmDisplayLayerHeading layers(table, hide);
  OMTREE_DISPLAY_CHECK(layers.getLayer() == -1);
  const PuppetVector<short> layerList = Reversed(table.Layers());
  PuppetVector<short> notLayers = table.Columns();
  notLayers.insert(notLayers.end(), table.Rows().begin(), table.Rows().end());
  const auto layerPositions = Reference(made, layerList, notLayers, Index(dimensions, 0));
  OMTREE_DISPLAY_CHECK(layers.NDimensions() == static_cast<int>(layerList.size()));

  for (int layer = 0; layers.NextLayer(); ++layer) {
    OMTREE_DISPLAY_CHECK(layers.getLayer() == layer);
    const Index current = layers.getCurrentCellIndex();
    OMTREE_DISPLAY_CHECK(current.size() == dimensions);
    if (hide) OMTREE_DISPLAY_CHECK(static_cast<std::size_t>(layer) < layerPositions.size());
    const std::size_t position =
        hide ? layerPositions[static_cast<std::size_t>(layer)] : static_cast<std::size_t>(layer);
    OMTREE_DISPLAY_CHECK(current == SubscriptsAt(made, layerList, position, Index(dimensions, 0)));
    for (int i = 0; i < layers.NDimensions(); ++i) {
      const int d = layers.getDimensionIndex(i);
      ConstNode* root = nullptr;
      ConstNode* leaf = nullptr;
      layers.DimCatNodes(i, root, leaf);
      OMTREE_DISPLAY_CHECK(root != nullptr && leaf != nullptr && root->IsRoot());
      OMTREE_DISPLAY_CHECK(static_cast<int>((*leaf)->Subscript()) ==
                           current[static_cast<std::size_t>(d)]);
      for (const ConstNode* label : layers.Nodes(i)) {
        if (label != nullptr) OMTREE_DISPLAY_CHECK(!(*label)->Hide());
      }
    }

    const auto columnsExpected = Reference(made, Reversed(table.Columns()), table.Rows(), current);
    const auto rowsExpected = Reference(made, Reversed(table.Rows()), table.Columns(), current);
    const OmDisplayColumnHeading columns(layers, hide);
    const OmDisplayRowHeading rows(layers, hide, source.Pick(0, 1) == 1);
    if (hide) {
      OMTREE_DISPLAY_CHECK(columns.getNonEmptyColumns() == columnsExpected);
      OMTREE_DISPLAY_CHECK(rows.getNonEmptyRows() == rowsExpected);
      OMTREE_DISPLAY_CHECK(static_cast<std::size_t>(columns.NColumns()) == columnsExpected.size());
      OMTREE_DISPLAY_CHECK(static_cast<std::size_t>(rows.NRows()) == rowsExpected.size());
    } else {
      OMTREE_DISPLAY_CHECK(static_cast<std::size_t>(columns.NColumns()) ==
                           AxisTotal(made, table.Columns()));
      OMTREE_DISPLAY_CHECK(static_cast<std::size_t>(rows.NRows()) == AxisTotal(made, table.Rows()));
    }
    CheckColumns(source, columns);
    CheckRows(source, rows);

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
        OMTREE_DISPLAY_CHECK((table.Cell(cellIndex) != nullptr) == stored);
        columnHolds = columnHolds || stored;
        if (stored) rowHolds[static_cast<std::size_t>(r)] = true;
        displayed += stored ? 1 : 0;
      }
      if (hide && rows.NRows() > 0) OMTREE_DISPLAY_CHECK(columnHolds);
    }
    if (hide && columns.NColumns() > 0) {
      OMTREE_DISPLAY_CHECK(
          std::all_of(rowHolds.begin(), rowHolds.end(), [](bool holds) { return holds; }));
    }
    const auto inLayer =
        std::count_if(made.cells.begin(), made.cells.end(), [&](const Index& cell) {
          for (short d : layerList) {
            if (cell[static_cast<std::size_t>(d)] != current[static_cast<std::size_t>(d)])
              return false;
          }
          return true;
        });
    OMTREE_DISPLAY_CHECK(displayed == static_cast<std::size_t>(inLayer));
  }
  const std::size_t layerCount = hide ? layerPositions.size() : AxisTotal(made, layerList);
  OMTREE_DISPLAY_CHECK(static_cast<std::size_t>(layers.getLayer() + 1) == layerCount);
  OMTREE_DISPLAY_CHECK(!layers.SwitchLayer(-1) && layers.getLayer() == -1);
}

// One random table, searched and laid out with and without hideEmpty.
inline void CheckRandomDisplay(RandomSource& source) {
  const RandomTable made = MakeRandomTable(source);
  CheckSearch(source, made);
  CheckHeadings(source, made, false);
  CheckHeadings(source, made, true);
}

#undef OMTREE_DISPLAY_CHECK

}  // namespace display_test

#endif  // OMTREE_TESTS_BACKEND_OMTREE_DISPLAYRANDOMCHECK_H_
