// OmDimension is one dimension of a pivot table: a named tree of categories.
// The root node carries the dimension's name; leaf nodes are the categories,
// each with the subscript that locates it along the dimension's axis of the
// cell store; group nodes gather categories or further groups under a label.
//
// Ownership: the pivot table creates, copies and owns its dimensions (their
// constructors are private to it). A dimension owns its category tree; every
// node added through Child or AddNewChild clones its text and allocates its
// child index in the dimension's region, the table's region.
//
// Sorted child index: each node's child index lists the storage offsets of
// its children in the order of OmDimensionNode::operator< (groups first,
// then leaves, each by text). Child keeps it sorted and finds children in a
// logarithmic number of comparisons; AddNewChild appends in arrival order;
// IndexChildren rebuilds one node's index in order; Delete adjusts it. moveChild, insertChild and
// removeChild leave every index as it was (a group that insertChild makes starts with an empty
// one), although offsets under the parents they touch change; a search of an index that is no
// longer sorted and current can miss a child that is there, and Child then adds a second,
// equivalent one.
//
// Category count: NumCategories() counts the leaves that Child and
// AddNewChild added; Delete resets it to one more than the largest subscript
// that remains. Subscripts are never renumbered.
//
// A Child or AddNewChild that fails to allocate throws std::bad_alloc and
// leaves tree, child index and category count as they were.
//
// Handles passed in designate nodes of this dimension's tree (Counterpart
// excepted) and follow the validity rules of OmVectorTree: an edit that
// changes a children block invalidates handles into it.
//
// Every walk over the tree is iterative, so category trees of any depth are
// safe. A dimension is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_DIMENSION_H_
#define OMTREE_BACKEND_OMTREE_DIMENSION_H_

#include <cstddef>
#include <vector>

#include "backend/omtree/DimensionNode.h"
#include "backend/omtree/Export.h"
#include "backend/tables/om/VectorTree.h"

class OmPivotTable;
class OmDimensionTest;

class OMTREE_EXPORT OmDimension {
 public:
  using Tree = OmVectorTree<OmDimensionNode>;
  using Node = Tree::Node;
  using ConstNode = Tree::ConstNode;

  ~OmDimension();

  // Copies are made by the table, into its own region.
  OmDimension(const OmDimension&) = delete;
  OmDimension& operator=(const OmDimension&) = delete;

  // The dimension's name, the root node's text.
  OmCellText& Name();
  const OmCellText& Name() const;

  Node Root() { return _tree.Root(); }
  ConstNode Root() const { return _tree.Root(); }

  OmMemoryRegion& Region() const { return *_tree.Region(); }

  int NumCategories() const { return _numCategories; }

  // A display option kept for callers; nothing in the library reads it.
  bool DisplayLastCategory() const { return _displayLastCategory; }
  void DisplayLastCategory(bool display) { _displayLastCategory = display; }

  // One more than the deepest level of the tree: 1 for a dimension without
  // categories, 2 when all categories hang directly under the root. Every
  // node counts, hidden ones included.
  unsigned int getMaximumDepth() const;

  // The storage offset of parent's child that is a group (group true) or a
  // leaf labelled with a text equal to text, or -1. Searches parent's
  // sorted child index.
  static int FindChild(ConstNode parent, const OmCellText& text, bool group);

  // Adds a child made from text, subscript and group under parent, at the
  // end of parent's children and of its child index. Leaves are counted.
  Node AddNewChild(const Node& parent, const OmCellText& text, std::size_t subscript, bool group);

  // Rebuilds parent's child index from its children: each child's offset
  // once, in the order of operator<, equivalent children in storage order.
  // Takes O(k log k) comparisons for k children. Building in bulk, adding
  // each of many children with AddNewChild and then indexing every parent
  // once, takes O(n log n) where n calls of Child would take O(n^2).
  // REQUIRES: every child of parent has a text.
  void IndexChildren(const Node& parent);

  // Returns parent's child equivalent to node (same group flag, equal text;
  // its own subscript and flags kept), or adds a copy of node and enters it
  // into parent's child index in order. Adding a leaf counts a category.
  // REQUIRES: parent is a group (checked).
  Node Child(const Node& parent, const OmDimensionNode& node);
  Node Child(const Node& parent, const OmCellText& text, std::size_t subscript, bool group);

  // Removes node with its branch, fixes its parent's child index and
  // recounts the categories from the largest remaining subscript.
  // REQUIRES: !node.IsRoot().
  void Delete(Node& node);

  // The node at the same path of child offsets in this dimension as node
  // has in its own tree (for instance the dimension this one was copied
  // from).
  Node Counterpart(Node& node);

  // With a target: exchanges node and *target when swap is true, else moves
  // node's branch to directly before *target. Without one: moves node's
  // branch to the end of the children of its nearest ancestor that is not
  // hidden (the root at the latest).
  void moveChild(Node& node, Node* target, bool swap);

  // Puts a new group labelled text over nodes, siblings listed in storage
  // order; the group takes the place of the first. Nothing for an empty list.
  void insertChild(const OmCellText& text, std::vector<Node*> nodes);

  // Dissolves node: its children take its place. node's subscript becomes
  // OmDimensionNode::kDissolving first, so that it can be found again by
  // value; a root or a leaf keeps that marker and nothing else changes.
  void removeChild(Node& node);

 private:
  friend class OmPivotTable;
  // Test hook: lets the unit tests make dimensions without a table.
  friend class OmDimensionTest;

  // A dimension whose root is a copy of root (in root's own region) and
  // whose tree lives in region.
  OmDimension(const OmDimensionNode& root, OmMemoryRegion* region);

  // A copy of other in region: same shape, storage order, subscripts, child
  // indexes and category count; the display option is copied too.
  OmDimension(const OmDimension& other, OmMemoryRegion* region);

  // The largest level among node and every node below it.
  unsigned int getDepth(ConstNode node) const;

  // Finds parent's child equivalent to candidate, or enters candidate into
  // parent's child index and moves it into the tree.
  Node FindOrAdd(const Node& parent, OmDimensionNode& candidate);

  // Whether offset names one of parent's children.
  static bool Names(ConstNode parent, int offset);

  // The position in parent's child index of the first entry whose child does
  // not order before probe.
  static const int* LowerBound(ConstNode parent, const OmDimensionNode& probe);
  // Whether position (from LowerBound) names a child equivalent to probe.
  static bool Matches(ConstNode parent, const int* position, const OmDimensionNode& probe);

  // One more than the largest low 32 bits of a leaf subscript below the
  // root, looking inside groups only; 1 when there is no leaf.
  int CountCategories() const;

  Tree _tree;
  int _numCategories;
  bool _displayLastCategory;
};

#endif  // OMTREE_BACKEND_OMTREE_DIMENSION_H_
