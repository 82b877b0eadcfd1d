// Tests of the JSON export: the demo document against golden files (run with
// OMTREE_UPDATE_GOLDEN=1 to rewrite them after a deliberate change, and
// review the diff), random tables read back and checked against the table
// and a reference model, bytes that are not UTF-8, and an outline and a
// category tree deeper than any call stack.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <iterator>
#include <map>
#include <memory>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "Demo.h"
#include "Json.h"
#include "tests/backend/omtree/DisplayTestSupport.h"
#include "tests/tools/GoldenFile.h"

namespace {

using golden::ExpectGolden;

// Documents are read back into sorted objects: an ordered object copies its
// values when it grows, and a copy recurses through a value's whole depth.
using Json = nlohmann::json;
using display_test::Category;
using Index = std::vector<int>;

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

TEST(JsonGolden, DemoDocument) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  omrender::Options options;
  const std::string all = omrender::RenderJson(*demo, options);
  ExpectGolden("demo.json", all);
  // The export's own writer lays the text out as the library's dump does.
  EXPECT_EQ(nlohmann::ordered_json::parse(all).dump(2) + "\n", all);
  options.hideEmpty = true;
  options.namesInCorner = true;
  options.layer = 1;
  ExpectGolden("demo-hide-empty-names-layer-1.json", omrender::RenderJson(*demo, options));
}

// Footnote numbers and the marks the text renderer shows for them.
const std::map<short, std::string> kMarks = {{0, "a"},   {1, "b"},    {25, "z"},   {26, "aa"},
                                             {27, "ab"}, {701, "zz"}, {702, "aaa"}};

// A random table in an outline, with what the test stored in it.
class RandomTable {
 public:
  explicit RandomTable(unsigned seed) : _random(seed) {
    _table = new OmPivotTable(Text("Random"), Text("Random"), false);
    _tree.Root().AppendChild(_table);
    const int dimensions = 1 + Pick(4);
    for (int d = 0; d < dimensions; ++d)
      AddDimension("d" + std::to_string(d));
    std::vector<short> order(static_cast<std::size_t>(dimensions));
    std::iota(order.begin(), order.end(), 0);
    std::shuffle(order.begin(), order.end(), _random);
    const int rows = Pick(dimensions + 1);
    const int columns = Pick(dimensions - rows + 1);
    _placements.resize(order.size());
    for (int k = 0; k < dimensions; ++k) {
      const bool row = k < rows;
      const bool column = !row && k < rows + columns;
      auto& axis = row ? _table->Rows() : column ? _table->Columns() : _table->Layers();
      _placements[static_cast<std::size_t>(order[static_cast<std::size_t>(k)])] = {
          row      ? "row"
          : column ? "column"
                   : "layer",
          static_cast<int>(axis.size())};
      axis.push_back(order[static_cast<std::size_t>(k)]);
    }
    _table->EndTable();
    FillCells(Index(static_cast<std::size_t>(dimensions), 0), 0);
  }

  OmOutputTree& Tree() { return _tree; }
  OmPivotTable& Table() { return *_table; }
  // Per dimension, the leaves in pre-order: label and subscript.
  const std::vector<std::vector<std::pair<std::string, int>>>& Leaves() const { return _leaves; }
  // Per dimension, its role and its place in the list of that axis.
  const std::vector<std::pair<std::string, int>>& Placements() const { return _placements; }
  // The cell objects the export should write, by index.
  const std::map<Index, Json>& Cells() const { return _cells; }

 private:
  int Pick(int bound) { return static_cast<int>(_random() % static_cast<unsigned>(bound)); }

  // One to three categories, some of them groups (a few hiding their labels)
  // down to depth levels.
  std::vector<Category> Categories(const std::string& prefix, int depth) {
    std::vector<Category> categories;
    for (int i = 0, count = 1 + Pick(3); i < count; ++i) {
      const std::string label = prefix + "." + std::to_string(i);
      if (depth > 0 && Pick(3) == 0) {
        categories.push_back(
            display_test::Group(label + (Pick(2) == 0 ? "!" : ""), Categories(label, depth - 1)));
      } else {
        categories.push_back(display_test::Leaf(label));
      }
    }
    return categories;
  }

  static void CollectLeaves(const std::vector<Category>& categories,
                            std::vector<std::string>& labels) {
    for (const Category& category : categories) {
      if (category.children.empty()) labels.push_back(category.label);
      CollectLeaves(category.children, labels);
    }
  }

  // A dimension whose leaves get a random permutation of the subscripts.
  void AddDimension(const std::string& name) {
    const std::vector<Category> categories = Categories(name, 2);
    std::vector<std::string> labels;
    CollectLeaves(categories, labels);
    std::vector<int> subscripts(labels.size());
    std::iota(subscripts.begin(), subscripts.end(), 0);
    std::shuffle(subscripts.begin(), subscripts.end(), _random);
    display_test::AddDimension(*_table, name, categories, subscripts);
    _leaves.emplace_back();
    for (std::size_t k = 0; k < labels.size(); ++k)
      _leaves.back().emplace_back(labels[k], subscripts[k]);
  }

  // Sets about a third of the cells: numbers or strings, some with
  // footnote marks.
  void FillCells(Index index, std::size_t d) {
    if (d == index.size()) {
      if (Pick(3) != 0) return;
      std::unique_ptr<OmCellText> text;
      Json expected = Json::object();
      expected["index"] = index;
      if (Pick(2) == 0) {
        const double value = Pick(4000) / 4.0;
        text = std::make_unique<OmNumber>(value);
        expected["value"] = text->AsString();
        expected["number"] = value;
      } else {
        text = std::make_unique<OmStringCell>("s" + std::to_string(Pick(100)), nullptr, false);
        expected["value"] = text->AsString();
      }
      if (Pick(4) == 0) {
        auto mark = kMarks.begin();
        std::advance(mark, Pick(static_cast<int>(kMarks.size())));
        text->Footnotes().push_back(mark->first);
        expected["footnotes"] = Json::array({mark->second});
      }
      _table->Cell(index, *text);
      _cells[index] = std::move(expected);
      return;
    }
    for (std::size_t s = 0; s < _leaves[d].size(); ++s) {
      index[d] = static_cast<int>(s);
      FillCells(index, d + 1);
    }
  }

  std::mt19937 _random;
  OmOutputTree _tree;
  OmPivotTable* _table;  // owned by _tree
  std::vector<std::vector<std::pair<std::string, int>>> _leaves;
  std::vector<std::pair<std::string, int>> _placements;
  std::map<Index, Json> _cells;
};

const Json& ExportedTable(const Json& document) {
  return document.at("items").at(0).at("children").at(0);
}

// The leaves of an exported category tree in pre-order: label and subscript.
std::vector<std::pair<std::string, int>> ExportedLeaves(const Json& categories) {
  std::vector<std::pair<std::string, int>> leaves;
  std::vector<const Json*> pending;
  for (auto it = categories.rbegin(); it != categories.rend(); ++it)
    pending.push_back(&*it);
  while (!pending.empty()) {
    const Json& node = *pending.back();
    pending.pop_back();
    if (!node.at("group").get<bool>()) {
      leaves.emplace_back(node.at("label").get<std::string>(), node.at("subscript").get<int>());
      continue;
    }
    const Json& children = node.at("children");
    for (auto it = children.rbegin(); it != children.rend(); ++it)
      pending.push_back(&*it);
  }
  return leaves;
}

// The cell index shown at a data position: the layer's index with the
// column's and the row's subscripts written over it.
Index Shown(const Json& layer, const Json& column, const Json& row) {
  Index index = layer.at("index").get<Index>();
  for (const Json* part : {&column.at("index"), &row.at("index")}) {
    for (std::size_t d = 0; d < index.size(); ++d) {
      if (!part->at(d).is_null()) index[d] = part->at(d).get<int>();
    }
  }
  return index;
}

// Without hideEmpty every combination of categories shows exactly once; with
// it, every shown layer, row and column holds a cell, and every cell shows.
void ExpectLayersCover(const Json& layers, const RandomTable& random, bool hideEmpty) {
  std::size_t combinations = 1;
  for (const auto& leaves : random.Leaves())
    combinations *= leaves.size();
  std::set<Index> shown;
  std::set<Index> filled;
  std::size_t positions = 0;
  for (const Json& layer : layers) {
    const Json& rows = layer.at("rows");
    const Json& columns = layer.at("columns");
    std::vector<bool> rowFilled(rows.size()), columnFilled(columns.size());
    for (std::size_t r = 0; r < rows.size(); ++r) {
      for (std::size_t c = 0; c < columns.size(); ++c) {
        const Index index = Shown(layer, columns[c], rows[r]);
        for (std::size_t d = 0; d < index.size(); ++d)
          ASSERT_LT(static_cast<std::size_t>(index[d]), random.Leaves()[d].size());
        ++positions;
        shown.insert(index);
        if (random.Cells().count(index) == 0) continue;
        filled.insert(index);
        rowFilled[r] = columnFilled[c] = true;
      }
    }
    if (!hideEmpty) continue;
    EXPECT_FALSE(filled.empty());
    for (bool any : rowFilled)
      EXPECT_TRUE(any);
    for (bool any : columnFilled)
      EXPECT_TRUE(any);
  }
  EXPECT_EQ(shown.size(), positions) << "a cell index shows twice";
  if (hideEmpty) {
    EXPECT_EQ(filled.size(), random.Cells().size());
  } else {
    EXPECT_EQ(positions, combinations);
  }
}

TEST(JsonExport, RandomTablesReadBack) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomTable random(seed);
    OmPivotTable& table = random.Table();
    for (bool hideEmpty : {false, true}) {
      omrender::Options options;
      options.hideEmpty = hideEmpty;
      options.namesInCorner = hideEmpty;
      const Json all = ExportedTable(Json::parse(omrender::RenderJson(random.Tree(), options)));

      const Json& cells = all.at("cells");
      ASSERT_EQ(cells.size(), random.Cells().size());
      for (const Json& cell : cells) {
        const Index index = cell.at("index").get<Index>();
        EXPECT_EQ(cell, random.Cells().at(index));
        ASSERT_NE(table.Cell(index), nullptr);
        EXPECT_EQ(cell.at("value"), table.Cell(index)->AsString());
      }
      const Json& dimensions = all.at("dimensions");
      ASSERT_EQ(dimensions.size(), random.Leaves().size());
      for (std::size_t d = 0; d < dimensions.size(); ++d) {
        EXPECT_EQ(dimensions[d].at("role"), random.Placements()[d].first);
        EXPECT_EQ(dimensions[d].at("position"), random.Placements()[d].second);
        EXPECT_EQ(ExportedLeaves(dimensions[d].at("categories")), random.Leaves()[d]);
      }
      ExpectLayersCover(all.at("layers"), random, hideEmpty);

      // Choosing one layer gives that layer alone, as it stood among all.
      const std::size_t count = all.at("layers").size();
      for (std::size_t layer = 0; layer <= count; ++layer) {
        options.layer = static_cast<int>(layer);
        const Json one = ExportedTable(Json::parse(omrender::RenderJson(random.Tree(), options)));
        ASSERT_EQ(one.at("layers").size(), layer < count ? 1u : 0u);
        if (layer < count) {
          EXPECT_EQ(one.at("layers")[0], all.at("layers")[layer]);
        }
      }
    }
  }
}

TEST(JsonExport, InvalidUtf8BecomesReplacementCharacters) {
  const std::string bad =
      "a\xff"
      "b\xc3";  // a stray byte, then a cut-off sequence
  const std::string replaced =
      "a\xef\xbf\xbd"
      "b\xef\xbf\xbd";
  OmOutputTree tree;
  auto* block = new OmTextBlock(Text(bad), "UTF-8");
  block->TextList().push_back(bad);
  tree.Root().AppendChild(block);
  auto* table = new OmPivotTable(Text("Table"), Text("Table"), false);
  tree.Root().AppendChild(table);
  display_test::AddDimension(*table, bad, {display_test::Leaf(bad)});
  table->Cell({0}, Text(bad));
  table->Rows().push_back(0);
  table->EndTable();

  std::string text;
  ASSERT_NO_THROW(text = omrender::RenderJson(tree, omrender::Options()));
  const Json document = Json::parse(text);  // the parser accepts UTF-8 only
  const Json& items = document.at("items").at(0).at("children");
  EXPECT_EQ(items.at(0).at("text"), replaced);
  EXPECT_EQ(items.at(0).at("lines").at(0), replaced);
  const Json& dimension = items.at(1).at("dimensions").at(0);
  EXPECT_EQ(dimension.at("name"), replaced);
  EXPECT_EQ(dimension.at("categories").at(0).at("label"), replaced);
  EXPECT_EQ(items.at(1).at("cells").at(0).at("value"), replaced);
  EXPECT_EQ(items.at(1).at("layers").at(0).at("rows").at(0).at("labels").back().at("text"),
            replaced);
}

// Deeper than any call stack: a walk that recursed per level would crash.
constexpr int kDeep = 100000;

TEST(JsonExport, DeepOutlineNeedsNoStack) {
  OmOutputTree tree;
  ListTree<OmOutputPart*>::Node node = tree.Root();
  for (int level = 1; level <= kDeep; ++level)
    node = node.AppendChild(new OmHeading(Text("h" + std::to_string(level))));

  const std::string text = omrender::RenderJson(tree, omrender::Options());
  std::size_t widestIndent = 0;
  for (std::size_t line = 0; line < text.size(); line = text.find('\n', line) + 1)
    widestIndent = std::max(widestIndent, text.find_first_not_of(' ', line) - line);
  EXPECT_EQ(widestIndent, 64u);  // capped at 32 levels

  const Json document = Json::parse(text);
  const Json* item = &document.at("items").at(0);
  for (int level = 1; level <= kDeep; ++level) {
    ASSERT_EQ(item->at("children").size(), 1u);
    item = &item->at("children").at(0);
    ASSERT_EQ(item->at("text"), "h" + std::to_string(level));
  }
  EXPECT_TRUE(item->at("children").empty());
}

TEST(JsonExport, DeepCategoryTreeNeedsNoStack) {
  OmOutputTree tree;
  auto* table = new OmPivotTable(Text("Deep"), Text("Deep"), false);
  tree.Root().AppendChild(table);
  OmDimension& dimension = table->AddDimension(Text("Chain"));
  OmDimension::Node group = dimension.Root();
  for (int level = 1; level <= kDeep; ++level)
    group = dimension.AddNewChild(group, Text("g"), OmDimensionNode::kNoSubscript, true);
  dimension.AddNewChild(group, Text("leaf"), 0, false);
  table->Cell({0}, OmNumber(7));
  table->Rows().push_back(0);
  table->EndTable();

  const Json document = Json::parse(omrender::RenderJson(tree, omrender::Options()));
  const Json& exported = ExportedTable(document);
  const Json* category = &exported.at("dimensions").at(0).at("categories").at(0);
  for (int level = 1; level <= kDeep; ++level) {
    ASSERT_TRUE(category->at("group").get<bool>());
    category = &category->at("children").at(0);
  }
  EXPECT_EQ(category->at("label"), "leaf");
  EXPECT_EQ(category->at("subscript"), 0);
  EXPECT_EQ(exported.at("cells").at(0).at("number"), 7.0);
}

}  // namespace
