#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend/omtree/Heading.h"
#include "backend/omtree/PageTitle.h"
#include "backend/omtree/Procedure.h"
#include "backend/omtree/TextBlock.h"

namespace {

using ::testing::ElementsAre;

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Overrides only the heading and text-block cases, as a simple viewer would.
class CoarseVisitor : public OmOutputPart::Visitor {
 public:
  void Visit(OmModel&) override { seen.push_back("model"); }
  void Visit(OmAnswerTree&) override { seen.push_back("answer tree"); }
  void Visit(OmChart&) override { seen.push_back("chart"); }
  void Visit(OmTextBlock& block) override {
    seen.push_back("text block " + block.OutlineText()->AsString());
  }
  void Visit(OmHeading& heading) override {
    seen.push_back("heading " + heading.OutlineText()->AsString());
  }
  void Visit(OmPivotTable&) override { seen.push_back("table"); }
  using OmOutputPart::Visitor::Visit;

  std::vector<std::string> seen;
};

// Also tells procedures and page titles apart.
class FineVisitor : public CoarseVisitor {
 public:
  void Visit(OmProcedure& procedure) override {
    seen.push_back("procedure " + procedure.Command());
  }
  void Visit(OmPageTitle&) override { seen.push_back("page title"); }
  using CoarseVisitor::Visit;
};

TEST(OmOutputPartVisitor, DefaultsForwardToTheHeadingAndTextBlockCases) {
  OmHeading heading(Text("Notes"));
  OmProcedure procedure(Text("FREQUENCIES"), "en", "UTF-8", "en_US");
  OmTextBlock block(Text("Log"), "UTF-8");
  OmPageTitle title("UTF-8");
  std::vector<OmOutputPart*> items{&heading, &procedure, &block, &title};

  CoarseVisitor coarse;
  for (OmOutputPart* item : items)
    item->Accept(coarse);
  EXPECT_THAT(coarse.seen,
              ElementsAre("heading Notes", "heading FREQUENCIES", "text block Log", "text block "));
  FineVisitor fine;
  for (OmOutputPart* item : items)
    item->Accept(fine);
  EXPECT_THAT(fine.seen, ElementsAre("heading Notes", "procedure FREQUENCIES", "text block Log",
                                     "page title"));
}

TEST(OmOutputPartItems, ItemsKeepTheirOwnStateFromConstruction) {
  OmStringCell label("Frequencies", nullptr, false);
  OmProcedure procedure(label, "en", "windows-1252", "en_US");
  label.SetFormattedString("changed");
  EXPECT_NE(procedure.OutlineText(), static_cast<const OmCellText*>(&label));
  EXPECT_EQ(procedure.OutlineText()->AsFormattedString(), "Frequencies");
  EXPECT_TRUE(procedure.Visible());
  EXPECT_TRUE(procedure.Expanded());
  EXPECT_EQ(procedure.ClientData(), nullptr);
  EXPECT_EQ(procedure.TableValueDisplay(), OmCellText::NamesAndLabels);
  EXPECT_EQ(procedure.Footnotes().region(), OmMemoryRegion::DefaultHeap());
  EXPECT_EQ(procedure.TransCommand(), "");

  procedure.setOutlineText(Text("Descriptives"));
  EXPECT_EQ(procedure.Command(), "Descriptives");
  EXPECT_EQ(procedure.OutlineText()->AsString(), "Descriptives");
  procedure.SetCommand("DESCRIPTIVES x");
  EXPECT_EQ(procedure.OutlineText()->AsString(), "Descriptives");
  procedure.setOutlineText(*procedure.OutlineText());  // its own text
  EXPECT_EQ(procedure.Command(), "Descriptives");

  EXPECT_TRUE(OmTextBlock(Text("Log"), "").IsLog());
  EXPECT_FALSE(OmTextBlock(Text("log"), "").IsLog());
  EXPECT_FALSE(OmTextBlock(Text("Log "), "").IsLog());
  const OmPageTitle title("ISO-8859-1");
  EXPECT_EQ(title.OutlineText()->TextLength(), 0u);
  EXPECT_FALSE(title.IsLog());
  EXPECT_EQ(title.LocaleCodePage(), "ISO-8859-1");
}

// Copies own everything they hold: destroying or changing the source leaves
// them intact (the sanitizer build catches shared ownership).
TEST(OmOutputPartCopy, CopiesAreDeep) {
  OmMemoryRegion region(false);
  auto* heading = new OmHeading(Text("Tables"));
  const OmStringCell note("a note", nullptr, false);
  heading->Footnotes().push_back(OmFootnote(&note, nullptr, &region));
  heading->Visible(false);
  OmHeading copy(*heading);
  OmHeading assigned(Text("other"));
  assigned = *heading;
  delete heading;
  for (const OmHeading* each : {&copy, &assigned}) {
    EXPECT_EQ(each->OutlineText()->AsString(), "Tables");
    ASSERT_EQ(each->Footnotes().size(), 1u);
    EXPECT_EQ(each->Footnotes()[0].Text()->AsString(), "a note");
    EXPECT_FALSE(each->Visible());
  }

  auto* block = new OmPageTitle("UTF-8");
  block->TextList().push_back("line");
  OmPageTitle blockCopy(*block);
  delete block;
  EXPECT_THAT(blockCopy.TextList(), ElementsAre("line"));

  OmProcedure procedure(Text("T-TEST"), "en", "UTF-8", "en_US");
  OmProcedure procedureCopy(procedure);
  procedure.SetCommand("changed");
  EXPECT_EQ(procedureCopy.Command(), "T-TEST");
}

TEST(OmFootnoteRecord, OwnsClonesOfItsTexts) {
  OmMemoryRegion region(false);
  {
    const OmFootnote empty(nullptr, nullptr, &region);
    EXPECT_EQ(empty.Text(), nullptr);
    EXPECT_EQ(empty.Count(), 0);
  }
  const OmStringCell text("See note", nullptr, false);
  const OmStringCell second("second", nullptr, false);
  auto* footnote = new OmFootnote(&text, nullptr, &region);
  EXPECT_EQ(OmMemoryRegion::Of(footnote->Text()), &region);
  footnote->IncrementCount();
  footnote->IncrementCount();
  OmFootnote copy(*footnote);
  delete footnote;
  EXPECT_EQ(copy.Text()->AsString(), "See note");
  EXPECT_EQ(copy.SecondText(), nullptr);
  EXPECT_EQ(copy.Count(), 2);

  copy.SecondText(&second);
  EXPECT_EQ(copy.SecondText()->AsString(), "second");
  copy.SecondText(nullptr);
  EXPECT_EQ(copy.SecondText(), nullptr);
  copy.Text(second);
  EXPECT_EQ(copy.Text()->AsString(), "second");
  EXPECT_EQ(OmMemoryRegion::Of(copy.Text()), &region);
}

}  // namespace
