#include "backend/omtree/Dimension.h"

#include <algorithm>
#include <cstdint>
#include <utility>

#include "backend/tables/Assertion.h"

namespace {

using ConstNode = OmDimension::ConstNode;

// The tracker of from's text, given to to's text when both have one.
void ShareTracker(const OmDimensionNode& from, OmDimensionNode& to) {
  if (from.Text() != nullptr && to.Text() != nullptr) {
    to.Text()->setTracker(from.Text()->getTracker());
  }
}

}  // namespace

OmDimension::OmDimension(const OmDimensionNode& root, OmMemoryRegion* region)
    : _tree(root, region), _numCategories(0), _displayLastCategory(false) {}

OmDimension::OmDimension(const OmDimension& other, OmMemoryRegion* region)
    : _tree(OmDimensionNode(other.Root().Value(), region), region),
      _numCategories(other._numCategories),
      _displayLastCategory(other._displayLastCategory) {
  // Pre-order walk of other's tree, keeping `to` on the copy of `from`. Each
  // node is appended under the copy of its parent before its own children.
  ConstNode from = other.Root();
  Node to = Root();
  auto appendCopy = [&](const Node& parent) {
    return _tree.AppendChild(parent, OmDimensionNode(from.Value(), region));
  };
  if (from.IsLeaf()) return;
  from = from.FirstChild();
  to = appendCopy(to);
  for (;;) {
    if (!from.IsLeaf()) {
      from = from.FirstChild();
      to = appendCopy(to);
      continue;
    }
    for (;;) {
      const ConstNode parent = from.Parent();
      if (from != parent.LastChild()) {
        ++from;
        to = appendCopy(to.Parent());
        break;
      }
      if (parent.IsRoot()) return;
      from = parent;
      to = to.Parent();
    }
  }
}

OmDimension::~OmDimension() = default;

OmCellText& OmDimension::Name() {
  return *Root()->Text();
}

const OmCellText& OmDimension::Name() const {
  return *Root()->Text();
}

unsigned int OmDimension::getMaximumDepth() const {
  return getDepth(Root()) + 1;
}

unsigned int OmDimension::getDepth(ConstNode node) const {
  unsigned int deepest = node.Level();
  Tree::WalkBelow(
      node, [](ConstNode) { return true; },
      [&deepest](ConstNode below) { deepest = std::max(deepest, below.Level()); });
  return deepest;
}

const int* OmDimension::LowerBound(ConstNode parent, const OmDimensionNode& probe) {
  const OmVector<int>& index = parent->ChildIndex();
  return std::lower_bound(index.begin(), index.end(), probe,
                          [&parent](int offset, const OmDimensionNode& sought) {
                            return parent.Child(offset).Value() < sought;
                          });
}

bool OmDimension::Matches(ConstNode parent, const int* position, const OmDimensionNode& probe) {
  return position != parent->ChildIndex().end() && !(probe < parent.Child(*position).Value());
}

int OmDimension::FindChild(ConstNode parent, const OmCellText& text, bool group) {
  const OmDimensionNode probe(text, 0, group, nullptr);
  const int* position = LowerBound(parent, probe);
  return Matches(parent, position, probe) ? *position : -1;
}

// The nodes that Child and AddNewChild add are built in the dimension's
// region and moved into the tree, so each call clones its text once.

OmDimension::Node OmDimension::AddNewChild(const Node& parent, const OmCellText& text,
                                           std::size_t subscript, bool group) {
  OmDimensionNode node(text, subscript, group, &Region());
  if (!node.IsGroup()) ++_numCategories;
  ShareTracker(parent.Value(), node);
  OmVector<int>& index = parent->ChildIndex();
  index.push_back(static_cast<int>(index.size()));
  return _tree.AppendChild(parent, std::move(node));
}

OmDimension::Node OmDimension::Child(const Node& parent, const OmDimensionNode& node) {
  OM_ASSERT(parent->IsGroup(), "parent->IsGroup()", "backend/omtree/Dimension", __LINE__);
  OmDimensionNode candidate(node, &Region());
  candidate.ChildIndex() = OmVector<int>(&Region());
  return FindOrAdd(parent, candidate);
}

OmDimension::Node OmDimension::Child(const Node& parent, const OmCellText& text,
                                     std::size_t subscript, bool group) {
  OM_ASSERT(parent->IsGroup(), "parent->IsGroup()", "backend/omtree/Dimension", __LINE__);
  OmDimensionNode candidate(text, subscript, group, &Region());
  return FindOrAdd(parent, candidate);
}

OmDimension::Node OmDimension::FindOrAdd(const Node& parent, OmDimensionNode& candidate) {
  ShareTracker(parent.Value(), candidate);
  const int* position = LowerBound(parent, candidate);
  if (Matches(parent, position, candidate)) return parent.Child(*position);
  OmVector<int>& index = parent->ChildIndex();
  index.insert(position, static_cast<int>(index.size()));
  if (!candidate.IsGroup()) ++_numCategories;
  return _tree.AppendChild(parent, std::move(candidate));
}

void OmDimension::Delete(Node& node) {
  Node parent = node.Parent();
  const int offset = node.Offset();
  _tree.RemoveNode(node);
  OmVector<int>& index = parent->ChildIndex();
  for (int* entry = index.begin(); entry != index.end();) {
    if (*entry == offset) {
      index.erase(entry);
      continue;
    }
    if (*entry > offset) --*entry;
    ++entry;
  }
  _numCategories = CountCategories();
}

int OmDimension::CountCategories() const {
  std::uint32_t largest = 0;
  Tree::WalkBelow(
      Root(), [](ConstNode node) { return node->IsGroup(); },
      [&largest](ConstNode node) {
        if (!node->IsGroup()) {
          largest = std::max(largest, static_cast<std::uint32_t>(node->Subscript()));
        }
      });
  return static_cast<int>(largest + 1u);
}

OmDimension::Node OmDimension::Counterpart(Node& node) {
  return node.Counterpart(_tree);
}

void OmDimension::moveChild(Node& node, Node* target, bool swap) {
  if (target != nullptr) {
    if (swap) {
      _tree.SwapNodes(node, *target);
    } else {
      _tree.MoveBefore(node, *target);
    }
    return;
  }
  Node ancestor = node.Parent();
  while (ancestor->Hide() && !ancestor.IsRoot())
    ancestor = ancestor.Parent();
  _tree.MoveToEnd(node, ancestor);
}

void OmDimension::insertChild(const OmCellText& text, std::vector<Node*> nodes) {
  OmDimensionNode group(text, OmDimensionNode::kNoSubscript, true, nullptr);
  if (!nodes.empty()) ShareTracker(nodes.front()->Value(), group);
  _tree.GroupNodes(group, nodes);
}

void OmDimension::removeChild(Node& node) {
  node->Subscript(OmDimensionNode::kDissolving);
  _tree.UngroupNode(node);
}
