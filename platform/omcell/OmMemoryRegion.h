// OmMemoryRegion is the memory region from which cell texts, category trees,
// cell stores and footnote lists take their storage.
//
// A region is an arena. Allocate() carves blocks out of chunks that the region
// owns; the static Release() hands a block back to the region it came from
// without naming that region; released blocks are reused by later
// allocations of the same size class; destroying the region frees every
// chunk at once, whatever was or was not released.
//
// Design:
//   * Every block is preceded by a 16-byte header: the owning region, the
//     block's size class, and a tag that marks the block live or released.
//     The header is how Release() finds the region, and it keeps every block
//     aligned to 16 bytes (enough for any scalar type).
//   * Small blocks (up to kMaxSmallBlock bytes) are rounded up to a size
//     class: multiples of 16 up to 128 bytes, then four classes per power of
//     two (160, 192, 224, 256, 320, ...) up to 4096 bytes, so rounding wastes
//     at most a quarter. Each class has a free list threaded through the
//     released blocks; Allocate() pops from it before it carves new space.
//   * Chunks are taken from the global heap, the first 1 KiB and each further
//     one twice the size of the one before, up to 64 KiB, so a region that
//     holds little costs little and a large one costs one heap call per
//     64 KiB. The tail of a chunk that is too short for a request is left
//     unused. A destroyed region's 64 KiB chunks go to a process-wide cache
//     (up to 16 MiB, guarded by a mutex) from which new chunks are taken
//     first, so that regions made and destroyed in turn reuse warm memory.
//   * Larger blocks are taken from the global heap one by one and kept on a
//     doubly linked list of the region, so that Release() frees them at once
//     and the region's destructor frees those still held.
//   * No system call or lock is taken per block: a region is used from one
//     thread at a time.
//
// DefaultHeap() is the process-wide region that a null region stands for.
// It is heap-backed (made with OmMemoryRegion(true)): every block is a
// separate global-heap allocation with the same header, released to the heap
// at once. It may therefore be used from several threads, like the global
// heap itself, and it is never destroyed.
//
// WorkingRelease(false) tells an arena that it is about to be destroyed:
// from then on Release() of its blocks skips the free lists, because the
// destructor frees all of the region's memory anyway.
//
// In builds with AddressSanitizer the free space of chunks and every released
// block are poisoned, so a use after Release() is reported even though the
// memory stays in the region. Release() checks the header tag and aborts on
// a block of an arena that is released twice.
//
// Allocation failure is reported as std::bad_alloc.
//
// Failure injection, for tests: FailAfter(n) makes the allocation after the
// next n fail with std::bad_alloc. It counts calls of Allocate() on every
// region, arenas and heap-backed ones alike, and calls of
// ShouldFailAllocation(), through which a test's replacement of the global
// operator new can share the one countdown. While the countdown is off, as
// it is unless a test sets it, Allocate() pays one well-predicted branch.

#ifndef OMTREE_PLATFORM_OMCELL_OMMEMORYREGION_H_
#define OMTREE_PLATFORM_OMCELL_OMMEMORYREGION_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "omcell/Export.h"

// Sanitizer builds keep every block operation in the library, which
// poisons released blocks.
#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OMCELL_REGION_CHECKED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__) && !defined(OMCELL_REGION_CHECKED)
#define OMCELL_REGION_CHECKED 1
#endif

namespace omcell_detail {

// Bytes of the largest block carved from a region's chunks.
constexpr std::size_t kMaxSmallBlock = 4096;

// Size class of a small request rounded up to 16 bytes: multiples of 16 up
// to 128, then four classes per power of two.
constexpr int SizeClassOfRounded(std::size_t rounded) {
  if (rounded <= 128) return static_cast<int>(rounded / 16) - 1;
  int exponent = 0;  // floor(log2(rounded - 1)), at least 7 here
  for (std::size_t value = rounded - 1; value > 1; value >>= 1)
    ++exponent;
  const std::size_t step = std::size_t{1} << (exponent - 2);
  const std::size_t quarter = (rounded - 1) / step;  // 4 to 7
  return 8 + (exponent - 7) * 4 + static_cast<int>(quarter - 4);
}

using SizeClassTable = std::array<std::uint8_t, kMaxSmallBlock / 16 + 1>;

constexpr SizeClassTable MakeSizeClassTable() {
  SizeClassTable table{};
  for (std::size_t slot = 0; slot < table.size(); ++slot) {
    table[slot] = static_cast<std::uint8_t>(SizeClassOfRounded(slot == 0 ? 16 : slot * 16));
  }
  return table;
}

}  // namespace omcell_detail

class OMCELL_EXPORT OmMemoryRegion {
 public:
  // Bytes of the largest block that is carved from the region's chunks;
  // larger blocks are separate heap allocations owned by the region.
  static constexpr std::size_t kMaxSmallBlock = omcell_detail::kMaxSmallBlock;

  // Alignment of every block that Allocate() returns.
  static constexpr std::size_t kAlignment = 16;

  // heapBacked false makes an arena, the only kind that callers create;
  // true makes a region whose blocks come straight from the global heap (the
  // kind of DefaultHeap()).
  explicit OmMemoryRegion(bool heapBacked);

  // Frees every chunk and every large block of the region. Blocks that were
  // not released become invalid.
  ~OmMemoryRegion();

  OmMemoryRegion(const OmMemoryRegion&) = delete;
  OmMemoryRegion& operator=(const OmMemoryRegion&) = delete;

  // Returns a block of at least size bytes, aligned to kAlignment. A size of
  // zero yields a distinct smallest block.
  //
  // Allocate() and Release() are inline for their common case, a small
  // block taken from or put on a free list of an arena while no failure is
  // pending; everything else crosses into the library. Builds with
  // AddressSanitizer always cross, so that the library poisons and
  // unpoisons the blocks: build a program and this library with the same
  // sanitizer setting.
  void* Allocate(std::size_t size) {
#if !defined(OMCELL_REGION_CHECKED)
    if (size <= kMaxSmallBlock && !_heapBacked && _failureCountdown < 0) {
      const int sizeClass = kClassOfSlot[(size + 15) / 16];
      void* block = _freeLists[sizeClass];
      if (block != nullptr) {
        // A listed block keeps the header it was carved with.
        _freeLists[sizeClass] = *static_cast<void**>(block);
        (static_cast<BlockHeader*>(block) - 1)->tag = kLiveTag;
        ++_blocksInUse;
        return block;
      }
    }
#endif
    return AllocateOutOfLine(size);
  }

  // Returns block, which Allocate() of any region returned, to that region.
  // A null block is ignored.
  static void Release(void* block) {
#if !defined(OMCELL_REGION_CHECKED)
    if (block == nullptr) return;
    BlockHeader* header = static_cast<BlockHeader*>(block) - 1;
    OmMemoryRegion* region = header->region;
    if (header->tag == kLiveTag && header->sizeClass < kSmallClassCount &&
        region->_workingRelease) {
      header->tag = kReleasedTag;
      *static_cast<void**>(block) = region->_freeLists[header->sizeClass];
      region->_freeLists[header->sizeClass] = block;
      --region->_blocksInUse;
      return;
    }
#endif
    ReleaseOutOfLine(block);
  }

  // The process-wide heap-backed region that a null region stands for.
  static OmMemoryRegion* DefaultHeap();

  // Hands the chunks that destroyed regions left in the process-wide cache
  // back to the global heap, as malloc_trim does for the heap's own free
  // memory: for a program that has dropped its tables and wants the memory
  // back, and for measurements of heap use. Safe from any thread.
  static void ReleaseCachedChunks();

  // The region from which block was allocated.
  // REQUIRES: block came from Allocate() and has not been released.
  static OmMemoryRegion* Of(const void* block);

  // False: Release() of this region's blocks stops maintaining the free
  // lists, because the region is about to be destroyed. True restores the
  // normal behaviour.
  void WorkingRelease(bool working);

  // Sets the process-wide failure countdown: allocations succeed until
  // `allocations` of them have been counted, and the one after them throws
  // std::bad_alloc; the countdown then switches itself off, so a single
  // allocation fails. A negative count switches it off at once (the
  // default). Returns what was left of the previous countdown: the number of
  // allocations it would still have let through, or -1 when it was off or
  // had fired.
  //
  // A test facility: the countdown is a plain variable, read by every
  // Allocate() and written here without synchronisation, so set it only
  // while a single thread allocates.
  static long FailAfter(long allocations);

  // Counts one allocation against the countdown of FailAfter() and returns
  // true when it is the one that must fail. Allocate() calls it; a test's
  // replacement of the global operator new may call it too.
  static bool ShouldFailAllocation();

  // Statistics of an arena, for tests and benchmarks. The heap-backed region
  // keeps none and reports 0 for both.
  //   BlocksInUse(): blocks allocated and not yet released.
  //   BytesReserved(): bytes that the region holds from the global heap
  //   (chunks and large blocks, headers included).
  std::size_t BlocksInUse() const {
    return _blocksInUse;
  }
  std::size_t BytesReserved() const {
    return _bytesReserved;
  }

 private:
  // Precedes every block.
  struct BlockHeader {
    OmMemoryRegion* region;
    std::uint32_t sizeClass;
    std::uint32_t tag;
  };
  struct LargeBlock;
  struct Chunk;

  static constexpr int kSmallClassCount = 28;
  static constexpr std::uint32_t kLiveTag = 0x4C495645;      // "LIVE"
  static constexpr std::uint32_t kReleasedTag = 0x46524545;  // "FREE"

  // Size class of every small request, indexed by the request rounded up to
  // 16 bytes and divided by 16.
  static constexpr omcell_detail::SizeClassTable kClassOfSlot = omcell_detail::MakeSizeClassTable();

  static std::size_t ClassBytes(int sizeClass);

  void* AllocateOutOfLine(std::size_t size);
  static void ReleaseOutOfLine(void* block);
  void* AllocateSmall(int sizeClass);
  void* AllocateLarge(std::size_t size);
  void* AllocateFromHeap(std::size_t size);
  void* CarveFromChunk(std::size_t blockBytes);
  void ReleaseBlock(BlockHeader* header);

  // The countdown of FailAfter(): negative while off.
  static long _failureCountdown;

  // Fixed at construction.
  const bool _heapBacked;

  // Changed by WorkingRelease().
  bool _workingRelease = true;

  // Arena state, changed by Allocate() and Release().
  void* _freeLists[kSmallClassCount] = {};
  Chunk* _chunks = nullptr;
  char* _chunkCursor = nullptr;
  char* _chunkLimit = nullptr;
  std::size_t _nextChunkBytes;
  LargeBlock* _largeBlocks = nullptr;
  std::size_t _blocksInUse = 0;
  std::size_t _bytesReserved = 0;
};

#endif  // OMTREE_PLATFORM_OMCELL_OMMEMORYREGION_H_
