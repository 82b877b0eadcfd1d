// HTML export of output documents, written against the library's public
// interface only: one standalone HTML5 page per document.

#ifndef OMTREE_TOOLS_RENDER_HTML_H_
#define OMTREE_TOOLS_RENDER_HTML_H_

#include <string>

#include "Render.h"
#include "backend/omtree/omtree.h"

namespace omrender {

// The whole outline as one HTML5 page whose <title> is title. Options as for
// the text renderer (ascii has no effect).
std::string RenderHtml(OmOutputTree& tree, const Options& options, const std::string& title);

}  // namespace omrender

#endif  // OMTREE_TOOLS_RENDER_HTML_H_
