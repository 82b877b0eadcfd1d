// Pivoting operations on whole documents: edits of the tables' layout that
// a viewer offers on a saved document, written against the library's public
// interface only. They change which dimensions stand in the rows, columns
// and layers, never the dimensions, categories or cells themselves.

#ifndef OMTREE_TOOLS_DOCUMENTS_PIVOT_H_
#define OMTREE_TOOLS_DOCUMENTS_PIVOT_H_

#include "backend/omtree/omtree.h"

namespace omdoc {

// Swaps the rows and columns of every pivot table in tree: the row
// dimensions become the column dimensions, in the same nesting, and the
// other way round. Layers stay as they are. Returns the number of tables
// transposed.
int Transpose(OmOutputTree& tree);

}  // namespace omdoc

#endif  // OMTREE_TOOLS_DOCUMENTS_PIVOT_H_
