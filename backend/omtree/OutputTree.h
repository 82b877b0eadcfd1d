// OmOutputTree is the outline of one output document: a ListTree of item
// pointers that owns its items. Its root, made with the tree, is a heading
// whose text is "Output" (a system text). Callers hang procedure headings,
// headings, text blocks, page titles, pivot tables, charts, models and
// answer trees below it, each item created with new and owned by the tree
// from the moment its entry is added.
//
// Ownership:
//   * The tree deletes an entry's item, through its virtual destructor, when
//     OmOutputTree::Prune, OmOutputTree::Erase or Amputate removes the entry,
//     and when the tree is destroyed. Null items are allowed and skipped.
//   * The inherited ListTree operations (ListTree::Prune, ListTree::Erase,
//     Flatten, Move) and edits through List() never delete items: an entry
//     removed through them hands its item back to the caller, and Move takes
//     entries, with their items, out of another tree into this one.
//   * The tree is not copyable: its items cannot all be copied (pivot tables
//     are not), and two trees must never own one item.
//   * Destroy an output tree as an OmOutputTree: ListTree's destructor is not
//     virtual.
//
// Depth: Prune, Erase, Amputate and destruction are iterative, so an outline
// of any depth (a chain of a million levels, say) costs no stack.
//
// A tree is used from one thread at a time.

#ifndef OMTREE_BACKEND_OMTREE_OUTPUTTREE_H_
#define OMTREE_BACKEND_OMTREE_OUTPUTTREE_H_

#include <string>

#include "backend/omtree/Export.h"
#include "backend/omtree/Outline.h"
#include "backend/omtree/OutputPart.h"

class OMTREE_EXPORT OmOutputTree : public ListTree<OmOutputPart*> {
 public:
  // A tree holding only its "Output" root heading.
  OmOutputTree();

  // Deletes every item, first entry to last, then the entries.
  ~OmOutputTree();

  OmOutputTree(const OmOutputTree&) = delete;
  OmOutputTree& operator=(const OmOutputTree&) = delete;

  // Deletes n's item and every item below it, and removes their entries.
  // Items go descendants first: each child's branch completely, in outline
  // order, then n's own item. n is stale afterwards.
  // REQUIRES: n names an entry of this tree.
  void Prune(Node& n);

  // Deletes n's item, then removes n's entry; n's descendants move up one
  // level into its place. n is stale afterwards.
  // REQUIRES: n names an entry of this tree.
  void Erase(Node& n);
};

// Cuts a branch out of an output tree and leaves a text block in its place.
//
// For the root or an item directly under it (level 0 or 1): deletes every
// item below n and removes their entries, then appends a new text block made
// from text and codePage as n's only child; returns its node. n keeps its
// item. REQUIRES: text is not null.
//
// Deeper (level 2 or more): deletes n's item; its children move up one level
// into its place, followed by a new text block made from the item's outline
// text and codePage; returns the node of the first entry that now stands in
// n's place (the first former child, or the text block). text is not used.
//
// REQUIRES: n names an entry (not the end) of an OmOutputTree, and at level
// 2 or more holds an item.
OMTREE_EXPORT ListTree<OmOutputPart*>::Node Amputate(ListTree<OmOutputPart*>::Node n,
                                                     const OmCellText* text,
                                                     const std::string& codePage);

#endif  // OMTREE_BACKEND_OMTREE_OUTPUTTREE_H_
