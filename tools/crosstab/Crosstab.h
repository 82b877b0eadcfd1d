// Crosstabulation of a CSV file: reads the rows of the file and builds an
// output document holding one pivot table whose cells are a count, or the
// sum or mean of a numeric column, for every combination of the categories
// of the row, column and layer columns.
//
// Input. The file is strict RFC 4180 CSV in UTF-8 whose first record is the
// header of column names (see CsvReader.h for the exact rules: line breaks,
// blank lines, a leading byte order mark, positions). It is read in chunks
// and never held whole; memory grows with the number of distinct categories
// and of filled cells, not with the number of rows.
//
// The document. Below the root hangs a procedure heading "Crosstab" whose
// command is the omtree-view command line that makes the same table, and
// below that the table:
//   * Label "<names>", where <names> are the row, column and layer column
//     names in that order joined by " by "; title "<corner text> by
//     <names>"; the template name is "Crosstab".
//   * One dimension per named column, named after the column: the rows
//     first, then the columns, then the layers, each list outermost first
//     as the request names them. Rows(), Columns() and Layers() list them
//     innermost first, as a table's axis lists do, so the first column
//     named stands outermost on its axis: its labels farthest from the
//     cells, its categories changing slowest.
//   * Categories: the distinct values of the column. An empty field is a
//     category whose label is the empty string. Categories and groups stand
//     in order of first appearance in the file, or sorted by label in byte
//     order (the order of Unicode code points); subscripts number the
//     categories 0, 1, ... in that display order.
//   * Groupings: a grouped column's categories hang under group nodes
//     labelled by the values of the `by` columns, outermost first. A category
//     is the combination of its group values and its own value, so a value
//     that occurs under two different groups is two categories, one in
//     each group.
//   * Cells: only the combinations that occur hold a cell, an OmNumber
//     holding the full-precision count, sum or mean. Its decimals, the same
//     for every cell, follow the data: none for a count; for a sum the most
//     decimals any value of the value column was written with ("2.50" has
//     two, "1.5e-3" four; at most kMaxValueDecimals), so sums of whole
//     numbers show none; for a mean kMeanExtraDecimals more than the sum.
//   * Corner text "Count", "Sum of <value column>" or "Mean of <value
//     column>"; caption "Rows read: N." and, for a sum or mean, "Left out
//     for an empty value of <value column>: M."
//
// Values. For a sum or mean, a row whose value field is empty is left out
// of the table entirely (it adds no category and no cell) and counted in the
// caption. Any other value must be a finite decimal number written in full:
// an optional minus sign, digits with an optional decimal point, an optional
// exponent; no spaces, plus sign, thousands separators, hexadecimal, inf or
// nan, and nothing beyond the range of a double. A count never reads the
// value column.
//
// Errors. Every complaint is an InputError whose message reads
// "FILE:LINE:COLUMN: what", or "FILE: what" when no position applies (the
// request's own faults, a file that cannot be read, a column name that the
// header lacks).
//
// Progress, when given, is called after every kProgressInterval bytes read
// (see CsvReader.h) and once more when the whole file is read, with
// bytesRead equal to totalBytes, the file's size.
//
// The functions here keep no state between calls and may run on several
// threads at once for different requests.

#ifndef OMTREE_TOOLS_CROSSTAB_CROSSTAB_H_
#define OMTREE_TOOLS_CROSSTAB_CROSSTAB_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/omtree/omtree.h"

namespace omcrosstab {

enum class Statistic { kCount, kSum, kMean };

// The most decimals a sum shows: values written with more are summed in
// full but shown rounded to this many.
constexpr int kMaxValueDecimals = 6;
// A mean shows this many decimals more than the sum of the same values.
constexpr int kMeanExtraDecimals = 2;

enum class CategoryOrder {
  kFirstAppearance,  // in the order the values first occur in the file
  kLabel,            // sorted by label, in byte order
};

// Groups the categories of one dimension column under the values of other
// columns, outermost group first: {"city", {"country", "region"}} nests each
// city under its region under its country.
struct Grouping {
  std::string column;
  std::vector<std::string> by;
};

// REQUIRES (else InputError): rows and columns are not both empty; no column
// is named twice among rows, columns and layers; a sum or mean names its
// valueColumn; each grouping groups a row, column or layer column, no column
// is grouped twice, and no column is grouped by itself or twice by the same
// column. Every name must be in the file's header, once.
struct Request {
  std::string path;
  std::vector<std::string> rows;  // column names, outermost first
  std::vector<std::string> columns;
  std::vector<std::string> layers;
  Statistic statistic = Statistic::kCount;
  std::string valueColumn;  // the numeric column of a sum or mean
  CategoryOrder order = CategoryOrder::kFirstAppearance;
  std::vector<Grouping> groupings;
};

// Bad input: the message names the file and, where there is one, the line
// and column (both counted from 1; 0 when they do not apply).
class InputError : public std::runtime_error {
 public:
  InputError(const std::string& message, std::uint64_t line, std::uint64_t column)
      : std::runtime_error(message), _line(line), _column(column) {}
  std::uint64_t line() const { return _line; }
  std::uint64_t column() const { return _column; }

 private:
  std::uint64_t _line;
  std::uint64_t _column;
};

// Called now and then while the file is read, with the bytes read so far and
// the file's size.
using Progress = std::function<void(std::uint64_t bytesRead, std::uint64_t totalBytes)>;

// Throws InputError on bad input or a bad request.
std::unique_ptr<OmOutputTree> BuildCrosstab(const Request& request, const Progress& progress = {});

}  // namespace omcrosstab

#endif  // OMTREE_TOOLS_CROSSTAB_CROSSTAB_H_
