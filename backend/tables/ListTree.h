// ListTree<T> is an ordered tree kept in one flat std::list. Every node of the
// tree is one list entry, a ListTreeData<T> holding the node's item and its
// level (depth). Entries stand in pre-order (document order): an entry is
// followed directly by its whole subtree, then by its next sibling. Parent and
// child links are stored nowhere; they follow from the levels alone:
//
//   (1) The subtree of an entry is the maximal run of entries directly after
//       it whose levels are greater than its own. Its children are the
//       entries of that run whose level is exactly one greater.
//   (2) An entry's level is at most one greater than the level of the entry
//       before it.
//   (3) The first entry is the root, at level 0. A tree made from one item
//       holds that item at level 0; a default-constructed tree is empty.
//
// The operations below keep these invariants when their REQUIRES lines hold.
// Nothing checks them: callers that edit entries through List() keep them
// themselves. Erasing the root, or moving a level-0 run to the end of a tree,
// leaves several entries at level 0; the operations treat them as top-level
// siblings.
//
// Ownership. The tree owns its entries and never what its items point to. No
// operation (construction, copy, assignment, Prune, Flatten, Erase, Move,
// destruction) creates or deletes an item; items travel with their entries as
// plain values. An owner of the items, such as the outline of an output
// document, adds deletion on top.
//
// Nodes. A Node (a ConstNode over a const tree) is a plain value naming a
// tree, the list position of one entry and that entry's level as it was when
// the node was made. The tree does not track its nodes:
//
//   - A node stays usable as long as its entry stays in the tree's list.
//     Inserting or removing other entries does not disturb it.
//   - A node whose entry was removed (Prune, Erase, Move out of its tree,
//     assignment to its tree, edits through List()) is stale and must not be
//     used.
//   - The cached level is never refreshed. Flatten and Erase lower the levels
//     of entries that other nodes may name; take fresh nodes for those.
//   - A node made at the list's end has level 0.
//   - A node's constness covers the node, not its tree: Item() and
//     AppendChild() edit the tree through a const Node, as a const iterator
//     of a container still writes through.
//
// Move. Moved entries keep their levels: nothing is rebased. The entries are
// spliced from one list into the other, so list iterators to them (from
// List()) stay valid and afterwards belong to the receiving tree's list. A
// Node made over the source tree still names the source and is stale.
//
// Copying. ListTree is intentionally copyable: a copy holds the same items, as
// values, at the same levels in the same order. Nodes are copyable values.
//
// A tree and its nodes are used from one thread at a time; nothing is locked.

#ifndef OMTREE_BACKEND_TABLES_LISTTREE_H_
#define OMTREE_BACKEND_TABLES_LISTTREE_H_

#include <algorithm>
#include <cstdint>
#include <functional>
#include <iterator>
#include <list>

#include "backend/tables/Assertion.h"

// One entry of a ListTree: a node's item and its level.
template <typename T>
struct ListTreeData {
  ListTreeData(int32_t entry_level, const T& entry_item);

  // Equal when both the levels and the items are equal (for pointer items:
  // the same pointer).
  bool operator==(const ListTreeData& other) const;

  // The smaller level orders first; with equal levels, the smaller item (for
  // pointer items: the lower address).
  bool operator<(const ListTreeData& other) const;

  T item;
  int32_t level;
};

template <typename T>
class ListTree {
 public:
  using Entry = ListTreeData<T>;
  using EntryList = std::list<Entry>;
  using Position = typename EntryList::iterator;
  using ConstPosition = typename EntryList::const_iterator;

  class Node;
  class ConstNode;

  // An empty tree: no entries and no root.
  ListTree();

  // A tree of one entry: item at level 0. Both forms behave alike.
  explicit ListTree(T& item);
  explicit ListTree(const T& item);

  ListTree(const ListTree& other);

  // Unless other is this tree: removes every entry, then copies other's
  // entries in order. Nodes of this tree are stale afterwards.
  ListTree& operator=(const ListTree& other);

  ~ListTree();

  // The node of the first entry. For an empty tree, a node at the list's end
  // with level 0.
  Node Root();
  ConstNode Root() const;

  // The number of entries, that is of nodes in the whole tree.
  int Size() const;

  // The entries themselves, for callers that read or edit them directly.
  EntryList& List();
  const EntryList& List() const;

  // Removes n's entry and its whole subtree. The subtree ends at the first
  // later entry whose level is not greater than n's cached level. Pruning the
  // root empties the tree; pruning a node at the list's end does nothing.
  // REQUIRES: n names an entry of this tree, or its list's end.
  void Prune(const Node& n);

  // Moves every descendant of n one level up (its level decreases by one),
  // so that n becomes a leaf and its former children follow it as siblings;
  // the structure below them keeps its shape. The descendants are found by
  // the level stored in n's entry, not by n's cached level. Does nothing for
  // a node at the list's end.
  // REQUIRES: n names an entry of this tree, or its list's end.
  void Flatten(Node& n);

  // Flatten(n), then removes n's entry alone; n is stale afterwards.
  // REQUIRES: n names an entry of this tree, or its list's end.
  void Erase(Node& n);

  // Moves the entries from begin up to, but not including, end out of their
  // tree and in front of target in this tree, with their levels unchanged.
  // When the run is made of whole sibling subtrees it becomes the run of
  // siblings directly before target. List iterators to the moved entries stay
  // valid and now belong to this tree's list; nodes of the source that name
  // them are stale.
  // REQUIRES: target names an entry of this tree, or its list's end.
  // REQUIRES: begin and end name positions of one other tree, end at or
  //           after begin.
  // Checked in this order, each failure reported through OmAssertion (which
  // does not return normally): target's tree is this tree; begin and end
  // name the same tree; that tree is not target's tree; begin.Level() ==
  // target.Level() (cached levels).
  void Move(const Node& target, const Node& begin, const Node& end);

  // Equal when both hold the same entries (levels and items) in the same
  // order.
  bool operator==(const ListTree& other) const;
  bool operator!=(const ListTree& other) const;

  // Lexicographic order of the entry sequences under the entry order: the
  // first unequal pair decides, and a proper prefix orders first.
  bool operator<(const ListTree& other) const;

 private:
  // The first entry after p whose level is not greater than level, or the
  // list's end. Returns p when p is the list's end. With the level of p's own
  // entry, this is the position just past p's subtree.
  Position SearchForward(Position p, int32_t level);
  ConstPosition SearchForward(ConstPosition p, int32_t level) const;

  // The nearest entry before p whose level is not greater than level.
  // REQUIRES: such an entry precedes p. (If none does, the search stops at
  // the first entry and returns the list's end; it never steps before the
  // first entry.)
  Position SearchBackward(Position p, int32_t level);
  ConstPosition SearchBackward(ConstPosition p, int32_t level) const;

  EntryList _list;
};

// A position in a ListTree: the tree, the entry's cached level and the
// entry's list position. The children of n are walked with
//
//   for (Node child = n.FirstChild(); child != n.ChildrenEnd(); child.NextSibling()) ...
//
// After the last child, NextSibling() lands on ChildrenEnd(); for a leaf,
// FirstChild() already equals ChildrenEnd() and the walk is empty.
template <typename T>
class ListTree<T>::Node {
 public:
  // Caches the level of the entry at position, or 0 when position is the
  // list's end.
  // REQUIRES: position is a position of tree's list.
  Node(ListTree* tree, Position position);

  // The cached level.
  int32_t Level() const;

  // The tree whose list holds the entry, and the entry's place in that
  // list (for callers that walk or edit the list directly).
  ListTree* Tree() const { return _tree; }
  Position ListPosition() const { return _position; }

  // The item of this node's entry, writable.
  // REQUIRES: not at the list's end.
  T& Item() const;

  // True when the next entry is the list's end or has a level not greater
  // than the cached level.
  // REQUIRES: not at the list's end.
  bool IsLeaf() const;

  // The node of the entry directly after this one. It is a child only when
  // IsLeaf() is false.
  // REQUIRES: not at the list's end.
  Node FirstChild() const;

  // The node just past this node's subtree, with cached level Level() + 1:
  // the end mark of a walk over this node's children.
  Node ChildrenEnd() const;

  // Advances this node in place to the position just past its subtree: its
  // next sibling, a later entry of lower level, or the list's end. The
  // cached level stays as it was. Returns this node.
  Node& NextSibling();

  // The node of the nearest preceding entry whose level is lower than the
  // cached level: the parent.
  // REQUIRES: not the root (Level() > 0).
  Node Parent() const;

  // Inserts item as this node's last child, after the node's last
  // descendant, at level Level() + 1. Returns the new child's node.
  // REQUIRES: not at the list's end.
  Node AppendChild(const T& item) const;

  // Nodes are equal when they name the same list position; the tree and the
  // cached level take no part.
  bool operator==(const Node& other) const;
  bool operator!=(const Node& other) const;

 private:
  friend class ListTree;

  ListTree* _tree;
  int32_t _level;
  Position _position;
};

// The read-only twin of Node, over a const tree. Each operation behaves as
// Node's operation of the same name.
template <typename T>
class ListTree<T>::ConstNode {
 public:
  // REQUIRES: position is a position of tree's list.
  ConstNode(const ListTree* tree, ConstPosition position);

  int32_t Level() const;

  // REQUIRES: not at the list's end.
  const T& Item() const;

  bool IsLeaf() const;
  ConstNode FirstChild() const;
  ConstNode ChildrenEnd() const;
  ConstNode& NextSibling();

  // REQUIRES: not the root (Level() > 0).
  ConstNode Parent() const;

  bool operator==(const ConstNode& other) const;
  bool operator!=(const ConstNode& other) const;

 private:
  const ListTree* _tree;
  int32_t _level;
  ConstPosition _position;
};

// Implementation details.

template <typename T>
ListTreeData<T>::ListTreeData(int32_t entry_level, const T& entry_item)
    : item(entry_item), level(entry_level) {}

template <typename T>
bool ListTreeData<T>::operator==(const ListTreeData& other) const {
  return level == other.level && item == other.item;
}

template <typename T>
bool ListTreeData<T>::operator<(const ListTreeData& other) const {
  // std::less gives pointers a total (address) order.
  if (level != other.level) return level < other.level;
  return std::less<T>()(item, other.item);
}

template <typename T>
ListTree<T>::ListTree() = default;

template <typename T>
ListTree<T>::ListTree(T& item) : ListTree(static_cast<const T&>(item)) {}

template <typename T>
ListTree<T>::ListTree(const T& item) {
  _list.emplace_back(0, item);
}

template <typename T>
ListTree<T>::ListTree(const ListTree& other) = default;

template <typename T>
ListTree<T>& ListTree<T>::operator=(const ListTree& other) {
  if (this != &other) {
    _list.clear();
    _list.insert(_list.end(), other._list.begin(), other._list.end());
  }
  return *this;
}

template <typename T>
ListTree<T>::~ListTree() = default;

template <typename T>
typename ListTree<T>::Node ListTree<T>::Root() {
  return Node(this, _list.begin());
}

template <typename T>
typename ListTree<T>::ConstNode ListTree<T>::Root() const {
  return ConstNode(this, _list.begin());
}

template <typename T>
int ListTree<T>::Size() const {
  return static_cast<int>(_list.size());
}

template <typename T>
typename ListTree<T>::EntryList& ListTree<T>::List() {
  return _list;
}

template <typename T>
const typename ListTree<T>::EntryList& ListTree<T>::List() const {
  return _list;
}

template <typename T>
void ListTree<T>::Prune(const Node& n) {
  _list.erase(n._position, SearchForward(n._position, n._level));
}

template <typename T>
void ListTree<T>::Flatten(Node& n) {
  if (n._position == _list.end()) return;
  const int32_t level = n._position->level;
  for (Position p = std::next(n._position); p != _list.end() && p->level > level; ++p) {
    --p->level;
  }
}

template <typename T>
void ListTree<T>::Erase(Node& n) {
  Flatten(n);
  if (n._position != _list.end()) _list.erase(n._position);
}

template <typename T>
void ListTree<T>::Move(const Node& target, const Node& begin, const Node& end) {
  OM_ASSERT(target._tree == this, "target._tree == this", "backend/tables/ListTree", 503);
  OM_ASSERT(begin._tree == end._tree, "begin._tree == end._tree", "backend/tables/ListTree", 504);
  OM_ASSERT(target._tree != begin._tree, "target._tree != begin._tree", "backend/tables/ListTree",
            505);
  OM_ASSERT(begin.Level() == target.Level(), "begin.Level() == target.Level()",
            "backend/tables/ListTree", 506);
  // Splicing has the effect of inserting copies and removing the originals,
  // without copying items and with the entries' iterators kept valid.
  _list.splice(target._position, begin._tree->_list, begin._position, end._position);
}

template <typename T>
bool ListTree<T>::operator==(const ListTree& other) const {
  return _list == other._list;
}

template <typename T>
bool ListTree<T>::operator!=(const ListTree& other) const {
  return !(*this == other);
}

template <typename T>
bool ListTree<T>::operator<(const ListTree& other) const {
  return std::lexicographical_compare(_list.begin(), _list.end(), other._list.begin(),
                                      other._list.end());
}

template <typename T>
typename ListTree<T>::Position ListTree<T>::SearchForward(Position p, int32_t level) {
  if (p == _list.end()) return p;
  do {
    ++p;
  } while (p != _list.end() && p->level > level);
  return p;
}

template <typename T>
typename ListTree<T>::ConstPosition ListTree<T>::SearchForward(ConstPosition p,
                                                               int32_t level) const {
  if (p == _list.end()) return p;
  do {
    ++p;
  } while (p != _list.end() && p->level > level);
  return p;
}

template <typename T>
typename ListTree<T>::Position ListTree<T>::SearchBackward(Position p, int32_t level) {
  while (p != _list.begin()) {
    --p;
    if (p->level <= level) return p;
  }
  return _list.end();
}

template <typename T>
typename ListTree<T>::ConstPosition ListTree<T>::SearchBackward(ConstPosition p,
                                                                int32_t level) const {
  while (p != _list.begin()) {
    --p;
    if (p->level <= level) return p;
  }
  return _list.end();
}

template <typename T>
ListTree<T>::Node::Node(ListTree* tree, Position position)
    : _tree(tree),
      _level(position == tree->_list.end() ? 0 : position->level),
      _position(position) {}

template <typename T>
int32_t ListTree<T>::Node::Level() const {
  return _level;
}

template <typename T>
T& ListTree<T>::Node::Item() const {
  return _position->item;
}

template <typename T>
bool ListTree<T>::Node::IsLeaf() const {
  const Position next = std::next(_position);
  return next == _tree->_list.end() || next->level <= _level;
}

template <typename T>
typename ListTree<T>::Node ListTree<T>::Node::FirstChild() const {
  return Node(_tree, std::next(_position));
}

template <typename T>
typename ListTree<T>::Node ListTree<T>::Node::ChildrenEnd() const {
  Node end(_tree, _tree->SearchForward(_position, _level));
  end._level = _level + 1;
  return end;
}

template <typename T>
typename ListTree<T>::Node& ListTree<T>::Node::NextSibling() {
  _position = _tree->SearchForward(_position, _level);
  return *this;
}

template <typename T>
typename ListTree<T>::Node ListTree<T>::Node::Parent() const {
  return Node(_tree, _tree->SearchBackward(_position, _level - 1));
}

template <typename T>
typename ListTree<T>::Node ListTree<T>::Node::AppendChild(const T& item) const {
  const Position end = _tree->SearchForward(_position, _level);
  return Node(_tree, _tree->_list.emplace(end, _level + 1, item));
}

template <typename T>
bool ListTree<T>::Node::operator==(const Node& other) const {
  return _position == other._position;
}

template <typename T>
bool ListTree<T>::Node::operator!=(const Node& other) const {
  return !(*this == other);
}

template <typename T>
ListTree<T>::ConstNode::ConstNode(const ListTree* tree, ConstPosition position)
    : _tree(tree),
      _level(position == tree->_list.end() ? 0 : position->level),
      _position(position) {}

template <typename T>
int32_t ListTree<T>::ConstNode::Level() const {
  return _level;
}

template <typename T>
const T& ListTree<T>::ConstNode::Item() const {
  return _position->item;
}

template <typename T>
bool ListTree<T>::ConstNode::IsLeaf() const {
  const ConstPosition next = std::next(_position);
  return next == _tree->_list.end() || next->level <= _level;
}

template <typename T>
typename ListTree<T>::ConstNode ListTree<T>::ConstNode::FirstChild() const {
  return ConstNode(_tree, std::next(_position));
}

template <typename T>
typename ListTree<T>::ConstNode ListTree<T>::ConstNode::ChildrenEnd() const {
  ConstNode end(_tree, _tree->SearchForward(_position, _level));
  end._level = _level + 1;
  return end;
}

template <typename T>
typename ListTree<T>::ConstNode& ListTree<T>::ConstNode::NextSibling() {
  _position = _tree->SearchForward(_position, _level);
  return *this;
}

template <typename T>
typename ListTree<T>::ConstNode ListTree<T>::ConstNode::Parent() const {
  return ConstNode(_tree, _tree->SearchBackward(_position, _level - 1));
}

template <typename T>
bool ListTree<T>::ConstNode::operator==(const ConstNode& other) const {
  return _position == other._position;
}

template <typename T>
bool ListTree<T>::ConstNode::operator!=(const ConstNode& other) const {
  return !(*this == other);
}

#endif  // OMTREE_BACKEND_TABLES_LISTTREE_H_
