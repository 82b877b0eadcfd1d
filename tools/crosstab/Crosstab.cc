#include "Crosstab.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <set>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "CsvReader.h"

namespace omcrosstab {

namespace {

using internal::CsvRecord;
using internal::Error;
using internal::ErrorAt;

// Separates the parts of a grouped category's key: no UTF-8 text holds it.
constexpr char kKeySeparator = '\xFF';

OmStringCell Text(const std::string& text) {
  return OmStringCell(text, nullptr, false);
}

std::string Quoted(const std::string& name) {
  return "\"" + name + "\"";
}

// word as a POSIX shell reads it back: bare when it holds only characters
// that need no quoting, else in single quotes.
std::string ShellWord(const std::string& word) {
  const bool bare = !word.empty() && std::all_of(word.begin(), word.end(), [](char c) {
    return std::isalnum(static_cast<unsigned char>(c)) ||
           (c != '\0' && std::strchr("_-.,/=:+@%", c) != nullptr);
  });
  if (bare) return word;
  std::string quoted = "'";
  for (char c : word)
    quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

std::string Join(const std::vector<std::string>& parts, const std::string& separator) {
  std::string joined;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i > 0) joined += separator;
    joined += parts[i];
  }
  return joined;
}

bool NeedsValue(Statistic statistic) {
  return statistic != Statistic::kCount;
}

// The dimension columns: rows, then columns, then layers.
std::vector<std::string> DimensionColumns(const Request& request) {
  std::vector<std::string> names = request.rows;
  names.insert(names.end(), request.columns.begin(), request.columns.end());
  names.insert(names.end(), request.layers.begin(), request.layers.end());
  return names;
}

void CheckGroupings(const Request& request, const std::set<std::string>& dimensions) {
  std::set<std::string> grouped;
  for (const Grouping& grouping : request.groupings) {
    const std::string column = Quoted(grouping.column);
    if (dimensions.count(grouping.column) == 0)
      throw Error(request.path,
                  "column " + column + " is grouped but is not a row, column or layer column");
    if (!grouped.insert(grouping.column).second)
      throw Error(request.path, "column " + column + " is grouped twice");
    std::set<std::string> by;
    for (const std::string& name : grouping.by) {
      if (name == grouping.column)
        throw Error(request.path, "column " + column + " is grouped by itself");
      if (!by.insert(name).second)
        throw Error(request.path, "column " + column + " is grouped by " + Quoted(name) + " twice");
    }
  }
}

void CheckRequest(const Request& request) {
  if (request.statistic == Statistic::kSum && request.valueColumn.empty())
    throw Error(request.path, "a sum needs a value column");
  if (request.statistic == Statistic::kMean && request.valueColumn.empty())
    throw Error(request.path, "a mean needs a value column");
  if (request.rows.empty() && request.columns.empty())
    throw Error(request.path, "no row or column to tabulate");
  std::set<std::string> dimensions;
  for (const std::string& name : DimensionColumns(request)) {
    if (!dimensions.insert(name).second)
      throw Error(request.path, "column " + Quoted(name) + " is used twice");
  }
  CheckGroupings(request, dimensions);
}

// The number in text, which stands at position.
double ParseNumber(const std::string& path, const std::string& text, internal::Position position,
                   const std::string& column) {
  double value = 0;
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  if (result.ec == std::errc() && result.ptr == end && std::isfinite(value)) return value;
  const char* what =
      result.ec == std::errc::result_out_of_range ? " is out of range" : " is not a number";
  throw ErrorAt(path, position, Quoted(text) + " in column " + Quoted(column) + what);
}

// The decimals a number's text shows, up to kMaxValueDecimals: the digits
// after its decimal point less its exponent ("2.50" 2, "1.5e-3" 4, "1.25e1"
// 1, "7e2" 0). REQUIRES: text parsed as a number.
int WrittenDecimals(const std::string& text) {
  const std::size_t point = text.find('.');
  const std::size_t exponent = text.find_first_of("eE");
  long decimals = 0;
  if (point != std::string::npos) {
    decimals = static_cast<long>(std::min(exponent, text.size()) - point - 1);
  }
  if (exponent != std::string::npos) {
    // A double's exponent has at most a few digits that matter; the clamp
    // keeps a long run of zeros ("1e-0000000000005") from overflowing.
    long power = 0;
    std::size_t i = exponent + 1;
    const bool negative = i < text.size() && text[i] == '-';
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
    for (; i < text.size(); ++i)
      power = std::min(power * 10 + (text[i] - '0'), 100000L);
    decimals += negative ? power : -power;
  }
  return static_cast<int>(std::clamp(decimals, 0L, static_cast<long>(kMaxValueDecimals)));
}

// One dimension while the file is counted: its column, the columns that
// group it, and an id for each distinct category, numbered in order of first
// appearance.
class Axis {
 public:
  Axis(std::string name, std::vector<int> columns)
      : _name(std::move(name)), _columns(std::move(columns)) {}

  const std::string& Name() const { return _name; }

  // The id of the record's category; a category not seen before gets the
  // next one.
  std::uint32_t Id(const CsvRecord& record) {
    _key.clear();
    for (std::size_t i = 0; i < _columns.size(); ++i) {
      if (i > 0) _key += kKeySeparator;
      _key += record.fields[static_cast<std::size_t>(_columns[i])];
    }
    const auto found = _ids.find(_key);
    if (found != _ids.end()) return found->second;
    const auto id = static_cast<std::uint32_t>(_keys.size());
    _keys.push_back(&_ids.emplace(_key, id).first->first);
    return id;
  }

  // Adds the groups and categories to dimension in display order and
  // returns the subscript of each category id.
  std::vector<std::size_t> Build(OmDimension& dimension, CategoryOrder order) const {
    Group root;
    for (std::uint32_t id = 0; id < _keys.size(); ++id)
      root.Add(*_keys[id], id);
    if (order == CategoryOrder::kLabel) root.Sort();
    std::vector<std::size_t> subscripts(_keys.size());
    std::size_t next = 0;
    root.Emit(dimension, dimension.Root(), subscripts, next);
    return subscripts;
  }

 private:
  // The tree of groups and categories, built from the keys before the
  // dimension is.
  struct Group {
    static constexpr std::uint32_t kNoId = ~std::uint32_t{0};

    std::string label;
    std::uint32_t id = kNoId;  // a category's id; kNoId for a group
    std::vector<Group> children;
    std::unordered_map<std::string_view, std::size_t> groups;  // label -> child

    void Add(std::string_view key, std::uint32_t category) {
      const std::size_t split = key.find(kKeySeparator);
      if (split == std::string_view::npos) {
        children.push_back(Group{std::string(key), category, {}, {}});
        return;
      }
      const std::string_view label = key.substr(0, split);
      auto found = groups.find(label);
      if (found == groups.end()) {
        children.push_back(Group{std::string(label), kNoId, {}, {}});
        found = groups.emplace(label, children.size() - 1).first;
      }
      children[found->second].Add(key.substr(split + 1), category);
    }

    void Sort() {
      std::sort(children.begin(), children.end(),
                [](const Group& a, const Group& b) { return a.label < b.label; });
      for (Group& child : children)
        child.Sort();
    }

    void Emit(OmDimension& dimension, const OmDimension::Node& parent,
              std::vector<std::size_t>& subscripts, std::size_t& next) const {
      for (const Group& child : children) {
        if (child.id == kNoId) {
          const OmDimension::Node group =
              dimension.Child(parent, Text(child.label), OmDimensionNode::kNoSubscript, true);
          child.Emit(dimension, group, subscripts, next);
        } else {
          subscripts[child.id] = next;
          dimension.Child(parent, Text(child.label), next++, false);
        }
      }
    }
  };

  std::string _name;
  // The grouping columns, outermost first, then the dimension's own column.
  std::vector<int> _columns;
  std::unordered_map<std::string, std::uint32_t> _ids;
  // The key of each id; the map's keys stay where they are.
  std::vector<const std::string*> _keys;
  std::string _key;  // scratch
};

// Puts the dimensions numbered begin to end - 1, which the request names
// outermost first, on an axis list of a table, which names the innermost
// dimension first and the outermost last.
void PlaceInnermostFirst(PuppetVector<short>& list, std::size_t begin, std::size_t end) {
  for (std::size_t d = end; d > begin; --d)
    list.push_back(static_cast<short>(d - 1));
}

// The whole count: takes the header and then the rows, and makes the
// document.
class Tabulation {
 public:
  explicit Tabulation(const Request& request) : _request(request) {}

  void Take(const CsvRecord& record) {
    if (record.number == 0) {
      Header(record);
    } else {
      Row(record);
    }
  }

  std::unique_ptr<OmOutputTree> Document() const {
    auto tree = std::make_unique<OmOutputTree>();
    auto procedure = std::make_unique<OmProcedure>(Text("Crosstab"), "en", "UTF-8", "en_US");
    procedure->SetCommand(Command());
    ListTree<OmOutputPart*>::Node heading = tree->Root().AppendChild(procedure.get());
    procedure.release();
    std::unique_ptr<OmPivotTable> table = Table();
    heading.AppendChild(table.get());
    table.release();
    return tree;
  }

 private:
  struct Sum {
    double total = 0;
    std::uint64_t count = 0;
  };

  // The column called name.
  int Column(const CsvRecord& header, const std::string& name) const {
    int found = -1;
    for (std::size_t i = 0; i < header.size; ++i) {
      if (header.fields[i] != name) continue;
      if (found >= 0)
        throw ErrorAt(_request.path, header.positions[i],
                      "column name " + Quoted(name) + " is in the header twice");
      found = static_cast<int>(i);
    }
    if (found >= 0) return found;
    std::vector<std::string> names;
    for (std::size_t i = 0; i < header.size; ++i)
      names.push_back(Quoted(header.fields[i]));
    throw Error(_request.path, "no column " + Quoted(name) + " in the header; the columns are " +
                                   Join(names, ", "));
  }

  void Header(const CsvRecord& header) {
    for (const std::string& name : DimensionColumns(_request)) {
      std::vector<int> columns;
      for (const Grouping& grouping : _request.groupings) {
        if (grouping.column != name) continue;
        for (const std::string& by : grouping.by)
          columns.push_back(Column(header, by));
      }
      columns.push_back(Column(header, name));
      _axes.emplace_back(name, columns);
    }
    if (NeedsValue(_request.statistic)) _valueColumn = Column(header, _request.valueColumn);
  }

  void Row(const CsvRecord& record) {
    ++_rows;
    double value = 0;
    if (_valueColumn >= 0) {
      const auto column = static_cast<std::size_t>(_valueColumn);
      const std::string& text = record.fields[column];
      if (text.empty()) {
        ++_leftOut;
        return;
      }
      value = ParseNumber(_request.path, text, record.positions[column], _request.valueColumn);
      _valueDecimals = std::max(_valueDecimals, WrittenDecimals(text));
    }
    _cellKey.clear();
    for (Axis& axis : _axes) {
      const std::uint32_t id = axis.Id(record);
      _cellKey.append(reinterpret_cast<const char*>(&id), sizeof id);
    }
    Sum& sum = _cells[_cellKey];
    sum.total += value;
    ++sum.count;
  }

  // The omtree-view command line that makes this table again.
  std::string Command() const {
    std::string command = "omtree-view " + ShellWord(_request.path);
    const std::pair<const char*, const std::vector<std::string>*> lists[] = {
        {" --rows ", &_request.rows},
        {" --cols ", &_request.columns},
        {" --layers ", &_request.layers}};
    for (const auto& [option, names] : lists) {
      if (!names->empty()) command += option + ShellWord(Join(*names, ","));
    }
    if (_request.statistic != Statistic::kCount) {
      command += std::string(" --stat ") +
                 (_request.statistic == Statistic::kSum ? "sum" : "mean") + " --value " +
                 ShellWord(_request.valueColumn);
    }
    if (_request.order == CategoryOrder::kLabel) command += " --sort";
    for (const Grouping& grouping : _request.groupings)
      command += " --group " + ShellWord(grouping.column + "=" + Join(grouping.by, ","));
    return command;
  }

  // "count", "sum of <value column>" or "mean of <value column>".
  std::string StatisticName() const {
    switch (_request.statistic) {
      case Statistic::kSum:
        return "sum of " + _request.valueColumn;
      case Statistic::kMean:
        return "mean of " + _request.valueColumn;
      case Statistic::kCount:
        break;
    }
    return "count";
  }

  std::string CornerText() const {
    std::string text = StatisticName();
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
    return text;
  }

  std::string Caption() const {
    std::string caption = "Rows read: " + std::to_string(_rows) + ".";
    if (_valueColumn >= 0) {
      caption += " Left out for an empty value of " + _request.valueColumn + ": " +
                 std::to_string(_leftOut) + ".";
    }
    return caption;
  }

  // The decimals every cell shows: none for a count, the most that a value
  // was written with for a sum, two more for a mean.
  int Decimals() const {
    switch (_request.statistic) {
      case Statistic::kSum:
        return _valueDecimals;
      case Statistic::kMean:
        return _valueDecimals + kMeanExtraDecimals;
      case Statistic::kCount:
        break;
    }
    return 0;
  }

  // The value of a cell.
  double Value(const Sum& sum) const {
    switch (_request.statistic) {
      case Statistic::kSum:
        return sum.total;
      case Statistic::kMean:
        return sum.total / static_cast<double>(sum.count);
      case Statistic::kCount:
        break;
    }
    return static_cast<double>(sum.count);
  }

  std::unique_ptr<OmPivotTable> Table() const {
    std::vector<std::string> names;
    for (const Axis& axis : _axes)
      names.push_back(axis.Name());
    const std::string label = Join(names, " by ");
    auto table = std::make_unique<OmPivotTable>(Text(label), Text("Crosstab"), false);
    table->SetTableTitle(Text(CornerText() + " by " + label));
    std::vector<std::vector<std::size_t>> subscripts;
    for (const Axis& axis : _axes)
      subscripts.push_back(axis.Build(table->AddDimension(Text(axis.Name())), _request.order));
    const int decimals = Decimals();
    std::vector<int> index(_axes.size());
    for (const auto& [key, sum] : _cells) {
      for (std::size_t d = 0; d < index.size(); ++d) {
        std::uint32_t id;
        std::memcpy(&id, key.data() + d * sizeof id, sizeof id);
        index[d] = static_cast<int>(subscripts[d][id]);
      }
      OmNumber number(Value(sum));
      number.SetDecimals(decimals);
      table->Cell(index, number);
    }
    const std::size_t columnsStart = _request.rows.size();
    const std::size_t layersStart = columnsStart + _request.columns.size();
    PlaceInnermostFirst(table->Rows(), 0, columnsStart);
    PlaceInnermostFirst(table->Columns(), columnsStart, layersStart);
    PlaceInnermostFirst(table->Layers(), layersStart, _axes.size());
    table->EndTable();
    const OmStringCell corner = Text(CornerText());
    table->CornerText(&corner);
    const OmStringCell caption = Text(Caption());
    table->Caption(&caption);
    return table;
  }

  const Request& _request;
  std::vector<Axis> _axes;  // rows, then columns, then layers
  int _valueColumn = -1;    // -1 for a count
  std::uint64_t _rows = 0;
  std::uint64_t _leftOut = 0;
  int _valueDecimals = 0;  // the most decimals a value was written with
  // The sums of every combination that occurs, keyed by the categories' ids
  // along each axis, 4 bytes each.
  std::unordered_map<std::string, Sum> _cells;
  std::string _cellKey;  // scratch
};

}  // namespace

std::unique_ptr<OmOutputTree> BuildCrosstab(const Request& request, const Progress& progress) {
  CheckRequest(request);
  Tabulation tabulation(request);
  internal::ReadCsv(request.path, progress,
                    [&tabulation](const CsvRecord& record) { tabulation.Take(record); });
  return tabulation.Document();
}

}  // namespace omcrosstab
