#include "omcell/OmMemoryRegion.h"

#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <set>
#include <thread>
#include <vector>

namespace {

bool Aligned(const void* block) {
  return reinterpret_cast<std::uintptr_t>(block) % OmMemoryRegion::kAlignment == 0;
}

TEST(OmMemoryRegionReuse, ReleasedBlocksServeLaterRequestsOfTheirClass) {
  OmMemoryRegion region(false);
  void* a = region.Allocate(40);
  void* b = region.Allocate(40);
  OmMemoryRegion::Release(a);
  EXPECT_EQ(region.Allocate(33), a) << "33 and 40 bytes share the 48-byte class";
  OmMemoryRegion::Release(b);
  EXPECT_NE(region.Allocate(200), b) << "a 200-byte request needs another class";

  // A large block goes back to the heap at once.
  const std::size_t reserved = region.BytesReserved();
  void* large = region.Allocate(1 << 20);
  EXPECT_GE(region.BytesReserved(), reserved + (1 << 20));
  OmMemoryRegion::Release(large);
  EXPECT_EQ(region.BytesReserved(), reserved);
}

TEST(OmMemoryRegionReuse, WorkingReleaseOffStopsReuse) {
  OmMemoryRegion region(false);
  void* a = region.Allocate(64);
  region.WorkingRelease(false);
  OmMemoryRegion::Release(a);
  EXPECT_EQ(region.BlocksInUse(), 0u);
  EXPECT_NE(region.Allocate(64), a);
}

TEST(OmMemoryRegionBlocks, BlocksAreAlignedDisjointAndKnowTheirRegion) {
  std::mt19937 random(7);
  OmMemoryRegion first(false);
  OmMemoryRegion second(false);
  struct Block {
    unsigned char* bytes;
    std::size_t size;
    OmMemoryRegion* region;
  };
  std::vector<Block> blocks;
  for (int i = 0; i < 3000; ++i) {
    std::size_t size = random() % 300;
    if (i % 100 == 0) size = 4000 + random() % 20000;  // some large blocks
    OmMemoryRegion* region = i % 2 == 0 ? &first : &second;
    auto* bytes = static_cast<unsigned char*>(region->Allocate(size));
    ASSERT_TRUE(Aligned(bytes)) << size;
    std::memset(bytes, i & 0xFF, size);
    blocks.push_back({bytes, size, region});
    if (random() % 3 == 0) {  // release a random earlier block, unnamed
      const std::size_t victim = random() % blocks.size();
      OmMemoryRegion::Release(blocks[victim].bytes);
      blocks.erase(blocks.begin() + static_cast<long>(victim));
    }
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    EXPECT_EQ(OmMemoryRegion::Of(blocks[i].bytes), blocks[i].region);
  }
  // Refill every block with its own index and read all back: overlapping
  // blocks would overwrite each other.
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    std::memset(blocks[i].bytes, static_cast<int>(i % 251), blocks[i].size);
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    const unsigned char expected = static_cast<unsigned char>(i % 251);
    ASSERT_TRUE(std::all_of(blocks[i].bytes, blocks[i].bytes + blocks[i].size,
                            [&](unsigned char byte) { return byte == expected; }))
        << "block " << i;
  }
  const auto in_first = static_cast<std::size_t>(std::count_if(
      blocks.begin(), blocks.end(), [&](const Block& block) { return block.region == &first; }));
  EXPECT_EQ(first.BlocksInUse(), in_first);
  EXPECT_EQ(second.BlocksInUse(), blocks.size() - in_first);
  // The regions are destroyed with most blocks unreleased; the leak checker
  // of the sanitizer build fails the test if that loses memory.
}

TEST(OmMemoryRegionBlocks, ZeroBytesYieldDistinctBlocks) {
  OmMemoryRegion region(false);
  std::set<void*> blocks;
  for (int i = 0; i < 10; ++i)
    blocks.insert(region.Allocate(0));
  EXPECT_EQ(blocks.size(), 10u);
}

TEST(OmMemoryRegionChunks, SmallBlocksShareChunksThatGrowGeometrically) {
  OmMemoryRegion region(false);
  for (int i = 0; i < 10000; ++i)
    region.Allocate(48);
  // 10,000 blocks of 64 bytes with headers take 640,000 bytes: about ten
  // 64 KiB chunks after the growing ones, never one heap block each.
  EXPECT_GE(region.BytesReserved(), 640000u);
  EXPECT_LT(region.BytesReserved(), 640000u + 2 * 64 * 1024);
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
  EXPECT_EQ(OmMemoryRegion::DefaultHeap(), heap);
  auto churn = [heap] {
    std::vector<void*> blocks;
    for (int i = 0; i < 20000; ++i) {
      blocks.push_back(heap->Allocate(static_cast<std::size_t>(i % 512)));
      if (i % 3 == 0) {
        OmMemoryRegion::Release(blocks.back());
        blocks.pop_back();
      }
    }
    for (void* block : blocks) {
      if (OmMemoryRegion::Of(block) != heap) std::abort();
      OmMemoryRegion::Release(block);
    }
  };
  std::thread other(churn);
  churn();
  other.join();
  EXPECT_EQ(heap->BlocksInUse(), 0u);
}

TEST(OmMemoryRegionDeathTest, ReleasingABlockTwiceAborts) {
  EXPECT_DEATH(
      {
        OmMemoryRegion region(false);
        void* block = region.Allocate(24);
        OmMemoryRegion::Release(block);
        OmMemoryRegion::Release(block);
      },
      "is not a live block");
}

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
TEST(OmMemoryRegionDeathTest, UseAfterReleaseIsReportedInSanitizedBuilds) {
  EXPECT_DEATH(
      {
        OmMemoryRegion region(false);
        auto* block = static_cast<volatile char*>(region.Allocate(24));
        OmMemoryRegion::Release(const_cast<char*>(block));
        block[3] = 1;
      },
      "use-after-poison");
}
#endif
#endif

}  // namespace
