// Random tables through the non-empty search and all three headings: both
// search strategies against each other and against a brute-force reference,
// and the invariants that tie the headings to the table.

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <string>
#include <vector>

#include "backend/omtree/DisplayLayout.h"
#include "tests/backend/omtree/DisplayTestSupport.h"

namespace {

using namespace display_test;  // NOLINT: test helpers
using Index = std::vector<int>;

// A random category tree with n leaves: groups nest at random, about one
// node in five is hidden, one group in four hides its labels.
std::vector<Category> RandomCategories(std::mt19937& random, int leaves, int depth = 0) {
  std::vector<Category> categories;
  while (leaves > 0) {
    const int here = 1 + static_cast<int>(random() % static_cast<unsigned>(leaves));
    const std::string flags = std::string(random() % 5 == 0 ? "-" : "");
    if (here > 1 && depth < 3 && random() % 2 == 0) {
      categories.push_back(Group("g" + flags + (random() % 4 == 0 ? "!" : ""),
                                 RandomCategories(random, here, depth + 1)));
      leaves -= here;
    } else {
      categories.push_back(Leaf("x" + flags));
      --leaves;
    }
  }
  return categories;
}

// The subscript of each displayed leaf of dimension, in display order,
// worked out independently of the layout code.
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
  std::map<Index, bool> cells;
  std::vector<std::vector<int>> leafSubscripts;  // per dimension, display order
};

RandomTable MakeRandomTable(std::mt19937& random) {
  RandomTable made;
  const OmStringCell label("T", nullptr, false);
  made.table = std::make_unique<OmPivotTable>(label, label, false);
  OmPivotTable& table = *made.table;
  const int dimensions = 1 + static_cast<int>(random() % 4);
  for (int d = 0; d < dimensions; ++d) {
    const int leaves = random() % 12 == 0 ? 0 : 1 + static_cast<int>(random() % 4);
    std::vector<int> subscripts(static_cast<std::size_t>(leaves));
    std::iota(subscripts.begin(), subscripts.end(), 0);
    std::shuffle(subscripts.begin(), subscripts.end(), random);
    AddDimension(table, std::string("D") + (random() % 5 == 0 ? "-" : ""),
                 RandomCategories(random, leaves), subscripts);
    made.leafSubscripts.emplace_back();
    LeafSubscripts(table.Dimension(d).Root(), made.leafSubscripts.back());
    PuppetVector<short>& axis =
        random() % 3 == 0 ? table.Rows() : (random() % 2 == 0 ? table.Columns() : table.Layers());
    axis.push_back(static_cast<short>(d));
  }
  table.EndTable();
  const std::vector<int> sizes = table.SizeVector();
  if (std::find(sizes.begin(), sizes.end(), 0) == sizes.end()) {
    const int count = static_cast<int>(random() % (random() % 2 == 0 ? 3 : 40));
    for (int i = 0; i < count; ++i) {
      Index index;
      for (int size : sizes)
        index.push_back(static_cast<int>(random() % static_cast<unsigned>(size)));
      table.Cell(index, label);
      made.cells[index] = true;
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

// Brute force: the positions of the axis over target whose combination
// holds a stored cell that matches current outside target and other.
std::vector<std::size_t> Reference(const RandomTable& made, const PuppetVector<short>& target,
                                   const PuppetVector<short>& other, const Index& current) {
  std::vector<bool> free(current.size(), false);
  for (short d : target)
    free[static_cast<std::size_t>(d)] = true;
  for (short d : other)
    free[static_cast<std::size_t>(d)] = true;
  std::size_t total = 1;
  for (short d : target)
    total *= made.leafSubscripts[static_cast<std::size_t>(d)].size();
  std::vector<std::size_t> positions;
  for (std::size_t p = 0; p < total; ++p) {
    const Index wanted = SubscriptsAt(made, target, p, current);
    const bool hit = std::any_of(made.cells.begin(), made.cells.end(), [&](const auto& cell) {
      for (std::size_t d = 0; d < wanted.size(); ++d) {
        if (free[d] &&
            std::find(target.begin(), target.end(), static_cast<short>(d)) == target.end()) {
          continue;
        }
        if (cell.first[d] != wanted[d]) return false;
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

TEST(OmDisplayRandom, BothSearchStrategiesMatchTheReference) {
  std::mt19937 random(2026);
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    RandomTable made = MakeRandomTable(random);
    const OmPivotTable& table = *made.table;
    OmMemoryRegion arena(false);
    omtree_internal::Records records(&arena);
    for (std::size_t d = 0; d < table.NDimensions(); ++d) {
      records.push_back(new (arena.Allocate(sizeof(OmDisplayDimension)))
                            OmDisplayDimension(&arena, table.Dimension(static_cast<int>(d))));
    }
    // Every split of the dimensions into target, other and held ones, at a
    // random current index.
    Index current;
    for (int size : table.SizeVector())
      current.push_back(size > 0 ? static_cast<int>(random() % static_cast<unsigned>(size)) : 0);
    for (int split = 0; split < 4; ++split) {
      PuppetVector<short> target(-1);
      PuppetVector<short> other(-1);
      for (std::size_t d = 0; d < table.NDimensions(); ++d) {
        const unsigned where = random() % 3;
        if (where == 0) target.push_back(static_cast<short>(d));
        if (where == 1) other.push_back(static_cast<short>(d));
      }
      const auto expected = Reference(made, target, other, current);
      for (bool sparse : {false, true}) {
        ASSERT_EQ(
            omtree_internal::NonEmptyPositions(table, records, current, target, other, sparse),
            expected)
            << (sparse ? "sparse" : "dense");
      }
    }
    for (OmDisplayDimension* record : records)
      record->~OmDisplayDimension();
  }
}

TEST(OmDisplayRandom, HeadingsAgreeWithTheTable) {
  std::mt19937 random(77);
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE(round);
    RandomTable made = MakeRandomTable(random);
    OmPivotTable& table = *made.table;
    const bool hide = random() % 2 == 0;
    OmDisplayLayerHeading layers(table, hide);
    const PuppetVector<short> layerList = Reversed(table.Layers());
    PuppetVector<short> notLayers = table.Columns();
    notLayers.insert(notLayers.end(), table.Rows().begin(), table.Rows().end());
    const auto layerPositions =
        Reference(made, layerList, notLayers, Index(table.NDimensions(), 0));
    for (int layer = 0; layers.NextLayer(); ++layer) {
      const Index current = layers.getCurrentCellIndex();
      if (hide) {
        // Layer k stands for the k-th non-empty layer.
        ASSERT_LT(static_cast<std::size_t>(layer), layerPositions.size());
        ASSERT_EQ(current,
                  SubscriptsAt(made, layerList, layerPositions[static_cast<std::size_t>(layer)],
                               Index(table.NDimensions(), 0)));
      }
      const auto columnsExpected =
          Reference(made, Reversed(table.Columns()), table.Rows(), current);
      const auto rowsExpected = Reference(made, Reversed(table.Rows()), table.Columns(), current);
      OmDisplayColumnHeading columns(layers, hide);
      OmDisplayRowHeading rows(layers, hide, random() % 2 == 0);
      if (hide) {
        ASSERT_EQ(columns.getNonEmptyColumns(), columnsExpected);
        ASSERT_EQ(rows.getNonEmptyRows(), rowsExpected);
      }
      bool anyCell = false;
      std::size_t displayed = 0;
      for (int c = 0; c < columns.NColumns(); ++c) {
        ASSERT_EQ(columns.Column(c).size(), static_cast<std::size_t>(columns.NRows()));
        const auto leaves = columns.ColumnCategories(c);
        ASSERT_EQ(leaves.size(), static_cast<std::size_t>(columns.NDimensions()));
        Index index;
        columns.Fill(index, c);
        for (int k = 0; k < columns.NDimensions(); ++k) {
          const int d = columns.getDimensionIndex(k);
          ASSERT_EQ(static_cast<int>((*leaves[static_cast<std::size_t>(k)])->Subscript()),
                    index[static_cast<std::size_t>(d)]);
        }
        bool columnHolds = false;
        for (int r = 0; r < rows.NRows(); ++r) {
          ASSERT_EQ(rows.Row(r).size(), static_cast<std::size_t>(rows.NColumns()));
          Index cellIndex;
          layers.Fill(cellIndex);
          columns.Fill(cellIndex, c);
          rows.Fill(cellIndex, r);
          const bool stored = made.cells.count(cellIndex) != 0;
          ASSERT_EQ(table.Cell(cellIndex) != nullptr, stored);
          columnHolds = columnHolds || stored;
          displayed += stored ? 1 : 0;
        }
        if (hide && rows.NRows() > 0) {
          ASSERT_TRUE(columnHolds) << "a shown column holds a cell";
        }
        anyCell = anyCell || columnHolds;
      }
      if (hide && columns.NColumns() > 0 && rows.NRows() > 0) {
        ASSERT_TRUE(anyCell) << "a shown layer holds a cell";
      }
      if (rows.NRows() > 0) {
        ASSERT_EQ(rows.CornerText().size(), static_cast<std::size_t>(rows.NColumns()));
      }
      if (hide) {
        // Every stored cell of the layer is displayed, found through the
        // three Fill operations.
        const auto inLayer =
            std::count_if(made.cells.begin(), made.cells.end(), [&](const auto& cell) {
              for (short d : layerList) {
                if (cell.first[static_cast<std::size_t>(d)] != current[static_cast<std::size_t>(d)])
                  return false;
              }
              return true;
            });
        ASSERT_EQ(displayed, static_cast<std::size_t>(inLayer));
      }
    }
    std::size_t layerTotal = 1;
    for (short d : layerList)
      layerTotal *= made.leafSubscripts[static_cast<std::size_t>(d)].size();
    ASSERT_EQ(static_cast<std::size_t>(layers.getLayer() + 1),
              hide ? layerPositions.size() : layerTotal);
  }
}

}  // namespace
