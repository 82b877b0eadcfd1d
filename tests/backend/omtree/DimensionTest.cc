#include "backend/omtree/Dimension.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "platdep/icuTracker.h"

// Makes dimensions without a pivot table; the tests below are its subclasses.
class OmDimensionTest : public ::testing::Test {
 protected:
  using Node = OmDimension::Node;

  static std::unique_ptr<OmDimension> Make(const std::string& name, OmMemoryRegion* region) {
    const OmDimensionNode root(OmStringCell(name, nullptr, false), OmDimensionNode::kNoSubscript,
                               true, nullptr);
    return std::unique_ptr<OmDimension>(new OmDimension(root, region));
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
    for (auto child = node.FirstChild(); child != node.EndChild(); ++child) {
      labels.push_back(child->Text()->AsString());
    }
    return labels;
  }

  OmMemoryRegion _region{false};
};

namespace {

using ::testing::ElementsAre;

TEST_F(OmDimensionTest, ChildFindsOrAddsThroughTheSortedIndex) {
  auto dimension = Make("Region", &_region);
  Node root = dimension->Root();
  EXPECT_EQ(dimension->NumCategories(), 0);
  EXPECT_EQ(dimension->getMaximumDepth(), 1u);

  dimension->Child(root, Label("b"), 0, false);
  dimension->Child(root, Label("a"), 1, false);
  dimension->Child(root, Label("c"), 2, false);
  EXPECT_THAT(Labels(root), ElementsAre("b", "a", "c"));
  EXPECT_THAT(Index(root), ElementsAre(1, 0, 2));

  Node again = dimension->Child(root, Label("a"), 7, false);
  EXPECT_EQ(again->Subscript(), 1u) << "the existing child keeps its subscript";
  EXPECT_EQ(dimension->NumCategories(), 3);

  Node group = dimension->Child(root, Label("a"), 9, true);
  EXPECT_TRUE(group->IsGroup()) << "a group and a leaf with one label are two children";
  EXPECT_THAT(Index(root), ElementsAre(3, 1, 0, 2)) << "groups first";
  EXPECT_EQ(dimension->NumCategories(), 3) << "groups are not categories";
  EXPECT_EQ(dimension->getMaximumDepth(), 2u);

  EXPECT_EQ(OmDimension::FindChild(root, Label("c"), false), 2) << "a storage offset";
  EXPECT_EQ(OmDimension::FindChild(root, Label("a"), true), 3);
  EXPECT_EQ(OmDimension::FindChild(root, Label("d"), false), -1);
  EXPECT_EQ(OmDimension::FindChild(root.FirstChild(), Label("a"), false), -1);

  dimension->AddNewChild(root, Label("0"), 3, false);
  EXPECT_THAT(Index(root), ElementsAre(3, 1, 0, 2, 4)) << "arrival order";
  EXPECT_EQ(dimension->NumCategories(), 4);
}

TEST_F(OmDimensionTest, NewNodesTakeTheParentsTrackerAndTheDimensionsRegion) {
  auto dimension = Make("Region", &_region);
  icuTracker tracker({true, "de_DE"});
  Node root = dimension->Root();
  root->Text()->setTracker(&tracker);
  Node child = dimension->Child(root, Label("x"), 0, true);
  Node added = dimension->AddNewChild(child, Label("y"), 1, false);
  EXPECT_EQ(child->Text()->getTracker(), &tracker);
  EXPECT_EQ(added->Text()->getTracker(), &tracker) << "handed down from the root";
  EXPECT_EQ(OmMemoryRegion::Of(added->Text()), &_region);
  EXPECT_EQ(added->Region(), &_region);
}

TEST_F(OmDimensionTest, ChildUnderALeafReportsTheAssertion) {
  auto dimension = Make("Region", &_region);
  Node leaf = dimension->Child(dimension->Root(), Label("x"), 0, false);
  auto throwing = [](const char* expression, const char* file, int line) {
    throw std::logic_error(OmAssertion::Format(expression, file, line));
  };
  OmAssertion::Handler previous = OmAssertion::SetHandler(throwing);
  EXPECT_THAT([&] { dimension->Child(leaf, Label("y"), 1, false); },
              ::testing::ThrowsMessage<std::logic_error>(::testing::StartsWith(
                  "Assertion failed: parent->IsGroup(), file backend/omtree/Dimension, line ")));
  OmAssertion::SetHandler(previous);
}

TEST_F(OmDimensionTest, DeleteFixesTheIndexAndRecountsFromTheLargestSubscript) {
  auto dimension = Make("Region", &_region);
  Node root = dimension->Root();
  dimension->Child(root, Label("c"), 0, false);
  dimension->Child(root, Label("a"), 5, false);
  dimension->Child(root, Label("b"), 2, false);
  ASSERT_THAT(Index(root), ElementsAre(1, 2, 0));

  Node middle = root.Child(1);  // "a", subscript 5
  dimension->Delete(middle);
  EXPECT_THAT(Labels(root), ElementsAre("c", "b"));
  EXPECT_THAT(Index(root), ElementsAre(1, 0));
  EXPECT_EQ(dimension->NumCategories(), 3) << "one more than subscript 2";

  Node first = root.FirstChild();  // "c", subscript 0
  dimension->Delete(first);
  EXPECT_EQ(dimension->NumCategories(), 3);
  Node last = root.FirstChild();
  dimension->Delete(last);
  EXPECT_EQ(dimension->NumCategories(), 1) << "no leaf left";

  // Leaves inside groups count; leaves below leaves do not.
  Node group = dimension->Child(root, Label("g"), 0, true);
  Node leaf = dimension->Child(group, Label("x"), 4, false);
  dimension->AddNewChild(leaf, Label("under a leaf"), 9, false);
  Node spare = dimension->Child(root, Label("y"), 1, false);
  dimension->Delete(spare);
  EXPECT_EQ(dimension->NumCategories(), 5);
}

TEST_F(OmDimensionTest, EditsReshapeWithoutTouchingTheCount) {
  auto dimension = Make("Region", &_region);
  Node root = dimension->Root();
  for (const char* label : {"p", "q", "r", "s"})
    dimension->AddNewChild(root, Label(label), 0, true);
  Node q = root.Child(1);
  for (const char* label : {"q1", "q2", "q3"})
    dimension->AddNewChild(q, Label(label), 1, false);
  const int count = dimension->NumCategories();

  dimension->removeChild(q);
  EXPECT_THAT(Labels(root), ElementsAre("p", "q1", "q2", "q3", "r", "s"));

  Node leaf = root.Child(1);
  dimension->removeChild(leaf);
  EXPECT_EQ(root.Child(1)->Subscript(), OmDimensionNode::kDissolving) << "the marker stays";
  EXPECT_EQ(root.NumChildren(), 6);

  Node second = root.Child(1);
  Node third = root.Child(2);
  dimension->insertChild(Label("pair"), {&second, &third});
  EXPECT_THAT(Labels(root), ElementsAre("p", "pair", "q3", "r", "s"));
  EXPECT_THAT(Labels(root.Child(1)), ElementsAre("q1", "q2"));
  EXPECT_TRUE(Index(root.Child(1)).empty()) << "a new group starts with an empty index";
  EXPECT_EQ(OmMemoryRegion::Of(root.Child(1)->Text()), OmMemoryRegion::DefaultHeap());
  dimension->insertChild(Label("nothing"), {});
  EXPECT_EQ(root.NumChildren(), 5);

  // Without a target the node goes to the end of its nearest visible
  // ancestor.
  Node pair = root.Child(1);
  pair->Hide(true);
  Node hidden = pair.FirstChild();
  dimension->moveChild(hidden, nullptr, false);
  EXPECT_THAT(Labels(root), ElementsAre("p", "pair", "q3", "r", "s", "q1"));

  Node last = root.LastChild();
  Node first = root.FirstChild();
  dimension->moveChild(last, &first, false);
  EXPECT_THAT(Labels(root), ElementsAre("q1", "p", "pair", "q3", "r", "s"));
  Node a = root.FirstChild();
  Node b = root.LastChild();
  dimension->moveChild(a, &b, true);
  EXPECT_THAT(Labels(root), ElementsAre("s", "p", "pair", "q3", "r", "q1"));
  EXPECT_EQ(dimension->NumCategories(), count);
}

// Child against a map model over random labels; the index must stay sorted
// and every lookup must agree with the model.
TEST_F(OmDimensionTest, RandomChildAndFindChildAgreeWithAMap) {
  auto dimension = Make("Region", &_region);
  Node root = dimension->Root();
  std::map<std::pair<std::string, bool>, std::size_t> model;
  std::mt19937 random(5);
  int leaves = 0;
  for (std::size_t step = 0; step < 3000; ++step) {
    const std::string label(1 + random() % 3, static_cast<char>('a' + random() % 5));
    const bool group = random() % 4 == 0;
    Node child = dimension->Child(root, Label(label + std::to_string(random() % 20)), step, group);
    const auto inserted = model.emplace(std::make_pair(child->Text()->AsString(), group), step);
    if (inserted.second && !group) ++leaves;
    ASSERT_EQ(child->Subscript(), inserted.first->second);
  }
  EXPECT_EQ(dimension->NumCategories(), leaves);
  EXPECT_EQ(static_cast<std::size_t>(root.NumChildren()), model.size());
  const std::vector<int> index = Index(root);
  for (std::size_t i = 1; i < index.size(); ++i) {
    ASSERT_TRUE(root.Child(index[i - 1]).Value() < root.Child(index[i]).Value());
  }
  for (const auto& [key, subscript] : model) {
    const int offset = OmDimension::FindChild(root, Label(key.first), key.second);
    ASSERT_GE(offset, 0) << key.first;
    EXPECT_EQ(root.Child(offset)->Subscript(), subscript);
    EXPECT_EQ(OmDimension::FindChild(root, Label(key.first + "~"), key.second), -1);
  }
}

TEST_F(OmDimensionTest, CopiesKeepShapeIndexesAndCountAndMapByCounterpart) {
  OmMemoryRegion other(false);
  auto source = Make("Region", &_region);
  Node root = source->Root();
  Node north = source->Child(root, Label("North"), 0, true);
  source->Child(north, Label("Oslo"), 0, false);
  source->Child(north, Label("Bergen"), 1, false);
  source->Child(root, Label("South"), 2, false);
  source->DisplayLastCategory(true);

  auto copy = Copy(*source, &other);
  EXPECT_EQ(copy->NumCategories(), 3);
  EXPECT_TRUE(copy->DisplayLastCategory());
  EXPECT_EQ(copy->Name().AsString(), "Region");
  EXPECT_EQ(&copy->Region(), &other);
  EXPECT_EQ(OmMemoryRegion::Of(copy->Root()->Text()), &other);
  EXPECT_THAT(Labels(copy->Root()), ElementsAre("North", "South"));
  EXPECT_EQ(Index(copy->Root()), Index(root));
  EXPECT_EQ(Index(copy->Root().FirstChild()), Index(north));
  Node oslo = north.FirstChild();
  Node mapped = copy->Counterpart(oslo);
  EXPECT_EQ(mapped->Text()->AsString(), "Oslo");
  EXPECT_EQ(OmMemoryRegion::Of(mapped->Text()), &other);

  source.reset();
  copy.reset();
  EXPECT_EQ(_region.BlocksInUse(), 0u);
  EXPECT_EQ(other.BlocksInUse(), 0u);
}

// Category trees come from the producer: a chain of 100,000 groups is
// copied, measured and destroyed without recursion.
TEST_F(OmDimensionTest, DeepCategoryTreesNeedNoStack) {
  auto dimension = Make("Deep", &_region);
  Node node = dimension->Root();
  for (int level = 0; level < 100000; ++level) {
    node = dimension->AddNewChild(node, Label("g"), OmDimensionNode::kNoSubscript, true);
  }
  dimension->AddNewChild(node, Label("leaf"), 41, false);
  EXPECT_EQ(dimension->getMaximumDepth(), 100002u);

  auto copy = Copy(*dimension, &_region);
  EXPECT_EQ(copy->getMaximumDepth(), 100002u);
  Node top = copy->Root().FirstChild();
  Node spare = copy->AddNewChild(copy->Root(), Label("spare"), 1, false);
  copy->Delete(spare);
  EXPECT_EQ(copy->NumCategories(), 42) << "the deep leaf's subscript, found without recursion";
  copy->Delete(top);
  EXPECT_EQ(copy->getMaximumDepth(), 1u);
}

}  // namespace
