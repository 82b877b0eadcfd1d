// Tests of the document format: the demo document and a CSV crosstab
// against golden files (run with OMTREE_UPDATE_GOLDEN=1 to rewrite them
// after a deliberate change, and review the diff); write, read and write
// again giving the same text; a version 1 document read back; every kind
// of bad input with its exact message; and random tables whose laid-out
// layers are checked against a reference model. Random documents that set
// every field, and chains deeper than any call stack, make the round trip
// in DocumentRoundTripTest.cc.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Crosstab.h"
#include "Demo.h"
#include "Document.h"
#include "JsonText.h"
#include "Text.h"
#include "tests/backend/omtree/DisplayTestSupport.h"
#include "tests/tools/GoldenFile.h"

namespace {

// Documents are read back into sorted objects: an ordered object copies its
// values when it grows, and a copy recurses through a value's whole depth.
using Json = nlohmann::json;
using namespace display_test;  // NOLINT: table builders
using Index = std::vector<int>;
using Leaves = std::vector<std::pair<std::string, int>>;  // label and subscript, in pre-order

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::string Golden(const std::string& name) {
  return ReadFile(std::string(OMTREE_GOLDEN_DIR) + "/" + name);
}

// text read and written again.
std::string Resaved(const std::string& text, const omdoc::SaveOptions& options = {}) {
  const std::unique_ptr<OmOutputTree> loaded = omdoc::Load(text, "resaved");
  return omdoc::Save(*loaded, options);
}

// The crosstab of the survey that the golden file survey-mean.json holds,
// made as omtree-view makes it.
std::unique_ptr<OmOutputTree> SurveyCrosstab() {
  omcrosstab::Request request;
  request.path = std::string(OMTREE_GOLDEN_DIR) + "/../browser/survey.csv";
  request.rows = {"city"};
  request.columns = {"sex"};
  request.layers = {"year"};
  request.statistics = {omcrosstab::Statistic::kMean};
  request.valueColumn = "income";
  request.groupings = {{"city", {"country"}}};
  return omcrosstab::BuildCrosstab(request);
}

TEST(DocumentGolden, DemoDocument) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  const std::string all = omdoc::Save(*demo);
  golden::ExpectGolden("demo.json", all);
  // One line per stored cell, so that big tables stay small and diffs of
  // saved documents read cell by cell.
  std::size_t cells = 0, cellLines = 0;
  for (const auto& entry : demo->List()) {
    const auto* table = dynamic_cast<const OmPivotTable*>(entry.item);
    for (auto it = table ? table->FirstCell() : OmPivotTable::ConstIterator(); it.Cell(); ++it)
      ++cells;
  }
  std::istringstream lines(all);
  const std::regex cellLine(R"(^ *\{"index": \[[0-9, ]*\], "text": \{.*\}\},?$)");
  for (std::string line; std::getline(lines, line);)
    cellLines += std::regex_match(line, cellLine) ? 1 : 0;
  EXPECT_EQ(cellLines, cells);
  EXPECT_GT(cells, 0u);
  const omdoc::SaveOptions chosen{true, {false, true, true, 1}};  // hide, names, layer
  golden::ExpectGolden("demo-hide-empty-names-layer-1.json", omdoc::Save(*demo, chosen));
}

TEST(DocumentRoundTrip, WriteReadWriteGivesTheSameText) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  const std::unique_ptr<OmOutputTree> survey = SurveyCrosstab();
  for (OmOutputTree* tree : {demo.get(), survey.get()}) {
    for (const omdoc::SaveOptions& options : {omdoc::SaveOptions{}, omdoc::SaveOptions{false, {}},
                                              omdoc::SaveOptions{true, {false, true, false, 0}}}) {
      const std::string text = omdoc::Save(*tree, options);
      EXPECT_EQ(Resaved(text, options), text);
    }
  }
  // The golden file that omtree-view writes, read and written again.
  EXPECT_EQ(Resaved(Golden("survey-mean.json")), Golden("survey-mean.json"));
}

// A version 1 document (the export before version 2) reads back into a
// document that the text renderer shows as it showed the original: the
// golden text was checked against the version 1 file's own laid-out layers
// when it was made.
TEST(DocumentVersion1, SurveyReadsBackAsItShowed) {
  const std::unique_ptr<OmOutputTree> loaded =
      omdoc::Load(Golden("v1-survey-mean.json"), "v1-survey-mean.json");
  std::string shown;
  for (const omrender::Options& options :
       {omrender::Options{}, omrender::Options{true, true, true, -1}})
    shown += omrender::RenderDocument(*loaded, options);
  golden::ExpectGolden("v1-survey-mean.txt", shown);
}

template <typename Item>
const Item& NthItem(const OmOutputTree& tree, int n) {
  for (const auto& entry : tree.List()) {
    const auto* item = dynamic_cast<const Item*>(entry.item);
    if (item != nullptr && n-- == 0) return *item;
  }
  throw std::out_of_range("no such item");
}

// --- Bad input -------------------------------------------------------------

// A small document with one table, one key or value per line where a
// message points at it. Each case replaces one piece of it.
const char kTable[] = R"({"format": "omtree-document", "version": 2, "items": [
 {"kind": "pivotTable", "text": {"kind": "string", "text": "T"},
  "visible": true, "expanded": true,
  "templateName": {"kind": "string", "text": "T"}, "hasSplits": false, "showCaption": true,
  "backendSettings": {"locale": "", "unicode": false,
   "fastTables": false},
  "removedFootnotes": false, "hasMarkers": false, "scratched": false,
  "display": {"show": true, "rotateRowLabels": false, "rotateColumnLabels": false,
   "optionNumber": -1, "tableId": -1, "tableLocale": "", "minColumnWidth": -1,
   "maxColumnWidth": -1, "minRowWidth": -1, "maxRowWidth": -1, "layerLocation": -1,
   "borderInfo": "", "tableLookInfo": "", "tablePropertiesInfo": "", "customWidths": [],
   "customHeights": [], "backendOwns": true, "fastTable": true},
  "areaFormats": [], "cellStyles": [], "emptyCellStyles": [],
  "dimensions": [{"displayLastCategory": false,
   "categoryCount": 2,
   "root": {"text": {"kind": "string", "text": "D"}, "group": true, "hidden": false,
    "hideLabels": false, "sort": "unsorted", "children": [
     {"text": {"kind": "string", "text": "a"}, "group": false, "subscript": 0,
      "hidden": false, "hideLabels": false, "sort": "unsorted"},
     {"text": {"kind": "string", "text": "b"}, "group": false, "subscript": 1,
      "hidden": false, "hideLabels": false, "sort": "unsorted"}]}}],
  "axes": {"rows": [0], "columns": [], "layers": []},
  "footnotes": [{"number": 0, "text": {"kind": "string", "text": "F"}, "count": 1}],
  "cells": [{"index": [1], "text": {"kind": "number", "value": 1.5, "decimals": -1}}],
  "children": []}]}
)";

// kTable with its first occurrence of from replaced by to.
std::string Table(const std::string& from, const std::string& to) {
  std::string text = kTable;
  const std::size_t at = text.find(from);
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

const char kHeading[] =
    R"({"format": "omtree-document", "version": 2, "items": [{"kind": "heading",)"
    R"( "text": {"kind": "string", "text": "H"}, "visible": true, "expanded": true,)"
    R"( "footnotes": [], "children": []}]})";

std::string Heading(const std::string& from, const std::string& to) {
  std::string text = kHeading;
  return text.replace(text.find(from), from.size(), to);
}

struct BadInput {
  const char* what;
  std::string document;
  std::string message;
};

TEST(DocumentLoad, GoodSamplesLoad) {
  for (const std::string& good : {std::string(kTable), std::string(kHeading)}) {
    EXPECT_NO_THROW(omdoc::Load(good, "good.json"));
  }
}

TEST(DocumentLoad, BadInputFailsWithItsMessage) {
  const BadInput cases[] = {
      {"a syntax error", Heading(R"("visible": true)", R"("visible": tru)"),
       "bad.json:1:130: syntax error while parsing value - invalid literal; last read: "
       "'\"visible\": tru,'"},
      {"the text ends early", R"({"format": "omtree-document", "version": 2, "items": [)",
       "bad.json:1:55: syntax error while parsing value - unexpected end of input; expected "
       "'[', '{', or a literal"},
      {"a value of the wrong type", Heading(R"("visible": true)", R"("visible": 1)"),
       "bad.json:1:127: expected true or false, found an integer (at /items/0/visible)"},
      {"columns count characters, not bytes",
       Heading(R"("H"}, "visible": true)", "\"\xc3\xa9\xc3\xa9\"}, \"visible\": 1"),
       "bad.json:1:128: expected true or false, found an integer (at /items/0/visible)"},
      {"a missing field", Heading(R"("expanded": true,)", ""),
       "bad.json:1:55: missing \"expanded\" (at /items/0)"},
      {"an unknown kind of item", Heading(R"("kind": "heading")", R"("kind": "headline")"),
       "bad.json:1:64: unknown kind of item \"headline\" (at /items/0/kind)"},
      {"an unknown kind of text", Heading(R"("kind": "string")", R"("kind": "rope")"),
       "bad.json:1:92: unknown kind of text \"rope\" (at /items/0/text/kind)"},
      {"an unknown key", Heading(R"("footnotes")", R"("colour": 1, "footnotes")"),
       "bad.json:1:151: unknown key \"colour\" (at /items/0/colour)"},
      {"a key given twice", Heading(R"("visible": true)", R"("visible": true, "visible": true)"),
       "bad.json:1:133: duplicate key \"visible\" (at /items/0/visible)"},
      {"a newer version", Heading(R"("version": 2)", R"("version": 3)"),
       "bad.json:1:42: version 3 is newer than this reader knows (2) (at /version)"},
      {"no version", Heading(R"("version": 2)", R"("version": 0)"),
       "bad.json:1:42: version 0 is no version of the format (at /version)"},
      {"another format", Heading("omtree-document", "table"),
       "bad.json:1:12: not an omtree document: the format is \"table\" (at /format)"},
      {"not an object", "[]", "bad.json:1:1: expected an object, found an array"},
      // "/" and "~" in a key are escaped in the pointer; columns count
      // characters.
      {"an unknown key with a slash",
       "{\"format\": \"omtree-document\", \"version\": 2,\n\"items\": [], \"\xc3\xa9/~\": 1}",
       "bad.json:2:14: unknown key \"\xc3\xa9/~\" (at /\xc3\xa9~1~0)"},
      {"a category count that does not match",
       Table(R"("categoryCount": 2)", R"("categoryCount": 5)"),
       "bad.json:15:21: categoryCount 5 does not match the categories (2 leaves) "
       "(at /items/0/dimensions/0/categoryCount)"},
      {"a footnote number out of place", Table(R"("number": 0)", R"("number": 1)"),
       "bad.json:23:28: footnote number 1 does not match its place 0 "
       "(at /items/0/footnotes/0/number)"},
      {"a cell subscript that names no leaf", Table(R"("index": [1])", R"("index": [2])"),
       "bad.json:24:24: subscript 2 names no leaf of dimension 0 (at /items/0/cells/0/index/0)"},
      {"a huge cell subscript", Table(R"("index": [1])", R"("index": [2147483647])"),
       "bad.json:24:24: subscript 2147483647 names no leaf of dimension 0 "
       "(at /items/0/cells/0/index/0)"},
      {"a cell subscript past int", Table(R"("index": [1])", R"("index": [2147483648])"),
       "bad.json:24:24: 2147483648 is out of range (0 to 2147483647) "
       "(at /items/0/cells/0/index/0)"},
      {"a huge leaf subscript", Table(R"("subscript": 1)", R"("subscript": 2147483647)"),
       "bad.json:20:77: subscript 2147483647 is too large: a dimension of 2 leaves takes "
       "subscripts below 1028 (at /items/0/dimensions/0/root/children/1/subscript)"},
      {"an index of the wrong length", Table(R"("index": [1])", R"("index": [1, 0])"),
       "bad.json:24:23: index has 2 subscripts; the table has 1 dimensions "
       "(at /items/0/cells/0/index)"},
      {"a cell given twice",
       Table(R"("cells": [)", R"("cells": [{"index": [1], "text": {"kind": "missing"}}, )"),
       "bad.json:24:58: a second cell at index [1] (at /items/0/cells/1)"},
      {"bad base64", Heading(R"("text": "H")", R"("text": {"base64": "SGl="})"),
       "bad.json:1:121: invalid base64 (at /items/0/text/text/base64)"},
      {"an axis naming no dimension", Table(R"("rows": [0])", R"("rows": [0, 1])"),
       "bad.json:22:24: rows names dimension 1; the table has 1 (at /items/0/axes/rows/1)"},
      {"a log that is not one",
       R"({"format": "omtree-document", "version": 2, "items": [{"kind": "log", "text": )"
       R"({"kind": "string", "text": "H"}, "visible": true, "expanded": true, "codePage": "",)"
       R"( "lines": [], "children": []}]})",
       "bad.json:1:79: a log's text reads \"Log\" (at /items/0/text)"},
      {"fast tables without a tracker", Table(R"("fastTables": false)", R"("fastTables": true)"),
       "bad.json:6:18: fast tables without a tracker: the table makes one when it first gets "
       "them (at /items/0/backendSettings/fastTables)"},
      {"a version 1 payload with bytes",
       R"({"format": "omtree-document", "version": 1, "items": [{"kind": "model",)"
       R"( "text": "M", "visible": true, "expanded": true, "modelType": 0,)"
       R"( "payloadBytes": {"pmml": 0, "binaryData": 20, "pmmlContainer": 0,)"
       R"( "statXmlContainer": 0}, "children": []}]})",
       "bad.json:1:179: a version 1 document gives only the size of a model's payload: the 20 "
       "bytes of \"binaryData\" cannot be restored (at /items/0/payloadBytes/binaryData)"},
  };
  for (const BadInput& bad : cases) {
    SCOPED_TRACE(bad.what);
    try {
      omdoc::Load(bad.document, "bad.json");
      ADD_FAILURE() << "loaded";
    } catch (const omdoc::LoadError& error) {
      EXPECT_EQ(error.what(), bad.message);
      // The parts of the message are the error's fields.
      const std::string prefix =
          "bad.json:" + std::to_string(error.line()) + ":" + std::to_string(error.column()) + ": ";
      EXPECT_EQ(bad.message.rfind(prefix, 0), 0u);
      const std::size_t at = bad.message.rfind(" (at ");
      EXPECT_EQ(error.pointer(), at == std::string::npos
                                     ? ""
                                     : bad.message.substr(at + 5, bad.message.size() - at - 6));
    }
  }
}

// Categories are read in storage order and indexed once: a loaded
// dimension finds each child by its label, so adding one that is there
// already adds nothing.
TEST(DocumentLoad, LoadedCategoriesAreFoundByLabel) {
  auto* table = new OmPivotTable(Text("Order"), Text("Order"), false);
  OmDimension& dimension = table->AddDimension(Text("Letters"));
  const std::vector<std::string> labels = {"c", "a", "d", "b"};
  for (std::size_t k = 0; k < labels.size(); ++k)
    dimension.AddNewChild(dimension.Root(), Text(labels[k]), k, false);
  dimension.AddNewChild(dimension.Root(), Text("a"), OmDimensionNode::kNoSubscript, true);
  table->Rows().push_back(0);
  table->EndTable();
  OmOutputTree tree;
  tree.Root().AppendChild(table);

  const std::unique_ptr<OmOutputTree> loaded = omdoc::Load(omdoc::Save(tree), "order");
  OmDimension& read = const_cast<OmPivotTable&>(NthItem<OmPivotTable>(*loaded, 0)).Dimension(0);
  for (std::size_t k = 0; k < labels.size(); ++k)
    EXPECT_EQ(OmDimension::FindChild(read.Root(), Text(labels[k]), false), static_cast<int>(k));
  EXPECT_EQ(OmDimension::FindChild(read.Root(), Text("a"), true), 4);
  read.Child(read.Root(), Text("d"), 9, false);
  EXPECT_EQ(read.Root().NumChildren(), 5);
  EXPECT_EQ(read.NumCategories(), 4);
}

// --- Deep documents --------------------------------------------------------

// Indentation stops growing at 32 levels, so that a deep outline's lines
// stay short. (document_roundtrip's DeepChains takes outline, category and
// part chains of 100,000 levels through Save and Load.)
TEST(DocumentDeep, IndentationStopsAt32Levels) {
  OmOutputTree tree;
  ListTree<OmOutputPart*>::Node node = tree.Root();
  for (int level = 1; level <= 40; ++level)
    node = node.AppendChild(new OmHeading(Text("h" + std::to_string(level))));
  const std::string text = omdoc::Save(tree);
  std::size_t widestIndent = 0;
  for (std::size_t line = 0; line < text.size(); line = text.find('\n', line) + 1)
    widestIndent = std::max(widestIndent, text.find_first_not_of(' ', line) - line);
  EXPECT_EQ(widestIndent, 64u);
  EXPECT_EQ(omdoc::Save(*omdoc::Load(text, "deep")), text);
}

// Composites in parts of composites may nest 64 deep, the outermost
// counted; the library copies such nesting recursively, so the reader
// refuses more.
TEST(DocumentDeep, CompositesNestAsPartsToALimit) {
  const auto nested = [](int depth) {
    std::string text = R"({"kind": "string", "text": "x"})";
    for (int level = 0; level < depth; ++level)
      text = R"({"kind": "composite", "root": {"text": )" + text + "}}";
    return R"({"format": "omtree-document", "version": 2, "items": [{"kind": "heading", )"
           R"("text": )" +
           text + R"(, "visible": true, "expanded": true, "footnotes": [], "children": []}]})";
  };
  const std::unique_ptr<OmOutputTree> deepest = omdoc::Load(nested(64), "nested");
  EXPECT_EQ(deepest->Root().Item()->OutlineText()->AsString(), "x");
  try {
    omdoc::Load(nested(65), "nested");
    ADD_FAILURE() << "loaded";
  } catch (const omdoc::LoadError& error) {
    EXPECT_NE(std::string(error.what()).find("composite texts nest more than 64 deep"),
              std::string::npos);
  }
}

// --- Random tables and their layers ----------------------------------------

// A random table in an outline, and what the test stored in it.
struct RandomTable {
  explicit RandomTable(unsigned seed) : random(seed) {
    tree.Root().AppendChild(table);
    for (int d = 0, count = 1 + Pick(4); d < count; ++d) {
      // Leaves with a random permutation of the subscripts.
      const std::string name = "d" + std::to_string(d);
      Leaves& dimension = leaves.emplace_back();
      const std::vector<Category> categories = Categories(name, 2, dimension);
      std::vector<int> subscripts(dimension.size());
      std::iota(subscripts.begin(), subscripts.end(), 0);
      std::shuffle(subscripts.begin(), subscripts.end(), random);
      display_test::AddDimension(*table, name, categories, subscripts);
      for (std::size_t k = 0; k < dimension.size(); ++k) {
        dimension[k].second = subscripts[k];
        if (hiddenLabels.count(dimension[k].first) != 0) hidden.insert({d, subscripts[k]});
      }
    }
    std::vector<short> order(leaves.size());
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), random);
    for (short d : order) {  // each to a random axis, in random order
      const int axis = Pick(3);
      auto& list = axis == 0 ? table->Rows() : axis == 1 ? table->Columns() : table->Layers();
      placements[static_cast<std::size_t>(d)] = {kAxes[axis], static_cast<int>(list.size())};
      list.push_back(d);
    }
    table->EndTable();
    FillCells(Index(order.size(), 0), 0);
  }

  int Pick(int bound) { return static_cast<int>(random() % static_cast<unsigned>(bound)); }

  // One to three categories, some of them groups (a few hiding their labels)
  // down to depth levels, a few leaves hidden; leaves gets the leaves'
  // labels in pre-order.
  std::vector<Category> Categories(const std::string& prefix, int depth, Leaves& leaves) {
    std::vector<Category> categories;
    for (int i = 0, count = 1 + Pick(3); i < count; ++i) {
      const std::string label = prefix + "." + std::to_string(i);
      if (depth > 0 && Pick(3) == 0) {
        const std::string flag = Pick(2) == 0 ? "!" : "";
        categories.push_back(Group(label + flag, Categories(label, depth - 1, leaves)));
      } else {
        const bool hide = Pick(6) == 0;
        categories.push_back(Leaf(label + (hide ? "-" : "")));
        leaves.emplace_back(label, 0);
        if (hide) hiddenLabels.insert(label);
      }
    }
    return categories;
  }

  // Sets about a third of the cells: numbers, or strings holding bytes that
  // are not UTF-8 (a stray byte, a cut-off sequence), which the document
  // keeps in base64; some with footnotes.
  void FillCells(Index index, std::size_t d) {
    for (std::size_t s = 0; d < index.size() && s < leaves[d].size(); ++s) {
      index[d] = static_cast<int>(s);
      FillCells(index, d + 1);
    }
    if (d < index.size() || Pick(3) != 0) return;
    const double value = Pick(4000) / 4.0;
    std::unique_ptr<OmCellText> text;
    Json expected;
    if (Pick(2) == 0) {
      text = std::make_unique<OmNumber>(value);
      expected = {{"kind", "number"}, {"value", value}, {"decimals", -1}};
    } else {
      const std::string bytes = "\xff" + std::to_string(value) + "\xc3";
      text = std::make_unique<OmStringCell>(bytes, nullptr, false);
      expected = {{"kind", "string"}, {"text", {{"base64", omdoc::internal::EncodeBase64(bytes)}}}};
    }
    if (Pick(4) == 0) {
      const short footnote = static_cast<short>(Pick(800) - 100);
      text->Footnotes().push_back(footnote);
      expected["footnotes"] = Json::array({footnote});
    }
    cells[index] = {{"index", index}, {"text", expected}};
    table->Cell(index, *text);
  }

  static constexpr const char* kAxes[] = {"rows", "columns", "layers"};
  std::mt19937 random;
  OmOutputTree tree;
  // Owned by tree.
  OmPivotTable* table = new OmPivotTable(Text("Random"), Text("Random"), false);
  std::vector<Leaves> leaves;                                     // per dimension
  std::map<std::size_t, std::pair<std::string, int>> placements;  // per dimension: axis, place
  std::map<Index, Json> cells;  // the objects the document should hold
  std::set<std::string> hiddenLabels;
  std::set<std::pair<int, int>> hidden;  // dimension and subscript of each hidden leaf

  bool ShowsNoHiddenLeaf(const Index& index) const {
    for (std::size_t d = 0; d < index.size(); ++d) {
      if (hidden.count({static_cast<int>(d), index[d]}) != 0) return false;
    }
    return true;
  }
};

Leaves SavedLeaves(const Json& categories, Leaves leaves = {}) {
  for (const Json& node : categories) {
    if (node.at("group").get<bool>()) {
      leaves = SavedLeaves(node.at("children"), std::move(leaves));
    } else {
      leaves.emplace_back(node.at("text").at("text").get<std::string>(),
                          node.at("subscript").get<int>());
    }
  }
  return leaves;
}

// Without hideEmpty every combination of visible categories shows exactly
// once; with it, every shown layer, row and column holds a cell, and every
// cell shows that has no hidden category. No hidden category ever shows.
void ExpectLayersCover(const Json& layers, const RandomTable& random, bool hideEmpty) {
  std::size_t all = 1;  // the combinations of visible categories
  for (std::size_t d = 0; d < random.leaves.size(); ++d) {
    std::size_t visible = 0;
    for (const auto& [label, subscript] : random.leaves[d])
      visible += random.hidden.count({static_cast<int>(d), subscript}) == 0 ? 1 : 0;
    all *= visible;
  }
  std::size_t cells = 0;  // the cells that show when empty places are left out
  for (const auto& [index, cell] : random.cells)
    cells += random.ShowsNoHiddenLeaf(index) ? 1 : 0;
  std::set<Index> shown, filled;
  for (const Json& layer : layers) {
    const Json &rows = layer.at("rows"), &columns = layer.at("columns");
    std::set<std::size_t> filledRows, filledColumns;
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        // The layer's index with the column's and the row's subscripts
        // written over it.
        Index index = layer.at("index").get<Index>();
        for (std::size_t d = 0; d < index.size(); ++d) {
          for (const Json* part : {&columns[c].at("index").at(d), &rows[r].at("index").at(d)})
            if (!part->is_null()) index[d] = part->get<int>();
          ASSERT_LT(static_cast<std::size_t>(index[d]), random.leaves[d].size());
        }
        EXPECT_TRUE(shown.insert(index).second) << "a cell index shows twice";
        EXPECT_TRUE(random.ShowsNoHiddenLeaf(index)) << "a hidden category shows";
        if (random.cells.count(index) == 0) continue;
        filled.insert(index);
        filledRows.insert(r);
        filledColumns.insert(c);
      }
    }
    EXPECT_TRUE(!hideEmpty ||
                (filledRows.size() == rows.size() && filledColumns.size() == columns.size()));
  }
  EXPECT_EQ(hideEmpty ? filled.size() : shown.size(), hideEmpty ? cells : all);
}

// The first item under the root, as saved.
Json FirstItem(OmOutputTree& tree, const omrender::Options& options = {}) {
  return Json::parse(omdoc::Save(tree, {true, options})).at("items").at(0).at("children").at(0);
}

TEST(DocumentRandom, TablesSaveWhatTheyHoldAndLayersCoverThem) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomTable random(seed);
    const std::string text = omdoc::Save(random.tree);
    EXPECT_EQ(Resaved(text), text);
    for (bool hideEmpty : {false, true}) {
      omrender::Options options{false, hideEmpty, hideEmpty};  // hideEmpty and namesInCorner
      const Json all = FirstItem(random.tree, options);
      EXPECT_EQ(all.at("cells").size(), random.cells.size());
      for (const Json& cell : all.at("cells"))
        EXPECT_EQ(cell, random.cells.at(cell.at("index").get<Index>()));
      const Json& dimensions = all.at("dimensions");
      ASSERT_EQ(dimensions.size(), random.leaves.size());
      for (std::size_t d = 0; d < dimensions.size(); ++d) {
        const auto& [axis, place] = random.placements.at(d);
        EXPECT_EQ(all.at("axes").at(axis).at(static_cast<std::size_t>(place)), d);
        EXPECT_EQ(SavedLeaves(dimensions[d].at("root").at("children")), random.leaves[d]);
      }
      ExpectLayersCover(all.at("layers"), random, hideEmpty);

      // Choosing one layer gives that layer alone, as it stood among all.
      const std::size_t count = all.at("layers").size();
      for (std::size_t layer = 0; layer <= count; ++layer) {
        options.layer = static_cast<int>(layer);
        EXPECT_EQ(FirstItem(random.tree, options).at("layers"),
                  layer < count ? Json::array({all.at("layers")[layer]}) : Json::array());
      }
    }
  }
}

}  // namespace
