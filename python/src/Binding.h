// The shared pieces of the omtree._core extension module: the state that
// every Python object of one document shares, and the handles through which
// Python reaches the items, tables, dimensions and categories of a document.
//
// Ownership. A document's outline lives in one DocumentState, owned jointly
// through std::shared_ptr by the Document object and every handle taken from
// it, so an item, a table or a category kept after its document object is
// gone keeps the whole outline alive. Document.close() drops the outline
// early; every handle then raises ValueError.
//
// Stable handles. Outline entries sit in a std::list and the binding never
// removes one, so an item handle keeps the entry's list position. A
// dimension is named by its table and number (dimensions are never removed).
// A category handle keeps the path of labels from its dimension's root and
// finds its node again on every use, since any edit of a category tree may
// move the tree's entries; a path that no longer leads to a category raises
// ValueError.
//
// Threads. Calls that take long (crosstab, open, save, render, export)
// release the GIL. Each DocumentState carries a mutex that every access
// takes: without the GIL it is taken after the GIL is released and freed
// before the GIL is taken again, so a thread that waits for it with the GIL
// held is never waiting on a thread that needs the GIL.

#ifndef OMTREE_PYTHON_SRC_BINDING_H_
#define OMTREE_PYTHON_SRC_BINDING_H_

#include <pybind11/pybind11.h>

#include <cstddef>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "backend/omtree/omtree.h"

namespace ombind {

namespace py = pybind11;

struct DocumentState {
  std::unique_ptr<OmOutputTree> tree;  // null once the document is closed
  std::mutex mutex;
};
using StatePtr = std::shared_ptr<DocumentState>;

// A file that cannot be read or written: raised in Python as OSError with
// the error number (0 when there is none) and the command's message.
class OsError : public std::runtime_error {
 public:
  OsError(int error, const std::string& message) : std::runtime_error(message), _error(error) {}
  int error() const { return _error; }

 private:
  int _error;
};

// Holds a document's mutex for the life of one call made with the GIL held,
// and checks that the document is open (else ValueError).
class Access {
 public:
  explicit Access(const StatePtr& state);
  Access(const Access&) = delete;
  Access& operator=(const Access&) = delete;

  OmOutputTree& Tree() const { return *_state.tree; }

 private:
  DocumentState& _state;
  std::lock_guard<std::mutex> _lock;
};

// Runs work(tree) with the GIL released and the document's mutex held.
template <typename Work>
auto WithoutGil(const StatePtr& state, Work work) {
  py::gil_scoped_release release;
  std::lock_guard<std::mutex> lock(state->mutex);
  if (state->tree == nullptr) {
    throw py::value_error("the document is closed");
  }
  return work(*state->tree);
}

// A text as Python reads it: its string, or "" for null.
std::string TextOf(const OmCellText* text);
OmStringCell MakeText(const std::string& text);

// Runs work() with the GIL released, for work on no shared document.
template <typename Work>
auto Released(Work work) {
  py::gil_scoped_release release;
  return work();
}

// A new document state holding tree.
StatePtr Adopt(std::unique_ptr<OmOutputTree> tree);

// An entry of a document's outline.
struct ItemHandle {
  StatePtr state;
  ListTree<OmOutputPart*>::Position position;

  // The entry's item; null for an entry without one.
  OmOutputPart* Part() const { return position->item; }
  ListTree<OmOutputPart*>::Node Node(OmOutputTree& tree) const { return {&tree, position}; }
};

// An entry that holds a pivot table.
struct TableHandle : ItemHandle {
  OmPivotTable& Table() const { return static_cast<OmPivotTable&>(*Part()); }
};

struct DimensionHandle {
  StatePtr state;
  OmPivotTable* table;
  int number;

  // Whether other names the same dimension (of the same document).
  bool Same(const DimensionHandle& other) const {
    return state == other.state && table == other.table && number == other.number;
  }

  OmDimension& Dimension() const { return table->Dimension(number); }
};

// One step of a category's path: a child's label and kind, and the offset
// among its siblings where it stood when the handle was made (tried first).
struct PathStep {
  std::string label;
  bool group;
  int offset;
};

struct CategoryHandle {
  DimensionHandle dimension;
  std::vector<PathStep> path;  // empty for the dimension's root

  // The node the path leads to now. Throws ValueError when none.
  OmDimension::Node Resolve() const;
};

// The handle of node, a node of dimension's tree.
CategoryHandle MakeCategory(const DimensionHandle& dimension, OmDimension::Node node);

// Calls visit(leaf, groups) for every leaf below dimension's root in
// display order, groups holding the leaf's group labels outermost first.
template <typename Visit>
void ForEachLeaf(OmDimension& dimension, Visit visit) {
  std::vector<std::pair<OmDimension::Node, int>> stack = {{dimension.Root(), 0}};
  std::vector<std::string> groups;
  while (!stack.empty()) {
    auto& [node, next] = stack.back();
    if (next == node.NumChildren()) {
      stack.pop_back();
      if (!groups.empty()) groups.pop_back();  // groups holds one label per entry past the root
      continue;
    }
    const OmDimension::Node child = node.Child(next++);
    if (child->IsGroup()) {
      groups.push_back(TextOf(child->Text()));
      stack.push_back({child, 0});
    } else {
      visit(child, groups);
    }
  }
}

// An item handle as its Python class: Table for a pivot table, else Item.
py::object WrapItem(const StatePtr& state, ListTree<OmOutputPart*>::Position position);

void DefineDocument(py::module_& module);
void DefineTable(py::module_& module);
void DefineDimension(py::module_& module);
void DefineCrosstab(py::module_& module);

}  // namespace ombind

#endif  // OMTREE_PYTHON_SRC_BINDING_H_
