// OmVector against std::vector, plus bitwise relocation and aliasing.
#include "backend/omtree/cell/Vector.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

// Counts the copies and destructions that the vector performs, so that a
// relocation that goes through a constructor or destructor shows up.
struct Tracked {
  static inline int copies = 0;
  static inline int destructions = 0;
  explicit Tracked(int v) : value(v) {}
  Tracked(const Tracked& other) : value(other.value) { ++copies; }
  Tracked& operator=(const Tracked&) = delete;
  ~Tracked() { ++destructions; }
  int value;
};

std::vector<int> Contents(const OmVector<int>& vector) {
  return std::vector<int>(vector.begin(), vector.end());
}

TEST(OmVectorGrowth, RelocationMovesBytesWithoutCopiesOrDestructions) {
  OmMemoryRegion region(false);
  {
    OmVector<Tracked> vector(&region);
    for (int i = 0; i < 4; ++i)
      vector.push_back(Tracked(i));
    const Tracked* oldBlock = vector.begin();
    Tracked::copies = Tracked::destructions = 0;
    vector.push_back(Tracked(4));
    EXPECT_NE(vector.begin(), oldBlock) << "the four elements moved";
    vector.insert(vector.begin() + 1, Tracked(9));
    vector.erase(vector.begin() + 2, vector.begin() + 4);
    EXPECT_EQ(Tracked::copies, 2) << "only the new elements are copied in";
    EXPECT_EQ(Tracked::destructions, 4) << "the two temporaries and the two erased elements";
    Tracked::destructions = 0;
  }
  EXPECT_EQ(Tracked::destructions, 4);
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

TEST(OmVectorAliasing, ElementsOfTheVectorItselfAreSafeArguments) {
  OmVector<int> vector(nullptr, 2);
  EXPECT_EQ(OmMemoryRegion::Of(vector.begin()), OmMemoryRegion::DefaultHeap());
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
  OmMemoryRegion target(false);
  OmVector<int> vector(&region);
  std::vector<int> model;
  std::size_t expected_capacity = 0;
  for (int step = 0; step < 20000; ++step) {
    const int value = static_cast<int>(random() % 1000);
    const std::size_t size = model.size();
    const unsigned op = random() % 8;
    if (op <= 2) {  // push_back twice as often as an insertion anywhere
      const std::size_t at = op == 2 ? random() % (size + 1) : size;
      if (size == expected_capacity)
        for (expected_capacity = 4; expected_capacity <= size;)
          expected_capacity *= 2;
      op == 2 ? vector.insert(vector.begin() + at, value) : vector.push_back(value);
      model.insert(model.begin() + at, value);
    } else if (op <= 4 && size > 0) {  // erase one element, or a range
      const std::size_t first = random() % size;
      const std::size_t last = op == 3 ? first + 1 : first + random() % (size - first + 1);
      op == 3 ? vector.erase(vector.begin() + first)
              : vector.erase(vector.begin() + first, vector.begin() + last);
      model.erase(model.begin() + first, model.begin() + last);
    } else if (op == 5 || op == 6) {  // resize or reserve
      const std::size_t n = random() % 50;
      op == 5 ? vector.resize(n, value) : vector.reserve(n);
      model.resize(op == 5 ? n : model.size(), value);
      expected_capacity = std::max(expected_capacity, n);
    } else if (op == 7) {
      // A copy lives in its source's region; an assignment, which first
      // releases the old block, in its target's; self-assignment changes
      // nothing.
      OmVector<int>& alias = vector;
      vector = alias;
      const OmVector<int> copy(vector);
      ASSERT_TRUE(copy.region() == &region && copy.capacity() == model.size());
      OmVector<int> assigned(&target, 10);
      assigned = copy;
      ASSERT_TRUE(assigned.region() == &target && target.BlocksInUse() == (size == 0 ? 0u : 1u));
      vector = assigned;
      expected_capacity = model.size();
    }
    ASSERT_EQ(Contents(vector), model) << "step " << step;
    ASSERT_EQ(vector.capacity(), expected_capacity) << "step " << step;
    ASSERT_EQ(region.BlocksInUse(), expected_capacity == 0 ? 0u : 1u) << "step " << step;
  }
}

}  // namespace
