#include "backend/omtree/Utility.h"

const OmNumber* OmUtility::GetFirstNumber(const OmComposite& composite) {
  using ConstNode = OmComposite::PartTree::ConstNode;
  ConstNode node = composite.Parts().Root();
  if (node.IsLeaf()) return nullptr;
  node = node.FirstChild();
  // Pre-order: descend into children first, then climb by parent links to
  // the next sibling, so no stack grows with the depth of the tree.
  for (;;) {
    if (const auto* number = dynamic_cast<const OmNumber*>(*node)) return number;
    if (!node.IsLeaf()) {
      node = node.FirstChild();
      continue;
    }
    while (node == node.Parent().LastChild()) {
      node = node.Parent();
      if (node.IsRoot()) return nullptr;
    }
    ++node;
  }
}
