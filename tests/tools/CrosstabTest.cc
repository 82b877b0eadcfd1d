// Tests of the CSV crosstabulation: tables built from random files, checked
// cell by cell and category by category against counts made here from the
// same records; every kind of bad input with its exact message and place;
// and the progress reports.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <random>
#include <regex>
#include <set>
#include <string>
#include <vector>

#include "Crosstab.h"
#include "CsvReader.h"
#include "Render.h"

namespace {

using namespace omcrosstab;  // NOLINT: the library under test
using O = CategoryOrder;
using S = Statistic;
using Strings = std::vector<std::string>;
using Path = Strings;  // group labels, outermost first, then the label

// A file of this process's own holding bytes, or no file for null.
std::string WriteFile(const std::string& name, const char* bytes) {
  const std::string path = testing::TempDir() + "crosstab-" + std::to_string(getpid()) + "-" + name;
  if (bytes != nullptr) std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

Request Ask(Strings rows, Strings columns, Strings layers = {},
            std::vector<Grouping> groupings = {}, S statistic = S::kCount, std::string value = "",
            O order = O::kFirstAppearance) {
  return {"", rows, columns, layers, statistic, value, order, groupings};
}

std::string Text(const OmCellText* text) {
  return text != nullptr ? text->AsString() : "(none)";
}

// ---------------------------------------------------------------------------
// Random files and the reference count.

const Strings kHeader = {"region", "city", "sex", "", "year", "income"};
const Strings kRegions = {"North", "East, West", "say \"hi\"", "two\nlines", "Zürich", "東京", ""};
const Strings kCities = {"Springfield", "Oslo", "München", "a\r\nb", "😀"};
const Strings kNoise = {"x", ",", "\"", "\n", "\r\n", "é", " ", "\t", "∑"};

std::string Pick(const Strings& pool, std::mt19937& random) {
  return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
}

// A number as a file might write it, or now and then nothing.
std::string RandomValue(std::mt19937& random) {
  const char* forms[] = {"", "%.3e", "%.0f.", "%.2f"};
  const int form = std::min(std::uniform_int_distribution<int>(0, 9)(random), 3);
  char text[64];
  std::snprintf(text, sizeof text, forms[form],
                std::uniform_int_distribution<int>(-50000, 50000)(random) / 100.0);
  return text;
}

// The fourth column's name is empty, and spaces and tabs in its values must
// survive; the last record's region occurs only with an empty value, so a sum
// or mean must not show it. No rows: a file of the header alone.
std::vector<Strings> RandomData(unsigned seed, int rows) {
  std::mt19937 random(seed);
  std::vector<Strings> data;
  for (int i = 0; i < rows; ++i) {
    std::string note;
    for (int k = std::uniform_int_distribution<int>(0, 4)(random); k > 0; --k)
      note += Pick(kNoise, random);
    data.push_back({Pick(kRegions, random), Pick(kCities, random), Pick({"M", "F"}, random), note,
                    Pick({"2026", "1999", "2024", "10"}, random), RandomValue(random)});
  }
  if (rows > 0) data.push_back({"left out", "Oslo", "F", "", "1999", ""});
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

// The table that the request should give, counted from the records: per
// dimension the categories in display order, and the count and total of
// every combination that occurs.
struct Reference {
  Strings names;  // the dimension columns: rows, then columns, then layers
  std::vector<std::vector<Path>> categories;
  std::map<std::vector<Path>, std::pair<int, double>> cells;
  int rowsLeftOut = 0;
  int decimals = 0;  // what every cell shows
};

// The decimals a value written as RandomValue writes it shows.
int ShownDecimals(const std::string& value) {
  std::smatch parts;
  std::regex_match(value, parts, std::regex(R"(-?\d+\.?(\d*)(?:e([-+]\d+))?)"));
  const int exponent = parts[2].matched ? std::stoi(parts[2].str()) : 0;
  return std::max(0, static_cast<int>(parts[1].length()) - exponent);
}

Reference Count(const std::vector<Strings>& data, const Request& request) {
  const auto column = [](const std::string& name) {
    return std::find(kHeader.begin(), kHeader.end(), name) - kHeader.begin();
  };
  Reference reference{request.rows, {}, {}, 0, 0};
  reference.names.insert(reference.names.end(), request.columns.begin(), request.columns.end());
  reference.names.insert(reference.names.end(), request.layers.begin(), request.layers.end());
  std::vector<Strings> columns(reference.names.size());  // per dimension: groups, then its own
  for (std::size_t d = 0; d < columns.size(); ++d) {
    for (const Grouping& grouping : request.groupings) {
      if (grouping.column == reference.names[d]) columns[d] = grouping.by;
    }
    columns[d].push_back(reference.names[d]);
  }
  const auto value = column(request.valueColumn);
  std::vector<std::map<Path, int>> firstSeen(columns.size());  // path prefix -> record
  for (std::size_t r = 0; r < data.size(); ++r) {
    const Strings& record = data[r];
    if (request.statistic != S::kCount && record[value].empty()) {
      ++reference.rowsLeftOut;
      continue;
    }
    std::vector<Path> key(columns.size());
    for (std::size_t d = 0; d < columns.size(); ++d) {
      for (const std::string& name : columns[d]) {
        key[d].push_back(record[column(name)]);
        firstSeen[d].emplace(key[d], static_cast<int>(r));
      }
    }
    auto& [records, total] = reference.cells[key];
    ++records;
    if (request.statistic != S::kCount) {
      total += std::strtod(record[value].c_str(), nullptr);
      reference.decimals = std::max(reference.decimals, ShownDecimals(record[value]));
    }
  }
  if (request.statistic == S::kMean) reference.decimals += 2;
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

// The label stacks of an axis whose dimensions are reference's dimensions
// begin to end - 1, outermost first: one per combination of their
// categories, the first dimension's changing slowest, each stack holding
// every dimension's name and then its category's groups and label.
std::vector<Strings> ExpectedStacks(const Reference& reference, std::size_t begin,
                                    std::size_t end) {
  std::vector<Strings> stacks = {{}};
  for (std::size_t d = begin; d < end; ++d) {
    std::vector<Strings> longer;
    for (const Strings& stack : stacks) {
      for (const Path& category : reference.categories[d]) {
        longer.push_back(stack);
        longer.back().push_back(reference.names[d]);
        longer.back().insert(longer.back().end(), category.begin(), category.end());
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
// named is outermost. Checked on the label stacks of every layer, row and
// column (the first layer's), against the product of the categories.
void CheckNesting(OmPivotTable& table, const Reference& reference, std::size_t rows,
                  std::size_t columns) {
  for (const std::vector<Path>& categories : reference.categories) {
    if (categories.empty()) return;  // nothing to lay out
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
  EXPECT_EQ(layerStacks, ExpectedStacks(reference, columns, reference.names.size()));
  ASSERT_TRUE(layers.SwitchLayer(0));
  const OmDisplayColumnHeading columnHeading(layers, false);
  const OmDisplayRowHeading rowHeading(layers, false, false);
  std::vector<Strings> columnStacks, rowStacks;
  for (int c = 0; c < columnHeading.NColumns() && columns > rows; ++c)
    columnStacks.push_back(Labels(columnHeading.Column(c)));
  for (int r = 0; r < rowHeading.NRows() && rows > 0; ++r)
    rowStacks.push_back(Labels(rowHeading.Row(r)));
  EXPECT_EQ(columnStacks,
            columns > rows ? ExpectedStacks(reference, rows, columns) : std::vector<Strings>());
  EXPECT_EQ(rowStacks, rows > 0 ? ExpectedStacks(reference, 0, rows) : std::vector<Strings>());
}

// Builds the crosstab of the file at path and compares it with the count of
// data: the outline, the texts, the categories and every cell.
void CheckCrosstab(const std::string& path, const std::vector<Strings>& data, Request request,
                   const std::string& command) {
  request.path = path;
  SCOPED_TRACE(command);
  const Reference reference = Count(data, request);
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  ASSERT_EQ(tree->Size(), 3);
  const auto procedure = std::next(tree->List().begin()), entry = std::next(procedure);
  const auto* heading = dynamic_cast<const OmProcedure*>(procedure->item);
  auto* table = dynamic_cast<OmPivotTable*>(entry->item);
  ASSERT_TRUE(procedure->level == 1 && entry->level == 2 && heading != nullptr && table != nullptr);
  EXPECT_EQ(Text(heading->OutlineText()), "Crosstab");
  EXPECT_EQ(heading->Command(), "omtree-view " + path + command);

  std::string label;
  for (const std::string& name : reference.names)
    label += (label.empty() ? "" : " by ") + name;
  const char* corners[] = {"Count", "Sum of income", "Mean of income"};
  const std::string corner = corners[static_cast<int>(request.statistic)];
  EXPECT_EQ(Text(table->OutlineText()), label);
  EXPECT_EQ(Text(table->GetTableTitle()), corner + " by " + label);
  EXPECT_EQ(Text(table->CornerText()), corner);
  const std::string leftOut =
      " Left out for an empty value of income: " + std::to_string(reference.rowsLeftOut) + ".";
  EXPECT_EQ(Text(table->Caption()), "Rows read: " + std::to_string(data.size()) + "." +
                                        (request.statistic == S::kCount ? "" : leftOut));
  const std::size_t rows = request.rows.size(), columns = rows + request.columns.size();
  std::vector<short> axes[3];  // innermost first
  for (std::size_t i = reference.names.size(); i-- > 0;)
    axes[i < rows ? 0 : i < columns ? 1 : 2].push_back(static_cast<short>(i));
  EXPECT_EQ(std::vector<short>(table->Rows().begin(), table->Rows().end()), axes[0]);
  EXPECT_EQ(std::vector<short>(table->Columns().begin(), table->Columns().end()), axes[1]);
  EXPECT_EQ(std::vector<short>(table->Layers().begin(), table->Layers().end()), axes[2]);

  ASSERT_EQ(table->NDimensions(), reference.names.size());
  std::vector<std::vector<Path>> paths(reference.names.size());
  for (std::size_t d = 0; d < reference.names.size(); ++d) {
    const OmDimension& dimension = table->Dimension(static_cast<int>(d));
    EXPECT_EQ(dimension.Name().AsString(), reference.names[d]);
    Path path;
    std::set<Path> groups, expectedGroups;  // no more groups than the categories need
    Walk(dimension.Root(), path, paths[d], groups);
    for (const Path& category : reference.categories[d]) {
      for (std::size_t n = 1; n < category.size(); ++n)
        expectedGroups.emplace(category.begin(), category.begin() + n);
    }
    EXPECT_EQ(paths[d], reference.categories[d]) << "dimension " << reference.names[d];
    EXPECT_EQ(groups, expectedGroups) << "dimension " << reference.names[d];
  }

  // A cell exactly where records are: each cell names a combination that
  // occurs, and there are as many cells as such combinations.
  std::size_t cells = 0;
  for (auto it = table->FirstCell(); it.Cell() != nullptr; ++it, ++cells) {
    std::vector<Path> key;
    for (std::size_t d = 0; d < reference.names.size(); ++d)
      key.push_back(paths[d].at(static_cast<std::size_t>(it.Index()[d])));
    const auto expected = reference.cells.find(key);
    const auto* cell = dynamic_cast<const OmNumber*>(it.Cell());
    ASSERT_TRUE(expected != reference.cells.end() && cell != nullptr) << "a cell where none occur";
    const auto [records, total] = expected->second;
    const double values[] = {static_cast<double>(records), total, total / records};
    EXPECT_DOUBLE_EQ(cell->Value(), values[static_cast<int>(request.statistic)]);
    EXPECT_EQ(cell->Decimals(), reference.decimals);
  }
  EXPECT_EQ(cells, reference.cells.size());
  CheckNesting(*table, reference, rows, columns);
}

TEST(CrosstabTable, MatchesAReferenceCountOfRandomFiles) {
  const std::pair<Request, std::string> cases[] = {
      {Ask({"region"}, {"sex"}), " --rows region --cols sex"},
      {Ask({"region", "city"}, {"year"}, {"sex"}, {{"city", {"region"}}}, S::kSum, "income",
           O::kLabel),
       " --rows region,city --cols year --layers sex --stat sum --value income --sort "
       "--group city=region"},
      {Ask({"city"}, {"year"}, {}, {{"city", {"region", "sex"}}}, S::kMean, "income"),
       " --rows city --cols year --stat mean --value income --group city=region,sex"},
      {Ask({}, {"year"}, {"region"}, {}, S::kMean, "income", O::kLabel),
       " --cols year --layers region --stat mean --value income --sort"},
      {Ask({"sex", "year"}, {}, {"city"}, {{"sex", {""}}, {"city", {"year"}}}, S::kCount, "income"),
       " --rows sex,year --layers city --group sex= --group city=year"},
      {Ask({"year"}, {"sex", "region"}, {"city", ""}),
       " --rows year --cols sex,region --layers city,"},
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
// sums of whole numbers, the values' most (at most six) for sums, two more
// for means. The value keeps its full precision.
TEST(CrosstabTable, NumbersShowTheDecimalsOfTheData) {
  const struct {
    const char* values[2];  // the value column of the two records
    S statistic;
    const char* shown;
    double value;
  } cases[] = {
      {{"100", "18"}, S::kSum, "118", 118},
      {{"100", "18"}, S::kCount, "2", 2},
      {{"100", "18"}, S::kMean, "59.00", 59},
      {{"1.5", "2.25"}, S::kSum, "3.75", 3.75},
      {{"1.50", "2"}, S::kSum, "3.50", 3.5},
      {{"1.5", "2"}, S::kMean, "1.750", 1.75},
      {{"1.5e-3", "1"}, S::kSum, "1.0015", 1.0015},
      {{"1.25e1", "7e2"}, S::kSum, "712.5", 712.5},
      {{"0.123456789", "1"}, S::kSum, "1.123457", 1.123456789},
      {{"0.123456789", "1"}, S::kMean, "0.56172839", 0.5617283945},
      {{"2.", "-1"}, S::kSum, "1", 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.values[0]) + " " + c.values[1]);
    const std::string csv = std::string("a,v\nx,") + c.values[0] + "\nx," + c.values[1] + "\n";
    Request request = Ask({"a"}, {}, {}, {}, c.statistic, "v");
    request.path = WriteFile("decimals.csv", csv.c_str());
    const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
    const auto* table = dynamic_cast<const OmPivotTable*>(std::next(tree->List().begin(), 2)->item);
    ASSERT_NE(table, nullptr);
    const auto* number = dynamic_cast<const OmNumber*>(table->Cell({0}));
    ASSERT_NE(number, nullptr);
    EXPECT_EQ(number->AsString(), c.shown);
    EXPECT_NEAR(number->Value(), c.value, 1e-12);
  }
}

// ---------------------------------------------------------------------------
// Bad input: one case per way to fail, with its exact message and place.

TEST(CrosstabErrors, NameFileLineAndColumn) {
  Request directory = Ask({"a"}, {"b"});
  directory.path = testing::TempDir();
  const auto grouped = [](std::vector<Grouping> groupings) {
    return Ask({"a"}, {"b"}, {}, std::move(groupings));
  };
  struct Bad {
    const char* csv;             // null: no file at all
    std::uint64_t line, column;  // 0: the message names no place
    const char* what;
    Request request = Ask({"a"}, {"b"}, {}, {}, S::kMean, "v");
  };
  const Bad cases[] = {
      {nullptr, 0, 0, "cannot open: No such file or directory"},
      {nullptr, 0, 0, "cannot read: Is a directory", directory},
      {"\n\r\n\n", 0, 0, "no header record"},
      {"a,b,w\n", 0, 0, "no column \"v\" in the header; the columns are \"a\", \"b\", \"w\""},
      {"a,b,v,\"b\"\n", 1, 7, "column name \"b\" is in the header twice"},
      {"a,b,v\n\r\n\"x\ny\",2,3,4,5\n", 3, 1, "record has 5 fields; the header has 3"},
      {"a,\xFF,v\n", 1, 3, "field is not valid UTF-8"},
      // Columns count characters, not bytes; lines go on inside quotes.
      {"a,b,v\n\"Z\xC3\xBC\r\n\xC3\xB6\",\x80,1\n", 3, 4, "field is not valid UTF-8"},
      {"a,b,v,u\n1,2,3,\xC3\n", 2, 7, "field is not valid UTF-8"},  // in a column not asked for
      {"a,b,v\n1,2,3\n1,2,0x10\n", 3, 5, "\"0x10\" in column \"v\" is not a number"},
      {"a,b,v\n1,2,inf\n", 2, 5, "\"inf\" in column \"v\" is not a number"},
      {"a,b,v\n1,2,1e999\n", 2, 5, "\"1e999\" in column \"v\" is out of range"},
      {"a,b,v\n1,x\"y,3\n", 2, 4, "quote inside an unquoted field"},
      {"a,b,v\n\"\xC3\xA9\"y,2,3\n", 2, 4, "text after the closing quote of a field"},
      {"a,b,v\n1,2,\"3\n4\n", 2, 5, "quoted field not closed at the end of the file"},
      {"a,b,v\n", 0, 0, "a sum needs a value column", Ask({"a"}, {"b"}, {}, {}, S::kSum)},
      {"a,b,v\n", 0, 0, "a mean needs a value column", Ask({"a"}, {"b"}, {}, {}, S::kMean)},
      {"a,b,v\n", 0, 0, "no row or column to tabulate", Ask({}, {}, {"a"})},
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
    try {
      BuildCrosstab(request);
      ADD_FAILURE() << "no error";
    } catch (const InputError& error) {
      EXPECT_EQ(error.what(), request.path + where + ": " + bad.what);
      EXPECT_EQ(std::make_pair(error.line(), error.column()), std::make_pair(bad.line, bad.column));
    }
  }
}

// Each limit of well-formed UTF-8 from both sides: overlong forms,
// surrogates, code points past U+10FFFF, sequences cut short.
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
