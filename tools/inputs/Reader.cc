#include "Reader.h"

#include <algorithm>
#include <limits>

namespace omdoc::internal {

namespace {

// No recount: adding the leaves gives the category count.
constexpr std::size_t kNoRecount = static_cast<std::size_t>(-1);

// The subscripts past which a dimension of the given number of leaves takes
// none. A bound in proportion to the leaves keeps what a cell index makes
// the cell store allocate in proportion to the document.
std::uint64_t SubscriptBound(std::uint64_t leaves) {
  return 2 * leaves + 1024;
}

// Where, before which node in reading order (nodes.size(): after the last),
// the dimension must recount to end with categoryCount: the library's
// recount (OmDimension::Delete) sets the count to one more than the low 32
// bits of the largest subscript among the leaves it reaches through groups
// alone, and every leaf added afterwards counts one more.
std::size_t RecountPoint(const Tape& tape, const std::vector<CategoryRecord>& nodes,
                         std::int64_t leaves, std::int64_t categoryCount, std::size_t countToken) {
  if (categoryCount == leaves) return kNoRecount;
  // Per level of the current path: whether the recount looks below that
  // node. It always looks below the root.
  std::vector<bool> reached{true};
  std::uint32_t largest = 0;
  std::int64_t added = 0;
  for (std::size_t k = 1;; ++k) {
    const std::int64_t recounted = static_cast<std::int32_t>(largest + 1u);
    if (recounted + (leaves - added) == categoryCount) return k;
    if (k == nodes.size()) break;
    const CategoryRecord& node = nodes[k];
    reached.resize(node.level);
    const bool parentReached = reached.back();
    if (!node.group) {
      ++added;
      if (parentReached) largest = std::max(largest, static_cast<std::uint32_t>(node.subscript));
    }
    reached.push_back(parentReached && node.group);
  }
  tape.Fail(countToken, "categoryCount " + std::to_string(categoryCount) +
                            " does not match the categories (" + std::to_string(leaves) +
                            " leaves)");
}

void ApplyFlags(const OmDimension::Node& node, const CategoryRecord& category) {
  node->Subscript(category.subscript);
  node->IsGroup(category.group);
  node->Hide(category.hidden);
  node->HideLabels(category.hideLabels);
  node->Sort(category.sort);
}

// Makes the dimension recount its categories, through the one operation
// that does: a leaf added at the end of the root's children and deleted
// again, which leaves tree and child indexes as they were.
void Recount(OmDimension& dimension) {
  const OmStringCell empty("", nullptr, false);
  OmDimension::Node added = dimension.AddNewChild(dimension.Root(), empty, 0, false);
  dimension.Delete(added);
}

// Sorts the child index of every node whose children all have a text, once,
// after the whole tree is read: the nodes went in with AddNewChild, which
// appends, so that a dimension of many categories loads in O(n log n) and a
// later Child or FindChild finds what was loaded. A node with a child
// without a text keeps its children in reading order: such a child has no
// place in the sorted order.
void IndexCategories(OmDimension& dimension) {
  std::vector<OmDimension::Node> pending{dimension.Root()};
  while (!pending.empty()) {
    const OmDimension::Node node = pending.back();
    pending.pop_back();
    bool allHaveTexts = true;
    for (int offset = 0; offset < node.NumChildren(); ++offset) {
      const OmDimension::Node child = node.Child(offset);
      allHaveTexts = allHaveTexts && child->Text() != nullptr;
      pending.push_back(child);
    }
    if (allHaveTexts) dimension.IndexChildren(node);
  }
}

std::string ShowIndex(const std::vector<int>& index) {
  std::string shown = "[";
  for (std::size_t d = 0; d < index.size(); ++d)
    shown += (d == 0 ? "" : ", ") + std::to_string(index[d]);
  return shown + "]";
}

}  // namespace

std::vector<std::string_view> ItemKeys(std::initializer_list<std::string_view> kindKeys) {
  std::vector<std::string_view> keys{"kind", "text", "visible", "expanded", "children"};
  keys.insert(keys.end(), kindKeys);
  return keys;
}

std::vector<bool> AddDimension(const Tape& tape, OmPivotTable& table,
                               std::vector<CategoryRecord>& nodes, std::int64_t categoryCount,
                               std::size_t countToken) {
  const CategoryRecord& root = nodes.front();
  if (root.text == nullptr) {
    tape.Fail(root.token, "a dimension's root needs a text: it is the dimension's name");
  }
  const auto leaves = static_cast<std::uint64_t>(std::count_if(
      nodes.begin() + 1, nodes.end(), [](const CategoryRecord& node) { return !node.group; }));
  const std::uint64_t bound = SubscriptBound(leaves);
  std::vector<bool> subscripts(bound, false);
  for (const CategoryRecord& node : nodes) {
    if (node.group) continue;
    if (node.subscript < bound) {
      subscripts[node.subscript] = true;
    } else if (node.subscript != OmDimensionNode::kNoSubscript &&
               node.subscript != OmDimensionNode::kDissolving) {
      tape.Fail(node.subscriptToken, "subscript " + std::to_string(node.subscript) +
                                         " is too large: a dimension of " + std::to_string(leaves) +
                                         " leaves takes subscripts below " + std::to_string(bound));
    }
  }
  const std::size_t recount =
      RecountPoint(tape, nodes, static_cast<std::int64_t>(leaves), categoryCount, countToken);

  OmDimension& dimension = table.AddDimension(*root.text);
  ApplyFlags(dimension.Root(), root);
  // The path from the root to the latest node, and each node's offset among
  // its siblings: appending below a node can move its later siblings' and
  // their parents' entries, so after a recount the path is found again.
  std::vector<OmDimension::Node> path{dimension.Root()};
  std::vector<int> offsets{0};
  const OmStringCell placeholder("", nullptr, false);
  for (std::size_t k = 1; k <= nodes.size(); ++k) {
    if (k == recount) {
      Recount(dimension);
      path.front() = dimension.Root();
      for (std::size_t level = 1; level < path.size(); ++level)
        path[level] = path[level - 1].Child(offsets[level]);
    }
    if (k == nodes.size()) break;
    const CategoryRecord& category = nodes[k];
    path.erase(path.begin() + category.level, path.end());
    offsets.resize(category.level);
    const OmCellText* text = category.text != nullptr ? category.text.get() : &placeholder;
    OmDimension::Node node =
        dimension.AddNewChild(path.back(), *text, category.subscript, category.group);
    // A node without a text is one that took its text from another by
    // assignment; an assignment from a node without one gives it none.
    if (category.text == nullptr) node.Value() = OmDimensionNode(&dimension.Region());
    ApplyFlags(node, category);
    path.push_back(node);
    offsets.push_back(node.Offset());
  }
  IndexCategories(dimension);
  return subscripts;
}

std::vector<int> CellIndex(const Tape& tape, std::size_t cell, std::size_t indexToken,
                           const LeafSubscripts& leaves) {
  if (leaves.empty()) tape.Fail(cell, "a table without dimensions holds no cells");
  const Tape::Elements subscripts = tape.Array(indexToken);
  const std::size_t count = subscripts.size();
  if (count != leaves.size()) {
    tape.Fail(indexToken, "index has " + std::to_string(count) + " subscripts; the table has " +
                              std::to_string(leaves.size()) + " dimensions");
  }
  std::vector<int> index;
  index.reserve(count);
  for (std::size_t token : subscripts) {
    const std::size_t d = index.size();
    const std::int64_t subscript = tape.Integer(token, 0, std::numeric_limits<int>::max());
    if (static_cast<std::uint64_t>(subscript) >= leaves[d].size() ||
        !leaves[d][static_cast<std::size_t>(subscript)]) {
      tape.Fail(token, "subscript " + std::to_string(subscript) + " names no leaf of dimension " +
                           std::to_string(d));
    }
    index.push_back(static_cast<int>(subscript));
  }
  return index;
}

void SetCell(const Tape& tape, OmPivotTable& table, std::size_t cell, const std::vector<int>& index,
             const OmCellText& text) {
  if (table.Cell(index) != nullptr) tape.Fail(cell, "a second cell at index " + ShowIndex(index));
  table.Cell(index, text);
}

bool IsPlainString(const OmCellText& text, const std::string& bytes) {
  const auto* string = dynamic_cast<const OmStringCell*>(&text);
  return string != nullptr && !string->IsSystemText() && string->AsString() == bytes &&
         string->AsFormattedString() == bytes && string->Footnotes().empty() &&
         string->getMarkers().empty() && !string->hasMeta();
}

namespace {

// A chart that keeps the outline text it is given. OmChart's constructor
// replaces the text by its conversion into the code page; this puts the
// given text back through the protected ReplaceOutlineText, which the
// library offers items that keep converted texts.
class RestoredChart final : public OmChart {
 public:
  RestoredChart(const OmCellText& text, const std::string& codePage) : OmChart(text, codePage) {
    ReplaceOutlineText(text);
  }
};

}  // namespace

std::unique_ptr<OmChart> MakeChart(const OmCellText& text, const std::string& codePage) {
  auto chart = std::make_unique<OmChart>(text, codePage);
  // Without a code page the chart clones text; with one it makes a plain
  // string of the conversion, which is text when converting changes
  // nothing.
  if (codePage.empty() || IsPlainString(text, chart->OutlineText()->AsString())) return chart;
  return std::make_unique<RestoredChart>(text, codePage);
}

void AppendInPieces(const std::string& bytes,
                    const std::function<void(const char*, unsigned int)>& append) {
  constexpr std::size_t kPiece = std::numeric_limits<unsigned int>::max();
  for (std::size_t at = 0; at < bytes.size(); at += kPiece)
    append(bytes.data() + at, static_cast<unsigned int>(std::min(kPiece, bytes.size() - at)));
}

std::unique_ptr<OmOutputTree> BuildOutline(const Tape& tape, std::size_t items,
                                           const ItemBuilder& build) {
  auto tree = std::make_unique<OmOutputTree>();
  ListTree<OmOutputPart*>::Node made = tree->Root();
  tree->Prune(made);
  // Per open array of items, its next element and its end token; the
  // items of the n-th open array stand at level n.
  struct Open {
    std::size_t next;
    std::size_t end;
  };
  tape.ExpectArray(items);
  std::vector<Open> open{{items + 1, tape.Next(items) - 1}};
  while (!open.empty()) {
    if (open.back().next == open.back().end) {
      open.pop_back();
      continue;
    }
    const std::size_t object = open.back().next;
    open.back().next = tape.Next(object);
    std::size_t children = 0;
    std::unique_ptr<OmOutputPart> item = build(object, children);
    tree->List().emplace_back(static_cast<std::int32_t>(open.size() - 1), item.get());
    item.release();
    tape.ExpectArray(children);
    if (tape.Next(children) - 1 != children + 1)
      open.push_back({children + 1, tape.Next(children) - 1});
  }
  return tree;
}

}  // namespace omdoc::internal
