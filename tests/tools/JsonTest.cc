// Tests of the JSON export: the demo document against golden files (run with
// OMTREE_UPDATE_GOLDEN=1 to rewrite them after a deliberate change, and
// review the diff), random tables (with bytes that are not UTF-8) read back
// and checked against the table and a reference model, and an outline and a
// category tree deeper than any call stack.

#include <gtest/gtest.h>

#include <algorithm>
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

// Documents are read back into sorted objects: an ordered object copies its
// values when it grows, and a copy recurses through a value's whole depth.
using Json = nlohmann::json;
using namespace display_test;  // NOLINT: table builders
using Index = std::vector<int>;
using Leaves = std::vector<std::pair<std::string, int>>;  // label and subscript, in pre-order

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// The first item under the root of tree, as exported.
Json FirstItem(OmOutputTree& tree, const omrender::Options& options = {}) {
  return Json::parse(omrender::RenderJson(tree, options)).at("items").at(0).at("children").at(0);
}

TEST(JsonGolden, DemoDocument) {
  const std::unique_ptr<OmOutputTree> demo = omrender::MakeDemoDocument();
  const std::string all = omrender::RenderJson(*demo, omrender::Options());
  golden::ExpectGolden("demo.json", all);
  // The export's own writer lays the text out as the library's dump does.
  EXPECT_EQ(nlohmann::ordered_json::parse(all).dump(2) + "\n", all);
  golden::ExpectGolden("demo-hide-empty-names-layer-1.json",
                       omrender::RenderJson(*demo, {false, true, true, 1}));  // hide, names, layer
}

// Footnote numbers and the marks the text renderer shows for them.
const std::pair<short, const char*> kMarks[] = {{0, "a"},   {1, "b"},    {25, "z"},   {26, "aa"},
                                                {27, "ab"}, {701, "zz"}, {702, "aaa"}};

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
      placements[static_cast<std::size_t>(d)] = {kRoles[axis], static_cast<int>(list.size())};
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
  // are not UTF-8 (a stray byte, a cut-off sequence) which the export turns
  // into U+FFFD; some with footnote marks.
  void FillCells(Index index, std::size_t d) {
    for (std::size_t s = 0; d < index.size() && s < leaves[d].size(); ++s) {
      index[d] = static_cast<int>(s);
      FillCells(index, d + 1);
    }
    if (d < index.size() || Pick(3) != 0) return;
    const bool number = Pick(2) == 0;
    const double value = Pick(4000) / 4.0;
    std::unique_ptr<OmCellText> text =
        std::make_unique<OmStringCell>("\xff" + std::to_string(value) + "\xc3", nullptr, false);
    if (number) text = std::make_unique<OmNumber>(value);
    Json& expected = cells[index] = {{"index", index}, {"value", text->AsString()}};
    if (!number) expected["value"] = "\xef\xbf\xbd" + std::to_string(value) + "\xef\xbf\xbd";
    if (number) expected["number"] = value;
    if (Pick(4) == 0) {
      const auto [footnote, mark] = kMarks[Pick(std::size(kMarks))];
      text->Footnotes().push_back(footnote);
      expected["footnotes"] = Json::array({mark});
    }
    table->Cell(index, *text);
  }

  static constexpr const char* kRoles[] = {"row", "column", "layer"};
  std::mt19937 random;
  OmOutputTree tree;
  // Owned by tree.
  OmPivotTable* table = new OmPivotTable(Text("Random"), Text("Random"), false);
  std::vector<Leaves> leaves;                                     // per dimension
  std::map<std::size_t, std::pair<std::string, int>> placements;  // per dimension: role, place
  std::map<Index, Json> cells;  // the objects the export should write
  std::set<std::string> hiddenLabels;
  std::set<std::pair<int, int>> hidden;  // dimension and subscript of each hidden leaf

  bool ShowsNoHiddenLeaf(const Index& index) const {
    for (std::size_t d = 0; d < index.size(); ++d) {
      if (hidden.count({static_cast<int>(d), index[d]}) != 0) return false;
    }
    return true;
  }
};

Leaves ExportedLeaves(const Json& categories, Leaves leaves = {}) {
  for (const Json& node : categories) {
    if (node.at("group").get<bool>()) {
      leaves = ExportedLeaves(node.at("children"), std::move(leaves));
    } else {
      leaves.emplace_back(node.at("label").get<std::string>(), node.at("subscript").get<int>());
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

TEST(JsonExport, RandomTablesReadBack) {
  for (unsigned seed = 1; seed <= 40; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    RandomTable random(seed);
    for (bool hideEmpty : {false, true}) {
      omrender::Options options{false, hideEmpty, hideEmpty};  // hideEmpty and namesInCorner
      const Json all = FirstItem(random.tree, options);
      EXPECT_EQ(all.at("cells").size(), random.cells.size());
      for (const Json& cell : all.at("cells"))
        EXPECT_EQ(cell, random.cells.at(cell.at("index").get<Index>()));
      const Json& dimensions = all.at("dimensions");
      ASSERT_EQ(dimensions.size(), random.leaves.size());
      for (std::size_t d = 0; d < dimensions.size(); ++d) {
        EXPECT_EQ(dimensions[d].at("role"), random.placements.at(d).first);
        EXPECT_EQ(dimensions[d].at("position"), random.placements.at(d).second);
        EXPECT_EQ(ExportedLeaves(dimensions[d].at("categories")), random.leaves[d]);
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

// Deeper than any call stack: a walk that recursed per level would crash. A
// chain of headings, under the deepest a table whose categories nest as deep.
TEST(JsonExport, DeepOutlineAndCategoryTreeNeedNoStack) {
  constexpr int kDeep = 100000;
  auto* table = new OmPivotTable(Text("Deep"), Text("Deep"), false);
  OmDimension& dimension = table->AddDimension(Text("Chain"));
  OmOutputTree tree;
  ListTree<OmOutputPart*>::Node node = tree.Root();
  OmDimension::Node group = dimension.Root();
  for (int level = 1; level <= kDeep; ++level) {
    node = node.AppendChild(new OmHeading(Text("h" + std::to_string(level))));
    group = dimension.AddNewChild(group, Text("g"), OmDimensionNode::kNoSubscript, true);
  }
  node.AppendChild(table);
  dimension.AddNewChild(group, Text("leaf"), 0, false);
  table->Rows().push_back(0);
  table->EndTable();

  const std::string text = omrender::RenderJson(tree, omrender::Options());
  std::size_t widestIndent = 0;
  for (std::size_t line = 0; line < text.size(); line = text.find('\n', line) + 1)
    widestIndent = std::max(widestIndent, text.find_first_not_of(' ', line) - line);
  EXPECT_EQ(widestIndent, 64u);  // capped at 32 levels
  const Json document = Json::parse(text);
  const Json* item = &document.at("items").at(0);
  for (int level = 1; level <= kDeep; ++level) {  // at() throws for a missing child
    item = &item->at("children").at(0);
    ASSERT_EQ(item->at("text"), "h" + std::to_string(level));
  }
  const Json& exported = item->at("children").at(0);
  const Json* category = &exported.at("dimensions").at(0).at("categories").at(0);
  for (int level = 1; level <= kDeep; ++level)
    category = &category->at("children").at(0);
  EXPECT_EQ(category->at("label"), "leaf");
}

}  // namespace
