#include "CommandLine.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <optional>

namespace omcrosstab {

namespace {

// "city=country,region" groups city under country and then region.
Grouping ParseGrouping(const std::string& text) {
  const std::size_t equals = text.find('=');
  if (equals == std::string::npos || equals == 0 || equals + 1 == text.size()) {
    throw CLI::ValidationError("--group", "expected COLUMN=BY[,BY...], got '" + text + "'");
  }
  Grouping grouping;
  grouping.column = text.substr(0, equals);
  std::string rest = text.substr(equals + 1);
  for (std::size_t start = 0;;) {
    const std::size_t comma = rest.find(',', start);
    grouping.by.push_back(rest.substr(start, comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return grouping;
}

std::string Keywords() {
  std::string keywords;
  for (Statistic statistic : kStatistics)
    keywords += (keywords.empty() ? "" : ", ") + std::string(StatisticKeyword(statistic));
  return keywords;
}

std::optional<Statistic> FindStatistic(const std::string& keyword) {
  for (Statistic statistic : kStatistics) {
    if (keyword == StatisticKeyword(statistic)) return statistic;
  }
  return std::nullopt;
}

}  // namespace

void CommandLine::AddTo(CLI::App& app, CLI::Option* file) {
  const std::size_t before = app.get_options().size();
  const auto names = [&](const char* name, std::vector<std::string>& into, const char* what) {
    app.add_option(name, into, what)->delimiter(',')->needs(file);
  };
  names("--rows", _request.rows, "Row columns, outermost first (comma-separated or repeated).");
  names("--cols", _request.columns, "Column columns, outermost first.");
  names("--layers", _request.layers, "Layer columns, outermost first.");
  app.add_option("--stat", _statistics,
                 "The statistics of the cells, comma-separated (default: count): count (weighted "
                 "count), sum, mean, min, max, median, stddev (sample, n - 1), valid (number of "
                 "values), all of --value; rowpct, colpct, totalpct (percent of the row's, "
                 "column's or layer's count). With --weight every statistic is weighted, the "
                 "weights being frequencies: the median is the value where the running weight of "
                 "the sorted values passes half the total (the midpoint of two values where it "
                 "reaches exactly half), the median of the data with each row repeated weight "
                 "times. Several statistics form a dimension 'Statistics'.")
      ->delimiter(',')
      ->needs(file);
  app.add_option("--value", _request.valueColumn, "The numeric column of sum to valid.")
      ->needs(file);
  app.add_option("--weight", _request.weightColumn,
                 "Each row counts with the weight in this column (default: 1); rows whose "
                 "weight is empty, not a number or negative are left out and counted in the "
                 "caption. For pre-aggregated data: one row per combination and its frequency.")
      ->needs(file);
  app.add_option("--stats-in", _statisticsPlace,
                 "Where several statistics stand, innermost: rows (default), cols or layers.")
      ->check(CLI::IsMember({"rows", "cols", "layers"}))
      ->needs(file);
  app.add_flag("--totals", _request.totals,
               "A last category 'Total' in every row and column dimension, per layer.")
      ->needs(file);
  app.add_option("--missing", _request.missing,
                 "Values of the category and value columns that are missing, besides the empty "
                 "field (comma-separated; default: the empty field only). Rows with a missing "
                 "category are left out and "
                 "counted in the caption; a missing value counts the row but not its value.")
      ->delimiter(',')
      ->needs(file);
  app.add_flag("--include-missing", _request.includeMissing,
               "Keep rows with a missing category, the missing value as a category.")
      ->needs(file);
  app.add_flag("--sort", _sorted,
               "Categories sorted by label (byte order) instead of by first appearance.")
      ->needs(file);
  app.add_option("--group", _groupings,
                 "Group a dimension's categories by other columns, outermost first: "
                 "COLUMN=BY[,BY...]; may be repeated.")
      ->needs(file);
  app.add_flag("--chisq", _request.chiSquare,
               "After the crosstab, a table 'Chi-square tests' per layer: Pearson chi-square "
               "and likelihood ratio with df and asymptotic p-value, and the valid cases; needs "
               "exactly one --rows and one --cols column.")
      ->needs(file);
  const std::vector<CLI::Option*> all = app.get_options();
  _options.assign(all.begin() + static_cast<std::ptrdiff_t>(before), all.end());
}

bool CommandLine::AnyGiven() const {
  return std::any_of(_options.begin(), _options.end(),
                     [](const CLI::Option* option) { return option->count() > 0; });
}

Request CommandLine::MakeRequest(const std::string& path) const {
  Request request = _request;
  request.path = path;
  if (request.rows.empty() && request.columns.empty()) {
    throw CLI::ValidationError("a crosstabulation needs --rows or --cols");
  }
  request.statistics.clear();
  for (const std::string& keyword : _statistics) {
    const std::optional<Statistic> statistic = FindStatistic(keyword);
    if (!statistic) {
      throw CLI::ValidationError(
          "--stat", "unknown statistic '" + keyword + "'; the statistics are " + Keywords());
    }
    if (std::find(request.statistics.begin(), request.statistics.end(), *statistic) !=
        request.statistics.end()) {
      throw CLI::ValidationError("--stat", "'" + keyword + "' is named twice");
    }
    if (NeedsValue(*statistic) && request.valueColumn.empty()) {
      throw CLI::ValidationError("--stat " + keyword + " needs --value");
    }
    request.statistics.push_back(*statistic);
  }
  if (request.chiSquare && (request.rows.size() != 1 || request.columns.size() != 1)) {
    throw CLI::ValidationError("--chisq needs exactly one --rows column and one --cols column");
  }
  request.statisticsPlace = _statisticsPlace == "cols"     ? StatisticsPlace::kColumns
                            : _statisticsPlace == "layers" ? StatisticsPlace::kLayers
                                                           : StatisticsPlace::kRows;
  request.order = _sorted ? CategoryOrder::kLabel : CategoryOrder::kFirstAppearance;
  for (const std::string& text : _groupings)
    request.groupings.push_back(ParseGrouping(text));
  return request;
}

}  // namespace omcrosstab
