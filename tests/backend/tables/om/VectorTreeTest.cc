// OmVectorTree against a reference of child-id lists, plus the cases the
// random edits cannot reach: aliasing appends, Counterpart into another tree
// and deep chains.
#include "backend/tables/om/VectorTree.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <map>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

// A value that counts its live copies, so that a lost or doubled destruction
// shows up. It holds no pointer into itself, as entries are moved bitwise.
struct Value {
  static int live;
  explicit Value(int v) : id(v) { ++live; }
  Value(const Value& other) : id(other.id) { ++live; }
  ~Value() { --live; }
  bool operator==(const Value& other) const { return id == other.id; }
  int id;
};
int Value::live = 0;

using Tree = OmVectorTree<Value>;
using Node = Tree::Node;
// The reference: the ids of every node's children, in order; the root is 0
// and ids are never reused.
using Kids = std::map<int, std::vector<int>>;

// Lists the ids below id in pre-order and records their parents.
void Collect(Kids& kids, int id, int above, std::map<int, int>& parent, std::vector<int>& ids) {
  ids.push_back(id);
  parent[id] = above;
  for (int child : kids[id])
    Collect(kids, child, id, parent, ids);
}

// Puts with in the place of id in list, or at its end when id is absent.
void Replace(std::vector<int>& list, int id, const std::vector<int>& with) {
  auto at = std::find(list.begin(), list.end(), id);
  if (at != list.end()) at = list.erase(at);
  list.insert(at, with.begin(), with.end());
}

// Compares shape, order and values, and checks every parent link, level,
// offset and Counterpart (which walks the offsets back from the root).
void ExpectSame(Kids& kids, const Tree& tree, Tree::ConstNode node, const std::string& where) {
  ASSERT_EQ(node.Counterpart(tree), node) << where;
  const std::vector<int>& ids = kids[node->id];
  ASSERT_EQ(static_cast<std::size_t>(node.NumChildren()), ids.size()) << where;
  int offset = 0;
  for (Tree::ConstNode child = node.FirstChild(); child != node.EndChild(); ++child, ++offset) {
    ASSERT_EQ(child->id, ids[static_cast<std::size_t>(offset)]) << where;
    ASSERT_EQ(child.Parent(), node) << where << ": parent link of " << child->id;
    ASSERT_TRUE(child.Level() == node.Level() + 1 && child.Offset() == offset) << where;
    ExpectSame(kids, tree, child, where);
  }
}

// Applies one random edit to both the tree and the reference; a new node
// gets the id fresh.
std::string Step(std::mt19937& random, int fresh, Tree& tree, Kids& kids) {
  auto pick = [&](std::size_t n) { return random() % n; };
  std::map<int, int> parent;
  std::vector<int> ids;
  Collect(kids, 0, 0, parent, ids);
  const bool trim = ids.size() > 60;  // keeps the tree small enough to check after every step
  const int p = trim ? kids[0].front() : ids[pick(ids.size())];
  const int q = ids[pick(ids.size())];
  auto locate = [&](int id) {  // found by WalkBelow, which is under test too
    Node found = tree.Root();
    Tree::WalkBelow(
        tree.Root(), [](Node) { return true; }, [&](Node n) { found = n->id == id ? n : found; });
    return found;
  };
  auto inBranch = [&](int top, int id) {  // whether id is top or below it
    while (id != top && id != 0)
      id = parent[id];
    return id == top;
  };
  Node node = locate(p);
  std::vector<int>& siblings = kids[parent[p]];
  const std::size_t op = trim ? 2 : pick(8);
  if (p == 0 && op >= 2 && op <= 5) return "skip at the root";
  switch (op) {
    case 0:
    case 1:
      tree.AppendChild(node, Value(fresh));
      kids[p].push_back(fresh);
      return "append";
    case 2:
      tree.RemoveNode(node);
      Replace(siblings, p, {});
      return "remove";
    case 3:  // also before itself, which moves it to the end
      if (q == 0 || (p != q && inBranch(p, q))) return "skip";
      tree.MoveBefore(node, locate(q));
      Replace(siblings, p, {});
      Replace(kids[parent[q]], q, p == q ? std::vector<int>{p} : std::vector<int>{p, q});
      return "move before";
    case 4: {
      std::vector<int> above;
      for (int id = p; id != 0; id = parent[id])
        above.push_back(parent[id]);
      const int ancestor = above[pick(above.size())];
      tree.MoveToEnd(node, locate(ancestor));
      Replace(siblings, p, {});
      kids[ancestor].push_back(p);
      return "move to end";
    }
    case 5: {
      if (q == 0 || inBranch(p, q) || inBranch(q, p)) return "skip";
      Node other = locate(q);
      tree.SwapNodes(node, other);
      Replace(siblings, p, {-1});
      Replace(kids[parent[q]], q, {p});
      Replace(siblings, -1, {q});
      return "swap";
    }
    case 6: {
      std::vector<int>& children = kids[p];
      if (children.empty()) return "skip";
      const std::size_t forced = pick(children.size());
      std::vector<int> chosen;
      std::deque<Node> handles;  // nodes point into it
      std::vector<Node*> nodes;
      for (std::size_t i = 0; i < children.size(); ++i) {
        if (i != forced && pick(2) == 0) continue;
        chosen.push_back(children[i]);
        nodes.push_back(&handles.emplace_back(node.Child(static_cast<int>(i))));
      }
      tree.GroupNodes(Value(fresh), nodes);
      for (int id : chosen)
        Replace(children, id, id == chosen.front() ? std::vector<int>{fresh} : std::vector<int>{});
      kids[fresh] = chosen;
      return "group";
    }
    default:
      tree.UngroupNode(node);
      if (p == 0 || kids[p].empty()) return "ungroup, no change";
      Replace(siblings, p, kids[p]);
      return "ungroup";
  }
}

TEST(OmVectorTreeModel, RandomEditsMatchTheReference) {
  for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
    OmMemoryRegion region(false);
    {
      Tree tree(Value(0), &region);
      Kids kids;
      std::mt19937 random(seed);
      for (int step = 0; step < 1500; ++step) {
        const std::string what = Step(random, step + 1, tree, kids);
        ExpectSame(kids, tree, tree.Root(),
                   "seed " + std::to_string(seed) + " step " + std::to_string(step) + " " + what);
        if (HasFatalFailure()) return;
      }
    }
    EXPECT_EQ(region.BlocksInUse(), 0u) << "every child block returns to the region";
    EXPECT_EQ(Value::live, 0) << "every value is destroyed exactly once";
  }
}

TEST(OmVectorTreeEdits, AppendOfAValueInTheBlockThatTheAppendReplaces) {
  OmMemoryRegion region(false);
  Tree tree(Value(0), &region);
  Node root = tree.Root();
  for (int id = 1; id <= 4; ++id)
    tree.AppendChild(root, Value(id));
  // Capacity 4 to 8: the block that holds the first child's value is
  // released (and reused by the region's free list) before the copy is made.
  EXPECT_EQ(tree.AppendChild(root, root.FirstChild().Value())->id, 1);
}

void ThrowReport(const char* expression, const char* file, int line) {
  throw std::logic_error(OmAssertion::Format(expression, file, line));
}

TEST(OmVectorTreeCounterpart, FollowsOffsetsIntoAnotherTreeAndAssertsThemInRange) {
  Tree source(Value(0), nullptr);
  Tree other(Value(100), nullptr);
  for (Tree* tree : {&source, &other}) {  // three children of three children each
    for (int k = 0; k < 12; ++k) {
      Node root = tree->Root();
      tree->AppendChild(k < 3 ? root : root.Child((k - 3) / 3), Value(root->id + k));
    }
  }
  EXPECT_EQ(source.Root().Child(1).Child(2).Counterpart(other)->id, 108);

  // A handle of a removed last child still links to its former parent, but
  // stands past the end of its children.
  OmAssertion::Handler previous = OmAssertion::SetHandler(&ThrowReport);
  Node stale = source.Root().Child(1).LastChild();
  source.RemoveNode(stale);
  EXPECT_THAT([&] { stale.Counterpart(other); },
              ::testing::ThrowsMessage<std::logic_error>(
                  ::testing::HasSubstr("Assertion failed: 0 <= offset && offset < vec.size(), file "
                                       "backend/tables/om/VectorTree, line ")));
  OmAssertion::SetHandler(previous);
}

// Depth follows untrusted input: copying, relinking and destroying a chain
// of 100,000 levels must not recurse once per level.
TEST(OmVectorTreeDepth, DeepChainsAreCopiedMovedAndDestroyedWithoutRecursion) {
  OmMemoryRegion region(false);
  {
    Tree tree(Value(0), &region);
    Node root = tree.Root();
    Node sibling = tree.AppendChild(root, Value(-1));
    Node top = tree.AppendChild(root, Value(1));
    Node deepest = top;
    for (int id = 2; id <= 100000; ++id)
      deepest = tree.AppendChild(deepest, Value(id));
    EXPECT_EQ(deepest.Counterpart(tree), deepest);

    tree.SwapNodes(sibling, top);  // deep copies and relinks the chain
    Node walk = root.FirstChild();
    ASSERT_EQ(walk->id, 1);
    for (; !walk.IsLeaf(); walk = walk.FirstChild())
      ASSERT_EQ(walk.FirstChild().Parent(), walk);
    EXPECT_EQ(walk->id, 100000);
    EXPECT_EQ(walk.Level(), 100000u);
  }
  EXPECT_EQ(region.BlocksInUse(), 0u);
  EXPECT_EQ(Value::live, 0);
}

}  // namespace
