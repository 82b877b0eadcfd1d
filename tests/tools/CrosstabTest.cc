// Tests of the CSV crosstabulation: tables built from random files, checked
// cell by cell and category by category against counts made here from the
// same records; every kind of bad input with its exact message and place;
// and the progress reports.

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <random>
#include <string>
#include <tuple>
#include <vector>

#include "Crosstab.h"
#include "CsvReader.h"
#include "Render.h"

namespace {

using omcrosstab::BuildCrosstab;
using omcrosstab::CategoryOrder;
using omcrosstab::InputError;
using omcrosstab::Request;
using omcrosstab::Statistic;
using Path = std::vector<std::string>;  // group labels, outermost first, then the label

// A fresh directory for this process's files.
const std::string& Directory() {
  static const std::string directory = [] {
    const std::filesystem::path path =
        std::filesystem::path(testing::TempDir()) / ("crosstab-test-" + std::to_string(getpid()));
    std::filesystem::remove_all(path);
    std::filesystem::create_directories(path);
    return path.string();
  }();
  return directory;
}

// A count of rows by columns in the file at path.
Request CountRequest(const std::string& path, const std::vector<std::string>& rows,
                     const std::vector<std::string>& columns) {
  Request request;
  request.path = path;
  request.rows = rows;
  request.columns = columns;
  return request;
}

std::string WriteFile(const std::string& name, const std::string& bytes) {
  const std::string path = Directory() + "/" + name;
  std::ofstream(path, std::ios::binary) << bytes;
  return path;
}

// ---------------------------------------------------------------------------
// Random files and the reference count.

struct Data {
  std::vector<std::string> header;
  std::vector<std::vector<std::string>> records;
};

const std::vector<std::string> kRegions = {
    "North", "East, West", "say \"hi\"", "two\nlines", "Zürich", "東京", ""};
const std::vector<std::string> kCities = {"Springfield", "Oslo", "München", "a\r\nb", "😀"};
const std::vector<std::string> kSexes = {"M", "F"};
const std::vector<std::string> kYears = {"2026", "1999", "2024", "10"};
const std::vector<std::string> kNoise = {"x", ",", "\"", "\n", "\r\n", "é", " ", "\t", "∑"};

std::string Pick(const std::vector<std::string>& pool, std::mt19937& random) {
  return pool[std::uniform_int_distribution<std::size_t>(0, pool.size() - 1)(random)];
}

// A number as a file might write it, or now and then nothing.
std::string RandomValue(std::mt19937& random) {
  const int cents = std::uniform_int_distribution<int>(-50000, 50000)(random);
  char text[64];
  switch (std::uniform_int_distribution<int>(0, 9)(random)) {
    case 0:
      return "";
    case 1:
      std::snprintf(text, sizeof text, "%.3e", cents / 100.0);
      break;
    case 2:
      std::snprintf(text, sizeof text, "%d.", cents / 100);
      break;
    default:
      std::snprintf(text, sizeof text, "%.2f", cents / 100.0);
      break;
  }
  return text;
}

Data RandomData(unsigned seed, int rows) {
  std::mt19937 random(seed);
  Data data{{"region", "city", "sex", "note", "year", "income"}, {}};
  for (int i = 0; i < rows; ++i) {
    std::string note;
    for (int k = std::uniform_int_distribution<int>(0, 4)(random); k > 0; --k)
      note += Pick(kNoise, random);
    data.records.push_back({Pick(kRegions, random), Pick(kCities, random), Pick(kSexes, random),
                            note, Pick(kYears, random), RandomValue(random)});
  }
  return data;
}

// CSV text of data: fields quoted when they must be and now and then when
// they need not; LF or CR LF line ends, now and then a blank line, no line
// end after the last record.
std::string ToCsv(const Data& data, bool byteOrderMark, std::mt19937& random) {
  std::string text = byteOrderMark ? "\xEF\xBB\xBF" : "";
  auto append = [&](const std::vector<std::string>& record) {
    for (std::size_t i = 0; i < record.size(); ++i) {
      if (i > 0) text += ',';
      const std::string& field = record[i];
      if (field.find_first_of(",\"\r\n") == std::string::npos && random() % 5 != 0) {
        text += field;
        continue;
      }
      text += '"';
      for (char c : field)
        text += c == '"' ? std::string("\"\"") : std::string(1, c);
      text += '"';
    }
  };
  append(data.header);
  for (const std::vector<std::string>& record : data.records) {
    text += random() % 2 == 0 ? "\n" : "\r\n";
    if (random() % 10 == 0) text += "\n";
    append(record);
  }
  return text;
}

struct Sum {
  double total = 0;
  int count = 0;
};

// The table that the request should give, counted from the records.
struct Reference {
  std::vector<std::vector<Path>> categories;  // per dimension, in display order
  std::map<std::vector<Path>, Sum> cells;
  int rowsLeftOut = 0;
};

int ColumnOf(const Data& data, const std::string& name) {
  return static_cast<int>(std::find(data.header.begin(), data.header.end(), name) -
                          data.header.begin());
}

// The columns whose values make a category of dimension name.
std::vector<int> PathColumns(const Data& data, const Request& request, const std::string& name) {
  std::vector<int> columns;
  for (const omcrosstab::Grouping& grouping : request.groupings) {
    if (grouping.column != name) continue;
    for (const std::string& by : grouping.by)
      columns.push_back(ColumnOf(data, by));
  }
  columns.push_back(ColumnOf(data, name));
  return columns;
}

Reference Count(const Data& data, const Request& request) {
  std::vector<std::string> names = request.rows;
  names.insert(names.end(), request.columns.begin(), request.columns.end());
  names.insert(names.end(), request.layers.begin(), request.layers.end());
  const int value = ColumnOf(data, request.valueColumn);
  Reference reference;
  std::vector<std::map<Path, int>> firstSeen(names.size());  // path prefix -> record
  for (std::size_t r = 0; r < data.records.size(); ++r) {
    const std::vector<std::string>& record = data.records[r];
    if (request.statistic != Statistic::kCount && record[value].empty()) {
      ++reference.rowsLeftOut;
      continue;
    }
    std::vector<Path> key;
    for (std::size_t d = 0; d < names.size(); ++d) {
      Path path;
      for (int column : PathColumns(data, request, names[d])) {
        path.push_back(record[column]);
        firstSeen[d].emplace(path, static_cast<int>(r));
      }
      key.push_back(path);
    }
    Sum& sum = reference.cells[key];
    if (request.statistic != Statistic::kCount)
      sum.total += std::strtod(record[value].c_str(), nullptr);
    ++sum.count;
  }
  for (std::size_t d = 0; d < names.size(); ++d) {
    std::vector<std::pair<std::vector<int>, Path>> order;  // sort key, category
    for (const auto& [path, first] : firstSeen[d]) {
      if (path.size() != PathColumns(data, request, names[d]).size()) continue;
      std::vector<int> appearances;
      for (std::size_t n = 1; n <= path.size(); ++n)
        appearances.push_back(firstSeen[d].at(Path(path.begin(), path.begin() + n)));
      order.emplace_back(request.order == CategoryOrder::kLabel ? std::vector<int>() : appearances,
                         path);
    }
    std::sort(order.begin(), order.end());
    reference.categories.emplace_back();
    for (const auto& entry : order)
      reference.categories.back().push_back(entry.second);
  }
  return reference;
}

// A category tree, node by node in pre-order: (depth, group, label).
using Shape = std::vector<std::tuple<int, bool, std::string>>;

Shape ShapeOf(const std::vector<Path>& categories) {
  Shape shape;
  const Path* previous = nullptr;
  for (const Path& path : categories) {
    std::size_t same = 0;
    while (previous != nullptr && same + 1 < path.size() && (*previous)[same] == path[same])
      ++same;
    for (std::size_t level = same; level + 1 < path.size(); ++level)
      shape.emplace_back(static_cast<int>(level) + 1, true, path[level]);
    shape.emplace_back(static_cast<int>(path.size()), false, path.back());
    previous = &path;
  }
  return shape;
}

// Walks a dimension: its shape, and the path of each subscript.
void Walk(OmDimension::ConstNode parent, Path& groups, Shape& shape, std::vector<Path>& paths) {
  for (OmDimension::ConstNode child = parent.FirstChild(); child != parent.EndChild(); ++child) {
    const std::string label = child->Text()->AsString();
    shape.emplace_back(static_cast<int>(child.Level()), child->IsGroup(), label);
    groups.push_back(label);
    if (child->IsGroup()) {
      Walk(child, groups, shape, paths);
    } else {
      EXPECT_EQ(child->Subscript(), paths.size()) << "subscripts follow the display order";
      paths.push_back(groups);
    }
    groups.pop_back();
  }
}

std::string Text(const OmCellText* text) {
  return text != nullptr ? text->AsString() : "(none)";
}

// Builds the crosstab of the file at path and compares it with the count of
// data: the outline, the texts, the categories and every cell.
void CheckCrosstab(const std::string& path, const Data& data, Request request) {
  request.path = path;
  SCOPED_TRACE(::testing::Message() << "rows " << request.rows.size() << " columns "
                                    << request.columns.size() << " layers " << request.layers.size()
                                    << " statistic " << static_cast<int>(request.statistic));
  const Reference reference = Count(data, request);
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  ASSERT_EQ(tree->Size(), 3);
  auto entry = std::next(tree->List().begin());
  ASSERT_EQ(entry->level, 1);
  const auto* procedure = dynamic_cast<const OmProcedure*>(entry->item);
  ASSERT_NE(procedure, nullptr);
  EXPECT_EQ(Text(procedure->OutlineText()), "Crosstabs");
  ++entry;
  ASSERT_EQ(entry->level, 2);
  auto* table = dynamic_cast<OmPivotTable*>(entry->item);
  ASSERT_NE(table, nullptr);

  std::vector<std::string> names = request.rows;
  names.insert(names.end(), request.columns.begin(), request.columns.end());
  names.insert(names.end(), request.layers.begin(), request.layers.end());
  std::string label;
  for (const std::string& name : names)
    label += (label.empty() ? "" : " * ") + name;
  EXPECT_EQ(Text(table->OutlineText()), label);
  EXPECT_EQ(Text(table->GetTableTitle()), label + " Crosstabulation");
  const char* corners[] = {"Count", "Sum of income", "Mean of income"};
  EXPECT_EQ(Text(table->CornerText()), corners[static_cast<int>(request.statistic)]);
  std::string caption = "Rows read: " + std::to_string(data.records.size()) + ".";
  if (request.statistic != Statistic::kCount)
    caption +=
        " Left out for an empty value of income: " + std::to_string(reference.rowsLeftOut) + ".";
  EXPECT_EQ(Text(table->Caption()), caption);
  std::vector<short> axes[3];
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::size_t axis = i < request.rows.size()                            ? 0
                             : i < request.rows.size() + request.columns.size() ? 1
                                                                                : 2;
    axes[axis].push_back(static_cast<short>(i));
  }
  EXPECT_EQ(std::vector<short>(table->Rows().begin(), table->Rows().end()), axes[0]);
  EXPECT_EQ(std::vector<short>(table->Columns().begin(), table->Columns().end()), axes[1]);
  EXPECT_EQ(std::vector<short>(table->Layers().begin(), table->Layers().end()), axes[2]);

  ASSERT_EQ(table->NDimensions(), names.size());
  std::vector<std::vector<Path>> paths(names.size());
  for (std::size_t d = 0; d < names.size(); ++d) {
    const OmDimension& dimension = table->Dimension(static_cast<int>(d));
    EXPECT_EQ(dimension.Name().AsString(), names[d]);
    Path groups;
    Shape shape;
    Walk(dimension.Root(), groups, shape, paths[d]);
    EXPECT_EQ(shape, ShapeOf(reference.categories[d])) << "dimension " << names[d];
    EXPECT_EQ(paths[d], reference.categories[d]) << "dimension " << names[d];
    ASSERT_EQ(table->Size(static_cast<int>(d)), paths[d].size());
  }

  // Every combination of categories: a cell exactly where records are.
  std::size_t cells = 0;
  std::vector<int> index(names.size(), 0);
  for (bool more = true; more;) {
    std::vector<Path> key;
    for (std::size_t d = 0; d < names.size(); ++d)
      key.push_back(paths[d][static_cast<std::size_t>(index[d])]);
    const auto expected = reference.cells.find(key);
    const auto* cell = dynamic_cast<const OmNumber*>(table->Cell(index));
    if (expected == reference.cells.end()) {
      EXPECT_EQ(table->Cell(index), nullptr);
    } else if (cell == nullptr) {
      ADD_FAILURE() << "no number at a combination that occurs";
    } else {
      ++cells;
      const Sum& sum = expected->second;
      switch (request.statistic) {
        case Statistic::kCount:
          EXPECT_EQ(cell->Value(), sum.count);
          EXPECT_EQ(cell->Decimals(), 0);
          break;
        case Statistic::kSum:
          EXPECT_DOUBLE_EQ(cell->Value(), sum.total);
          EXPECT_EQ(cell->Decimals(), 2);
          break;
        case Statistic::kMean:
          EXPECT_DOUBLE_EQ(cell->Value(), sum.total / sum.count);
          EXPECT_EQ(cell->Decimals(), 2);
          break;
      }
    }
    more = false;
    for (std::size_t d = 0; d < index.size() && !more; ++d) {
      more = ++index[d] < static_cast<int>(paths[d].size());
      if (!more) index[d] = 0;
    }
  }
  EXPECT_EQ(cells, reference.cells.size());
}

TEST(CrosstabTable, MatchesAReferenceCountOfRandomFiles) {
  const Request requests[] = {
      {"", {"region"}, {"sex"}, {}, Statistic::kCount, "", CategoryOrder::kFirstAppearance, {}},
      {"",
       {"region", "city"},
       {"year"},
       {"sex"},
       Statistic::kSum,
       "income",
       CategoryOrder::kLabel,
       {{"city", {"region"}}}},
      {"",
       {"city"},
       {"year"},
       {},
       Statistic::kMean,
       "income",
       CategoryOrder::kFirstAppearance,
       {{"city", {"region", "sex"}}}},
      {"", {}, {"year"}, {"region"}, Statistic::kMean, "income", CategoryOrder::kLabel, {}},
      {"",
       {"sex", "year"},
       {},
       {"city"},
       Statistic::kCount,
       "income",
       CategoryOrder::kFirstAppearance,
       {{"sex", {"note"}}, {"city", {"year"}}}},
  };
  for (unsigned seed = 1; seed <= 2; ++seed) {
    std::mt19937 random(seed + 100);
    const Data data = RandomData(seed, 1500);
    const std::string path =
        WriteFile("random-" + std::to_string(seed) + ".csv", ToCsv(data, seed == 2, random));
    for (const Request& request : requests)
      CheckCrosstab(path, data, request);
  }
}

TEST(CrosstabTable, DescribesTheRequestInTheCommand) {
  const std::string path = WriteFile("command.csv", "a,b,c,v\n1,2,3,4\n");
  const Request request{path,
                        {"a", "b"},
                        {"c"},
                        {},
                        Statistic::kMean,
                        "v",
                        CategoryOrder::kLabel,
                        {{"a", {"b", "c"}}}};
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  const auto* procedure = dynamic_cast<const OmProcedure*>(std::next(tree->List().begin())->item);
  ASSERT_NE(procedure, nullptr);
  EXPECT_EQ(
      procedure->Command(),
      "Crosstabulation of " + path +
          ": rows a, b; columns c; mean of v; categories sorted by label; a grouped by b, c.");
}

// An empty field is a category labelled ""; a row with an empty value
// adds nothing, not even its categories.
TEST(CrosstabTable, EmptyFieldsAreCategoriesAndEmptyValuesLeaveRowsOut) {
  Request request = CountRequest(WriteFile("empty.csv", ",b,v\n,x,1\n,,\n\"\",x,3"), {""}, {"b"});
  request.statistic = Statistic::kMean;
  request.valueColumn = "v";
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  auto* table = dynamic_cast<OmPivotTable*>(std::prev(tree->List().end())->item);
  ASSERT_NE(table, nullptr);
  ASSERT_EQ(table->SizeVector(), std::vector<int>({1, 1}));
  EXPECT_EQ(Text(table->Dimension(0).Root().FirstChild()->Text()), "");
  EXPECT_EQ(Text(table->Dimension(1).Root().FirstChild()->Text()), "x");
  EXPECT_EQ(Text(table->Cell({0, 0})), "2.00");
  EXPECT_EQ(Text(table->Caption()), "Rows read: 3. Left out for an empty value of v: 1.");
}

TEST(CrosstabTable, HeaderOnlyGivesAnEmptyTableThatRenders) {
  const Request request = CountRequest(WriteFile("header.csv", "a,b\r\n"), {"a"}, {"b"});
  const std::unique_ptr<OmOutputTree> tree = BuildCrosstab(request);
  auto* table = dynamic_cast<OmPivotTable*>(std::prev(tree->List().end())->item);
  ASSERT_NE(table, nullptr);
  EXPECT_EQ(table->SizeVector(), std::vector<int>({0, 0}));
  EXPECT_EQ(table->FirstCell().Cell(), nullptr);
  EXPECT_EQ(Text(table->Caption()), "Rows read: 0.");
  EXPECT_NE(omrender::RenderDocument(*tree, omrender::Options()).find("a * b Crosstabulation"),
            std::string::npos);
}

// ---------------------------------------------------------------------------
// Bad input.

struct BadInput {
  const char* name;
  const char* csv;  // null: no file at all
  std::function<void(Request&)> change;
  std::uint64_t line;  // 0: the message names no place
  std::uint64_t column;
  std::string what;
};

void Nothing(Request&) {}

TEST(CrosstabErrors, NameFileLineAndColumn) {
  const BadInput cases[] = {
      {"missing", nullptr, Nothing, 0, 0, "cannot open: No such file or directory"},
      {"directory", nullptr, [](Request& r) { r.path = Directory(); }, 0, 0,
       "cannot read: Is a directory"},
      {"empty", "", Nothing, 0, 0, "no header record"},
      {"blank", "\n\r\n\n", Nothing, 0, 0, "no header record"},
      {"unknown", "a,b,v\n", [](Request& r) { r.columns = {"zz"}; }, 0, 0,
       "no column \"zz\" in the header; the columns are \"a\", \"b\", \"v\""},
      {"unknown-value", "a,b,w\n", Nothing, 0, 0,
       "no column \"v\" in the header; the columns are \"a\", \"b\", \"w\""},
      {"unknown-by", "a,b,v\n",
       [](Request& r) {
         r.groupings = {{"a", {"b", "q"}}};
       },
       0, 0, "no column \"q\" in the header; the columns are \"a\", \"b\", \"v\""},
      {"twice-in-header", "a,b,v,\"b\"\n", Nothing, 1, 7,
       "column name \"b\" is in the header twice"},
      {"too-few", "a,b,v\n1,2,3\r\n1,2\n", Nothing, 3, 1, "record has 2 fields; the header has 3"},
      {"too-many", "a,b,v\n\r\n\"x\ny\",2,3,4,5\n", Nothing, 3, 1,
       "record has 5 fields; the header has 3"},
      {"utf8-header", "a,\xFF,v\n", Nothing, 1, 3, "field is not valid UTF-8"},
      {"utf8-lone-continuation", "a,b,v\n\"Z\xC3\xBC\r\n\xC3\xB6\",\x80,1\n", Nothing, 3, 4,
       "field is not valid UTF-8"},
      {"utf8-overlong", "a,b,v\n\xC0\xAF,2,3\n", Nothing, 2, 1, "field is not valid UTF-8"},
      {"utf8-surrogate", "a,b,v\n1,\xED\xA0\x80,3\n", Nothing, 2, 3, "field is not valid UTF-8"},
      {"utf8-too-high", "a,b,v\n1,2,\xF4\x90\x80\x80\n", Nothing, 2, 5, "field is not valid UTF-8"},
      {"utf8-cut-short", "a,b,v\n1,\"\xE2\x82\",3\n", Nothing, 2, 3, "field is not valid UTF-8"},
      {"utf8-unused-column", "a,b,v,u\n1,2,3,\xC3\n", Nothing, 2, 7, "field is not valid UTF-8"},
      {"number-text", "a,b,v\n1,2,3\n1,2,x1\n", Nothing, 3, 5,
       "\"x1\" in column \"v\" is not a number"},
      {"number-inf", "a,b,v\n1,2,inf\n", Nothing, 2, 5, "\"inf\" in column \"v\" is not a number"},
      {"number-nan", "a,b,v\n1,2,nan\n", Nothing, 2, 5, "\"nan\" in column \"v\" is not a number"},
      {"number-space", "a,b,v\n1,2, 1\n", Nothing, 2, 5, "\" 1\" in column \"v\" is not a number"},
      {"number-trailing", "a,b,v\n1,2,1 \n", Nothing, 2, 5,
       "\"1 \" in column \"v\" is not a number"},
      {"number-plus", "a,b,v\n1,2,+1\n", Nothing, 2, 5, "\"+1\" in column \"v\" is not a number"},
      {"number-hex", "a,b,v\n1,2,0x10\n", Nothing, 2, 5,
       "\"0x10\" in column \"v\" is not a number"},
      {"number-comma", "a,b,v\n1,2,\"1,5\"\n", Nothing, 2, 5,
       "\"1,5\" in column \"v\" is not a number"},
      {"number-huge", "a,b,v\n1,2,1e999\n", Nothing, 2, 5,
       "\"1e999\" in column \"v\" is out of range"},
      {"stray-quote", "a,b,v\n1,x\"y,3\n", Nothing, 2, 4, "quote inside an unquoted field"},
      {"after-closing-quote", "a,b,v\n\"\xC3\xA9\"y,2,3\n", Nothing, 2, 4,
       "text after the closing quote of a field"},
      {"unclosed-quote", "a,b,v\n1,2,\"3\n4\n", Nothing, 2, 5,
       "quoted field not closed at the end of the file"},
      {"sum-without-value", "a,b,v\n",
       [](Request& r) {
         r.statistic = Statistic::kSum;
         r.valueColumn.clear();
       },
       0, 0, "a sum needs a value column"},
      {"mean-without-value", "a,b,v\n", [](Request& r) { r.valueColumn.clear(); }, 0, 0,
       "a mean needs a value column"},
      {"layers-only", "a,b,v\n",
       [](Request& r) {
         r.rows.swap(r.layers);
         r.columns.clear();
       },
       0, 0, "no row or column to tabulate"},
      {"used-twice", "a,b,v\n", [](Request& r) { r.layers = {"a"}; }, 0, 0,
       "column \"a\" is used twice"},
      {"grouped-not-dimension", "a,b,v\n",
       [](Request& r) {
         r.groupings = {{"v", {"a"}}};
       },
       0, 0, "column \"v\" is grouped but is not a row, column or layer column"},
      {"grouped-twice", "a,b,v\n",
       [](Request& r) {
         r.groupings = {{"a", {"v"}}, {"a", {"b"}}};
       },
       0, 0, "column \"a\" is grouped twice"},
      {"grouped-by-itself", "a,b,v\n",
       [](Request& r) {
         r.groupings = {{"a", {"v", "a"}}};
       },
       0, 0, "column \"a\" is grouped by itself"},
      {"grouped-by-twice", "a,b,v\n",
       [](Request& r) {
         r.groupings = {{"a", {"v", "v"}}};
       },
       0, 0, "column \"a\" is grouped by \"v\" twice"},
  };
  for (const BadInput& bad : cases) {
    SCOPED_TRACE(bad.name);
    Request request = CountRequest(Directory() + "/" + bad.name + ".csv", {"a"}, {"b"});
    request.statistic = Statistic::kMean;
    request.valueColumn = "v";
    if (bad.csv != nullptr) WriteFile(std::string(bad.name) + ".csv", bad.csv);
    bad.change(request);
    const std::string where =
        bad.line == 0 ? "" : ":" + std::to_string(bad.line) + ":" + std::to_string(bad.column);
    try {
      BuildCrosstab(request);
      ADD_FAILURE() << "no error";
    } catch (const InputError& error) {
      EXPECT_EQ(error.what(), request.path + where + ": " + bad.what);
      EXPECT_EQ(error.line(), bad.line);
      EXPECT_EQ(error.column(), bad.column);
    }
  }
}

// ---------------------------------------------------------------------------
// Progress.

TEST(CrosstabProgress, ReportedEveryIntervalAndAtTheEnd) {
  const std::uint64_t interval = omcrosstab::internal::kProgressInterval;
  std::string csv = "a,b\n";
  for (int i = 0; csv.size() < 2 * interval + interval / 2; ++i)
    csv += std::to_string(i % 7) + "," + std::string(100, static_cast<char>('a' + i % 26)) + "\n";
  const std::uint64_t size = csv.size();
  std::vector<std::pair<std::uint64_t, std::uint64_t>> reports;
  const auto record = [&reports](std::uint64_t read, std::uint64_t total) {
    reports.emplace_back(read, total);
  };
  const std::vector<std::pair<std::uint64_t, std::uint64_t>> expected = {
      {interval, size}, {2 * interval, size}, {size, size}};

  BuildCrosstab(CountRequest(WriteFile("progress.csv", csv), {"a"}, {"b"}), record);
  EXPECT_EQ(reports, expected);

  reports.clear();
  BuildCrosstab(CountRequest(WriteFile("small.csv", "a,b\n1,2"), {"a"}, {"b"}), record);
  EXPECT_EQ(reports, (std::vector<std::pair<std::uint64_t, std::uint64_t>>{{7, 7}}));
}

}  // namespace
