// Tidy CSV export of the pivot tables of an output document, written
// against the library's public interface only: one record per stored cell,
// the shape that pandas, R and the crosstab of omtree-view read, so that
//   omtree-view table.csv --rows A --cols B --stat sum --value value
// rebuilds a table of A by B from a file written here.
//
// Records. A header, then, table after table in outline order, one record
// per stored cell in the table's cell order (dimension 0 varying fastest).
// Every stored cell is written: those of hidden categories too, and the
// display options (hidden empty rows, one layer, transposition) play no
// part, for the file holds the data, not a view of it. Lines end in CR LF
// and a field is quoted only when it holds a comma, a double quote, CR or
// LF (RFC 4180), a quote doubled inside.
//
// Columns, in this order:
//   * "table", only when the document holds more than one pivot table: the
//     table's title as shown above it.
//   * Per dimension, in the table's dimension order: when the dimension has
//     groups, one column per group level, outermost first, named
//     "<dimension> (group 1)", "<dimension> (group 2)", ..., holding the
//     labels of the cell's category's groups (empty where the category
//     stands fewer levels deep, its groups filled from the outermost); then
//     one column named after the dimension holding the category's label.
//     The names are the dimension names as stored, hidden or not.
//   * "value": a number (an OmNumber, or a number with a unit, as a
//     percentage is) as its full double in the shortest form that reads
//     back to the same double ("0.1", "37.5", "1e+300"), whatever its
//     decimals; any other cell its shown text without footnote marks.
// Names are made unique within a table: a name already taken, "value" and,
// with several tables, "table" included, gets " (2)", " (3)", ... appended.
// With several tables the columns are the union of the tables' columns,
// by name, in order of first appearance; a record leaves the columns of
// other tables' dimensions empty. Labels and texts hold no footnote marks.
// A document without pivot tables gives the header "value" alone.

#ifndef OMTREE_TOOLS_FORMATS_TIDYCSV_H_
#define OMTREE_TOOLS_FORMATS_TIDYCSV_H_

#include <ostream>
#include <string>

#include "backend/omtree/omtree.h"

namespace omrender {

// Every pivot table of tree as tidy CSV, written to out record by record.
void RenderTidyCsv(OmOutputTree& tree, std::ostream& out);
// The same as one string.
std::string RenderTidyCsv(OmOutputTree& tree);

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_TIDYCSV_H_
