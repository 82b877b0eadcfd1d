// omtree.crosstab: the crosstab of omtree-view, from a CSV file or from the
// columns of a DataFrame coded by the Python half (_frames.py). The
// request is made here from keyword arguments with the command's statistic
// names; its checks and every message are the crosstab library's own.

#include <fcntl.h>
#include <pybind11/numpy.h>
#include <pybind11/stl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
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

// The request for the data at path from the keyword arguments of
// omtree.crosstab, as omtree/__init__.py passes them on.
omcrosstab::Request MakeRequest(const std::string& path, const py::dict& arguments) {
  const auto get = [&](const char* key) { return arguments[key]; };
  omcrosstab::Request request;
  request.path = path;
  request.rows = get("rows").cast<std::vector<std::string>>();
  request.columns = get("columns").cast<std::vector<std::string>>();
  request.layers = get("layers").cast<std::vector<std::string>>();
  request.statistics.clear();
  for (const auto& keyword : get("statistics").cast<std::vector<std::string>>()) {
    request.statistics.push_back(FindStatistic(keyword));
  }
  request.valueColumn = get("value").cast<std::string>();
  request.weightColumn = get("weight").cast<std::string>();
  request.totals = get("totals").cast<bool>();
  request.chiSquare = get("chisq").cast<bool>();
  request.order = get("sort").cast<bool>() ? omcrosstab::CategoryOrder::kLabel
                                           : omcrosstab::CategoryOrder::kFirstAppearance;
  request.statisticsPlace = FindPlace(get("stats_in").cast<std::string>());
  for (const auto& [column, by] :
       get("groups").cast<std::map<std::string, std::vector<std::string>>>()) {
    request.groupings.push_back({column, by});
  }
  request.missing = get("missing").cast<std::vector<std::string>>();
  request.includeMissing = get("include_missing").cast<bool>();
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

// The columns of a DataFrame as the Python half hands them over: (name,
// dictionary of fields, codes), codes an int32 array with -1 for the empty
// field.
omcrosstab::DataTable MakeTable(const std::string& name, const py::list& columns) {
  omcrosstab::DataTable table;
  table.name = name;
  for (const auto& item : columns) {
    const auto column = item.cast<py::tuple>();
    if (column.size() != 3) throw py::value_error("a column is (name, dictionary, codes)");
    omcrosstab::DataColumn data;
    data.name = column[0].cast<std::string>();
    data.dictionary = column[1].cast<std::vector<std::string>>();
    const auto codes =
        column[2].cast<py::array_t<std::int32_t, py::array::c_style | py::array::forcecast>>();
    data.codes.assign(codes.data(), codes.data() + codes.size());
    table.columns.push_back(std::move(data));
  }
  return table;
}

}  // namespace

void DefineCrosstab(py::module_& module) {
  module.def(
      "_crosstab_file",
      [](const std::string& path, const py::dict& arguments) {
        return CrosstabFile(MakeRequest(path, arguments));
      },
      py::arg("path"), py::arg("arguments"));
  module.def(
      "_crosstab_columns",
      [](const std::string& name, const py::list& columns, const py::dict& arguments) {
        const omcrosstab::Request request = MakeRequest(name, arguments);
        const omcrosstab::DataTable table = MakeTable(name, columns);
        return Adopt(Released([&] { return omcrosstab::BuildCrosstab(request, table); }));
      },
      py::arg("name"), py::arg("columns"), py::arg("arguments"));
}

}  // namespace ombind
