// OmVectorTree<T> is the ordered tree in which a dimension keeps its
// categories (T = OmDimensionNode) and a composite text keeps its parts
// (T = OmCellText*).
//
// Storage. The tree holds its root entry. Every entry (Entry) holds its value,
// its children by value in an OmVector from the tree's region, and a link to
// the entry whose children hold it (null for the root). A node's children are
// contiguous, in their order.
//
// Invariants, restored by every operation below before it returns:
//   (1) Every entry's parent link designates the entry whose children hold it.
//   (2) A node's children are in storage order; AppendChild adds at the end,
//       the other edits place entries as each states.
//
// Handles. Node and ConstNode name an entry by its address, with a level (0
// for Root(), one more per step to a child). They are small values, passed
// by value, and double as iterators over siblings (++ and --). Two handles
// are equal when they name the same entry; levels are not compared. A handle
// stays valid until the children vector that directly holds its entry
// changes: an append that reallocates it, an insertion or removal at or
// before the entry. Entries below a moved entry do not move; only their
// parent links are restored. A branch that an edit moves or removes is
// destroyed, so handles into it become invalid. The tree never updates
// handles: after an edit take new ones from Root() or from what AppendChild
// returns.
//
// Structural edits (MoveBefore, MoveToEnd, SwapNodes, GroupNodes,
// UngroupNode) deep-copy the branches they move, remove the originals,
// insert the copies where they belong, finding insertion points again by
// value (T::operator==), and then restore the parent links below every
// parent they touched.
//
// Depth. Destroying, deep-copying and relinking walk the tree iteratively,
// so a branch of any depth (a chain of a million entries, say) costs no
// stack. Counterpart keeps one offset per level on the heap.
//
// Requirements on T: a copy constructor, a destructor, operator== (to find
// positions again), and validity when its bytes move (OmVector relocates
// entries bitwise).
//
// A tree is not copyable (its entries link to its own root); copy a tree
// by building another. A tree is used from one thread at a time.

#ifndef OMTREE_BACKEND_TABLES_OM_VECTORTREE_H_
#define OMTREE_BACKEND_TABLES_OM_VECTORTREE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "backend/omtree/cell/Vector.h"
#include "backend/tables/Assertion.h"

template <typename T>
class OmVectorTree {
 public:
  // One stored node.
  struct Entry {
    // A childless entry holding a copy of value (value itself when it is
    // an rvalue), whose children will come from region.
    Entry(const T& value, OmMemoryRegion* region, Entry* parent);
    Entry(T&& value, OmMemoryRegion* region, Entry* parent);

    // A deep copy of source's branch: a copy of its value and, in order,
    // deep copies of its children, every children vector in region. The
    // copy's children link to it; its own link is parent.
    Entry(const Entry& source, Entry* parent, OmMemoryRegion* region);

    // Destroys the branch below this entry, deepest entries first and
    // without recursion, then the entry's own value.
    ~Entry();

    Entry(const Entry&) = delete;
    Entry& operator=(const Entry&) = delete;

    T value;
    OmVector<Entry> children;
    Entry* parent;
  };

  class ConstNode;

  class Node {
   public:
    Node(Entry* entry, std::uint32_t level) : _entry(entry), _level(level) {}

    T& Value() const { return _entry->value; }
    T& operator*() const { return _entry->value; }
    T* operator->() const { return &_entry->value; }

    std::uint32_t Level() const { return _level; }
    bool IsRoot() const { return _level == 0; }

    // REQUIRES: !IsRoot().
    Node Parent() const { return Node(_entry->parent, _level - 1); }

    int NumChildren() const { return static_cast<int>(_entry->children.size()); }
    bool IsLeaf() const { return _entry->children.empty(); }

    // The child at offset; the offset is not bounds-tested.
    Node Child(int offset) const { return Node(_entry->children.begin() + offset, _level + 1); }
    Node FirstChild() const { return Node(_entry->children.begin(), _level + 1); }
    // REQUIRES: !IsLeaf().
    Node LastChild() const { return Node(_entry->children.end() - 1, _level + 1); }
    // Past the last child: the end of a walk over the children.
    Node EndChild() const { return Node(_entry->children.end(), _level + 1); }

    // The next and the previous sibling; unchecked.
    Node& operator++() {
      ++_entry;
      return *this;
    }
    Node& operator--() {
      --_entry;
      return *this;
    }

    // This entry's offset among its parent's children.
    // REQUIRES: !IsRoot().
    int Offset() const { return static_cast<int>(_entry - _entry->parent->children.begin()); }

    // The handle at the same path of child offsets in tree, which has the
    // same shape along that path.
    Node Counterpart(OmVectorTree& tree) const;

    bool operator==(const Node& other) const { return _entry == other._entry; }
    bool operator!=(const Node& other) const { return _entry != other._entry; }

   private:
    friend class OmVectorTree;
    friend class ConstNode;

    Entry* _entry;
    std::uint32_t _level;
  };

  // The read-only twin of Node; a Node converts to it.
  class ConstNode {
   public:
    ConstNode(const Entry* entry, std::uint32_t level) : _entry(entry), _level(level) {}
    ConstNode(const Node& node) : _entry(node._entry), _level(node._level) {}  // NOLINT

    const T& Value() const { return _entry->value; }
    const T& operator*() const { return _entry->value; }
    const T* operator->() const { return &_entry->value; }

    std::uint32_t Level() const { return _level; }
    bool IsRoot() const { return _level == 0; }
    ConstNode Parent() const { return ConstNode(_entry->parent, _level - 1); }
    int NumChildren() const { return static_cast<int>(_entry->children.size()); }
    bool IsLeaf() const { return _entry->children.empty(); }
    ConstNode Child(int offset) const {
      return ConstNode(_entry->children.begin() + offset, _level + 1);
    }
    ConstNode FirstChild() const { return ConstNode(_entry->children.begin(), _level + 1); }
    ConstNode LastChild() const { return ConstNode(_entry->children.end() - 1, _level + 1); }
    ConstNode EndChild() const { return ConstNode(_entry->children.end(), _level + 1); }
    ConstNode& operator++() {
      ++_entry;
      return *this;
    }
    ConstNode& operator--() {
      --_entry;
      return *this;
    }
    int Offset() const { return static_cast<int>(_entry - _entry->parent->children.begin()); }
    ConstNode Counterpart(const OmVectorTree& tree) const;

    bool operator==(const ConstNode& other) const { return _entry == other._entry; }
    bool operator!=(const ConstNode& other) const { return _entry != other._entry; }

   private:
    const Entry* _entry;
    std::uint32_t _level;
  };

  // A tree of one entry holding a copy of rootValue; every children vector
  // of the tree comes from region (null: the default heap).
  OmVectorTree(const T& rootValue, OmMemoryRegion* region);

  OmVectorTree(const OmVectorTree&) = delete;
  OmVectorTree& operator=(const OmVectorTree&) = delete;

  Node Root() { return Node(&_root, 0); }
  ConstNode Root() const { return ConstNode(&_root, 0); }

  OmMemoryRegion* Region() const { return _root.children.region(); }

  // Calls visit(node) for every node below top in pre-order, descending into
  // a node's children only when descend(node) is true. Handle is Node or
  // ConstNode. Climbs by parent links, so no stack grows with the depth.
  // visit must not change the tree's shape.
  template <typename Handle, typename Descend, typename Visit>
  static void WalkBelow(Handle top, Descend descend, Visit visit);

  // Appends a copy of value as parent's last child and returns its handle.
  // The rvalue form moves value into the tree instead.
  Node AppendChild(const Node& parent, const T& value);
  Node AppendChild(const Node& parent, T&& value);

  // Removes node with its branch; the following siblings move down one slot.
  // REQUIRES: !node.IsRoot().
  void RemoveNode(Node& node);

  // Moves node's branch to directly before target, under target's parent:
  // in front of the first child there equal to target's value, or at the end
  // when none is (as when target is node itself).
  // REQUIRES: !node.IsRoot(); target is not in node's branch.
  void MoveBefore(Node& node, const Node& target);

  // Moves node's branch to the end of ancestor's children.
  // REQUIRES: ancestor is node's parent or above it.
  void MoveToEnd(Node& node, const Node& ancestor);

  // Exchanges the places of the branches of a and b, also under different
  // parents.
  // REQUIRES: neither is the root or in the other's branch.
  void SwapNodes(Node& a, Node& b);

  // Puts a new entry holding groupValue over nodes, which take their order
  // in nodes under it; the group stands where the first of them stood. An
  // empty list does nothing.
  // REQUIRES: nodes are children of one parent, listed in storage order.
  void GroupNodes(const T& groupValue, const std::vector<Node*>& nodes);

  // Replaces node by its children, in their order. Does nothing for the
  // root, for a leaf, or when no child of node's parent equals node's value.
  // REQUIRES: no earlier sibling of node equals its value.
  void UngroupNode(Node& node);

 private:
  // Child offsets from the root to an entry.
  using Path = std::vector<std::size_t>;

  static Path PathOf(const Entry* entry);
  Entry* Resolve(const Path& path);
  // Path of an entry after the entry at removed left its parent's children.
  static void AdjustForRemoval(Path& path, const Path& removed);
  // Path of an entry after an insertion at index into the children of the
  // entry at parent.
  static void AdjustForInsertion(Path& path, const Path& parent, std::size_t index);

  // Removes parent's child with its branch and relinks the moved siblings'
  // children.
  static void RemoveChild(Entry& parent, Entry* child);

  // Inserts newEntry's value and branch into parent's children: in front of
  // the first child whose value equals *before, or at the end when before is
  // null or no child is equal. newEntry is left without children. Returns
  // the offset of the inserted entry.
  static std::size_t InsertBefore(Entry& parent, Entry& newEntry, const T* before);

  // Links the children of entry to it and, when recursive, every entry
  // below it to its holder.
  static void FixParents(Entry& entry, bool recursive);

  // The child offsets that lead from the root to entry, at level; each
  // offset asserted to lie inside its children vector.
  static std::vector<int> OffsetsFromRoot(const Entry* entry, std::uint32_t level);

  static std::optional<T> FollowerValue(const Entry& parent, const Entry* child);
  static Entry* FindChild(Entry& parent, const T& value);
  // Whether value lies inside the block of children.
  static bool Within(const T* value, const OmVector<Entry>& children);

  template <typename Value>
  Node AppendValue(const Node& parent, Value&& value);

  Entry _root;
};

// Implementation details.

template <typename T>
OmVectorTree<T>::Entry::Entry(const T& entryValue, OmMemoryRegion* region, Entry* entryParent)
    : value(entryValue), children(region), parent(entryParent) {}

template <typename T>
OmVectorTree<T>::Entry::Entry(T&& entryValue, OmMemoryRegion* region, Entry* entryParent)
    : value(std::move(entryValue)), children(region), parent(entryParent) {}

template <typename T>
OmVectorTree<T>::Entry::Entry(const Entry& source, Entry* entryParent, OmMemoryRegion* region)
    : value(source.value), children(region), parent(entryParent) {
  children.reserve(source.children.size());
  // Pre-order walk of source's branch. Each copied entry's children are
  // reserved to their final count first, so no copied entry moves while the
  // walk still climbs back through it. The entries directly below source may
  // link to where source stood before a move, so the climb from them goes to
  // source by depth rather than by link.
  const Entry* from = &source;
  Entry* to = this;
  std::size_t depth = 0;
  for (;;) {
    const std::size_t next = to->children.size();
    if (next < from->children.size()) {
      const Entry& child = from->children[next];
      to = to->children.emplace_back(child.value, region, to);
      to->children.reserve(child.children.size());
      from = &child;
      ++depth;
    } else if (depth == 0) {
      break;
    } else {
      from = depth == 1 ? &source : from->parent;
      to = to->parent;
      --depth;
    }
  }
}

template <typename T>
OmVectorTree<T>::Entry::~Entry() {
  // Repeatedly descend to the last leaf and remove it; climb by link except
  // from the entries directly below this one, which may link to where this
  // entry stood before a move.
  Entry* entry = this;
  std::size_t depth = 0;
  for (;;) {
    if (!entry->children.empty()) {
      entry = entry->children.end() - 1;
      ++depth;
    } else if (depth == 0) {
      break;
    } else {
      Entry* holder = depth == 1 ? this : entry->parent;
      holder->children.erase(entry);
      entry = holder;
      --depth;
    }
  }
}

template <typename T>
std::vector<int> OmVectorTree<T>::OffsetsFromRoot(const Entry* entry, std::uint32_t level) {
  std::vector<int> offsets(level);
  for (; level > 0; --level) {
    const OmVector<Entry>& vec = entry->parent->children;
    const std::intptr_t offset =
        (reinterpret_cast<std::intptr_t>(entry) - reinterpret_cast<std::intptr_t>(vec.begin())) /
        static_cast<std::intptr_t>(sizeof(Entry));
    OM_ASSERT(0 <= offset && offset < static_cast<std::intptr_t>(vec.size()),
              "0 <= offset && offset < vec.size()", "backend/tables/om/VectorTree", __LINE__);
    offsets[level - 1] = static_cast<int>(offset);
    entry = entry->parent;
  }
  return offsets;
}

template <typename T>
typename OmVectorTree<T>::Node OmVectorTree<T>::Node::Counterpart(OmVectorTree& tree) const {
  Node counterpart = tree.Root();
  for (int offset : OffsetsFromRoot(_entry, _level))
    counterpart = counterpart.Child(offset);
  return counterpart;
}

template <typename T>
typename OmVectorTree<T>::ConstNode OmVectorTree<T>::ConstNode::Counterpart(
    const OmVectorTree& tree) const {
  ConstNode counterpart = tree.Root();
  for (int offset : OffsetsFromRoot(_entry, _level))
    counterpart = counterpart.Child(offset);
  return counterpart;
}

template <typename T>
template <typename Handle, typename Descend, typename Visit>
void OmVectorTree<T>::WalkBelow(Handle top, Descend descend, Visit visit) {
  if (top.IsLeaf()) return;
  Handle node = top.FirstChild();
  for (;;) {
    visit(node);
    if (!node.IsLeaf() && descend(node)) {
      node = node.FirstChild();
      continue;
    }
    for (;;) {
      const Handle parent = node.Parent();
      if (node != parent.LastChild()) {
        ++node;
        break;
      }
      if (parent == top) return;
      node = parent;
    }
  }
}

template <typename T>
OmVectorTree<T>::OmVectorTree(const T& rootValue, OmMemoryRegion* region)
    : _root(rootValue, region, nullptr) {}

template <typename T>
typename OmVectorTree<T>::Node OmVectorTree<T>::AppendChild(const Node& parent, const T& value) {
  return AppendValue(parent, value);
}

template <typename T>
typename OmVectorTree<T>::Node OmVectorTree<T>::AppendChild(const Node& parent, T&& value) {
  return AppendValue(parent, std::move(value));
}

template <typename T>
template <typename Value>
typename OmVectorTree<T>::Node OmVectorTree<T>::AppendValue(const Node& parent, Value&& value) {
  Entry& holder = *parent._entry;
  OmVector<Entry>& children = holder.children;
  if (children.size() == children.capacity() && Within(&value, children)) {
    // Growing releases the block that holds value.
    T copy(value);
    return AppendValue(parent, std::move(copy));
  }
  const Entry* oldBlock = children.begin();
  Entry* child = children.emplace_back(std::forward<Value>(value), Region(), &holder);
  if (children.begin() != oldBlock) {
    // Every child moved: their own children must follow.
    for (Entry& moved : children)
      FixParents(moved, false);
  }
  return Node(child, parent._level + 1);
}

template <typename T>
bool OmVectorTree<T>::Within(const T* value, const OmVector<Entry>& children) {
  const std::less<const void*> before;
  return !before(value, children.begin()) && before(value, children.end());
}

template <typename T>
void OmVectorTree<T>::RemoveNode(Node& node) {
  RemoveChild(*node._entry->parent, node._entry);
}

template <typename T>
void OmVectorTree<T>::RemoveChild(Entry& parent, Entry* child) {
  const std::size_t offset = static_cast<std::size_t>(child - parent.children.begin());
  parent.children.erase(child);
  for (std::size_t i = offset; i < parent.children.size(); ++i) {
    FixParents(parent.children[i], false);
  }
}

template <typename T>
void OmVectorTree<T>::MoveBefore(Node& node, const Node& target) {
  Entry copy(*node._entry, nullptr, Region());
  const T targetValue = target.Value();
  Path holder = PathOf(target._entry->parent);
  const Path moved = PathOf(node._entry);
  RemoveChild(*node._entry->parent, node._entry);
  AdjustForRemoval(holder, moved);
  Entry& parent = *Resolve(holder);
  InsertBefore(parent, copy, &targetValue);
  FixParents(parent, true);
}

template <typename T>
void OmVectorTree<T>::MoveToEnd(Node& node, const Node& ancestor) {
  Entry copy(*node._entry, ancestor._entry, Region());
  RemoveChild(*node._entry->parent, node._entry);
  InsertBefore(*ancestor._entry, copy, nullptr);
  FixParents(*ancestor._entry, true);
}

template <typename T>
void OmVectorTree<T>::SwapNodes(Node& a, Node& b) {
  Path holderA = PathOf(a._entry->parent);
  Path holderB = PathOf(b._entry->parent);
  Entry copyA(*a._entry, nullptr, Region());
  Entry copyB(*b._entry, nullptr, Region());
  const std::optional<T> followerA = FollowerValue(*a._entry->parent, a._entry);
  const bool sameParent = a._entry->parent == b._entry->parent;
  // When a directly follows b, b goes in front of a's follower. Copied, not
  // assigned: T's assignment may take over its source's contents, as
  // OmDimensionNode's takes over the text.
  const std::optional<T> followerB = sameParent && a._entry == b._entry + 1
                                         ? std::optional<T>(followerA)
                                         : FollowerValue(*b._entry->parent, b._entry);
  const bool bFollowsA = sameParent && b._entry == a._entry + 1;
  const T valueB = b.Value();

  const Path pathA = PathOf(a._entry);
  RemoveChild(*a._entry->parent, a._entry);
  AdjustForRemoval(holderB, pathA);
  Entry* parentB = Resolve(holderB);
  Entry* foundB = FindChild(*parentB, valueB);
  if (foundB != nullptr) {
    Path pathB = holderB;
    pathB.push_back(static_cast<std::size_t>(foundB - parentB->children.begin()));
    RemoveChild(*parentB, foundB);
    AdjustForRemoval(holderA, pathB);
  }

  const T* beforeB = followerB ? &*followerB : nullptr;
  const T* beforeA = followerA ? &*followerA : nullptr;
  if (bFollowsA) {
    Entry& parent = *Resolve(holderA);
    InsertBefore(parent, copyB, beforeB);
    InsertBefore(parent, copyA, beforeB);
  } else {
    AdjustForInsertion(holderA, holderB, InsertBefore(*Resolve(holderB), copyA, beforeB));
    AdjustForInsertion(holderB, holderA, InsertBefore(*Resolve(holderA), copyB, beforeA));
  }
  FixParents(*Resolve(holderA), true);
  FixParents(*Resolve(holderB), true);
}

template <typename T>
void OmVectorTree<T>::GroupNodes(const T& groupValue, const std::vector<Node*>& nodes) {
  if (nodes.empty()) return;
  Entry& parent = *nodes.front()->_entry->parent;
  Entry group(groupValue, Region(), nullptr);
  group.children.reserve(nodes.size());
  for (const Node* node : nodes)
    group.children.emplace_back(*node->_entry, &group, Region());

  const std::size_t first =
      static_cast<std::size_t>(nodes.front()->_entry - parent.children.begin());
  for (auto node = nodes.rbegin(); node != nodes.rend(); ++node) {
    RemoveChild(parent, (*node)->_entry);
  }
  // The group goes where the first node stood: found again by the value of
  // the entry that now stands there, or at the end when nothing does.
  const std::optional<T> follower = first < parent.children.size()
                                        ? std::optional<T>(parent.children[first].value)
                                        : std::nullopt;
  InsertBefore(parent, group, follower ? &*follower : nullptr);
  FixParents(parent, true);
}

template <typename T>
void OmVectorTree<T>::UngroupNode(Node& node) {
  if (node.IsRoot() || node.IsLeaf()) return;
  Entry& parent = *node._entry->parent;
  const T nodeValue = node.Value();
  Entry* found = FindChild(parent, nodeValue);
  if (found == nullptr) return;
  const std::size_t position = static_cast<std::size_t>(found - parent.children.begin());
  const std::size_t count = found->children.size();
  for (std::size_t i = 0; i < count; ++i) {
    // The node stands i places further on by now; its children have not
    // moved.
    Entry& grouped = parent.children[position + i];
    Entry copy(grouped.children[i], nullptr, Region());
    InsertBefore(parent, copy, &nodeValue);
  }
  RemoveChild(parent, parent.children.begin() + position + count);
  FixParents(parent, true);
}

template <typename T>
std::size_t OmVectorTree<T>::InsertBefore(Entry& parent, Entry& newEntry, const T* before) {
  std::size_t offset = parent.children.size();
  if (before != nullptr) {
    Entry* found = FindChild(parent, *before);
    if (found != nullptr) offset = static_cast<std::size_t>(found - parent.children.begin());
  }
  Entry* inserted = parent.children.emplace(parent.children.begin() + offset, newEntry.value,
                                            parent.children.region(), &parent);
  inserted->children.swap(newEntry.children);
  return offset;
}

template <typename T>
void OmVectorTree<T>::FixParents(Entry& entry, bool recursive) {
  for (Entry& child : entry.children)
    child.parent = &entry;
  if (!recursive) return;
  // Pre-order walk below entry. Each entry's children are linked before the
  // walk descends into them, so the climb back can follow the links.
  Entry* current = &entry;
  std::size_t next = 0;
  for (;;) {
    if (next < current->children.size()) {
      current = &current->children[next];
      for (Entry& child : current->children)
        child.parent = current;
      next = 0;
    } else if (current == &entry) {
      break;
    } else {
      Entry* holder = current->parent;
      next = static_cast<std::size_t>(current - holder->children.begin()) + 1;
      current = holder;
    }
  }
}

template <typename T>
std::optional<T> OmVectorTree<T>::FollowerValue(const Entry& parent, const Entry* child) {
  if (child + 1 == parent.children.end()) return std::nullopt;
  return child[1].value;
}

template <typename T>
typename OmVectorTree<T>::Entry* OmVectorTree<T>::FindChild(Entry& parent, const T& value) {
  for (Entry& child : parent.children) {
    if (child.value == value) return &child;
  }
  return nullptr;
}

template <typename T>
typename OmVectorTree<T>::Path OmVectorTree<T>::PathOf(const Entry* entry) {
  Path path;
  for (; entry->parent != nullptr; entry = entry->parent) {
    path.push_back(static_cast<std::size_t>(entry - entry->parent->children.begin()));
  }
  return Path(path.rbegin(), path.rend());
}

template <typename T>
typename OmVectorTree<T>::Entry* OmVectorTree<T>::Resolve(const Path& path) {
  Entry* entry = &_root;
  for (std::size_t offset : path)
    entry = &entry->children[offset];
  return entry;
}

template <typename T>
void OmVectorTree<T>::AdjustForRemoval(Path& path, const Path& removed) {
  const std::size_t depth = removed.size() - 1;  // where the removed entry's offset stands
  if (path.size() <= depth) return;
  for (std::size_t i = 0; i < depth; ++i) {
    if (path[i] != removed[i]) return;
  }
  if (path[depth] > removed[depth]) --path[depth];
}

template <typename T>
void OmVectorTree<T>::AdjustForInsertion(Path& path, const Path& parent, std::size_t index) {
  const std::size_t depth = parent.size();
  if (path.size() <= depth) return;
  for (std::size_t i = 0; i < depth; ++i) {
    if (path[i] != parent[i]) return;
  }
  if (path[depth] >= index) ++path[depth];
}

#endif  // OMTREE_BACKEND_TABLES_OM_VECTORTREE_H_
