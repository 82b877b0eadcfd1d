// Builders shared by the display heading tests: category trees from a
// compact description, and labels of returned nodes as strings.

#ifndef OMTREE_TESTS_BACKEND_OMTREE_DISPLAYTESTSUPPORT_H_
#define OMTREE_TESTS_BACKEND_OMTREE_DISPLAYTESTSUPPORT_H_

#include <deque>
#include <string>
#include <vector>

#include "backend/omtree/DisplayColumnHeading.h"
#include "backend/omtree/DisplayLayerHeading.h"
#include "backend/omtree/DisplayRowHeading.h"
#include "backend/omtree/PivotTable.h"

namespace display_test {

using ConstNode = OmVectorTree<OmDimensionNode>::ConstNode;

// One category: a leaf when it has no children and group is false. Flags
// written after the label: '-' hidden, '!' a group that hides its labels.
struct Category {
  std::string label;
  std::vector<Category> children;
  bool group = false;
};

inline Category Leaf(const std::string& label) {
  return Category{label, {}, false};
}
inline Category Group(const std::string& label, std::vector<Category> children) {
  return Category{label, std::move(children), true};
}

// Adds a dimension named name (flags as for categories) whose leaves get
// the subscripts in subscripts, in depth-first order (0, 1, 2, ... when
// empty).
inline OmDimension& AddDimension(OmPivotTable& table, const std::string& name,
                                 const std::vector<Category>& categories,
                                 const std::vector<int>& subscripts = {}) {
  auto plain = [](const std::string& label) { return label.substr(0, label.find_first_of("-!")); };
  auto flags = [](OmDimension::Node node, const std::string& label) {
    node->Hide(label.find('-') != std::string::npos);
    node->HideLabels(label.find('!') != std::string::npos);
  };
  OmDimension& dimension = table.AddDimension(OmStringCell(plain(name), nullptr, false));
  flags(dimension.Root(), name);
  std::size_t leaves = 0;
  struct Pending {
    OmDimension::Node parent;
    const std::vector<Category>* children;
    std::size_t next;
  };
  std::vector<Pending> stack{{dimension.Root(), &categories, 0}};
  while (!stack.empty()) {
    Pending& top = stack.back();
    if (top.next == top.children->size()) {
      stack.pop_back();
      continue;
    }
    const Category& category = (*top.children)[top.next++];
    const bool group = category.group || !category.children.empty();
    std::size_t subscript = OmDimensionNode::kNoSubscript;
    if (!group) {
      subscript = subscripts.empty() ? leaves : static_cast<std::size_t>(subscripts[leaves]);
      ++leaves;
    }
    OmDimension::Node node = dimension.AddNewChild(
        top.parent, OmStringCell(plain(category.label), nullptr, false), subscript, group);
    flags(node, category.label);
    if (group) stack.push_back({node, &category.children, 0});
  }
  return dimension;
}

// The label of a returned node, "." for null.
inline std::string Label(const ConstNode* node) {
  return node == nullptr ? "." : (*node)->Text()->AsString();
}

inline std::vector<std::string> Labels(const std::deque<ConstNode*>& nodes) {
  std::vector<std::string> labels;
  for (const ConstNode* node : nodes)
    labels.push_back(Label(node));
  return labels;
}

inline std::vector<std::string> Labels(const std::vector<const OmCellText*>& texts) {
  std::vector<std::string> labels;
  for (const OmCellText* text : texts)
    labels.push_back(text == nullptr ? "." : text->AsString());
  return labels;
}

}  // namespace display_test

#endif  // OMTREE_TESTS_BACKEND_OMTREE_DISPLAYTESTSUPPORT_H_
