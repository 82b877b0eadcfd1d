#include "backend/tables/om/VectorTree.h"

#include <gtest/gtest.h>

#include <algorithm>
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
  Value& operator=(const Value&) = default;
  ~Value() { --live; }
  bool operator==(const Value& other) const { return id == other.id; }

  int id;
};
int Value::live = 0;

using Tree = OmVectorTree<Value>;
using Node = Tree::Node;

// The reference: nested vectors of values.
struct Ref {
  int id;
  std::vector<Ref> children;
};

using Path = std::vector<int>;

Node Locate(Tree& tree, const Path& path) {
  Node node = tree.Root();
  for (int offset : path)
    node = node.Child(offset);
  return node;
}

Ref& Locate(Ref& ref, const Path& path) {
  Ref* node = &ref;
  for (int offset : path)
    node = &node->children[static_cast<std::size_t>(offset)];
  return *node;
}

void CollectPaths(const Ref& ref, Path& path, std::vector<Path>& out) {
  out.push_back(path);
  for (std::size_t i = 0; i < ref.children.size(); ++i) {
    path.push_back(static_cast<int>(i));
    CollectPaths(ref.children[i], path, out);
    path.pop_back();
  }
}

std::vector<Path> AllPaths(const Ref& ref) {
  std::vector<Path> out;
  Path path;
  CollectPaths(ref, path, out);
  return out;
}

bool IsPrefix(const Path& prefix, const Path& path) {
  return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

Path ParentPath(Path path) {
  path.pop_back();
  return path;
}

// Compares shape, order and values, and checks every parent link and level.
void ExpectSame(const Ref& ref, Tree::ConstNode node, const std::string& where) {
  ASSERT_EQ(node->id, ref.id) << where;
  ASSERT_EQ(static_cast<std::size_t>(node.NumChildren()), ref.children.size()) << where;
  int offset = 0;
  for (Tree::ConstNode child = node.FirstChild(); child != node.EndChild(); ++child, ++offset) {
    ASSERT_EQ(child.Parent(), node) << where << ": parent link of " << child->id;
    ASSERT_EQ(child.Level(), node.Level() + 1);
    ASSERT_EQ(child.Offset(), offset);
    ExpectSame(ref.children[static_cast<std::size_t>(offset)], child, where);
  }
}

// Applies one random edit to both the tree and the reference.
class Editor {
 public:
  explicit Editor(std::uint32_t seed) : _random(seed) {}

  std::string Step(Tree& tree, Ref& ref) {
    const std::vector<Path> paths = AllPaths(ref);
    const Path& p = paths[Pick(paths.size())];
    const Path& q = paths[Pick(paths.size())];
    switch (Pick(8)) {
      case 0:
      case 1: {
        const int id = _nextId++;
        tree.AppendChild(Locate(tree, p), Value(id));
        Locate(ref, p).children.push_back(Ref{id, {}});
        return "append";
      }
      case 2: {
        if (p.empty()) return "skip";
        Node node = Locate(tree, p);
        tree.RemoveNode(node);
        Erase(ref, p);
        return "remove";
      }
      case 3: {
        const bool beforeItself = !p.empty() && p == q;
        if (!beforeItself && (p.empty() || q.empty() || IsPrefix(p, q))) return "skip";
        Node node = Locate(tree, p);
        tree.MoveBefore(node, Locate(tree, q));
        const int target = Locate(ref, q).id;
        const int parent = Locate(ref, ParentPath(q)).id;
        Ref moved = Erase(ref, p);
        Ref& holder = *Find(ref, parent);
        auto before = std::find_if(holder.children.begin(), holder.children.end(),
                                   [&](const Ref& child) { return child.id == target; });
        holder.children.insert(before, moved);
        return "move before";
      }
      case 4: {
        if (p.empty()) return "skip";
        const Path ancestor(p.begin(), p.begin() + static_cast<long>(Pick(p.size())));
        Node node = Locate(tree, p);
        tree.MoveToEnd(node, Locate(tree, ancestor));
        const int holder = Locate(ref, ancestor).id;
        Ref moved = Erase(ref, p);
        Find(ref, holder)->children.push_back(moved);
        return "move to end";
      }
      case 5: {
        if (p.empty() || q.empty() || IsPrefix(p, q) || IsPrefix(q, p)) return "skip";
        Node a = Locate(tree, p);
        Node b = Locate(tree, q);
        tree.SwapNodes(a, b);
        std::swap(Locate(ref, p), Locate(ref, q));
        return "swap";
      }
      case 6: {
        Ref& holder = Locate(ref, p);
        if (holder.children.empty()) return "skip";
        std::vector<std::size_t> chosen;
        for (std::size_t i = 0; i < holder.children.size(); ++i) {
          if (Pick(2) == 0) chosen.push_back(i);
        }
        if (chosen.empty()) chosen.push_back(Pick(holder.children.size()));
        std::vector<Node> handles;
        for (std::size_t i : chosen)
          handles.push_back(Locate(tree, p).Child(static_cast<int>(i)));
        std::vector<Node*> nodes;
        for (Node& handle : handles)
          nodes.push_back(&handle);
        const int id = _nextId++;
        tree.GroupNodes(Value(id), nodes);
        Ref group{id, {}};
        for (auto i = chosen.rbegin(); i != chosen.rend(); ++i) {
          group.children.insert(group.children.begin(), holder.children[*i]);
          holder.children.erase(holder.children.begin() + static_cast<long>(*i));
        }
        holder.children.insert(holder.children.begin() + static_cast<long>(chosen.front()), group);
        return "group";
      }
      case 7: {
        Node node = Locate(tree, p);
        tree.UngroupNode(node);
        if (p.empty() || Locate(ref, p).children.empty()) return "ungroup, no change";
        Ref& holder = Locate(ref, ParentPath(p));
        const auto at = holder.children.begin() + p.back();
        std::vector<Ref> lifted = at->children;
        const auto after = holder.children.erase(at);
        holder.children.insert(after, lifted.begin(), lifted.end());
        return "ungroup";
      }
    }
    return "none";
  }

 private:
  std::size_t Pick(std::size_t n) {
    return std::uniform_int_distribution<std::size_t>(0, n - 1)(_random);
  }

  static Ref Erase(Ref& ref, const Path& path) {
    Ref& holder = Locate(ref, ParentPath(path));
    const auto at = holder.children.begin() + path.back();
    Ref removed = *at;
    holder.children.erase(at);
    return removed;
  }

  static Ref* Find(Ref& ref, int id) {
    if (ref.id == id) return &ref;
    for (Ref& child : ref.children) {
      if (Ref* found = Find(child, id)) return found;
    }
    return nullptr;
  }

  std::mt19937 _random;
  int _nextId = 1;
};

TEST(OmVectorTreeModel, RandomEditsMatchNestedVectors) {
  for (std::uint32_t seed : {1u, 2u, 3u, 4u}) {
    OmMemoryRegion region(false);
    {
      Tree tree(Value(0), &region);
      Ref ref{0, {}};
      Editor editor(seed);
      for (int step = 0; step < 1500; ++step) {
        const std::string what = editor.Step(tree, ref);
        ExpectSame(ref, tree.Root(),
                   "seed " + std::to_string(seed) + " step " + std::to_string(step) + " " + what);
        if (HasFatalFailure()) return;
        // Keep the tree small enough to check after every step.
        if (AllPaths(ref).size() > 60) {
          Node root = tree.Root();
          Node first = root.FirstChild();
          tree.RemoveNode(first);
          ref.children.erase(ref.children.begin());
        }
      }
    }
    EXPECT_EQ(region.BlocksInUse(), 0u) << "every child block returns to the region";
    EXPECT_EQ(Value::live, 0) << "every value is destroyed exactly once";
  }
}

// Cases whose outcome depends on finding positions by value, which the
// random test with unique values cannot reach.
TEST(OmVectorTreeEdits, PositionsAreFoundAgainByValue) {
  Tree tree(Value(0), nullptr);
  Node root = tree.Root();
  for (int id : {1, 2, 3})
    tree.AppendChild(root, Value(id));
  Node last = root.LastChild();
  tree.MoveBefore(last, root.FirstChild());
  EXPECT_EQ(root.FirstChild()->id, 3);

  Node self = root.Child(1);
  tree.MoveBefore(self, self);  // its own value is found nowhere afterwards
  EXPECT_EQ(root.LastChild()->id, 1);

  // An ungrouped node that has no value-equal earlier sibling.
  Node group = root.Child(1);
  tree.AppendChild(group, Value(20));
  tree.AppendChild(group, Value(21));
  tree.UngroupNode(group);
  std::vector<int> order;
  for (Node child = root.FirstChild(); child != root.EndChild(); ++child)
    order.push_back(child->id);
  EXPECT_EQ(order, (std::vector<int>{3, 20, 21, 1}));
}

TEST(OmVectorTreeEdits, AppendThatReallocatesRelinksGrandchildren) {
  OmMemoryRegion region(false);
  Tree tree(Value(0), &region);
  Node root = tree.Root();
  for (int id = 1; id <= 4; ++id)
    tree.AppendChild(tree.AppendChild(root, Value(id)), Value(10 * id));
  const Node firstBefore = root.FirstChild();
  tree.AppendChild(root, Value(5));  // capacity 4 to 8: the children move
  ASSERT_NE(root.FirstChild(), firstBefore);
  for (Node child = root.FirstChild(); child != root.Child(4); ++child) {
    ASSERT_EQ(child.FirstChild().Parent(), child);
  }
  // An append whose value lives in the block that the append replaces.
  Node grown = tree.AppendChild(root, root.Child(2).Value());
  EXPECT_EQ(grown->id, 3);
}

TEST(OmVectorTreeCounterpart, FollowsOffsetsAndAssertsThemInRange) {
  Tree source(Value(0), nullptr);
  Tree other(Value(100), nullptr);
  for (Tree* tree : {&source, &other}) {
    Node root = tree->Root();
    for (int i = 0; i < 3; ++i) {
      Node child = tree->AppendChild(root, Value(root->id + 10 * i));
      for (int j = 0; j < 3; ++j)
        tree->AppendChild(child, Value(child->id + j));
    }
  }
  EXPECT_EQ(source.Root().Counterpart(other), other.Root());
  Node grandchild = source.Root().Child(1).Child(2);
  Node mapped = grandchild.Counterpart(other);
  EXPECT_EQ(mapped->id, 112);
  EXPECT_EQ(mapped.Level(), 2u);
  Tree::ConstNode constMapped = Tree::ConstNode(grandchild).Counterpart(other);
  EXPECT_EQ(constMapped, Tree::ConstNode(mapped));

  auto throwing = [](const char* expression, const char* file, int line) {
    throw std::logic_error(OmAssertion::Format(expression, file, line));
  };
  OmAssertion::Handler previous = OmAssertion::SetHandler(throwing);
  // A handle of a removed last child still links to its former parent, but
  // stands past the end of its children.
  Node removed = source.Root().Child(1).LastChild();
  Node stale = removed;
  source.RemoveNode(removed);
  try {
    stale.Counterpart(other);
    ADD_FAILURE() << "a stale handle past the last child has no counterpart";
  } catch (const std::logic_error& error) {
    EXPECT_NE(std::string(error.what())
                  .find("Assertion failed: 0 <= offset && offset < vec.size(), file "
                        "backend/tables/om/VectorTree, line "),
              std::string::npos)
        << error.what();
  }
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
    Node chain = root.FirstChild();
    ASSERT_EQ(chain->id, 1);
    Node walk = chain;
    while (!walk.IsLeaf()) {
      Node next = walk.FirstChild();
      ASSERT_EQ(next.Parent(), walk);
      walk = next;
    }
    EXPECT_EQ(walk->id, 100000);
    EXPECT_EQ(walk.Level(), 100000u);
  }
  EXPECT_EQ(region.BlocksInUse(), 0u);
  EXPECT_EQ(Value::live, 0);
}

}  // namespace
