#include "backend/tables/ListTree.h"

#include <algorithm>
#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/tables/Assertion.h"
#include "gmock/gmock.h"
#include "gtest/gtest.h"

namespace {

using ::testing::ElementsAre;

using Tree = ListTree<int>;
using Node = Tree::Node;
using ConstNode = Tree::ConstNode;

// The reference model of a tree: its (level, item) entries in list order.
// std::pair orders by level, then item, as the entries do.
using Model = std::vector<std::pair<int, int>>;

Model Entries(const Tree& tree) {
  Model entries;
  for (const ListTreeData<int>& entry : tree.List()) {
    entries.emplace_back(entry.level, entry.item);
  }
  return entries;
}

// A tree with the given levels; each entry's item is its index.
Tree MakeTree(const std::vector<int>& levels) {
  Tree tree;
  for (int level : levels) {
    tree.List().emplace_back(level, tree.Size());
  }
  return tree;
}

Node At(Tree& tree, int index) {
  return Node(&tree, std::next(tree.List().begin(), index));
}

Node End(Tree& tree) {
  return Node(&tree, tree.List().end());
}

// The position just past the subtree of entry index: the model's answer to
// NextSibling(), ChildrenEnd() and the end of Prune.
int SubtreeEnd(const Model& model, int index) {
  int end = index + 1;
  while (end < static_cast<int>(model.size()) && model[end].first > model[index].first) {
    ++end;
  }
  return end;
}

TEST(ListTreeShape, EmptyAndOneItemTreesAndCachedLevels) {
  Tree empty;
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(empty.Root(), End(empty));
  EXPECT_EQ(empty.Root().Level(), 0);
  const Tree& const_empty = empty;
  EXPECT_EQ(const_empty.Root(), ConstNode(&const_empty, const_empty.List().end()));

  const int item = 7;  // The model test makes its trees from non-const items.
  EXPECT_THAT(Entries(Tree(item)), ElementsAre(std::make_pair(0, 7)));

  // NextSibling() steps past the subtree, to a lower level or the end, and
  // keeps the cached level; ChildrenEnd() caches the children's level.
  Tree tree = MakeTree({0, 1, 2, 2, 1});
  Node node = At(tree, 1);
  EXPECT_EQ(node.NextSibling(), At(tree, 4));
  EXPECT_EQ(node.NextSibling(), End(tree));
  EXPECT_EQ(node.Level(), 1);
  EXPECT_EQ(At(tree, 1).ChildrenEnd().Level(), 2);
}

TEST(ListTreeSurgery, FlattenReadsTheEntryLevelAndPruneTheCachedLevel) {
  Tree tree = MakeTree({0, 1, 2, 2, 1, 2});
  Node end = End(tree);
  tree.Flatten(end);
  tree.Prune(end);
  EXPECT_EQ(Entries(tree), Entries(MakeTree({0, 1, 2, 2, 1, 2})));

  // ChildrenEnd() of entry 1 names entry 4 (level 1) but caches level 2:
  // Flatten goes by the entry's level, Prune by the cached one.
  Node stale = At(tree, 1).ChildrenEnd();
  tree.Flatten(stale);
  EXPECT_EQ(Entries(tree), Entries(MakeTree({0, 1, 2, 2, 1, 1})));

  tree = MakeTree({0, 1, 2, 2, 1, 2});
  tree.Prune(At(tree, 1).ChildrenEnd());
  EXPECT_THAT(Entries(tree),
              ElementsAre(std::make_pair(0, 0), std::make_pair(1, 1), std::make_pair(2, 2),
                          std::make_pair(2, 3), std::make_pair(2, 5)));
}

TEST(ListTreeCompare, PointerItemsCompareByAddress) {
  int objects[2] = {1, 1};
  ListTree<const int*> low(&objects[0]);
  ListTree<const int*> high(&objects[1]);
  EXPECT_TRUE(low < high && !(high < low) && low != high);
  EXPECT_TRUE(low == ListTree<const int*>(&objects[0]));
}

// Random level sequences over a tiny alphabet of items, so that long common
// prefixes and ties are frequent.
TEST(ListTreeCompare, AgreesWithLexicographicOrderOfEntries) {
  std::mt19937 rng(20240611);
  auto random_tree = [&rng]() {
    Tree tree;
    const int size = static_cast<int>(rng() % 5);
    int level = 0;
    for (int i = 0; i < size; ++i) {
      tree.List().emplace_back(level, static_cast<int>(rng() % 2));
      level = static_cast<int>(rng() % static_cast<unsigned>(level + 2));
    }
    return tree;
  };
  for (int round = 0; round < 2000; ++round) {
    const Tree a = random_tree();
    const Tree b = random_tree();
    const Model ma = Entries(a);
    const Model mb = Entries(b);
    ASSERT_EQ(a == b, ma == mb);
    ASSERT_EQ(a != b, ma != mb);
    ASSERT_EQ(a < b, std::lexicographical_compare(ma.begin(), ma.end(), mb.begin(), mb.end()));
  }
}

// Walks the whole tree through the node operations only (FirstChild,
// ChildrenEnd, NextSibling, IsLeaf, Parent) and returns the entries in the
// order visited, which must be list order.
template <typename TreeType>
Model WalkByChildren(TreeType& tree) {
  using NodeType = decltype(tree.Root());
  struct Frame {
    NodeType next;
    NodeType end;
    int parent;  // Index into walk of the frame's parent, or -1 at the top.
  };
  std::vector<NodeType> walk;
  Model entries;
  std::vector<Frame> stack{{tree.Root(), NodeType(&tree, tree.List().end()), -1}};
  while (!stack.empty()) {
    Frame& frame = stack.back();
    if (frame.next == frame.end) {
      stack.pop_back();
      continue;
    }
    const NodeType node = frame.next;
    frame.next.NextSibling();
    if (frame.parent >= 0) {
      EXPECT_EQ(node.Parent(), walk[frame.parent]);
    }
    EXPECT_EQ(!node.IsLeaf(), node.FirstChild() != node.ChildrenEnd());
    walk.push_back(node);
    entries.emplace_back(node.Level(), node.Item());
    if (!node.IsLeaf()) {
      stack.push_back({node.FirstChild(), node.ChildrenEnd(), static_cast<int>(walk.size()) - 1});
    }
  }
  return entries;
}

// Runs random operation sequences on two trees and on their reference
// models, comparing both trees with their models after every step.
TEST(ListTreeModel, RandomOperationsMatchTheReference) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    std::mt19937 rng(seed);
    auto uniform = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Tree trees[2];
    Model models[2];
    int next_item = 0;
    for (int step = 0; step < 1500; ++step) {
      const int which = uniform(2);
      Tree& tree = trees[which];
      Model& model = models[which];
      const int size = static_cast<int>(model.size());
      const int op = uniform(10);
      if (size == 0) {
        tree = Tree(next_item);
        model = {{0, next_item++}};
      } else if (op <= 3 && size < 80) {
        const int i = uniform(size);
        const Node child = At(tree, i).AppendChild(next_item);
        ASSERT_EQ(child, At(tree, SubtreeEnd(model, i)));
        model.insert(model.begin() + SubtreeEnd(model, i), {model[i].first + 1, next_item++});
      } else if (op == 4) {
        const int i = uniform(size);
        tree.Prune(At(tree, i));
        model.erase(model.begin() + i, model.begin() + SubtreeEnd(model, i));
      } else if (op == 5 || op == 6) {
        const int i = uniform(size);
        Node node = At(tree, i);
        const int end = SubtreeEnd(model, i);
        for (int j = i + 1; j < end; ++j) {
          --model[j].first;
        }
        if (op == 5) {
          tree.Flatten(node);
        } else {
          tree.Erase(node);
          model.erase(model.begin() + i);
        }
      } else if (op == 7) {
        // A run of whole sibling subtrees of the other tree goes in front of
        // a target (possibly the end) of the same level.
        Tree& source = trees[1 - which];
        Model& source_model = models[1 - which];
        const int t = uniform(size + 1);
        const int level = t == size ? 0 : model[t].first;
        std::vector<int> candidates;
        for (int j = 0; j < static_cast<int>(source_model.size()); ++j) {
          if (source_model[j].first == level) candidates.push_back(j);
        }
        if (candidates.empty()) continue;
        const int b = candidates[uniform(static_cast<int>(candidates.size()))];
        Node end = At(source, b);
        int e = b;
        do {
          end.NextSibling();
          e = SubtreeEnd(source_model, e);
        } while (e < static_cast<int>(source_model.size()) && source_model[e].first == level &&
                 uniform(2) == 0);
        ASSERT_EQ(end, e == static_cast<int>(source_model.size()) ? End(source) : At(source, e));
        const Tree::Position moved = At(source, b).ListPosition();
        tree.Move(t == size ? End(tree) : At(tree, t), At(source, b), end);
        ASSERT_EQ(moved, At(tree, t).ListPosition()) << "the moved entries' iterators stay valid";
        model.insert(model.begin() + t, source_model.begin() + b, source_model.begin() + e);
        source_model.erase(source_model.begin() + b, source_model.begin() + e);
      } else if (op == 8) {
        // Copy construction, assignment and self-assignment.
        const Tree copy(tree);
        trees[1 - which] = copy;
        Tree& alias = tree;
        tree = alias;
        models[1 - which] = model;
      } else {
        ASSERT_EQ(WalkByChildren(tree), model);
        ASSERT_EQ(WalkByChildren(static_cast<const Tree&>(tree)), model);
      }
      for (int k = 0; k < 2; ++k) {
        ASSERT_EQ(Entries(trees[k]), models[k]) << "seed " << seed << " step " << step;
        ASSERT_EQ(trees[k].Size(), static_cast<int>(models[k].size()));
      }
      ASSERT_EQ(trees[0] == trees[1], models[0] == models[1]);
      ASSERT_EQ(trees[0] < trees[1], models[0] < models[1]);
      ASSERT_EQ(trees[1] < trees[0], models[1] < models[0]);
    }
  }
}

void ThrowReport(const char* expression, const char* source, int line) {
  throw std::runtime_error(OmAssertion::Format(expression, source, line));
}

TEST(ListTreeMove, ChecksPreconditionsBeforeMovingAnything) {
  const OmAssertion::Handler previous = OmAssertion::SetHandler(&ThrowReport);
  Tree a = MakeTree({0, 1, 1});
  Tree b = MakeTree({0, 1});
  Tree c = MakeTree({0});
  const auto report = [&a](const Node& target, const Node& begin, const Node& end) {
    try {
      a.Move(target, begin, end);
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
    return std::string("no failure");
  };
  // Each case breaks one check only; were that check missing, a later one
  // would fail instead (or, for 505, the move would go through).
  EXPECT_EQ(report(At(b, 1), At(c, 0), End(c)),
            "Assertion failed: target._tree == this, file backend/tables/ListTree, line 503");
  EXPECT_EQ(report(At(a, 1), At(b, 0), End(a)),
            "Assertion failed: begin._tree == end._tree, file backend/tables/ListTree, line 504");
  EXPECT_EQ(
      report(At(a, 1), At(a, 2), End(a)),
      "Assertion failed: target._tree != begin._tree, file backend/tables/ListTree, line 505");
  EXPECT_EQ(report(At(a, 1), At(b, 0), End(b)),
            "Assertion failed: begin.Level() == target.Level(), file backend/tables/ListTree, "
            "line 506");
  OmAssertion::SetHandler(previous);
  EXPECT_EQ(Entries(a), Entries(MakeTree({0, 1, 1})));
  EXPECT_EQ(Entries(b), Entries(MakeTree({0, 1})));
  EXPECT_EQ(c.Size(), 1);
}

TEST(ListTreeMoveDeathTest, LevelMismatchReportsAndAborts) {
  Tree a = MakeTree({0, 1});
  Tree b = MakeTree({0, 1});
  EXPECT_DEATH(a.Move(At(a, 1), b.Root(), End(b)),
               "^Assertion failed: begin\\.Level\\(\\) == target\\.Level\\(\\), "
               "file backend/tables/ListTree, line 506\n$");
}

}  // namespace
