#include "backend/omtree/PivotTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

using ::testing::ElementsAre;
using Index = std::vector<int>;

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

OmPivotTable MakeTable(const std::string& templateName = "Frequencies") {
  return OmPivotTable(Text("Table"), Text(templateName), false);
}

// The filled cells in iteration order, as (index, string).
std::vector<std::pair<Index, std::string>> Iterate(const OmPivotTable& table) {
  std::vector<std::pair<Index, std::string>> cells;
  for (OmPivotTable::ConstIterator it = table.FirstCell(); it.Cell() != nullptr; ++it) {
    cells.emplace_back(it.Index(), it.Cell()->AsString());
  }
  return cells;
}

// The cells of a map model in the order the table walks them: the last
// subscript most significant, dimension 0 fastest.
std::vector<std::pair<Index, std::string>> InWalkOrder(const std::map<Index, std::string>& model) {
  std::vector<std::pair<Index, std::string>> cells(model.begin(), model.end());
  std::sort(cells.begin(), cells.end(), [](const auto& a, const auto& b) {
    return std::lexicographical_compare(a.first.rbegin(), a.first.rend(), b.first.rbegin(),
                                        b.first.rend());
  });
  return cells;
}

// Random sets, replacements, null sets, deletions and added dimensions,
// compared with a map after every step: lookups, and the whole walk.
class OmPivotTableModel : public ::testing::TestWithParam<int> {};

TEST_P(OmPivotTableModel, RandomOperationsMatchAMap) {
  std::mt19937 random(static_cast<unsigned>(17 + GetParam()));
  OmPivotTable table = MakeTable();
  for (int d = 0; d < GetParam(); ++d)
    table.AddDimension(Text("d" + std::to_string(d)));
  std::map<Index, std::string> model;
  auto randomIndex = [&] {
    Index index(table.NDimensions());
    // Mostly small subscripts, sometimes a jump that grows a node exactly.
    for (int& subscript : index)
      subscript = static_cast<int>(random() % 8 == 0 ? random() % 300 : random() % 6);
    return index;
  };
  for (int step = 0; step < 4000; ++step) {
    const Index index = randomIndex();
    switch (random() % 10) {
      case 0:
      case 1:
      case 2:
      case 3: {
        const std::string value = std::to_string(step);
        table.Cell(index, Text(value));
        model[index] = value;
        break;
      }
      case 4:
        table.Cell(index, nullptr);
        model.erase(index);
        break;
      case 5:
      case 6:
      case 7: {
        // Delete a cell that exists more often than not.
        const Index victim =
            !model.empty() && random() % 4 != 0
                ? std::next(model.begin(), static_cast<long>(random() % model.size()))->first
                : index;
        table.deleteCell(victim);
        model.erase(victim);
        break;
      }
      case 8:
        if (table.NDimensions() < 5 && random() % 20 == 0) {
          table.AddDimension(Text("d" + std::to_string(table.NDimensions())));
          std::map<Index, std::string> deeper;
          for (auto& [key, value] : model) {
            Index longer = key;
            longer.push_back(0);
            deeper[longer] = value;
          }
          model.swap(deeper);
        }
        break;
      default: {
        const OmCellText* cell = table.Cell(index);
        const auto found = model.find(index);
        ASSERT_EQ(cell != nullptr, found != model.end()) << step;
        if (cell != nullptr) {
          ASSERT_EQ(cell->AsString(), found->second);
        }
      }
    }
    if (step % 50 == 0 || step > 3900) {
      ASSERT_EQ(Iterate(table), InWalkOrder(model)) << step;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(StartingDimensions, OmPivotTableModel, ::testing::Values(1, 2, 3));

TEST(OmPivotTableCells, WalkOrderAndEmptyPaths) {
  OmPivotTable table = MakeTable();
  EXPECT_EQ(table.FirstCell().Cell(), nullptr);
  table.AddDimension(Text("rows"));
  table.AddDimension(Text("columns"));
  table.Cell({1, 0}, Text("b"));
  table.Cell({0, 1}, Text("c"));
  table.Cell({0, 0}, Text("a"));
  table.Cell({5, 0}, nullptr);  // a path, but no cell
  EXPECT_EQ(Iterate(table), (std::vector<std::pair<Index, std::string>>{
                                {{0, 0}, "a"}, {{1, 0}, "b"}, {{0, 1}, "c"}}));

  OmPivotTable sparse = MakeTable();
  sparse.AddDimension(Text("rows"));
  sparse.AddDimension(Text("columns"));
  sparse.Cell({0, 0}, nullptr);  // an empty leaf under the first branch
  sparse.Cell({3, 2}, Text("later"));
  EXPECT_EQ(Iterate(sparse), (std::vector<std::pair<Index, std::string>>{{{3, 2}, "later"}}));

  OmPivotTable::Iterator first = table.FirstCell();
  OmPivotTable::Iterator copy = first;
  ++copy;
  EXPECT_EQ(first.Cell()->AsString(), "a") << "copies move independently";
  first = copy;
  ++copy;
  EXPECT_EQ(first.Cell()->AsString(), "b");
  EXPECT_EQ(copy.Index(), (Index{0, 1}));
}

TEST(OmPivotTableCells, ReplacedCellsKeepTheirMetadataAndNewDimensionsShiftCells) {
  OmPivotTable table = MakeTable();
  table.AddDimension(Text("a"));
  table.AddDimension(Text("b"));
  OmStringCell first = Text("first");
  OmCellMetaData kept;
  kept.Set("note", "kept");
  first.setMeta(kept);
  table.Cell({2, 1}, first);
  OmStringCell second = Text("second");
  OmCellMetaData own;
  own.Set("note", "own");
  second.setMeta(own);
  table.Cell({2, 1}, &second);
  EXPECT_EQ(table.Cell({2, 1})->AsString(), "second");
  EXPECT_EQ(table.Cell({2, 1})->getMeta()->Get("note"), "kept");

  table.AddDimension(Text("c"));
  EXPECT_EQ(table.Cell({2, 1, 0})->AsString(), "second");
  EXPECT_EQ(table.Cell({2, 1, 1}), nullptr);
  EXPECT_EQ(table.Dimension(2).Root()->Subscript(), 2u);
  EXPECT_EQ(table.FirstCell().Index().size(), 3u);
}

TEST(OmPivotTableDimensions, FindCopyAndEndTable) {
  OmPivotTable table = MakeTable();
  OmDimension& gender = table.AddDimension(Text("Gender"));
  table.AddDimension(Text("Gender"));
  gender.Child(gender.Root(), Text("Male"), 0, false);
  gender.Child(gender.Root(), Text("Female"), 1, false);
  EXPECT_EQ(table.FindDimension(Text("Gender")), 0);
  EXPECT_EQ(table.FindDimension(Text("Age")), -1);
  EXPECT_THAT(table.SizeVector(), ElementsAre(2, 0));
  EXPECT_EQ(table.Size(0), 2u);

  OmPivotTable copy = MakeTable();
  copy.Cell({}, nullptr);  // no dimensions: nothing to store
  copy.CopyDimensions(table);
  EXPECT_EQ(copy.NDimensions(), 2u);
  EXPECT_EQ(copy.Dimension(0).NumCategories(), 2);
  EXPECT_EQ(copy.FirstCell().Cell(), nullptr);
  copy.Cell({1, 0}, Text("x"));
  EXPECT_EQ(copy.Cell({1, 0})->AsString(), "x");

  table.Rows()[3] = 0;
  EXPECT_THAT(table.Rows(), ElementsAre(-1, -1, -1, 0));
  table.Columns().push_back(1);
  table.EndTable();
  EXPECT_THAT(table.Rows(), ElementsAre(0));
  const OmPivotTable& constTable = table;
  EXPECT_EQ(constTable.Layers()[7], -1);
  EXPECT_TRUE(constTable.Layers().empty()) << "reading past the end does not grow";
}

TEST(OmPivotTableChecks, ViolatedPreconditionsReportTheirExpression) {
  OmPivotTable table = MakeTable();
  table.AddDimension(Text("a"));
  OmPivotTable other = MakeTable();
  other.AddDimension(Text("b"));
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"nind == _my->_dimensions.size()",
       [&] {
         table.Cell({0, 0});
       }},
      {"nind == _my->_dimensions.size()", [&] { table.Cell({}, Text("x")); }},
      {"subscript >= 0", [&] { table.Cell({-1}); }},
      {"0 <= subscript", [&] { table.Cell({-1}, Text("x")); }},
      {"which >= 0", [&] { table.Dimension(-1); }},
      {"which < (long)NDimensions ()", [&] { table.Dimension(1); }},
      {"which < (long) NDimensions ()", [&] { table.Size(1); }},
      {"_my->_dimensions.size() == 0", [&] { table.CopyDimensions(other); }},
      {"ndim == nCount", [&] { table.EndTable(); }},
  };
  auto throwing = [](const char* expression, const char* file, int line) {
    throw std::logic_error(OmAssertion::Format(expression, file, line));
  };
  OmAssertion::Handler previous = OmAssertion::SetHandler(throwing);
  for (const auto& [expression, call] : cases) {
    EXPECT_THAT(
        call, ::testing::ThrowsMessage<std::logic_error>(::testing::StartsWith(
                  "Assertion failed: " + expression + ", file backend/omtree/PivotTable, line ")));
  }
  OmAssertion::SetHandler(previous);
  table.deleteCell({0, 0, 0});  // unchecked: an index that names no cell
  table.deleteCell({-4});
}

TEST(OmPivotTableAnnotations, FootnotesMergeByTextUnlessAppended) {
  OmPivotTable table = MakeTable();
  const OmStringCell a = Text("A");
  const OmStringCell b = Text("B");
  const OmStringCell x = Text("X");
  EXPECT_EQ(table.Footnote(OmFootnote(&a, &x, nullptr), false), 0);
  EXPECT_EQ(table.Footnote(OmFootnote(&b, nullptr, nullptr), false), 1);
  EXPECT_EQ(table.Footnote(OmFootnote(&a, nullptr, nullptr), false), 0);
  ASSERT_EQ(table.Footnotes().size(), 2u);
  EXPECT_EQ(table.Footnotes()[0].Count(), 2);
  EXPECT_EQ(table.Footnotes()[0].SecondText(), nullptr) << "the last second text wins";
  EXPECT_EQ(table.Footnotes()[1].Count(), 1);
  EXPECT_EQ(table.Footnote(OmFootnote(&a, nullptr, nullptr), true), 2);

  OmFootnote negative(&b, nullptr, nullptr);
  negative.Count(-3);
  OmPivotTable other = MakeTable();
  other.Footnote(negative, false);
  other.Footnote(negative, false);
  EXPECT_EQ(other.Footnotes()[0].Count(), -2);
  EXPECT_EQ(OmMemoryRegion::Of(other.Footnotes()[0].Text()),
            OmMemoryRegion::Of(other.Footnotes().begin()));
}

TEST(OmPivotTableAnnotations, TextsAndFlags) {
  EXPECT_TRUE(MakeTable("Warnings").IsWarnings());
  EXPECT_FALSE(MakeTable("Warnings").IsNotes());
  EXPECT_TRUE(MakeTable("Notes").IsNotes());
  EXPECT_FALSE(MakeTable("notes").IsNotes());
  EXPECT_FALSE(MakeTable("Notes ").IsNotes());

  OmPivotTable table = MakeTable();
  EXPECT_EQ(table.GetTableTitle(), nullptr);
  table.SetTableTitle(Text("Title"));
  table.SetTableTitle(Text("Better title"));
  EXPECT_EQ(table.TableTitle().AsString(), "Better title");
  table.Caption(&table.TableTitle());
  table.Caption(nullptr);
  EXPECT_EQ(table.Caption(), nullptr);
  const OmStringCell corner = Text("corner");
  table.CornerText(&corner);
  EXPECT_EQ(table.CornerText()->AsString(), "corner");
  table.CornerText(nullptr);
  EXPECT_EQ(table.CornerText(), nullptr);
  table.Scratch();
  table.Scratch();
  EXPECT_TRUE(table.IsScratched());
}

TEST(OmPivotTableDisplay, DefaultsAndOwnedAreaFormats) {
  OmPivotTable table = MakeTable();
  EXPECT_TRUE(table.Show());
  EXPECT_EQ(table.getLayerLoc(), -1);
  EXPECT_EQ(table.TableId(), -1);
  EXPECT_TRUE(table.backendOwns());
  EXPECT_TRUE(table.fastTable());
  EXPECT_EQ(table.getAreaFormat(static_cast<FormatArea::Area>(9)), nullptr);

  const FormatArea fresh(FormatArea::Data);
  EXPECT_EQ(fresh.getMarginLeft(), 6);
  EXPECT_EQ(fresh.getMarginRight(), 2);
  EXPECT_EQ(fresh.getFontStyle(), -1);
  EXPECT_EQ(fresh.getFontSize(), 0.0f);

  // The first format of area 3 is deleted when the second replaces it; the
  // sanitizer build reports a leak or a double delete.
  table.setAreaFormat(new FormatArea(FormatArea::RowLabels));
  auto* second = new FormatArea(FormatArea::RowLabels);
  table.setAreaFormat(second);
  table.setAreaFormat(second);
  table.setAreaFormat(nullptr);
  EXPECT_EQ(table.getAreaFormat(FormatArea::RowLabels), second);

  table.setTableCustomWidths({1, 2, 3});
  table.setTableCustomWidths({});
  EXPECT_TRUE(table.getTableCustomWidths().empty());
}

TEST(OmPivotTableSettings, TrackersAreMadeOnceAndStampedInOrder) {
  BackendSettings slow;
  BackendSettings unicode;
  unicode.setFastTables(true);
  unicode.setUnicode(true);
  unicode.setLocale("de_DE");
  BackendSettings codePage = unicode;
  codePage.setUnicode(false);

  OmPivotTable off = MakeTable();
  off.setBackendSettings(slow);
  EXPECT_FALSE(off.fastTable());
  EXPECT_EQ(off.getICUTracker(), nullptr);

  OmPivotTable shared = MakeTable();
  shared.setBackendSettings(unicode);
  ASSERT_NE(shared.getICUTracker(), nullptr);
  EXPECT_EQ(shared.getU8Tracker(), shared.getICUTracker()) << "deleted once with the table";
  EXPECT_EQ(shared.getICUTracker()->Locale(), "de_DE");

  OmPivotTable table = MakeTable();
  table.SetTableTitle(Text("title"));
  table.Caption(&table.TableTitle());
  OmDimension& dimension = table.AddDimension(Text("d"));
  OmDimension::Node group = dimension.Child(dimension.Root(), Text("g"), 0, true);
  dimension.Child(group, Text("leaf"), 0, false);
  const OmStringCell note = Text("note");
  table.Footnote(OmFootnote(&note, &note, nullptr), false);
  table.Cell({0}, Text("before"));

  table.setBackendSettings(codePage);
  icuTracker* tracker = table.getICUTracker();
  ASSERT_NE(tracker, nullptr);
  EXPECT_FALSE(tracker->Unicode());
  EXPECT_NE(table.getU8Tracker(), tracker);
  EXPECT_TRUE(table.getU8Tracker()->Unicode());
  const std::vector<const OmCellText*> stamped = {table.OutlineText(),
                                                  table.TemplateName(),
                                                  table.GetTableTitle(),
                                                  &dimension.Name(),
                                                  group->Text(),
                                                  group.FirstChild()->Text(),
                                                  table.Footnotes()[0].Text(),
                                                  table.Footnotes()[0].SecondText()};
  for (const OmCellText* text : stamped) {
    EXPECT_EQ(text->getTracker(), tracker) << text->AsString();
  }
  EXPECT_EQ(table.Caption()->getTracker(), nullptr) << "captions are stamped only when stored";
  EXPECT_EQ(table.Cell({0})->getTracker(), nullptr);

  BackendSettings otherLocale = unicode;
  otherLocale.setLocale("fr_FR");
  table.setBackendSettings(otherLocale);
  EXPECT_EQ(table.getICUTracker(), tracker) << "never remade";
  EXPECT_EQ(table.getBackendSettings().getLocale(), "fr_FR");

  OmComposite composite;
  OmComposite::PartTree::Node part = composite.AddPart(composite.Parts().Root(), Text("a"));
  composite.AddPart(composite.AddPart(part, OmNumber(1)), Text("deep"));
  table.Cell({1}, composite);
  const auto& stored = static_cast<const OmComposite&>(*table.Cell({1}));
  EXPECT_EQ(stored.getTracker(), tracker);
  OmComposite::PartTree::WalkBelow(
      stored.Parts().Root(), [](const OmComposite::PartTree::ConstNode&) { return true; },
      [tracker](const OmComposite::PartTree::ConstNode& node) {
        EXPECT_EQ((*node)->getTracker(), tracker);
      });
  EXPECT_EQ((*stored.Parts().Root())->getTracker(), tracker);

  icuTracker own({false, "C"});
  OmMissing missing;
  missing.setTracker(&own);
  table.Cell({2}, missing);
  EXPECT_EQ(table.Cell({2})->getTracker(), &own) << "the missing mark is left alone";
}

}  // namespace
