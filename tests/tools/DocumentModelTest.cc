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
#include <set>
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

// The position of the first cell for which accept holds, or -1. Both
// documents of a check come from one seed, so a position names the same
// cell in either.
template <typename Accept>
int FindCell(const std::vector<CellAt>& cells, Accept accept) {
  for (std::size_t k = 0; k < cells.size(); ++k) {
    if (accept(cells[k])) return static_cast<int>(k);
  }
  return -1;
}

template <typename T>
T* As(const CellAt& cell) {
  return dynamic_cast<T*>(cell.text);
}

// A single change made to document b; a few change a as well, to compare
// two values that no random document holds side by side. Returns text that
// the comparison's report must contain, or "" when the document has no
// place for the change (then nothing was changed).
using Mutate = std::string (*)(OmOutputTree& a, OmOutputTree& b);

struct Mutation {
  const char* name;
  Mutate mutate;
};

// For gtest's messages about a parameter.
void PrintTo(const Mutation& mutation, std::ostream* out) {
  *out << mutation.name;
}

std::string CellDecimals(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = FindCell(cells, [](const CellAt& c) { return As<OmNumber>(c) != nullptr; });
  if (k < 0) return "";
  auto* number = As<OmNumber>(cells[k]);
  const int before = number->Decimals();
  number->SetDecimals(before == 3 ? 4 : 3);
  return cells[k].where + " / decimals: " + Number(before) + " vs " + Number(number->Decimals());
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

std::string NumberValue(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = FindCell(cells, [](const CellAt& c) {
    const OmNumber* number = As<OmNumber>(c);
    return number != nullptr && std::isfinite(number->Value()) &&
           number->Value() < std::numeric_limits<double>::max();
  });
  if (k < 0) return "";
  const OmNumber& old = *As<OmNumber>(cells[k]);
  OmNumber replacement(std::nextafter(old.Value(), std::numeric_limits<double>::infinity()));
  replacement.SetDecimals(old.Decimals());
  ReplaceCell(cells[k], replacement);
  return cells[k].where + " / value: ";
}

// 0.0 and -0.0 compare equal as doubles; the comparison must tell them
// apart.
std::string NegativeZero(OmOutputTree& a, OmOutputTree& b) {
  const std::vector<CellAt> cellsA = Cells(a);
  const std::vector<CellAt> cellsB = Cells(b);
  const int k = FindCell(cellsB, [](const CellAt& c) { return As<OmNumber>(c) != nullptr; });
  if (k < 0) return "";
  const OmNumber& oldA = *As<OmNumber>(cellsA[k]);
  const OmNumber& oldB = *As<OmNumber>(cellsB[k]);
  OmNumber zero(0.0);
  zero.SetDecimals(oldA.Decimals());
  ReplaceCell(cellsA[k], zero);
  OmNumber negativeZero(-0.0);
  negativeZero.SetDecimals(oldB.Decimals());
  ReplaceCell(cellsB[k], negativeZero);
  return cellsB[k].where + " / value: 0 vs -0";
}

std::string ValueMode(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = FindCell(cells, [](const CellAt& c) { return As<OmValue>(c) != nullptr; });
  if (k < 0) return "";
  const OmValue& old = *As<OmValue>(cells[k]);
  const OmCellText::ModeType before = old.Mode();
  const auto after = static_cast<OmCellText::ModeType>((before + 1) % 3);
  OmValue replacement(old.Value(), old.Label(), after);
  ReplaceCell(cells[k], replacement);
  return cells[k].where + " / mode: " + Number(before) + " vs " + Number(after);
}

std::string FormattedForm(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = FindCell(cells, [](const CellAt& c) { return As<OmStringCell>(c) != nullptr; });
  if (k < 0) return "";
  auto* string = As<OmStringCell>(cells[k]);
  string->SetFormattedString(string->AsFormattedString() + "!");
  return cells[k].where + " / formatted: ";
}

std::string CellFootnote(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  if (cells.empty()) return "";
  OmCellText& text = *cells[0].text;
  const std::size_t count = text.Footnotes().size();
  text.Footnotes().push_back(-3);
  return cells[0].where + " / footnotes: " + Number(static_cast<std::int64_t>(count)) +
         " entries vs " + Number(static_cast<std::int64_t>(count + 1)) + " entries";
}

std::string CellMarker(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = FindCell(cells, [](const CellAt& c) { return !c.text->getMarkers().empty(); });
  if (k < 0) return "";
  OmCellText& text = *cells[k].text;
  std::vector<std::string> markers = text.getMarkers();
  markers.back() += "*";
  text.setMarkers(markers);
  return cells[k].where + " / markers: entry " +
         Number(static_cast<std::int64_t>(markers.size() - 1));
}

std::string MetadataValue(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = FindCell(cells, [](const CellAt& c) { return c.text->getMeta() != nullptr; });
  if (k < 0) return "";
  OmCellText& text = *cells[k].text;
  OmCellMetaData meta = *text.getMeta();
  const std::size_t keys = meta.Size();
  meta.Set("omtree-mutation", meta.Get("omtree-mutation") + "x");
  text.setMeta(meta);
  return cells[k].where + " / metadata: " + Number(static_cast<std::int64_t>(keys)) + " keys vs ";
}

// A text without metadata and one with empty metadata differ.
std::string EmptyMetadata(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = FindCell(cells, [](const CellAt& c) { return c.text->getMeta() == nullptr; });
  if (k < 0) return "";
  cells[k].text->setMeta(OmCellMetaData());
  return cells[k].where + " / metadata: absent vs present";
}

std::string CellRemoved(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  if (cells.empty()) return "";
  cells.back().table->deleteCell(cells.back().index);
  return cells.back().where + ": only in the first document";
}

// A composite cell whose root part has children.
int CompositeWithParts(const std::vector<CellAt>& cells) {
  return FindCell(cells, [](const CellAt& c) {
    const OmComposite* composite = As<OmComposite>(c);
    return composite != nullptr && composite->Parts().Root().NumChildren() > 0;
  });
}

std::string CompositeShape(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = CompositeWithParts(cells);
  if (k < 0) return "";
  OmComposite& composite = *As<OmComposite>(cells[k]);
  const OmComposite::PartTree::Node part = composite.Parts().Root().Child(0);
  const int children = part.NumChildren();
  composite.AddPart(part, OmMissing());
  return cells[k].where + " / part [0] / children: " + Number(children) + " vs " +
         Number(children + 1);
}

std::string CompositePartText(OmOutputTree&, OmOutputTree& b) {
  const std::vector<CellAt> cells = Cells(b);
  const int k = CompositeWithParts(cells);
  if (k < 0) return "";
  OmComposite& composite = *As<OmComposite>(cells[k]);
  OmCellText*& part = *composite.Parts().Root().Child(0);
  const bool present = part != nullptr;
  delete part;
  part = present ? nullptr : new (composite.Parts().Region()) OmMissing();
  return cells[k].where +
         " / part [0] / text: " + (present ? "present vs absent" : "absent vs present");
}

std::string OutlineLevel(OmOutputTree&, OmOutputTree& b) {
  // The last entry has no children, so one level less keeps the outline a
  // tree.
  if (b.List().empty() || b.List().back().level < 2) return "";
  const std::int32_t level = b.List().back().level--;
  return "item " + Number(b.Size() - 1) + " (" + KindName(b.List().back().item) +
         ") / level: " + Number(level) + " vs " + Number(level - 1);
}

std::string OutlineEntryMissing(OmOutputTree&, OmOutputTree& b) {
  if (b.List().empty()) return "";
  const int entries = b.Size();
  ListTree<OmOutputPart*>::Node last(&b, std::prev(b.List().end()));
  b.Prune(last);
  return "outline entries: " + Number(entries) + " vs " + Number(entries - 1);
}

std::string ItemKind(OmOutputTree&, OmOutputTree& b) {
  if (b.List().empty() || dynamic_cast<OmModel*>(b.List().back().item) != nullptr) return "";
  OmOutputPart*& item = b.List().back().item;
  const std::string kind = KindName(item);
  delete item;
  item = new OmModel(OmStringCell("Region", nullptr, false));
  return "item " + Number(b.Size() - 1) + " (" + kind + ") / kind: \"" + kind + "\" vs \"model\"";
}

std::string ViewerFlag(OmOutputTree&, OmOutputTree& b) {
  const auto [where, item] = FindItem<OmOutputPart>(b, [](OmOutputPart&) { return true; });
  if (item == nullptr) return "";
  item->Visible(!item->Visible());
  return where + " / visible: " + Bool(!item->Visible()) + " vs " + Bool(item->Visible());
}

std::string OutlineTextMarker(OmOutputTree&, OmOutputTree& b) {
  // Outline texts are read-only through the item; a procedure may replace
  // its own.
  const auto [where, procedure] = FindItem<OmProcedure>(b, [](OmProcedure&) { return true; });
  if (procedure == nullptr) return "";
  const std::unique_ptr<OmCellText> text(procedure->OutlineText()->Clone(nullptr));
  std::vector<std::string> markers = text->getMarkers();
  markers.push_back("m");
  text->setMarkers(markers);
  const std::string command = procedure->Command();
  procedure->setOutlineText(*text);
  procedure->SetCommand(command);
  return where + " / outlineText / markers: ";
}

std::string ProcedureMode(OmOutputTree&, OmOutputTree& b) {
  const auto [where, procedure] = FindItem<OmProcedure>(b, [](OmProcedure&) { return true; });
  if (procedure == nullptr) return "";
  const OmCellText::ModeType before = procedure->TableValueDisplay();
  const auto after = static_cast<OmCellText::ModeType>((before + 1) % 3);
  procedure->TableValueDisplay(after);
  return where + " / tableValueDisplay: " + Number(before) + " vs " + Number(after);
}

std::string HeadingSecondText(OmOutputTree&, OmOutputTree& b) {
  const auto [where, heading] = FindItem<OmHeading>(b, [](OmHeading& h) {
    return h.Footnotes().size() > 0 && h.Footnotes()[0].SecondText() != nullptr;
  });
  if (heading == nullptr) return "";
  heading->Footnotes()[0].SecondText(nullptr);
  return where + " / footnote 0 / secondText / text: present vs absent";
}

std::string TextBlockLine(OmOutputTree&, OmOutputTree& b) {
  const auto [where, block] = FindItem<OmTextBlock>(b, [](OmTextBlock& t) { return t.Size() > 0; });
  if (block == nullptr) return "";
  block->TextList().back().push_back('\0');
  return where + " / line " + Number(static_cast<std::int64_t>(block->Size() - 1)) + ": ";
}

// Payloads only grow through the producer's calls: one more byte.
std::string PayloadByte(OmOutputTree&, OmOutputTree& b) {
  const auto [where, chart] = FindItem<OmChart>(b, [](OmChart&) { return true; });
  if (chart == nullptr) return "";
  const std::size_t size = chart->GetImageData().size();
  chart->SetImageStream("\xFF", 1);
  return where + " / image: " + Number(static_cast<std::int64_t>(size)) + " bytes ";
}

std::string ModelType(OmOutputTree&, OmOutputTree& b) {
  const auto [where, model] = FindItem<OmModel>(b, [](OmModel&) { return true; });
  if (model == nullptr) return "";
  const OmModel::MODEL_TYPE before = model->GetModelType();
  model->SetModelType(static_cast<OmModel::MODEL_TYPE>(Other(before)));
  return where + " / modelType: " + Number(before) + " vs " + Number(Other(before));
}

std::string AnswerTreeType(OmOutputTree&, OmOutputTree& b) {
  const auto [where, tree] = FindItem<OmAnswerTree>(b, [](OmAnswerTree&) { return true; });
  if (tree == nullptr) return "";
  const int before = tree->GetTreeType();
  tree->SetTreeType(Other(before));
  return where + " / treeType: " + Number(before) + " vs " + Number(Other(before));
}

// Pivot tables.

template <typename Accept>
std::pair<std::string, OmPivotTable*> FindTable(OmOutputTree& tree, Accept accept) {
  return FindItem<OmPivotTable>(tree, accept);
}

std::string FootnoteCount(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] =
      FindTable(b, [](OmPivotTable& t) { return t.Footnotes().size() > 0; });
  if (table == nullptr) return "";
  OmFootnote& footnote = table->Footnotes()[0];
  const std::int32_t before = footnote.Count();
  footnote.Count(Other(before));
  return where + " / footnote 0 / count: " + Number(before) + " vs " + Number(Other(before));
}

std::string FootnoteText(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] =
      FindTable(b, [](OmPivotTable& t) { return t.Footnotes().size() > 0; });
  if (table == nullptr) return "";
  table->Footnotes()[0].Text(OmVariable("income", "Income", OmCellText::Labels));
  return where + " / footnote 0 / text";
}

std::string RemovedFootnotes(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable&) { return true; });
  if (table == nullptr) return "";
  table->RemovedFootnotes(!table->HasRemovedFootnotes());
  return where + " / removedFootnotes: " + Bool(!table->HasRemovedFootnotes()) + " vs " +
         Bool(table->HasRemovedFootnotes());
}

std::string HiddenCategory(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable& t) {
    return t.NDimensions() > 0 && t.Dimension(0).Root().NumChildren() > 0;
  });
  if (table == nullptr) return "";
  const OmDimension::Node node = table->Dimension(0).Root().Child(0);
  node->Hide(!node->Hide());
  return where + " / dimension 0 / category [0] / hide: " + Bool(!node->Hide()) + " vs " +
         Bool(node->Hide());
}

std::string RootHideLabels(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable& t) { return t.NDimensions() > 1; });
  if (table == nullptr) return "";
  const OmDimension::Node root = table->Dimension(1).Root();
  root->HideLabels(!root->HideLabels());
  return where + " / dimension 1 / root / hideLabels: " + Bool(!root->HideLabels()) + " vs " +
         Bool(root->HideLabels());
}

std::string CategorySort(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable& t) {
    return t.NDimensions() > 0 && t.Dimension(0).Root().NumChildren() > 0;
  });
  if (table == nullptr) return "";
  const OmDimension::Node node = table->Dimension(0).Root().Child(0);
  const OmSort::Order before = node->Sort();
  node->Sort(static_cast<OmSort::Order>((before + 1) % 3));
  return where + " / dimension 0 / category [0] / sort: " + Number(before) + " vs " +
         Number(node->Sort());
}

std::string CategorySubscript(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable& t) {
    return t.NDimensions() > 0 && t.Dimension(0).Root().NumChildren() > 0 &&
           !t.Dimension(0).Root().Child(0)->IsGroup();
  });
  if (table == nullptr) return "";
  const OmDimension::Node node = table->Dimension(0).Root().Child(0);
  const std::size_t before = node->Subscript();
  node->Subscript(before + 100);
  return where + " / dimension 0 / category [0] / subscript: " + std::to_string(before) + " vs " +
         std::to_string(before + 100);
}

std::string DisplayLastCategory(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable& t) { return t.NDimensions() > 0; });
  if (table == nullptr) return "";
  OmDimension& dimension = table->Dimension(0);
  dimension.DisplayLastCategory(!dimension.DisplayLastCategory());
  return where + " / dimension 0 / displayLastCategory: ";
}

std::string AxisEntry(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable& t) { return !t.Columns().empty(); });
  if (table == nullptr) return "";
  short& entry = table->Columns()[0];
  const short before = entry;
  entry = before == -1 ? 0 : -1;
  return where + " / columns: entry 0: " + Number(before) + " vs " + Number(entry);
}

std::string SelectedLayer(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable&) { return true; });
  if (table == nullptr) return "";
  const int before = table->getLayerLoc();
  table->setLayerLoc(Other(before));
  return where + " / layerLoc: " + Number(before) + " vs " + Number(Other(before));
}

std::string TableId(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable&) { return true; });
  if (table == nullptr) return "";
  const std::int64_t before = table->TableId();
  table->TableId(before ^ 1);
  return where + " / tableId: " + Number(before) + " vs " + Number(before ^ 1);
}

std::string CaptionShown(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable&) { return true; });
  if (table == nullptr) return "";
  table->showCaption(!table->showCaption());
  return where + " / showCaption: ";
}

std::string CornerTextRemoved(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] =
      FindTable(b, [](OmPivotTable& t) { return t.CornerText() != nullptr; });
  if (table == nullptr) return "";
  table->CornerText(nullptr);
  return where + " / cornerText / text: present vs absent";
}

std::string TitleReplaced(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] =
      FindTable(b, [](OmPivotTable& t) { return t.GetTableTitle() != nullptr; });
  if (table == nullptr) return "";
  const std::unique_ptr<OmCellText> title(table->GetTableTitle()->Clone(nullptr));
  title->Footnotes().push_back(7);
  table->SetTableTitle(*title);
  return where + " / title / footnotes: ";
}

std::string AreaFormatField(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(
      b, [](OmPivotTable& t) { return t.getAreaFormat(FormatArea::ColumnLabels) != nullptr; });
  if (table == nullptr) return "";
  FormatArea& format = *table->getAreaFormat(FormatArea::ColumnLabels);
  const int before = format.getMarginTop();
  format.setMarginTop(Other(before));
  return where + " / areaFormat 4 / marginTop: " + Number(before) + " vs " + Number(Other(before));
}

// Floats by their bits, as doubles are.
std::string FontSizeZero(OmOutputTree& a, OmOutputTree& b) {
  const auto found = [](OmPivotTable& t) { return t.getAreaFormat(FormatArea::Data) != nullptr; };
  const auto [where, table] = FindTable(b, found);
  if (table == nullptr) return "";
  FindTable(a, found).second->getAreaFormat(FormatArea::Data)->setFontSize(0.0f);
  table->getAreaFormat(FormatArea::Data)->setFontSize(-0.0f);
  return where + " / areaFormat 5 / fontSize: 0 vs -0";
}

std::string AreaFormatMissing(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] =
      FindTable(b, [](OmPivotTable& t) { return t.getAreaFormat(FormatArea::Borders) == nullptr; });
  if (table == nullptr) return "";
  table->setAreaFormat(new FormatArea(FormatArea::Borders));
  return where + " / areaFormat 8: absent vs present";
}

std::string CellStyle(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] =
      FindTable(b, [](OmPivotTable& t) { return !t.getCellStyles().empty(); });
  if (table == nullptr) return "";
  bool& bold = table->cellStyles().back().bold;
  bold = !bold;
  return where + " / cellStyle " +
         Number(static_cast<std::int64_t>(table->cellStyles().size() - 1)) +
         " / bold: " + Bool(!bold) + " vs " + Bool(bold);
}

std::string EmptyCellStyle(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] =
      FindTable(b, [](OmPivotTable& t) { return !t.getEmptyCellStyles().empty(); });
  if (table == nullptr) return "";
  auto& entry = *table->emptyCellStyles().begin();
  const unsigned short before = entry.second;
  ++entry.second;
  return where + " / emptyCellStyles: entry 0: " + std::to_string(entry.first) + ":" +
         Number(before) + " vs " + std::to_string(entry.first) + ":" + Number(entry.second);
}

std::string CustomWidths(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable&) { return true; });
  if (table == nullptr) return "";
  std::vector<unsigned> widths = table->getTableCustomWidths();
  widths.push_back(7);
  table->setTableCustomWidths(widths);
  return where + " / customWidths: ";
}

std::string BackendLocale(OmOutputTree&, OmOutputTree& b) {
  const auto [where, table] = FindTable(b, [](OmPivotTable&) { return true; });
  if (table == nullptr) return "";
  BackendSettings& settings = table->getBackendSettings();
  settings.setLocale(settings.getLocale() + "x");
  return where + " / backendSettings / locale: ";
}

const Mutation kMutations[] = {
    {"CellDecimals", CellDecimals},
    {"NumberValue", NumberValue},
    {"NegativeZero", NegativeZero},
    {"ValueMode", ValueMode},
    {"FormattedForm", FormattedForm},
    {"CellFootnote", CellFootnote},
    {"CellMarker", CellMarker},
    {"MetadataValue", MetadataValue},
    {"EmptyMetadata", EmptyMetadata},
    {"CellRemoved", CellRemoved},
    {"CompositeShape", CompositeShape},
    {"CompositePartText", CompositePartText},
    {"OutlineLevel", OutlineLevel},
    {"OutlineEntryMissing", OutlineEntryMissing},
    {"ItemKind", ItemKind},
    {"ViewerFlag", ViewerFlag},
    {"OutlineTextMarker", OutlineTextMarker},
    {"ProcedureMode", ProcedureMode},
    {"HeadingSecondText", HeadingSecondText},
    {"TextBlockLine", TextBlockLine},
    {"PayloadByte", PayloadByte},
    {"ModelType", ModelType},
    {"AnswerTreeType", AnswerTreeType},
    {"FootnoteCount", FootnoteCount},
    {"FootnoteText", FootnoteText},
    {"RemovedFootnotes", RemovedFootnotes},
    {"HiddenCategory", HiddenCategory},
    {"RootHideLabels", RootHideLabels},
    {"CategorySort", CategorySort},
    {"CategorySubscript", CategorySubscript},
    {"DisplayLastCategory", DisplayLastCategory},
    {"AxisEntry", AxisEntry},
    {"SelectedLayer", SelectedLayer},
    {"TableId", TableId},
    {"CaptionShown", CaptionShown},
    {"CornerTextRemoved", CornerTextRemoved},
    {"TitleReplaced", TitleReplaced},
    {"AreaFormatField", AreaFormatField},
    {"FontSizeZero", FontSizeZero},
    {"AreaFormatMissing", AreaFormatMissing},
    {"CellStyle", CellStyle},
    {"EmptyCellStyle", EmptyCellStyle},
    {"CustomWidths", CustomWidths},
    {"BackendLocale", BackendLocale},
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

// What the documents of the first seeds hold, as names: every kind and
// edge case the generator promises must appear among them.
class Coverage {
 public:
  void Document(OmOutputTree& tree) {
    int roots = 0;
    for (const auto& entry : tree.List()) {
      roots += entry.level == 0;
      Item(entry.item);
    }
    if (tree.List().empty()) Saw("empty outline");
    if (roots > 1) Saw("several roots");
  }

  const std::set<std::string>& Seen() const { return _seen; }

 private:
  void Saw(const std::string& what) { _seen.insert(what); }

  void Item(OmOutputPart* item) {
    Saw("item " + KindName(item));
    if (item == nullptr) return;
    Text(item->OutlineText());
    if (!item->Visible()) Saw("invisible item");
    if (auto* heading = dynamic_cast<OmHeading*>(item)) {
      Footnotes(heading->Footnotes());
    } else if (auto* block = dynamic_cast<OmTextBlock*>(item)) {
      if (block->IsLog()) Saw("log");
      for (const std::string& line : block->TextList()) {
        if (line.find('\0') != std::string::npos) Saw("zero byte in a line");
      }
    } else if (auto* chart = dynamic_cast<OmChart*>(item)) {
      Payload(chart->GetXmlDescription());
      Payload(chart->GetImageData());
      if (chart->hasMap()) Saw("map info");
      if (chart->GetEditable() != OmChart::NotEditable &&
          chart->GetEditable() != OmChart::Editable) {
        Saw("editable value outside the enumeration");
      }
    } else if (auto* model = dynamic_cast<OmModel*>(item)) {
      Payload(model->GetPMML());
      if (model->GetModelType() == OmModel::Container) Saw("container model");
    } else if (auto* tree = dynamic_cast<OmAnswerTree*>(item)) {
      Payload(tree->GetCompressedXml());
    } else if (auto* table = dynamic_cast<OmPivotTable*>(item)) {
      Table(*table);
    }
  }

  void Payload(const std::string& bytes) {
    std::string every;
    for (int value = 0; value < 256; ++value)
      every += static_cast<char>(value);
    if (bytes.find(every) != std::string::npos) Saw("payload with every byte value");
  }

  void Footnotes(const OmVector<OmFootnote>& footnotes) {
    for (const OmFootnote& footnote : footnotes) {
      if (footnote.Text() == nullptr) Saw("footnote without text");
      if (footnote.SecondText() != nullptr) Saw("footnote with second text");
      if (footnote.Count() < 0) Saw("negative footnote count");
      Text(footnote.Text());
      Text(footnote.SecondText());
    }
  }

  void Table(OmPivotTable& table) {
    Text(table.GetTableTitle());
    Text(table.Caption());
    Text(table.CornerText());
    if (table.Caption() != nullptr && !table.showCaption()) Saw("hidden caption");
    if (table.NDimensions() == 0) Saw("table without dimensions");
    Footnotes(table.Footnotes());
    if (table.getICUTracker() != nullptr) {
      Saw(table.getU8Tracker() == table.getICUTracker() ? "shared trackers" : "two trackers");
    }
    if (table.getBackendSettings().getFastTables() != (table.getICUTracker() != nullptr)) {
      Saw("trackers from earlier settings");
    }
    std::size_t assigned = 0;
    for (const PuppetVector<short>* list : {&table.Rows(), &table.Columns(), &table.Layers()}) {
      for (short d : *list) {
        if (d == -1) Saw("unassigned axis place");
        assigned += d != -1;
      }
    }
    if (assigned < table.NDimensions()) Saw("dimension on no axis");
    for (int area = FormatArea::Title; area <= FormatArea::Borders; ++area) {
      if (table.getAreaFormat(static_cast<FormatArea::Area>(area)) != nullptr) {
        Saw("area format " + std::to_string(area));
      }
    }
    if (table.getEmptyCellStyles().count(std::numeric_limits<std::size_t>::max()) != 0) {
      Saw("largest empty-cell style key");
    }
    for (std::size_t d = 0; d < table.NDimensions(); ++d) {
      Dimension(table.Dimension(static_cast<int>(d)));
    }
    bool stamped = false;
    bool unstamped = false;
    for (OmPivotTable::Iterator cell = table.FirstCell(); cell.Cell() != nullptr; ++cell) {
      (cell.Cell()->getTracker() != nullptr ? stamped : unstamped) = true;
      Text(cell.Cell());
    }
    if (stamped && unstamped) Saw("stamped and unstamped cells in one table");
  }

  void Dimension(OmDimension& dimension) {
    Text(&dimension.Name());
    int leaves = 0;
    OmDimension::Tree::WalkBelow(
        dimension.Root(), [](const OmDimension::Node&) { return true; },
        [&](const OmDimension::Node& node) {
          Text(node->Text());
          if (node->IsGroup()) Saw("group");
          if (!node->IsGroup() && !node.IsLeaf()) Saw("leaf with children");
          if (node->IsGroup() && node.IsLeaf()) Saw("empty group");
          if (node->Hide()) Saw("hidden category");
          if (node->HideLabels()) Saw("category hiding labels");
          if (node->Sort() == OmSort::Down) Saw("sorted down");
          leaves += !node->IsGroup();
        });
    if (dimension.NumCategories() != leaves) Saw("category count from a deletion");
    if (dimension.Root()->Hide()) Saw("hidden dimension name");
  }

  // Walks composites with a list, as deep as they go.
  void Text(const OmCellText* top) {
    std::vector<const OmCellText*> pending{top};
    while (!pending.empty()) {
      const OmCellText* text = pending.back();
      pending.pop_back();
      if (text == nullptr) {
        Saw("null composite part");
        continue;
      }
      Saw(std::string("text ") + document_test::internal::TextKind(*text));
      Fields(*text);
      if (const auto* composite = dynamic_cast<const OmComposite*>(text)) {
        const OmCellText* root = *composite->Parts().Root();
        if (root != nullptr && root->TextLength() > 0) Saw("composite with a root text");
        OmComposite::PartTree::WalkBelow(
            composite->Parts().Root(), [](const OmComposite::PartTree::ConstNode&) { return true; },
            [&](const OmComposite::PartTree::ConstNode& part) {
              if (part.Level() > 1) Saw("nested part");
              if (*part != nullptr && (*part)->IsComposite()) Saw("composite within a composite");
              pending.push_back(*part);
            });
      }
    }
  }

  void Fields(const OmCellText& text) {
    for (short number : text.Footnotes()) {
      if (number < 0) Saw("negative footnote number");
    }
    if (!text.getMarkers().empty()) Saw("markers");
    if (text.getMeta() != nullptr) Saw(text.getMeta()->Size() == 0 ? "empty metadata" : "metadata");
    if (const auto* number = dynamic_cast<const OmNumber*>(&text)) {
      const double value = number->Value();
      if (std::isnan(value)) Saw("nan");
      if (std::isinf(value)) Saw(value > 0 ? "inf" : "-inf");
      if (value == 0 && std::signbit(value)) Saw("-0");
      if (std::fpclassify(value) == FP_SUBNORMAL) Saw("subnormal");
      if (number->Decimals() == OmNumber::kShortest) Saw("shortest form");
      if (number->Decimals() == OmNumber::kMaxDecimals) Saw("most decimals");
    }
    if (const auto* string = dynamic_cast<const OmStringCell*>(&text)) {
      const std::string bytes = string->AsString();
      if (string->IsSystemText()) Saw("system text");
      if (string->AsFormattedString() != bytes) Saw("formatted form");
      if (bytes.find('\0') != std::string::npos) Saw("zero byte");
      if (bytes.find('\xFF') != std::string::npos) Saw("byte that is not UTF-8");
      if (bytes.find("\xE6\x9D\xB1") != std::string::npos) Saw("UTF-8 beyond ASCII");
    }
    if (const auto* value = dynamic_cast<const OmValue*>(&text))
      Saw("value mode " + Number(value->Mode()));
    if (const auto* variable = dynamic_cast<const OmVariable*>(&text)) {
      Saw("variable mode " + Number(variable->Mode()));
    }
  }

  std::set<std::string> _seen;
};

TEST(DocumentModel, GeneratorReachesEveryCase) {
  Coverage coverage;
  for (std::uint32_t seed = 1; seed <= kSeeds; ++seed)
    coverage.Document(*RandomDocument(seed));
  const char* const expected[] = {"item heading",
                                  "item procedure",
                                  "item textBlock",
                                  "item pageTitle",
                                  "item chart",
                                  "item model",
                                  "item answerTree",
                                  "item pivotTable",
                                  "item empty",
                                  "log",
                                  "several roots",
                                  "empty outline",
                                  "invisible item",
                                  "zero byte in a line",
                                  "map info",
                                  "editable value outside the enumeration",
                                  "container model",
                                  "payload with every byte value",
                                  "footnote without text",
                                  "footnote with second text",
                                  "negative footnote count",
                                  "hidden caption",
                                  "table without dimensions",
                                  "shared trackers",
                                  "two trackers",
                                  "trackers from earlier settings",
                                  "unassigned axis place",
                                  "dimension on no axis",
                                  "area format 0",
                                  "area format 1",
                                  "area format 2",
                                  "area format 3",
                                  "area format 4",
                                  "area format 5",
                                  "area format 6",
                                  "area format 7",
                                  "area format 8",
                                  "largest empty-cell style key",
                                  "stamped and unstamped cells in one table",
                                  "group",
                                  "leaf with children",
                                  "empty group",
                                  "hidden category",
                                  "category hiding labels",
                                  "sorted down",
                                  "category count from a deletion",
                                  "hidden dimension name",
                                  "null composite part",
                                  "text string",
                                  "text number",
                                  "text variable",
                                  "text value",
                                  "text missing",
                                  "text composite",
                                  "composite with a root text",
                                  "nested part",
                                  "composite within a composite",
                                  "negative footnote number",
                                  "markers",
                                  "empty metadata",
                                  "metadata",
                                  "nan",
                                  "inf",
                                  "-inf",
                                  "-0",
                                  "subnormal",
                                  "shortest form",
                                  "most decimals",
                                  "system text",
                                  "formatted form",
                                  "zero byte",
                                  "byte that is not UTF-8",
                                  "UTF-8 beyond ASCII",
                                  "value mode 0",
                                  "value mode 1",
                                  "value mode 2",
                                  "variable mode 0",
                                  "variable mode 1",
                                  "variable mode 2"};
  for (const char* name : expected) {
    EXPECT_EQ(coverage.Seen().count(name), 1u)
        << "no document of the first " << kSeeds << " seeds has: " << name;
  }
}

// Chains of 100,000 levels: both the generator and the comparison loop
// instead of recursing, and a difference at the bottom is found and
// reported with a shortened path.
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
