#include "omcell/OmMemoryRegion.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <mutex>
#include <new>
#include <vector>

#if defined(OMCELL_REGION_CHECKED)
#include <sanitizer/asan_interface.h>
#define OMCELL_POISON(address, size) ASAN_POISON_MEMORY_REGION(address, size)
#define OMCELL_UNPOISON(address, size) ASAN_UNPOISON_MEMORY_REGION(address, size)
#else
#define OMCELL_POISON(address, size) (static_cast<void>(address), static_cast<void>(size))
#define OMCELL_UNPOISON(address, size) (static_cast<void>(address), static_cast<void>(size))
#endif

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

constexpr std::uint32_t kLargeClass = 0xFFFFFFFF;
constexpr std::uint32_t kHeapClass = 0xFFFFFFFE;
constexpr std::size_t kFirstChunkBytes = 1024;
constexpr std::size_t kMaxChunkBytes = 64 * 1024;

// Full-size chunks that destroyed regions gave back, kept for the next
// regions instead of being returned to the global heap. Without it, a
// program that makes and drops tables in turn would have the heap hand the
// pages back to the system and fault them in again for every table. One
// lock per 64 KiB chunk, never per block; at most kCachedChunks are kept.
class ChunkCache {
 public:
  static constexpr std::size_t kCachedChunks = 256;  // 16 MiB

  static ChunkCache& Instance() {
    // Never destroyed: regions destroyed during static destruction still
    // hand their chunks back.
    static ChunkCache* const cache = new ChunkCache;
    return *cache;
  }

  // A cached chunk, or null when there is none.
  void* Take() {
    std::lock_guard<std::mutex> lock(_mutex);
    if (_chunks.empty()) return nullptr;
    void* chunk = _chunks.back();
    _chunks.pop_back();
    return chunk;
  }

  // Frees every cached chunk, each chunkBytes long. Allocates nothing: the
  // cache keeps its reserved room, so that Keep() never allocates either.
  void FreeAll(std::size_t chunkBytes) {
    std::lock_guard<std::mutex> lock(_mutex);
    for (void* chunk : _chunks) {
      OMCELL_UNPOISON(chunk, chunkBytes);
      ::operator delete(chunk);
    }
    _chunks.clear();
  }

  // Keeps chunk when there is room; false hands it back to the caller.
  bool Keep(void* chunk) {
    std::lock_guard<std::mutex> lock(_mutex);
    if (_chunks.size() >= kCachedChunks) return false;
    _chunks.push_back(chunk);
    return true;
  }

 private:
  ChunkCache() { _chunks.reserve(kCachedChunks); }

  std::mutex _mutex;
  std::vector<void*> _chunks;
};

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
    const bool cacheable = _chunks->bytes == sizeof(Chunk) + kMaxChunkBytes;
    if (!cacheable || !ChunkCache::Instance().Keep(_chunks)) {
      OMCELL_UNPOISON(_chunks, _chunks->bytes);
      ::operator delete(_chunks);
    }
    _chunks = next;
  }
  while (_largeBlocks != nullptr) {
    LargeBlock* next = _largeBlocks->next;
    ::operator delete(_largeBlocks);
    _largeBlocks = next;
  }
}

long OmMemoryRegion::_failureCountdown = -1;

std::size_t OmMemoryRegion::ClassBytes(int sizeClass) {
  if (sizeClass < 8) return static_cast<std::size_t>(sizeClass + 1) * 16;
  const int exponent = 7 + (sizeClass - 8) / 4;
  const std::size_t quarter = 4 + static_cast<std::size_t>((sizeClass - 8) % 4);
  return (quarter + 1) << (exponent - 2);
}

long OmMemoryRegion::FailAfter(long allocations) {
  const long previous = _failureCountdown;
  _failureCountdown = allocations < 0 ? -1 : allocations;
  return previous;
}

bool OmMemoryRegion::ShouldFailAllocation() {
  if (_failureCountdown < 0) return false;
  return _failureCountdown-- == 0;
}

void* OmMemoryRegion::AllocateOutOfLine(std::size_t size) {
  if (_failureCountdown >= 0 && ShouldFailAllocation()) throw std::bad_alloc();
  if (_heapBacked) return AllocateFromHeap(size);
  if (size <= kMaxSmallBlock) return AllocateSmall(kClassOfSlot[(size + 15) / 16]);
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
    void* cached = space == kMaxChunkBytes ? ChunkCache::Instance().Take() : nullptr;
    Chunk* chunk = static_cast<Chunk*>(cached != nullptr ? cached : ::operator new(total));
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

void OmMemoryRegion::ReleaseOutOfLine(void* block) {
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

void OmMemoryRegion::ReleaseCachedChunks() {
  ChunkCache::Instance().FreeAll(sizeof(Chunk) + kMaxChunkBytes);
}

OmMemoryRegion* OmMemoryRegion::Of(const void* block) {
  return (static_cast<const BlockHeader*>(block) - 1)->region;
}

void OmMemoryRegion::WorkingRelease(bool working) {
  _workingRelease = working;
}
