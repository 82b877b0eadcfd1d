#include "backend/omtree/CellStore.h"

#include <algorithm>
#include <limits>
#include <new>
#include <utility>

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
  const PointerVector& node = *level.node;
  const std::size_t from = level.subscript == kBeforeFirst ? 0 : level.subscript + 1;
  // In a dense node the next slot is taken: one load instead of a scan.
  const std::size_t next =
      from < node.slots().size() && node.slots()[from] != nullptr ? from : node.NextOccupied(from);
  if (next == node.slots().size()) return nullptr;
  level.subscript = next;
  return node.slots()[next];
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

constexpr std::size_t kWordBits = 64;

// Slots whose bits the node keeps in its own two words.
constexpr std::size_t kInlineSlots = 2 * kWordBits;

std::size_t WordsFor(std::size_t capacity) {
  return capacity <= kInlineSlots ? 2 : (capacity + kWordBits - 1) / kWordBits;
}

std::uint64_t Bit(std::size_t subscript) {
  return std::uint64_t{1} << (subscript % kWordBits);
}

std::uint64_t CountBits(std::uint64_t word) {
  return static_cast<std::uint64_t>(__builtin_popcountll(word));
}

}  // namespace

static_assert(sizeof(PointerVector) == 48, "a node fills the region's 48-byte size class");

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

PointerVector::~PointerVector() {
  if (!BitsInline()) OmMemoryRegion::Release(_spilled.words);
}

bool PointerVector::BitsInline() const {
  return _slots.capacity() <= kInlineSlots;
}

std::size_t PointerVector::WordCount() const {
  return WordsFor(_slots.capacity());
}

std::uint64_t* PointerVector::Words() {
  return BitsInline() ? _bits : _spilled.words;
}

const std::uint64_t* PointerVector::Words() const {
  return BitsInline() ? _bits : _spilled.words;
}

void PointerVector::Reach(std::size_t subscript) {
  if (subscript < _slots.size()) return;
  // The capacity that appending one null at a time would end with: exactly
  // subscript + 1 after a jump past twice the capacity, else grown by the
  // vector's rule each time the node fills up. Reserving it at once moves
  // the block at most once.
  std::size_t capacity = _slots.capacity();
  if (2 * capacity < subscript) capacity = subscript + 1;
  while (capacity <= subscript)
    capacity = OmVector<void*>::GrownCapacity(capacity);

  // A bigger bitmap is allocated first and installed only once the slots
  // have grown, so that either allocation may fail without harm. Which
  // member of the union is in use follows from the capacity: read the old
  // bits before the slots grow.
  const bool wasInline = BitsInline();
  const std::uint64_t* oldWords = Words();
  const std::size_t oldCount = WordCount();
  const std::size_t newCount = WordsFor(capacity);
  std::uint64_t* words = nullptr;
  if (capacity > kInlineSlots && (wasInline || newCount > oldCount)) {
    words =
        static_cast<std::uint64_t*>(_slots.region()->Allocate(newCount * sizeof(std::uint64_t)));
  }
  try {
    _slots.reserve(capacity);
  } catch (...) {
    OmMemoryRegion::Release(words);
    throw;
  }
  if (words != nullptr) {
    const std::uint64_t live =
        wasInline ? CountBits(_bits[0]) + CountBits(_bits[1]) : _spilled.live;
    std::copy(oldWords, oldWords + oldCount, words);
    std::fill(words + oldCount, words + newCount, std::uint64_t{0});
    if (!wasInline) OmMemoryRegion::Release(_spilled.words);
    _spilled = {words, live};
  }
  _slots.resize(subscript + 1, nullptr);
}

void PointerVector::Set(std::size_t subscript, void* element) {
  void*& slot = _slots[subscript];
  if ((slot == nullptr) != (element == nullptr)) {
    Words()[subscript / kWordBits] ^= Bit(subscript);
    if (!BitsInline()) {
      if (element != nullptr) {
        ++_spilled.live;
      } else {
        --_spilled.live;
      }
    }
  }
  slot = element;
}

bool PointerVector::Empty() const {
  return BitsInline() ? (_bits[0] | _bits[1]) == 0 : _spilled.live == 0;
}

std::size_t PointerVector::NextOccupied(std::size_t from) const {
  const std::uint64_t* words = Words();
  const std::size_t count = WordCount();
  std::size_t word = from / kWordBits;
  if (word >= count) return _slots.size();
  std::uint64_t bits = words[word] & (~std::uint64_t{0} << (from % kWordBits));
  while (bits == 0) {
    if (++word == count) return _slots.size();
    bits = words[word];
  }
  return word * kWordBits + static_cast<std::size_t>(__builtin_ctzll(bits));
}

void* PointerVector::TrimToLast() {
  const std::uint64_t* words = Words();
  for (std::size_t word = (_slots.size() + kWordBits - 1) / kWordBits; word-- > 0;) {
    if (words[word] == 0) continue;
    const std::size_t last =
        word * kWordBits + kWordBits - 1 - static_cast<std::size_t>(__builtin_clzll(words[word]));
    _slots.erase(_slots.begin() + last + 1, _slots.end());
    return _slots[last];
  }
  _slots.erase(_slots.begin(), _slots.end());
  return nullptr;
}

bool PointerVector::OccupancyMatchesSlots() const {
  const std::uint64_t* words = Words();
  std::uint64_t live = 0;
  for (std::size_t i = 0; i < WordCount() * kWordBits; ++i) {
    const bool bit = (words[i / kWordBits] & Bit(i)) != 0;
    const bool occupied = i < _slots.size() && _slots[i] != nullptr;
    if (bit != occupied) return false;
    live += occupied ? 1 : 0;
  }
  return BitsInline() || _spilled.live == live;
}

OmCellText* FindCell(const PointerVector* root, const std::vector<int>& index) {
  if (index.empty()) return nullptr;
  const PointerVector* node = root;
  for (std::size_t level = index.size(); node != nullptr && level-- > 1;) {
    const std::size_t subscript = At(index, level);
    node = subscript < node->slots().size()
               ? static_cast<const PointerVector*>(node->slots()[subscript])
               : nullptr;
  }
  if (node == nullptr) return nullptr;
  const std::size_t subscript = At(index, 0);
  return subscript < node->slots().size() ? static_cast<OmCellText*>(node->slots()[subscript])
                                          : nullptr;
}

PointerVector* ReachLeaf(PointerVector*& root, const std::vector<int>& index,
                         OmMemoryRegion* region) {
  if (root == nullptr) root = PointerVector::Create(region);
  PointerVector* node = root;
  for (std::size_t level = index.size() - 1; level >= 1; --level) {
    const std::size_t subscript = At(index, level);
    node->Reach(subscript);
    if (node->slots()[subscript] == nullptr) node->Set(subscript, PointerVector::Create(region));
    node = static_cast<PointerVector*>(node->slots()[subscript]);
  }
  node->Reach(At(index, 0));
  return node;
}

void DeleteCell(PointerVector* root, const std::vector<int>& index) {
  if (FindCell(root, index) == nullptr) return;
  PointerVector* leaf = root;
  for (std::size_t level = index.size() - 1; level >= 1; --level) {
    leaf = static_cast<PointerVector*>(leaf->slots()[At(index, level)]);
  }
  delete static_cast<OmCellText*>(leaf->slots()[At(index, 0)]);
  leaf->Set(At(index, 0), nullptr);

  // Remove the empty nodes on the path, deepest first: each walk from the
  // root removes the first empty node it meets, and the walks stop when one
  // removes nothing.
  for (bool removed = true; removed;) {
    removed = false;
    PointerVector* node = root;
    for (std::size_t level = index.size() - 1; level >= 1 && !removed; --level) {
      const std::size_t subscript = At(index, level);
      PointerVector* child = static_cast<PointerVector*>(node->slots()[subscript]);
      if (child == nullptr) break;
      if (child->Empty()) {
        PointerVector::Destroy(child);
        node->Set(subscript, nullptr);
        removed = true;
      } else {
        node = child;
      }
    }
  }
}

void AddLevel(PointerVector*& root, OmMemoryRegion* region) {
  if (root == nullptr) return;
  PointerVector* top = PointerVector::Create(region);
  try {
    top->Reach(0);
  } catch (...) {
    PointerVector::Destroy(top);
    throw;
  }
  top->Set(0, root);
  root = top;
}

void DestroyStore(PointerVector* root, std::size_t levels) {
  if (root == nullptr || levels == 0) return;
  // The store is destroyed from destructors, so this allocates nothing: each
  // round descends from the root along the last non-null slot of every node
  // to a node that holds cells or no more children, destroys it and nulls
  // its parent's slot. The null slots after the last child are dropped on
  // the way down, so a round costs one step per level.
  for (;;) {
    PointerVector* parent = nullptr;
    PointerVector* node = root;
    std::size_t level = levels - 1;
    for (; level > 0; --level) {
      void* last = node->TrimToLast();
      if (last == nullptr) break;
      parent = node;
      node = static_cast<PointerVector*>(last);
    }
    if (level == 0) {
      for (std::size_t i = node->NextOccupied(0); i < node->slots().size();
           i = node->NextOccupied(i + 1)) {
        delete static_cast<OmCellText*>(node->slots()[i]);
      }
    }
    PointerVector::Destroy(node);
    if (parent == nullptr) return;
    parent->Set(parent->slots().size() - 1, nullptr);
  }
}

bool OccupancyMatchesSlots(const PointerVector* root, std::size_t levels) {
  if (root == nullptr || levels == 0) return true;
  std::vector<std::pair<const PointerVector*, std::size_t>> pending{{root, levels - 1}};
  while (!pending.empty()) {
    const auto [node, level] = pending.back();
    pending.pop_back();
    if (!node->OccupancyMatchesSlots()) return false;
    if (level == 0) continue;
    for (const void* child : node->slots()) {
      if (child != nullptr)
        pending.emplace_back(static_cast<const PointerVector*>(child), level - 1);
    }
  }
  return true;
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
