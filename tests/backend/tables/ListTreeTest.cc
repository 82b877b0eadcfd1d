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

std::vector<int> Levels(const Tree& tree) {
  std::vector<int> levels;
  for (const ListTreeData<int>& entry : tree.List()) {
    levels.push_back(entry.level);
  }
  return levels;
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

TEST(ListTreeShape, EmptyAndOneItemTrees) {
  Tree empty;
  EXPECT_EQ(empty.Size(), 0);
  EXPECT_EQ(empty.Root(), End(empty));
  EXPECT_EQ(empty.Root().Level(), 0);
  const Tree& const_empty = empty;
  EXPECT_EQ(const_empty.Root(), ConstNode(&const_empty, const_empty.List().end()));

  int item = 7;
  const int const_item = 7;
  Tree from_lvalue(item);
  Tree from_const(const_item);
  EXPECT_THAT(Entries(from_lvalue), ElementsAre(std::make_pair(0, 7)));
  EXPECT_TRUE(from_lvalue == from_const);
  EXPECT_TRUE(from_lvalue.Root().IsLeaf());
  EXPECT_EQ(from_lvalue.Root().ChildrenEnd(), End(from_lvalue));
}

TEST(ListTreeShape, ChildWalksFollowLevels) {
  Tree tree = MakeTree({0, 1, 2, 2, 1});
  Node first = At(tree, 1);
  Node next = first;
  EXPECT_EQ(next.NextSibling(), At(tree, 4));
  EXPECT_EQ(next.Level(), 1);
  EXPECT_EQ(next.NextSibling(), End(tree));

  // The end mark names the entry after the subtree but caches the children's
  // level; nodes compare by position alone.
  Node children_end = first.ChildrenEnd();
  EXPECT_EQ(children_end.Level(), 2);
  EXPECT_EQ(children_end, At(tree, 4));
  EXPECT_FALSE(children_end != At(tree, 4));

  std::vector<int> children;
  for (Node child = first.FirstChild(); child != first.ChildrenEnd(); child.NextSibling()) {
    children.push_back(child.Item());
    EXPECT_EQ(child.Parent(), first);
    EXPECT_TRUE(child.IsLeaf());
  }
  EXPECT_THAT(children, ElementsAre(2, 3));
  EXPECT_FALSE(first.IsLeaf());
  EXPECT_TRUE(At(tree, 4).IsLeaf());
  EXPECT_EQ(At(tree, 4).Parent(), tree.Root());
  EXPECT_EQ(At(tree, 4).FirstChild(), At(tree, 4).ChildrenEnd());

  const Tree& const_tree = tree;
  ConstNode root = const_tree.Root();
  std::vector<int> top;
  for (ConstNode child = root.FirstChild(); child != root.ChildrenEnd(); child.NextSibling()) {
    top.push_back(child.Item());
    EXPECT_EQ(child.Parent(), root);
  }
  EXPECT_THAT(top, ElementsAre(1, 4));
}

TEST(ListTreeShape, AppendChildGoesAfterLastDescendant) {
  Tree tree = MakeTree({0, 1, 2, 2, 1});
  Node child = At(tree, 1).AppendChild(10);
  EXPECT_EQ(child.Level(), 2);
  EXPECT_EQ(child.Parent(), At(tree, 1));
  At(tree, 2).AppendChild(11);
  tree.Root().AppendChild(12).Item() = 13;
  EXPECT_THAT(Entries(tree),
              ElementsAre(std::make_pair(0, 0), std::make_pair(1, 1), std::make_pair(2, 2),
                          std::make_pair(3, 11), std::make_pair(2, 3), std::make_pair(2, 10),
                          std::make_pair(1, 4), std::make_pair(1, 13)));
}

TEST(ListTreeSurgery, EraseLiftsChildrenOneLevel) {
  Tree tree = MakeTree({0, 1, 2, 3, 2, 1});
  Node node = At(tree, 1);
  tree.Erase(node);
  EXPECT_THAT(Entries(tree),
              ElementsAre(std::make_pair(0, 0), std::make_pair(1, 2), std::make_pair(2, 3),
                          std::make_pair(1, 4), std::make_pair(1, 5)));
}

TEST(ListTreeSurgery, FlattenReadsTheEntryLevelAndPruneTheCachedLevel) {
  Tree tree = MakeTree({0, 1, 2, 2, 1, 2});
  Node leaf = At(tree, 2);
  tree.Flatten(leaf);
  Node end = End(tree);
  tree.Flatten(end);
  EXPECT_THAT(Levels(tree), ElementsAre(0, 1, 2, 2, 1, 2));

  // ChildrenEnd() of entry 1 names entry 4 (level 1) but caches level 2:
  // Flatten goes by the entry's level, Prune by the cached one.
  Node stale = At(tree, 1).ChildrenEnd();
  tree.Flatten(stale);
  EXPECT_THAT(Levels(tree), ElementsAre(0, 1, 2, 2, 1, 1));

  tree = MakeTree({0, 1, 2, 2, 1, 2});
  tree.Prune(At(tree, 1).ChildrenEnd());
  EXPECT_THAT(Entries(tree),
              ElementsAre(std::make_pair(0, 0), std::make_pair(1, 1), std::make_pair(2, 2),
                          std::make_pair(2, 3), std::make_pair(2, 5)));
}

TEST(ListTreeSurgery, PruneRemovesWholeBranches) {
  Tree tree = MakeTree({0, 1, 2, 2, 1});
  tree.Prune(At(tree, 3));
  EXPECT_THAT(Levels(tree), ElementsAre(0, 1, 2, 1));
  tree.Prune(At(tree, 1));
  EXPECT_THAT(Entries(tree), ElementsAre(std::make_pair(0, 0), std::make_pair(1, 4)));
  tree.Prune(tree.Root());
  EXPECT_EQ(tree.Size(), 0);
}

TEST(ListTreeSurgery, MoveSplicesSiblingRunBeforeTarget) {
  Tree source = MakeTree({0, 1, 2, 1, 2, 1});
  Tree target;
  for (int item : {100, 101, 102}) {
    target.List().emplace_back(item == 100 ? 0 : 1, item);
  }
  Tree::Position moved = std::next(source.List().begin(), 3);

  // The first two level-1 branches of source go in front of 102.
  target.Move(At(target, 2), At(source, 1), At(source, 5));
  EXPECT_THAT(Entries(target),
              ElementsAre(std::make_pair(0, 100), std::make_pair(1, 101), std::make_pair(1, 1),
                          std::make_pair(2, 2), std::make_pair(1, 3), std::make_pair(2, 4),
                          std::make_pair(1, 102)));
  EXPECT_THAT(Entries(source), ElementsAre(std::make_pair(0, 0), std::make_pair(1, 5)));
  EXPECT_EQ(moved, std::next(target.List().begin(), 4));
}

TEST(ListTreeCompare, OrdersByLevelThenItem) {
  Tree a = MakeTree({0, 1, 2});
  EXPECT_TRUE(a == MakeTree({0, 1, 2}));
  EXPECT_FALSE(a != MakeTree({0, 1, 2}));
  EXPECT_FALSE(a < MakeTree({0, 1, 2}));

  // The smaller level decides, whatever the items.
  Tree b = MakeTree({0, 1, 1});
  b.List().back().item = -50;
  EXPECT_TRUE(b < a);
  a.List().back().item = 2000;
  EXPECT_FALSE(a < b);
  EXPECT_TRUE(a != b);

  // A proper prefix orders first.
  EXPECT_TRUE(MakeTree({0, 1}) < MakeTree({0, 1, 1}));
  EXPECT_FALSE(MakeTree({0, 1, 1}) < MakeTree({0, 1}));

  // Pointer items: equal when they are the same pointers, ordered by address.
  int objects[2] = {1, 1};
  ListTree<const int*> low(&objects[0]);
  ListTree<const int*> high(&objects[1]);
  EXPECT_TRUE(low < high);
  EXPECT_FALSE(high < low);
  EXPECT_TRUE(low != high);
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
    EXPECT_EQ(node.IsLeaf(), node.FirstChild() == node.ChildrenEnd());
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
        tree.Move(t == size ? End(tree) : At(tree, t), At(source, b), end);
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

// Installs a handler for the lifetime of the scope.
class ScopedHandler {
 public:
  explicit ScopedHandler(OmAssertion::Handler handler)
      : _previous(OmAssertion::SetHandler(handler)) {}
  ScopedHandler(const ScopedHandler&) = delete;
  ScopedHandler& operator=(const ScopedHandler&) = delete;
  ~ScopedHandler() { OmAssertion::SetHandler(_previous); }

 private:
  OmAssertion::Handler _previous;
};

std::string MoveFailure(Tree& tree, const Node& target, const Node& begin, const Node& end) {
  try {
    tree.Move(target, begin, end);
  } catch (const std::runtime_error& error) {
    return error.what();
  }
  return "no failure";
}

TEST(ListTreeMove, ChecksPreconditionsBeforeMovingAnything) {
  // Each case breaks one check only; were that check missing, a later one
  // would fail instead (or, for 505, the move would go through).
  ScopedHandler throwing(&ThrowReport);
  Tree a = MakeTree({0, 1, 1});
  Tree b = MakeTree({0, 1});
  Tree c = MakeTree({0});
  EXPECT_EQ(MoveFailure(a, At(b, 1), At(c, 0), End(c)),
            "Assertion failed: target._tree == this, file backend/tables/ListTree, line 503");
  EXPECT_EQ(MoveFailure(a, At(a, 1), At(b, 0), End(a)),
            "Assertion failed: begin._tree == end._tree, file backend/tables/ListTree, line 504");
  EXPECT_EQ(
      MoveFailure(a, At(a, 1), At(a, 2), End(a)),
      "Assertion failed: target._tree != begin._tree, file backend/tables/ListTree, line 505");
  EXPECT_EQ(MoveFailure(a, At(a, 1), At(b, 0), End(b)),
            "Assertion failed: begin.Level() == target.Level(), file backend/tables/ListTree, "
            "line 506");
  EXPECT_THAT(Levels(a), ElementsAre(0, 1, 1));
  EXPECT_THAT(Levels(b), ElementsAre(0, 1));
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
