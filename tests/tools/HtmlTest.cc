// Tests of the HTML export: goldens of the demo document (run with
// OMTREE_UPDATE_GOLDEN=1 to rewrite them after a deliberate change, and
// review the diff), the spans of a table of nested groups, the escaping
// of hostile texts, and texts with line breaks. browser_check.py checks the
// grid of every row of the demo page in a browser.

#include <gtest/gtest.h>

#include <memory>
#include <regex>
#include <string>
#include <vector>

#include "Demo.h"
#include "Html.h"
#include "tests/backend/omtree/DisplayTestSupport.h"
#include "tests/tools/GoldenFile.h"

namespace {

using namespace display_test;  // NOLINT: table builders

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Every match of pattern's first group in text.
std::vector<std::string> Matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex regex(pattern);
  for (std::sregex_iterator it(text.begin(), text.end(), regex), end; it != end; ++it)
    found.push_back((*it)[1]);
  return found;
}

// The cells of each row of the first section called name, as
// "th:label:COLSPANxROWSPAN" or "td::1x1".
std::vector<std::vector<std::string>> SectionCells(const std::string& html,
                                                   const std::string& name) {
  const auto span = [](const std::string& attributes, const std::string& span) {
    const std::vector<std::string> value = Matches(attributes, " " + span + "=\"(\\d+)\"");
    return value.empty() ? "1" : value.front();
  };
  std::vector<std::vector<std::string>> rows;
  const std::string section = Matches(html, "<" + name + ">([\\s\\S]*?)</" + name + ">").at(0);
  for (const std::string& row : Matches(section, "<tr[^>]*>(.*)</tr>")) {
    rows.emplace_back();
    const std::regex cell("<(t[dh])([^>]*)>(.*?)</t[dh]>");
    for (std::sregex_iterator it(row.begin(), row.end(), cell), end; it != end; ++it) {
      rows.back().push_back((*it)[1].str() + ':' + (*it)[3].str() + ':' +
                            span((*it)[2], "colspan") + 'x' + span((*it)[2], "rowspan"));
    }
  }
  return rows;
}

TEST(HtmlGolden, DemoDocument) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  omrender::Options options;
  golden::ExpectGolden("demo.html", omrender::RenderHtml(*demo, options, "Demo"));
  options.hideEmpty = true;
  options.namesInCorner = true;
  options.layer = 3;
  golden::ExpectGolden("demo-hide-empty-names-layer-3.html",
                       omrender::RenderHtml(*demo, options, "Demo"));
}

// Rows: the outer dimension's labels, then the inner one's with a group;
// columns: a group beside a leaf. Each label spans the rows or columns of
// its block, and a label's block ends with its outer category's.
TEST(HtmlTable, NestedGroupsSpanTheirBlocks) {
  OmOutputTree tree;
  auto* table = new OmPivotTable(Text("Nested"), Text("Nested"), false);
  tree.Root().AppendChild(table);
  AddDimension(*table, "Inner", {Group("G", {Leaf("i1"), Leaf("i2")}), Leaf("i3")});
  AddDimension(*table, "Outer", {Leaf("o1"), Leaf("o2")});
  AddDimension(*table, "Cols", {Group("Span", {Leaf("c1"), Leaf("c2")}), Leaf("c3")});
  for (int i = 0; i < 3; ++i) {
    for (int o = 0; o < 2; ++o)
      table->Cell({i, o, 0}, OmNumber(10 * i + o));
  }
  table->Rows().push_back(0);
  table->Rows().push_back(1);
  table->Columns().push_back(2);
  table->EndTable();
  const std::string html = omrender::RenderHtml(tree, omrender::Options(), "Nested");

  using Rows = std::vector<std::vector<std::string>>;
  const std::string blank = "td::1x1";
  EXPECT_EQ(SectionCells(html, "thead"), (Rows{{"td::5x3", "th:Cols:3x1"},
                                               {"th:Span:2x1", "th:c3:1x1"},
                                               {"th:c1:1x1", "th:c2:1x1", blank}}));
  const std::string zero = "td:0:1x1";
  EXPECT_EQ(SectionCells(html, "tbody"),
            (Rows{{"th:Outer:1x6", "th:o1:1x3", "th:Inner:1x3", "th:G:1x2", "th:i1:1x1", zero,
                   blank, blank},
                  {"th:i2:1x1", "td:10:1x1", blank, blank},
                  {"th:i3:1x1", blank, "td:20:1x1", blank, blank},
                  {"th:o2:1x3", "th:Inner:1x3", "th:G:1x2", "th:i1:1x1", "td:1:1x1", blank, blank},
                  {"th:i2:1x1", "td:11:1x1", blank, blank},
                  {"th:i3:1x1", blank, "td:21:1x1", blank, blank}}));

  // With the row dimensions' names in the corner, each stands above its
  // column of labels, under one blank cell spanning the rows above.
  omrender::Options names;
  names.namesInCorner = true;
  EXPECT_EQ(SectionCells(omrender::RenderHtml(tree, names, "Nested"), "thead"),
            (Rows{{"td::3x2", "th:Cols:3x1"},
                  {"th:Span:2x1", "th:c3:1x1"},
                  {"th:Outer:1x1", "th:Inner:1x1", blank, "th:c1:1x1", "th:c2:1x1", blank}}));
}

// Hostile texts in every place a text shows up come out escaped: the only
// tags are the exporter's own, and every & starts an entity.
TEST(HtmlEscaping, HostileTexts) {
  const std::string hostile = "<script>alert(\"x\")</script> & 'q' &amp;";
  OmOutputTree tree;
  auto* procedure = new OmProcedure(Text(hostile), "en", "UTF-8", "en_US");
  procedure->SetCommand(hostile);
  ListTree<OmOutputPart*>::Node node = tree.Root().AppendChild(procedure);
  auto* block = new OmTextBlock(Text(hostile), "UTF-8");
  block->TextList().push_back(hostile);
  node.AppendChild(block);
  auto* title = new OmPageTitle("UTF-8");
  title->TextList().push_back(hostile);
  node.AppendChild(title);

  auto* table = new OmPivotTable(Text(hostile), Text(hostile), false);
  node.AppendChild(table);
  table->SetTableTitle(Text(hostile));
  const OmStringCell note = Text(hostile);
  const int mark = table->Footnote(OmFootnote(&note, nullptr, nullptr), false);
  OmDimension& rows = AddDimension(*table, "<r>", {Leaf("<a&b>")});
  rows.Root().FirstChild()->Text()->Footnotes().push_back(static_cast<short>(mark));
  AddDimension(*table, "'c'", {Leaf("\"d\"")});
  AddDimension(*table, "<l>", {Leaf("<l1>")});
  table->Cell({0, 0, 0}, Text(hostile));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->Layers().push_back(2);
  table->EndTable();
  table->Caption(&note);
  table->CornerText(&note);

  const std::string html = omrender::RenderHtml(tree, omrender::Options(), hostile);
  const std::string tags =
      "(<(!DOCTYPE|/?(html|head|meta|title|style|body|main|section|h1|h2|p|pre|code|br|table|"
      "caption|div|"
      "thead|tbody|tfoot|tr|th|td|sup))[ >])";
  EXPECT_EQ(Matches(html, "(<)").size(), Matches(html, tags).size()) << "a tag not the exporter's";
  EXPECT_EQ(Matches(html, "(&)").size(), Matches(html, "(&(amp|lt|gt|quot|#39);)").size());
  // The <title>, heading, command, text block title and line, page title,
  // table title, corner, cell, footnote and caption.
  EXPECT_EQ(Matches(html,
                    "(&lt;script&gt;alert\\(&quot;x&quot;\\)&lt;/script&gt; &amp; "
                    "&#39;q&#39; &amp;amp;)")
                .size(),
            11u);
  for (const char* label : {"&lt;r&gt;", "&lt;a&amp;b&gt;<sup>a</sup>", "&#39;c&#39;",
                            "&quot;d&quot;", "&lt;l&gt;: &lt;l1&gt;"}) {
    EXPECT_NE(html.find(label), std::string::npos) << label;
  }
}

// A table with two layer dimensions: one select per dimension, labelled by
// its name, whose options are its categories below the root (group and
// leaf, plain text); each layer's table named by its options' positions;
// the script once. One layer alone needs no selection and no script.
TEST(HtmlLayerSelection, SelectsAndLayerKeys) {
  OmOutputTree tree;
  auto* table = new OmPivotTable(Text("Layered"), Text("Layered"), false);
  tree.Root().AppendChild(table);
  AddDimension(*table, "Rows", {Leaf("r")});
  AddDimension(*table, "Cols", {Leaf("c")});
  AddDimension(*table, "<y>&", {Group("G&", {Leaf("<a>"), Leaf("b")}), Leaf("c")});
  AddDimension(*table, "Wave", {Leaf("s\nx<sup>"), Leaf("t")});
  table->Cell({0, 0, 1, 1}, OmNumber(7));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  // The last layer dimension listed changes slowest: its select comes first.
  table->Layers().push_back(3);
  table->Layers().push_back(2);
  table->EndTable();
  const std::string html = omrender::RenderHtml(tree, omrender::Options(), "Layers");

  EXPECT_EQ(Matches(html, "<label for=\"([^\"]*)\">"),
            (std::vector<std::string>{"pivot1-layer0", "pivot1-layer1"}));
  EXPECT_EQ(Matches(html, "<select id=\"([^\"]*)\">"),
            (std::vector<std::string>{"pivot1-layer0", "pivot1-layer1"}));
  EXPECT_EQ(Matches(html, "<label[^>]*>([^<]*)</label>"),
            (std::vector<std::string>{"&lt;y&gt;&amp;", "Wave"}));
  EXPECT_EQ(
      Matches(html, "<option value=\"\\d\">([^<]*)</option>"),
      (std::vector<std::string>{"G&amp; / &lt;a&gt;", "G&amp; / b", "c", "s x&lt;sup&gt;", "t"}));
  EXPECT_EQ(Matches(html, "<table data-layer=\"([^\"]*)\">"),
            (std::vector<std::string>{"0 0", "0 1", "1 0", "1 1", "2 0", "2 1"}));
  EXPECT_EQ(Matches(html, "<table data-layer=\"1 1\">\n<caption>[^<]*((<div.*?</div>)+)").at(0),
            "<div class=\"layer\">&lt;y&gt;&amp;: G&amp; / b</div>"
            "<div class=\"layer\">Wave: t</div>");
  EXPECT_EQ(Matches(html, "(<script>)").size(), 1u);
  EXPECT_EQ(Matches(html, "(<div class=\"layer-select\" hidden>)").size(), 1u);

  omrender::Options one;
  one.layer = 3;
  const std::string single = omrender::RenderHtml(tree, one, "Layers");
  EXPECT_EQ(Matches(single, "(<table data-layer)"), std::vector<std::string>{});
  EXPECT_EQ(Matches(single, "(<select|<script)").size(), 0u);
}

// Each kind of line break (LF, CR LF, a lone CR) in a row label, a column
// group, a column label, a cell, the corner, a layer label and the texts
// around the table, next to characters to escape.
TEST(HtmlLineBreaks, TableTexts) {
  OmOutputTree tree;
  auto* table = new OmPivotTable(Text("Breaks"), Text("Breaks"), false);
  tree.Root().AppendChild(table);
  table->SetTableTitle(Text("Title<\nsecond"));
  const OmStringCell note = Text("Note&\r\n<more");
  const int mark = table->Footnote(OmFootnote(&note, nullptr, nullptr), false);
  OmDimension& rows = AddDimension(*table, "Rows", {Leaf("<r1\r\n&r1b"), Leaf("r2")});
  rows.Root().FirstChild()->Text()->Footnotes().push_back(static_cast<short>(mark));
  AddDimension(*table, "Cols", {Group("G&\rH<", {Leaf("c1"), Leaf("c2\nc2b")}), Leaf("c3")});
  AddDimension(*table, "Layer", {Leaf("l1\rl1b")});
  table->Cell({0, 1, 0}, Text("a<\nb&\r\nc"));
  table->Cell({1, 2, 0}, OmNumber(123));
  table->Rows().push_back(0);
  table->Columns().push_back(1);
  table->Layers().push_back(2);
  table->EndTable();
  const OmStringCell caption = Text("Cap\rtion");
  table->Caption(&caption);
  const OmStringCell corner = Text("Corner\r\ntext");
  table->CornerText(&corner);
  const std::string html = omrender::RenderHtml(tree, omrender::Options(), "Breaks");

  using Rows = std::vector<std::vector<std::string>>;
  const std::string blank = "td::1x1";
  EXPECT_EQ(Matches(html, "(<caption>.*</caption>)"),
            std::vector<std::string>{"<caption>Title&lt;<br>second<div class=\"layer\">Layer: "
                                     "l1<br>l1b</div></caption>"});
  EXPECT_EQ(SectionCells(html, "thead"), (Rows{{"td:Corner<br>text:2x3", "th:Cols:3x1"},
                                               {"th:G&amp;<br>H&lt;:2x1", "th:c3:1x1"},
                                               {"th:c1:1x1", "th:c2<br>c2b:1x1", blank}}));
  EXPECT_EQ(SectionCells(html, "tbody"),
            (Rows{{"th:Rows:1x2", "th:&lt;r1<br>&amp;r1b<sup>a</sup>:1x1", blank,
                   "td:a&lt;<br>b&amp;<br>c:1x1", blank},
                  {"th:r2:1x1", blank, blank, "td:123:1x1"}}));
  EXPECT_EQ(SectionCells(html, "tfoot"),
            (Rows{{"td:<sup>a</sup> Note&amp;<br>&lt;more:5x1"}, {"td:Cap<br>tion:5x1"}}));
}

// The outline's texts with line breaks: each break a <br>, but for a log,
// whose lines keep their breaks in <pre>.
TEST(HtmlLineBreaks, OutlineTexts) {
  OmOutputTree tree;
  auto* procedure = new OmProcedure(Text("Proc\r\n&title"), "en", "UTF-8", "en_US");
  procedure->SetCommand("run<\rtwo");
  ListTree<OmOutputPart*>::Node node = tree.Root().AppendChild(procedure);
  auto* block = new OmTextBlock(Text("Block\ntitle"), "UTF-8");
  block->TextList().push_back("x&\r\ny");
  node.AppendChild(block);
  auto* log = new OmTextBlock(Text("Log"), "UTF-8");
  log->TextList().push_back("l1<\nl2\r\nl3");
  node.AppendChild(log);
  auto* title = new OmPageTitle("UTF-8");
  title->TextList().push_back("p\rq");
  node.AppendChild(title);
  node.AppendChild(new OmChart(Text("Bars\nof x"), ""));
  const std::string html = omrender::RenderHtml(tree, omrender::Options(), "Outline");

  for (const char* expected :
       {"<h2>Proc<br>&amp;title</h2>\n<p class=\"command\"><code>run&lt;<br>two</code></p>\n",
        "<p class=\"item-title\">Block<br>title</p>\n<p>x&amp;<br>y</p>\n",
        "<pre class=\"log\">l1&lt;\nl2\r\nl3</pre>\n", "<p class=\"page-title\">p<br>q</p>\n",
        "<p class=\"summary\">Chart: Bars<br>of x (XML 0 B, "}) {
    EXPECT_NE(html.find(expected), std::string::npos) << expected;
  }
}

}  // namespace
