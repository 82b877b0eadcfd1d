// Regression tests for faults that the fuzz targets in fuzz/ found, one test
// per fault, each naming the target that found it.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "backend/omtree/PivotTable.h"

namespace {

using ::testing::ElementsAre;
using Node = OmDimension::Node;

OmStringCell Label(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

std::vector<std::string> Labels(OmDimension::ConstNode node) {
  std::vector<std::string> labels;
  for (auto child = node.FirstChild(); child != node.EndChild(); ++child) {
    labels.push_back(child->Text() != nullptr ? child->Text()->AsString() : "(no text)");
  }
  return labels;
}

// fuzz_dimension: swapping a node with the sibling directly before it, when
// the node has a follower, took the follower's value by assignment, which
// for dimension nodes hands the text over; the search for the follower then
// compared against a node without a text.
TEST(FuzzRegression, SwapWithThePreviousSiblingKeepsTheFollowerFindable) {
  const OmStringCell name("T", nullptr, false);
  OmPivotTable table(name, name, false);
  OmDimension& dimension = table.AddDimension(Label("D"));
  Node root = dimension.Root();
  for (const char* label : {"p", "q", "r", "s"})
    dimension.AddNewChild(root, Label(label), OmDimensionNode::kNoSubscript, true);

  Node q = root.Child(1);
  Node p = root.Child(0);
  dimension.moveChild(q, &p, true);
  EXPECT_THAT(Labels(root), ElementsAre("q", "p", "r", "s"));

  Node s = root.Child(3);
  Node r = root.Child(2);
  dimension.moveChild(s, &r, true);
  EXPECT_THAT(Labels(root), ElementsAre("q", "p", "s", "r")) << "the last child has no follower";
}

// fuzz_dimension: after insertChild, the root's child index still named the
// offsets of the two children that moved into the new group, past the
// children that remained; the next Child search read those entries.
TEST(FuzzRegression, SearchAfterAnEditReadsOnlyExistingChildren) {
  const OmStringCell name("T", nullptr, false);
  OmPivotTable table(name, name, false);
  OmDimension& dimension = table.AddDimension(Label("D"));
  Node root = dimension.Root();
  for (const char* label : {"a", "b", "c"})
    dimension.Child(root, Label(label), 0, false);
  Node b = root.Child(1);
  Node c = root.Child(2);
  dimension.insertChild(Label("G"), {&b, &c});
  EXPECT_EQ(OmDimension::FindChild(root, Label("c"), false), -1) << "c moved into G";
  dimension.Child(root, Label("z"), 1, false);
  EXPECT_THAT(Labels(root), ElementsAre("a", "G", "z"));
}

}  // namespace
