// Tests of the Markdown export: the exact text of a small table whose
// labels are full of Markdown's special characters, and the fences of logs.
// markdown_check.py reads the pipe tables of a crosstab back and compares
// them with counts of its own.

#include <gtest/gtest.h>

#include <string>

#include "Markdown.h"
#include "tests/backend/omtree/DisplayTestSupport.h"

namespace {

using namespace display_test;  // NOLINT: table builders

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// The head rows fold into one header row, the row labels repeat on every
// row, and each special character comes out escaped where it would be
// read as markup.
TEST(MarkdownTable, SpecialCharactersEscaped) {
  OmOutputTree tree;
  auto* table = new OmPivotTable(Text("T~*"), Text("T"), false);
  tree.Root().AppendChild(table);
  const OmStringCell note = Text("N[1]");
  const int mark = table->Footnote(OmFootnote(&note, nullptr, nullptr), false);
  OmDimension& rows =
      AddDimension(*table, "R|1", {Group("G_*", {Leaf("#a"), Leaf("b\\c")}), Leaf("1. d")});
  rows.Root().FirstChild().FirstChild()->Text()->Footnotes().push_back(static_cast<short>(mark));
  AddDimension(*table, "C`x", {Leaf("c<1>"), Leaf("e\nf")});
  table->Cell({0, 0}, OmNumber(1));
  table->Cell({1, 1}, Text("x|y&"));
  table->Cell({2, 0}, OmNumber(3));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->EndTable();
  const OmStringCell caption = Text("- cap");
  table->Caption(&caption);
  const OmStringCell corner = Text("=c");
  table->CornerText(&corner);

  EXPECT_EQ(omrender::RenderMarkdown(tree, omrender::Options()),
            "# Output\n"
            "\n"
            "**T\\~\\***\n"
            "\n"
            "| \\=c |  |  | C\\`x / c\\<1\\> | C\\`x / e<br>f |\n"
            "| --- | --- | --- | ---: | --- |\n"
            "| R\\|1 | G\\_\\* | \\#a<sup>a</sup> | 1 |  |\n"
            "| R\\|1 | G\\_\\* | b\\\\c |  | x\\|y\\& |\n"
            "| R\\|1 | 1\\. d |  | 3 |  |\n"
            "\n"
            "- a: N\\[1\\]\n"
            "\n"
            "\\- cap\n");
}

// The root's heading, a heading by its level, a text block's lines with their breaks, and a
// log in a fence longer than any run of backticks inside.
TEST(MarkdownOutline, HeadingsParagraphsAndFences) {
  OmOutputTree tree;
  ListTree<OmOutputPart*>::Node heading = tree.Root().AppendChild(new OmHeading(Text("# H")));
  auto* block = new OmTextBlock(Text("Title"), "UTF-8");
  block->TextList().push_back("one\n+two");
  block->TextList().push_back("three");
  heading.AppendChild(block);
  auto* log = new OmTextBlock(Text("Log"), "UTF-8");
  log->TextList().push_back("a ```` b *c*");
  heading.AppendChild(log);

  EXPECT_EQ(omrender::RenderMarkdown(tree, omrender::Options()),
            "# Output\n"
            "\n"
            "## \\# H\n"
            "\n"
            "**Title**\n"
            "\n"
            "one<br>\\+two<br>\n"
            "three\n"
            "\n"
            "**Log**\n"
            "\n"
            "`````\n"
            "a ```` b *c*\n"
            "`````\n");
}

}  // namespace
