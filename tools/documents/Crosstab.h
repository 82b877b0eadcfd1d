// Crosstabulation of a CSV file, or of a table of columns in memory (see
// DataTable below): reads the rows of the file and builds an
// output document holding a pivot table whose cells are statistics (counts,
// sums, means, medians, percentages, ...) for every combination of the
// categories of the row, column and layer columns, and on request a table of
// chi-square tests of independence after it.
//
// Input. The file is strict RFC 4180 CSV in UTF-8 whose first record is the
// header of column names (see CsvReader.h for the exact rules: line breaks,
// blank lines, a leading byte order mark, positions). It is read in chunks
// and never held whole; memory grows with the number of distinct categories
// and of filled cells, not with the number of rows, except for a median,
// which keeps every value of each cell and of each total with its weight.
//
// Which rows count. Each row is judged in this order, and a row left out is
// counted once, in the caption, for the first reason that applies:
//   1. Missing category: a field of a category column (a row, column or
//      layer column, or a column grouping one) that is missing, that is the
//      empty field or one of Request::missing. Unless includeMissing is set
//      the row is left out: it adds no category and no cell. With
//      includeMissing the value is a category like any other.
//   2. Weight: with a weight column, a row whose weight is empty, is not a
//      number (as values are written, below) or is negative is left out. A
//      weight of 0 is kept: its categories show, with a count of 0. Without
//      a weight column every row weighs 1.
// A row that counts adds its weight to its combination's count. Its value,
// when a statistic needs one, is missing when the field is empty or one of
// Request::missing: the row still counts (count, percentages, chi-square)
// but adds nothing to the value statistics. Any other value must be a
// finite decimal number written in full: an optional minus sign, digits
// with an optional decimal point, an optional exponent; no spaces, plus
// sign, thousands separators, hexadecimal, inf or nan, and nothing beyond
// the range of a double. A value column that no statistic needs is not read.
//
// Statistics, for the rows of a cell with weights w and, for those with a
// value, values x (W = the sum of w over the rows with a value). With
// frequency weights (whole numbers) each figure is that of the data with
// every row repeated w times.
//   count   sum of w (the weighted count)
//   sum     sum of w*x; 0 for a cell without values
//   mean    sum of w*x / W
//   min/max the smallest/largest x of a positive weight
//   median  with the x of positive weight sorted and their weights added up
//           in that order: the first x at which the running weight passes
//           W/2, or, where it reaches exactly W/2, the midpoint of that x and
//           the next. For frequency weights it is the median of the repeated
//           data (two middle values averaged).
//   stddev  sample standard deviation, frequency weights: the square root of
//           sum of w*(x - mean)^2 / (W - 1)
//   valid   W, the weighted number of values
//   rowpct  100 * count / the count of the cell's row: the same categories
//           of every row dimension, all columns, within the layer
//   colpct  100 * count / the count of the cell's column, all rows
//   totalpct 100 * count / the count of the layer
// A statistic that is undefined for a cell (a mean, min, max or median
// without a value of positive weight, a deviation with W <= 1, a percentage
// of a count of 0) holds the missing mark OmMissing (".").
//
// The document. Below the root hangs a procedure heading "Crosstab" whose
// command is the omtree-view command line that makes the same tables, and
// below that the crosstab and, with chiSquare, the chi-square tests:
//   * Label "<names>", where <names> are the row, column and layer column
//     names in that order joined by " by "; title "<what> by <names>" where
//     <what> is the corner text; the template name is "Crosstab".
//   * One dimension per named column, named after the column: the rows
//     first, then the columns, then the layers, each list outermost first
//     as the request names them. Rows(), Columns() and Layers() list them
//     innermost first, as a table's axis lists do, so the first column
//     named stands outermost on its axis: its labels farthest from the
//     cells, its categories changing slowest.
//   * With several statistics, one more dimension, the last, named
//     "Statistics" (the name hidden, as the labels speak for themselves),
//     whose leaves are the statistics in the order asked (labelled by
//     StatisticLabel). It stands innermost on the axis that statisticsPlace
//     names (rows by default). One statistic makes no
//     dimension, and statisticsPlace then plays no part.
//   * Categories: the distinct values of the column. Categories and groups
//     stand in order of first appearance in the file, or sorted by label in
//     byte order (the order of Unicode code points); subscripts number the
//     categories 0, 1, ... in that display order.
//   * Groupings: a grouped column's categories hang under group nodes
//     labelled by the values of the `by` columns, outermost first. A category
//     is the combination of its group values and its own value, so a value
//     that occurs under two different groups is two categories, one in
//     each group.
//   * Totals: with totals, every row and column dimension ends with one more
//     leaf, directly under the root and after every group, labelled "Total"
//     (kTotalLabel): its cells hold the statistic over all the dimension's
//     categories, the other dimensions' categories fixed; where totals meet,
//     over all the categories of each. Layers have no totals: every figure
//     is computed within its layer. A percentage of a total follows the
//     same rule as any other cell, so the row % of a column's total is the
//     column's share of the layer and the row % of a row's total is 100.
//   * Cells: only the combinations that occur hold cells, and the totals
//     over at least one such combination; each holds every statistic asked
//     for. A cell is an OmNumber holding the full-precision figure, or, for
//     a percentage, a composite text (OmComposite) whose root is empty and
//     whose two parts are that OmNumber (the percentage, 37.5 for 37.5%) and
//     the string "%": the text reads "37.5%" in every format, and the
//     renderers take the number for the cell's value (right-aligned; the
//     JSON export's "number"). The decimals follow the data and are the same
//     for every cell of a statistic: a count or valid count shows as many as
//     the weight written with the most (none without weights; at most
//     kMaxValueDecimals), a min or max as many as the value written with the
//     most ("2.50" has two, "1.5e-3" four; at most kMaxValueDecimals), a sum
//     the value's plus the weight's (at most kMaxValueDecimals), so sums of
//     whole numbers show none; a median kMedianExtraDecimals more than the
//     values (room for a midpoint); a mean or standard deviation
//     kMeanExtraDecimals more; a percentage kPercentDecimals.
//   * Corner text: for one statistic its name, "Count", "Sum of <value
//     column>", ..., "Row %" (see StatisticName); for several "Statistics".
//   * Caption "Rows read: N." then, unless includeMissing, "Left out for a
//     missing category: A."; with a weight column "Left out for a weight of
//     <weight column> that is empty: B, not a number: C, negative: D."; when
//     a statistic needs the value column "Rows with a missing value of
//     <value column>: M."
//
// Chi-square tests (chiSquare; REQUIRES one row and one column column): a
// second table labelled and titled "Chi-square tests", template name
// "Chi-square tests", with rows "Pearson chi-square", "Likelihood ratio",
// "Valid cases" and columns "Value", "df", "p-value" (two dimensions named
// "Test" and "Result" whose names are hidden), followed by copies of the
// crosstab's layer dimensions, so that it has one layer per layer of the
// crosstab. In each layer, over the weighted counts n(i, j) of the row and
// column categories (totals never take part) whose row and column sums are
// not 0 (r rows and c columns; N the layer's total; expected counts
// e(i, j) = row sum * column sum / N):
//   Pearson X2 = sum of (n - e)^2 / e, likelihood ratio G2 = 2 * sum of
//   n * ln(n / e) over the n > 0, both with df = (r - 1)(c - 1) and the
//   asymptotic p-value P(chi-square(df) > X2), from Boost.Math; valid cases
//   N. Values and p-values show kTestDecimals decimals, df none, valid cases
//   the weights' decimals. With df = 0 (one row or column left, or none)
//   the values and p-values are the missing mark. When expected counts fall
//   below kSmallExpectedCount, the layer's Pearson value carries a footnote
//   "K cells (P%) have an expected count less than 5. The minimum expected
//   count is M." ("1 cell (P%) has" for one; P with one decimal, M with
//   two); layers with the same text share the footnote.
//
// Errors. Every complaint is an InputError whose message reads
// "FILE:LINE:COLUMN: what", or "FILE: what" when no position applies (the
// request's own faults, a file that cannot be read, a column name that the
// header lacks).
//
// Progress, when given, is called after every kProgressInterval bytes read
// (see CsvReader.h) and once more when the whole file is read, with
// bytesRead equal to totalBytes, the file's size. It is called on the
// calling thread, after the rows of the bytes it reports have been counted.
//
// The functions here keep no state between calls and may run on several
// threads at once for different requests. BuildCrosstab of a file reads the
// file in a second thread of its own, which has ended when it returns; a
// DataTable is counted on the calling thread alone.

#ifndef OMTREE_TOOLS_DOCUMENTS_CROSSTAB_H_
#define OMTREE_TOOLS_DOCUMENTS_CROSSTAB_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "backend/omtree/omtree.h"

namespace omcrosstab {

// The statistics a cell can show; see the file comment for each definition.
enum class Statistic {
  kCount,
  kSum,
  kMean,
  kMinimum,
  kMaximum,
  kMedian,
  kStdDev,
  kValid,
  kRowPercent,
  kColumnPercent,
  kTotalPercent,
};

// Every statistic, in the order of the enumeration.
constexpr Statistic kStatistics[] = {
    Statistic::kCount,         Statistic::kSum,          Statistic::kMean,
    Statistic::kMinimum,       Statistic::kMaximum,      Statistic::kMedian,
    Statistic::kStdDev,        Statistic::kValid,        Statistic::kRowPercent,
    Statistic::kColumnPercent, Statistic::kTotalPercent,
};

// The name of statistic on the command line: "count", "sum", "mean", "min",
// "max", "median", "stddev", "valid", "rowpct", "colpct", "totalpct".
const char* StatisticKeyword(Statistic statistic);
// Its label in the Statistics dimension: "Count", "Sum", "Mean", "Minimum",
// "Maximum", "Median", "Standard deviation", "Valid count", "Row %",
// "Column %", "Total %".
const char* StatisticLabel(Statistic statistic);
// Whether statistic reads the value column: sum to valid.
bool NeedsValue(Statistic statistic);

// The most decimals a value or weight shows: values written with more are
// used in full but shown rounded to this many.
constexpr int kMaxValueDecimals = 6;
// A mean or standard deviation shows this many decimals more than the
// values.
constexpr int kMeanExtraDecimals = 2;
// A median shows this many decimals more than the values: the midpoint of
// two values needs at most one more.
constexpr int kMedianExtraDecimals = 1;
// Percentages show this many decimals.
constexpr int kPercentDecimals = 1;
// Chi-square values and p-values show this many decimals.
constexpr int kTestDecimals = 3;
// Expected counts below this are counted in the chi-square footnote.
constexpr double kSmallExpectedCount = 5;
// With totals, at most this many row and column columns: each cell adds to
// the 2^n - 1 totals of n row and column dimensions.
constexpr std::size_t kMaxTotalledColumns = 12;
// The label of the last category of a dimension with totals.
constexpr const char kTotalLabel[] = "Total";

enum class CategoryOrder {
  kFirstAppearance,  // in the order the values first occur in the file
  kLabel,            // sorted by label, in byte order
};

// The axis on which the Statistics dimension stands, innermost.
enum class StatisticsPlace { kRows, kColumns, kLayers };

// Groups the categories of one dimension column under the values of other
// columns, outermost group first: {"city", {"country", "region"}} nests each
// city under its region under its country.
struct Grouping {
  std::string column;
  std::vector<std::string> by;
};

// REQUIRES (else InputError, see CheckRequest): rows and columns are not
// both empty; no column is named twice among rows, columns and layers;
// statistics is not empty and names no statistic twice; a statistic that
// needs one has a valueColumn; with totals, at most kMaxTotalledColumns row
// and column columns; chiSquare has exactly one row and one column column; each grouping groups a
// row, column or layer column, no column is grouped twice, and no column is grouped by itself or
// twice by the same column. Every name must be in the file's header, once.
struct Request {
  std::string path;
  std::vector<std::string> rows;  // column names, outermost first
  std::vector<std::string> columns;
  std::vector<std::string> layers;
  // In the order the Statistics dimension shows them.
  std::vector<Statistic> statistics = {Statistic::kCount};
  std::string valueColumn;   // the numeric column of sum to valid
  std::string weightColumn;  // empty: every row weighs 1
  CategoryOrder order = CategoryOrder::kFirstAppearance;
  std::vector<Grouping> groupings;
  StatisticsPlace statisticsPlace = StatisticsPlace::kRows;
  bool totals = false;
  // Values that are missing besides the empty field, in category and value
  // columns alike.
  std::vector<std::string> missing;
  // Keep rows with a missing category, the missing value as a category.
  bool includeMissing = false;
  bool chiSquare = false;
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

// Throws InputError with the message "FILE: what" when request breaks a
// requirement of Request that needs no look at the file.
void CheckRequest(const Request& request);

// Throws InputError on bad input or a bad request.
std::unique_ptr<OmOutputTree> BuildCrosstab(const Request& request, const Progress& progress = {});

// An in-memory data set, column by column: each column holds its distinct fields, as the text
// they would have in a CSV file (UTF-8), and one code per row naming the row's field.
struct DataColumn {
  std::string name;
  std::vector<std::string> dictionary;  // the distinct fields
  std::vector<std::int32_t> codes;      // one per row: an index into dictionary, or -1 for the
                                        // empty field
};
struct DataTable {
  std::string name;                 // names the data in messages, e.g. "DataFrame"
  std::vector<DataColumn> columns;  // every column has the same number of rows
};
// The crosstab of table, exactly as BuildCrosstab of a CSV file holding the same fields (header =
// the column names) would build it, request.path playing no part. Errors are InputError
// "NAME: row R, column \"C\": what" (R counted from 1 among the data rows; line() = R, column()
// = the column's number from 1), or "NAME: what". Throws InputError on bad input or request.
//
// The procedure's command names the table where the command line of a file names the file:
// "omtree-view NAME --rows ...", NAME quoted for a shell where it needs to be. A dictionary may
// hold a field twice, or the empty field: equal fields are one category, as in a file. The whole
// table is checked before any row is counted, so where a CSV file would report its first fault
// in file order, a table reports, in this order: columns of unequal length ("NAME: column \"C\"
// has N rows; column \"A\" has M"), a column name that is not UTF-8 ("NAME: the name of column K
// is not valid UTF-8", column() = K), a code outside its dictionary and a field that is not UTF-8
// (at the first row that uses it, column by column). Then the request as for a file: a column
// name twice ("NAME: column name \"C\" is in the header twice", column() = its number), a column
// missing, and a bad value at its row.
std::unique_ptr<OmOutputTree> BuildCrosstab(const Request& request, const DataTable& table);

}  // namespace omcrosstab

#endif  // OMTREE_TOOLS_DOCUMENTS_CROSSTAB_H_
