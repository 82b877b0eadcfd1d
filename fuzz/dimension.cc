// Fuzz target for OmDimension: operation sequences (Child under groups,
// AddNewChild, Delete, FindChild, moveChild with a target, swapping or not,
// and without one, insertChild over sibling runs, removeChild, hide flags,
// and copies into another region with Counterpart lookups) checked after
// every step against a reference model: nested vectors of nodes holding
// label, group flag, subscript, hide flag, child index and the region of the
// node's storage, plus the category count (Child and AddNewChild count the
// leaves they add; Delete recounts as one more than the largest low 32 bits
// of a leaf subscript reached through groups). The model replays the sorted
// child-index search itself, so that a stale index gives the same answer in
// both; Child and FindChild run only where every index entry still names a
// child (the search reads the children it probes unchecked). Edits that find
// positions by value run only where the values they look for are unique
// among the siblings concerned.

#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/Dimension.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

}  // namespace

// Makes dimensions without a pivot table and reads the child indexes; the
// dimension befriends this name as its test hook.
class OmDimensionTest {
 public:
  static std::unique_ptr<OmDimension> Make(const std::string& name, OmMemoryRegion* region) {
    const OmDimensionNode root(OmStringCell(name, nullptr, false), OmDimensionNode::kNoSubscript,
                               true, nullptr);
    return std::unique_ptr<OmDimension>(new OmDimension(root, region));
  }

  static std::unique_ptr<OmDimension> Copy(const OmDimension& other, OmMemoryRegion* region) {
    return std::unique_ptr<OmDimension>(new OmDimension(other, region));
  }

  static std::vector<int> Index(const OmDimension::ConstNode& node) {
    return std::vector<int>(node->ChildIndex().begin(), node->ChildIndex().end());
  }
};

namespace {

using Node = OmDimension::Node;
using ConstNode = OmDimension::ConstNode;
using Path = std::vector<int>;

constexpr std::size_t kMaxNodes = 80;

struct Model {
  int uid;
  std::string label;
  bool group;
  std::size_t subscript;
  bool hide = false;
  bool inDefaultHeap = false;  // text and child index outside the dimension's region
  std::vector<int> index;
  std::vector<Model> children;
};

struct DimensionModel {
  Model root;
  int numCategories = 0;
  bool displayLastCategory = false;
};

// OmDimensionNode::operator<: groups first, then by the label's bytes.
bool Less(const Model& a, const Model& b) {
  if (a.group != b.group) return a.group;
  return a.label < b.label;
}

// OmDimensionNode::operator==.
bool Equal(const Model& a, const Model& b) {
  return a.group == b.group && a.subscript == b.subscript && a.label == b.label;
}

bool Unique(const Model& parent) {
  for (std::size_t i = 0; i < parent.children.size(); ++i) {
    for (std::size_t j = i + 1; j < parent.children.size(); ++j) {
      if (Equal(parent.children[i], parent.children[j])) return false;
    }
  }
  return true;
}

std::size_t CountNodes(const Model& node) {
  std::size_t count = 1;
  for (const Model& child : node.children)
    count += CountNodes(child);
  return count;
}

unsigned Depth(const Model& node) {
  unsigned deepest = 0;
  for (const Model& child : node.children)
    deepest = std::max(deepest, Depth(child) + 1);
  return deepest;
}

// The largest low 32 bits of a leaf subscript among node's children,
// descending into groups only.
std::uint32_t LargestLeaf(const Model& node) {
  std::uint32_t largest = 0;
  for (const Model& child : node.children) {
    largest = std::max(
        largest, child.group ? LargestLeaf(child) : static_cast<std::uint32_t>(child.subscript));
  }
  return largest;
}

void Enumerate(const Model& node, Path& path, std::vector<Path>& out) {
  out.push_back(path);
  for (std::size_t k = 0; k < node.children.size(); ++k) {
    path.push_back(static_cast<int>(k));
    Enumerate(node.children[k], path, out);
    path.pop_back();
  }
}

std::vector<Path> AllPaths(const Model& root) {
  std::vector<Path> paths;
  Path path;
  Enumerate(root, path, paths);
  return paths;
}

Model& At(Model& root, const Path& path) {
  Model* node = &root;
  for (int offset : path)
    node = &node->children[static_cast<std::size_t>(offset)];
  return *node;
}

Node HandleAt(OmDimension& dimension, const Path& path) {
  Node node = dimension.Root();
  for (int offset : path)
    node = node.Child(offset);
  return node;
}

bool IsPrefix(const Path& prefix, const Path& path) {
  return prefix.size() <= path.size() && std::equal(prefix.begin(), prefix.end(), path.begin());
}

Path ParentPath(Path path) {
  path.pop_back();
  return path;
}

// The node with uid below (or at) node, with its parent, or null.
Model* FindUid(Model& node, int uid, Model** parent) {
  if (node.uid == uid) return &node;
  for (Model& child : node.children) {
    Model* found = FindUid(child, uid, parent);
    if (found == nullptr) continue;
    if (found == &child) *parent = &node;
    return found;
  }
  return nullptr;
}

// Takes the node with uid out of its parent's children.
Model Detach(Model& root, int uid) {
  Model* parent = nullptr;
  Model* node = FindUid(root, uid, &parent);
  Model detached = std::move(*node);
  parent->children.erase(parent->children.begin() + (node - parent->children.data()));
  return detached;
}

// Whether every entry of the child index names a child: the index search
// reads the child at each entry it probes, unchecked.
bool IndexInRange(const Model& parent) {
  return std::all_of(parent.index.begin(), parent.index.end(), [&parent](int entry) {
    return entry >= 0 && static_cast<std::size_t>(entry) < parent.children.size();
  });
}

// The search of the sorted child index as the dimension runs it: the storage
// offset of the matching child, or -1; position receives the index position
// where a new child's entry goes.
int Search(Model& parent, const Model& probe, std::vector<int>::iterator* position) {
  const auto childAt = [&parent](int offset) -> const Model& {
    return parent.children[static_cast<std::size_t>(offset)];
  };
  const auto found = std::lower_bound(
      parent.index.begin(), parent.index.end(), probe,
      [&childAt](int offset, const Model& sought) { return Less(childAt(offset), sought); });
  if (position != nullptr) *position = found;
  if (found != parent.index.end() && !Less(probe, childAt(*found))) return *found;
  return -1;
}

void Compare(ConstNode node, const Model& model, std::uint32_t level, OmMemoryRegion* region) {
  Check(node.Level() == level);
  Check(node->Text() != nullptr);
  Check(node->Text()->AsString() == model.label);
  Check(node->IsGroup() == model.group);
  Check(node->Subscript() == model.subscript);
  Check(node->Hide() == model.hide);
  Check(OmDimensionTest::Index(node) == model.index);
  OmMemoryRegion* expected = model.inDefaultHeap ? OmMemoryRegion::DefaultHeap() : region;
  Check(node->Region() == expected);
  Check(OmMemoryRegion::Of(node->Text()) == expected);
  Check(node.NumChildren() == static_cast<int>(model.children.size()));
  int offset = 0;
  for (ConstNode child = node.FirstChild(); child != node.EndChild(); ++child, ++offset) {
    Check(child.Parent() == node);
    Check(child.Offset() == offset);
    Compare(child, model.children[static_cast<std::size_t>(offset)], level + 1, region);
  }
}

struct Fixture {
  OmMemoryRegion regions[2]{OmMemoryRegion(false), OmMemoryRegion(false)};
  int current = 0;  // the region of the dimension under test
  std::unique_ptr<OmDimension> dimension;
  DimensionModel model;
  int nextUid = 1;
  int nextGroup = 0;

  void CheckAll() {
    Compare(dimension->Root(), model.root, 0, &regions[current]);
    Check(dimension->NumCategories() == model.numCategories);
    Check(dimension->DisplayLastCategory() == model.displayLastCategory);
    Check(dimension->getMaximumDepth() == Depth(model.root) + 1);
    Check(&dimension->Region() == &regions[current]);
  }
};

std::string RandomLabel(FuzzedDataProvider& provider) {
  std::string label(1, static_cast<char>('a' + provider.ConsumeIntegralInRange<int>(0, 4)));
  if (provider.ConsumeIntegralInRange<int>(0, 3) == 0) {
    label += static_cast<char>('a' + provider.ConsumeIntegralInRange<int>(0, 4));
  }
  return label;
}

std::size_t RandomSubscript(FuzzedDataProvider& provider, bool group) {
  // Categories never use the two marker subscripts; groups mostly have none.
  switch (provider.ConsumeIntegralInRange<int>(0, 7)) {
    case 0:  // only the low 32 bits count
      return (std::size_t{1} << 32) + provider.ConsumeIntegralInRange<std::size_t>(0, 3);
    case 1:
      return provider.ConsumeIntegralInRange<std::size_t>(0, 15);
    default:
      return group ? OmDimensionNode::kNoSubscript
                   : provider.ConsumeIntegralInRange<std::size_t>(0, 15);
  }
}

Path PickPath(FuzzedDataProvider& provider, const std::vector<Path>& paths) {
  return paths[provider.ConsumeIntegralInRange<std::size_t>(0, paths.size() - 1)];
}

void AddChild(FuzzedDataProvider& provider, Fixture& fixture, bool sorted) {
  if (CountNodes(fixture.model.root) >= kMaxNodes) return;
  std::vector<Path> parents;
  for (const Path& path : AllPaths(fixture.model.root)) {
    if (!sorted || At(fixture.model.root, path).group) parents.push_back(path);
  }
  const Path parentPath = PickPath(provider, parents);
  Model& parent = At(fixture.model.root, parentPath);
  Model child;
  child.uid = fixture.nextUid++;
  child.label = RandomLabel(provider);
  child.group = provider.ConsumeIntegralInRange<int>(0, 3) == 0;
  child.subscript = RandomSubscript(provider, child.group);
  const OmStringCell text(child.label, nullptr, false);
  Node handle = HandleAt(*fixture.dimension, parentPath);

  if (!sorted) {
    const Node added = fixture.dimension->AddNewChild(handle, text, child.subscript, child.group);
    parent.index.push_back(static_cast<int>(parent.index.size()));
    parent.children.push_back(child);
    if (!child.group) ++fixture.model.numCategories;
    Check(added == handle.Child(static_cast<int>(parent.children.size()) - 1));
    return;
  }
  if (!IndexInRange(parent)) return;
  std::vector<int>::iterator position;
  const int match = Search(parent, child, &position);
  const Node found = fixture.dimension->Child(handle, text, child.subscript, child.group);
  if (match >= 0) {
    Check(found == handle.Child(match));
    return;
  }
  parent.index.insert(position, static_cast<int>(parent.index.size()));
  parent.children.push_back(child);
  if (!child.group) ++fixture.model.numCategories;
  Check(found == handle.Child(static_cast<int>(parent.children.size()) - 1));
}

void Step(FuzzedDataProvider& provider, Fixture& fixture) {
  OmDimension& dimension = *fixture.dimension;
  DimensionModel& model = fixture.model;
  const std::vector<Path> paths = AllPaths(model.root);
  const std::vector<Path> nonRoot(paths.begin() + 1, paths.end());

  switch (provider.ConsumeIntegralInRange<int>(0, 12)) {
    case 0:
    case 1:
    case 2:
      AddChild(provider, fixture, true);
      return;
    case 3:
      AddChild(provider, fixture, false);
      return;
    case 4: {  // Delete a branch; the count is recomputed.
      if (nonRoot.empty()) return;
      const Path path = PickPath(provider, nonRoot);
      Node node = HandleAt(dimension, path);
      dimension.Delete(node);
      Model& parent = At(model.root, ParentPath(path));
      const int offset = path.back();
      parent.children.erase(parent.children.begin() + offset);
      std::vector<int> index;
      for (int entry : parent.index) {
        if (entry != offset) index.push_back(entry > offset ? entry - 1 : entry);
      }
      parent.index = index;
      model.numCategories = static_cast<int>(LargestLeaf(model.root) + 1u);
      return;
    }
    case 5:
    case 6: {  // moveChild with a target: swap, or move before it.
      if (nonRoot.empty()) return;
      const bool swap = provider.ConsumeBool();
      const Path a = PickPath(provider, nonRoot);
      const Path b = PickPath(provider, nonRoot);
      if (IsPrefix(a, b) && !(a == b && !swap)) return;  // target in the branch
      if (swap && IsPrefix(b, a)) return;
      const Path parentA = ParentPath(a);
      const Path parentB = ParentPath(b);
      if (!Unique(At(model.root, parentA)) || !Unique(At(model.root, parentB))) return;
      const int uidA = At(model.root, a).uid;
      const int uidB = At(model.root, b).uid;
      const int uidParentA = At(model.root, parentA).uid;
      const int uidParentB = At(model.root, parentB).uid;
      DimensionModel after = model;
      if (swap) {
        std::swap(At(after.root, a), At(after.root, b));
      } else {
        Model moved = Detach(after.root, uidA);
        Model* parent = nullptr;
        if (uidA == uidB) {
          Model* holder = FindUid(after.root, uidParentA, &parent);
          holder->children.push_back(std::move(moved));
        } else {
          Model* target = FindUid(after.root, uidB, &parent);
          parent->children.insert(parent->children.begin() + (target - parent->children.data()),
                                  std::move(moved));
        }
      }
      Model* unused = nullptr;
      if (!Unique(*FindUid(after.root, uidParentA, &unused)) ||
          !Unique(*FindUid(after.root, uidParentB, &unused))) {
        return;
      }
      Node node = HandleAt(dimension, a);
      Node target = HandleAt(dimension, b);
      dimension.moveChild(node, &target, swap);
      model = std::move(after);
      return;
    }
    case 7: {  // moveChild without a target: to the end of the nearest
               // ancestor that is not hidden.
      if (nonRoot.empty()) return;
      const Path path = PickPath(provider, nonRoot);
      Path ancestor = ParentPath(path);
      while (!ancestor.empty() && At(model.root, ancestor).hide)
        ancestor.pop_back();
      const int uid = At(model.root, path).uid;
      const int uidAncestor = At(model.root, ancestor).uid;
      Node node = HandleAt(dimension, path);
      dimension.moveChild(node, nullptr, provider.ConsumeBool());
      Model moved = Detach(model.root, uid);
      Model* parent = nullptr;
      FindUid(model.root, uidAncestor, &parent)->children.push_back(std::move(moved));
      return;
    }
    case 8: {  // insertChild over siblings listed in storage order.
      const Path parentPath = PickPath(provider, paths);
      Model& parent = At(model.root, parentPath);
      if (!Unique(parent)) return;
      std::vector<int> chosen;
      if (!parent.children.empty() && provider.ConsumeIntegralInRange<int>(0, 7) != 0) {
        const int count = static_cast<int>(parent.children.size());
        const int first = provider.ConsumeIntegralInRange<int>(0, count - 1);
        const int last = provider.ConsumeIntegralInRange<int>(first, count - 1);
        const bool everyOne = provider.ConsumeIntegralInRange<int>(0, 3) != 0;
        for (int k = first; k <= last; ++k) {
          if (everyOne || k == first || provider.ConsumeBool()) chosen.push_back(k);
        }
      }
      Model group;
      group.uid = fixture.nextUid++;
      group.label = "G" + std::to_string(fixture.nextGroup++);
      group.group = true;
      group.subscript = OmDimensionNode::kNoSubscript;
      group.inDefaultHeap = true;
      std::vector<Node> handles;
      for (int k : chosen)
        handles.push_back(HandleAt(dimension, parentPath).Child(k));
      std::vector<Node*> nodes;
      for (Node& handle : handles)
        nodes.push_back(&handle);
      dimension.insertChild(OmStringCell(group.label, nullptr, false), nodes);
      if (chosen.empty()) return;
      for (int k : chosen)
        group.children.push_back(parent.children[static_cast<std::size_t>(k)]);
      for (auto k = chosen.rbegin(); k != chosen.rend(); ++k)
        parent.children.erase(parent.children.begin() + *k);
      parent.children.insert(parent.children.begin() + chosen.front(), std::move(group));
      return;
    }
    case 9: {  // removeChild: a group's children take its place.
      const Path path = PickPath(provider, paths);
      Model& node = At(model.root, path);
      Model marked = node;
      marked.subscript = OmDimensionNode::kDissolving;
      const bool dissolves = !path.empty() && !node.children.empty();
      if (!path.empty()) {
        for (const Model& sibling : At(model.root, ParentPath(path)).children) {
          if (sibling.uid != node.uid && Equal(sibling, marked)) return;
        }
      }
      for (const Model& child : node.children) {
        if (Equal(child, marked)) return;
      }
      Node handle = HandleAt(dimension, path);
      dimension.removeChild(handle);
      node.subscript = OmDimensionNode::kDissolving;
      if (!dissolves) return;
      Model& parent = At(model.root, ParentPath(path));
      const auto at = parent.children.begin() + path.back();
      std::vector<Model> lifted = std::move(at->children);
      const auto next = parent.children.erase(at);
      parent.children.insert(next, std::make_move_iterator(lifted.begin()),
                             std::make_move_iterator(lifted.end()));
      return;
    }
    case 10: {  // Flags: hide a node, or the display option.
      if (provider.ConsumeIntegralInRange<int>(0, 4) == 0) {
        model.displayLastCategory = !model.displayLastCategory;
        dimension.DisplayLastCategory(model.displayLastCategory);
        return;
      }
      const Path path = PickPath(provider, paths);
      Model& node = At(model.root, path);
      node.hide = !node.hide;
      HandleAt(dimension, path)->Hide(node.hide);
      return;
    }
    case 11: {  // A copy into the other region, with Counterpart lookups;
                // now and then the copy replaces the original.
      const int other = 1 - fixture.current;
      std::unique_ptr<OmDimension> copy = OmDimensionTest::Copy(dimension, &fixture.regions[other]);
      DimensionModel copied = model;
      std::vector<Model*> pending{&copied.root};
      while (!pending.empty()) {
        Model* node = pending.back();
        pending.pop_back();
        node->inDefaultHeap = false;
        for (Model& child : node->children)
          pending.push_back(&child);
      }
      Compare(copy->Root(), copied.root, 0, &fixture.regions[other]);
      Check(copy->NumCategories() == copied.numCategories);
      Check(copy->DisplayLastCategory() == copied.displayLastCategory);
      for (int lookups = provider.ConsumeIntegralInRange<int>(1, 4); lookups > 0; --lookups) {
        const Path path = PickPath(provider, paths);
        Node source = HandleAt(dimension, path);
        const Node mapped = copy->Counterpart(source);
        Check(mapped == HandleAt(*copy, path));
        Check(mapped.Level() == path.size());
        Check(dimension.Counterpart(source) == source);
      }
      if (provider.ConsumeBool()) {
        fixture.dimension = std::move(copy);
        Check(fixture.regions[fixture.current].BlocksInUse() == 0);
        fixture.current = other;
        model = std::move(copied);
      }
      return;
    }
    case 12: {  // FindChild against the model's search.
      const Path path = PickPath(provider, paths);
      Model& parent = At(model.root, path);
      if (!IndexInRange(parent)) return;
      Model probe;
      probe.label = RandomLabel(provider);
      probe.group = provider.ConsumeBool();
      const int expected = Search(parent, probe, nullptr);
      const int found = OmDimension::FindChild(
          HandleAt(dimension, path), OmStringCell(probe.label, nullptr, false), probe.group);
      Check(found == expected);
      return;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  {
    Fixture fixture;
    fixture.dimension = OmDimensionTest::Make("Dimension", &fixture.regions[0]);
    fixture.model.root.uid = 0;
    fixture.model.root.label = "Dimension";
    fixture.model.root.group = true;
    fixture.model.root.subscript = OmDimensionNode::kNoSubscript;
    fixture.model.root.inDefaultHeap = true;
    fixture.CheckAll();
    for (int steps = 0; steps < 300 && provider.remaining_bytes() > 0; ++steps) {
      Step(provider, fixture);
      fixture.CheckAll();
    }
    fixture.dimension.reset();
    Check(fixture.regions[0].BlocksInUse() == 0);
    Check(fixture.regions[1].BlocksInUse() == 0);
  }
  return 0;
}
