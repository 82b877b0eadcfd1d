// Category trees: the sorted child index and the category count against a
// map model, edits that reshape the tree, copies, and trees too deep for
// recursion. The assertion of Child under a leaf is in the table of
// PivotTableTest.

#include "backend/omtree/Dimension.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <random>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platdep/icuTracker.h"

// Makes dimensions without a pivot table; the tests below are its subclasses.
class OmDimensionTest : public ::testing::Test {
 protected:
  using Node = OmDimension::Node;

  std::unique_ptr<OmDimension> Make(const std::string& name) {
    const OmDimensionNode root(Label(name), OmDimensionNode::kNoSubscript, true, nullptr);
    return std::unique_ptr<OmDimension>(new OmDimension(root, &_region));
  }

  static std::unique_ptr<OmDimension> Copy(const OmDimension& other, OmMemoryRegion* region) {
    return std::unique_ptr<OmDimension>(new OmDimension(other, region));
  }

  static std::vector<int> Index(const OmDimension::ConstNode& node) {
    return std::vector<int>(node->ChildIndex().begin(), node->ChildIndex().end());
  }

  static OmStringCell Label(const std::string& text) { return OmStringCell(text, nullptr, false); }

  // Labels of node's children in storage order.
  static std::vector<std::string> Labels(OmDimension::ConstNode node) {
    std::vector<std::string> labels;
    for (auto child = node.FirstChild(); child != node.EndChild(); ++child)
      labels.push_back(child->Text()->AsString());
    return labels;
  }

  OmMemoryRegion _region{false};
};

namespace {

using ::testing::ElementsAre;

// Child and Delete against a map model over random labels, groups and
// leaves with the same label being different children: an existing child
// keeps its subscript, the index stays sorted (groups first) through
// deletions, every lookup agrees with the model, and a deletion recounts the
// categories as one more than the largest leaf subscript.
TEST_F(OmDimensionTest, RandomChildDeleteAndFindChildAgreeWithAMap) {
  auto dimension = Make("Region");
  Node root = dimension->Root();
  EXPECT_EQ(dimension->getMaximumDepth(), 1u);
  std::map<std::pair<std::string, bool>, std::size_t> model;
  std::mt19937 random(5);
  int categories = 0;
  for (std::size_t step = 0; step < 3000; ++step) {
    if (step % 8 == 7 && root.NumChildren() > 0) {
      Node victim = root.Child(static_cast<int>(random() % root.NumChildren()));
      model.erase({victim->Text()->AsString(), victim->IsGroup()});
      dimension->Delete(victim);
      categories = 1;
      for (const auto& [key, subscript] : model) {
        if (!key.second) categories = std::max(categories, static_cast<int>(subscript) + 1);
      }
      ASSERT_EQ(dimension->NumCategories(), categories);
      continue;
    }
    const std::string label(1 + random() % 3, static_cast<char>('a' + random() % 5));
    const bool group = random() % 4 == 0;
    Node child = dimension->Child(root, Label(label + std::to_string(random() % 20)), step, group);
    const auto inserted = model.emplace(std::make_pair(child->Text()->AsString(), group), step);
    if (inserted.second && !group) ++categories;
    ASSERT_EQ(child->Subscript(), inserted.first->second);
  }
  EXPECT_EQ(dimension->NumCategories(), categories);
  EXPECT_EQ(dimension->getMaximumDepth(), 2u);
  const std::vector<int> index = Index(root);
  ASSERT_TRUE(index.size() == model.size() && Labels(root).size() == model.size());
  for (std::size_t i = 1; i < index.size(); ++i) {
    ASSERT_TRUE(root.Child(index[i - 1]).Value() < root.Child(index[i]).Value());
  }
  for (const auto& [key, subscript] : model) {
    const int offset = OmDimension::FindChild(root, Label(key.first), key.second);
    ASSERT_GE(offset, 0) << key.first;
    EXPECT_EQ(root.Child(offset)->Subscript(), subscript);
    EXPECT_EQ(OmDimension::FindChild(root, Label(key.first + "~"), key.second), -1);
  }

  // AddNewChild appends without a search: its index entry comes last.
  dimension->AddNewChild(root, Label("a0"), 3000, false);
  EXPECT_EQ(Index(root).back(), root.NumChildren() - 1);
  EXPECT_EQ(dimension->NumCategories(), categories + 1);
}

// Building in bulk: the same distinct children added in arrival order with
// AddNewChild and indexed once give the index that Child keeps one insertion
// at a time, and IndexChildren repairs an index that an edit left stale.
TEST_F(OmDimensionTest, IndexChildrenMatchesTheIndexChildKeeps) {
  auto bulk = Make("Bulk");
  auto oneByOne = Make("One by one");
  Node bulkRoot = bulk->Root(), oneRoot = oneByOne->Root();
  std::mt19937 random(11);
  std::set<std::pair<std::string, bool>> seen;
  for (std::size_t step = 0; step < 2000; ++step) {
    const std::string label = std::to_string(random() % 1500);
    const bool group = random() % 5 == 0;
    if (!seen.emplace(label, group).second) continue;
    bulk->AddNewChild(bulkRoot, Label(label), step, group);
    oneByOne->Child(oneRoot, Label(label), step, group);
  }
  bulk->IndexChildren(bulkRoot);
  const std::vector<int> index = Index(bulkRoot);
  ASSERT_EQ(index, Index(oneRoot));
  for (int offset : index) {
    const OmDimensionNode& child = bulkRoot.Child(offset).Value();
    ASSERT_EQ(OmDimension::FindChild(bulkRoot, *child.Text(), child.IsGroup()), offset);
  }
  EXPECT_EQ(bulk->NumCategories(), oneByOne->NumCategories());

  Node last = bulkRoot.LastChild(), first = bulkRoot.FirstChild();
  bulk->moveChild(last, &first, false);
  bulk->IndexChildren(bulkRoot);
  const OmDimensionNode& moved = bulkRoot.FirstChild().Value();
  EXPECT_EQ(OmDimension::FindChild(bulkRoot, *moved.Text(), moved.IsGroup()), 0);
  for (std::size_t i = 1; i < index.size(); ++i) {
    ASSERT_TRUE(bulkRoot.Child(Index(bulkRoot)[i - 1]).Value() <
                bulkRoot.Child(Index(bulkRoot)[i]).Value());
  }
}

// The edits themselves are tree operations (VectorTreeTest); here what the
// dimension adds: the dissolving mark, the new group's empty index, and the
// nearest visible ancestor as the default target.
TEST_F(OmDimensionTest, EditsReshapeWithoutTouchingTheCount) {
  auto dimension = Make("Region");
  Node root = dimension->Root();
  for (const char* label : {"p", "q", "r"})
    dimension->AddNewChild(root, Label(label), 0, true);
  Node q = root.Child(1);
  for (const char* label : {"q1", "q2", "q3"})
    dimension->AddNewChild(q, Label(label), 1, false);
  const int count = dimension->NumCategories();

  dimension->removeChild(q);
  Node leaf = root.Child(1);
  dimension->removeChild(leaf);
  EXPECT_EQ(root.Child(1)->Subscript(), OmDimensionNode::kDissolving) << "a leaf stays, marked";
  Node second = root.Child(1), third = root.Child(2);
  dimension->insertChild(Label("pair"), {&second, &third});
  dimension->insertChild(Label("nothing"), {});
  EXPECT_THAT(Labels(root), ElementsAre("p", "pair", "q3", "r"));
  EXPECT_TRUE(Index(root.Child(1)).empty()) << "a new group starts with an empty index";

  Node pair = root.Child(1);
  pair->Hide(true);
  Node hidden = pair.FirstChild();
  dimension->moveChild(hidden, nullptr, false);
  Node last = root.LastChild(), first = root.FirstChild();
  dimension->moveChild(last, &first, false);
  EXPECT_THAT(Labels(root), ElementsAre("q1", "p", "pair", "q3", "r"));
  EXPECT_EQ(dimension->NumCategories(), count);
}

// New nodes take the parent's tracker and are made in the dimension's region;
// copies keep shape, indexes, count and flag, and map nodes by counterpart.
TEST_F(OmDimensionTest, NewNodesAndCopies) {
  OmMemoryRegion other(false);
  auto source = Make("Region");
  icuTracker tracker({true, "de_DE"});
  Node root = source->Root();
  root->Text()->setTracker(&tracker);
  Node north = source->Child(root, Label("North"), 0, true);
  source->Child(north, Label("Oslo"), 0, false);
  Node bergen = source->AddNewChild(north, Label("Bergen"), 1, false);
  source->Child(root, Label("South"), 2, false);
  source->DisplayLastCategory(true);
  EXPECT_EQ(north->Text()->getTracker(), &tracker);
  EXPECT_EQ(bergen->Text()->getTracker(), &tracker) << "handed down from the root";
  EXPECT_EQ(OmMemoryRegion::Of(bergen->Text()), &_region);

  auto copy = Copy(*source, &other);
  EXPECT_EQ(copy->NumCategories(), 3);
  EXPECT_TRUE(copy->DisplayLastCategory());
  EXPECT_THAT(Labels(copy->Root()), ElementsAre("North", "South"));
  EXPECT_EQ(Index(copy->Root()), Index(root));
  EXPECT_EQ(Index(copy->Root().FirstChild()), Index(north));
  Node oslo = north.FirstChild();
  Node mapped = copy->Counterpart(oslo);
  EXPECT_EQ(mapped->Text()->AsString(), "Oslo");
  EXPECT_EQ(OmMemoryRegion::Of(mapped->Text()), &other);

  source.reset();
  copy.reset();
  EXPECT_TRUE(_region.BlocksInUse() == 0 && other.BlocksInUse() == 0) << "every block returned";
}

// Category trees come from the producer: a chain of 100,000 groups is
// copied, measured and destroyed without recursion.
TEST_F(OmDimensionTest, DeepCategoryTreesNeedNoStack) {
  auto dimension = Make("Deep");
  Node node = dimension->Root();
  for (int level = 0; level < 100000; ++level)
    node = dimension->AddNewChild(node, Label("g"), OmDimensionNode::kNoSubscript, true);
  Node leaf = dimension->AddNewChild(node, Label("leaf"), 41, false);
  dimension->AddNewChild(leaf, Label("below a leaf: no category"), 99, false);
  EXPECT_EQ(dimension->getMaximumDepth(), 100003u);

  auto copy = Copy(*dimension, &_region);
  EXPECT_EQ(copy->getMaximumDepth(), 100003u);
  Node top = copy->Root().FirstChild();
  Node spare = copy->AddNewChild(copy->Root(), Label("spare"), 1, false);
  copy->Delete(spare);
  EXPECT_EQ(copy->NumCategories(), 42) << "the deep leaf's subscript, found without recursion";
  copy->Delete(top);
  EXPECT_EQ(copy->getMaximumDepth(), 1u);
}

}  // namespace
