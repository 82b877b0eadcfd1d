// Outline items: Accept dispatch for every kind of item (with the visitor's
// defaults for procedures and page titles), the outline texts and commands
// that items keep, and deep copies of headings and their footnotes.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/AnswerTree.h"
#include "backend/omtree/Chart.h"
#include "backend/omtree/Heading.h"
#include "backend/omtree/Model.h"
#include "backend/omtree/PageTitle.h"
#include "backend/omtree/PivotTable.h"
#include "backend/omtree/Procedure.h"
#include "backend/omtree/TextBlock.h"

namespace {

using ::testing::ElementsAre;

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Records the kind and outline text of every item visited; overrides only
// the cases a visitor must, as a simple viewer would.
class CoarseVisitor : public OmOutputPart::Visitor {
 public:
  void Visit(OmModel& part) override { Seen("model", part); }
  void Visit(OmAnswerTree& part) override { Seen("tree", part); }
  void Visit(OmChart& part) override { Seen("chart", part); }
  void Visit(OmTextBlock& part) override { Seen("text", part); }
  void Visit(OmHeading& part) override { Seen("heading", part); }
  void Visit(OmPivotTable& part) override { Seen("table", part); }
  using OmOutputPart::Visitor::Visit;

  void Seen(const std::string& kind, OmOutputPart& part) {
    seen.push_back(kind + " " + part.OutlineText()->AsString());
  }
  std::vector<std::string> seen;
};

// Also tells procedures and page titles apart.
class FineVisitor : public CoarseVisitor {
 public:
  void Visit(OmProcedure& part) override { Seen("procedure", part); }
  void Visit(OmPageTitle& part) override { Seen("title", part); }
  using CoarseVisitor::Visit;
};

TEST(OmOutputPartVisitor, AcceptReachesTheVisitOfItsOwnClassOrTheDefault) {
  OmHeading heading(Text("H"));
  OmProcedure procedure(Text("P"), "en", "UTF-8", "en_US");
  OmTextBlock block(Text("B"), "UTF-8");
  OmPageTitle title("UTF-8");
  OmModel model(Text("M"));
  OmAnswerTree tree(Text("A"), "");
  OmChart chart(Text("C"), "");
  OmPivotTable table(Text("T"), Text("T"), false);
  const std::vector<OmOutputPart*> items{&heading, &procedure, &block, &title,
                                         &model,   &tree,      &chart, &table};
  CoarseVisitor coarse;
  FineVisitor fine;
  for (OmOutputPart* item : items) {
    item->Accept(coarse);
    item->Accept(fine);
  }
  EXPECT_THAT(coarse.seen, ElementsAre("heading H", "heading P", "text B", "text ", "model M",
                                       "tree A", "chart C", "table T"));
  EXPECT_THAT(fine.seen, ElementsAre("heading H", "procedure P", "text B", "title ", "model M",
                                     "tree A", "chart C", "table T"));
}

TEST(OmOutputPartItems, OutlineTextsAndCommands) {
  OmStringCell label("Tallies", nullptr, false);
  OmProcedure procedure(label, "en", "windows-1252", "en_US");
  label.SetFormattedString("changed");
  EXPECT_EQ(procedure.OutlineText()->AsFormattedString(), "Tallies") << "a clone";

  procedure.setOutlineText(Text("Summaries"));
  procedure.SetCommand("summarize x");
  EXPECT_EQ(procedure.OutlineText()->AsString(), "Summaries") << "the command alone";
  procedure.setOutlineText(*procedure.OutlineText());  // its own text
  EXPECT_EQ(procedure.Command(), "Summaries") << "set with the outline text";

  // A text block is a log when its label is exactly "Log".
  for (const auto& [text, log] : {std::pair("Log", true), {"log", false}, {"Log ", false}})
    EXPECT_EQ(OmTextBlock(Text(text), "").IsLog(), log) << text;
}

// Headings copy and assign their footnotes deeply, each footnote keeping
// its region and count: the sanitizer build catches shared ownership once
// the source is gone.
TEST(OmOutputPartCopy, HeadingsAndTheirFootnotesCopyDeeply) {
  OmMemoryRegion region(false);
  auto* heading = new OmHeading(Text("Tables"));
  const OmStringCell note("a note", nullptr, false);
  heading->Footnotes().push_back(OmFootnote(&note, nullptr, &region));
  heading->Footnotes()[0].IncrementCount();
  heading->Visible(false);
  OmHeading copy(*heading);
  OmHeading assigned(Text("other"));
  assigned = *heading;
  delete heading;
  for (const OmHeading* each : {&copy, &assigned}) {
    EXPECT_TRUE(each->OutlineText()->AsString() == "Tables" && !each->Visible());
    ASSERT_EQ(each->Footnotes().size(), 1u);
    const OmFootnote& footnote = each->Footnotes()[0];
    EXPECT_TRUE(footnote.Text()->AsString() == "a note" && footnote.Count() == 1 &&
                footnote.SecondText() == nullptr && OmMemoryRegion::Of(footnote.Text()) == &region);
  }
}

}  // namespace
