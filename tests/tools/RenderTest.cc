// Golden outputs of the text renderer: the demo document in both rule styles
// and small tables that pin the layout rules (see GoldenFile.h).

#include <gtest/gtest.h>

#include <string>

#include "Demo.h"
#include "Render.h"
#include "tests/backend/omtree/DisplayTestSupport.h"
#include "tests/tools/GoldenFile.h"

namespace {

using golden::ExpectGolden;

using namespace display_test;  // NOLINT: table builders

TEST(RenderGolden, DemoDocument) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  omrender::Options options;
  ExpectGolden("demo.txt", omrender::RenderDocument(*demo, options));
  options.ascii = true;
  options.hideEmpty = true;
  options.namesInCorner = true;
  ExpectGolden("demo-ascii-hide-empty-names.txt", omrender::RenderDocument(*demo, options));
  options.layer = 3;
  ExpectGolden("demo-ascii-layer-3.txt", omrender::RenderDocument(*demo, options));
}

// A table of two row dimensions, one column dimension with a group and a
// hidden leaf, and one layer dimension with an empty layer, rendered with
// each option that changes the layout. Hidden leaves are never shown, even
// where they hold cells: the row o3, the column c3 and the second layer; a
// hidden group only loses its label, and --layer counts the shown layers.
TEST(RenderGolden, LayoutRules) {
  OmPivotTable table(OmStringCell("Rules", nullptr, false), OmStringCell("Rules", nullptr, false),
                     false);
  const OmStringCell note("A note on a label.", nullptr, false);
  const int mark = table.Footnote(OmFootnote(&note, nullptr, nullptr), false);
  AddDimension(table, "Inner", {Leaf("i1"), Group("hidden labels!", {Leaf("i2")})});
  OmDimension& outer = AddDimension(table, "Outer-", {Leaf("o1"), Leaf("o2"), Leaf("o3-")});
  outer.Root().FirstChild()->Text()->Footnotes().push_back(static_cast<short>(mark));
  AddDimension(table, "Columns",
               {Group("Span", {Leaf("c1"), Leaf("c2 wide label")}), Leaf("c3-"), Leaf("c4"),
                Group("hidden group-", {Leaf("c5")})});
  AddDimension(table, "Layer", {Leaf("full"), Leaf("hidden-"), Leaf("empty")});
  for (int i = 0; i < 2; ++i) {
    for (int o = 0; o < 3; ++o) {
      for (int c = 0; c < 5; ++c) {
        if (i == 1 && o == 1) continue;  // an empty row
        if (c == 2 || c == 3) continue;  // an empty hidden column, an empty column
        table.Cell({i, o, c, 0}, OmNumber(100 * i + 10 * o + c));
        table.Cell({i, o, c, 1}, OmNumber(-1));
      }
    }
  }
  table.Cell({0, 0, 3, 0}, OmStringCell("text", nullptr, false));
  table.Rows().push_back(0);
  table.Rows().push_back(1);
  table.Columns().push_back(2);
  table.Layers().push_back(3);
  table.EndTable();

  omrender::Options options;
  std::string out = omrender::RenderTable(table, options);
  options.hideEmpty = true;
  out += omrender::RenderTable(table, options);
  options.namesInCorner = true;
  options.ascii = true;
  out += omrender::RenderTable(table, options);
  options.hideEmpty = false;
  options.layer = 1;
  out += omrender::RenderTable(table, options);
  ExpectGolden("layout-rules.txt", out);
}

}  // namespace
