// Tests of the HTML export: goldens of the demo document (run with
// OMTREE_UPDATE_GOLDEN=1 to rewrite them after a deliberate change, and
// review the diff), the spans of a table of nested groups, the grid width of
// every row of every table, and the escaping of hostile texts.

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "Demo.h"
#include "Html.h"
#include "tests/backend/omtree/DisplayTestSupport.h"
#include "tests/tools/GoldenFile.h"

namespace {

using golden::ExpectGolden;

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

int Attribute(const std::string& attributes, const std::string& name) {
  const std::vector<std::string> value = Matches(attributes, " " + name + "=\"(\\d+)\"");
  return value.empty() ? 1 : std::stoi(value.front());
}

std::vector<std::string> Sections(const std::string& table, const std::string& name) {
  return Matches(table, "<" + name + ">([\\s\\S]*?)</" + name + ">");
}

std::size_t Count(const std::string& text, const std::string& part) {
  std::size_t count = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++count;
  return count;
}

// The cells of each row of a table section: "th:label:COLSPANxROWSPAN",
// "td::1x1".
std::vector<std::vector<std::string>> SectionCells(const std::string& section) {
  std::vector<std::vector<std::string>> rows;
  for (const std::string& row : Matches(section, "<tr[^>]*>(.*)</tr>")) {
    std::vector<std::string> cells;
    const std::regex cell("<(t[dh])([^>]*)>(.*?)</t[dh]>");
    for (std::sregex_iterator it(row.begin(), row.end(), cell), end; it != end; ++it) {
      cells.push_back((*it)[1].str() + ':' + (*it)[3].str() + ':' +
                      std::to_string(Attribute((*it)[2], "colspan")) + 'x' +
                      std::to_string(Attribute((*it)[2], "rowspan")));
    }
    rows.push_back(cells);
  }
  return rows;
}

// The grid columns each row of a section covers, with the places taken by
// rowspans from the rows above. A rowspan that runs past the section's last
// row adds a width of -1.
std::vector<int> RowWidths(const std::string& section) {
  std::vector<int> widths;
  std::vector<int> carried;  // per grid column, the rows a rowspan still covers
  for (const std::string& row : Matches(section, "<tr[^>]*>(.*)</tr>")) {
    std::size_t column = 0;
    for (const std::string& attributes : Matches(row, "<t[dh]([^>]*)>")) {
      while (column < carried.size() && carried[column] > 0)
        --carried[column++];
      const int colspan = Attribute(attributes, "colspan");
      const int rowspan = Attribute(attributes, "rowspan");
      for (int c = 0; c < colspan; ++c, ++column) {
        if (carried.size() <= column) carried.resize(column + 1, 0);
        carried[column] = rowspan - 1;
      }
    }
    for (; column < carried.size() && carried[column] > 0; ++column)
      --carried[column];
    widths.push_back(static_cast<int>(column));
  }
  if (std::any_of(carried.begin(), carried.end(), [](int rows) { return rows > 0; })) {
    widths.push_back(-1);
  }
  return widths;
}

// Checks that every row of every table covers the same number of columns.
void ExpectEvenRows(const std::string& html) {
  const std::vector<std::string> tables = Matches(html, "<table>([\\s\\S]*?)</table>");
  ASSERT_FALSE(tables.empty());
  for (const std::string& table : tables) {
    std::vector<int> widths;
    for (const char* name : {"thead", "tbody", "tfoot"}) {
      for (const std::string& section : Sections(table, name)) {
        const std::vector<int> sectionWidths = RowWidths(section);
        widths.insert(widths.end(), sectionWidths.begin(), sectionWidths.end());
      }
    }
    ASSERT_FALSE(widths.empty());
    EXPECT_EQ(std::set<int>(widths.begin(), widths.end()).size(), 1u) << table;
  }
}

TEST(HtmlGolden, DemoDocument) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  omrender::Options options;
  const std::string all = omrender::RenderHtml(*demo, options, "Demo");
  ExpectGolden("demo.html", all);
  ExpectEvenRows(all);
  options.hideEmpty = true;
  options.namesInCorner = true;
  options.layer = 3;
  const std::string layer = omrender::RenderHtml(*demo, options, "Demo");
  ExpectGolden("demo-hide-empty-names-layer-3.html", layer);
  ExpectEvenRows(layer);
}

// Rows: the outer dimension's labels, then the inner one's with a group;
// columns: a group beside a leaf. Each label spans the rows or columns of
// its block, and a label's block ends with its outer category's.
TEST(HtmlTable, NestedGroupsSpanTheirBlocks) {
  OmOutputTree tree;
  auto* table = new OmPivotTable(Text("Nested"), Text("Nested"), false);
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
  tree.Root().AppendChild(table);
  const std::string html = omrender::RenderHtml(tree, omrender::Options(), "Nested");
  ExpectEvenRows(html);

  using Rows = std::vector<std::vector<std::string>>;
  const std::string blank = "td::1x1";
  EXPECT_EQ(SectionCells(Sections(html, "thead").at(0)),
            (Rows{{"td::5x2", "th:Cols:3x1"},
                  {"th:Span:2x1", "th:c3:1x1"},
                  {blank, blank, blank, blank, blank, "th:c1:1x1", "th:c2:1x1", blank}}));
  const std::string zero = "td:0:1x1";
  EXPECT_EQ(SectionCells(Sections(html, "tbody").at(0)),
            (Rows{{"th:Outer:1x6", "th:o1:1x3", "th:Inner:1x3", "th:G:1x2", "th:i1:1x1", zero,
                   blank, blank},
                  {"th:i2:1x1", "td:10:1x1", blank, blank},
                  {"th:i3:1x1", blank, "td:20:1x1", blank, blank},
                  {"th:o2:1x3", "th:Inner:1x3", "th:G:1x2", "th:i1:1x1", "td:1:1x1", blank, blank},
                  {"th:i2:1x1", "td:11:1x1", blank, blank},
                  {"th:i3:1x1", blank, "td:21:1x1", blank, blank}}));
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
  node.AppendChild(table);

  const std::string html = omrender::RenderHtml(tree, omrender::Options(), hostile);
  const std::set<std::string> tags = {"!DOCTYPE", "html",  "head",    "meta", "title", "style",
                                      "body",     "h1",    "h2",      "p",    "pre",   "code",
                                      "br",       "table", "caption", "div",  "thead", "tbody",
                                      "tfoot",    "tr",    "th",      "td",   "sup"};
  for (const std::string& tag : Matches(html, "</?([^ >]*)"))
    EXPECT_EQ(tags.count(tag), 1u) << "unexpected tag <" << tag << ">";
  for (const std::string& entity : Matches(html, "&([^;]*;)")) {
    EXPECT_TRUE(entity == "amp;" || entity == "lt;" || entity == "gt;" || entity == "quot;" ||
                entity == "#39;")
        << entity;
  }
  const std::string escaped =
      "&lt;script&gt;alert(&quot;x&quot;)&lt;/script&gt; &amp; &#39;q&#39; "
      "&amp;amp;";
  // The <title>, heading, command, text block title and line, page title,
  // table title, corner, cell, footnote and caption.
  EXPECT_EQ(Count(html, escaped), 11u);
  for (const char* label : {"&lt;r&gt;", "&lt;a&amp;b&gt;<sup>a</sup>", "&#39;c&#39;",
                            "&quot;d&quot;", "&lt;l&gt;: &lt;l1&gt;"}) {
    EXPECT_NE(html.find(label), std::string::npos) << label;
  }
  ExpectEvenRows(html);
}

}  // namespace
