// OmDimensionNode is one node of a dimension's category tree: the dimension's
// root, a group that gathers categories under a label, or a leaf category
// that stands for one position along the dimension's axis of the cell store.
// It is the value type of the dimension's OmVectorTree, which copies,
// assigns, destroys and compares nodes; the display headings read its flags
// and subscript.
//
// Ownership: a node owns its label text (it may have none) and the block of
// its child index. Both are released when the node is destroyed. The one
// exception is assignment, which hands the source's text over instead of
// cloning it (see operator=).
//
// Region: a node's region is the region of its child index; it is never null
// (a null region given to a constructor means OmMemoryRegion::DefaultHeap()).
// Every text the node clones for itself is allocated there. Assignment
// takes over the source's text where it lies, so after an assignment the
// text may live in another region than the node's index.
//
// Invariants:
//   (1) Subscript() is meaningful only for leaves (IsGroup() false);
//       kNoSubscript marks groups and unnumbered roots, kDissolving marks a
//       group that the dimension is dissolving. No category uses either.
//   (2) The child index lists the storage offsets of the node's children in
//       the order of operator< of the children; the dimension keeps it that
//       way, the node itself only copies, assigns and prints it.
//   (3) The node holds no pointer into itself, so it stays valid when an
//       OmVector moves its bytes.
//
// Copying is intentional: the vector tree copies its values. A copy owns a
// clone of the text and a copy of the child index. Assignment is not a copy;
// it moves the text out of the source.
//
// A node is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_DIMENSIONNODE_H_
#define OMTREE_BACKEND_OMTREE_DIMENSIONNODE_H_

#include <cstddef>
#include <cstdint>
#include <limits>

#include "backend/omtree/Export.h"
#include "backend/omtree/cell/Cell.h"
#include "backend/omtree/cell/Vector.h"

// A requested sort order of a node's children. It is stored, copied and
// printed; nothing in this library reorders children by it.
struct OmSort {
  enum Order : std::int32_t {
    Up = 0,
    Down = 1,
    Unsorted = 2,
  };
};

class OmDimension;
class OmDimensionNodeTest;
class OmDimensionTest;

class OMTREE_EXPORT OmDimensionNode {
 public:
  // The subscript of nodes that have none: groups, and roots until the pivot
  // table numbers them.
  static constexpr std::size_t kNoSubscript = std::numeric_limits<std::size_t>::max();
  // The subscript that marks a group while the dimension dissolves it, so
  // that the group can be found again by value among its siblings.
  static constexpr std::size_t kDissolving = kNoSubscript - 1;

  // A node without text or subscript, not a group, with an empty child
  // index in region.
  explicit OmDimensionNode(OmMemoryRegion* region = nullptr);

  // A node labelled with a clone of text in region, with an empty child
  // index in region.
  OmDimensionNode(const OmCellText& text, std::size_t subscript, bool group,
                  OmMemoryRegion* region);

  // A copy of other whose text clone and child index live in region. The
  // child index gets a capacity of exactly other's entry count.
  OmDimensionNode(const OmDimensionNode& other, OmMemoryRegion* region);

  // A copy of other in other's region.
  OmDimensionNode(const OmDimensionNode& other);

  // Takes other's text and child index, leaving other without a text and
  // with an empty index in its region. The dimension hands the nodes it
  // builds to its tree this way, without cloning their texts once more.
  OmDimensionNode(OmDimensionNode&& other) noexcept;

  // Takes over other's text pointer, leaving other without a text, unless
  // both already hold the same pointer (then neither changes). Copies the
  // subscript, sort order and flags. Refills the child index with other's
  // entries in this node's own region, with a capacity of exactly their
  // count.
  OmDimensionNode& operator=(const OmDimensionNode& other);

  ~OmDimensionNode();

  // The label, or null when the node has none.
  OmCellText* Text() { return _text; }
  const OmCellText* Text() const { return _text; }
  // Replaces the label by a clone of text in Region(). text may be the
  // node's own label.
  void Text(const OmCellText& text);

  std::size_t Subscript() const { return _subscript; }
  void Subscript(std::size_t subscript) { _subscript = subscript; }

  bool IsGroup() const { return _group; }
  void IsGroup(bool group) { _group = group; }

  OmSort::Order Sort() const { return _sort; }
  void Sort(OmSort::Order sort) { _sort = sort; }

  bool Hide() const { return _hide; }
  void Hide(bool hide) { _hide = hide; }

  bool HideLabels() const { return _hideLabels; }
  void HideLabels(bool hideLabels) { _hideLabels = hideLabels; }

  OmMemoryRegion* Region() const { return _childIndex.region(); }

  // Groups order before leaves; nodes of the same kind order by their texts'
  // Compare. Subscripts and the other flags play no part.
  // REQUIRES: both nodes have a text.
  bool operator<(const OmDimensionNode& other) const;

  // Same group flag, same subscript and equal texts (equal TextLength and
  // Compare 0). Sort order, hide flags and child index play no part.
  // REQUIRES: both nodes have a text.
  bool operator==(const OmDimensionNode& other) const;

  // Writes one diagnostic line about the node to std::cout, indented by
  // indent times two spaces, and flushes it.
  void Print(unsigned int indent) const;

 private:
  // The child index is maintained by the dimension alone.
  friend class OmDimension;
  // Test hooks: let the unit tests reach the child index.
  friend class OmDimensionNodeTest;
  friend class OmDimensionTest;

  OmVector<int>& ChildIndex() { return _childIndex; }
  const OmVector<int>& ChildIndex() const { return _childIndex; }

  // Owned. Mutable because operator= takes the text out of its (const)
  // source: the source is left with a null text instead of a clone being
  // made.
  mutable OmCellText* _text;
  std::size_t _subscript;
  OmVector<int> _childIndex;
  OmSort::Order _sort;
  bool _group;
  bool _hide;
  bool _hideLabels;
};

#endif  // OMTREE_BACKEND_OMTREE_DIMENSIONNODE_H_
