// Crosstabulation of a CSV file: reads the rows of the file and builds an
// output document holding one pivot table whose cells are a count, or the
// sum or mean of a numeric column, for every combination of the categories
// of the row, column and layer columns.

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

enum class CategoryOrder {
  kFirstAppearance,  // in the order the values first occur in the file
  kLabel,            // sorted by label
};

// Groups the categories of one dimension column under the values of other
// columns, outermost group first: {"city", {"country", "region"}} nests each
// city under its region under its country.
struct Grouping {
  std::string column;
  std::vector<std::string> by;
};

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
