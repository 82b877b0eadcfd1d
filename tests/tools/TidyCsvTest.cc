// Tests of the tidy CSV export: the exact records of small tables with
// labels that need quoting, group levels, a dimension whose name is taken,
// and several tables sharing one file. tidy_csv_check.py reads a crosstab's
// file back with pandas and feeds it back through the crosstab.

#include <gtest/gtest.h>

#include <string>

#include "TidyCsv.h"
#include "tests/backend/omtree/DisplayTestSupport.h"

namespace {

using namespace display_test;  // NOLINT: table builders

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

OmPivotTable& AddTable(OmOutputTree& tree, const std::string& title) {
  auto* table = new OmPivotTable(Text(title), Text(title), false);
  tree.Root().AppendChild(table);
  return *table;
}

void Arrange(OmPivotTable& table) {
  table.Rows().push_back(0);
  table.Columns().push_back(1);
  table.EndTable();
}

OmPivotTable& QuotedLabelsTable(OmOutputTree& tree) {
  OmPivotTable& table = AddTable(tree, "First");
  AddDimension(table, "Row, \"x\"", {Group("G", {Leaf("a")}), Leaf("b\nc")});
  AddDimension(table, "value", {Leaf("v")});
  table.Cell({0, 0}, OmNumber(0.1));
  table.Cell({1, 0}, Text("t,\"u\""));
  Arrange(table);
  return table;
}

TEST(TidyCsv, QuotingGroupsAndTakenNames) {
  OmOutputTree tree;
  QuotedLabelsTable(tree);
  EXPECT_EQ(omrender::RenderTidyCsv(tree),
            "\"Row, \"\"x\"\" (group 1)\",\"Row, \"\"x\"\"\",value (2),value\r\n"
            "G,a,v,0.1\r\n"
            ",\"b\nc\",v,\"t,\"\"u\"\"\"\r\n");
}

// With two tables a "table" column leads, and the columns are the union
// of both tables' by name.
TEST(TidyCsv, SeveralTablesShareColumnsByName) {
  OmOutputTree tree;
  QuotedLabelsTable(tree);
  OmPivotTable& second = AddTable(tree, "Second");
  AddDimension(second, "Row, \"x\"", {Leaf("z")});
  AddDimension(second, "Other", {Leaf("o")});
  second.Cell({0, 0}, OmNumber(1e300));
  Arrange(second);
  EXPECT_EQ(omrender::RenderTidyCsv(tree),
            "table,\"Row, \"\"x\"\" (group 1)\",\"Row, \"\"x\"\"\",value (2),Other,value\r\n"
            "First,G,a,v,,0.1\r\n"
            "First,,\"b\nc\",v,,\"t,\"\"u\"\"\"\r\n"
            "Second,,z,,o,1e+300\r\n");
}

}  // namespace
