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
  static void SetEntries(OmDimensionNode& node, const std::vector<int>& entries) {
    for (int entry : entries)
      node.ChildIndex().push_back(entry);
  }
  // Sets everything that equality and order ignore.
  static void Decorate(OmDimensionNode& node, OmSort::Order sort, const std::vector<int>& entries) {
    node.Sort(sort);
    node.Hide(true);
    node.HideLabels(true);
    SetEntries(node, entries);
  }
};

namespace {

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

TEST_F(OmDimensionNodeTest, AssignmentHandsTextOverAndRefillsIndexInTargetRegion) {
  OmMemoryRegion targetRegion(false);
  OmMemoryRegion sourceRegion(false);
  {
    OmDimensionNode target(Text("old"), 3, false, &targetRegion);
    SetEntries(target, {9, 9, 9, 9, 9});
    OmDimensionNode source(Text("new"), 7, true, &sourceRegion);
    Decorate(source, OmSort::Down, {2, 0, 1});
    const std::size_t sourceBlocks = sourceRegion.BlocksInUse();
    const OmCellText* handed = source.Text();

    target = source;
    EXPECT_EQ(target.Text(), handed);
    EXPECT_EQ(source.Text(), nullptr);
    EXPECT_EQ(target.Subscript(), 7u);
    EXPECT_TRUE(target.IsGroup() && target.Hide() && target.HideLabels() &&
                target.Sort() == OmSort::Down);
    EXPECT_EQ(Entries(target), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(Entries(source), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(ChildIndex(target).capacity(), 3u);
    EXPECT_EQ(OmMemoryRegion::Of(ChildIndex(target).begin()), &targetRegion);
    EXPECT_EQ(targetRegion.BlocksInUse(), 1u) << "old text and old index gone, new index block";
    EXPECT_EQ(sourceRegion.BlocksInUse(), sourceBlocks) << "the text stays where it was made";

    const OmDimensionNode& alias = target;  // Both hold the same text: it stays.
    target = alias;
    EXPECT_EQ(target.Text(), handed);
    EXPECT_EQ(target.Text()->AsString(), "new");
    EXPECT_EQ(Entries(target), (std::vector<int>{2, 0, 1}));
    EXPECT_EQ(sourceRegion.BlocksInUse(), sourceBlocks);

    target = OmDimensionNode(&targetRegion);
    EXPECT_EQ(target.Text(), nullptr);
    EXPECT_EQ(target.Subscript(), OmDimensionNode::kNoSubscript);
    EXPECT_TRUE(ChildIndex(target).empty());
    EXPECT_EQ(targetRegion.BlocksInUse(), 0u) << "index block released";
    EXPECT_EQ(sourceRegion.BlocksInUse(), 1u) << "the text taken over deleted: the source's index";
  }
  EXPECT_EQ(sourceRegion.BlocksInUse(), 0u);
}

TEST_F(OmDimensionNodeTest, CopyClonesIntoTheGivenRegionTheSourceRegionOrTheHeap) {
  OmMemoryRegion sourceRegion(false);
  OmMemoryRegion otherRegion(false);
  {
    OmDimensionNode source(Text("Total"), 5, true, &sourceRegion);
    Decorate(source, OmSort::Up, {4, 1, 6, 0, 2});
    const auto expectCopyIn = [&source](const OmDimensionNode& copy, OmMemoryRegion* region) {
      ASSERT_NE(copy.Text(), nullptr);
      EXPECT_NE(copy.Text(), source.Text());
      EXPECT_EQ(OmMemoryRegion::Of(copy.Text()), region);
      EXPECT_EQ(OmMemoryRegion::Of(ChildIndex(copy).begin()), region);
      EXPECT_EQ(ChildIndex(copy).capacity(), 5u);
      EXPECT_EQ(Entries(copy), (std::vector<int>{4, 1, 6, 0, 2}));
      EXPECT_TRUE(copy == source);
      EXPECT_TRUE(copy.Hide() && copy.HideLabels() && copy.Sort() == OmSort::Up);
    };
    expectCopyIn(OmDimensionNode(source, &otherRegion), &otherRegion);
    expectCopyIn(OmDimensionNode(source), &sourceRegion);
    expectCopyIn(OmDimensionNode(source, nullptr), OmMemoryRegion::DefaultHeap());
    EXPECT_EQ(source.Text()->AsString(), "Total");
  }
  EXPECT_EQ(sourceRegion.BlocksInUse(), 0u);
  EXPECT_EQ(otherRegion.BlocksInUse(), 0u);

  const OmDimensionNode onHeap(OmStringCell("x", &sourceRegion, false), 0, false, nullptr);
  EXPECT_EQ(OmMemoryRegion::Of(onHeap.Text()), OmMemoryRegion::DefaultHeap());
  EXPECT_EQ(onHeap.Region(), OmMemoryRegion::DefaultHeap());
  const OmDimensionNode copy(OmDimensionNode(&sourceRegion), &otherRegion);
  EXPECT_EQ(copy.Text(), nullptr);
  EXPECT_EQ(ChildIndex(copy).begin(), nullptr) << "an empty index allocates nothing";
}

TEST_F(OmDimensionNodeTest, TextSetterClonesIntoNodeRegionAndAcceptsItsOwnText) {
  OmMemoryRegion region(false);
  {
    OmDimensionNode node(&region);
    node.Text(Text("first"));
    EXPECT_EQ(OmMemoryRegion::Of(node.Text()), &region);
    const std::size_t blocks = region.BlocksInUse();
    node.Text(Text("second"));
    EXPECT_EQ(region.BlocksInUse(), blocks) << "the previous text is deleted";
    node.Text(*node.Text());
    EXPECT_EQ(node.Text()->AsString(), "second");
    EXPECT_EQ(region.BlocksInUse(), blocks);
  }
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

TEST_F(OmDimensionNodeTest, GroupsOrderFirstThenTextsAndEqualityAddsTheSubscript) {
  OmMemoryRegion region(false);
  const auto node = [&region](const char* text, std::size_t subscript, bool group) {
    return OmDimensionNode(Text(text), subscript, group, &region);
  };
  constexpr std::size_t kNone = OmDimensionNode::kNoSubscript;
  const OmDimensionNode groupA = node("a", kNone, true);
  const OmDimensionNode groupZ = node("z", kNone, true);
  const OmDimensionNode leafA1 = node("a", 1, false);
  const OmDimensionNode leafZ1 = node("z", 1, false);
  EXPECT_TRUE(groupZ < leafA1 && !(leafA1 < groupZ)) << "a group orders before a leaf";
  EXPECT_TRUE(groupA < groupZ && !(groupZ < groupA));
  EXPECT_TRUE(leafA1 < leafZ1 && !(leafZ1 < leafA1) && !(leafA1 == leafZ1));
  const OmDimensionNode leafA2 = node("a", 2, false);
  EXPECT_FALSE(leafA1 < leafA2 || leafA2 < leafA1 || leafA1 == leafA2)
      << "the subscript takes part in equality, not in the order";
  EXPECT_FALSE(node("a", 1, true) == leafA1);

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
  const std::string no = ", Group: no, hide: no, hideLabels: no";
  EXPECT_EQ(printed(0), "Subscript: -1" + no + "\n");
  EXPECT_EQ(printed(2), "    Subscript: -1" + no + "\n");
  node.Subscript(OmDimensionNode::kDissolving);
  EXPECT_EQ(printed(0), "Subscript: -2" + no + "\n");
  node.Subscript(~std::size_t{0xFFFFFFFF} | 7);  // Only the low 32 bits show.
  node.IsGroup(true);
  node.HideLabels(true);
  node.Sort(OmSort::Up);
  EXPECT_EQ(printed(0), "Subscript: 7, Group: yes, hide: no, hideLabels: yes, Sort: up\n");

  const std::string total = "Subscript: -2147483648" + no + ", Sort: down, Text: \"Total\"";
  node = OmDimensionNode(Text("Total"), 0x80000000u, false, &region);
  node.Sort(OmSort::Down);
  EXPECT_EQ(printed(0), total + "\n");
  node.Text()->setMarkers({"a", "b"});
  EXPECT_EQ(printed(0), total + ", Markers = a, b\n");
  node.Text()->setMarkers({});
  node.Text()->Footnotes() = {1, 3};
  EXPECT_EQ(printed(0), total + ", Footnotes = 1, 3\n");
  node.Text()->setMarkers({"*"});
  SetEntries(node, {-4, 2});
  node.Hide(true);
  EXPECT_EQ(printed(1),
            "  Subscript: -2147483648, Group: no, hide: yes, hideLabels: no, Sort: down, "
            "Children: -4, 2, Text: \"Total\", Footnotes = 1, 3, Markers = *\n");
}

TEST_F(OmDimensionNodeTest, SurvivesBitwiseRelocationAndReturnsEveryBlock) {
  OmMemoryRegion region(false);
  {
    OmVector<OmDimensionNode> nodes(&region);
    for (int i = 0; i < 5; ++i) {  // the fifth grows the block: the first four move bitwise
      nodes.push_back(OmDimensionNode(Text(std::to_string(i)), i, false, &region));
      SetEntries(nodes[i], {i, -i});
    }
    nodes.erase(nodes.begin());  // shifts the rest down bitwise
    for (int i = 1; i < 5; ++i) {
      EXPECT_EQ(nodes[i - 1].Text()->AsString(), std::to_string(i));
      EXPECT_EQ(Entries(nodes[i - 1]), (std::vector<int>{i, -i}));
    }
  }
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

}  // namespace
