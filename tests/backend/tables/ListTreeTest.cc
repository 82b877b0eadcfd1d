// ListTree against a reference model of its (level, item) entries, plus the
// cached-level rules, ordering and Move's precondition reports.
#include "backend/tables/ListTree.h"

#include <iterator>
#include <random>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/tables/Assertion.h"
#include "gtest/gtest.h"

namespace {

using Tree = ListTree<int>;
using Node = Tree::Node;

// std::pair orders by level, then item, as the entries do.
using Model = std::vector<std::pair<int, int>>;

Model Entries(const Tree& tree) {
  Model entries;
  for (const ListTreeData<int>& entry : tree.List())
    entries.emplace_back(entry.level, entry.item);
  return entries;
}

// A tree with the given levels; each entry's item is its index.
Tree MakeTree(const std::vector<int>& levels) {
  Tree tree;
  for (int level : levels)
    tree.List().emplace_back(level, tree.Size());
  return tree;
}

// The node of entry index; index Size() is the list's end.
Node At(Tree& tree, int index) {
  return Node(&tree, std::next(tree.List().begin(), index));
}

// The position just past the subtree of entry index.
int SubtreeEnd(const Model& model, int index) {
  int end = index + 1;
  while (end < static_cast<int>(model.size()) && model[end].first > model[index].first)
    ++end;
  return end;
}

TEST(ListTreeSurgery, FlattenReadsTheEntryLevelAndPruneTheCachedLevel) {
  const Tree original = MakeTree({0, 1, 2, 2, 1, 2});
  Tree tree = original;
  Node end = At(tree, 6);
  tree.Flatten(end);
  tree.Prune(end);
  EXPECT_EQ(tree, original) << "nothing happens at the end";
  // ChildrenEnd() of entry 1 names entry 4 (level 1) but caches level 2.
  Node stale = At(tree, 1).ChildrenEnd();
  tree.Flatten(stale);
  EXPECT_EQ(Entries(tree), Entries(MakeTree({0, 1, 2, 2, 1, 1})));
  tree = original;
  tree.Prune(At(tree, 1).ChildrenEnd());
  EXPECT_EQ(Entries(tree), (Model{{0, 0}, {1, 1}, {2, 2}, {2, 3}, {2, 5}}));
}

TEST(ListTreeCompare, PointerItemsCompareByAddress) {
  int objects[2] = {1, 1};
  using Pointers = ListTree<const int*>;
  const Pointers low(&objects[0]);
  const Pointers high(&objects[1]);
  EXPECT_TRUE(low < high && !(high < low) && low != high && low == Pointers(&objects[0]));
}

// Checks every node operation (Root, Level, Item, IsLeaf, FirstChild,
// ChildrenEnd, Parent, NextSibling) of every entry against the model.
template <typename TreeType>
void CheckNodes(TreeType& tree, const Model& model) {
  using NodeType = decltype(tree.Root());
  const auto at = [&tree](int i) { return NodeType(&tree, std::next(tree.List().begin(), i)); };
  ASSERT_TRUE(tree.Root() == at(0) && tree.Root().Level() == 0);
  for (int i = 0; i < static_cast<int>(model.size()); ++i) {
    const int end = SubtreeEnd(model, i);
    NodeType node = at(i);
    ASSERT_TRUE(node.Item() == model[i].second && node.IsLeaf() == (end == i + 1) &&
                node.FirstChild() == at(i + 1))
        << i;
    ASSERT_EQ(node.ChildrenEnd(), at(end)) << i;
    int parent = i - 1;
    while (parent >= 0 && model[parent].first >= model[i].first)
      --parent;
    ASSERT_TRUE(parent < 0 || node.Parent() == at(parent)) << i;
    ASSERT_EQ(node.NextSibling(), at(end)) << i;
    ASSERT_EQ(node.Level(), model[i].first) << "NextSibling keeps the cached level";
  }
}

// Random operations on two trees and on their models, over a tiny alphabet
// of items so that ties and long common prefixes are frequent.
TEST(ListTreeModel, RandomOperationsMatchTheReference) {
  for (unsigned seed : {1u, 2u, 3u, 4u}) {
    std::mt19937 rng(seed);
    auto uniform = [&rng](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
    Tree trees[2];
    Model models[2];
    for (int step = 0; step < 1500; ++step) {
      const int which = uniform(2);
      Tree& tree = trees[which];
      Model& model = models[which];
      const int size = static_cast<int>(model.size());
      const int op = uniform(10);
      int item = uniform(3);
      const int i = size == 0 ? 0 : uniform(size);
      if (size == 0) {
        CheckNodes(tree, model);
        tree = op % 2 == 0 ? Tree(item) : Tree(std::as_const(item));
        model = {{0, item}};
      } else if (op <= 3 && size < 80) {
        const Node child = At(tree, i).AppendChild(item);
        ASSERT_EQ(child, At(tree, SubtreeEnd(model, i)));
        model.insert(model.begin() + SubtreeEnd(model, i), {model[i].first + 1, item});
      } else if (op == 4) {
        tree.Prune(At(tree, i));
        model.erase(model.begin() + i, model.begin() + SubtreeEnd(model, i));
      } else if (op == 5 || op == 6) {
        Node node = At(tree, i);
        for (int j = i + 1, end = SubtreeEnd(model, i); j < end; ++j)
          --model[j].first;
        op == 5 ? tree.Flatten(node) : tree.Erase(node);
        if (op == 6) model.erase(model.begin() + i);
      } else if (op == 7) {
        // A run of whole sibling subtrees of the other tree goes in front of
        // a target (possibly the end) of the same level.
        Tree& source = trees[1 - which];
        Model& from = models[1 - which];
        const int n = static_cast<int>(from.size());
        const int t = uniform(size + 1);
        const int level = t == size ? 0 : model[t].first;
        int b = uniform(n + 1);
        while (b < n && from[b].first != level)
          ++b;
        if (b == n) continue;
        int e = SubtreeEnd(from, b);
        while (e < n && from[e].first == level && uniform(2) == 0)
          e = SubtreeEnd(from, e);
        const Tree::Position moved = At(source, b).ListPosition();
        tree.Move(At(tree, t), At(source, b), At(source, e));
        ASSERT_EQ(moved, At(tree, t).ListPosition()) << "the moved entries' iterators stay valid";
        model.insert(model.begin() + t, from.begin() + b, from.begin() + e);
        from.erase(from.begin() + b, from.begin() + e);
      } else if (op == 8) {
        // Copy construction, assignment and self-assignment.
        trees[1 - which] = Tree(tree);
        Tree& alias = tree;
        tree = alias;
        models[1 - which] = model;
      } else {
        CheckNodes(tree, model);
        CheckNodes(static_cast<const Tree&>(tree), model);
      }
      for (int k = 0; k < 2; ++k)
        ASSERT_EQ(Entries(trees[k]), models[k]) << "seed " << seed << " step " << step;
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
      return std::string("no failure");
    } catch (const std::runtime_error& error) {
      return std::string(error.what());
    }
  };
  // Each case breaks one check only; were that check missing, a later one
  // would fail instead (or, for 505, the move would go through).
  const auto message = [](const char* check, int line) {
    return OmAssertion::Format(check, "backend/tables/ListTree", line);
  };
  EXPECT_EQ(report(At(b, 1), At(c, 0), At(c, 1)), message("target._tree == this", 503));
  EXPECT_EQ(report(At(a, 1), At(b, 0), At(a, 3)), message("begin._tree == end._tree", 504));
  EXPECT_EQ(report(At(a, 1), At(a, 2), At(a, 3)), message("target._tree != begin._tree", 505));
  EXPECT_EQ(report(At(a, 1), At(b, 0), At(b, 2)), message("begin.Level() == target.Level()", 506));
  OmAssertion::SetHandler(previous);
  EXPECT_TRUE(a == MakeTree({0, 1, 1}) && b == MakeTree({0, 1}) && c == MakeTree({0}));
}

}  // namespace
