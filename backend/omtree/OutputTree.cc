#include "backend/omtree/OutputTree.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <memory>
#include <vector>

#include "backend/omtree/Heading.h"
#include "backend/omtree/TextBlock.h"

OmOutputTree::OmOutputTree() {
  const OmStringCell text("Output", nullptr, true);
  std::unique_ptr<OmOutputPart> root(new OmHeading(text));
  List().emplace_back(0, root.get());
  root.release();
}

OmOutputTree::~OmOutputTree() {
  for (Entry& entry : List())
    delete entry.item;
}

void OmOutputTree::Prune(Node& n) {
  // The branch is the run of entries from n's up to the first later entry
  // whose level is not greater than n's cached level. An item is deleted
  // when the walk reaches the end of its subtree: the first later entry of a
  // level not greater than its own. `open` holds the entries whose subtrees
  // are still open, deepest last; their levels rise strictly, so the first
  // pass can size it, and no allocation fails once an item is gone.
  const Position begin = n.ListPosition();
  Position end = std::next(begin);
  int32_t lowest = begin->level;
  int32_t highest = begin->level;
  std::size_t length = 1;
  for (; end != List().end() && end->level > n.Level(); ++end, ++length) {
    lowest = std::min(lowest, end->level);
    highest = std::max(highest, end->level);
  }
  std::vector<Position> open;
  open.reserve(std::min(length, static_cast<std::size_t>(highest - lowest) + 1));

  for (Position entry = begin; entry != end; ++entry) {
    while (!open.empty() && open.back()->level >= entry->level) {
      delete open.back()->item;
      open.pop_back();
    }
    open.push_back(entry);
  }
  for (auto entry = open.rbegin(); entry != open.rend(); ++entry)
    delete (*entry)->item;
  List().erase(begin, end);
}

void OmOutputTree::Erase(Node& n) {
  delete n.Item();
  ListTree::Erase(n);
}

ListTree<OmOutputPart*>::Node Amputate(ListTree<OmOutputPart*>::Node n, const OmCellText* text,
                                       const std::string& codePage) {
  auto& tree = static_cast<OmOutputTree&>(*n.Tree());
  if (n.Level() <= 1) {
    while (!n.IsLeaf()) {
      ListTree<OmOutputPart*>::Node child = n.FirstChild();
      tree.Prune(child);
    }
    std::unique_ptr<OmTextBlock> block(new OmTextBlock(*text, codePage));
    ListTree<OmOutputPart*>::Node added = n.AppendChild(block.get());
    block.release();
    return added;
  }
  OmOutputPart*& item = n.Item();
  std::unique_ptr<OmTextBlock> block(new OmTextBlock(*item->OutlineText(), codePage));
  delete item;
  item = nullptr;
  n.AppendChild(block.get());
  block.release();
  tree.Flatten(n);
  ListTree<OmOutputPart*>::Node successor = n;
  successor.NextSibling();
  tree.ListTree::Erase(n);
  return successor;
}
