// Markdown export of output documents (GitHub-flavoured, with pipe tables),
// written against the library's public interface only. The same document
// and options always give the same text.
//
// The outline reads top to bottom. Headings and procedure headings become
// ATX headings by their level ("#" for the root's children, capped at
// "######"), a procedure's command follows as a fenced code block. A text
// block is
// its title in bold and its lines as one paragraph; a log is a fenced
// code block. A fence is one backtick longer than the longest run of
// backticks inside (at least three). A page title is a paragraph in italics;
// charts, models and answer trees are one-line summaries as in the text
// renderer.
//
// Each shown layer of a pivot table is a paragraph of its own (the table's
// title in bold, each line of layer labels after a line break) followed by
// one pipe table. A pipe table has a single header row, so the head rows of
// the layout are folded into it: a column's header is the labels above it,
// top to bottom, joined by " / " ("Sex / Male"), the labels of a span
// repeated under each column it spans and empty labels left out; the
// header's label columns hold the corner text, or the row dimensions'
// names with namesInCorner. Every data row repeats its row labels (a
// label spanning several rows stands in each), so that each row reads on
// its own. Numbers are right-aligned (the alignment row marks every data
// column "---:" when the layer has a number in it). After the table come
// the table's footnotes, a list of "<mark>: <text>" items, then its caption
// text as a paragraph. A layer with no cell shows "(no cells)"; a table
// with no layer to show a paragraph saying so.
//
// Escaping. Texts are plain text, never markup: a backslash, `*`, `_`, a
// backtick, `~`, `[`, `]`, `<`, `>`, `&` and `|` are escaped with a
// backslash everywhere; a `#`, `-`, `+` or `=` that opens a line, and the
// `.` or `)` after digits that open one, are escaped too, since they would
// start a heading, a list, a rule or a setext underline. A line break in a
// text (LF, CR LF or a lone CR) becomes <br> (except in a log). Footnote
// marks follow their text as <sup>a,b</sup>.

#ifndef OMTREE_TOOLS_FORMATS_MARKDOWN_H_
#define OMTREE_TOOLS_FORMATS_MARKDOWN_H_

#include <string>

#include "Text.h"
#include "backend/omtree/omtree.h"

namespace omrender {

// The whole outline as Markdown, written to out as it is rendered (see
// RenderDocument). Options as for the text renderer (ascii has no effect).
void RenderMarkdown(OmOutputTree& tree, const Options& options, std::ostream& out);
// The same as one string.
std::string RenderMarkdown(OmOutputTree& tree, const Options& options);

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_MARKDOWN_H_
