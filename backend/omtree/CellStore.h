// The cell store of a pivot table: a sparse tree of pointer vectors. Internal
// to the library; OmPivotTable is its only user.
//
// In a table of n dimensions the root is indexed by the subscript of the
// last dimension (n-1), its children by that of dimension n-2, and so on;
// the leaf nodes are indexed by the subscript of dimension 0 and hold the
// cells. The cell (s0, ..., s(n-1)) is root[s(n-1)]...[s1][s0].
//
// Ownership: every node (PointerVector) and every node's block come from the
// table's region; each node is owned by its parent's slot, the root by the
// table; every cell is a clone owned by the store.
//
// Invariants: a node never shrinks; removing a cell nulls its slot. Nodes
// exist only along paths of cells that were set; a node may be empty after a
// cell was set to null, and DeleteCell removes the empty nodes on its own
// path, never the root. Subscripts are not bounded: a node grows to exactly
// s+1 slots when s lies beyond twice its capacity, else by OmVector's rule.
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
// (the leaf level), each null when absent. Allocated in a region; made with
// Create and deleted with Destroy, which returns both its block and itself.
struct PointerVector {
  static PointerVector* Create(OmMemoryRegion* region);
  static void Destroy(PointerVector* node);

  // Grows the node to hold subscript.
  void Reach(std::size_t subscript);
  bool Empty() const;

  OmVector<void*> slots;

 private:
  explicit PointerVector(OmMemoryRegion* region) : slots(region) {}
};

// The cell at index, or null; never allocates.
// REQUIRES: index has one non-negative subscript per level of the store.
OmCellText* FindCell(const PointerVector* root, const std::vector<int>& index);

// The slot of the cell at index, creating the root and the path of nodes
// and growing each node on the way as needed.
void*& ReachSlot(PointerVector*& root, const std::vector<int>& index, OmMemoryRegion* region);

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
