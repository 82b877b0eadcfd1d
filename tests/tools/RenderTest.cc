// Golden outputs of the text renderer: the demo document in both rule styles
// and small tables that pin the layout rules (see GoldenFile.h); texts with
// line breaks, in the grid and around it.

#include <gtest/gtest.h>

#include <cstddef>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "Demo.h"
#include "Text.h"
#include "TextWidth.h"
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

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Each kind of line break (LF, CR LF, a lone CR) in a row label, a column
// group spanning two columns and wider than them, a column label, a cell,
// the corner, a layer label and the texts around the grid.
TEST(RenderLineBreaks, TableTexts) {
  OmPivotTable table(Text("Breaks"), Text("Breaks"), false);
  table.SetTableTitle(Text("Title\nsecond"));
  const OmStringCell note = Text("Note\r\nmore");
  const int mark = table.Footnote(OmFootnote(&note, nullptr, nullptr), false);
  OmDimension& rows = AddDimension(table, "Rows", {Leaf("r1\nr1b"), Leaf("r2")});
  rows.Root().FirstChild()->Text()->Footnotes().push_back(static_cast<short>(mark));
  AddDimension(table, "Cols",
               {Group("Group\r\nlonger label", {Leaf("c1"), Leaf("c2\rc2b")}), Leaf("c3")});
  AddDimension(table, "Layer", {Leaf("l1\rl1b")});
  table.Cell({0, 0, 0}, OmNumber(5));
  table.Cell({0, 1, 0}, Text("a\nbb\r\nccc"));
  table.Cell({1, 2, 0}, OmNumber(123));
  table.Rows().push_back(0);
  table.Columns().push_back(1);
  table.Layers().push_back(2);
  table.EndTable();
  const OmStringCell caption = Text("Cap\rtion");
  table.Caption(&caption);
  const OmStringCell corner = Text("Corner\r\ntext");
  table.CornerText(&corner);

  omrender::Options options;
  options.ascii = true;
  EXPECT_EQ(omrender::RenderTable(table, options, "  "),
            "  Title\n"
            "  second\n"
            "  Layer: l1\n"
            "  l1b\n"
            "  +---------------+--------------------+\n"
            "  |               |        Cols        |\n"
            "  |               |    Group     | c3  |\n"
            "  |               | longer label |     |\n"
            "  | Corner        | c1 |   c2    |     |\n"
            "  | text          |    |   c2b   |     |\n"
            "  +------+--------+----+---------+-----+\n"
            "  | Rows | r1     |  5 | a       |     |\n"
            "  |      | r1b[a] |    | bb      |     |\n"
            "  |      |        |    | ccc     |     |\n"
            "  |      | r2     |    |         | 123 |\n"
            "  +------+--------+----+---------+-----+\n"
            "  a. Note\n"
            "  more\n"
            "  Cap\n"
            "  tion\n");
}

// The outline's own texts with line breaks: every line stays at its item's
// indent, after the margin of a text block's or a log's lines.
TEST(RenderLineBreaks, OutlineTexts) {
  OmOutputTree tree;
  auto* procedure = new OmProcedure(Text("Proc\r\ntitle"), "en", "UTF-8", "en_US");
  procedure->SetCommand("run one\nrun two");
  ListTree<OmOutputPart*>::Node node = tree.Root().AppendChild(procedure);
  node.AppendChild(new OmHeading(Text("Head\rline")));
  auto* block = new OmTextBlock(Text("Block\ntitle"), "UTF-8");
  block->TextList().push_back("x\r\ny");
  node.AppendChild(block);
  auto* log = new OmTextBlock(Text("Log"), "UTF-8");
  log->TextList().push_back("l1\nl2");
  node.AppendChild(log);
  auto* title = new OmPageTitle("UTF-8");
  title->TextList().push_back("p\rq");
  node.AppendChild(title);
  node.AppendChild(new OmChart(Text("Bars\nof x"), ""));

  EXPECT_EQ(omrender::RenderDocument(tree, omrender::Options()),
            "Output\n"
            "  Proc\n"
            "  title [run one\n"
            "  run two]\n"
            "    Head\n"
            "    line\n"
            "    Block\n"
            "    title\n"
            "      x\n"
            "      y\n"
            "    Log\n"
            "      > l1\n"
            "      > l2\n"
            "    Page title: p\n"
            "    q\n"
            "    Chart: Bars\n"
            "    of x (XML 0 B, data 0 B, image 0 B, sub-type 0)\n");
}

// Random labels and cells of one to three lines, some wide, broken by each
// kind of break: every line drawn between the top and bottom rules is as
// wide as the rules, so the box stays closed.
TEST(RenderLineBreaks, GridStaysBoxed) {
  const std::vector<std::string> words = {"a", "bb", "wide", "表", "表表", "é", ""};
  const std::vector<std::string> breaks = {"\n", "\r\n", "\r"};
  std::mt19937 random(20260101);
  const auto pick = [&random](const std::vector<std::string>& from) {
    return from[std::uniform_int_distribution<std::size_t>(0, from.size() - 1)(random)];
  };
  const auto randomText = [&] {
    std::string text = pick(words);
    for (int lines = std::uniform_int_distribution<int>(1, 3)(random); lines > 1; --lines)
      text += pick(breaks) + pick(words);
    return text;
  };
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    // Drawn first: the order of evaluation of arguments is unspecified.
    std::vector<std::string> t(13);
    for (std::string& label : t)
      label = randomText();
    OmPivotTable table(Text("T"), Text("T"), false);
    AddDimension(table, t[0], {Leaf(t[1]), Group(t[2], {Leaf(t[3]), Leaf(t[4])})});
    AddDimension(table, t[5], {Group(t[6], {Leaf(t[7]), Leaf(t[8])}), Leaf(t[9])});
    AddDimension(table, t[10], {Leaf(t[11]), Leaf(t[12])});
    for (int r = 0; r < 3; ++r) {
      for (int c = 0; c < 3; ++c) {
        if (random() % 2 == 0) table.Cell({r, c, 0}, OmNumber(r * 10 + c));
        if (random() % 2 == 0) table.Cell({r, c, 1}, Text(randomText()));
      }
    }
    table.Rows().push_back(0);
    table.Columns().push_back(1);
    table.Columns().push_back(2);
    table.EndTable();
    const OmStringCell corner = Text(randomText());
    table.CornerText(&corner);

    omrender::Options options;
    options.ascii = round % 2 == 1;
    std::istringstream out(omrender::RenderTable(table, options));
    std::string line;
    std::getline(out, line);
    ASSERT_EQ(line, "T");
    std::getline(out, line);
    const std::size_t width = omrender::DisplayWidth(line);
    std::size_t drawn = 1;
    while (std::getline(out, line)) {
      EXPECT_EQ(omrender::DisplayWidth(line), width) << line;
      ++drawn;
    }
    EXPECT_GE(drawn, 7u) << "three rules, a head row and three data rows at least";
  }
}

}  // namespace
