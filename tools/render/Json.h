// JSON export of output documents, written against the library's public
// interface only.

#ifndef OMTREE_TOOLS_RENDER_JSON_H_
#define OMTREE_TOOLS_RENDER_JSON_H_

#include <string>

#include "Render.h"
#include "backend/omtree/omtree.h"

namespace omrender {

// The whole document as one JSON text. Options as for the text renderer
// (ascii has no effect).
std::string RenderJson(OmOutputTree& tree, const Options& options);

}  // namespace omrender

#endif  // OMTREE_TOOLS_RENDER_JSON_H_
