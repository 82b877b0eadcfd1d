// The outline of an output document is a ListTree of pointers to its items.
// This instantiation is part of the library's exported interface: it is
// compiled once, in the library, and users link against it instead of
// instantiating it themselves.

#ifndef OMTREE_BACKEND_OMTREE_OUTLINE_H_
#define OMTREE_BACKEND_OMTREE_OUTLINE_H_

#include "backend/omtree/Export.h"
#include "backend/tables/ListTree.h"

class OmOutputPart;

extern template struct OMTREE_EXPORT ListTreeData<OmOutputPart*>;
extern template class OMTREE_EXPORT ListTree<OmOutputPart*>;

#endif  // OMTREE_BACKEND_OMTREE_OUTLINE_H_
