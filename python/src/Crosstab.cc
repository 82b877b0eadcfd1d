// omtree.crosstab: the crosstab of omtree-view, from a CSV file. The
// request is made here from keyword arguments with the command's statistic
// names; its checks and every message are the crosstab library's own.

#include <fcntl.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "Binding.h"
#include "Crosstab.h"

namespace ombind {

namespace {

omcrosstab::Statistic FindStatistic(const std::string& keyword) {
  std::string keywords;
  for (omcrosstab::Statistic statistic : omcrosstab::kStatistics) {
    if (keyword == omcrosstab::StatisticKeyword(statistic)) return statistic;
    keywords += (keywords.empty() ? "" : ", ") + std::string(StatisticKeyword(statistic));
  }
  throw py::value_error("unknown statistic '" + keyword + "'; the statistics are " + keywords);
}

omcrosstab::StatisticsPlace FindPlace(const std::string& place) {
  if (place == "rows") return omcrosstab::StatisticsPlace::kRows;
  if (place == "columns") return omcrosstab::StatisticsPlace::kColumns;
  if (place == "layers") return omcrosstab::StatisticsPlace::kLayers;
  throw py::value_error("stats_in must be 'rows', 'columns' or 'layers', not '" + place + "'");
}

omcrosstab::Request MakeRequest(const std::string& path, const std::vector<std::string>& rows,
                                const std::vector<std::string>& columns,
                                const std::vector<std::string>& layers,
                                const std::vector<std::string>& statistics,
                                const std::string& value, const std::string& weight, bool totals,
                                bool chisq, bool sort, const std::string& statsIn,
                                const std::map<std::string, std::vector<std::string>>& groups,
                                const std::vector<std::string>& missing, bool includeMissing) {
  omcrosstab::Request request;
  request.path = path;
  request.rows = rows;
  request.columns = columns;
  request.layers = layers;
  request.statistics.clear();
  for (const std::string& keyword : statistics) {
    request.statistics.push_back(FindStatistic(keyword));
  }
  request.valueColumn = value;
  request.weightColumn = weight;
  request.totals = totals;
  request.chiSquare = chisq;
  request.order =
      sort ? omcrosstab::CategoryOrder::kLabel : omcrosstab::CategoryOrder::kFirstAppearance;
  request.statisticsPlace = FindPlace(statsIn);
  for (const auto& [column, by] : groups)
    request.groupings.push_back({column, by});
  request.missing = missing;
  request.includeMissing = includeMissing;
  return request;
}

// Whether error is the reader's complaint that path cannot be opened or
// read: such an error is an OSError in Python.
bool IsFileError(const omcrosstab::InputError& error, const std::string& path) {
  if (error.line() != 0) return false;
  const std::string message = error.what();
  for (const char* what : {": cannot open: ", ": cannot read: "}) {
    if (message.rfind(path + what, 0) == 0) return true;
  }
  return false;
}

StatePtr CrosstabFile(const omcrosstab::Request& request) {
  return Adopt(Released([&] {
    // Opened here first only to give Python the error number; the message
    // is the reader's.
    const int descriptor = open(request.path.c_str(), O_RDONLY);
    if (descriptor < 0) {
      throw OsError(errno, request.path + ": cannot open: " + std::strerror(errno));
    }
    close(descriptor);
    try {
      return omcrosstab::BuildCrosstab(request);
    } catch (const omcrosstab::InputError& error) {
      if (IsFileError(error, request.path)) throw OsError(0, error.what());
      throw;
    }
  }));
}

}  // namespace

void DefineCrosstab(py::module_& module) {
  module.def(
      "_crosstab_file",
      [](const std::string& path, const std::vector<std::string>& rows,
         const std::vector<std::string>& columns, const std::vector<std::string>& layers,
         const std::vector<std::string>& statistics, const std::string& value,
         const std::string& weight, bool totals, bool chisq, bool sort, const std::string& statsIn,
         const std::map<std::string, std::vector<std::string>>& groups,
         const std::vector<std::string>& missing, bool includeMissing) {
        return CrosstabFile(MakeRequest(path, rows, columns, layers, statistics, value, weight,
                                        totals, chisq, sort, statsIn, groups, missing,
                                        includeMissing));
      },
      py::arg("path"), py::arg("rows"), py::arg("columns"), py::arg("layers"),
      py::arg("statistics"), py::arg("value"), py::arg("weight"), py::arg("totals"),
      py::arg("chisq"), py::arg("sort"), py::arg("stats_in"), py::arg("groups"), py::arg("missing"),
      py::arg("include_missing"));
}

}  // namespace ombind
