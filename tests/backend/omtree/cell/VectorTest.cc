#include "backend/omtree/cell/Vector.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

namespace {

// Counts the copies and destructions that the vector performs, so that a
// relocation that goes through a constructor or destructor shows up.
struct Tracked {
  static int copies;
  static int destructions;

  explicit Tracked(int v) : value(v) {}
  Tracked(const Tracked& other) : value(other.value) { ++copies; }
  Tracked& operator=(const Tracked&) = delete;
  ~Tracked() { ++destructions; }

  static void Reset() { copies = destructions = 0; }

  int value;
};
int Tracked::copies = 0;
int Tracked::destructions = 0;

std::vector<int> Contents(const OmVector<int>& vector) {
  return std::vector<int>(vector.begin(), vector.end());
}

TEST(OmVectorGrowth, AppendsGrowToFourTimesPowersOfTwo) {
  OmMemoryRegion region(false);
  OmVector<int> vector(&region);
  EXPECT_EQ(vector.begin(), nullptr);
  EXPECT_EQ(region.BlocksInUse(), 0u);

  std::vector<std::size_t> capacities;
  for (int i = 0; i < 33; ++i) {
    vector.push_back(i);
    capacities.push_back(vector.capacity());
  }
  EXPECT_EQ(capacities[0], 4u);
  EXPECT_EQ(capacities[3], 4u);
  EXPECT_EQ(capacities[4], 8u);
  EXPECT_EQ(capacities[8], 16u);
  EXPECT_EQ(capacities[16], 32u);
  EXPECT_EQ(capacities[32], 64u);
  EXPECT_EQ(region.BlocksInUse(), 1u) << "the old block goes back on every growth";

  // A capacity that is not 4 * 2^k grows to the next one above the count.
  OmVector<int> odd(&region, 5);
  for (int i = 0; i < 6; ++i)
    odd.push_back(i);
  EXPECT_EQ(odd.capacity(), 8u);
}

TEST(OmVectorGrowth, RelocationMovesBytesWithoutCopiesOrDestructions) {
  OmMemoryRegion region(false);
  {
    OmVector<Tracked> vector(&region);
    for (int i = 0; i < 4; ++i)
      vector.push_back(Tracked(i));
    unsigned char before[4 * sizeof(Tracked)];
    std::memcpy(before, static_cast<const void*>(vector.begin()), sizeof before);
    const Tracked* oldBlock = vector.begin();

    Tracked::Reset();
    vector.push_back(Tracked(4));
    EXPECT_NE(vector.begin(), oldBlock);
    EXPECT_EQ(vector.capacity(), 8u);
    EXPECT_EQ(Tracked::copies, 1) << "only the new element is copied in";
    EXPECT_EQ(Tracked::destructions, 1) << "only the argument temporary is destroyed";
    EXPECT_EQ(std::memcmp(before, static_cast<const void*>(vector.begin()), sizeof before), 0);

    Tracked::Reset();
    vector.insert(vector.begin() + 1, Tracked(9));
    vector.erase(vector.begin() + 2, vector.begin() + 4);
    EXPECT_EQ(Tracked::copies, 1);
    EXPECT_EQ(Tracked::destructions, 3) << "the temporary and the two erased elements";
    std::vector<int> values;
    for (const Tracked& element : vector)
      values.push_back(element.value);
    EXPECT_EQ(values, (std::vector<int>{0, 9, 3, 4}));
    Tracked::Reset();
  }
  EXPECT_EQ(Tracked::destructions, 4);
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

TEST(OmVectorCopy, CopyAndAssignmentFollowTheirRegionRules) {
  OmMemoryRegion source_region(false);
  OmMemoryRegion target_region(false);
  OmVector<int> source(&source_region);
  for (int i = 0; i < 3; ++i)
    source.push_back(i);

  const std::size_t blocks = source_region.BlocksInUse();
  OmVector<int> copy(source);
  EXPECT_EQ(copy.region(), &source_region);
  EXPECT_EQ(source_region.BlocksInUse(), blocks + 1);
  EXPECT_EQ(copy.capacity(), 3u);
  EXPECT_EQ(Contents(copy), Contents(source));

  OmVector<int> target(&target_region);
  for (int i = 0; i < 10; ++i)
    target.push_back(100 + i);
  target = source;
  EXPECT_EQ(Contents(target), (std::vector<int>{0, 1, 2}));
  EXPECT_EQ(target.capacity(), 3u);
  EXPECT_EQ(target.region(), &target_region);
  EXPECT_EQ(target_region.BlocksInUse(), 1u);

  OmVector<int>& alias = target;
  target = alias;
  EXPECT_EQ(Contents(target), (std::vector<int>{0, 1, 2}));

  OmVector<int> empty(&target_region);
  target = empty;
  EXPECT_EQ(target.begin(), nullptr);
  EXPECT_EQ(target.capacity(), 0u);
  EXPECT_EQ(target_region.BlocksInUse(), 0u);
}

TEST(OmVectorResize, ReservesExactlyAndShrinksByErasing) {
  OmMemoryRegion region(false);
  OmVector<int> vector(&region);
  vector.resize(6, -1);
  EXPECT_EQ(vector.capacity(), 6u);
  EXPECT_EQ(Contents(vector), std::vector<int>(6, -1));
  vector.resize(2, 0);
  EXPECT_EQ(Contents(vector), (std::vector<int>{-1, -1}));
  EXPECT_EQ(vector.capacity(), 6u);
}

TEST(OmVectorRegion, NullRegionMeansTheDefaultHeap) {
  OmVector<int> vector(nullptr, 2);
  EXPECT_EQ(vector.region(), OmMemoryRegion::DefaultHeap());
  EXPECT_EQ(OmMemoryRegion::Of(vector.begin()), OmMemoryRegion::DefaultHeap());
}

TEST(OmVectorAliasing, ElementsOfTheVectorItselfAreSafeArguments) {
  OmMemoryRegion region(false);
  OmVector<int> vector(&region);
  for (int i = 0; i < 4; ++i)
    vector.push_back(i);
  vector.push_back(vector[1]);  // full: the block holding the argument goes
  vector.insert(vector.begin(), vector[4]);
  vector.insert(vector.begin() + 2, vector[5]);
  EXPECT_EQ(Contents(vector), (std::vector<int>{1, 0, 1, 1, 2, 3, 1}));
  vector.resize(20, vector[6]);
  EXPECT_EQ(vector[19], 1);
}

// Random operation sequences against std::vector, with the capacity that the
// growth rule predicts.
TEST(OmVectorModel, RandomOperationsMatchStdVector) {
  std::mt19937 random(20261205);
  OmMemoryRegion region(false);
  OmVector<int> vector(&region);
  std::vector<int> model;
  std::size_t expected_capacity = 0;
  auto grow_if_full = [&] {
    if (model.size() == expected_capacity) {
      std::size_t grown = 4;
      while (grown <= model.size())
        grown *= 2;
      expected_capacity = grown;
    }
  };

  for (int step = 0; step < 20000; ++step) {
    const int value = static_cast<int>(random() % 1000);
    const std::size_t size = model.size();
    switch (random() % 8) {
      case 0:
      case 1:
        grow_if_full();
        vector.push_back(value);
        model.push_back(value);
        break;
      case 2: {
        const std::size_t at = random() % (size + 1);
        grow_if_full();
        vector.insert(vector.begin() + at, value);
        model.insert(model.begin() + static_cast<long>(at), value);
        break;
      }
      case 3:
        if (size > 0) {
          const std::size_t at = random() % size;
          vector.erase(vector.begin() + at);
          model.erase(model.begin() + static_cast<long>(at));
        }
        break;
      case 4:
        if (size > 0) {
          const std::size_t first = random() % size;
          const std::size_t last = first + random() % (size - first + 1);
          vector.erase(vector.begin() + first, vector.begin() + last);
          model.erase(model.begin() + static_cast<long>(first),
                      model.begin() + static_cast<long>(last));
        }
        break;
      case 5: {
        const std::size_t n = random() % 40;
        vector.resize(n, value);
        model.resize(n, value);
        if (n > expected_capacity) expected_capacity = n;
        break;
      }
      case 6: {
        const std::size_t n = random() % 60;
        vector.reserve(n);
        if (n > expected_capacity) expected_capacity = n;
        break;
      }
      case 7: {
        OmVector<int> copy(vector);
        ASSERT_EQ(copy.capacity(), model.size());
        vector = copy;
        expected_capacity = model.size();
        break;
      }
    }
    ASSERT_EQ(Contents(vector), model) << "step " << step;
    ASSERT_EQ(vector.capacity(), expected_capacity) << "step " << step;
  }
}

}  // namespace
