// The explicit instantiations of the outline. They take their export
// attribute from the declarations in Outline.h; GCC ignores (and warns about)
// an attribute repeated on the definitions.

#include "backend/omtree/Outline.h"

template struct ListTreeData<OmOutputPart*>;
template class ListTree<OmOutputPart*>;
