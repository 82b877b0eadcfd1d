// Excel workbook (XLSX) export of output documents, written with
// libxlsxwriter against the library's public interface only. It is a thin
// writer over the shared layer layout (Layout.h): what a table shows, and
// where its labels span, is decided there, as for the text and HTML
// renderers.
//
// Every item is a run of rows, starting in column A, with a blank row after
// it: a heading or procedure heading is its text in bold (a procedure's
// command on the row below), a text block its title and then one row per
// line, a log "Log" and its lines, a page title one row, and a chart, model
// or answer tree the one-line summary of the text renderer. A pivot table
// is its title in bold, then each shown layer: a row per line of layer
// labels ("Year: 2025"), the grid, a blank row; after the last layer, the
// table's footnotes (the mark in superscript, then the text) and its
// caption when shown.
//
// In the grid, a label that spans several places of the layout is written
// in a merged range of exactly those places; column labels are bold and
// centred. A data cell holding a number (OmNumber, or a composite leading
// with one, see CellNumber) is stored as a number with a format showing its
// decimals ("0", "0.00"; General in its shortest form); a number followed
// by "%" (the crosstab's percentages) is stored divided by 100 with a
// percent format ("37.5" becomes 0.375 shown "0.0%"). A number's footnote
// marks are literal text of its number format ("0.00\"[a]\""), so that the
// cell stays a number; every other text carries its marks as superscript
// rich text ("Bergen" then "b"). Non-finite numbers are written as text.
//
// Every text is written as a string, never as a formula ("=1+1" stays
// text). Bytes that are not UTF-8 and control characters other than tab and
// line feed become U+FFFD, each line break becomes a line feed in a cell
// that wraps, and a text is cut at 32,767 characters, the most a cell
// holds. A column is as wide as the longest line written in it by a table's
// grid (a spanning label widens the columns it spans when they are too
// narrow together), capped at 80 characters.

#ifndef OMTREE_TOOLS_FORMATS_XLSX_H_
#define OMTREE_TOOLS_FORMATS_XLSX_H_

#include <stdexcept>
#include <string>

#include "Text.h"
#include "backend/omtree/omtree.h"

namespace omrender {

struct XlsxOptions {
  enum class Sheets {
    // The whole outline on one sheet named "Document".
    kDocument,
    // One sheet per pivot table holding all of its layers, named from its
    // title: the characters []:*?/\ and control characters made '_',
    // apostrophes and spaces at either end dropped, "Table" for an empty
    // title, cut to 31 characters; a name already taken (compared without
    // case, as Excel does) gets " (2)", " (3)", ..., cut to fit. The other
    // items, if any, stand in outline order on a first sheet named
    // "Outline", which is also the only sheet of a document without tables.
    kTables,
  };
  Sheets sheets = Sheets::kDocument;
};

// libxlsxwriter refused a write: a table larger than a worksheet
// (1,048,576 rows, 16,384 columns), or a file that could not be written.
// The message says which.
class XlsxError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Writes the outline as a workbook to path, replacing any file there.
// Options as for the text renderer (ascii has no effect). Throws XlsxError;
// path may then hold a partial file.
void WriteXlsx(OmOutputTree& tree, const Options& options, const XlsxOptions& xlsx,
               const std::string& path);

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_XLSX_H_
