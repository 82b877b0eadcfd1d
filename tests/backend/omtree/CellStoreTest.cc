#include "backend/omtree/CellStore.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using omtree_internal::AddLevel;
using omtree_internal::DeleteCell;
using omtree_internal::DestroyStore;
using omtree_internal::PointerVector;
using omtree_internal::ReachSlot;

// The node sizes the growth rule dictates, and pruning that keeps the root.
TEST(OmCellStore, NodesGrowByTheirRuleAndEmptyNodesArePruned) {
  OmMemoryRegion region(false);
  PointerVector* root = nullptr;
  OmStringCell cell("x", nullptr, false);

  ReachSlot(root, {3}, &region) = cell.Clone(&region);
  EXPECT_EQ(root->slots.capacity(), 4u);
  EXPECT_EQ(root->slots.size(), 4u);
  ReachSlot(root, {6}, &region);
  EXPECT_EQ(root->slots.capacity(), 8u) << "6 is within twice the capacity: the ordinary rule";
  ReachSlot(root, {100}, &region);
  EXPECT_EQ(root->slots.capacity(), 101u) << "a jump past twice the capacity: exactly s+1";
  EXPECT_EQ(root->slots.size(), 101u);
  DestroyStore(root, 1);
  EXPECT_EQ(region.BlocksInUse(), 0u);

  root = nullptr;
  ReachSlot(root, {2, 1}, &region) = cell.Clone(&region);
  const std::size_t withCell = region.BlocksInUse();
  DeleteCell(root, {0, 0});  // never set: nothing happens
  EXPECT_EQ(region.BlocksInUse(), withCell);
  DeleteCell(root, {2, 1});
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->slots[1], nullptr) << "the emptied leaf is gone";
  EXPECT_EQ(region.BlocksInUse(), 2u) << "the root node and its block stay";

  ReachSlot(root, {2, 1}, &region) = cell.Clone(&region);
  AddLevel(root, &region);
  EXPECT_EQ(omtree_internal::FindCell(root, {2, 1, 0})->AsString(), "x");
  EXPECT_EQ(omtree_internal::FindCell(root, {2, 1, 1}), nullptr);
  DestroyStore(root, 3);
  EXPECT_EQ(region.BlocksInUse(), 0u);
}

}  // namespace
