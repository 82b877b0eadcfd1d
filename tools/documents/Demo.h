// The demo document: one of every kind of output item, as a producer would
// build it. A page title, a log, and a procedure heading holding a notes
// table, a warnings table, a crosstabulation (nested row groups, a hidden
// category, a group that hides its labels, two layer dimensions, footnotes on
// a cell and on a label, title, caption and corner text), a text block, a
// chart, a model and an answer tree.

#ifndef OMTREE_TOOLS_DOCUMENTS_DEMO_H_
#define OMTREE_TOOLS_DOCUMENTS_DEMO_H_

#include <memory>

#include "backend/omtree/omtree.h"

namespace omrender {

std::unique_ptr<OmOutputTree> MakeDemoDocument();

}  // namespace omrender

#endif  // OMTREE_TOOLS_DOCUMENTS_DEMO_H_
