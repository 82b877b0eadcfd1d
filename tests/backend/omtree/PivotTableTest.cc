// The pivot table: its cell store against a map model, iterators, dimension
// bookkeeping, the assertion messages of the checked entry points (the
// dimension's included), footnote merging, area-format ownership and tracker
// stamping.

#include "backend/omtree/PivotTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace {

using ::testing::ElementsAre;
using Index = std::vector<int>;
using Cells = std::vector<std::pair<Index, std::string>>;

// A text, with metadata that names it when withMeta.
OmStringCell Text(const std::string& text, bool withMeta = false) {
  OmStringCell cell(text, nullptr, false);
  OmCellMetaData meta;
  meta.Set("first", text);
  if (withMeta) cell.setMeta(meta);
  return cell;
}

OmPivotTable MakeTable(const std::string& templateName = "Tallies") {
  return OmPivotTable(Text("Table"), Text(templateName), false);
}

// A stored cell as "text/metadata".
std::string Describe(const OmCellText& cell) {
  return cell.AsString() + "/" + cell.getMeta()->Get("first");
}

// The filled cells in iteration order, walked with Iterator or
// ConstIterator as table is const or not; every step goes through a copy,
// which must move independently of the original.
template <typename Table>
Cells Iterate(Table& table) {
  Cells cells;
  for (auto it = table.FirstCell(); it.Cell() != nullptr;) {
    decltype(it) next = it;
    ++next;
    cells.emplace_back(it.Index(), Describe(*it.Cell()));
    it = next;
  }
  return cells;
}

// The order the table walks its cells in: the last subscript most
// significant, dimension 0 fastest.
struct WalkOrder {
  bool operator()(const Index& a, const Index& b) const {
    return std::lexicographical_compare(a.rbegin(), a.rend(), b.rbegin(), b.rend());
  }
};
using Model = std::map<Index, std::string, WalkOrder>;  // "text/metadata" by index

// Random sets, replacements (which keep the metadata of the cell they
// replace), null sets (paths without cells), deletions and added dimensions,
// compared with a map after every step: lookups, and the whole walk.
class OmPivotTableModel : public ::testing::TestWithParam<int> {};

TEST_P(OmPivotTableModel, RandomOperationsMatchAMap) {
  std::mt19937 random(static_cast<unsigned>(17 + GetParam()));
  OmPivotTable table = MakeTable();
  for (int d = 0; d < GetParam(); ++d)
    table.AddDimension(Text("d" + std::to_string(d)));
  Model model;
  for (int step = 0; step < 4000; ++step) {
    Index index(table.NDimensions());
    // Mostly small subscripts, sometimes a jump that grows a node exactly.
    for (int& subscript : index)
      subscript = static_cast<int>(random() % 8 == 0 ? random() % 300 : random() % 6);
    const unsigned operation = random() % 10;
    if (operation < 4) {
      const std::string value = std::to_string(step);
      table.Cell(index, Text(value, true));
      const auto [it, added] = model.try_emplace(index, "/" + value);
      it->second = value + it->second.substr(it->second.find('/'));
    } else if (operation == 4) {
      table.Cell(index, nullptr);
      model.erase(index);
    } else if (operation < 8) {
      // Delete a cell that exists more often than not.
      const Index victim =
          !model.empty() && random() % 4 != 0
              ? std::next(model.begin(), static_cast<long>(random() % model.size()))->first
              : index;
      table.deleteCell(victim);
      model.erase(victim);
    } else if (operation == 8 && table.NDimensions() < 5 && random() % 20 == 0) {
      const std::size_t root = table.AddDimension(Text("d")).Root()->Subscript();
      ASSERT_EQ(root, table.NDimensions() - 1) << "a root holds its dimension's number";
      for (const auto& [key, value] : std::exchange(model, {})) {
        Index longer = key;
        longer.push_back(0);
        model.emplace(longer, value);
      }
    } else {
      const OmCellText* cell = table.Cell(index);
      const auto found = model.find(index);
      ASSERT_EQ(cell ? Describe(*cell) : "none", found != model.end() ? found->second : "none");
    }
    if (step % 50 == 0 || step > 3900) {
      ASSERT_EQ(step % 100 == 0 ? Iterate(table) : Iterate(std::as_const(table)),
                Cells(model.begin(), model.end()));
    }
  }
}

INSTANTIATE_TEST_SUITE_P(StartingDimensions, OmPivotTableModel, ::testing::Values(1, 2, 3));

TEST(OmPivotTableDimensions, FindCopyAndEndTable) {
  OmPivotTable table = MakeTable();
  EXPECT_EQ(table.FirstCell().Cell(), nullptr);
  table.Cell({}, nullptr);  // no dimensions: nothing to store
  OmDimension& gender = table.AddDimension(Text("Gender"));
  table.AddDimension(Text("Gender"));
  gender.Child(gender.Root(), Text("Male"), 0, false);
  EXPECT_EQ(table.FindDimension(Text("Gender")), 0) << "the first of two";
  EXPECT_EQ(table.FindDimension(Text("Gende")), -1);
  EXPECT_THAT(table.SizeVector(), ElementsAre(1, 0));
  EXPECT_EQ(table.Size(0), 1u);

  OmPivotTable copy = MakeTable();
  copy.CopyDimensions(table);
  copy.Cell({1, 0}, Text("x", true));
  EXPECT_EQ(Iterate(copy), (Cells{{{1, 0}, "x/x"}}));

  // The axis lists fill with -1 on a write past the end, never on a read;
  // EndTable drops the unassigned entries.
  table.Rows()[3] = 0;
  EXPECT_THAT(table.Rows(), ElementsAre(-1, -1, -1, 0));
  table.Columns().push_back(1);
  table.EndTable();
  EXPECT_THAT(table.Rows(), ElementsAre(0));
  EXPECT_EQ(std::as_const(table).Layers()[7], -1);
  EXPECT_TRUE(table.Layers().empty());
}

TEST(OmAssertionMessages, ViolatedPreconditionsReportTheirExpressionAndSource) {
  OmPivotTable table = MakeTable();
  OmDimension& dimension = table.AddDimension(Text("a"));
  OmDimension::Node leaf = dimension.Child(dimension.Root(), Text("x"), 0, false);
  const std::string kTable = ", file backend/omtree/PivotTable";
  const std::vector<std::pair<std::string, std::function<void()>>> cases = {
      {"nind == _my->_dimensions.size()" + kTable,
       [&] {
         table.Cell({0, 0});
       }},
      {"nind == _my->_dimensions.size()" + kTable, [&] { table.Cell({}, Text("x")); }},
      {"subscript >= 0" + kTable, [&] { table.Cell({-1}); }},
      {"0 <= subscript" + kTable, [&] { table.Cell({-1}, Text("x")); }},
      {"which >= 0" + kTable, [&] { table.Dimension(-1); }},
      {"which < (long)NDimensions ()" + kTable, [&] { table.Dimension(1); }},
      {"which < (long) NDimensions ()" + kTable, [&] { table.Size(1); }},
      {"_my->_dimensions.size() == 0" + kTable, [&] { table.CopyDimensions(table); }},
      {"ndim == nCount" + kTable, [&] { table.EndTable(); }},
      {"parent->IsGroup(), file backend/omtree/Dimension",
       [&] { dimension.Child(leaf, Text("y"), 1, false); }},
  };
  auto throwing = [](const char* expression, const char* file, int line) {
    throw std::logic_error(OmAssertion::Format(expression, file, line));
  };
  OmAssertion::Handler previous = OmAssertion::SetHandler(throwing);
  for (const auto& [message, call] : cases) {
    EXPECT_THAT(call, ::testing::ThrowsMessage<std::logic_error>(
                          ::testing::StartsWith("Assertion failed: " + message + ", line ")));
  }
  OmAssertion::SetHandler(previous);
  table.deleteCell({0, 0, 0});  // unchecked: an index that names no cell
  table.deleteCell({-4});
}

TEST(OmPivotTableAnnotations, FootnotesMergeByTextAndAreaFormatsAreOwned) {
  OmPivotTable table = MakeTable();
  const OmStringCell a = Text("A"), b = Text("B"), x = Text("X");
  EXPECT_EQ(table.Footnote(OmFootnote(&a, &x, nullptr), false), 0);
  EXPECT_EQ(table.Footnote(OmFootnote(&b, nullptr, nullptr), false), 1);
  EXPECT_EQ(table.Footnote(OmFootnote(&a, nullptr, nullptr), false), 0);
  EXPECT_TRUE(table.Footnotes()[0].Count() == 2 && table.Footnotes()[1].Count() == 1);
  EXPECT_EQ(table.Footnotes()[0].SecondText(), nullptr) << "the last second text wins";
  EXPECT_EQ(table.Footnote(OmFootnote(&a, nullptr, nullptr), true), 2);

  OmFootnote negative(&x, nullptr, nullptr);
  negative.Count(-3);
  table.Footnote(negative, false);
  table.Footnote(negative, false);
  EXPECT_EQ(table.Footnotes()[3].Count(), -2) << "a negative count is taken as given";
  EXPECT_EQ(OmMemoryRegion::Of(table.Footnotes()[3].Text()),
            OmMemoryRegion::Of(table.Footnotes().begin()));

  // The template name must match exactly.
  EXPECT_TRUE(MakeTable("Warnings").IsWarnings() && MakeTable("Notes").IsNotes());
  EXPECT_FALSE(MakeTable("Warnings").IsNotes() || MakeTable("Notes").IsWarnings());
  EXPECT_FALSE(MakeTable("notes").IsNotes() || MakeTable("Notes ").IsNotes());

  // The first format of the area is deleted when the second replaces it;
  // the sanitizer build reports a leak or a double delete.
  table.setAreaFormat(new FormatArea(FormatArea::RowLabels));
  auto* second = new FormatArea(FormatArea::RowLabels);
  table.setAreaFormat(second);
  table.setAreaFormat(second);
  table.setAreaFormat(nullptr);
  EXPECT_EQ(table.getAreaFormat(FormatArea::RowLabels), second);
}

TEST(OmPivotTableSettings, TrackersAreMadeOnceAndStampedInOrder) {
  BackendSettings unicode;
  unicode.setFastTables(true);
  unicode.setUnicode(true);
  BackendSettings codePage = unicode;
  codePage.setUnicode(false);

  OmPivotTable shared = MakeTable();
  shared.setBackendSettings(unicode);
  EXPECT_TRUE(shared.getICUTracker() != nullptr && shared.getU8Tracker() == shared.getICUTracker())
      << "one tracker, deleted once with the table";

  OmPivotTable table = MakeTable();
  table.SetTableTitle(Text("title"));
  table.Caption(&table.TableTitle());
  OmDimension& dimension = table.AddDimension(Text("d"));
  OmDimension::Node group = dimension.Child(dimension.Root(), Text("g"), 0, true);
  dimension.Child(group, Text("leaf"), 0, false);
  const OmStringCell note = Text("note");
  table.Footnote(OmFootnote(&note, &note, nullptr), false);
  table.Cell({0}, Text("before"));
  table.setBackendSettings(BackendSettings());
  EXPECT_TRUE(!table.fastTable() && table.getICUTracker() == nullptr) << "slow: no trackers";

  table.setBackendSettings(codePage);
  icuTracker* tracker = table.getICUTracker();
  ASSERT_NE(tracker, nullptr);
  EXPECT_TRUE(!tracker->Unicode() && table.getU8Tracker()->Unicode()) << "a second tracker";
  OmComposite composite;
  OmComposite::PartTree::Node part = composite.AddPart(composite.Parts().Root(), Text("a"));
  composite.AddPart(composite.AddPart(part, OmNumber(1)), Text("deep"));
  table.Cell({1}, composite);
  const auto root = static_cast<const OmComposite*>(table.Cell({1}))->Parts().Root();
  for (const OmCellText* text : std::vector<const OmCellText*>{
           table.OutlineText(), table.TemplateName(), table.GetTableTitle(), &dimension.Name(),
           group->Text(), group.FirstChild()->Text(), table.Footnotes()[0].Text(),
           table.Footnotes()[0].SecondText(), table.Cell({1}), *root, *root.FirstChild(),
           *root.FirstChild().FirstChild(), *root.FirstChild().FirstChild().FirstChild()}) {
    EXPECT_EQ(text->getTracker(), tracker) << text->AsString();
  }
  EXPECT_EQ(table.Caption()->getTracker(), nullptr) << "captions are stamped only when stored";
  EXPECT_EQ(table.Cell({0})->getTracker(), nullptr);

  table.setBackendSettings(unicode);
  EXPECT_EQ(table.getICUTracker(), tracker) << "never remade";

  OmMissing missing;
  missing.setTracker(shared.getICUTracker());
  table.Cell({2}, missing);
  EXPECT_EQ(table.Cell({2})->getTracker(), shared.getICUTracker()) << "the missing mark is kept";
}

}  // namespace
