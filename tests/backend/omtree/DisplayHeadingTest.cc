#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/backend/omtree/DisplayTestSupport.h"

namespace {

using ::testing::ElementsAre;
using namespace display_test;  // NOLINT: test helpers

using Strings = std::vector<std::string>;

OmPivotTable MakeTable() {
  const OmStringCell label("Table", nullptr, false);
  return OmPivotTable(label, label, false);
}

// One column dimension, laid out by the column heading, against the labels
// worked out by hand.
struct ColumnCase {
  const char* shape;
  std::vector<Category> categories;
  const char* dimensionName;
  int height;
  std::vector<Strings> columns;  // label stack per display column
};

TEST(OmDisplayColumnHeadingLabels, HandWorkedShapes) {
  const std::vector<ColumnCase> cases = {
      {"leaf beside a nested leaf",
       {Leaf("x"), Group("g", {Leaf("y")})},
       "D",
       3,
       {{"D", "x", "."}, {"D", "g", "y"}}},
      {"hidden root", {Leaf("x"), Group("g", {Leaf("y")})}, "D-", 2, {{"x", "."}, {"g", "y"}}},
      {"group hiding its labels",
       {Leaf("x"), Group("g!", {Leaf("y")})},
       "D",
       2,
       {{"D", "x"}, {"D", "."}}},
      {"hidden group hiding its labels",
       {Leaf("x"), Group("g-!", {Leaf("y")})},
       "D",
       2,
       {{"D", "x"}, {"D", "."}}},
      {"hidden leaf keeps its column", {Leaf("x-"), Leaf("y")}, "D", 2, {{"D", "."}, {"D", "y"}}},
      {"nested groups",
       {Group("g", {Group("h", {Leaf("x")}), Leaf("y")})},
       "D",
       4,
       {{"D", "g", "h", "x"}, {"D", "g", "y", "."}}},
  };
  for (const ColumnCase& test : cases) {
    SCOPED_TRACE(test.shape);
    OmPivotTable table = MakeTable();
    AddDimension(table, test.dimensionName, test.categories);
    table.Columns().push_back(0);
    table.EndTable();
    OmDisplayLayerHeading layers(table, false);
    layers.NextLayer();
    OmDisplayColumnHeading columns(layers, false);
    EXPECT_EQ(columns.NRows(), test.height);
    EXPECT_EQ(columns.VisibleHeight(0), test.height);
    ASSERT_EQ(columns.NColumns(), static_cast<int>(test.columns.size()));
    for (int c = 0; c < columns.NColumns(); ++c) {
      EXPECT_EQ(Labels(columns.Column(c)), test.columns[static_cast<std::size_t>(c)]) << c;
    }
    // A heading row is the same level of every column, in column order.
    for (int r = 0; r < columns.NRows(); ++r) {
      Strings expected;
      for (const Strings& column : test.columns)
        expected.push_back(column[static_cast<std::size_t>(r)]);
      EXPECT_EQ(Labels(columns.Row(r)), expected);
    }
  }
}

// Row dimensions with their names in the corner, against hand-worked
// heights, labels and corner texts.
TEST(OmDisplayRowHeadingCorner, NamesMoveToTheCornerAboveTheirBlocks) {
  struct RowCase {
    const char* shape;
    const char* outer;
    const char* inner;
    bool namesInCorner;
    int width;
    Strings corner;
    Strings firstRow;
    Strings lastRow;
  };
  const std::vector<RowCase> cases = {
      {"names in the heading",
       "A",
       "B",
       false,
       5,
       {"corner", ".", ".", ".", "."},
       {"A", "a1", "B", "b1", "."},
       {"A", "a2", "B", "g", "b2"}},
      {"names in the corner",
       "A",
       "B",
       true,
       3,
       {"A", "B", "."},
       {"a1", "b1", "."},
       {"a2", "g", "b2"}},
      {"hidden roots keep their heights",
       "A-",
       "B-",
       true,
       3,
       {"corner", ".", "."},
       {"a1", "b1", "."},
       {"a2", "g", "b2"}},
  };
  for (const RowCase& test : cases) {
    SCOPED_TRACE(test.shape);
    OmPivotTable table = MakeTable();
    const OmStringCell corner("corner", nullptr, false);
    table.CornerText(&corner);
    AddDimension(table, test.inner, {Leaf("b1"), Group("g", {Leaf("b2")})});
    AddDimension(table, test.outer, {Leaf("a1"), Leaf("a2")});
    table.Rows().push_back(0);  // innermost first
    table.Rows().push_back(1);
    table.EndTable();
    OmDisplayLayerHeading layers(table, false);
    OmDisplayRowHeading rows(layers, false, test.namesInCorner);
    EXPECT_EQ(rows.NColumns(), test.width);
    EXPECT_EQ(rows.NRows(), 4);
    EXPECT_EQ(rows.getDimensionIndex(0), 1) << "the outermost first";
    EXPECT_EQ(Labels(rows.CornerText()), test.corner);
    EXPECT_EQ(Labels(rows.Row(0)), test.firstRow);
    EXPECT_EQ(Labels(rows.Row(3)), test.lastRow);
    EXPECT_THAT(Labels(rows.RowCategories(1)), ElementsAre("a1", "b2"));
  }

  // A dimension whose only visible label is its name takes no heading column
  // once the name moves out, and its name is shown nowhere.
  OmPivotTable table = MakeTable();
  AddDimension(table, "A", {Leaf("a1-"), Leaf("a2-")});
  table.Rows().push_back(0);
  table.EndTable();
  OmDisplayLayerHeading layers(table, false);
  OmDisplayRowHeading rows(layers, false, true);
  EXPECT_EQ(rows.NColumns(), 0);
  EXPECT_TRUE(rows.CornerText().empty());
  EXPECT_TRUE(rows.Row(1).empty());
}

// A 2 x 3 x 2 table read through the three headings: the three Fill
// operations together name every displayed cell.
TEST(OmDisplayHeadings, FillsComposeTheIndexOfEveryDisplayedCell) {
  OmPivotTable table = MakeTable();
  AddDimension(table, "R", {Leaf("r0"), Leaf("r1")}, {1, 0});
  AddDimension(table, "C", {Leaf("c0"), Group("g", {Leaf("c1"), Leaf("c2")})});
  AddDimension(table, "L", {Leaf("l0"), Leaf("l1")});
  for (int r = 0; r < 2; ++r) {
    for (int c = 0; c < 3; ++c) {
      for (int l = 0; l < 2; ++l) {
        if ((r + c + l) % 3 == 0) continue;  // some empty cells
        table.Cell({r, c, l},
                   OmStringCell(std::to_string(r) + std::to_string(c) + std::to_string(l), nullptr,
                                false));
      }
    }
  }
  table.Rows().push_back(0);
  table.Columns().push_back(1);
  table.Layers().push_back(2);
  table.EndTable();

  OmDisplayLayerHeading layers(table, false);
  std::vector<std::string> seen;
  while (layers.NextLayer()) {
    OmDisplayColumnHeading columns(layers, false);
    OmDisplayRowHeading rows(layers, false, false);
    for (int r = 0; r < rows.NRows(); ++r) {
      for (int c = 0; c < columns.NColumns(); ++c) {
        std::vector<int> index;
        layers.Fill(index);
        columns.Fill(index, c);
        rows.Fill(index, r);
        const OmCellText* cell = table.Cell(index);
        seen.push_back(cell != nullptr ? cell->AsString() : ".");
      }
    }
  }
  // Display row 0 is the leaf r0, whose subscript is 1.
  EXPECT_THAT(seen, ElementsAre("100", "110", ".", ".", "010", "020",    // layer l0
                                "101", ".", "121", "001", "011", "."));  // layer l1
  EXPECT_EQ(layers.getLayer(), 1) << "stays on the last layer";

  // Hiding empty rows and columns in layer l0.
  layers.SwitchLayer(0);
  OmDisplayColumnHeading columns(layers, true);
  OmDisplayRowHeading rows(layers, true, false);
  EXPECT_THAT(columns.getNonEmptyColumns(), ElementsAre(0, 1, 2));
  table.deleteCell({0, 2, 0});
  OmDisplayColumnHeading fewer(layers, true);
  EXPECT_THAT(fewer.getNonEmptyColumns(), ElementsAre(0, 1));
  std::vector<int> index = {9, 9, 9, 9};
  fewer.Fill(index, 1);
  EXPECT_THAT(index, ElementsAre(9, 1, 9)) << "sized to the table, other entries kept";
  std::vector<ConstNode*> roots;
  std::vector<ConstNode*> leaves;
  fewer.DimCatNodes(1, roots, leaves);
  fewer.DimCatNodes(0, roots, leaves);
  EXPECT_THAT(Labels(std::deque<ConstNode*>(roots.begin(), roots.end())), ElementsAre("C", "C"));
  EXPECT_THAT(Labels(std::deque<ConstNode*>(leaves.begin(), leaves.end())),
              ElementsAre("c1", "c0"));
}

TEST(OmDisplayLayerHeadingLayers, CountingSteppingAndRestoring) {
  OmPivotTable table = MakeTable();
  AddDimension(table, "R", {Leaf("r0"), Leaf("r1")});
  AddDimension(table, "L-", {Leaf("l0"), Group("g", {Leaf("l1")}), Group("h!", {Leaf("l2")})});
  table.Cell({0, 2}, OmStringCell("x", nullptr, false));
  table.Rows().push_back(0);
  table.Layers().push_back(1);
  table.EndTable();
  table.setLayerLoc(-1);

  OmDisplayLayerHeading all(table, false);
  EXPECT_EQ(all.getLayer(), -1);
  EXPECT_EQ(all.VisibleWidth(0), 2) << "the hidden root does not count";
  EXPECT_TRUE(all.Nodes(0).empty()) << "no layer selected";
  all.LastLayer();
  EXPECT_EQ(all.getLayer(), 2);
  EXPECT_FALSE(all.NextLayer());
  EXPECT_EQ(all.getLayer(), 2);
  EXPECT_THAT(Labels(all.Nodes(0)), ElementsAre(".")) << "ends above the group hiding labels";
  EXPECT_TRUE(all.SwitchLayer(1));
  EXPECT_THAT(Labels(all.Nodes(0)), ElementsAre(".", "g", "l1"));
  ConstNode* root = nullptr;
  ConstNode* leaf = nullptr;
  all.DimCatNodes(0, root, leaf);
  EXPECT_EQ(Label(root), "L");
  EXPECT_EQ(Label(leaf), "l1");
  EXPECT_FALSE(all.SwitchLayer(3));
  EXPECT_FALSE(all.SwitchLayer(-2));
  EXPECT_EQ(all.getLayer(), 1);
  EXPECT_FALSE(all.SwitchLayer(-1));
  EXPECT_EQ(all.getLayer(), -1);
  EXPECT_THAT(all.getCurrentCellIndex(), ElementsAre(0, 1)) << "kept from the last layer";
  EXPECT_EQ(all.restoreLayer(), -1);

  // Hiding empty layers: layer 0 of the heading stands for the only layer
  // that holds a cell, the third.
  OmDisplayLayerHeading nonEmpty(table, true);
  EXPECT_TRUE(nonEmpty.NextLayer());
  EXPECT_FALSE(nonEmpty.NextLayer());
  std::vector<int> index = {7, 7, 7};
  nonEmpty.Fill(index);
  EXPECT_THAT(index, ElementsAre(7, 2));

  // No layer dimensions: one layer, or none when nothing is stored.
  OmPivotTable flat = MakeTable();
  AddDimension(flat, "R", {Leaf("r0")});
  flat.Rows().push_back(0);
  OmDisplayLayerHeading one(flat, false);
  EXPECT_EQ(one.NDimensions(), 0);
  EXPECT_TRUE(one.NextLayer());
  EXPECT_FALSE(one.NextLayer());
  OmDisplayLayerHeading none(flat, true);
  EXPECT_FALSE(none.NextLayer());
  none.LastLayer();
  EXPECT_EQ(none.getLayer(), -1);
}

}  // namespace
