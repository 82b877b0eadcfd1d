// LaTeX export of output documents, written against the library's public
// interface only: a fragment to \input into a document that loads booktabs
// and multirow, or with standalone a whole document that pdflatex compiles
// (article class, UTF-8 input, T1 fonts, booktabs and multirow).
//
// The outline reads top to bottom: headings and procedure headings become
// \section* ... \subparagraph* by their level (capped at \subparagraph*), a
// procedure's command and a log their lines in typewriter type, spaces
// kept; a text block its title in bold and its lines as a paragraph; a page
// title a paragraph in italics; charts, models and answer trees one-line
// summaries as in the text renderer.
//
// Each shown layer of a pivot table is a table environment: \caption holds
// the table's title and, after " --- " each, the lines of layer labels;
// then a tabular with one left-aligned column per label column and one
// right-aligned column per data column, between \toprule and \bottomrule,
// the head rows above \midrule. A column label spans its block with
// \multicolumn (centred) and, in all head rows but the last, has a
// \cmidrule under it when it spans several columns; the corner text spans
// the label columns of the last head row; a row label spans its block with
// \multirow. Below the tabular, in \footnotesize, each footnote after its
// mark, then the table's caption text. A layer with no cell shows
// "(no cells)"; a table with no layer to show is a paragraph saying so.
//
// Escaping. Every text is plain text: # $ % & _ { } are escaped with a
// backslash, \ ~ ^ < > | become \textbackslash{}, \textasciitilde{},
// \textasciicircum{}, \textless{}, \textgreater{}, \textbar{}. A text of
// several lines (LF, CR LF or a lone CR) is a \shortstack of its lines in
// a table cell (which needs no package and keeps the cell one row of the
// tabular), its lines joined by spaces in \caption and headings (moving
// arguments, where \newline breaks), and by \newline elsewhere. Footnote marks
// follow their text as \textsuperscript{a,b}. Characters beyond what
// inputenc's utf8 and T1 know (CJK, for one) do not compile with pdflatex.

#ifndef OMTREE_TOOLS_FORMATS_LATEX_H_
#define OMTREE_TOOLS_FORMATS_LATEX_H_

#include <string>

#include "Text.h"
#include "backend/omtree/omtree.h"

namespace omrender {

// The whole outline as LaTeX: a fragment, or with standalone a complete
// document, written to out as it is rendered (see RenderDocument). Options
// as for the text renderer (ascii has no effect).
void RenderLatex(OmOutputTree& tree, const Options& options, bool standalone, std::ostream& out);
// The same as one string.
std::string RenderLatex(OmOutputTree& tree, const Options& options, bool standalone);

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_LATEX_H_
