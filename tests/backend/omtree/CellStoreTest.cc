#include "backend/omtree/CellStore.h"

#include <gtest/gtest.h>

#include <map>
#include <new>
#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {

using omtree_internal::AddLevel;
using omtree_internal::DeleteCell;
using omtree_internal::DestroyStore;
using omtree_internal::FindCell;
using omtree_internal::OccupancyMatchesSlots;
using omtree_internal::PointerVector;
using omtree_internal::ReachLeaf;
using omtree_internal::Traversal;
using Index = std::vector<int>;

// Stores a clone of text at index, as the pivot table does.
void Store(PointerVector*& root, const Index& index, const OmCellText* text,
           OmMemoryRegion* region) {
  PointerVector* leaf = ReachLeaf(root, index, region);
  const std::size_t subscript = static_cast<std::size_t>(index[0]);
  delete static_cast<OmCellText*>(leaf->slots()[subscript]);
  leaf->Set(subscript, nullptr);
  if (text != nullptr) leaf->Set(subscript, text->Clone(region));
}

// The cells in traversal order, each as its index and text.
std::vector<std::pair<Index, std::string>> Walk(const PointerVector* root, std::size_t levels) {
  std::vector<std::pair<Index, std::string>> cells;
  Traversal traversal;
  for (First(root, levels, traversal); traversal.cell != nullptr; Advance(traversal)) {
    Index index;
    for (const Traversal::Level& level : traversal.levels)
      index.push_back(static_cast<int>(level.subscript));
    cells.emplace_back(index, traversal.cell->AsString());
  }
  return cells;
}

// The node sizes the growth rule dictates, and pruning that keeps the root.
TEST(OmCellStore, NodesGrowByTheirRuleAndEmptyNodesArePruned) {
  OmMemoryRegion region(false);
  PointerVector* root = nullptr;
  OmStringCell cell("x", nullptr, false);

  Store(root, {3}, &cell, &region);
  EXPECT_EQ(root->slots().capacity(), 4u);
  EXPECT_EQ(root->slots().size(), 4u);
  ReachLeaf(root, {6}, &region);
  EXPECT_EQ(root->slots().capacity(), 8u) << "6 is within twice the capacity: the ordinary rule";
  ReachLeaf(root, {100}, &region);
  EXPECT_EQ(root->slots().capacity(), 101u) << "a jump past twice the capacity: exactly s+1";
  EXPECT_EQ(root->slots().size(), 101u);
  ReachLeaf(root, {300}, &region);
  EXPECT_EQ(root->slots().capacity(), 301u);
  EXPECT_EQ(FindCell(root, {3})->AsString(), "x") << "the bits moved to a block of their own";
  EXPECT_TRUE(OccupancyMatchesSlots(root, 1));
  DestroyStore(root, 1);
  EXPECT_EQ(region.BlocksInUse(), 0u);

  root = nullptr;
  Store(root, {2, 1}, &cell, &region);
  const std::size_t withCell = region.BlocksInUse();
  DeleteCell(root, {0, 0});  // never set: nothing happens
  EXPECT_EQ(region.BlocksInUse(), withCell);
  DeleteCell(root, {2, 1});
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->slots()[1], nullptr) << "the emptied leaf is gone";
  EXPECT_TRUE(root->Empty());
  EXPECT_EQ(region.BlocksInUse(), 2u) << "the root node and its block stay";

  Store(root, {2, 1}, &cell, &region);
  AddLevel(root, &region);
  EXPECT_EQ(FindCell(root, {2, 1, 0})->AsString(), "x");
  EXPECT_EQ(FindCell(root, {2, 1, 1}), nullptr);
  EXPECT_TRUE(OccupancyMatchesSlots(root, 3));
  DestroyStore(root, 3);
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

// A failed allocation while a node and its bitmap grow leaves the store as
// it was, for each of the allocations that growth makes.
TEST(OmCellStore, FailedGrowthLeavesTheStoreAsItWas) {
  for (long allowed = 0; allowed < 2; ++allowed) {
    OmMemoryRegion region(false);
    PointerVector* root = nullptr;
    OmStringCell cell("x", nullptr, false);
    for (int s = 0; s < 40; s += 3)
      Store(root, {s}, &cell, &region);
    const auto before = Walk(root, 1);
    const std::size_t blocks = region.BlocksInUse();
    OmMemoryRegion::FailAfter(allowed);
    EXPECT_THROW(ReachLeaf(root, {200}, &region), std::bad_alloc);
    OmMemoryRegion::FailAfter(-1);
    EXPECT_EQ(region.BlocksInUse(), blocks);
    EXPECT_EQ(root->slots().size(), 40u);
    EXPECT_TRUE(OccupancyMatchesSlots(root, 1));
    EXPECT_EQ(Walk(root, 1), before);
    Store(root, {200}, &cell, &region);
    EXPECT_EQ(Walk(root, 1).back().first, Index{200});
    DestroyStore(root, 1);
  }
}

// Random set, set-null, delete and add-level against a std::map keyed in
// walk order (last subscript first), with subscripts that cross the 128-slot
// boundary between inline bits and a bitmap block. After every step the
// occupancy data, the contents and the traversal must agree with the map.
TEST(OmCellStore, RandomOperationsMatchAMap) {
  for (unsigned seed = 1; seed <= 3; ++seed) {
    std::mt19937 random(seed);
    OmMemoryRegion region(false);
    PointerVector* root = nullptr;
    std::size_t levels = seed;
    std::map<Index, std::string> model;  // keyed by the reversed index
    for (int step = 0; step < 1500; ++step) {
      Index index(levels);
      for (int& subscript : index)
        subscript = static_cast<int>(random() % 8 == 0 ? random() % 300 : random() % 70);
      const Index key(index.rbegin(), index.rend());
      const unsigned operation = random() % 16;
      if (operation < 8) {
        const OmStringCell text(std::to_string(step), nullptr, false);
        Store(root, index, &text, &region);
        model[key] = text.AsString();
      } else if (operation < 10) {
        Store(root, index, nullptr, &region);
        model.erase(key);
      } else if (operation < 15) {
        const Index victim = !model.empty() && random() % 3 != 0
                                 ? std::next(model.begin(), random() % model.size())->first
                                 : key;
        DeleteCell(root, Index(victim.rbegin(), victim.rend()));
        model.erase(victim);
      } else if (levels < 4) {
        AddLevel(root, &region);
        ++levels;
        std::map<Index, std::string> moved;
        for (auto& [old, text] : model) {
          Index longer{0};
          longer.insert(longer.end(), old.begin(), old.end());
          moved.emplace(longer, text);
        }
        model = std::move(moved);
      }
      ASSERT_TRUE(OccupancyMatchesSlots(root, levels)) << "step " << step;
      std::vector<std::pair<Index, std::string>> expected;
      for (const auto& [reversed, text] : model)
        expected.emplace_back(Index(reversed.rbegin(), reversed.rend()), text);
      ASSERT_EQ(Walk(root, levels), expected) << "step " << step;
      const OmCellText* found = FindCell(root, index);
      const auto stored = model.find(key);
      ASSERT_EQ(found != nullptr ? found->AsString() : "-",
                stored != model.end() ? stored->second : "-");
    }
    DestroyStore(root, levels);
    EXPECT_EQ(region.BlocksInUse(), 0u);
  }
}

}  // namespace
