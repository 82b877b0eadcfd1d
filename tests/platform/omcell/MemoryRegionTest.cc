// OmMemoryRegion: reuse by size class, disjoint aligned blocks, chunk
// growth and caching, the thread-safe default heap, and release checks.
#include "omcell/OmMemoryRegion.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <random>
#include <thread>
#include <tuple>
#include <vector>

namespace {

TEST(OmMemoryRegionReuse, ChunksGrowAndReleasedBlocksServeLaterRequestsOfTheirClass) {
  OmMemoryRegion region(false);
  for (int i = 0; i < 10000; ++i)
    region.Allocate(48);
  // 10,000 blocks of 64 bytes with headers take 640,000 bytes: about ten
  // 64 KiB chunks after the growing ones, never one heap block each.
  EXPECT_GE(region.BytesReserved(), 640000u);
  EXPECT_LT(region.BytesReserved(), 640000u + 2 * 64 * 1024);
  void* a = region.Allocate(40);
  void* b = region.Allocate(40);
  OmMemoryRegion::Release(a);
  EXPECT_EQ(region.Allocate(33), a) << "33 and 40 bytes share the 48-byte class";
  OmMemoryRegion::Release(b);
  EXPECT_NE(region.Allocate(200), b) << "a 200-byte request needs another class";
  EXPECT_NE(region.Allocate(0), region.Allocate(0)) << "zero bytes yield distinct blocks";

  // A large block goes back to the heap at once.
  const std::size_t reserved = region.BytesReserved();
  void* large = region.Allocate(1 << 20);
  EXPECT_GE(region.BytesReserved(), reserved + (1 << 20));
  OmMemoryRegion::Release(large);
  EXPECT_EQ(region.BytesReserved(), reserved);

  // A region about to be destroyed keeps no free lists.
  void* c = region.Allocate(64);
  region.WorkingRelease(false);
  OmMemoryRegion::Release(c);
  EXPECT_EQ(region.BlocksInUse(), 10004u) << "the 48-byte ones, the 33, the 200 and two empty";
  EXPECT_NE(region.Allocate(64), c);
}

TEST(OmMemoryRegionBlocks, BlocksAreAlignedDisjointAndKnowTheirRegion) {
  std::mt19937 random(7);
  OmMemoryRegion regions[2] = {OmMemoryRegion(false), OmMemoryRegion(false)};
  std::vector<std::tuple<unsigned char*, std::size_t, int>> blocks;  // bytes, size, region
  for (int i = 0; i < 3000; ++i) {
    std::size_t size = random() % 300;
    if (i % 100 == 0) size = 4000 + random() % 20000;  // some large blocks
    auto* bytes = static_cast<unsigned char*>(regions[i % 2].Allocate(size));
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(bytes) % OmMemoryRegion::kAlignment, 0u) << size;
    blocks.emplace_back(bytes, size, i % 2);
    if (random() % 3 == 0) {  // release a random earlier block, unnamed
      const auto victim = blocks.begin() + static_cast<long>(random() % blocks.size());
      OmMemoryRegion::Release(std::get<0>(*victim));
      blocks.erase(victim);
    }
  }
  // Fill every block with a mark made from its address and read all back:
  // overlapping blocks would overwrite each other.
  const auto mark = [](unsigned char* at) {
    return static_cast<unsigned char>(reinterpret_cast<std::uintptr_t>(at) >> 4);
  };
  std::size_t inUse[2] = {0, 0};
  for (auto& [bytes, size, region] : blocks) {
    std::memset(bytes, mark(bytes), size);
    ++inUse[region];
  }
  for (auto& [bytes, size, region] : blocks) {
    EXPECT_EQ(OmMemoryRegion::Of(bytes), &regions[region]);
    ASSERT_EQ(std::count(bytes, bytes + size, mark(bytes)), static_cast<std::ptrdiff_t>(size));
  }
  EXPECT_TRUE(regions[0].BlocksInUse() == inUse[0] && regions[1].BlocksInUse() == inUse[1]);
  // The regions are destroyed with most blocks unreleased; the leak checker
  // of the sanitizer build fails the test if that loses memory.
}

#if defined(__GLIBC__)
// A destroyed region's full chunks stay with the process for the next
// regions, and ReleaseCachedChunks hands them back to the heap.
TEST(OmMemoryRegionChunks, DestroyedRegionsChunksAreCachedUntilReleased) {
  // Sanitizers and valgrind bring heaps of their own that keep no glibc
  // statistics.
  const std::size_t probeBefore = mallinfo2().uordblks;
  std::vector<char> probe(100000, 1);
  if (mallinfo2().uordblks < probeBefore + probe.size()) GTEST_SKIP() << "no heap statistics";
  OmMemoryRegion::ReleaseCachedChunks();
  const std::size_t empty = mallinfo2().uordblks;
  std::size_t reserved = 0;
  {
    OmMemoryRegion region(false);
    for (int i = 0; i < 10000; ++i)
      std::memset(region.Allocate(48), 0xAB, 48);
    reserved = region.BytesReserved();
  }
  EXPECT_GE(mallinfo2().uordblks, empty + reserved - 64 * 1024) << "the chunks stay cached";
  {
    OmMemoryRegion region(false);
    for (int i = 0; i < 10000; ++i)
      std::memset(region.Allocate(48), 0xCD, 48);
    EXPECT_LT(mallinfo2().uordblks, empty + reserved + 64 * 1024)
        << "a new region takes the cached chunks before the heap's";
  }
  OmMemoryRegion::ReleaseCachedChunks();
  EXPECT_LT(mallinfo2().uordblks, empty + 64 * 1024);
}
#endif

TEST(OmMemoryRegionDefaultHeap, IsOneHeapBackedRegionUsableFromThreads) {
  OmMemoryRegion* heap = OmMemoryRegion::DefaultHeap();
  std::atomic<int> misplaced{0};
  auto churn = [&] {
    std::vector<void*> blocks;
    for (int i = 0; i < 20000; ++i) {
      void* block = heap->Allocate(static_cast<std::size_t>(i % 512));
      if (OmMemoryRegion::Of(block) != heap) ++misplaced;
      i % 3 == 0 ? OmMemoryRegion::Release(block) : blocks.push_back(block);
    }
    for (void* block : blocks)
      OmMemoryRegion::Release(block);
  };
  std::thread other(churn);
  churn();
  other.join();
  EXPECT_EQ(misplaced, 0);
}

TEST(OmMemoryRegionDeathTest, ReleasingABlockTwiceAborts) {
  OmMemoryRegion region(false);
  void* block = region.Allocate(24);
  OmMemoryRegion::Release(block);
  EXPECT_DEATH(OmMemoryRegion::Release(block), "is not a live block");
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
TEST(OmMemoryRegionDeathTest, UseAfterReleaseIsReportedInSanitizedBuilds) {
  OmMemoryRegion region(false);
  auto* block = static_cast<volatile char*>(region.Allocate(24));
  OmMemoryRegion::Release(const_cast<char*>(block));
  EXPECT_DEATH(block[3] = 1, "use-after-poison");
}
#endif
#endif

}  // namespace
