// Fuzz target for the outline of an output document: operation sequences on
// two OmOutputTree instances (AppendChild, the deleting Prune and Erase, the
// handing-back ListTree::Prune and ListTree::Erase, Flatten, Move of a run of
// whole sibling subtrees from one tree to the other, Amputate, rebuilding a
// tree) checked after every step against a reference model: per tree a
// vector of (level, outline text, counted) entries. Items are small text
// blocks whose outline text carries their id; a live-item counter checks that
// every deletion is exact, and the node walks (children, parent, leaf test)
// are compared with the model too.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "backend/omtree/OutputTree.h"
#include "backend/omtree/TextBlock.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

using Node = ListTree<OmOutputPart*>::Node;

int liveItems = 0;

// A text block that counts the instances alive.
class Counted : public OmTextBlock {
 public:
  explicit Counted(const std::string& name)
      : OmTextBlock(OmStringCell(name, nullptr, false), "UTF-8") {
    ++liveItems;
  }
  Counted(const Counted&) = delete;
  Counted& operator=(const Counted&) = delete;
  ~Counted() override { --liveItems; }
};

struct Entry {
  int level;
  std::string text;  // "-" for a null item
  bool counted;      // a Counted item (the others are made by the library)
};

using Model = std::vector<Entry>;

constexpr int kMaxEntries = 200;

Model FreshModel() {
  return {{0, "Output", false}};
}

// The index just past entry i's subtree.
std::size_t SubtreeEnd(const Model& model, std::size_t i) {
  std::size_t end = i + 1;
  while (end < model.size() && model[end].level > model[i].level)
    ++end;
  return end;
}

Node NodeAt(OmOutputTree& tree, std::size_t i) {
  return Node(&tree, std::next(tree.List().begin(), static_cast<std::ptrdiff_t>(i)));
}

std::size_t IndexOf(OmOutputTree& tree, const Node& node) {
  return static_cast<std::size_t>(std::distance(tree.List().begin(), node.ListPosition()));
}

void CheckTree(OmOutputTree& tree, const Model& model) {
  Check(tree.Size() == static_cast<int>(model.size()));
  std::size_t i = 0;
  for (const auto& entry : tree.List()) {
    const Entry& expected = model[i++];
    Check(entry.level == expected.level);
    if (entry.item == nullptr) {
      Check(expected.text == "-");
      continue;
    }
    Check(entry.item->OutlineText()->AsString() == expected.text);
    Check((dynamic_cast<Counted*>(entry.item) != nullptr) == expected.counted);
  }
}

// The node walks of entry i against the model: leaf test, children, parent.
void CheckWalks(OmOutputTree& tree, const Model& model, std::size_t i) {
  const Node node = NodeAt(tree, i);
  const std::size_t end = SubtreeEnd(model, i);
  Check(node.IsLeaf() == (end == i + 1));
  Check(IndexOf(tree, node.ChildrenEnd()) == end);
  std::size_t expected = i + 1;
  for (Node child = node.FirstChild(); child != node.ChildrenEnd(); child.NextSibling()) {
    Check(expected < end);
    Check(IndexOf(tree, child) == expected);
    Check(child.Level() == model[i].level + 1);
    expected = SubtreeEnd(model, expected);
  }
  Check(expected == end);
  if (model[i].level > 0) {
    std::size_t parent = i;
    while (model[--parent].level >= model[i].level) {
    }
    Check(IndexOf(tree, node.Parent()) == parent);
  }
}

struct Fixture {
  std::unique_ptr<OmOutputTree> trees[2];
  Model models[2];
  int nextId = 1;

  std::string NewName() { return "n" + std::to_string(nextId++); }

  void CheckAll() {
    int counted = 0;
    for (int t = 0; t < 2; ++t) {
      CheckTree(*trees[t], models[t]);
      for (const Entry& entry : models[t])
        counted += entry.counted ? 1 : 0;
    }
    Check(liveItems == counted);
  }
};

void Step(FuzzedDataProvider& provider, Fixture& fixture) {
  const int t = provider.ConsumeIntegralInRange<int>(0, 1);
  OmOutputTree& tree = *fixture.trees[t];
  Model& model = fixture.models[t];
  const int op = provider.ConsumeIntegralInRange<int>(0, 9);
  const bool empty = model.empty();
  const std::size_t i =
      empty ? 0 : provider.ConsumeIntegralInRange<std::size_t>(0, model.size() - 1);

  switch (op) {
    case 0:
    case 1: {  // AppendChild of a counted item or, now and then, a null one.
      if (empty || model.size() >= kMaxEntries) return;
      const bool null = provider.ConsumeIntegralInRange<int>(0, 7) == 0;
      const std::string name = null ? "-" : fixture.NewName();
      const Node added = NodeAt(tree, i).AppendChild(null ? nullptr : new Counted(name));
      const std::size_t at = SubtreeEnd(model, i);
      model.insert(model.begin() + static_cast<std::ptrdiff_t>(at),
                   Entry{model[i].level + 1, name, !null});
      Check(IndexOf(tree, added) == at);
      Check(added.Level() == model[at].level);
      return;
    }
    case 2: {  // OmOutputTree::Prune deletes the branch's items.
      if (empty) return;
      Node node = NodeAt(tree, i);
      tree.Prune(node);
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(i),
                  model.begin() + static_cast<std::ptrdiff_t>(SubtreeEnd(model, i)));
      return;
    }
    case 3: {  // OmOutputTree::Erase deletes one item and lifts its children.
      if (empty) return;
      Node node = NodeAt(tree, i);
      const std::size_t end = SubtreeEnd(model, i);
      tree.Erase(node);
      for (std::size_t k = i + 1; k < end; ++k)
        --model[k].level;
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
      return;
    }
    case 4: {  // Flatten deletes nothing.
      if (empty) return;
      Node node = NodeAt(tree, i);
      const std::size_t end = SubtreeEnd(model, i);
      tree.Flatten(node);
      for (std::size_t k = i + 1; k < end; ++k)
        --model[k].level;
      return;
    }
    case 5: {  // The inherited removals hand the items back to the caller.
      if (empty) return;
      const bool prune = provider.ConsumeBool();
      const std::size_t end = prune ? SubtreeEnd(model, i) : i + 1;
      std::vector<OmOutputPart*> handedBack;
      auto entry = std::next(tree.List().begin(), static_cast<std::ptrdiff_t>(i));
      for (std::size_t k = i; k < end; ++k, ++entry)
        handedBack.push_back(entry->item);
      Node node = NodeAt(tree, i);
      if (prune) {
        tree.ListTree::Prune(node);
      } else {
        const std::size_t subtreeEnd = SubtreeEnd(model, i);
        tree.ListTree::Erase(node);
        for (std::size_t k = i + 1; k < subtreeEnd; ++k)
          --model[k].level;
      }
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(i),
                  model.begin() + static_cast<std::ptrdiff_t>(end));
      for (OmOutputPart* item : handedBack)
        delete item;
      return;
    }
    case 6: {  // Move a run of whole sibling subtrees of the other tree in
               // front of a target of the same level (or the end, level 0).
      OmOutputTree& source = *fixture.trees[1 - t];
      Model& sourceModel = fixture.models[1 - t];
      const std::size_t target = provider.ConsumeIntegralInRange<std::size_t>(0, model.size());
      const int level = target < model.size() ? model[target].level : 0;
      std::vector<std::size_t> candidates;
      for (std::size_t k = 0; k < sourceModel.size(); ++k) {
        if (sourceModel[k].level == level) candidates.push_back(k);
      }
      if (candidates.empty()) return;
      const std::size_t begin =
          candidates[provider.ConsumeIntegralInRange<std::size_t>(0, candidates.size() - 1)];
      int siblings = provider.ConsumeIntegralInRange<int>(1, 4);
      std::size_t end = begin;
      do {
        end = SubtreeEnd(sourceModel, end);
      } while (--siblings > 0 && end < sourceModel.size() && sourceModel[end].level == level);
      if (model.size() + (end - begin) > kMaxEntries) return;
      tree.Move(NodeAt(tree, target), NodeAt(source, begin), NodeAt(source, end));
      model.insert(model.begin() + static_cast<std::ptrdiff_t>(target),
                   sourceModel.begin() + static_cast<std::ptrdiff_t>(begin),
                   sourceModel.begin() + static_cast<std::ptrdiff_t>(end));
      sourceModel.erase(sourceModel.begin() + static_cast<std::ptrdiff_t>(begin),
                        sourceModel.begin() + static_cast<std::ptrdiff_t>(end));
      return;
    }
    case 7: {  // Amputate.
      if (empty) return;
      const int level = model[i].level;
      const std::size_t end = SubtreeEnd(model, i);
      if (level <= 1) {
        const std::string name = fixture.NewName();
        const OmStringCell text(name, nullptr, false);
        const Node block = Amputate(NodeAt(tree, i), &text, "UTF-8");
        model.erase(model.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                    model.begin() + static_cast<std::ptrdiff_t>(end));
        model.insert(model.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                     Entry{level + 1, name, false});
        Check(IndexOf(tree, block) == i + 1);
        Check(block.Level() == level + 1);
        return;
      }
      if (model[i].text == "-") return;  // deeper, Amputate needs an item
      const std::string text = model[i].text;
      const Node first = Amputate(NodeAt(tree, i), nullptr, "UTF-8");
      for (std::size_t k = i + 1; k < end; ++k)
        --model[k].level;
      model.insert(model.begin() + static_cast<std::ptrdiff_t>(end), Entry{level, text, false});
      model.erase(model.begin() + static_cast<std::ptrdiff_t>(i));
      Check(IndexOf(tree, first) == i);
      Check(first.Level() == level);
      return;
    }
    case 8: {  // Walks over a node, compared with the model.
      if (empty) return;
      CheckWalks(tree, model, i);
      return;
    }
    case 9: {  // A new tree in place of the old: the destructor deletes all.
      fixture.trees[t] = std::make_unique<OmOutputTree>();
      model = FreshModel();
      return;
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  {
    Fixture fixture;
    for (auto& tree : fixture.trees)
      tree = std::make_unique<OmOutputTree>();
    fixture.models[0] = FreshModel();
    fixture.models[1] = FreshModel();
    for (int steps = 0; steps < 400 && provider.remaining_bytes() > 0; ++steps) {
      Step(provider, fixture);
      fixture.CheckAll();
    }
    for (int t = 0; t < 2; ++t) {
      for (std::size_t i = 0; i < fixture.models[t].size(); ++i)
        CheckWalks(*fixture.trees[t], fixture.models[t], i);
    }
  }
  Check(liveItems == 0);
  return 0;
}
