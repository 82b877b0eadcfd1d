// HTML export of output documents, written against the library's public
// interface only: one standalone HTML5 page per document, with a small
// embedded style sheet (a print style sheet in it), no external resources
// and a script only for the layer selection. Every text is
// escaped, and each line break in it (LF, CR LF or a lone CR) becomes <br>
// except in a log's <pre>; the same document and options always give the
// same page.
//
// The outline reads top to bottom, inside <main>. Headings and procedure headings become
// <h1>..<h6> by their level (the root <h1>, deeper levels capped at <h6>),
// a procedure's command follows in <p class="command">. A text block is its
// title (<p class="item-title">) and its lines in one <p>, a log its lines
// in <pre class="log">; a page title is <p class="page-title">; charts,
// models and answer trees are one-line <p class="summary"> as in the text
// renderer.
//
// A pivot table is a <section class="pivot">, and each of its shown layers
// a <table> in it. With more than one layer shown, a layer selection comes
// first: a <div class="layer-select" hidden> with a labelled <select> per
// layer dimension (options: the categories of the shown layers) and a
// role="status" line, and each <table> has data-layer, the positions of its
// categories among the options ("1 0"). The page's one script then shows
// the selection and only the chosen layer's table, or none and "No such
// layer" in the status line; without script every layer shows, as it does
// in print, where the selection is left out.
// Each <table>:
// - <caption>: the table's title, then one <div class="layer"> per line of
//   layer labels ("Year: 2025").
// - <thead>: the head rows. The corner is one blank <td> over all head rows
//   but the last, whose corner cells hold the table's corner text as <td>,
//   or the row dimensions' names as <th scope="col"> with namesInCorner.
//   A column label is <th scope="col"> with colspan over its block.
// - <tbody>: a row label is <th scope="row"> with rowspan over its block;
//   a data cell is <td>, with class="number" (right-aligned) for a number.
//   A place without text is a plain <td>, spans kept.
// - <tfoot>: each of the table's footnotes, <tr class="footnote"> starting
//   with its mark in <sup>, then the table's caption text when shown
//   (<tr class="caption">), each one cell across the whole grid.
// Footnote marks are a, b, ... as in the text renderer, set in one <sup>
// after the text ("53<sup>a,b</sup>"). A layer with no cell shows
// "(no cells)"; a table with no layer to show is a <p class="empty">.

#ifndef OMTREE_TOOLS_FORMATS_HTML_H_
#define OMTREE_TOOLS_FORMATS_HTML_H_

#include <string>

#include "Text.h"
#include "backend/omtree/omtree.h"

namespace omrender {

// The whole outline as one HTML5 page whose <title> is title ("Output" when
// title is empty), written to out as it is rendered (see RenderDocument).
// Options as for the text renderer (ascii has no effect).
void RenderHtml(OmOutputTree& tree, const Options& options, const std::string& title,
                std::ostream& out);
// The same as one string.
std::string RenderHtml(OmOutputTree& tree, const Options& options, const std::string& title);

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_HTML_H_
