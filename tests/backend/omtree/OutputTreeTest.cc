// OmOutputTree owns its items: which operations delete them, in what order,
// and Amputate's two forms; all of them iterative at any depth.
#include "backend/omtree/OutputTree.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <vector>

#include "backend/omtree/Heading.h"
#include "backend/omtree/Procedure.h"
#include "backend/omtree/TextBlock.h"

namespace {

using Node = ListTree<OmOutputPart*>::Node;
using Names = std::vector<std::string>;

Names deleted;

// A text block that records its outline text when it is destroyed.
struct Recorded : OmTextBlock {
  explicit Recorded(const std::string& name)
      : OmTextBlock(OmStringCell(name, nullptr, false), "UTF-8") {}
  ~Recorded() override { deleted.push_back(OutlineText()->AsString()); }
};

// Level and outline text of every entry, "-" for a null item.
std::string Shape(const OmOutputTree& tree) {
  std::string shape;
  for (const auto& entry : tree.List())
    shape += " " + std::to_string(entry.level) +
             (entry.item != nullptr ? entry.item->OutlineText()->AsString() : "-");
  return shape;
}

Node At(OmOutputTree& tree, int position) {
  return Node(&tree, std::next(tree.List().begin(), position));
}

// Output / A / a1 / a11, then a2 under A, then B under Output.
void AddOutline(OmOutputTree& tree) {
  deleted.clear();
  Node a = tree.Root().AppendChild(new Recorded("A"));
  a.AppendChild(new Recorded("a1")).AppendChild(new Recorded("a11"));
  a.AppendChild(new Recorded("a2"));
  tree.Root().AppendChild(new Recorded("B"));
}

TEST(OmOutputTree, OwnsItsItemsExceptThroughTheInheritedRemovals) {
  {
    OmOutputTree tree;
    const auto* text = dynamic_cast<const OmStringCell*>(tree.Root().Item()->OutlineText());
    ASSERT_TRUE(dynamic_cast<OmHeading*>(tree.Root().Item()) != nullptr && text != nullptr &&
                text->AsString() == "Output" && text->IsSystemText());
    AddOutline(tree);
    tree.Root().AppendChild(nullptr);
    Node a = At(tree, 1);
    tree.Erase(a);
    EXPECT_EQ(deleted, Names{"A"});
    EXPECT_EQ(Shape(tree), " 0Output 1a1 2a11 1a2 1B 1-");
    Node b = At(tree, 4);
    OmOutputPart* item = b.Item();
    tree.ListTree::Erase(b);
    EXPECT_EQ(deleted, Names{"A"}) << "handed back";
    delete item;
    deleted.clear();
  }
  EXPECT_EQ(deleted, (Names{"a1", "a11", "a2"})) << "list order, nulls skipped";
}

TEST(OmOutputTree, AmputateLeavesATextBlock) {
  // At the root (or level 1): the branch goes, pruned child by child, each
  // descendants first in outline order; n keeps its item.
  OmOutputTree tree;
  AddOutline(tree);
  const OmStringCell text("Output removed", nullptr, false);
  const Node block = Amputate(tree.Root(), &text, "windows-1252");
  EXPECT_EQ(deleted, (Names{"a11", "a1", "a2", "A", "B"}));
  EXPECT_EQ(Shape(tree), " 0Output 1Output removed");
  EXPECT_EQ(block, At(tree, 1));
  EXPECT_EQ(dynamic_cast<OmTextBlock&>(*block.Item()).LocaleCodePage(), "windows-1252");

  // Deeper: the item goes, its children move up before a new text block.
  OmOutputTree deep;
  AddOutline(deep);
  Node first = Amputate(At(deep, 2), nullptr, "UTF-8");
  EXPECT_EQ(deleted, Names{"a1"});
  EXPECT_EQ(Shape(deep), " 0Output 1A 2a11 2a1 2a2 1B");
  EXPECT_TRUE(first == At(deep, 2) && first.Level() == 2);
  // A leaf (a11): the block takes its place.
  first = Amputate(At(deep, 2), nullptr, "UTF-8");
  EXPECT_EQ(first, At(deep, 2));
  EXPECT_EQ(Shape(deep), " 0Output 1A 2a11 2a1 2a2 1B");
  EXPECT_EQ(deleted, (Names{"a1", "a11"}));
  // Prune stops at the next entry of the node's level.
  deep.Prune(first);
  EXPECT_EQ(Shape(deep), " 0Output 1A 2a1 2a2 1B");
}

// The outline comes from the producer: a chain of a million levels is
// amputated, pruned and erased without recursion, in the same deletion order
// as a shallow one.
TEST(OmOutputTreeDepth, AMillionLevelChain) {
  constexpr int kDepth = 1000000;
  deleted.clear();
  OmOutputTree tree;
  Node node = tree.Root().AppendChild(new Recorded("top"));
  Node middle = node;
  for (int level = 2; level <= kDepth; ++level) {
    node = node.AppendChild(new Recorded(std::to_string(level)));
    if (level == 3) middle = node;
  }
  // Lifts 999,997 levels by one; the text block follows the chain.
  EXPECT_EQ(Amputate(middle, nullptr, "UTF-8").Item()->OutlineText()->AsString(), "4");
  EXPECT_TRUE(tree.List().back().level == 3 &&
              std::prev(tree.List().end(), 2)->level == kDepth - 1);

  Node top = At(tree, 1);
  Node second = top.FirstChild();
  tree.Erase(second);
  EXPECT_EQ(deleted, (Names{"3", "2"}));
  deleted.clear();
  tree.Prune(top);
  ASSERT_EQ(deleted.size(), static_cast<std::size_t>(kDepth - 2));
  EXPECT_TRUE(deleted.front() == std::to_string(kDepth) && deleted[kDepth - 4] == "4" &&
              deleted.back() == "top");
}

}  // namespace
