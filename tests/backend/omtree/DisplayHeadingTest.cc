// The labels the display headings show, worked out by hand: hidden nodes,
// groups that hide their labels, dimension names moved to the corner, and
// the layer heading's stepping. What holds for any table (the non-empty
// searches, heights, slices against stacks, leaf and root nodes, and Fill
// composing the index of every displayed cell) is checked on random tables
// in DisplayRandomTest.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/backend/omtree/DisplayTestSupport.h"

namespace {

using ::testing::ElementsAre;
using namespace display_test;  // NOLINT: test helpers

OmPivotTable MakeTable() {
  const OmStringCell label("Table", nullptr, false);
  return OmPivotTable(label, label, false);
}

// Labels joined with spaces.
template <typename Nodes>
std::string Joined(const Nodes& nodes) {
  std::string joined;
  for (const std::string& label : Labels(nodes))
    joined += (joined.empty() ? "" : " ") + label;
  return joined;
}

// One column dimension against the label stack of every display column.
TEST(OmDisplayColumnHeadingLabels, HandWorkedShapes) {
  struct ColumnCase {
    const char* shape;
    const char* dimensionName;
    std::vector<Category> categories;
    std::vector<std::string> columns;
  };
  const std::vector<ColumnCase> cases = {
      {"leaf beside a nested leaf", "D", {Leaf("x"), Group("g", {Leaf("y")})}, {"D x .", "D g y"}},
      {"hidden root", "D-", {Leaf("x"), Group("g", {Leaf("y")})}, {"x .", "g y"}},
      {"group hiding its labels", "D", {Leaf("x"), Group("g!", {Leaf("y")})}, {"D x", "D ."}},
      {"hidden group hiding its labels",
       "D",
       {Leaf("x"), Group("g-!", {Leaf("y")})},
       {"D x", "D ."}},
      {"hidden leaf keeps its column", "D", {Leaf("x-"), Leaf("y")}, {"D .", "D y"}},
      {"nested groups",
       "D",
       {Group("g", {Group("h", {Leaf("x")}), Leaf("y")})},
       {"D g h x", "D g y ."}},
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
    ASSERT_EQ(columns.NColumns(), static_cast<int>(test.columns.size()));
    for (int c = 0; c < columns.NColumns(); ++c) {
      EXPECT_EQ(Joined(columns.Column(c)), test.columns[static_cast<std::size_t>(c)]) << c;
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
    const char* corner;
    const char* firstRow;
    const char* lastRow;
  };
  const std::vector<RowCase> cases = {
      {"names in the heading", "A", "B", false, 5, "corner . . . .", "A a1 B b1 .", "A a2 B g b2"},
      {"names in the corner", "A", "B", true, 3, "A B .", "a1 b1 .", "a2 g b2"},
      {"hidden roots keep their heights", "A-", "B-", true, 3, "corner . .", "a1 b1 .", "a2 g b2"},
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
    EXPECT_EQ(Joined(rows.CornerText()), test.corner);
    EXPECT_EQ(Joined(rows.Row(0)), test.firstRow);
    EXPECT_EQ(Joined(rows.Row(3)), test.lastRow);
    EXPECT_EQ(Joined(rows.RowCategories(1)), "a1 b2");
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

TEST(OmDisplayLayerHeadingLayers, CountingSteppingAndRestoring) {
  OmPivotTable table = MakeTable();
  AddDimension(table, "R", {Leaf("r0"), Leaf("r1")});
  AddDimension(table, "L-", {Leaf("l0"), Group("g", {Leaf("l1")}), Group("h!", {Leaf("l2")})});
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
  EXPECT_FALSE(all.SwitchLayer(3));
  EXPECT_FALSE(all.SwitchLayer(-2));
  EXPECT_EQ(all.getLayer(), 1);
  EXPECT_FALSE(all.SwitchLayer(-1));
  EXPECT_EQ(all.getLayer(), -1);
  EXPECT_THAT(all.getCurrentCellIndex(), ElementsAre(0, 1)) << "kept from the last layer";
  EXPECT_EQ(all.restoreLayer(), -1);
}

}  // namespace
