// The cell store of a pivot table: a sparse tree of pointer vectors. Internal
// to the library; OmPivotTable is its only user.
//
// In a table of n dimensions the root is indexed by the subscript of the
// last dimension (n-1), its children by that of dimension n-2, and so on;
// the leaf nodes are indexed by the subscript of dimension 0 and hold the
// cells. The cell (s0, ..., s(n-1)) is root[s(n-1)]...[s1][s0].
//
// Ownership: every node (PointerVector), its slot block and its bitmap block
// come from the table's region; each node is owned by its parent's slot, the
// root by the table, and owns its blocks; every cell is a clone owned by the
// store.
//
// Invariants: a node never shrinks; removing a cell nulls its slot. Nodes
// exist only along paths of cells that were set; a node may be empty after a
// cell was set to null, and DeleteCell removes the empty nodes on its own
// path, never the root. Subscripts are not bounded: a node grows to exactly
// s+1 slots when s lies beyond twice its capacity, else by OmVector's rule.
//
// Occupancy: each node keeps a bitmap of its non-null slots, so that a
// traversal passes over null slots 64 at a time (count trailing zeros) and
// the pruning of DeleteCell tells an empty node in O(1). Invariant between
// calls: bit i is set exactly when slot i is non-null, the bits past the
// node's size are 0, and a node of more than 128 slots of capacity holds its
// live count, the number of set bits. Slots are written only through
// PointerVector::Set, which keeps the bits and the count. The bitmap covers
// the node's capacity and grows with it: Reach allocates the bigger bitmap
// before the slot block moves and installs it after, so that a failed
// allocation leaves both as they were.
//
// Memory: two words in the node. The node's vector is four words, so one
// added word already moves the node from the region's 32-byte size class to
// the 48-byte one, which holds exactly two: the second costs nothing. Up to
// 128 slots of capacity the two words are the bitmap itself, and the node is
// empty when both are 0. Above, they hold a pointer to a block of the node's
// region, owned by the node, of one bit per slot of capacity rounded up to
// whole words, and the live count. So every node costs 16 bytes more, and
// one of more than 128 slots also one bit per slot in a block of its own.
//
// Every walk here is iterative. Used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_CELLSTORE_H_
#define OMTREE_BACKEND_OMTREE_CELLSTORE_H_

#include <cstddef>
#include <cstdint>
#include <vector>

#include "backend/omtree/cell/Cell.h"
#include "backend/omtree/cell/Vector.h"

namespace omtree_internal {

// One node of the store: slots holding child nodes (inner levels) or cells
// (the leaf level), each null when absent, and the bitmap of the non-null
// ones. Allocated in a region; made with Create and deleted with Destroy,
// which returns its slot block, its bitmap block and itself.
class PointerVector {
 public:
  static PointerVector* Create(OmMemoryRegion* region);
  static void Destroy(PointerVector* node);

  PointerVector(const PointerVector&) = delete;
  PointerVector& operator=(const PointerVector&) = delete;

  const OmVector<void*>& slots() const { return _slots; }

  // Grows the node to hold subscript; allocates the slot block and the
  // bitmap block it needs or neither.
  void Reach(std::size_t subscript);

  // Stores element (a child, a cell or null) in slot subscript and keeps the
  // bitmap right. The slot's previous element is the caller's.
  // REQUIRES: subscript < slots().size().
  void Set(std::size_t subscript, void* element);

  // True when every slot is null. O(1).
  bool Empty() const;

  // The first non-null slot at or after from, or slots().size().
  std::size_t NextOccupied(std::size_t from) const;

  // Drops the null slots after the last non-null one and returns that
  // slot's element, or null when the node holds nothing. Shrinks the node,
  // which only the destruction of the store may do.
  void* TrimToLast();

  // True when the bits, the bits past size() and the live count agree with
  // the slots.
  bool OccupancyMatchesSlots() const;

 private:
  // The bitmap of a node of more than 128 slots.
  struct Spilled {
    std::uint64_t* words;  // capacity/64 rounded up
    std::uint64_t live;
  };

  explicit PointerVector(OmMemoryRegion* region) : _slots(region) {}
  ~PointerVector();

  // The bitmap's words: two inline, else capacity/64 rounded up.
  std::uint64_t* Words();
  const std::uint64_t* Words() const;
  std::size_t WordCount() const;
  bool BitsInline() const;

  OmVector<void*> _slots;
  // Which member is in use follows from _slots.capacity(): _bits up to 128
  // slots, else _spilled.
  union {
    std::uint64_t _bits[2] = {0, 0};
    Spilled _spilled;
  };
};

// The cell at index, or null; never allocates.
// REQUIRES: index has one non-negative subscript per level of the store.
OmCellText* FindCell(const PointerVector* root, const std::vector<int>& index);

// The leaf node that holds the slot of the cell at index, creating the root
// and the path of nodes and growing each node on the way, the leaf included,
// as needed. The caller stores the cell with Set(index[0], cell).
PointerVector* ReachLeaf(PointerVector*& root, const std::vector<int>& index,
                         OmMemoryRegion* region);

// Deletes the cell at index, if there is one, and then the nodes on its path
// that hold nothing, from the leaf upward; the root stays.
void DeleteCell(PointerVector* root, const std::vector<int>& index);

// Puts the store one level deeper: the cells (s0, ..., s(n-1)) are found at
// (s0, ..., s(n-1), 0) afterwards. Nothing happens to an empty store. When
// an allocation fails, the store is left as it was.
void AddLevel(PointerVector*& root, OmMemoryRegion* region);

// Deletes every cell and node of a store of the given number of levels.
// Allocates nothing, so that destructors may call it.
void DestroyStore(PointerVector* root, std::size_t levels);

// True when every node of a store of the given number of levels passes
// PointerVector::OccupancyMatchesSlots. For tests; walks without recursion.
bool OccupancyMatchesSlots(const PointerVector* root, std::size_t levels);

// A position in the traversal: one (node, subscript) per level, dimension 0
// first, and the current cell (null at the end). Cells come in the order of
// their index read from the last subscript to the first: dimension 0 varies
// fastest. Null slots and nodes that hold no cell are passed over.
struct Traversal {
  struct Level {
    const PointerVector* node = nullptr;
    std::uint64_t subscript = 0;
  };

  std::vector<Level> levels;
  OmCellText* cell = nullptr;
};

// Positions traversal on the first cell of a store of `levels` levels.
void First(const PointerVector* root, std::size_t levels, Traversal& traversal);

// Moves traversal to the next cell, or to the end.
// REQUIRES: traversal stands on a cell.
void Advance(Traversal& traversal);

}  // namespace omtree_internal

#endif  // OMTREE_BACKEND_OMTREE_CELLSTORE_H_
