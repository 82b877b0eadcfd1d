#include "omcell/OmMemoryRegion.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OMCELL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define OMCELL_ASAN 1
#endif

#if defined(OMCELL_ASAN)
#include <sanitizer/asan_interface.h>
#define OMCELL_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define OMCELL_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define OMCELL_POISON(address, size) (static_cast<void>(address), static_cast<void>(size))
#define OMCELL_UNPOISON(address, size) (static_cast<void>(address), static_cast<void>(size))
#endif

struct OmMemoryRegion::BlockHeader {
  OmMemoryRegion* region;
  std::uint32_t sizeClass;
  std::uint32_t tag;
};

// Precedes the header of a block that is too large for the chunks.
struct OmMemoryRegion::LargeBlock {
  LargeBlock* previous;
  LargeBlock* next;
  std::size_t bytes;  // the whole heap allocation
  std::size_t unused;
};

// Precedes the usable space of a chunk.
struct OmMemoryRegion::Chunk {
  Chunk* next;
  std::size_t bytes;  // the whole heap allocation
};

namespace {

constexpr std::uint32_t kLiveTag = 0x4C495645;      // "LIVE"
constexpr std::uint32_t kReleasedTag = 0x46524545;  // "FREE"
constexpr std::uint32_t kLargeClass = 0xFFFFFFFF;
constexpr std::uint32_t kHeapClass = 0xFFFFFFFE;
constexpr std::size_t kFirstChunkBytes = 1024;
constexpr std::size_t kMaxChunkBytes = 64 * 1024;

// Size class of every small request, indexed by the request rounded up to
// 16 bytes and divided by 16.
constexpr int ComputeSizeClass(std::size_t rounded) {
  if (rounded <= 128) return static_cast<int>(rounded / 16) - 1;
  int exponent = 0;  // floor(log2(rounded - 1)), at least 7 here
  for (std::size_t value = rounded - 1; value > 1; value >>= 1)
    ++exponent;
  const std::size_t step = std::size_t{1} << (exponent - 2);
  const std::size_t quarter = (rounded - 1) / step;  // 4 to 7
  return 8 + (exponent - 7) * 4 + static_cast<int>(quarter - 4);
}

constexpr std::array<std::uint8_t, OmMemoryRegion::kMaxSmallBlock / 16 + 1> MakeClassTable() {
  std::array<std::uint8_t, OmMemoryRegion::kMaxSmallBlock / 16 + 1> table{};
  for (std::size_t slot = 0; slot < table.size(); ++slot) {
    table[slot] = static_cast<std::uint8_t>(ComputeSizeClass(slot == 0 ? 16 : slot * 16));
  }
  return table;
}

constexpr auto kClassTable = MakeClassTable();

// The countdown of FailAfter(): negative while off.
long failureCountdown = -1;

[[noreturn]] void AbortOnBadRelease(const void* block) {
  std::fprintf(stderr, "OmMemoryRegion::Release: %p is not a live block\n", block);
  std::fflush(stderr);
  std::abort();
}

}  // namespace

OmMemoryRegion::OmMemoryRegion(bool heapBacked)
    : _heapBacked(heapBacked), _nextChunkBytes(kFirstChunkBytes) {
  static_assert(sizeof(BlockHeader) == kAlignment, "a block header keeps blocks aligned");
  static_assert((sizeof(LargeBlock) + sizeof(BlockHeader)) % kAlignment == 0,
                "a large block's header keeps the block aligned");
  static_assert(sizeof(Chunk) % kAlignment == 0, "a chunk's header keeps its blocks aligned");
}

OmMemoryRegion::~OmMemoryRegion() {
  while (_chunks != nullptr) {
    Chunk* next = _chunks->next;
    OMCELL_UNPOISON(_chunks, _chunks->bytes);
    ::operator delete(_chunks);
    _chunks = next;
  }
  while (_largeBlocks != nullptr) {
    LargeBlock* next = _largeBlocks->next;
    ::operator delete(_largeBlocks);
    _largeBlocks = next;
  }
}

int OmMemoryRegion::SizeClassOf(std::size_t size) {
  return kClassTable[(size + 15) / 16];
}

std::size_t OmMemoryRegion::ClassBytes(int sizeClass) {
  if (sizeClass < 8) return static_cast<std::size_t>(sizeClass + 1) * 16;
  const int exponent = 7 + (sizeClass - 8) / 4;
  const std::size_t quarter = 4 + static_cast<std::size_t>((sizeClass - 8) % 4);
  return (quarter + 1) << (exponent - 2);
}

long OmMemoryRegion::FailAfter(long allocations) {
  const long previous = failureCountdown;
  failureCountdown = allocations < 0 ? -1 : allocations;
  return previous;
}

bool OmMemoryRegion::ShouldFailAllocation() {
  if (failureCountdown < 0) return false;
  return failureCountdown-- == 0;
}

void* OmMemoryRegion::Allocate(std::size_t size) {
  if (failureCountdown >= 0 && ShouldFailAllocation()) throw std::bad_alloc();
  if (_heapBacked) return AllocateFromHeap(size);
  if (size <= kMaxSmallBlock) return AllocateSmall(SizeClassOf(size));
  return AllocateLarge(size);
}

void* OmMemoryRegion::AllocateSmall(int sizeClass) {
  const std::size_t bytes = ClassBytes(sizeClass);
  void*& head = _freeLists[sizeClass];
  char* block;
  if (head != nullptr) {
    block = static_cast<char*>(head);
    OMCELL_UNPOISON(block, bytes);
    head = *reinterpret_cast<void**>(block);
  } else {
    block = static_cast<char*>(CarveFromChunk(sizeof(BlockHeader) + bytes)) + sizeof(BlockHeader);
  }
  BlockHeader* header = reinterpret_cast<BlockHeader*>(block) - 1;
  header->region = this;
  header->sizeClass = static_cast<std::uint32_t>(sizeClass);
  header->tag = kLiveTag;
  ++_blocksInUse;
  return block;
}

void* OmMemoryRegion::CarveFromChunk(std::size_t blockBytes) {
  if (static_cast<std::size_t>(_chunkLimit - _chunkCursor) < blockBytes) {
    const std::size_t space = std::max(_nextChunkBytes, blockBytes);
    const std::size_t total = sizeof(Chunk) + space;
    Chunk* chunk = static_cast<Chunk*>(::operator new(total));
    chunk->next = _chunks;
    chunk->bytes = total;
    _chunks = chunk;
    _bytesReserved += total;
    _chunkCursor = reinterpret_cast<char*>(chunk + 1);
    _chunkLimit = _chunkCursor + space;
    OMCELL_POISON(_chunkCursor, space);
    _nextChunkBytes = std::min(2 * _nextChunkBytes, kMaxChunkBytes);
  }
  char* block = _chunkCursor;
  _chunkCursor += blockBytes;
  OMCELL_UNPOISON(block, blockBytes);
  return block;
}

void* OmMemoryRegion::AllocateLarge(std::size_t size) {
  constexpr std::size_t kOverhead = sizeof(LargeBlock) + sizeof(BlockHeader);
  if (size > std::numeric_limits<std::size_t>::max() - kOverhead) throw std::bad_alloc();
  const std::size_t total = kOverhead + size;
  LargeBlock* large = static_cast<LargeBlock*>(::operator new(total));
  large->previous = nullptr;
  large->next = _largeBlocks;
  large->bytes = total;
  if (_largeBlocks != nullptr) _largeBlocks->previous = large;
  _largeBlocks = large;
  _bytesReserved += total;
  ++_blocksInUse;
  BlockHeader* header = reinterpret_cast<BlockHeader*>(large + 1);
  header->region = this;
  header->sizeClass = kLargeClass;
  header->tag = kLiveTag;
  return header + 1;
}

void* OmMemoryRegion::AllocateFromHeap(std::size_t size) {
  if (size > std::numeric_limits<std::size_t>::max() - sizeof(BlockHeader)) {
    throw std::bad_alloc();
  }
  BlockHeader* header = static_cast<BlockHeader*>(::operator new(sizeof(BlockHeader) + size));
  header->region = this;
  header->sizeClass = kHeapClass;
  header->tag = kLiveTag;
  return header + 1;
}

void OmMemoryRegion::Release(void* block) {
  if (block == nullptr) return;
  BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
  if (header->tag != kLiveTag) AbortOnBadRelease(block);
  header->tag = kReleasedTag;
  if (header->sizeClass == kHeapClass) {
    ::operator delete(header);
    return;
  }
  header->region->ReleaseBlock(header);
}

void OmMemoryRegion::ReleaseBlock(BlockHeader* header) {
  --_blocksInUse;
  if (header->sizeClass == kLargeClass) {
    LargeBlock* large = reinterpret_cast<LargeBlock*>(header) - 1;
    if (large->previous != nullptr) {
      large->previous->next = large->next;
    } else {
      _largeBlocks = large->next;
    }
    if (large->next != nullptr) large->next->previous = large->previous;
    _bytesReserved -= large->bytes;
    ::operator delete(large);
    return;
  }
  void* block = header + 1;
  const std::size_t bytes = ClassBytes(static_cast<int>(header->sizeClass));
  if (_workingRelease) {
    void*& head = _freeLists[header->sizeClass];
    *static_cast<void**>(block) = head;
    head = block;
  }
  OMCELL_POISON(block, bytes);
}

OmMemoryRegion* OmMemoryRegion::DefaultHeap() {
  // Never destroyed, so that texts released during static destruction still
  // find their region.
  static OmMemoryRegion* const heap = new OmMemoryRegion(true);
  return heap;
}

OmMemoryRegion* OmMemoryRegion::Of(const void* block) {
  return (static_cast<const BlockHeader*>(block) - 1)->region;
}

void OmMemoryRegion::WorkingRelease(bool working) {
  _workingRelease = working;
}
