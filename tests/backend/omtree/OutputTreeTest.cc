#include "backend/omtree/OutputTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/Heading.h"
#include "backend/omtree/Procedure.h"
#include "backend/omtree/TextBlock.h"

namespace {

using ::testing::ElementsAre;
using Node = ListTree<OmOutputPart*>::Node;

std::vector<std::string> deleted;

// A text block that records its outline text when it is destroyed.
class Recorded : public OmTextBlock {
 public:
  explicit Recorded(const std::string& name)
      : OmTextBlock(OmStringCell(name, nullptr, false), "UTF-8") {}
  ~Recorded() override { deleted.push_back(OutlineText()->AsString()); }
};

// (level, outline text) of every entry, "-" for a null item.
std::vector<std::pair<int, std::string>> Shape(const OmOutputTree& tree) {
  std::vector<std::pair<int, std::string>> shape;
  for (const auto& entry : tree.List()) {
    shape.emplace_back(entry.level,
                       entry.item != nullptr ? entry.item->OutlineText()->AsString() : "-");
  }
  return shape;
}

using Shaped = std::vector<std::pair<int, std::string>>;

// Output
//   A
//     a1
//       a11
//     a2
//   B
class OutlineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    deleted.clear();
    Node root = _tree.Root();
    Node a = root.AppendChild(new Recorded("A"));
    a.AppendChild(new Recorded("a1")).AppendChild(new Recorded("a11"));
    a.AppendChild(new Recorded("a2"));
    root.AppendChild(new Recorded("B"));
  }

  Node At(int position) {
    auto entry = _tree.List().begin();
    std::advance(entry, position);
    return Node(&_tree, entry);
  }

  OmOutputTree _tree;
};

TEST(OmOutputTree, StartsWithTheOutputHeadingAndDeletesEveryItemOnce) {
  deleted.clear();
  {
    OmOutputTree tree;
    ASSERT_EQ(tree.Size(), 1);
    Node root = tree.Root();
    EXPECT_EQ(root.Level(), 0);
    ASSERT_NE(dynamic_cast<OmHeading*>(root.Item()), nullptr);
    const auto* text = dynamic_cast<const OmStringCell*>(root.Item()->OutlineText());
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(text->AsString(), "Output");
    EXPECT_TRUE(text->IsSystemText());
    Node first = root.AppendChild(new Recorded("first"));
    root.AppendChild(nullptr);
    first.AppendChild(new Recorded("nested"));
    root.AppendChild(new Recorded("last"));
  }
  EXPECT_THAT(deleted, ElementsAre("first", "nested", "last")) << "list order, nulls skipped";
}

TEST_F(OutlineTest, PruneDeletesDescendantsFirstInOutlineOrder) {
  Node a = At(1);
  _tree.Prune(a);
  EXPECT_THAT(deleted, ElementsAre("a11", "a1", "a2", "A"));
  EXPECT_EQ(Shape(_tree), (Shaped{{0, "Output"}, {1, "B"}}));

  Node b = At(1);
  _tree.Prune(b);
  EXPECT_EQ(_tree.Size(), 1);
  Node root = _tree.Root();
  _tree.Prune(root);
  EXPECT_EQ(_tree.Size(), 0);
}

TEST_F(OutlineTest, EraseDeletesTheNodeAloneAndLiftsItsChildren) {
  Node a = At(1);
  _tree.Erase(a);
  EXPECT_THAT(deleted, ElementsAre("A"));
  EXPECT_EQ(Shape(_tree), (Shaped{{0, "Output"}, {1, "a1"}, {2, "a11"}, {1, "a2"}, {1, "B"}}));
}

TEST_F(OutlineTest, InheritedRemovalsHandItemsBack) {
  Node a = At(1);
  OmOutputPart* item = a.Item();
  _tree.ListTree::Erase(a);
  EXPECT_TRUE(deleted.empty());
  delete item;
  EXPECT_THAT(deleted, ElementsAre("A"));
}

TEST_F(OutlineTest, AmputateTheRootLeavesOneTextBlock) {
  const OmStringCell text("Output removed", nullptr, false);
  Node block = Amputate(_tree.Root(), &text, "windows-1252");
  EXPECT_THAT(deleted, ElementsAre("a11", "a1", "a2", "A", "B"));
  EXPECT_EQ(Shape(_tree), (Shaped{{0, "Output"}, {1, "Output removed"}}));
  EXPECT_EQ(block, At(1));
  const auto* textBlock = dynamic_cast<OmTextBlock*>(block.Item());
  ASSERT_NE(textBlock, nullptr);
  EXPECT_EQ(textBlock->LocaleCodePage(), "windows-1252");
}

TEST_F(OutlineTest, AmputateADeepItemLiftsItsChildrenBeforeATextBlock) {
  Node a1 = At(2);
  Node first = Amputate(a1, nullptr, "UTF-8");
  EXPECT_THAT(deleted, ElementsAre("a1"));
  EXPECT_EQ(Shape(_tree),
            (Shaped{{0, "Output"}, {1, "A"}, {2, "a11"}, {2, "a1"}, {2, "a2"}, {1, "B"}}));
  EXPECT_EQ(first, At(2));
  EXPECT_EQ(first.Level(), 2);
  EXPECT_EQ(dynamic_cast<Recorded*>(At(3).Item()), nullptr) << "a new text block";

  Node leaf = At(2);  // a11, no children: the block takes its place
  Node block = Amputate(leaf, nullptr, "UTF-8");
  EXPECT_EQ(block, At(2));
  EXPECT_EQ(Shape(_tree),
            (Shaped{{0, "Output"}, {1, "A"}, {2, "a11"}, {2, "a1"}, {2, "a2"}, {1, "B"}}));
  EXPECT_THAT(deleted, ElementsAre("a1", "a11"));
}

// The outline comes from the producer: a chain of a million levels is
// amputated, pruned, erased and destroyed without recursion, in the same
// deletion order as a shallow one.
TEST(OmOutputTreeDepth, AMillionLevelChain) {
  constexpr int kDepth = 1000000;
  deleted.clear();
  std::vector<int> order;
  {
    OmOutputTree tree;
    Node node = tree.Root().AppendChild(new Recorded("top"));
    Node middle = node;
    for (int level = 2; level <= kDepth; ++level) {
      node = node.AppendChild(new Recorded(std::to_string(level)));
      if (level == 3) middle = node;
    }
    Node first = Amputate(middle, nullptr, "UTF-8");  // lifts 999,997 levels by one
    EXPECT_EQ(first.Item()->OutlineText()->AsString(), "4");
    EXPECT_EQ(tree.List().back().level, 3) << "the text block, after the chain";
    EXPECT_EQ(std::prev(tree.List().end(), 2)->level, kDepth - 1);

    Node top = Node(&tree, std::next(tree.List().begin()));
    Node second = top.FirstChild();
    tree.Erase(second);
    EXPECT_EQ(deleted.size(), 2u);

    deleted.clear();
    tree.Prune(top);
    ASSERT_EQ(deleted.size(), static_cast<std::size_t>(kDepth - 2));
    EXPECT_EQ(deleted.front(), std::to_string(kDepth)) << "deepest first";
    EXPECT_EQ(deleted[deleted.size() - 2], "4");
    EXPECT_EQ(deleted.back(), "top");
    for (int level = 2; level <= 100; ++level)
      tree.Root().AppendChild(new Recorded("x"));
    deleted.clear();
  }
  EXPECT_EQ(deleted.size(), 99u);
}

}  // namespace
