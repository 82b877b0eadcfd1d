// Tests of the CSV crosstabulation: tables built from random files (with
// weights, missing values, and categories whose every row weighs 0), checked
// cell by cell, statistic by statistic and total by total against figures
// computed here from the same records by the textbook formulas, chi-square
// tests included; a public data set against its published figures; every
// kind of bad input with its exact message and place; and the progress
// reports.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <optional>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "Crosstab.h"
#include "CsvReader.h"
#include "Document.h"
#include "Text.h"

namespace {

using namespace omcrosstab;  // NOLINT: the library under test
using O = CategoryOrder;
using S = Statistic;
using P = StatisticsPlace;
using Strings = std::vector<std::string>;
using Path = Strings;           // group labels, outermost first, then the label
using Key = std::vector<Path>;  // per dimension a category, or kTotal

// A file of this process's own holding bytes, or no file for null.
std::string WriteFile(const std::string& name, const char* bytes) {
  const std::string path = testing::TempDir() + "crosstab-" + std::to_string(getpid()) + "-" + name;
  if (bytes != nullptr) std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

Request Ask(Strings rows, Strings columns, Strings layers = {},
            std::vector<Grouping> groupings = {}, std::vector<S> statistics = {S::kCount},
            std::string value = "", O order = O::kFirstAppearance) {
  Request request;
  request.rows = std::move(rows);
  request.columns = std::move(columns);
  request.layers = std::move(layers);
  request.groupings = std::move(groupings);
  request.statistics = std::move(statistics);
  request.valueColumn = std::move(value);
  request.order = order;
  return request;
}

// request with the options that are new to weighted, totalled tables.
Request With(Request request, std::string weight, bool totals, Strings missing = {},
             bool includeMissing = false, bool chiSquare = false, P place = P::kRows) {
  request.weightColumn = std::move(weight);
  request.totals = totals;
  request.missing = std::move(missing);
  request.includeMissing = includeMissing;
  request.chiSquare = chiSquare;
  request.statisticsPlace = place;
  return request;
}

std::string Text(const OmCellText* text) {
  return text != nullptr ? text->AsString() : "(none)";
}

// Entry n of tree's outline as a T: 1 the procedure, 2 the crosstab, 3 the
// chi-square tests.
template <typename T = OmPivotTable>
T* Item(const OmOutputTree& tree, int n) {
  return dynamic_cast<T*>(std::next(tree.List().begin(), n)->item);
}

// The number a cell holds, a percentage's through its composite; NaN when
// it holds none.
double NumberOf(const OmCellText* cell) {
  if (const auto* composite = dynamic_cast<const OmComposite*>(cell))
    cell = *composite->Parts().Root().FirstChild();
  const auto* number = dynamic_cast<const OmNumber*>(cell);
  return number != nullptr ? number->Value() : std::nan("");
}

std::vector<short> Axis(const PuppetVector<short>& list) {
  return std::vector<short>(list.begin(), list.end());
}

// Runs build, which must fail with an InputError saying what, at line and
// column (0 and 0: no place).
template <typename Build>
void ExpectInputError(Build build, const std::string& what, std::uint64_t line,
                      std::uint64_t column) {
  try {
    build();
    ADD_FAILURE() << "no error: " << what;
  } catch (const InputError& error) {
    EXPECT_EQ(error.what(), what);
    EXPECT_EQ(std::make_pair(error.line(), error.column()), std::make_pair(line, column));
  }
}

bool IsPercentage(S statistic) {
  return statistic == S::kRowPercent || statistic == S::kColumnPercent ||
         statistic == S::kTotalPercent;
}

bool NeedsValues(S statistic) {
  return statistic != S::kCount && !IsPercentage(statistic);
}

// Per statistic, indexed by Statistic: the keyword, the label in the
// Statistics dimension, and the corner text of a table of it alone.
const struct {
  const char* keyword;
  const char* label;
  const char* corner;
} kStatisticNames[] = {
    {"count", "Count", "Count"},
    {"sum", "Sum", "Sum of income"},
    {"mean", "Mean", "Mean of income"},
    {"min", "Minimum", "Minimum of income"},
    {"max", "Maximum", "Maximum of income"},
    {"median", "Median", "Median of income"},
    {"stddev", "Standard deviation", "Standard deviation of income"},
    {"valid", "Valid count", "Valid count of income"},
    {"rowpct", "Row %", "Row %"},
    {"colpct", "Column %", "Column %"},
    {"totalpct", "Total %", "Total %"},
};

TEST(CrosstabStatistics, NamedAsTheCommandAndTheTableNameThem) {
  ASSERT_EQ(std::size(kStatistics), std::size(kStatisticNames));
  for (S statistic : kStatistics) {
    const auto& names = kStatisticNames[static_cast<int>(statistic)];
    EXPECT_STREQ(StatisticKeyword(statistic), names.keyword);
    EXPECT_STREQ(StatisticLabel(statistic), names.label);
    EXPECT_EQ(NeedsValue(statistic), NeedsValues(statistic)) << names.keyword;
  }
}

// ---------------------------------------------------------------------------
// Random files and the reference computation.

const Strings kHeader = {"region", "city", "sex", "", "year", "income", "weight"};
const Strings kRegions = {"North",  "East, West", "say \"hi\"", "two\nlines",
                          "Zürich", "東京",       "",           "NA"};
const Strings kCities = {"Springfield", "Oslo", "München", "a\r\nb", "😀"};
const Strings kNoise = {"x", ",", "\"", "\n", "\r\n", "é", " ", "\t", "∑"};
// Weights that count are multiples of 0.25, so that every sum of them is
// exact and four times each is a whole frequency (see Median); "x" is no
// number, "-1" negative, "" empty.
const Strings kWeights = {"1", "1",  "1",   "2",    "0.5", "1.25", "3",
                          "0", "2.", "1e0", "0.75", "",    "x",    "-1"};

std::string Pick(const Strings& pool, std::mt19937& random) {
  return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
}

// A number as a file might write it, or now and then nothing or -99 (a
// missing value when the request says so).
std::string RandomValue(std::mt19937& random) {
  const char* forms[] = {"", "-99", "%.3e", "%.0f.", "%.2f"};
  const int form = std::min(std::uniform_int_distribution<int>(0, 11)(random), 4);
  char text[64];
  std::snprintf(text, sizeof text, forms[form],
                std::uniform_int_distribution<int>(-50000, 50000)(random) / 100.0);
  return text;
}

// The fourth column's name is empty, and spaces and tabs in its values must
// survive. The last records: a region that occurs only with an empty value;
// a region ("Ghost"), a sex ("X") and a year ("1900") whose every row
// weighs 0, rows and columns that a chi-square test leaves out. No rows: a
// file of the header alone.
std::vector<Strings> RandomData(unsigned seed, int rows) {
  std::mt19937 random(seed);
  std::vector<Strings> data;
  for (int i = 0; i < rows; ++i) {
    std::string note;
    for (int k = std::uniform_int_distribution<int>(0, 4)(random); k > 0; --k)
      note += Pick(kNoise, random);
    data.push_back({Pick(kRegions, random), Pick(kCities, random), Pick({"M", "F"}, random), note,
                    Pick({"2026", "1999", "2024", "10"}, random), RandomValue(random),
                    Pick(kWeights, random)});
  }
  if (rows > 0) {
    data.push_back({"left out", "Oslo", "F", "", "1999", "", "1"});
    data.push_back({"Ghost", "Oslo", "F", "", "1999", "12.5", "0"});
    data.push_back({"North", "Oslo", "X", "", "1900", "7", "0"});
  }
  return data;
}

// CSV text of data: fields quoted when they must be and now and then when
// they need not; LF or CR LF line ends, now and then a blank line; no line
// end after the last record, but one after a header with no records.
std::string ToCsv(const std::vector<Strings>& data, bool byteOrderMark, std::mt19937& random) {
  std::string text = byteOrderMark ? "\xEF\xBB\xBF" : "";
  for (std::size_t r = 0; r <= data.size(); ++r) {
    const Strings& record = r == 0 ? kHeader : data[r - 1];
    for (std::size_t i = 0; i < record.size(); ++i) {
      const std::string& field = record[i];
      const bool plain = field.find_first_of(",\"\r\n") == std::string::npos && random() % 5 != 0;
      if (i > 0) text += ',';
      text += plain ? field : '"' + std::regex_replace(field, std::regex("\""), "\"\"") + '"';
    }
    if (r < data.size() || data.empty())
      text += std::string(random() % 10 == 0 ? "\n" : "") + (random() % 2 ? "\n" : "\r\n");
  }
  return text;
}

// A total in a Key: no category has this path.
const Path kTotal = {"\x01total"};

// A record that counts, as the reference reads it.
struct Counted {
  Key key;  // its category in every dimension
  double weight = 1;
  std::optional<double> value;
};

// What the request should make of the records: per dimension the categories
// in display order (totals apart), the records that count, what is left out,
// and the decimals of values and weights.
struct Reference {
  Request request;
  Strings names;                      // the dimension columns: rows, then columns, then layers
  std::size_t rows = 0, columns = 0;  // the first column and layer dimension
  std::vector<std::vector<Path>> categories;
  std::vector<Counted> counted;
  int records = 0;
  int leftOutCategory = 0, weightEmpty = 0, weightNotNumber = 0, weightNegative = 0;
  int missingValues = 0;
  int valueDecimals = 0, weightDecimals = 0;
};

// The decimals a value written as RandomValue or kWeights write it shows.
int ShownDecimals(const std::string& value) {
  std::smatch parts;
  std::regex_match(value, parts, std::regex(R"(-?\d+\.?(\d*)(?:e([-+]?\d+))?)"));
  const int exponent = parts[2].matched ? std::stoi(parts[2].str()) : 0;
  return std::max(0, static_cast<int>(parts[1].length()) - exponent);
}

Reference Count(const std::vector<Strings>& data, const Request& request) {
  const auto column = [](const std::string& name) {
    return std::find(kHeader.begin(), kHeader.end(), name) - kHeader.begin();
  };
  Reference reference;
  reference.request = request;
  reference.names = request.rows;
  reference.names.insert(reference.names.end(), request.columns.begin(), request.columns.end());
  reference.names.insert(reference.names.end(), request.layers.begin(), request.layers.end());
  reference.rows = request.rows.size();
  reference.columns = reference.rows + request.columns.size();
  reference.records = static_cast<int>(data.size());
  std::vector<Strings> columns(reference.names.size());  // per dimension: groups, then its own
  for (std::size_t d = 0; d < columns.size(); ++d) {
    for (const Grouping& grouping : request.groupings) {
      if (grouping.column == reference.names[d]) columns[d] = grouping.by;
    }
    columns[d].push_back(reference.names[d]);
  }
  std::set<std::string> missing(request.missing.begin(), request.missing.end());
  missing.insert("");
  const bool readsValues =
      std::any_of(request.statistics.begin(), request.statistics.end(), NeedsValues);
  std::vector<std::map<Path, int>> firstSeen(columns.size());  // path prefix -> record
  for (std::size_t r = 0; r < data.size(); ++r) {
    const Strings& record = data[r];
    bool missingCategory = false;
    for (const Strings& names : columns) {
      for (const std::string& name : names)
        missingCategory = missingCategory || missing.count(record[column(name)]) > 0;
    }
    if (missingCategory && !request.includeMissing) {
      ++reference.leftOutCategory;
      continue;
    }
    Counted counted;
    if (!request.weightColumn.empty()) {
      const std::string& weight = record[column(request.weightColumn)];
      if (weight.empty()) {
        ++reference.weightEmpty;
        continue;
      }
      if (weight == "x") {
        ++reference.weightNotNumber;
        continue;
      }
      counted.weight = std::strtod(weight.c_str(), nullptr);
      if (counted.weight < 0) {
        ++reference.weightNegative;
        continue;
      }
      reference.weightDecimals = std::max(reference.weightDecimals, ShownDecimals(weight));
    }
    const std::string& value = record[column(request.valueColumn)];
    if (readsValues && missing.count(value) > 0) {
      ++reference.missingValues;
    } else if (readsValues) {
      counted.value = std::strtod(value.c_str(), nullptr);
      reference.valueDecimals = std::max(reference.valueDecimals, ShownDecimals(value));
    }
    for (std::size_t d = 0; d < columns.size(); ++d) {
      counted.key.emplace_back();
      for (const std::string& name : columns[d]) {
        counted.key[d].push_back(record[column(name)]);
        firstSeen[d].emplace(counted.key[d], static_cast<int>(r));
      }
    }
    reference.counted.push_back(counted);
  }
  for (std::size_t d = 0; d < columns.size(); ++d) {
    std::set<std::pair<std::vector<int>, Path>> order;  // sort key, category
    for (const auto& [path, first] : firstSeen[d]) {
      if (path.size() < columns[d].size()) continue;  // a group
      std::vector<int> appearances;
      for (std::size_t n = 1; n <= path.size() && request.order == O::kFirstAppearance; ++n)
        appearances.push_back(firstSeen[d].at(Path(path.begin(), path.begin() + n)));
      order.emplace(appearances, path);
    }
    reference.categories.emplace_back();
    for (const auto& entry : order)
      reference.categories.back().push_back(entry.second);
  }
  return reference;
}

bool Matches(const Counted& counted, const Key& key) {
  for (std::size_t d = 0; d < key.size(); ++d) {
    if (key[d] != kTotal && key[d] != counted.key[d]) return false;
  }
  return true;
}

// key with the dimensions begin to end - 1 set to their totals.
Key Totalled(Key key, std::size_t begin, std::size_t end) {
  std::fill(key.begin() + static_cast<long>(begin), key.begin() + static_cast<long>(end), kTotal);
  return key;
}

double CountOf(const Reference& reference, const Key& key) {
  double count = 0;
  for (const Counted& counted : reference.counted) {
    if (Matches(counted, key)) count += counted.weight;
  }
  return count;
}

// The median of the values, each repeated four times its weight (a whole
// number: weights are multiples of 0.25), the two middle ones averaged.
double Median(const std::vector<std::pair<double, double>>& values) {
  std::vector<double> repeated;
  for (const auto& [value, weight] : values)
    repeated.insert(repeated.end(), static_cast<std::size_t>(std::lround(4 * weight)), value);
  std::sort(repeated.begin(), repeated.end());
  const std::size_t n = repeated.size();
  return n % 2 == 1 ? repeated[n / 2] : (repeated[n / 2 - 1] + repeated[n / 2]) / 2;
}

// The figure of statistic for the cell or total at key, by the textbook
// formulas; nothing where it is undefined.
std::optional<double> Figure(const Reference& reference, S statistic, const Key& key) {
  double count = 0, valueWeight = 0, sum = 0;
  std::vector<std::pair<double, double>> values;  // of positive weight
  for (const Counted& counted : reference.counted) {
    if (!Matches(counted, key)) continue;
    count += counted.weight;
    if (!counted.value) continue;
    valueWeight += counted.weight;
    sum += counted.weight * *counted.value;
    if (counted.weight > 0) values.emplace_back(*counted.value, counted.weight);
  }
  const auto percentOf = [&](const Key& base) -> std::optional<double> {
    const double denominator = CountOf(reference, base);
    if (denominator == 0) return std::nullopt;
    return 100 * count / denominator;
  };
  const std::size_t axes = reference.columns;
  switch (statistic) {
    case S::kCount:
      return count;
    case S::kSum:
      return sum;
    case S::kValid:
      return valueWeight;
    case S::kMean:
      if (valueWeight == 0) return std::nullopt;
      return sum / valueWeight;
    case S::kMinimum:
      if (values.empty()) return std::nullopt;
      return std::min_element(values.begin(), values.end())->first;
    case S::kMaximum:
      if (values.empty()) return std::nullopt;
      return std::max_element(values.begin(), values.end())->first;
    case S::kMedian:
      if (values.empty()) return std::nullopt;
      return Median(values);
    case S::kStdDev: {
      if (valueWeight <= 1) return std::nullopt;
      const double mean = sum / valueWeight;
      double squares = 0;
      for (const auto& [value, weight] : values)
        squares += weight * (value - mean) * (value - mean);
      return std::sqrt(squares / (valueWeight - 1));
    }
    case S::kRowPercent:
      return percentOf(Totalled(key, reference.rows, axes));
    case S::kColumnPercent:
      return percentOf(Totalled(key, 0, reference.rows));
    case S::kTotalPercent:
      return percentOf(Totalled(key, 0, axes));
  }
  return std::nullopt;
}

int ExpectedDecimals(const Reference& reference, S statistic) {
  const int values = reference.valueDecimals, weights = reference.weightDecimals;
  switch (statistic) {
    case S::kCount:
    case S::kValid:
      return weights;
    case S::kSum:
      return std::min(values + weights, 6);
    case S::kMinimum:
    case S::kMaximum:
      return values;
    case S::kMedian:
      return values + 1;
    case S::kMean:
    case S::kStdDev:
      return values + 2;
    default:
      return 1;
  }
}

// The keys of the cells the table must hold: the combinations that occur
// and, with totals, every total over at least one of them.
std::set<Key> ExpectedKeys(const Reference& reference) {
  std::set<Key> keys;
  const std::size_t axes = reference.columns;
  const unsigned masks = reference.request.totals ? 1u << axes : 1u;
  for (const Counted& counted : reference.counted) {
    for (unsigned mask = 0; mask < masks; ++mask) {
      Key key = counted.key;
      for (std::size_t d = 0; d < axes; ++d) {
        if ((mask >> d) & 1u) key[d] = kTotal;
      }
      keys.insert(key);
    }
  }
  return keys;
}

// Walks a dimension: the path of each subscript, and of each group.
void Walk(OmDimension::ConstNode parent, Path& path, std::vector<Path>& paths,
          std::set<Path>& groups) {
  for (OmDimension::ConstNode child = parent.FirstChild(); child != parent.EndChild(); ++child) {
    path.push_back(child->Text()->AsString());
    if (child->IsGroup()) {
      EXPECT_TRUE(groups.insert(path).second) << "a group twice";
      Walk(child, path, paths, groups);
    } else {
      EXPECT_EQ(child->Subscript(), paths.size()) << "subscripts follow the display order";
      paths.push_back(path);
    }
    path.pop_back();
  }
}

// A dimension as the table should lay it out: its name (unless hidden)
// and the label path of each category in display order.
struct Shown {
  std::string name;
  std::vector<Path> categories;
  bool hidden = false;
};

// The label stacks of an axis whose dimensions are dimensions, outermost
// first: one per combination of their categories, the first dimension's
// changing slowest, each stack holding every dimension's name and then its
// category's groups and label. A hidden name stands in no row or column
// stack, and as a null in a layer's. In rows and columns, a category less
// deep than the dimension's deepest (a total beside groups) is followed by
// nulls to that depth.
std::vector<Strings> ExpectedStacks(const std::vector<Shown>& dimensions, bool layer = false) {
  std::vector<Strings> stacks = {{}};
  for (const Shown& dimension : dimensions) {
    std::size_t depth = 0;
    for (const Path& category : dimension.categories)
      depth = std::max(depth, category.size());
    std::vector<Strings> longer;
    for (const Strings& stack : stacks) {
      for (const Path& category : dimension.categories) {
        longer.push_back(stack);
        if (!dimension.hidden || layer)
          longer.back().push_back(dimension.hidden ? "(null)" : dimension.name);
        longer.back().insert(longer.back().end(), category.begin(), category.end());
        if (!layer) longer.back().resize(longer.back().size() + depth - category.size(), "(null)");
      }
    }
    stacks = std::move(longer);
  }
  return stacks;
}

Strings Labels(const std::deque<OmDimension::ConstNode*>& nodes) {
  Strings labels;
  for (const OmDimension::ConstNode* node : nodes)
    labels.push_back(node == nullptr ? "(null)" : (*node)->Text()->AsString());
  return labels;
}

// The layout follows the nesting asked for on every axis: the first column
// named is outermost, the statistics innermost. Checked on the label stacks
// of every layer, row and column (the first layer's), against the product
// of the categories. axes: the dimensions of the rows, columns and layers,
// outermost first.
void CheckNesting(OmPivotTable& table, const std::vector<Shown> (&axes)[3]) {
  for (const std::vector<Shown>& axis : axes) {
    for (const Shown& dimension : axis) {
      if (dimension.categories.empty()) return;  // nothing to lay out
    }
  }
  std::vector<Strings> layerStacks;
  OmDisplayLayerHeading layers(table, false);
  while (layers.NextLayer()) {
    layerStacks.emplace_back();
    for (int i = 0; i < layers.NDimensions(); ++i) {
      const Strings labels = Labels(layers.Nodes(i));
      layerStacks.back().insert(layerStacks.back().end(), labels.begin(), labels.end());
    }
  }
  EXPECT_EQ(layerStacks, ExpectedStacks(axes[2], true));
  ASSERT_TRUE(layers.SwitchLayer(0));
  const OmDisplayColumnHeading columnHeading(layers, false);
  const OmDisplayRowHeading rowHeading(layers, false, false);
  std::vector<Strings> columnStacks, rowStacks;
  for (int c = 0; c < columnHeading.NColumns() && !axes[1].empty(); ++c)
    columnStacks.push_back(Labels(columnHeading.Column(c)));
  for (int r = 0; r < rowHeading.NRows() && !axes[0].empty(); ++r)
    rowStacks.push_back(Labels(rowHeading.Row(r)));
  EXPECT_EQ(columnStacks, axes[1].empty() ? std::vector<Strings>() : ExpectedStacks(axes[1]));
  EXPECT_EQ(rowStacks, axes[0].empty() ? std::vector<Strings>() : ExpectedStacks(axes[0]));
}

// Checks that cell holds figure (nothing: the missing mark) with decimals,
// as a percentage when percentage is set: a composite of an empty root, the
// number and "%".
void CheckCell(const OmCellText* cell, std::optional<double> figure, int decimals, bool percentage,
               bool exact) {
  ASSERT_NE(cell, nullptr);
  if (!figure) {
    EXPECT_NE(dynamic_cast<const OmMissing*>(cell), nullptr) << "undefined, not missing";
    return;
  }
  const OmNumber* number = dynamic_cast<const OmNumber*>(cell);
  if (percentage) {
    const auto* composite = dynamic_cast<const OmComposite*>(cell);
    ASSERT_NE(composite, nullptr) << "a percentage is a composite";
    const auto root = composite->Parts().Root();
    ASSERT_EQ(Text(*root), "");
    ASSERT_FALSE(root.IsLeaf());
    auto part = root.FirstChild();
    number = dynamic_cast<const OmNumber*>(*part);
    ++part;
    ASSERT_TRUE(part != root.EndChild() && Text(*part) == "%");
    EXPECT_TRUE(++part == root.EndChild()) << "two parts";
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(cell->AsString(), number->AsString() + "%");
  }
  ASSERT_NE(number, nullptr) << "a figure is a number";
  if (exact) {
    EXPECT_EQ(number->Value(), *figure);
  } else {
    EXPECT_NEAR(number->Value(), *figure, 1e-9 * std::max(1.0, std::fabs(*figure)));
  }
  EXPECT_EQ(number->Decimals(), decimals);
}

// The chi-square tests of one layer by the textbook: counts[i][j] the
// weighted count of row i and column j.
struct Tests {
  double pearson = 0, ratio = 0, cases = 0, minimum = 1e300;
  int df = 0, small = 0, cells = 0;
};

Tests TextbookTests(const std::vector<std::vector<double>>& counts) {
  Tests tests;
  std::vector<double> rowSums, columnSums;
  std::map<std::size_t, double> rows, columns;
  for (std::size_t i = 0; i < counts.size(); ++i) {
    for (std::size_t j = 0; j < counts[i].size(); ++j) {
      rows[i] += counts[i][j];
      columns[j] += counts[i][j];
      tests.cases += counts[i][j];
    }
  }
  for (auto it = rows.begin(); it != rows.end();)
    it = it->second == 0 ? rows.erase(it) : std::next(it);
  for (auto it = columns.begin(); it != columns.end();)
    it = it->second == 0 ? columns.erase(it) : std::next(it);
  if (rows.size() < 2 || columns.size() < 2) return tests;
  tests.df = static_cast<int>((rows.size() - 1) * (columns.size() - 1));
  tests.cells = static_cast<int>(rows.size() * columns.size());
  for (const auto& [i, rowSum] : rows) {
    for (const auto& [j, columnSum] : columns) {
      const double observed = counts[i][j], expected = rowSum * columnSum / tests.cases;
      tests.pearson += (observed - expected) * (observed - expected) / expected;
      if (observed > 0) tests.ratio += 2 * observed * std::log(observed / expected);
      tests.small += expected < 5;
      tests.minimum = std::min(tests.minimum, expected);
    }
  }
  return tests;
}

// The chi-square table after the crosstab: its dimensions, and per layer
// the textbook figures.
void CheckChiSquare(const OmPivotTable& tests, const Reference& reference) {
  EXPECT_EQ(Text(tests.OutlineText()), "Chi-square tests");
  EXPECT_EQ(Text(tests.GetTableTitle()), "Chi-square tests");
  EXPECT_EQ(Text(tests.TemplateName()), "Chi-square tests");
  const std::size_t layers = reference.names.size() - reference.columns;
  ASSERT_EQ(tests.NDimensions(), 2 + layers);
  const std::vector<Path> labels[2] = {
      {{"Pearson chi-square"}, {"Likelihood ratio"}, {"Valid cases"}},
      {{"Value"}, {"df"}, {"p-value"}}};
  std::vector<std::vector<Path>> paths(tests.NDimensions());
  for (std::size_t d = 0; d < tests.NDimensions(); ++d) {
    const OmDimension& dimension = tests.Dimension(static_cast<int>(d));
    Path path;
    std::set<Path> groups;
    Walk(dimension.Root(), path, paths[d], groups);
    if (d < 2) {
      EXPECT_EQ(dimension.Name().AsString(), d == 0 ? "Test" : "Result");
      EXPECT_TRUE(dimension.Root()->Hide());
      EXPECT_EQ(paths[d], labels[d]);
    } else {
      EXPECT_EQ(dimension.Name().AsString(), reference.names[reference.columns + d - 2]);
      EXPECT_EQ(paths[d], reference.categories[reference.columns + d - 2]);
    }
  }
  std::vector<short> layerList;
  for (std::size_t d = tests.NDimensions(); d-- > 2;)
    layerList.push_back(static_cast<short>(d));
  EXPECT_EQ(Axis(tests.Rows()), std::vector<short>{0});
  EXPECT_EQ(Axis(tests.Columns()), std::vector<short>{1});
  EXPECT_EQ(Axis(tests.Layers()), layerList);

  // Every layer: the product of the layer dimensions' categories.
  std::vector<std::vector<int>> layerIndexes = {{}};
  for (std::size_t d = 2; d < tests.NDimensions(); ++d) {
    std::vector<std::vector<int>> longer;
    for (const std::vector<int>& index : layerIndexes) {
      for (std::size_t k = 0; k < paths[d].size(); ++k) {
        longer.push_back(index);
        longer.back().push_back(static_cast<int>(k));
      }
    }
    layerIndexes = std::move(longer);
  }
  std::size_t cells = 0;
  for (const std::vector<int>& layer : layerIndexes) {
    Key layerKey;
    for (std::size_t l = 0; l < layer.size(); ++l)
      layerKey.push_back(paths[2 + l][static_cast<std::size_t>(layer[l])]);
    const std::vector<Path>& rowCategories = reference.categories[0];
    const std::vector<Path>& columnCategories = reference.categories[1];
    std::vector<std::vector<double>> counts(rowCategories.size(),
                                            std::vector<double>(columnCategories.size()));
    for (std::size_t i = 0; i < rowCategories.size(); ++i) {
      for (std::size_t j = 0; j < columnCategories.size(); ++j) {
        Key key = {rowCategories[i], columnCategories[j]};
        key.insert(key.end(), layerKey.begin(), layerKey.end());
        counts[i][j] = CountOf(reference, key);
      }
    }
    const Tests expected = TextbookTests(counts);
    const auto at = [&](int row, int column) {
      std::vector<int> index = {row, column};
      index.insert(index.end(), layer.begin(), layer.end());
      return tests.Cell(index);
    };
    const double values[] = {expected.pearson, expected.ratio};
    for (int row = 0; row < 2; ++row) {
      const bool tested = expected.df > 0;
      std::optional<double> p;
      if (tested) {
        p = boost::math::cdf(boost::math::complement(boost::math::chi_squared(expected.df),
                                                     std::max(values[row], 0.0)));
      }
      CheckCell(at(row, 0), tested ? std::optional<double>(values[row]) : std::nullopt, 3, false,
                false);
      CheckCell(at(row, 1), expected.df, 0, false, true);
      CheckCell(at(row, 2), p, 3, false, false);
      cells += 3;
      const OmCellText* value = at(row, 0);
      ASSERT_NE(value, nullptr);
      if (row == 1 || expected.small == 0) {
        EXPECT_TRUE(value->Footnotes().empty());
        continue;
      }
      ASSERT_EQ(value->Footnotes().size(), 1u);
      const int note = value->Footnotes()[0];
      ASSERT_LT(note, static_cast<int>(tests.Footnotes().size()));
      const bool one = expected.small == 1;
      char text[200];
      std::snprintf(text, sizeof text,
                    "%d %s (%.1f%%) %s an expected count less than 5. The minimum expected "
                    "count is %.2f.",
                    expected.small, one ? "cell" : "cells", 100.0 * expected.small / expected.cells,
                    one ? "has" : "have", expected.minimum);
      EXPECT_EQ(Text(tests.Footnotes()[static_cast<std::size_t>(note)].Text()), text);
    }
    CheckCell(at(2, 0), expected.cases, reference.weightDecimals, false, false);
    ++cells;
  }
  std::size_t stored = 0;
  for (auto it = tests.FirstCell(); it.Cell() != nullptr; ++it)
    ++stored;
  EXPECT_EQ(stored, cells);
}

std::string ExpectedCaption(const Reference& reference) {
  const Request& request = reference.request;
  std::string caption = "Rows read: " + std::to_string(reference.records) + ".";
  if (!request.includeMissing)
    caption +=
        " Left out for a missing category: " + std::to_string(reference.leftOutCategory) + ".";
  if (!request.weightColumn.empty())
    caption +=
        " Left out for a weight of weight that is empty: " + std::to_string(reference.weightEmpty) +
        ", not a number: " + std::to_string(reference.weightNotNumber) +
        ", negative: " + std::to_string(reference.weightNegative) + ".";
  if (std::any_of(request.statistics.begin(), request.statistics.end(), NeedsValues))
    caption +=
        " Rows with a missing value of income: " + std::to_string(reference.missingValues) + ".";
  return caption;
}

// Builds the crosstab of the file at path and compares it with the
// reference computation from data: the outline, the texts, the categories,
// every cell of every statistic and total, and the chi-square tests.
void CheckCrosstab(const std::string& path, const std::vector<Strings>& data, Request request,
                   const std::string& command) {
  request.path = path;
  SCOPED_TRACE(command);
  const Reference reference = Count(data, request);
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  ASSERT_EQ(tree->Size(), request.chiSquare ? 4 : 3);
  const auto procedure = std::next(tree->List().begin()), entry = std::next(procedure);
  const auto* heading = dynamic_cast<const OmProcedure*>(procedure->item);
  auto* table = dynamic_cast<OmPivotTable*>(entry->item);
  ASSERT_TRUE(procedure->level == 1 && entry->level == 2 && heading != nullptr && table != nullptr);
  EXPECT_EQ(Text(heading->OutlineText()), "Crosstab");
  EXPECT_EQ(heading->Command(), "omtree-view " + path + command);

  std::string label;
  for (const std::string& name : reference.names)
    label += (label.empty() ? "" : " by ") + name;
  const std::vector<S>& statistics = request.statistics;
  const bool several = statistics.size() > 1;
  const std::string corner =
      several ? "Statistics" : kStatisticNames[static_cast<int>(statistics[0])].corner;
  EXPECT_EQ(Text(table->OutlineText()), label);
  EXPECT_EQ(Text(table->GetTableTitle()), corner + " by " + label);
  EXPECT_EQ(Text(table->CornerText()), corner);
  EXPECT_EQ(Text(table->Caption()), ExpectedCaption(reference));

  // The dimensions: the named columns, with totals on rows and columns,
  // and the statistics last.
  const std::size_t dimensions = reference.names.size();
  ASSERT_EQ(table->NDimensions(), dimensions + (several ? 1 : 0));
  std::vector<std::vector<Path>> paths(table->NDimensions());
  std::vector<Shown> shown;
  for (std::size_t d = 0; d < table->NDimensions(); ++d) {
    const OmDimension& dimension = table->Dimension(static_cast<int>(d));
    Path path;
    std::set<Path> groups, expectedGroups;  // no more groups than the categories need
    Walk(dimension.Root(), path, paths[d], groups);
    if (d == dimensions) {
      EXPECT_EQ(dimension.Name().AsString(), "Statistics");
      EXPECT_TRUE(dimension.Root()->Hide());
      std::vector<Path> labels;
      for (S statistic : statistics)
        labels.push_back({kStatisticNames[static_cast<int>(statistic)].label});
      EXPECT_EQ(paths[d], labels);
      shown.push_back({"Statistics", labels, true});
      continue;
    }
    EXPECT_EQ(dimension.Name().AsString(), reference.names[d]);
    EXPECT_FALSE(dimension.Root()->Hide());
    std::vector<Path> categories = reference.categories[d];
    for (const Path& category : categories) {
      for (std::size_t n = 1; n < category.size(); ++n)
        expectedGroups.emplace(category.begin(), category.begin() + n);
    }
    if (request.totals && d < reference.columns) categories.push_back({"Total"});
    EXPECT_EQ(paths[d], categories) << "dimension " << reference.names[d];
    EXPECT_EQ(groups, expectedGroups) << "dimension " << reference.names[d];
    shown.push_back({reference.names[d], categories});
  }

  // The axis lists, innermost first, and the nesting they make.
  std::vector<short> lists[3];
  std::vector<Shown> axes[3];  // outermost first
  for (std::size_t d = dimensions; d-- > 0;) {
    const int axis = d < reference.rows ? 0 : d < reference.columns ? 1 : 2;
    lists[axis].push_back(static_cast<short>(d));
  }
  if (several) {
    std::vector<short>& list = lists[static_cast<int>(request.statisticsPlace)];
    list.insert(list.begin(), static_cast<short>(dimensions));
  }
  for (int axis = 0; axis < 3; ++axis) {
    for (auto d = lists[axis].rbegin(); d != lists[axis].rend(); ++d)
      axes[axis].push_back(shown[static_cast<std::size_t>(*d)]);
  }
  EXPECT_EQ(Axis(table->Rows()), lists[0]);
  EXPECT_EQ(Axis(table->Columns()), lists[1]);
  EXPECT_EQ(Axis(table->Layers()), lists[2]);
  CheckNesting(*table, axes);

  // Cells exactly where records are, and at their totals: each cell names
  // a key that must hold one, and there are as many as such keys times the
  // statistics.
  const std::set<Key> keys = ExpectedKeys(reference);
  std::set<std::pair<Key, int>> seen;
  for (auto it = table->FirstCell(); it.Cell() != nullptr; ++it) {
    Key key;
    for (std::size_t d = 0; d < dimensions; ++d) {
      const auto subscript = static_cast<std::size_t>(it.Index()[d]);
      const bool total =
          request.totals && d < reference.columns && subscript == reference.categories[d].size();
      key.push_back(total ? kTotal : paths[d].at(subscript));
    }
    const int k = several ? it.Index()[dimensions] : 0;
    ASSERT_TRUE(keys.count(key) > 0) << "a cell where none occur";
    ASSERT_TRUE(seen.emplace(key, k).second);
    const S statistic = statistics.at(static_cast<std::size_t>(k));
    SCOPED_TRACE(kStatisticNames[static_cast<int>(statistic)].keyword);
    // Minima, maxima and medians are values of the data; counts add up
    // multiples of 0.25; only sums and what divides may round differently.
    const bool exact = statistic == S::kMinimum || statistic == S::kMaximum ||
                       statistic == S::kMedian || statistic == S::kCount;
    CheckCell(it.Cell(), Figure(reference, statistic, key), ExpectedDecimals(reference, statistic),
              IsPercentage(statistic), exact);
  }
  EXPECT_EQ(seen.size(), keys.size() * statistics.size());

  if (request.chiSquare) {
    const auto* tests = dynamic_cast<const OmPivotTable*>(std::next(entry)->item);
    ASSERT_TRUE(tests != nullptr && std::next(entry)->level == 2);
    CheckChiSquare(*tests, reference);
  }
}

TEST(CrosstabTable, MatchesAReferenceComputationOfRandomFiles) {
  const std::vector<S> all(std::begin(kStatistics), std::end(kStatistics));
  const std::pair<Request, std::string> cases[] = {
      {Ask({"region"}, {"sex"}), " --rows region --cols sex"},
      {Ask({"region", "city"}, {"year"}, {"sex"}, {{"city", {"region"}}}, {S::kSum}, "income",
           O::kLabel),
       " --rows region,city --cols year --layers sex --stat sum --value income --sort "
       "--group city=region"},
      {Ask({"city"}, {"year"}, {}, {{"city", {"region", "sex"}}}, {S::kMean}, "income"),
       " --rows city --cols year --stat mean --value income --group city=region,sex"},
      {Ask({}, {"year"}, {"region"}, {}, {S::kMean}, "income", O::kLabel),
       " --cols year --layers region --stat mean --value income --sort"},
      {Ask({"sex", "year"}, {}, {"city"}, {{"sex", {""}}, {"city", {"year"}}}, {S::kCount},
           "income"),
       " --rows sex,year --layers city --group sex= --group city=year"},
      {Ask({"year"}, {"sex", "region"}, {"city", ""}),
       " --rows year --cols sex,region --layers city,"},
      // Every statistic, weighted, with totals and chi-square tests.
      {With(Ask({"region"}, {"sex"}, {"year"}, {}, all, "income"), "weight", true, {"NA", "-99"},
            false, true),
       " --rows region --cols sex --layers year --stat "
       "count,sum,mean,min,max,median,stddev,valid,rowpct,colpct,totalpct --value income "
       "--weight weight --totals --missing NA,-99 --chisq"},
      // Nested rows with groups, the statistics across the columns, the
      // missing categories kept.
      {With(Ask({"region", "city"}, {"sex"}, {}, {{"city", {"year"}}},
                {S::kCount, S::kMedian, S::kStdDev, S::kColumnPercent}, "income"),
            "weight", true, {}, true, false, P::kColumns),
       " --rows region,city --cols sex --stat count,median,stddev,colpct --value income "
       "--weight weight --stats-in cols --totals --include-missing --group city=year"},
      // Unweighted, the statistics as the layers, sorted, tested.
      {With(Ask({"city"}, {"year"}, {}, {}, {S::kMinimum, S::kMaximum, S::kValid, S::kTotalPercent},
                "income", O::kLabel),
            "", false, {"-99"}, false, true, P::kLayers),
       " --rows city --cols year --stat min,max,valid,totalpct --value income --stats-in layers "
       "--missing -99 --sort --chisq"},
      // One percentage alone, columns only, totals.
      {With(Ask({}, {"sex", "year"}, {"region"}, {}, {S::kRowPercent}), "weight", true),
       " --cols sex,year --layers region --stat rowpct --weight weight --totals"},
  };
  for (unsigned seed = 0; seed <= 2; ++seed) {  // seed 0: the header alone
    std::mt19937 random(seed + 100);
    const std::vector<Strings> data = RandomData(seed, seed == 0 ? 0 : 1500);
    const std::string path = WriteFile("random-" + std::to_string(seed) + ".csv",
                                       ToCsv(data, seed == 2, random).c_str());
    for (const auto& [request, command] : cases)
      CheckCrosstab(path, data, request, command);
  }
}

// The cells show as many decimals as the data has: none for counts and for
// sums of whole numbers, the values' most (at most six) for sums, minima
// and maxima, one more for medians, two more for means and deviations, the
// weights' for weighted counts, one for percentages. The value keeps its
// full precision.
TEST(CrosstabTable, NumbersShowTheDecimalsOfTheData) {
  const struct {
    const char* values[2];   // the value column of the two records
    const char* weights[2];  // their weights; null: no weight column
    S statistic;
    const char* shown;
    double value;
  } cases[] = {
      {{"100", "18"}, {}, S::kSum, "118", 118},
      {{"100", "18"}, {}, S::kCount, "2", 2},
      {{"100", "18"}, {}, S::kMean, "59.00", 59},
      {{"1.5", "2.25"}, {}, S::kSum, "3.75", 3.75},
      {{"1.50", "2"}, {}, S::kSum, "3.50", 3.5},
      {{"1.5", "2"}, {}, S::kMean, "1.750", 1.75},
      {{"1.5e-3", "1"}, {}, S::kSum, "1.0015", 1.0015},
      {{"1.25e1", "7e2"}, {}, S::kSum, "712.5", 712.5},
      {{"0.123456789", "1"}, {}, S::kSum, "1.123457", 1.123456789},
      {{"0.123456789", "1"}, {}, S::kMean, "0.56172839", 0.5617283945},
      {{"2.", "-1"}, {}, S::kSum, "1", 1},
      {{"2", "5"}, {}, S::kMedian, "3.5", 3.5},
      {{"2", "5"}, {}, S::kMinimum, "2", 2},
      {{"2", "5.5"}, {}, S::kMaximum, "5.5", 5.5},
      {{"2", "4"}, {}, S::kStdDev, "1.41", std::sqrt(2.0)},
      {{"2", ""}, {}, S::kValid, "1", 1},
      {{"2", "4"}, {}, S::kRowPercent, "100.0%", 100},
      // Weighted: frequency weights.
      {{"2", "4"}, {"1.5", "2"}, S::kCount, "3.5", 3.5},
      {{"2", "4"}, {"1.5", "2"}, S::kSum, "11.0", 11},
      {{"2", "4"}, {"1", "3"}, S::kMean, "3.50", 3.5},
      {{"2", "4"}, {"1", "3"}, S::kMedian, "4.0", 4},
      {{"2", "4"}, {"2", "2"}, S::kMedian, "3.0", 3},
      {{"2", "4"}, {"1", "3"}, S::kStdDev, "1.00", 1},
      {{"2", "4"}, {"0.25", "0"}, S::kValid, "0.25", 0.25},
      {{"2", "4"}, {"0.25", "0"}, S::kMaximum, "2", 2},
  };
  for (const auto& c : cases) {
    const bool weighted = c.weights[0] != nullptr;
    SCOPED_TRACE(std::string(c.values[0]) + " " + c.values[1] + " " +
                 StatisticKeyword(c.statistic));
    std::string csv = "a,v,w\n";
    for (int r = 0; r < 2; ++r)
      csv += std::string("x,") + c.values[r] + "," + (weighted ? c.weights[r] : "1") + "\n";
    Request request = Ask({"a"}, {}, {}, {}, {c.statistic}, "v");
    if (weighted) request.weightColumn = "w";
    request.path = WriteFile("decimals.csv", csv.c_str());
    const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
    const OmCellText* cell = Item(*tree, 2)->Cell({0});
    EXPECT_EQ(Text(cell), c.shown);
    EXPECT_NEAR(NumberOf(cell), c.value, 1e-12);
  }
}

// Rows whose weight is empty, not a number or negative are left out, each
// counted in the caption for its reason; a weight of 0 keeps its row.
TEST(CrosstabWeights, BadWeightsAreLeftOutAndCounted) {
  const struct {
    const char* weight;
    const char* counts;  // the caption's counts: empty, not a number, negative
    const char* cell;    // the count of category "y", or "(none)"
  } cases[] = {
      {"", "empty: 1, not a number: 0, negative: 0", "(none)"},
      {"x", "empty: 0, not a number: 1, negative: 0", "(none)"},
      {" 1", "empty: 0, not a number: 1, negative: 0", "(none)"},
      {"+1", "empty: 0, not a number: 1, negative: 0", "(none)"},
      {"1,5", "empty: 0, not a number: 1, negative: 0", "(none)"},
      {"inf", "empty: 0, not a number: 1, negative: 0", "(none)"},
      {"nan", "empty: 0, not a number: 1, negative: 0", "(none)"},
      {"1e999", "empty: 0, not a number: 1, negative: 0", "(none)"},
      {"-1", "empty: 0, not a number: 0, negative: 1", "(none)"},
      {"-0.5", "empty: 0, not a number: 0, negative: 1", "(none)"},
      {"0", "empty: 0, not a number: 0, negative: 0", "0"},
      {"-0", "empty: 0, not a number: 0, negative: 0", "0"},
      {"2", "empty: 0, not a number: 0, negative: 0", "2"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.weight);
    const std::string csv = std::string("a,w\nx,1\ny,\"") + c.weight + "\"\n";
    Request request = Ask({"a"}, {});
    request.weightColumn = "w";
    request.path = WriteFile("weights.csv", csv.c_str());
    const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
    OmPivotTable* table = Item(*tree, 2);
    EXPECT_EQ(Text(table->Caption()),
              std::string("Rows read: 2. Left out for a missing category: 0. Left out for a "
                          "weight of w that is ") +
                  c.counts + ".");
    EXPECT_EQ(Text(table->Cell({1})), c.cell);
    EXPECT_EQ(table->Dimension(0).NumCategories(), std::string(c.cell) == "(none)" ? 1 : 2);
  }
}

// ---------------------------------------------------------------------------
// Crosstabs of in-memory tables against crosstabs of the same data in a file.

// data under kHeader as a DataTable named name: each column's dictionary in
// an order of its own, now and then holding a field twice (the rows naming
// either code); the empty field now -1, now a field of the dictionary.
DataTable ToTable(const std::vector<Strings>& data, const std::string& name, std::mt19937& random) {
  DataTable table{name, {}};
  for (std::size_t c = 0; c < kHeader.size(); ++c) {
    std::set<std::string> fields;
    for (const Strings& row : data)
      fields.insert(row[c]);
    DataColumn column{kHeader[c], Strings(fields.begin(), fields.end()), {}};
    std::shuffle(column.dictionary.begin(), column.dictionary.end(), random);
    if (!column.dictionary.empty() && random() % 2 == 0)
      column.dictionary.push_back(column.dictionary[random() % column.dictionary.size()]);
    std::multimap<std::string, std::int32_t> codes;
    for (std::size_t k = 0; k < column.dictionary.size(); ++k)
      codes.emplace(column.dictionary[k], static_cast<std::int32_t>(k));
    for (const Strings& row : data) {
      const auto [first, last] = codes.equal_range(row[c]);
      const auto n = static_cast<long>(std::distance(first, last));
      const bool asMinusOne = row[c].empty() && random() % 2 == 0;
      column.codes.push_back(asMinusOne ? -1 : std::next(first, random() % n)->second);
    }
    table.columns.push_back(std::move(column));
  }
  return table;
}

// The saved documents, which keep every cell's full value, are the same
// byte for byte: the table is named as the file is, so the commands agree.
TEST(CrosstabDataTable, SameDocumentAsTheFile) {
  const std::vector<S> all(std::begin(kStatistics), std::end(kStatistics));
  const Request requests[] = {
      Ask({"region"}, {"sex"}),
      With(Ask({"region"}, {"sex"}, {"year"}, {}, all, "income"), "weight", true, {"NA", "-99"},
           false, true),
      With(Ask({"region", "city"}, {"sex"}, {}, {{"city", {"year", ""}}},
               {S::kCount, S::kMedian, S::kStdDev, S::kColumnPercent}, "income", O::kLabel),
           "weight", true, {"-99"}, true, false, P::kColumns),
      With(Ask({}, {"", "year"}, {"region"}, {}, {S::kSum, S::kRowPercent}, "income"), "weight",
           false),
  };
  for (unsigned seed = 0; seed <= 2; ++seed) {  // seed 0: no rows
    std::mt19937 random(seed + 200);
    const std::vector<Strings> data = RandomData(seed + 10, seed == 0 ? 0 : 800);
    const std::string path =
        WriteFile("table-" + std::to_string(seed) + ".csv", ToCsv(data, seed == 2, random).c_str());
    const DataTable table = ToTable(data, path, random);
    for (Request request : requests) {
      request.path = path;
      const std::string fromFile = omdoc::Save(*BuildCrosstab(request));
      request.path = "ignored";
      EXPECT_EQ(omdoc::Save(*BuildCrosstab(request, table)), fromFile);
    }
  }
  DataTable named{"my data", {{"a", {"x"}, {0}}, {"b", {"y"}, {0}}}};
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(Ask({"a"}, {"b"}), named);
  EXPECT_EQ(Item<OmProcedure>(*tree, 1)->Command(), "omtree-view 'my data' --rows a --cols b");
}

TEST(CrosstabDataTable, ErrorsNameTheRowAndColumn) {
  const auto column = [](std::string name, Strings dictionary, std::vector<std::int32_t> codes) {
    return DataColumn{std::move(name), std::move(dictionary), std::move(codes)};
  };
  const DataColumn a = column("a", {"p", "q", ""}, {0, 1, -1, 2});
  const DataColumn b = column("b", {"y"}, {0, 0, 0, 0});
  const struct {
    std::vector<DataColumn> columns;
    std::uint64_t line, column;
    const char* what;
    Request request = Ask({"a"}, {"b"}, {}, {}, {S::kMean}, "v");
  } cases[] = {
      // Rows 3 and 4 are left out for their missing category before their
      // value is read.
      {{a, b, column("v", {"1", "x", "1e999"}, {0, 1, 2, 2})},
       2,
       3,
       "row 2, column \"v\": \"x\" is not a number"},
      {{a, b, column("v", {"1", "1e999"}, {0, 1, 0, 0})},
       2,
       3,
       "row 2, column \"v\": \"1e999\" is out of range"},
      {{a, b, column("v", {"1"}, {0, 0, 0})}, 0, 0, "column \"v\" has 3 rows; column \"a\" has 4"},
      {{a, column("\xC3", {}, {-1, -1, -1, -1})}, 0, 2, "the name of column 2 is not valid UTF-8"},
      {{a, b, column("v", {"1"}, {0, -1, 1, 0})},
       3,
       3,
       "row 3, column \"v\": code 1 is not in the dictionary of 1 fields"},
      // An unused field need not be UTF-8, as a file never holds it.
      {{a, column("b", {"\xFF", "y", "\xC3"}, {1, 1, 2, 0})},
       3,
       2,
       "row 3, column \"b\": field is not valid UTF-8"},
      {{a, b, column("a", {}, {-1, -1, -1, -1})}, 0, 3, "column name \"a\" is in the header twice"},
      {{a, b}, 0, 0, "no column \"v\" in the header; the columns are \"a\", \"b\""},
      {{a, b}, 0, 0, "a mean needs a value column", Ask({"a"}, {"b"}, {}, {}, {S::kMean})},
  };
  for (const auto& bad : cases) {
    ExpectInputError(
        [&] {
          BuildCrosstab(bad.request, DataTable{"T", bad.columns});
        },
        std::string("T: ") + bad.what, bad.line, bad.column);
  }
  // Without a value to read, the unused fields play no part.
  const DataTable fine{"T", {a, column("b", {"y", "\xFF"}, {0, 0, 0, 0})}};
  EXPECT_NO_THROW(BuildCrosstab(Ask({"a"}, {"b"}), fine));
}

// ---------------------------------------------------------------------------
// A public data set against its published figures.

// UC Berkeley graduate admissions, fall 1973, the six largest departments
// (Bickel, Hammel & O'Connell, Science 187:398-403, 1975), as the frequency
// of each department, gender and decision: tests/tools/data/README.md names
// the sources of the data and of the figures checked here.
TEST(CrosstabPublished, BerkeleyAdmissionsByGender) {
  Request request = Ask({"gender"}, {"admission"}, {}, {}, {S::kCount, S::kRowPercent});
  request.path = std::string(OMTREE_TOOLS_DATA_DIR) + "/berkeley-admissions.csv";
  request.weightColumn = "frequency";
  request.totals = true;
  request.chiSquare = true;
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  ASSERT_EQ(tree->Size(), 4);
  const OmPivotTable* table = Item(*tree, 2);
  const OmPivotTable* tests = Item(*tree, 3);
  ASSERT_TRUE(table != nullptr && tests != nullptr);
  // Gender: Male 0, Female 1, Total 2; admission: Admitted 0, Rejected 1,
  // Total 2; statistics: count 0, row % 1. The published figures: counts
  // exact, row percentages to two decimals.
  const struct {
    int gender, admission, statistic;
    double published, tolerance;
    const char* shown;
  } figures[] = {
      {0, 0, 0, 1198, 0, "1198"},       {0, 1, 0, 1493, 0, "1493"},
      {1, 0, 0, 557, 0, "557"},         {1, 1, 0, 1278, 0, "1278"},
      {0, 2, 0, 2691, 0, "2691"},       {1, 2, 0, 1835, 0, "1835"},
      {2, 0, 0, 1755, 0, "1755"},       {2, 1, 0, 2771, 0, "2771"},
      {2, 2, 0, 4526, 0, "4526"},       {0, 0, 1, 44.52, 0.005, "44.5%"},
      {0, 1, 1, 55.48, 0.005, "55.5%"}, {1, 0, 1, 30.35, 0.005, "30.4%"},
      {1, 1, 1, 69.65, 0.005, "69.6%"},
  };
  for (const auto& figure : figures) {
    const OmCellText* cell = table->Cell({figure.gender, figure.admission, figure.statistic});
    ASSERT_NE(cell, nullptr);
    EXPECT_NEAR(NumberOf(cell), figure.published, figure.tolerance) << figure.shown;
    EXPECT_EQ(cell->AsString(), figure.shown);
  }
  // Pearson chi-square 92.2053 and likelihood ratio 93.4494, df 1,
  // p < .0001, published to four decimals; the p-value of one degree of
  // freedom in closed form is erfc(sqrt(x / 2)).
  const double published[] = {92.2053, 93.4494};
  for (int row = 0; row < 2; ++row) {
    const double value = NumberOf(tests->Cell({row, 0}));
    EXPECT_NEAR(value, published[row], 0.00005);
    EXPECT_EQ(NumberOf(tests->Cell({row, 1})), 1);
    const double p = NumberOf(tests->Cell({row, 2}));
    EXPECT_LT(p, 0.0001);
    EXPECT_NEAR(p, std::erfc(std::sqrt(value / 2)), 1e-12 * std::erfc(std::sqrt(value / 2)));
  }
  EXPECT_EQ(tests->Cell({0, 0})->AsString(), "92.205");
  EXPECT_EQ(NumberOf(tests->Cell({2, 0})), 4526);
  EXPECT_TRUE(tests->Footnotes().empty()) << "no expected count is below 5";
}

// The p-value of two degrees of freedom in closed form, exp(-x / 2), on a
// 2 x 3 table, and the footnote on small expected counts.
TEST(CrosstabPublished, TwoDegreesOfFreedomInClosedForm) {
  Request request = Ask({"a"}, {"b"});
  request.chiSquare = true;
  request.weightColumn = "n";
  request.path = WriteFile("df2.csv", "a,b,n\nx,p,10\nx,q,4\nx,r,2\ny,p,3\ny,q,6\ny,r,9\n");
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  const OmPivotTable* tests = Item(*tree, 3);
  ASSERT_NE(tests, nullptr);
  for (int row = 0; row < 2; ++row)
    EXPECT_NEAR(NumberOf(tests->Cell({row, 2})), std::exp(-NumberOf(tests->Cell({row, 0})) / 2),
                1e-12);
  // Expected counts: rows of 16 and 18, columns of 13, 10 and 11, of 34;
  // only 16 * 10 / 34 = 4.71 is below 5.
  ASSERT_EQ(tests->Footnotes().size(), 1u);
  EXPECT_EQ(Text(tests->Footnotes()[0].Text()),
            "1 cell (16.7%) has an expected count less than 5. The minimum expected count is "
            "4.71.");
}

// ---------------------------------------------------------------------------
// Bad input: one case per way to fail, with its exact message and place.

TEST(CrosstabErrors, NameFileLineAndColumn) {
  Request directory = Ask({"a"}, {"b"});
  directory.path = testing::TempDir();
  const auto grouped = [](std::vector<Grouping> groupings) {
    return Ask({"a"}, {"b"}, {}, std::move(groupings));
  };
  const auto stats = [](std::vector<S> statistics) {
    return Ask({"a"}, {"b"}, {}, {}, std::move(statistics));
  };
  Request tested = Ask({"a", "v"}, {"b"});
  tested.chiSquare = true;
  Request tooMany = Ask({"a", "b", "c", "d", "e", "f", "g"}, {"h", "i", "j", "k", "l", "m"});
  tooMany.totals = true;
  Request weighted = Ask({"a"}, {"b"});
  weighted.weightColumn = "w";
  struct Bad {
    const char* csv;             // null: no file at all
    std::uint64_t line, column;  // 0: the message names no place
    const char* what;
    Request request = Ask({"a"}, {"b"}, {}, {}, {S::kMean}, "v");
  };
  const Bad cases[] = {
      {nullptr, 0, 0, "cannot open: No such file or directory"},
      {nullptr, 0, 0, "cannot read: Is a directory", directory},
      {"\n\r\n\n", 0, 0, "no header record"},
      {"a,b,w\n", 0, 0, "no column \"v\" in the header; the columns are \"a\", \"b\", \"w\""},
      {"a,b,v\n", 0, 0, "no column \"w\" in the header; the columns are \"a\", \"b\", \"v\"",
       weighted},
      {"a,b,v,\"b\"\n", 1, 7, "column name \"b\" is in the header twice"},
      {"a,b,v\n\r\n\"x\ny\",2,3,4,5\n", 3, 1, "record has 5 fields; the header has 3"},
      {"a,\xFF,v\n", 1, 3, "field is not valid UTF-8"},
      // Columns count characters, not bytes; lines go on inside quotes.
      {"a,b,v\n\"Z\xC3\xBC\r\n\xC3\xB6\",\x80,1\n", 3, 4, "field is not valid UTF-8"},
      {"a,b,v,u\n1,2,3,\xC3\n", 2, 7, "field is not valid UTF-8"},  // in a column not asked for
      {"a,b,v\n1,2,3\n1,2,0x10\n", 3, 5, "\"0x10\" in column \"v\" is not a number"},
      // A CR LF inside quotes ends one line; a lone CR or LF another.
      {"a,b,v\n\"x\r\ny\",\"\r\",3\n\"\n\",2,3\n1,2,x\n", 7, 5,
       "\"x\" in column \"v\" is not a number"},
      {"a,b,v\n1,2,inf\n", 2, 5, "\"inf\" in column \"v\" is not a number"},
      {"a,b,v\n1,2,1e999\n", 2, 5, "\"1e999\" in column \"v\" is out of range"},
      {"a,b,v\n1,x\"y,3\n", 2, 4, "quote inside an unquoted field"},
      {"a,b,v\n\"\xC3\xA9\"y,2,3\n", 2, 4, "text after the closing quote of a field"},
      {"a,b,v\n1,2,\"3\n4\n", 2, 5, "quoted field not closed at the end of the file"},
      {"a,b,v\n", 0, 0, "no statistic to show", stats({})},
      {"a,b,v\n", 0, 0, "statistic \"rowpct\" is asked for twice",
       stats({S::kRowPercent, S::kCount, S::kRowPercent})},
      {"a,b,v\n", 0, 0, "a sum needs a value column", stats({S::kSum})},
      {"a,b,v\n", 0, 0, "a mean needs a value column", stats({S::kCount, S::kMean})},
      {"a,b,v\n", 0, 0, "a minimum needs a value column", stats({S::kMinimum})},
      {"a,b,v\n", 0, 0, "a maximum needs a value column", stats({S::kMaximum})},
      {"a,b,v\n", 0, 0, "a median needs a value column", stats({S::kMedian})},
      {"a,b,v\n", 0, 0, "a standard deviation needs a value column", stats({S::kStdDev})},
      {"a,b,v\n", 0, 0, "a valid count needs a value column", stats({S::kValid})},
      {"a,b,v\n", 0, 0, "no row or column to tabulate", Ask({}, {}, {"a"})},
      {"a,b,v\n", 0, 0, "totals need at most 12 row and column columns", tooMany},
      {"a,b,v\n", 0, 0, "a chi-square test needs exactly one row and one column column", tested},
      {"a,b,v\n", 0, 0, "column \"a\" is used twice", Ask({"a"}, {"b"}, {"a"})},
      {"a,b,v\n", 0, 0, "column \"v\" is grouped but is not a row, column or layer column",
       grouped({{"v", {"a"}}})},
      {"a,b,v\n", 0, 0, "column \"a\" is grouped twice", grouped({{"a", {"v"}}, {"a", {"b"}}})},
      {"a,b,v\n", 0, 0, "column \"a\" is grouped by itself", grouped({{"a", {"v", "a"}}})},
      {"a,b,v\n", 0, 0, "column \"a\" is grouped by \"v\" twice", grouped({{"a", {"v", "v"}}})},
      {"a,b,v\n", 0, 0, "no column \"q\" in the header; the columns are \"a\", \"b\", \"v\"",
       grouped({{"a", {"b", "q"}}})},
  };
  for (const Bad& bad : cases) {
    Request request = bad.request;
    if (request.path.empty())
      request.path = WriteFile("bad-" + std::to_string(&bad - cases) + ".csv", bad.csv);
    const std::string where =
        bad.line == 0 ? "" : ":" + std::to_string(bad.line) + ":" + std::to_string(bad.column);
    ExpectInputError([&] { BuildCrosstab(request); }, request.path + where + ": " + bad.what,
                     bad.line, bad.column);
  }
}

// A file read in batches far ahead of the counting: of a bad value and a
// broken quote, whichever comes first in the file is reported, with its
// place.
TEST(CrosstabErrors, FirstInFileOrderAcrossBatches) {
  const auto file = [](int badValueRow, int brokenRow) {
    std::string csv = "a,b,v\n";
    for (int row = 1; row <= 20000; ++row) {
      const std::string value = row == badValueRow ? "x" : std::to_string(row % 7);
      csv += std::string(row == brokenRow ? "p\"" : "p") + "," + std::to_string(row % 3) + "," +
             value + "\n";
    }
    return csv;
  };
  const struct {
    std::string csv;
    std::uint64_t line, column;
    const char* what;
  } cases[] = {
      {file(17000, 18000), 17001, 5, "\"x\" in column \"v\" is not a number"},
      {file(18000, 15000), 15001, 2, "quote inside an unquoted field"},
      {file(4096, 0), 4097, 5, "\"x\" in column \"v\" is not a number"},
      // A field longer than several chunks, with a line break in it.
      {"a,b,v\n\"" + std::string(3 * internal::kChunkSize, 'x') + "\n\",1,2\n1,2,y\n", 4, 5,
       "\"y\" in column \"v\" is not a number"},
  };
  for (const auto& bad : cases) {
    Request request = Ask({"a"}, {"b"}, {}, {}, {S::kMean}, "v");
    request.path = WriteFile("order.csv", bad.csv.c_str());
    ExpectInputError([&] { BuildCrosstab(request); },
                     request.path + ":" + std::to_string(bad.line) + ":" +
                         std::to_string(bad.column) + ": " + bad.what,
                     bad.line, bad.column);
  }
}

TEST(CrosstabErrors, Utf8CheckedAtEveryLimit) {
  for (const char* bad : {"\x80", "\xC1\xBF", "\xE0\x9F\xBF", "\xED\xA0\x80", "\xF0\x8F\xBF\xBF",
                          "\xF4\x90\x80\x80", "\xF5\x80\x80\x80", "\xE2\x82", "\xE2\x82\x41"})
    EXPECT_FALSE(internal::IsUtf8(bad, std::strlen(bad))) << bad;
  for (const char* good : {"\xC2\x80", "\xE0\xA0\x80", "\xED\x9F\xBF", "\xEE\x80\x80",
                           "\xF0\x90\x80\x80", "\xF4\x8F\xBF\xBF"})
    EXPECT_TRUE(internal::IsUtf8(good, std::strlen(good))) << good;
}

TEST(CrosstabProgress, ReportedEveryIntervalAndAtTheEnd) {
  const std::uint64_t interval = internal::kProgressInterval;
  std::string csv = "a,b\n";
  for (int i = 0; csv.size() < 2 * interval + interval / 2; ++i)
    csv += std::to_string(i % 7) + "," + std::string(100, static_cast<char>('a' + i % 26)) + "\n";
  std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
  const auto record = [&reports](auto read, auto total) { reports.emplace_back(read, total); };
  Request request = Ask({"a"}, {"b"});
  request.path = WriteFile("progress.csv", csv.c_str());
  BuildCrosstab(request, record);
  const std::uint64_t size = csv.size();
  EXPECT_EQ(reports, (decltype(reports){{interval, size}, {2 * interval, size}, {size, size}}));
  reports.clear();
  request.path = WriteFile("small.csv", "a,b\n1,2");
  BuildCrosstab(request, record);
  EXPECT_EQ(reports, (decltype(reports){{7, 7}}));
}

}  // namespace
