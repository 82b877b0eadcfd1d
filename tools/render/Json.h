// JSON export of output documents, written against the library's public
// interface only. The document is one object, {"format": "omtree-document",
// "version": 1, "options": ..., "items": [...]}, whose items nest as the
// outline does: each item carries its kind, outline text, viewer flags, what
// its kind holds and its "children". Charts, models and answer trees give the
// sizes of their payloads, never the bytes. A pivot table gives its texts,
// dimensions (category trees), footnotes, every stored cell, and per shown
// layer the labels, corner, column heading and row heading that the text
// renderer would draw under the same options. docs/json.md describes every
// field; docs/json-schema.json is the schema.
//
// The text is UTF-8, pretty-printed with an indent of two spaces per nesting
// level and a final newline, and the same for the same document. Bytes that
// are not valid UTF-8 become U+FFFD, so the export never fails on them.
// Outlines and category trees of any depth are walked without recursion; the
// indent stops growing past 32 levels, so that the text stays proportional to
// the document's size.

#ifndef OMTREE_TOOLS_RENDER_JSON_H_
#define OMTREE_TOOLS_RENDER_JSON_H_

#include <string>

#include "Render.h"
#include "backend/omtree/omtree.h"

namespace omrender {

// The whole document as one JSON text. hideEmpty, namesInCorner and layer
// choose the layers, rows and columns shown as for RenderDocument; ascii has
// no effect. The cells, dimensions and footnotes are always complete.
std::string RenderJson(OmOutputTree& tree, const Options& options);

}  // namespace omrender

#endif  // OMTREE_TOOLS_RENDER_JSON_H_
