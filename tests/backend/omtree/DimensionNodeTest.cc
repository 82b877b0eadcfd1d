// Category tree nodes: where copies and assignments put their text and
// child index (and that every block comes back), bitwise relocation inside
// a vector, order and equality, and the exact Print line.

#include "backend/omtree/DimensionNode.h"

#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

// Test hook: the child index is private to the dimension, and the node
// befriends this fixture so that the tests can fill and read it.
class OmDimensionNodeTest : public testing::Test {
 protected:
  static const OmVector<int>& ChildIndex(const OmDimensionNode& node) { return node.ChildIndex(); }
  static std::vector<int> Entries(const OmDimensionNode& node) {
    return std::vector<int>(node.ChildIndex().begin(), node.ChildIndex().end());
  }
  // Sets everything that equality and order ignore.
  static void Decorate(OmDimensionNode& node, OmSort::Order sort, const std::vector<int>& entries) {
    node.Sort(sort);
    node.Hide(true);
    node.HideLabels(true);
    for (int entry : entries)
      node.ChildIndex().push_back(entry);
  }
};

namespace {

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

// Copies clone text and index into the region given, the source's, or the
// heap for null, the index with its entry count as capacity, and stay valid
// when a vector moves their bytes. Assignment hands the text over (the
// source keeps none) and refills the index in the target's own region.
TEST_F(OmDimensionNodeTest, CopiesCloneAndAssignmentHandsTheTextOver) {
  OmMemoryRegion sourceRegion(false);
  OmMemoryRegion otherRegion(false);
  {
    OmDimensionNode source(Text("Total"), 5, true, &sourceRegion);
    Decorate(source, OmSort::Up, {4, 1, 6, 0, 2});
    const auto expectLike = [](const OmDimensionNode& node, OmMemoryRegion* textRegion,
                               OmMemoryRegion* indexRegion) {
      ASSERT_NE(node.Text(), nullptr);
      EXPECT_TRUE(OmMemoryRegion::Of(node.Text()) == textRegion &&
                  OmMemoryRegion::Of(ChildIndex(node).begin()) == indexRegion);
      EXPECT_EQ(ChildIndex(node).capacity(), 5u);
      EXPECT_EQ(Entries(node), (std::vector<int>{4, 1, 6, 0, 2}));
      EXPECT_TRUE(node.Text()->AsString() == "Total" && node.Subscript() == 5 && node.IsGroup() &&
                  node.Hide() && node.HideLabels() && node.Sort() == OmSort::Up);
    };
    expectLike(OmDimensionNode(source), &sourceRegion, &sourceRegion);
    expectLike(OmDimensionNode(source, nullptr), OmMemoryRegion::DefaultHeap(),
               OmMemoryRegion::DefaultHeap());
    {
      OmVector<OmDimensionNode> copies(&otherRegion);
      for (int i = 0; i < 5; ++i)  // the fifth grows the block: the first four move bitwise
        copies.push_back(OmDimensionNode(source, &otherRegion));
      copies.erase(copies.begin());  // shifts the rest down bitwise
      for (const OmDimensionNode& copy : copies)
        expectLike(copy, &otherRegion, &otherRegion);
    }
    ASSERT_EQ(otherRegion.BlocksInUse(), 0u);

    OmDimensionNode target(Text("old"), 3, false, &otherRegion);
    Decorate(target, OmSort::Down, {9, 9, 9, 9, 9, 9, 9, 9, 9});
    const std::size_t sourceBlocks = sourceRegion.BlocksInUse();
    const OmCellText* handed = source.Text();
    target = source;
    EXPECT_TRUE(target.Text() == handed && source.Text() == nullptr);
    expectLike(target, &sourceRegion, &otherRegion);
    EXPECT_TRUE(otherRegion.BlocksInUse() == 1 && sourceRegion.BlocksInUse() == sourceBlocks)
        << "old text and old index gone, a new index block; the text stays where it was made";
    const OmDimensionNode& alias = target;  // Both hold the same text: it stays.
    target = alias;
    expectLike(target, &sourceRegion, &otherRegion);
    // The setter clones before it deletes the old text, which may be the one
    // given.
    target.Text(*target.Text());
    expectLike(target, &otherRegion, &otherRegion);
    EXPECT_EQ(sourceRegion.BlocksInUse(), 1u) << "the text taken over deleted: the source's index";
    target = OmDimensionNode(&otherRegion);
    EXPECT_TRUE(target.Text() == nullptr && otherRegion.BlocksInUse() == 0)
        << "the clone deleted, the index block released";
  }
  EXPECT_EQ(sourceRegion.BlocksInUse(), 0u);
}

TEST_F(OmDimensionNodeTest, GroupsOrderFirstThenTextsAndEqualityAddsTheSubscript) {
  OmMemoryRegion region(false);
  const auto node = [&region](const char* text, std::size_t subscript, bool group) {
    return OmDimensionNode(Text(text), subscript, group, &region);
  };
  const OmDimensionNode groupZ = node("z", OmDimensionNode::kNoSubscript, true);
  const OmDimensionNode leafA1 = node("a", 1, false);
  const OmDimensionNode leafZ1 = node("z", 1, false);
  const OmDimensionNode leafA2 = node("a", 2, false);
  EXPECT_TRUE(groupZ < leafA1 && !(leafA1 < groupZ)) << "a group orders before a leaf";
  EXPECT_TRUE(leafA1 < leafZ1 && !(leafZ1 < leafA1) && !(leafA1 == leafZ1));
  EXPECT_FALSE(leafA1 < leafA2 || leafA2 < leafA1 || leafA1 == leafA2 ||
               node("a", 1, true) == leafA1)
      << "the subscript and the group flag take part in equality, the subscript not in order";
  OmDimensionNode decorated(leafA1, &region);
  Decorate(decorated, OmSort::Down, {3});
  EXPECT_TRUE(decorated == leafA1) << "sort, hide flags and children play no part";
}

TEST_F(OmDimensionNodeTest, PrintWritesOneExactLine) {
  OmMemoryRegion region(false);
  OmDimensionNode node(&region);
  const auto printed = [&node](unsigned int indent) {
    testing::internal::CaptureStdout();
    // Formatting flags that a caller left on the stream must not show.
    std::cout << std::hex << std::showpos;
    node.Print(indent);
    std::cout << std::dec << std::noshowpos;
    return testing::internal::GetCapturedStdout();
  };
  EXPECT_EQ(printed(2), "    Subscript: -1, Group: no, hide: no, hideLabels: no\n");
  node = OmDimensionNode(Text("Total"), ~std::size_t{0xFFFFFFFF} | 0x80000000u, true, &region);
  Decorate(node, OmSort::Down, {-4, 2});
  node.Text()->setMarkers({"a", "*"});
  node.Text()->Footnotes() = {1, 3};
  // Only the low 32 bits of the subscript show, as a signed number.
  EXPECT_EQ(printed(0),
            "Subscript: -2147483648, Group: yes, hide: yes, hideLabels: yes, Sort: down, "
            "Children: -4, 2, Text: \"Total\", Footnotes = 1, 3, Markers = a, *\n");
  node.Sort(OmSort::Up);
  node.Text()->Footnotes() = {};
  EXPECT_EQ(printed(0),
            "Subscript: -2147483648, Group: yes, hide: yes, hideLabels: yes, Sort: up, "
            "Children: -4, 2, Text: \"Total\", Markers = a, *\n");
}

}  // namespace
