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
};

namespace {

using OmDimensionNodeAssignment = OmDimensionNodeTest;
using OmDimensionNodeCopy = OmDimensionNodeTest;
using OmDimensionNodeOrder = OmDimensionNodeTest;
using OmDimensionNodePrint = OmDimensionNodeTest;
using OmDimensionNodeLifetime = OmDimensionNodeTest;

TEST_F(OmDimensionNodeAssignment, HandsTextOverAndRefillsIndexInTargetRegion) {
  OmMemoryRegion targetRegion(false);
  OmMemoryRegion sourceRegion(false);
  {
    OmDimensionNode target(OmStringCell("old", nullptr, false), 3, false, &targetRegion);
    SetEntries(target, {9, 9, 9, 9, 9});
    OmDimensionNode source(OmStringCell("new", nullptr, false), 7, true, &sourceRegion);
    source.Sort(OmSort::Down);
    source.Hide(true);
    source.HideLabels(true);
    SetEntries(source, {2, 0, 1});
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
  }
  EXPECT_EQ(targetRegion.BlocksInUse(), 0u);
  EXPECT_EQ(sourceRegion.BlocksInUse(), 0u) << "the target deletes the text it took";
}

TEST_F(OmDimensionNodeAssignment, SamePointerKeepsTextAndNullSourceDropsIt) {
  OmMemoryRegion region(false);
  OmDimensionNode node(OmStringCell("label", nullptr, false), 4, false, &region);
  SetEntries(node, {1, 0});
  const std::size_t blocks = region.BlocksInUse();
  const OmCellText* text = node.Text();

  const OmDimensionNode& alias = node;
  node = alias;
  EXPECT_EQ(node.Text(), text);
  EXPECT_EQ(node.Text()->AsString(), "label");
  EXPECT_EQ(Entries(node), (std::vector<int>{1, 0}));
  EXPECT_EQ(region.BlocksInUse(), blocks);

  node = OmDimensionNode(&region);
  EXPECT_EQ(node.Text(), nullptr);
  EXPECT_EQ(node.Subscript(), OmDimensionNode::kNoSubscript);
  EXPECT_TRUE(ChildIndex(node).empty());
  EXPECT_EQ(region.BlocksInUse(), 0u) << "own text deleted, index block released";
}

TEST_F(OmDimensionNodeCopy, ClonesIntoTheGivenRegionTheSourceRegionOrTheHeap) {
  OmMemoryRegion sourceRegion(false);
  OmMemoryRegion otherRegion(false);
  {
    OmDimensionNode source(OmStringCell("Total", nullptr, false), 5, true, &sourceRegion);
    source.Sort(OmSort::Up);
    source.Hide(true);
    source.HideLabels(true);
    SetEntries(source, {4, 1, 6, 0, 2});
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
  const OmDimensionNode bare(&sourceRegion);
  const OmDimensionNode copy(bare, &otherRegion);
  EXPECT_EQ(copy.Text(), nullptr);
  EXPECT_EQ(ChildIndex(copy).begin(), nullptr) << "an empty index allocates nothing";
}

TEST(OmDimensionNodeText, SetterClonesIntoNodeRegionAndAcceptsItsOwnText) {
  OmMemoryRegion region(false);
  {
    OmDimensionNode node(&region);
    node.Text(OmStringCell("first", nullptr, false));
    EXPECT_EQ(OmMemoryRegion::Of(node.Text()), &region);
    const std::size_t blocks = region.BlocksInUse();
    node.Text(OmStringCell("second", nullptr, false));
    EXPECT_EQ(region.BlocksInUse(), blocks) << "the previous text is deleted";
    node.Text(*node.Text());
    EXPECT_EQ(node.Text()->AsString(), "second");
    EXPECT_EQ(region.BlocksInUse(), blocks);
  }
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

TEST_F(OmDimensionNodeOrder, GroupsFirstThenTextsAndEqualityAddsTheSubscript) {
  OmMemoryRegion region(false);
  const OmStringCell a("a", &region, false);
  const OmStringCell z("z", &region, false);
  const OmDimensionNode groupA(a, OmDimensionNode::kNoSubscript, true, &region);
  const OmDimensionNode groupZ(z, OmDimensionNode::kNoSubscript, true, &region);
  const OmDimensionNode groupA1(a, 1, true, &region);
  const OmDimensionNode leafA1(a, 1, false, &region);
  const OmDimensionNode leafA2(a, 2, false, &region);
  const OmDimensionNode leafZ1(z, 1, false, &region);

  EXPECT_TRUE(groupZ < leafA1) << "a group orders before a leaf whatever the texts";
  EXPECT_FALSE(leafA1 < groupZ);
  EXPECT_TRUE(groupA < groupZ);
  EXPECT_FALSE(groupZ < groupA);
  EXPECT_TRUE(leafA1 < leafZ1);
  EXPECT_FALSE(leafZ1 < leafA1);
  EXPECT_FALSE(leafA1 < leafA2 || leafA2 < leafA1) << "subscripts play no part in the order";
  EXPECT_FALSE(leafA1 == leafA2);
  EXPECT_FALSE(leafA1 == leafZ1);
  EXPECT_TRUE(groupA1 < leafA1);
  EXPECT_FALSE(groupA1 == leafA1);

  OmDimensionNode decorated(leafA1, &region);
  decorated.Sort(OmSort::Down);
  decorated.Hide(true);
  decorated.HideLabels(true);
  SetEntries(decorated, {3});
  EXPECT_TRUE(decorated == leafA1) << "sort, hide flags and children play no part";
}

struct PrintCase {
  unsigned int indent;
  std::size_t subscript;
  bool flags;  // group, hide and hideLabels alike
  OmSort::Order sort;
  std::vector<int> children;
  bool labelled;  // with the text "Total"
  std::vector<short> footnotes;
  std::vector<std::string> markers;
  std::string expected;
};

TEST_F(OmDimensionNodePrint, WritesOneExactLine) {
  constexpr std::size_t kNone = OmDimensionNode::kNoSubscript;
  constexpr OmSort::Order kUnsorted = OmSort::Unsorted;
  const std::string no = ", Group: no, hide: no, hideLabels: no";
  const std::string total = no + ", Text: \"Total\"";
  // clang-format off
  const PrintCase cases[] = {
      {0, kNone, false, kUnsorted, {}, false, {}, {}, "Subscript: -1" + no + "\n"},
      {2, kNone, false, kUnsorted, {}, false, {}, {}, "    Subscript: -1" + no + "\n"},
      {0, 7, true, kUnsorted, {}, false, {}, {},
       "Subscript: 7, Group: yes, hide: yes, hideLabels: yes\n"},
      {0, kNone, false, OmSort::Up, {}, false, {}, {}, "Subscript: -1" + no + ", Sort: up\n"},
      {0, kNone, false, OmSort::Down, {}, false, {}, {}, "Subscript: -1" + no + ", Sort: down\n"},
      {0, kNone, false, kUnsorted, {2, 0, 1}, false, {}, {},
       "Subscript: -1" + no + ", Children: 2, 0, 1\n"},
      {0, kNone, false, kUnsorted, {}, true, {}, {}, "Subscript: -1" + total + "\n"},
      {0, kNone, false, kUnsorted, {}, true, {1, 3}, {},
       "Subscript: -1" + total + ", Footnotes = 1, 3\n"},
      {0, kNone, false, kUnsorted, {}, true, {}, {"a", "b"},
       "Subscript: -1" + total + ", Markers = a, b\n"},
      {0, OmDimensionNode::kDissolving, false, kUnsorted, {}, false, {}, {},
       "Subscript: -2" + no + "\n"},
      {0, ~std::size_t{0xFFFFFFFF} | 5, false, kUnsorted, {}, false, {}, {},
       "Subscript: 5" + no + "\n"},
      {1, 0x80000000u, false, OmSort::Down, {-4}, true, {2}, {"*"},
       "  Subscript: -2147483648" + no +
       ", Sort: down, Children: -4, Text: \"Total\", Footnotes = 2, Markers = *\n"},
  };
  // clang-format on
  OmMemoryRegion region(false);
  for (const PrintCase& c : cases) {
    SCOPED_TRACE(c.expected);
    OmDimensionNode node(&region);
    node.Subscript(c.subscript);
    node.IsGroup(c.flags);
    node.Hide(c.flags);
    node.HideLabels(c.flags);
    node.Sort(c.sort);
    SetEntries(node, c.children);
    if (c.labelled) {
      OmStringCell text("Total", nullptr, false);
      text.Footnotes() = c.footnotes;
      text.setMarkers(c.markers);
      node.Text(text);
    }
    testing::internal::CaptureStdout();
    // Formatting flags that a caller left on the stream must not show.
    std::cout << std::hex << std::showpos;
    node.Print(c.indent);
    std::cout << std::dec << std::noshowpos;
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.expected);
  }
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

TEST_F(OmDimensionNodeLifetime, SurvivesBitwiseRelocationAndReturnsEveryBlock) {
  OmMemoryRegion region(false);
  {
    OmVector<OmDimensionNode> nodes(&region);
    for (int i = 0; i < 5; ++i) {  // the fifth grows the block: the first four move bitwise
      nodes.push_back(
          OmDimensionNode(OmStringCell(std::to_string(i), nullptr, false), i, false, &region));
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
