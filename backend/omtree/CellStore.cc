#include "backend/omtree/CellStore.h"

#include <algorithm>
#include <limits>
#include <new>

namespace omtree_internal {

namespace {

// The subscript of a level that stands before its node's first slot.
constexpr std::uint64_t kBeforeFirst = std::numeric_limits<std::uint64_t>::max();

std::size_t At(const std::vector<int>& index, std::size_t level) {
  return static_cast<std::size_t>(index[level]);
}

// Moves level to the next non-null slot of its node and returns that slot's
// element, or returns null when there is none.
void* NextElement(Traversal::Level& level) {
  const OmVector<void*>& slots = level.node->slots;
  const std::uint64_t from = level.subscript == kBeforeFirst ? 0 : level.subscript + 1;
  for (std::uint64_t i = from; i < slots.size(); ++i) {
    if (slots[i] != nullptr) {
      level.subscript = i;
      return slots[i];
    }
  }
  return nullptr;
}

// Finds the next cell, starting with the next element at level `from`:
// climbs while a level's node is exhausted, descends into each next node,
// passing over nodes that hold nothing.
OmCellText* Step(Traversal& traversal, std::size_t from) {
  std::vector<Traversal::Level>& levels = traversal.levels;
  std::size_t level = from;
  for (;;) {
    void* element = NextElement(levels[level]);
    if (element == nullptr) {
      if (level + 1 == levels.size()) return nullptr;
      ++level;
    } else if (level == 0) {
      return static_cast<OmCellText*>(element);
    } else {
      --level;
      levels[level].node = static_cast<const PointerVector*>(element);
      levels[level].subscript = kBeforeFirst;
    }
  }
}

}  // namespace

PointerVector* PointerVector::Create(OmMemoryRegion* region) {
  void* block = region->Allocate(sizeof(PointerVector));
  try {
    return new (block) PointerVector(region);
  } catch (...) {
    OmMemoryRegion::Release(block);
    throw;
  }
}

void PointerVector::Destroy(PointerVector* node) {
  node->~PointerVector();
  OmMemoryRegion::Release(node);
}

void PointerVector::Reach(std::size_t subscript) {
  if (subscript < slots.size()) return;
  // The capacity that appending one null at a time would end with: exactly
  // subscript + 1 after a jump past twice the capacity, else grown by the
  // vector's rule each time the node fills up. Reserving it at once moves
  // the block at most once.
  std::size_t capacity = slots.capacity();
  if (2 * capacity < subscript) capacity = subscript + 1;
  while (capacity <= subscript)
    capacity = OmVector<void*>::GrownCapacity(capacity);
  slots.reserve(capacity);
  slots.resize(subscript + 1, nullptr);
}

bool PointerVector::Empty() const {
  return std::all_of(slots.begin(), slots.end(), [](const void* slot) { return slot == nullptr; });
}

OmCellText* FindCell(const PointerVector* root, const std::vector<int>& index) {
  if (index.empty()) return nullptr;
  const PointerVector* node = root;
  for (std::size_t level = index.size(); node != nullptr && level-- > 1;) {
    const std::size_t subscript = At(index, level);
    node = subscript < node->slots.size()
               ? static_cast<const PointerVector*>(node->slots[subscript])
               : nullptr;
  }
  if (node == nullptr) return nullptr;
  const std::size_t subscript = At(index, 0);
  return subscript < node->slots.size() ? static_cast<OmCellText*>(node->slots[subscript])
                                        : nullptr;
}

void*& ReachSlot(PointerVector*& root, const std::vector<int>& index, OmMemoryRegion* region) {
  if (root == nullptr) root = PointerVector::Create(region);
  PointerVector* node = root;
  for (std::size_t level = index.size() - 1; level >= 1; --level) {
    const std::size_t subscript = At(index, level);
    node->Reach(subscript);
    void*& slot = node->slots[subscript];
    if (slot == nullptr) slot = PointerVector::Create(region);
    node = static_cast<PointerVector*>(slot);
  }
  node->Reach(At(index, 0));
  return node->slots[At(index, 0)];
}

void DeleteCell(PointerVector* root, const std::vector<int>& index) {
  if (FindCell(root, index) == nullptr) return;
  PointerVector* leaf = root;
  for (std::size_t level = index.size() - 1; level >= 1; --level) {
    leaf = static_cast<PointerVector*>(leaf->slots[At(index, level)]);
  }
  void*& slot = leaf->slots[At(index, 0)];
  delete static_cast<OmCellText*>(slot);
  slot = nullptr;

  // Remove the empty nodes on the path, deepest first: each walk from the
  // root removes the first empty node it meets, and the walks stop when one
  // removes nothing.
  for (bool removed = true; removed;) {
    removed = false;
    PointerVector* node = root;
    for (std::size_t level = index.size() - 1; level >= 1 && !removed; --level) {
      void*& child = node->slots[At(index, level)];
      if (child == nullptr) break;
      PointerVector* next = static_cast<PointerVector*>(child);
      if (next->Empty()) {
        PointerVector::Destroy(next);
        child = nullptr;
        removed = true;
      } else {
        node = next;
      }
    }
  }
}

void AddLevel(PointerVector*& root, OmMemoryRegion* region) {
  if (root == nullptr) return;
  PointerVector* top = PointerVector::Create(region);
  try {
    top->slots.push_back(root);
  } catch (...) {
    PointerVector::Destroy(top);
    throw;
  }
  root = top;
}

void DestroyStore(PointerVector* root, std::size_t levels) {
  if (root == nullptr || levels == 0) return;
  // The store is destroyed from destructors, so this allocates nothing: each
  // round descends from the root along the last slot of every node to a node
  // that holds cells or no more children, destroys it and drops it from its
  // parent's slots. Trailing null slots are dropped on the way down, so a
  // round costs one step per level.
  for (;;) {
    PointerVector* parent = nullptr;
    PointerVector* node = root;
    std::size_t level = levels - 1;
    for (;;) {
      OmVector<void*>& slots = node->slots;
      while (!slots.empty() && *(slots.end() - 1) == nullptr)
        slots.erase(slots.end() - 1);
      if (level == 0 || slots.empty()) break;
      parent = node;
      node = static_cast<PointerVector*>(*(slots.end() - 1));
      --level;
    }
    if (level == 0) {
      for (void* element : node->slots)
        delete static_cast<OmCellText*>(element);
    }
    PointerVector::Destroy(node);
    if (parent == nullptr) return;
    parent->slots.erase(parent->slots.end() - 1);
  }
}

void First(const PointerVector* root, std::size_t levels, Traversal& traversal) {
  traversal.levels.assign(levels, Traversal::Level());
  traversal.cell = nullptr;
  if (root == nullptr || levels == 0) return;
  traversal.levels.back() = {root, kBeforeFirst};
  traversal.cell = Step(traversal, levels - 1);
}

void Advance(Traversal& traversal) {
  traversal.cell = Step(traversal, 0);
}

}  // namespace omtree_internal
