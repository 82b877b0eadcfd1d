#include "backend/omtree/Dimension.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <numeric>
#include <utility>
#include <vector>

#include "backend/tables/Assertion.h"

namespace {

using ConstNode = OmDimension::ConstNode;

// The tracker of from's text, given to to's text when both have one.
void ShareTracker(const OmDimensionNode& from, OmDimensionNode& to) {
  if (from.Text() != nullptr && to.Text() != nullptr) {
    to.Text()->setTracker(from.Text()->getTracker());
  }
}

// Grows vector as an append would, so that the next append or insertion
// cannot fail.
template <typename T>
void MakeRoomForOne(OmVector<T>& vector) {
  if (vector.size() == vector.capacity()) {
    vector.reserve(OmVector<T>::GrownCapacity(vector.size()));
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

// An index that an edit left behind may name offsets past the children that
// remain; such an entry orders before every probe and never matches, so the
// search can miss a child but never reads past the children.
bool OmDimension::Names(ConstNode parent, int offset) {
  return offset >= 0 && offset < parent.NumChildren();
}

const int* OmDimension::LowerBound(ConstNode parent, const OmDimensionNode& probe) {
  const OmVector<int>& index = parent->ChildIndex();
  return std::lower_bound(index.begin(), index.end(), probe,
                          [&parent](int offset, const OmDimensionNode& sought) {
                            return !Names(parent, offset) || parent.Child(offset).Value() < sought;
                          });
}

bool OmDimension::Matches(ConstNode parent, const int* position, const OmDimensionNode& probe) {
  return position != parent->ChildIndex().end() && Names(parent, *position) &&
         !(probe < parent.Child(*position).Value());
}

int OmDimension::FindChild(ConstNode parent, const OmCellText& text, bool group) {
  const OmDimensionNode probe(text, 0, group, nullptr);
  const int* position = LowerBound(parent, probe);
  return Matches(parent, position, probe) ? *position : -1;
}

// The nodes that Child and AddNewChild add are built in the dimension's
// region and moved into the tree, so each call clones its text once. The
// parent's child index makes room for the new entry before the node goes
// into the tree, so that a failed allocation leaves index, tree and
// category count as they were.

OmDimension::Node OmDimension::AddNewChild(const Node& parent, const OmCellText& text,
                                           std::size_t subscript, bool group) {
  OmDimensionNode node(text, subscript, group, &Region());
  ShareTracker(parent.Value(), node);
  OmVector<int>& index = parent->ChildIndex();
  MakeRoomForOne(index);
  const Node child = _tree.AppendChild(parent, std::move(node));
  index.push_back(static_cast<int>(index.size()));
  if (!group) ++_numCategories;
  return child;
}

void OmDimension::IndexChildren(const Node& parent) {
  const int count = parent.NumChildren();
  std::vector<int> order(static_cast<std::size_t>(count));
  std::iota(order.begin(), order.end(), 0);
  std::stable_sort(order.begin(), order.end(), [&parent](int left, int right) {
    return parent.Child(left).Value() < parent.Child(right).Value();
  });
  // The new index is complete before it replaces the old one, so a failed
  // allocation leaves the old index in place.
  OmVector<int> index(parent->Region(), order.size());
  for (int offset : order)
    index.push_back(offset);
  parent->ChildIndex().swap(index);
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
  const std::ptrdiff_t at = position - index.begin();
  MakeRoomForOne(index);
  const bool leaf = !candidate.IsGroup();
  const Node child = _tree.AppendChild(parent, std::move(candidate));
  index.insert(index.begin() + at, static_cast<int>(index.size()));
  if (leaf) ++_numCategories;
  return child;
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
