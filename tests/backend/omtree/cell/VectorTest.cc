#include "backend/omtree/cell/Vector.h"

#include <gtest/gtest.h>

#include <algorithm>
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
    EXPECT_EQ(Tracked::copies, 1) << "only the new element is copied in";
    EXPECT_EQ(Tracked::destructions, 1) << "only the argument temporary is destroyed";
    EXPECT_EQ(std::memcmp(before, static_cast<const void*>(vector.begin()), sizeof before), 0);

    Tracked::Reset();
    vector.insert(vector.begin() + 1, Tracked(9));
    vector.erase(vector.begin() + 2, vector.begin() + 4);
    EXPECT_EQ(Tracked::copies, 1);
    EXPECT_EQ(Tracked::destructions, 3) << "the temporary and the two erased elements";
    Tracked::Reset();
  }
  EXPECT_EQ(Tracked::destructions, 4);
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

TEST(OmVectorCopy, CopyLivesInTheSourceRegionAndAssignmentInTheTargets) {
  OmMemoryRegion source_region(false);
  OmMemoryRegion target_region(false);
  OmVector<int> source(&source_region);
  for (int i = 0; i < 3; ++i)
    source.push_back(i);

  const OmVector<int> copy(source);
  EXPECT_EQ(copy.region(), &source_region);
  EXPECT_EQ(source_region.BlocksInUse(), 2u);

  OmVector<int> target(&target_region, 10);
  target = source;
  EXPECT_EQ(target.region(), &target_region);
  EXPECT_EQ(target_region.BlocksInUse(), 1u);
  OmVector<int>& alias = target;
  target = alias;
  EXPECT_EQ(Contents(target), (std::vector<int>{0, 1, 2}));
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
// growth rule predicts and the one block the vector holds once it has room.
TEST(OmVectorModel, RandomOperationsMatchStdVector) {
  std::mt19937 random(20261205);
  OmMemoryRegion region(false);
  OmVector<int> vector(&region);
  std::vector<int> model;
  std::size_t expected_capacity = 0;
  EXPECT_EQ(vector.begin(), nullptr);
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
    const unsigned op = random() % 8;
    if (op <= 2) {  // push_back twice as often as an insertion anywhere
      const std::size_t at = op == 2 ? random() % (size + 1) : size;
      grow_if_full();
      if (op == 2) {
        vector.insert(vector.begin() + at, value);
      } else {
        vector.push_back(value);
      }
      model.insert(model.begin() + static_cast<long>(at), value);
    } else if (op <= 4 && size > 0) {  // erase one element, or a range
      const std::size_t first = random() % size;
      const std::size_t last = op == 3 ? first + 1 : first + random() % (size - first + 1);
      if (op == 3) {
        vector.erase(vector.begin() + first);
      } else {
        vector.erase(vector.begin() + first, vector.begin() + last);
      }
      model.erase(model.begin() + static_cast<long>(first),
                  model.begin() + static_cast<long>(last));
    } else if (op == 5 || op == 6) {  // resize or reserve
      const std::size_t n = random() % 50;
      if (op == 5) {
        vector.resize(n, value);
        model.resize(n, value);
      } else {
        vector.reserve(n);
      }
      expected_capacity = std::max(expected_capacity, n);
    } else if (op == 7) {
      OmVector<int> copy(vector);
      ASSERT_EQ(copy.capacity(), model.size());
      vector = copy;
      expected_capacity = model.size();
    }
    ASSERT_EQ(Contents(vector), model) << "step " << step;
    ASSERT_EQ(vector.capacity(), expected_capacity) << "step " << step;
    ASSERT_EQ(region.BlocksInUse(), expected_capacity == 0 ? 0u : 1u) << "step " << step;
  }
}

}  // namespace
