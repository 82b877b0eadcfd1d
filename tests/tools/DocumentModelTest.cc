// Tests of the round-trip test support (DocumentModel.h): the generator is
// deterministic and reaches what it promises, and the comparison passes for
// equal documents and reports every single change made to one of them, at
// the place where it was made.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <iterator>
#include <limits>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "tests/tools/DocumentModel.h"

namespace {

using document_test::ExpectSameDocument;
using document_test::RandomDocument;
using document_test::RandomDocumentOptions;

// Seeds searched for a document that has what a check needs.
constexpr std::uint32_t kSeeds = 200;

// The names the comparison gives item kinds, written out here again so
// that the expected messages do not come from the code under test.
std::string KindName(const OmOutputPart* item) {
  if (item == nullptr) return "empty";
  if (dynamic_cast<const OmPivotTable*>(item) != nullptr) return "pivotTable";
  if (dynamic_cast<const OmProcedure*>(item) != nullptr) return "procedure";
  if (dynamic_cast<const OmHeading*>(item) != nullptr) return "heading";
  if (dynamic_cast<const OmPageTitle*>(item) != nullptr) return "pageTitle";
  if (dynamic_cast<const OmTextBlock*>(item) != nullptr) return "textBlock";
  if (dynamic_cast<const OmChart*>(item) != nullptr) return "chart";
  if (dynamic_cast<const OmModel*>(item) != nullptr) return "model";
  return "answerTree";
}

std::string Join(const std::vector<int>& index) {
  std::string text = "[";
  for (std::size_t k = 0; k < index.size(); ++k)
    text += (k == 0 ? "" : ",") + std::to_string(index[k]);
  return text + "]";
}

std::string Bool(bool value) {
  return value ? "true" : "false";
}

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

// A different int32 value.
std::int32_t Other(std::int32_t value) {
  return value == std::numeric_limits<std::int32_t>::max() ? value - 1 : value + 1;
}

// Items of class T in outline order, each with the path the comparison
// reports for it ("item 7 (pivotTable)").
template <typename T>
std::vector<std::pair<std::string, T*>> Items(OmOutputTree& tree) {
  std::vector<std::pair<std::string, T*>> items;
  std::int64_t number = 0;
  for (const auto& entry : tree.List()) {
    if (auto* item = dynamic_cast<T*>(entry.item)) {
      items.emplace_back("item " + std::to_string(number) + " (" + KindName(item) + ")", item);
    }
    ++number;
  }
  return items;
}

// The first item of class T for which accept holds: its path and the item,
// or an empty path and null.
template <typename T, typename Accept>
std::pair<std::string, T*> FindItem(OmOutputTree& tree, Accept accept) {
  for (const auto& found : Items<T>(tree)) {
    if (accept(*found.second)) return found;
  }
  return {"", nullptr};
}

// A stored cell of some pivot table, with its path ("item 7 (pivotTable) /
// cell [1,0]").
struct CellAt {
  std::string where;
  OmPivotTable* table;
  std::vector<int> index;
  OmCellText* text;
};

std::vector<CellAt> Cells(OmOutputTree& tree) {
  std::vector<CellAt> cells;
  for (const auto& [where, table] : Items<OmPivotTable>(tree)) {
    for (OmPivotTable::Iterator cell = table->FirstCell(); cell.Cell() != nullptr; ++cell) {
      cells.push_back({where + " / cell " + Join(cell.Index()), table, cell.Index(), cell.Cell()});
    }
  }
  return cells;
}

// The first cell of tree whose text is a T for which accept holds, or null.
// Its position in Cells(tree) names the same cell in a twin of one seed.
template <typename T, typename Accept = bool (*)(T&)>
std::pair<CellAt, T*> FindCell(
    OmOutputTree& tree, Accept accept = [](T&) { return true; }, std::size_t* position = nullptr) {
  const std::vector<CellAt> cells = Cells(tree);
  for (std::size_t k = 0; k < cells.size(); ++k) {
    T* text = dynamic_cast<T*>(cells[k].text);
    if (text == nullptr || !accept(*text)) continue;
    if (position != nullptr) *position = k;
    return {cells[k], text};
  }
  return {{}, nullptr};
}

// Stores replacement in place of cell's text, which the table deletes. The
// replacement takes the old text's footnotes, markers and tracker, and the
// table keeps the old metadata, so only what the caller changed differs.
void ReplaceCell(const CellAt& cell, OmCellText& replacement) {
  const OmCellText& old = *cell.text;
  replacement.Footnotes() = old.Footnotes();
  replacement.setMarkers(old.getMarkers());
  icuTracker* tracker = old.getTracker();
  cell.table->Cell(cell.index, replacement);
  // The table stamps its own tracker into what it stores.
  cell.table->Cell(cell.index)->setTracker(tracker);
}

template <typename Accept>
std::pair<std::string, OmPivotTable*> FindTable(OmOutputTree& tree, Accept accept) {
  return FindItem<OmPivotTable>(tree, accept);
}

bool AnyTable(OmPivotTable&) {
  return true;
}

// A table whose first dimension's root has a first child.
bool FirstCategory(OmPivotTable& t) {
  return t.NDimensions() > 0 && t.Dimension(0).Root().NumChildren() > 0;
}

// A single change made to document b; a few change a as well, to compare
// two values that no random document holds side by side. Returns text that
// the comparison's report must contain, or "" when the document has no
// place for the change (then nothing was changed).
struct Mutation {
  const char* name;
  std::string (*mutate)(OmOutputTree& a, OmOutputTree& b);
};

// For gtest's messages about a parameter.
void PrintTo(const Mutation& mutation, std::ostream* out) {
  *out << mutation.name;
}

const Mutation kMutations[] = {
    {"CellDecimals",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [cell, number] = FindCell<OmNumber>(b);
       if (number == nullptr) return "";
       const int before = number->Decimals();
       number->SetDecimals(before == 3 ? 4 : 3);
       return cell.where + " / decimals: " + Number(before) + " vs " + Number(number->Decimals());
     }},
    // 0.0 and -0.0 compare equal as doubles; the comparison must tell them
    // apart.
    {"NegativeZero",
     [](OmOutputTree& a, OmOutputTree& b) -> std::string {
       std::size_t k = 0;
       const auto [cell, oldB] = FindCell<OmNumber>(
           b, [](OmNumber&) { return true; }, &k);
       if (oldB == nullptr) return "";
       const CellAt cellA = Cells(a)[k];
       OmNumber zero(0.0);
       zero.SetDecimals(dynamic_cast<OmNumber&>(*cellA.text).Decimals());
       ReplaceCell(cellA, zero);
       OmNumber negativeZero(-0.0);
       negativeZero.SetDecimals(oldB->Decimals());
       ReplaceCell(cell, negativeZero);
       return cell.where + " / value: 0 vs -0";
     }},
    {"ValueMode",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [cell, old] = FindCell<OmValue>(b);
       if (old == nullptr) return "";
       const OmCellText::ModeType before = old->Mode();
       const auto after = static_cast<OmCellText::ModeType>((before + 1) % 3);
       OmValue replacement(old->Value(), old->Label(), after);
       ReplaceCell(cell, replacement);
       return cell.where + " / mode: " + Number(before) + " vs " + Number(after);
     }},
    {"FormattedForm",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [cell, string] = FindCell<OmStringCell>(b);
       if (string == nullptr) return "";
       string->SetFormattedString(string->AsFormattedString() + "!");
       return cell.where + " / formatted: ";
     }},
    {"CellMarker",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [cell, text] =
           FindCell<OmCellText>(b, [](OmCellText& t) { return !t.getMarkers().empty(); });
       if (text == nullptr) return "";
       std::vector<std::string> markers = text->getMarkers();
       markers.back() += "*";
       text->setMarkers(markers);
       return cell.where + " / markers: entry " +
              Number(static_cast<std::int64_t>(markers.size() - 1));
     }},
    {"MetadataValue",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [cell, text] =
           FindCell<OmCellText>(b, [](OmCellText& t) { return t.getMeta() != nullptr; });
       if (text == nullptr) return "";
       OmCellMetaData meta = *text->getMeta();
       const std::size_t keys = meta.Size();
       meta.Set("omtree-mutation", meta.Get("omtree-mutation") + "x");
       text->setMeta(meta);
       return cell.where + " / metadata: " + Number(static_cast<std::int64_t>(keys)) + " keys vs ";
     }},
    {"CompositeShape",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [cell, composite] = FindCell<OmComposite>(
           b, [](OmComposite& c) { return c.Parts().Root().NumChildren() > 0; });
       if (composite == nullptr) return "";
       const OmComposite::PartTree::Node part = composite->Parts().Root().Child(0);
       const int children = part.NumChildren();
       composite->AddPart(part, OmMissing());
       return cell.where + " / part [0] / children: " + Number(children) + " vs " +
              Number(children + 1);
     }},
    // The last entry has no children, so one level less keeps the outline a
    // tree.
    {"OutlineLevel",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       if (b.List().empty() || b.List().back().level < 2) return "";
       const std::int32_t level = b.List().back().level--;
       return "item " + Number(b.Size() - 1) + " (" + KindName(b.List().back().item) +
              ") / level: " + Number(level) + " vs " + Number(level - 1);
     }},
    {"ItemKind",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       if (b.List().empty() || dynamic_cast<OmModel*>(b.List().back().item) != nullptr) return "";
       OmOutputPart*& item = b.List().back().item;
       const std::string kind = KindName(item);
       delete item;
       item = new OmModel(OmStringCell("Region", nullptr, false));
       return "item " + Number(b.Size() - 1) + " (" + kind + ") / kind: \"" + kind +
              "\" vs \"model\"";
     }},
    // Payloads only grow through the producer's calls: one more byte.
    {"PayloadByte",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, chart] = FindItem<OmChart>(b, [](OmChart&) { return true; });
       if (chart == nullptr) return "";
       const std::size_t size = chart->GetImageData().size();
       chart->SetImageStream("\xFF", 1);
       return where + " / image: " + Number(static_cast<std::int64_t>(size)) + " bytes ";
     }},
    {"FootnoteCount",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] =
           FindTable(b, [](OmPivotTable& t) { return t.Footnotes().size() > 0; });
       if (table == nullptr) return "";
       OmFootnote& footnote = table->Footnotes()[0];
       const std::int32_t before = footnote.Count();
       footnote.Count(Other(before));
       return where + " / footnote 0 / count: " + Number(before) + " vs " + Number(Other(before));
     }},
    {"HiddenCategory",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] = FindTable(b, FirstCategory);
       if (table == nullptr) return "";
       const OmDimension::Node node = table->Dimension(0).Root().Child(0);
       node->Hide(!node->Hide());
       return where + " / dimension 0 / category [0] / hide: " + Bool(!node->Hide()) + " vs " +
              Bool(node->Hide());
     }},
    {"CategorySubscript",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] = FindTable(b, [](OmPivotTable& t) {
         return FirstCategory(t) && !t.Dimension(0).Root().Child(0)->IsGroup();
       });
       if (table == nullptr) return "";
       const OmDimension::Node node = table->Dimension(0).Root().Child(0);
       const std::size_t before = node->Subscript();
       node->Subscript(before + 100);
       return where + " / dimension 0 / category [0] / subscript: " + std::to_string(before) +
              " vs " + std::to_string(before + 100);
     }},
    {"AxisEntry",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] =
           FindTable(b, [](OmPivotTable& t) { return !t.Columns().empty(); });
       if (table == nullptr) return "";
       short& entry = table->Columns()[0];
       const short before = entry;
       entry = before == -1 ? 0 : -1;
       return where + " / columns: entry 0: " + Number(before) + " vs " + Number(entry);
     }},
    // Fields of the lists that the generator and the comparison share: a
    // table's display properties, an area format and a cell style.
    {"SelectedLayer",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] = FindTable(b, AnyTable);
       if (table == nullptr) return "";
       const int before = table->getLayerLoc();
       table->setLayerLoc(Other(before));
       return where + " / layerLoc: " + Number(before) + " vs " + Number(Other(before));
     }},
    {"AreaFormatField",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] = FindTable(
           b, [](OmPivotTable& t) { return t.getAreaFormat(FormatArea::ColumnLabels) != nullptr; });
       if (table == nullptr) return "";
       FormatArea& format = *table->getAreaFormat(FormatArea::ColumnLabels);
       const int before = format.getMarginTop();
       format.setMarginTop(Other(before));
       return where + " / areaFormat 4 / marginTop: " + Number(before) + " vs " +
              Number(Other(before));
     }},
    {"CellStyle",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] =
           FindTable(b, [](OmPivotTable& t) { return !t.getCellStyles().empty(); });
       if (table == nullptr) return "";
       bool& bold = table->cellStyles().back().bold;
       bold = !bold;
       return where + " / cellStyle " +
              Number(static_cast<std::int64_t>(table->cellStyles().size() - 1)) +
              " / bold: " + Bool(!bold) + " vs " + Bool(bold);
     }},
    {"BackendLocale",
     [](OmOutputTree&, OmOutputTree& b) -> std::string {
       const auto [where, table] = FindTable(b, AnyTable);
       if (table == nullptr) return "";
       BackendSettings& settings = table->getBackendSettings();
       settings.setLocale(settings.getLocale() + "x");
       return where + " / backendSettings / locale: ";
     }},
};

class DocumentModelMutation : public ::testing::TestWithParam<Mutation> {};

// The first seed whose document has a place for the mutation is mutated
// and compared with an unchanged twin: exactly one failure, naming the
// place and the values.
TEST_P(DocumentModelMutation, IsReported) {
  const Mutation& mutation = GetParam();
  for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
    const std::unique_ptr<OmOutputTree> a = RandomDocument(seed);
    const std::unique_ptr<OmOutputTree> b = RandomDocument(seed);
    const std::string expected = mutation.mutate(*a, *b);
    if (expected.empty()) continue;
    SCOPED_TRACE("seed " + std::to_string(seed) + ", expecting: " + expected);
    EXPECT_NONFATAL_FAILURE(ExpectSameDocument(*a, *b), expected);
    return;
  }
  ADD_FAILURE() << "no random document has a place for the mutation";
}

INSTANTIATE_TEST_SUITE_P(Single, DocumentModelMutation, ::testing::ValuesIn(kMutations),
                         [](const ::testing::TestParamInfo<Mutation>& info) {
                           return std::string(info.param.name);
                         });

TEST(DocumentModel, SameSeedGivesEqualDocuments) {
  for (std::uint32_t seed = 1; seed <= kSeeds; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    const std::unique_ptr<OmOutputTree> a = RandomDocument(seed);
    const std::unique_ptr<OmOutputTree> b = RandomDocument(seed);
    ExpectSameDocument(*a, *b);
  }
}

TEST(DocumentModel, DifferentSeedsGiveDifferentDocuments) {
  const std::unique_ptr<OmOutputTree> a = RandomDocument(1);
  const std::unique_ptr<OmOutputTree> b = RandomDocument(2);
  EXPECT_NONFATAL_FAILURE(ExpectSameDocument(*a, *b), "the documents differ in ");
}

TEST(DocumentModel, DeepChains) {
  RandomDocumentOptions options;
  options.items = 10;
  options.deepLevels = 100000;
  const std::unique_ptr<OmOutputTree> a = RandomDocument(7, options);
  const std::unique_ptr<OmOutputTree> b = RandomDocument(7, options);
  ExpectSameDocument(*a, *b);
  ASSERT_GE(b->Size(), options.deepLevels);
  EXPECT_EQ(b->List().back().level, b->List().front().level + options.deepLevels + 1);

  auto* table = dynamic_cast<OmPivotTable*>(b->List().back().item);
  ASSERT_NE(table, nullptr);
  OmDimension::Node deepest = table->Dimension(0).Root();
  while (!deepest.IsLeaf())
    deepest = deepest.FirstChild();
  EXPECT_EQ(deepest.Level(), static_cast<std::uint32_t>(options.deepLevels));
  deepest->HideLabels(!deepest->HideLabels());
  EXPECT_NONFATAL_FAILURE(
      ExpectSameDocument(*a, *b),
      "/ dimension 0 / category [0,0,0,0,0,...(99990 more)...,0,0,0,0,0] / hideLabels: ");

  deepest->HideLabels(!deepest->HideLabels());
  auto* composite = dynamic_cast<OmComposite*>(table->Cell({0, 0}));
  ASSERT_NE(composite, nullptr);
  OmComposite::PartTree::Node part = composite->Parts().Root();
  while (!part.IsLeaf())
    part = part.FirstChild();
  EXPECT_EQ(part.Level(), static_cast<std::uint32_t>(options.deepLevels - 1));
  composite->AddPart(part, OmMissing());
  EXPECT_NONFATAL_FAILURE(ExpectSameDocument(*a, *b),
                          "/ cell [0,0] / part [0,0,0,0,0,...(99989 more)...,0,0,0,0,0] / "
                          "children: 0 vs 1");
}

}  // namespace
