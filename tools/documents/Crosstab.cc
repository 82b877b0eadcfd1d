#include "Crosstab.h"

#include <algorithm>
#include <boost/math/distributions/chi_squared.hpp>
#include <cctype>
#include <charconv>
#include <cmath>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <exception>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <string_view>
#include <system_error>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "CsvReader.h"

namespace omcrosstab {

namespace {

using internal::CsvRecord;
using internal::Error;
using internal::ErrorAt;
using internal::Position;

// The category id of a total in a cell key; no dimension has this many
// categories.
constexpr std::uint32_t kTotalId = ~std::uint32_t{0};

// The size of a cache line on the machines we run on: what one thread writes
// often is kept off the lines that another thread reads often.
constexpr std::size_t kCacheLine = 64;

struct StatisticNames {
  const char* keyword;
  const char* label;
};

// Indexed by Statistic.
constexpr StatisticNames kNames[] = {
    {"count", "Count"},
    {"sum", "Sum"},
    {"mean", "Mean"},
    {"min", "Minimum"},
    {"max", "Maximum"},
    {"median", "Median"},
    {"stddev", "Standard deviation"},
    {"valid", "Valid count"},
    {"rowpct", "Row %"},
    {"colpct", "Column %"},
    {"totalpct", "Total %"},
};

const StatisticNames& Names(Statistic statistic) {
  return kNames[static_cast<int>(statistic)];
}

bool IsPercentage(Statistic statistic) {
  return statistic == Statistic::kRowPercent || statistic == Statistic::kColumnPercent ||
         statistic == Statistic::kTotalPercent;
}

// "sum", "standard deviation": the label in lower case, as it reads in a
// sentence.
std::string LowerLabel(Statistic statistic) {
  std::string label = Names(statistic).label;
  for (char& c : label)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return label;
}

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

bool AnyNeedsValue(const Request& request) {
  return std::any_of(request.statistics.begin(), request.statistics.end(), NeedsValue);
}

bool Asks(const Request& request, Statistic statistic) {
  return std::find(request.statistics.begin(), request.statistics.end(), statistic) !=
         request.statistics.end();
}

// The dimension columns: rows, then columns, then layers.
std::vector<std::string> DimensionColumns(const Request& request) {
  std::vector<std::string> names = request.rows;
  names.insert(names.end(), request.columns.begin(), request.columns.end());
  names.insert(names.end(), request.layers.begin(), request.layers.end());
  return names;
}

void CheckGroupings(const Request& request, const std::string& name,
                    const std::set<std::string>& dimensions) {
  std::set<std::string> grouped;
  for (const Grouping& grouping : request.groupings) {
    const std::string column = Quoted(grouping.column);
    if (dimensions.count(grouping.column) == 0)
      throw Error(name,
                  "column " + column + " is grouped but is not a row, column or layer column");
    if (!grouped.insert(grouping.column).second)
      throw Error(name, "column " + column + " is grouped twice");
    std::set<std::string> seen;
    for (const std::string& by : grouping.by) {
      if (by == grouping.column) throw Error(name, "column " + column + " is grouped by itself");
      if (!seen.insert(by).second)
        throw Error(name, "column " + column + " is grouped by " + Quoted(by) + " twice");
    }
  }
}

// The number that text writes in full, or nothing; outOfRange tells a
// number too large for a double from text that is no number at all.
std::optional<double> ToNumber(std::string_view text, bool& outOfRange) {
  double value = 0;
  const char* end = text.data() + text.size();
  const std::from_chars_result result = std::from_chars(text.data(), end, value);
  outOfRange = result.ec == std::errc::result_out_of_range;
  if (result.ec == std::errc() && result.ptr == end && std::isfinite(value)) return value;
  return std::nullopt;
}

// The decimals a number's text shows, up to kMaxValueDecimals: the digits
// after its decimal point less its exponent ("2.50" 2, "1.5e-3" 4, "1.25e1"
// 1, "7e2" 0). REQUIRES: text parsed as a number.
int WrittenDecimals(std::string_view text) {
  const std::size_t point = text.find('.');
  const std::size_t exponent = text.find_first_of("eE");
  long decimals = 0;
  if (point != std::string_view::npos) {
    decimals = static_cast<long>(std::min(exponent, text.size()) - point - 1);
  }
  if (exponent != std::string_view::npos) {
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

// A number written as most data write one, "-12.50": an optional minus
// sign, digits and an optional point, at most kShortDigits digits in all.
// Its digits make an integer m below 2^53 and its decimals k at most 15, so
// m / 10^k divides two exact doubles and rounds correctly, as from_chars
// does: the result is the same, with the decimals found in the same pass.
// Returns false for any other text, for the general path to read.
bool ReadShortDecimal(std::string_view text, double& value, int& decimals) {
  constexpr int kShortDigits = 15;
  constexpr double kPowers[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = !text.empty() && text[0] == '-' ? 1 : 0;
  const bool negative = i == 1;
  std::uint64_t mantissa = 0;
  int digits = 0;
  int fraction = -1;  // the digits after the point; -1 before it
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      if (++digits > kShortDigits) return false;
      mantissa = mantissa * 10 + static_cast<std::uint64_t>(c - '0');
      if (fraction >= 0) ++fraction;
    } else if (c == '.' && fraction < 0) {
      fraction = 0;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  fraction = std::max(fraction, 0);
  const double magnitude = static_cast<double>(mantissa) / kPowers[fraction];
  value = negative ? -magnitude : magnitude;
  decimals = std::min(fraction, kMaxValueDecimals);
  return true;
}

// ToNumber and WrittenDecimals of text in one: decimals is set when a
// number is returned.
std::optional<double> ToNumber(std::string_view text, bool& outOfRange, int& decimals) {
  double value = 0;
  outOfRange = false;
  if (ReadShortDecimal(text, value, decimals)) return value;
  const std::optional<double> number = ToNumber(text, outOfRange);
  if (number) decimals = WrittenDecimals(text);
  return number;
}

// The values that are missing: the empty field and the request's own.
class MissingValues {
 public:
  explicit MissingValues(const std::vector<std::string>& values)
      : _values(values.begin(), values.end()) {}

  bool Holds(std::string_view field) const {
    return field.empty() || (!_values.empty() && _values.count(std::string(field)) > 0);
  }

 private:
  std::unordered_set<std::string> _values;
};

// hash with every bit of it spread over the low bits, which pick a slot: a
// product's low bits depend only on the low bits of its factors.
std::uint64_t Mixed(std::uint64_t hash) {
  hash ^= hash >> 33;
  hash *= 0xFF51AFD7ED558CCDu;
  return hash ^ (hash >> 33);
}

// Numbers distinct keys, each of a fixed number of 32-bit words, 0, 1, ...
// in order of first appearance: an open-addressing hash table of numbers
// beside the keys, end to end in one vector. Grows by doubling, so that
// numbering n keys takes O(n) time on average.
class KeyIndex {
 public:
  explicit KeyIndex(std::size_t width) : _width(width) {}

  // The number of key, the next one when key is new. REQUIRES: key holds
  // width words.
  std::uint32_t Number(const std::uint32_t* key) {
    if (2 * (std::size_t{_count} + 1) > _slots.size()) Grow();
    std::uint32_t& entry = _slots[Slot(key)];
    if (entry == 0) {
      _keys.insert(_keys.end(), key, key + _width);
      entry = ++_count;
    }
    return entry - 1;
  }

  // What Find returns for a key that has no number.
  static constexpr std::uint32_t kAbsent = ~std::uint32_t{0};

  // The number of key, or kAbsent.
  std::uint32_t Find(const std::uint32_t* key) const {
    if (_slots.empty()) return kAbsent;
    const std::uint32_t entry = _slots[Slot(key)];
    return entry == 0 ? kAbsent : entry - 1;
  }

  std::uint32_t Size() const { return _count; }
  // REQUIRES: number < Size().
  const std::uint32_t* Key(std::uint32_t number) const { return &_keys[number * _width]; }

 private:
  // The slot holding key's number, or the empty slot where it would go.
  // REQUIRES: a slot is empty.
  std::size_t Slot(const std::uint32_t* key) const {
    const std::size_t mask = _slots.size() - 1;
    std::size_t slot = Hash(key) & mask;
    while (_slots[slot] != 0 && !Equal(key, Key(_slots[slot] - 1)))
      slot = (slot + 1) & mask;
    return slot;
  }

  // A loop, not std::equal, which calls memcmp: keys are a few words.
  bool Equal(const std::uint32_t* a, const std::uint32_t* b) const {
    for (std::size_t k = 0; k < _width; ++k) {
      if (a[k] != b[k]) return false;
    }
    return true;
  }

  std::uint64_t Hash(const std::uint32_t* key) const {
    std::uint64_t hash = 0;
    for (std::size_t k = 0; k < _width; ++k)
      hash = (hash ^ key[k]) * 0x9E3779B97F4A7C15u;
    return Mixed(hash);
  }

  void Grow() {
    _slots.assign(std::max<std::size_t>(16, 2 * _slots.size()), 0);
    const std::size_t mask = _slots.size() - 1;
    for (std::uint32_t number = 0; number < _count; ++number) {
      std::size_t slot = Hash(Key(number)) & mask;
      while (_slots[slot] != 0)
        slot = (slot + 1) & mask;
      _slots[slot] = number + 1;
    }
  }

  std::size_t _width;
  std::uint32_t _count = 0;
  std::vector<std::uint32_t> _keys;   // _width words per number
  std::vector<std::uint32_t> _slots;  // a number plus 1, or 0; a power of 2
};

// The distinct fields of one column, coded 0, 1, ... in the order they are
// first added. The codes are dense, so that what is known of each field (is
// it missing, its category along an axis) sits in a vector indexed by code.
// Open addressing over the codes, growing by doubling.
// Aligned to a cache line: the reading and the counting thread each code
// columns of their own, and a dictionary that one fills must not share a
// line with one that the other reads.
class alignas(kCacheLine) FieldDictionary {
 public:
  // The code of field, the next one when field is new.
  std::uint32_t Code(std::string_view field) {
    if (2 * (_fields.size() + 1) > _slots.size()) Grow();
    const std::size_t mask = _slots.size() - 1;
    for (std::size_t slot = Hash(field) & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t entry = _slots[slot];
      if (entry == 0) {
        _fields.emplace_back(field);
        _slots[slot] = Size();
        return Size() - 1;
      }
      if (Equal(_fields[entry - 1], field)) return entry - 1;
    }
  }

  // REQUIRES: code < Size().
  const std::string& Field(std::uint32_t code) const { return _fields[code]; }
  std::uint32_t Size() const { return static_cast<std::uint32_t>(_fields.size()); }

 private:
  // Words of the field mixed by multiplication: fields are mostly a few
  // bytes, where a general hash spends more on setting up than hashing.
  static std::uint64_t Hash(std::string_view field) {
    constexpr std::uint64_t kMultiplier = 0x9E3779B97F4A7C15u;
    const char* data = field.data();
    std::size_t size = field.size();
    std::uint64_t hash = size * kMultiplier;
    for (; size > 8; data += 8, size -= 8)
      hash = (hash ^ Word(data, 8)) * kMultiplier;
    return Mixed((hash ^ Word(data, size)) * kMultiplier);
  }

  // size bytes, at most 8, as a number that differs for different bytes of
  // the same size: loads that overlap rather than a loop, which costs more
  // than the rest of a short field's lookup.
  static std::uint64_t Word(const char* data, std::size_t size) {
    if (size >= 8) {
      std::uint64_t word;
      std::memcpy(&word, data, 8);
      return word;
    }
    if (size >= 4) {
      std::uint32_t low, high;
      std::memcpy(&low, data, 4);
      std::memcpy(&high, data + size - 4, 4);
      return low | std::uint64_t{high} << 32;
    }
    if (size == 0) return 0;
    const auto byte = [data](std::size_t i) {
      return std::uint64_t{static_cast<unsigned char>(data[i])};
    };
    return byte(0) | byte(size / 2) << 8 | byte(size - 1) << 16;
  }

  // Words compared, not memcmp: fields are mostly short, and a call costs
  // more.
  static bool Equal(const std::string& a, std::string_view b) {
    if (a.size() != b.size()) return false;
    std::size_t i = 0;
    for (; i + 8 <= b.size(); i += 8) {
      if (Word(a.data() + i, 8) != Word(b.data() + i, 8)) return false;
    }
    return Word(a.data() + i, b.size() - i) == Word(b.data() + i, b.size() - i);
  }

  void Grow() {
    _slots.assign(std::max<std::size_t>(16, 2 * _slots.size()), 0);
    const std::size_t mask = _slots.size() - 1;
    for (std::uint32_t code = 0; code < Size(); ++code) {
      std::size_t slot = Hash(_fields[code]) & mask;
      while (_slots[slot] != 0)
        slot = (slot + 1) & mask;
      _slots[slot] = code + 1;
    }
  }

  std::vector<std::string> _fields;   // indexed by code
  std::vector<std::uint32_t> _slots;  // a code plus 1, or 0; a power of 2
};

// One dimension while the rows are counted: the fields that make its
// categories (those of the grouping columns, outermost first, then that of
// its own column, each as the number of a coded field of the Tabulation),
// and an id for each distinct category, numbered in order of first
// appearance.
class Axis {
 public:
  Axis(std::string name, std::vector<std::size_t> fields)
      : _name(std::move(name)), _fields(std::move(fields)), _categories(_fields.size()) {}

  const std::string& Name() const { return _name; }

  // The id of the category of a row whose fields have codes; a category
  // not seen before gets the next one.
  std::uint32_t Id(const std::uint32_t* codes) {
    if (_fields.size() == 1) {
      const std::uint32_t code = codes[_fields[0]];
      if (code >= _idOfCode.size()) _idOfCode.resize(std::size_t{code} + 1, kNoId);
      std::uint32_t& id = _idOfCode[code];
      if (id == kNoId) id = _categories.Number(&code);
      return id;
    }
    _key.clear();
    for (std::size_t field : _fields)
      _key.push_back(codes[field]);
    return _categories.Number(_key.data());
  }

  // Adds the groups and categories to dimension in display order and
  // returns the subscript of each category id. dictionaries: the fields of
  // the Tabulation's coded columns.
  std::vector<std::size_t> Build(OmDimension& dimension, CategoryOrder order,
                                 const std::vector<FieldDictionary>& dictionaries) const {
    Group root;
    const std::size_t width = _fields.size();
    std::vector<std::string_view> labels(width);
    for (std::uint32_t id = 0; id < _categories.Size(); ++id) {
      for (std::size_t k = 0; k < width; ++k)
        labels[k] = dictionaries[_fields[k]].Field(_categories.Key(id)[k]);
      root.Add(labels.data(), width, id);
    }
    if (order == CategoryOrder::kLabel) root.Sort();
    std::vector<std::size_t> subscripts(_categories.Size());
    std::size_t next = 0;
    root.Emit(dimension, dimension.Root(), subscripts, next);
    return subscripts;
  }

 private:
  static constexpr std::uint32_t kNoId = ~std::uint32_t{0};

  // The tree of groups and categories, built from the members before the
  // dimension is. Labels point into the dictionaries.
  struct Group {
    std::string_view label;
    std::uint32_t id = kNoId;  // a category's id; kNoId for a group
    std::vector<Group> children;
    std::unordered_map<std::string_view, std::size_t> groups;  // label -> child

    // Adds the category id under the groups labels[0] to labels[n - 2].
    void Add(const std::string_view* labels, std::size_t n, std::uint32_t category) {
      if (n == 1) {
        children.push_back(Group{labels[0], category, {}, {}});
        return;
      }
      auto found = groups.find(labels[0]);
      if (found == groups.end()) {
        children.push_back(Group{labels[0], kNoId, {}, {}});
        found = groups.emplace(labels[0], children.size() - 1).first;
      }
      children[found->second].Add(labels + 1, n - 1, category);
    }

    void Sort() {
      std::sort(children.begin(), children.end(),
                [](const Group& a, const Group& b) { return a.label < b.label; });
      for (Group& child : children)
        child.Sort();
    }

    // Labels within one parent are distinct, so the children are added in
    // bulk and indexed once.
    void Emit(OmDimension& dimension, const OmDimension::Node& parent,
              std::vector<std::size_t>& subscripts, std::size_t& next) const {
      for (const Group& child : children) {
        const OmStringCell text = Text(std::string(child.label));
        if (child.id == kNoId) {
          const OmDimension::Node group =
              dimension.AddNewChild(parent, text, OmDimensionNode::kNoSubscript, true);
          child.Emit(dimension, group, subscripts, next);
        } else {
          subscripts[child.id] = next;
          dimension.AddNewChild(parent, text, next++, false);
        }
      }
      dimension.IndexChildren(parent);
    }
  };

  std::string _name;
  std::vector<std::size_t> _fields;
  // The codes of each category's fields, numbered by id.
  KeyIndex _categories;
  // With one field, the id of each code, kNoId for a code not seen yet:
  // the common case, without a hash.
  std::vector<std::uint32_t> _idOfCode;
  std::vector<std::uint32_t> _key;  // scratch
};

// What the statistics of one cell, or one total, are made of. The parts a
// request does not need keep their initial values.
struct Aggregate {
  double weight = 0;       // the sum of the weights: the count
  double valueWeight = 0;  // W, the sum of the weights of the rows with a value
  double sum = 0;          // the sum of weight * value
  // The weighted mean of the values of positive weight and the sum of
  // weight * (value - mean)^2, kept by West's weighted update, which stays
  // accurate where the sum of squares less the squared sum would cancel.
  double mean = 0;
  double squares = 0;
  double minimum = std::numeric_limits<double>::infinity();
  double maximum = -std::numeric_limits<double>::infinity();
  // Each value of positive weight with its weight, in no order; only for a
  // median.
  std::vector<std::pair<double, double>> values;

  // keepSpread: keep mean and squares; keepValues: keep values.
  void AddValue(double value, double w, bool keepSpread, bool keepValues) {
    const double before = valueWeight;
    valueWeight += w;
    sum += w * value;
    if (w <= 0) return;
    minimum = std::min(minimum, value);
    maximum = std::max(maximum, value);
    if (keepSpread) {
      // squares grows by w * delta * (value - new mean), written so that it
      // is exactly 0 for the first value and of second order in delta.
      const double delta = value - mean;
      mean = before == 0 ? value : mean + delta * w / valueWeight;
      squares += delta * delta * w * before / valueWeight;
    }
    if (keepValues) values.emplace_back(value, w);
  }

  void Merge(const Aggregate& other) {
    weight += other.weight;
    sum += other.sum;
    if (other.valueWeight > 0) {
      if (valueWeight > 0) {
        const double combined = valueWeight + other.valueWeight;
        const double delta = other.mean - mean;
        mean += delta * other.valueWeight / combined;
        squares += other.squares + delta * delta * valueWeight * other.valueWeight / combined;
      } else {
        mean = other.mean;
        squares = other.squares;
      }
    }
    valueWeight += other.valueWeight;
    minimum = std::min(minimum, other.minimum);
    maximum = std::max(maximum, other.maximum);
    values.insert(values.end(), other.values.begin(), other.values.end());
  }

  // The weighted median as the file comment defines it. REQUIRES: values
  // is not empty.
  double Median() const {
    std::vector<std::pair<double, double>> sorted = values;
    std::sort(sorted.begin(), sorted.end());
    // Added up in the order of the values, so that a running weight that
    // reaches exactly half the total is seen as such.
    double total = 0;
    for (const auto& entry : sorted)
      total += entry.second;
    const double half = total / 2;
    double running = 0;
    for (std::size_t i = 0; i < sorted.size(); ++i) {
      running += sorted[i].second;
      if (running > half) return sorted[i].first;
      if (running == half && i + 1 < sorted.size())
        return (sorted[i].first + sorted[i + 1].first) / 2;
    }
    return sorted.back().first;
  }
};

// The chi-square tests of one layer's table of weighted counts.
struct Independence {
  double cases = 0;  // N
  int df = 0;        // 0: no test
  double pearson = 0;
  double likelihoodRatio = 0;
  int cells = 0;       // r * c
  int smallCells = 0;  // expected count below kSmallExpectedCount
  double minimumExpected = 0;
};

// counts[i][j]: the weighted count of row category i and column category j.
Independence TestIndependence(const std::vector<std::vector<double>>& counts) {
  Independence test;
  std::vector<double> rowSums, columnSums;
  std::vector<std::size_t> rows, columns;  // the rows and columns kept
  for (std::size_t i = 0; i < counts.size(); ++i) {
    double sum = 0;
    for (double n : counts[i])
      sum += n;
    if (sum > 0) {
      rows.push_back(i);
      rowSums.push_back(sum);
    }
    test.cases += sum;
  }
  const std::size_t width = counts.empty() ? 0 : counts[0].size();
  for (std::size_t j = 0; j < width; ++j) {
    double sum = 0;
    for (const std::vector<double>& row : counts)
      sum += row[j];
    if (sum > 0) {
      columns.push_back(j);
      columnSums.push_back(sum);
    }
  }
  if (rows.size() < 2 || columns.size() < 2) return test;
  test.df = static_cast<int>((rows.size() - 1) * (columns.size() - 1));
  test.cells = static_cast<int>(rows.size() * columns.size());
  test.minimumExpected = std::numeric_limits<double>::infinity();
  for (std::size_t a = 0; a < rows.size(); ++a) {
    for (std::size_t b = 0; b < columns.size(); ++b) {
      const double n = counts[rows[a]][columns[b]];
      const double expected = rowSums[a] * columnSums[b] / test.cases;
      test.pearson += (n - expected) * (n - expected) / expected;
      if (n > 0) test.likelihoodRatio += 2 * n * std::log(n / expected);
      if (expected < kSmallExpectedCount) ++test.smallCells;
      test.minimumExpected = std::min(test.minimumExpected, expected);
    }
  }
  // G2 is never negative; a sum of terms of both signs can come out a hair
  // below 0 when the table is independent.
  test.likelihoodRatio = std::max(test.likelihoodRatio, 0.0);
  return test;
}

// P(chi-square with df degrees of freedom > value). REQUIRES: df > 0.
double UpperTail(double value, int df) {
  return boost::math::cdf(boost::math::complement(boost::math::chi_squared(df), value));
}

// Puts the dimensions numbered begin to end - 1, which the request names
// outermost first, on an axis list of a table, which names the innermost
// dimension first and the outermost last.
void PlaceInnermostFirst(PuppetVector<short>& list, std::size_t begin, std::size_t end) {
  for (std::size_t d = end; d > begin; --d)
    list.push_back(static_cast<short>(d - 1));
}

// A cell holding value with decimals; for a percentage, the number followed
// by "%" (see the file comment of Crosstab.h).
void StoreFigure(OmPivotTable& table, const std::vector<int>& index, double value, int decimals,
                 bool percentage) {
  OmNumber number(value);
  number.SetDecimals(decimals);
  if (!percentage) {
    table.Cell(index, number);
    return;
  }
  OmComposite composite;
  composite.AddPart(composite.Parts().Root(), number);
  composite.AddPart(composite.Parts().Root(), Text("%"));
  table.Cell(index, composite);
}

// Where the rows come from: hands the column names and then every row to a
// Tabulation, and words the errors about them, which name the input and the
// place of the header or the row being handed over.
class RowSource {
 public:
  virtual ~RowSource() = default;

  // Names the input in messages and in the procedure's command.
  virtual const std::string& Name() const = 0;
  // "NAME: what".
  virtual InputError Error(const std::string& what) const = 0;
  // The error what about the name of column (counted from 0) in the header.
  virtual InputError HeaderError(std::size_t column, const std::string& what) const = 0;
  // The error about field, in column of the row being handed over, that is
  // no number: problem is "is not a number" or "is out of range".
  virtual InputError NumberError(std::size_t column, std::string_view field,
                                 const char* problem) const = 0;
};

// The whole count: takes the column names and then the rows, and makes the
// document. The fields of the category columns come coded, by the
// dictionaries here (see Dictionary), so that each distinct field is judged
// once; the weight and the value come as text.
class Tabulation {
 public:
  Tabulation(const Request& request, const RowSource& source)
      : _request(request),
        _source(source),
        _missing(request.missing),
        _columnsStart(request.rows.size()),
        _layersStart(_columnsStart + request.columns.size()),
        _keepSpread(Asks(request, Statistic::kStdDev)),
        _keepValues(Asks(request, Statistic::kMedian)) {}

  // Resolves the request's columns among names, the header.
  void Header(const std::vector<std::string>& names) {
    for (const std::string& name : DimensionColumns(_request)) {
      std::vector<std::size_t> fields;
      for (const Grouping& grouping : _request.groupings) {
        if (grouping.column != name) continue;
        for (const std::string& by : grouping.by)
          fields.push_back(Coded(Column(names, by)));
      }
      fields.push_back(Coded(Column(names, name)));
      _axes.emplace_back(name, std::move(fields));
    }
    _ids.resize(_axes.size());
    _cellIndex = KeyIndex(_axes.size());
    _totalIndex = KeyIndex(_axes.size());
    if (AnyNeedsValue(_request)) _valueColumn = Column(names, _request.valueColumn);
    if (!_request.weightColumn.empty()) _weightColumn = Column(names, _request.weightColumn);
  }

  // The columns whose fields Row takes coded, in that order; set by Header.
  const std::vector<std::size_t>& CodedColumns() const { return _codedColumns; }
  // The codes of the fields of CodedColumns()[i].
  FieldDictionary& Dictionary(std::size_t i) { return _dictionaries[i]; }
  // The weight and value columns, -1 when the request needs none.
  int WeightColumn() const { return _weightColumn; }
  int ValueColumn() const { return _valueColumn; }

  // Whether a row whose fields in CodedColumns() have codes is left out for
  // a missing category. Reads the dictionaries, so it runs where they are
  // filled, before Row.
  bool LeftOut(const std::uint32_t* codes) { return LeftOut(codes, 0, _codedColumns.size()); }

  // The same for the coded columns begin to end - 1 alone, which one
  // thread may judge while another judges the others.
  bool LeftOut(const std::uint32_t* codes, std::size_t begin, std::size_t end) {
    if (_request.includeMissing) return false;
    for (std::size_t i = begin; i < end; ++i) {
      if (IsMissing(i, codes[i])) return true;
    }
    return false;
  }

  // Counts one row: codes holds the codes of its fields in CodedColumns(),
  // leftOut what LeftOut said of them, weight and value its fields in those
  // columns (ignored where there is none). Reads no dictionary, so that
  // another thread may fill them meanwhile.
  void Row(const std::uint32_t* codes, bool leftOut, std::string_view weight,
           std::string_view value) {
    ++_rows;
    if (leftOut) {
      ++_leftOutCategory;
      return;
    }
    const std::optional<double> w = Weight(weight);
    if (!w) return;
    std::optional<double> x;
    if (_valueColumn >= 0) {
      if (_missing.Holds(value)) {
        ++_missingValues;
      } else {
        x = Value(value);
      }
    }
    for (std::size_t d = 0; d < _axes.size(); ++d)
      _ids[d] = _axes[d].Id(codes);
    const std::uint32_t cell = _cellIndex.Number(_ids.data());
    if (cell == _aggregates.size()) _aggregates.emplace_back();
    Aggregate& aggregate = _aggregates[cell];
    aggregate.weight += *w;
    if (x) aggregate.AddValue(*x, *w, _keepSpread, _keepValues);
  }

  std::unique_ptr<OmOutputTree> Document() {
    AddTotals();
    auto tree = std::make_unique<OmOutputTree>();
    auto procedure = std::make_unique<OmProcedure>(Text("Crosstab"), "en", "UTF-8", "en_US");
    procedure->SetCommand(Command());
    ListTree<OmOutputPart*>::Node heading = tree->Root().AppendChild(procedure.get());
    procedure.release();
    std::unique_ptr<OmPivotTable> table = Table();
    std::unique_ptr<OmPivotTable> tests;
    if (_request.chiSquare) tests = ChiSquareTable(*table);
    heading.AppendChild(table.get());
    table.release();
    if (tests != nullptr) {
      heading.AppendChild(tests.get());
      tests.release();
    }
    return tree;
  }

 private:
  // The column called name.
  int Column(const std::vector<std::string>& names, const std::string& name) const {
    int found = -1;
    for (std::size_t i = 0; i < names.size(); ++i) {
      if (names[i] != name) continue;
      if (found >= 0)
        throw _source.HeaderError(i, "column name " + Quoted(name) + " is in the header twice");
      found = static_cast<int>(i);
    }
    if (found >= 0) return found;
    std::vector<std::string> quoted;
    for (const std::string& each : names)
      quoted.push_back(Quoted(each));
    throw _source.Error("no column " + Quoted(name) + " in the header; the columns are " +
                        Join(quoted, ", "));
  }

  // The number of column among the coded columns, added when new.
  std::size_t Coded(int column) {
    const auto number = static_cast<std::size_t>(column);
    const auto found = std::find(_codedColumns.begin(), _codedColumns.end(), number);
    if (found != _codedColumns.end())
      return static_cast<std::size_t>(found - _codedColumns.begin());
    _codedColumns.push_back(number);
    _dictionaries.emplace_back();
    _missingCodes.emplace_back();
    return _codedColumns.size() - 1;
  }

  // Whether the field of code in coded column i is missing.
  bool IsMissing(std::size_t i, std::uint32_t code) {
    std::vector<char>& missing = _missingCodes[i].flags;
    const FieldDictionary& dictionary = _dictionaries[i];
    if (code >= missing.size()) {
      for (auto next = static_cast<std::uint32_t>(missing.size()); next < dictionary.Size(); ++next)
        missing.push_back(_missing.Holds(dictionary.Field(next)));
    }
    return missing[code] != 0;
  }

  // The row's weight, or nothing when the weight leaves it out (counted).
  std::optional<double> Weight(std::string_view text) {
    if (_weightColumn < 0) return 1.0;
    if (text.empty()) {
      ++_weightEmpty;
      return std::nullopt;
    }
    bool outOfRange = false;
    int decimals = 0;
    const std::optional<double> weight = ToNumber(text, outOfRange, decimals);
    if (!weight) {
      ++_weightNotNumber;
      return std::nullopt;
    }
    if (*weight < 0) {
      ++_weightNegative;
      return std::nullopt;
    }
    _weightDecimals = std::max(_weightDecimals, decimals);
    return weight;
  }

  // The number a value that is not missing writes.
  double Value(std::string_view text) {
    bool outOfRange = false;
    int decimals = 0;
    const std::optional<double> value = ToNumber(text, outOfRange, decimals);
    if (!value)
      throw _source.NumberError(static_cast<std::size_t>(_valueColumn), text,
                                outOfRange ? "is out of range" : "is not a number");
    _valueDecimals = std::max(_valueDecimals, decimals);
    return *value;
  }

  // key with the dimensions begin to end - 1 set to their totals.
  std::vector<std::uint32_t> Totalled(const std::uint32_t* key, std::size_t begin,
                                      std::size_t end) const {
    std::vector<std::uint32_t> total(key, key + _axes.size());
    std::fill(total.begin() + static_cast<long>(begin), total.begin() + static_cast<long>(end),
              kTotalId);
    return total;
  }

  // Fills _totals: every total the table shows (with totals) and every total
  // a percentage divides by. A mask holds, per row and column dimension,
  // whether it is set to its total.
  void AddTotals() {
    using Mask = std::vector<bool>;
    const std::size_t axes = _layersStart;
    const auto range = [axes](std::size_t begin, std::size_t end) {
      Mask mask(axes, false);
      std::fill(mask.begin() + static_cast<long>(begin), mask.begin() + static_cast<long>(end),
                true);
      return mask;
    };
    std::set<Mask> masks;
    if (_request.totals) {
      // CheckRequest keeps axes at most kMaxTotalledColumns.
      for (std::uint32_t bits = 1; bits < (std::uint32_t{1} << axes); ++bits) {
        Mask mask(axes);
        for (std::size_t d = 0; d < axes; ++d)
          mask[d] = ((bits >> d) & 1u) != 0;
        masks.insert(mask);
      }
    }
    if (Asks(_request, Statistic::kRowPercent)) masks.insert(range(_columnsStart, axes));
    if (Asks(_request, Statistic::kColumnPercent)) masks.insert(range(0, _columnsStart));
    if (Asks(_request, Statistic::kTotalPercent)) masks.insert(range(0, axes));
    masks.erase(Mask(axes, false));  // the cells themselves
    std::vector<std::uint32_t> total(_axes.size());
    for (std::uint32_t cell = 0; cell < _cellIndex.Size(); ++cell) {
      const std::uint32_t* key = _cellIndex.Key(cell);
      for (const Mask& mask : masks) {
        for (std::size_t d = 0; d < total.size(); ++d)
          total[d] = d < axes && mask[d] ? kTotalId : key[d];
        const std::uint32_t number = _totalIndex.Number(total.data());
        if (number == _totals.size()) _totals.emplace_back();
        _totals[number].Merge(_aggregates[cell]);
      }
    }
  }

  // The aggregate of a cell or total key. REQUIRES: AddTotals made it.
  const Aggregate& Find(const std::vector<std::uint32_t>& key) const {
    for (std::size_t d = 0; d < _layersStart; ++d) {
      if (key[d] == kTotalId) return _totals[_totalIndex.Find(key.data())];
    }
    return _aggregates[_cellIndex.Find(key.data())];
  }

  // The figure of statistic for the cell or total at key, or nothing where
  // it is undefined.
  std::optional<double> Figure(Statistic statistic, const std::uint32_t* key,
                               const Aggregate& aggregate) const {
    double base = 0;
    switch (statistic) {
      case Statistic::kCount:
        return aggregate.weight;
      case Statistic::kSum:
        return aggregate.sum;
      case Statistic::kValid:
        return aggregate.valueWeight;
      case Statistic::kMean:
        if (aggregate.valueWeight <= 0) return std::nullopt;
        return aggregate.sum / aggregate.valueWeight;
      case Statistic::kMinimum:
        if (aggregate.valueWeight <= 0) return std::nullopt;
        return aggregate.minimum;
      case Statistic::kMaximum:
        if (aggregate.valueWeight <= 0) return std::nullopt;
        return aggregate.maximum;
      case Statistic::kMedian:
        if (aggregate.valueWeight <= 0) return std::nullopt;
        return aggregate.Median();
      case Statistic::kStdDev:
        if (aggregate.valueWeight <= 1) return std::nullopt;
        return std::sqrt(std::max(aggregate.squares, 0.0) / (aggregate.valueWeight - 1));
      case Statistic::kRowPercent:
        base = Find(Totalled(key, _columnsStart, _layersStart)).weight;
        break;
      case Statistic::kColumnPercent:
        base = Find(Totalled(key, 0, _columnsStart)).weight;
        break;
      case Statistic::kTotalPercent:
        base = Find(Totalled(key, 0, _layersStart)).weight;
        break;
    }
    if (base <= 0) return std::nullopt;
    return 100 * aggregate.weight / base;
  }

  int Decimals(Statistic statistic) const {
    switch (statistic) {
      case Statistic::kCount:
      case Statistic::kValid:
        return _weightDecimals;
      case Statistic::kSum:
        return std::min(_valueDecimals + _weightDecimals, kMaxValueDecimals);
      case Statistic::kMinimum:
      case Statistic::kMaximum:
        return _valueDecimals;
      case Statistic::kMedian:
        return _valueDecimals + kMedianExtraDecimals;
      case Statistic::kMean:
      case Statistic::kStdDev:
        return _valueDecimals + kMeanExtraDecimals;
      case Statistic::kRowPercent:
      case Statistic::kColumnPercent:
      case Statistic::kTotalPercent:
        break;
    }
    return kPercentDecimals;
  }

  // The omtree-view command line that makes these tables again.
  std::string Command() const {
    std::string command = "omtree-view " + ShellWord(_source.Name());
    const std::pair<const char*, const std::vector<std::string>*> lists[] = {
        {" --rows ", &_request.rows},
        {" --cols ", &_request.columns},
        {" --layers ", &_request.layers}};
    for (const auto& [option, names] : lists) {
      if (!names->empty()) command += option + ShellWord(Join(*names, ","));
    }
    if (_request.statistics != std::vector<Statistic>{Statistic::kCount}) {
      std::vector<std::string> keywords;
      for (Statistic statistic : _request.statistics)
        keywords.push_back(StatisticKeyword(statistic));
      command += " --stat " + Join(keywords, ",");
    }
    if (AnyNeedsValue(_request)) command += " --value " + ShellWord(_request.valueColumn);
    if (!_request.weightColumn.empty()) command += " --weight " + ShellWord(_request.weightColumn);
    if (_request.statistics.size() > 1 && _request.statisticsPlace != StatisticsPlace::kRows)
      command += _request.statisticsPlace == StatisticsPlace::kColumns ? " --stats-in cols"
                                                                       : " --stats-in layers";
    if (_request.totals) command += " --totals";
    if (!_request.missing.empty())
      command += " --missing " + ShellWord(Join(_request.missing, ","));
    if (_request.includeMissing) command += " --include-missing";
    if (_request.order == CategoryOrder::kLabel) command += " --sort";
    for (const Grouping& grouping : _request.groupings)
      command += " --group " + ShellWord(grouping.column + "=" + Join(grouping.by, ","));
    if (_request.chiSquare) command += " --chisq";
    return command;
  }

  // "Count", "Sum of <value column>", ..., "Row %"; "Statistics" for
  // several.
  std::string CornerText() const {
    if (_request.statistics.size() > 1) return "Statistics";
    const Statistic statistic = _request.statistics.front();
    std::string text = StatisticLabel(statistic);
    if (NeedsValue(statistic)) text += " of " + _request.valueColumn;
    return text;
  }

  std::string Caption() const {
    std::string caption = "Rows read: " + std::to_string(_rows) + ".";
    if (!_request.includeMissing)
      caption += " Left out for a missing category: " + std::to_string(_leftOutCategory) + ".";
    if (_weightColumn >= 0) {
      caption += " Left out for a weight of " + _request.weightColumn +
                 " that is empty: " + std::to_string(_weightEmpty) +
                 ", not a number: " + std::to_string(_weightNotNumber) +
                 ", negative: " + std::to_string(_weightNegative) + ".";
    }
    if (_valueColumn >= 0) {
      caption += " Rows with a missing value of " + _request.valueColumn + ": " +
                 std::to_string(_missingValues) + ".";
    }
    return caption;
  }

  std::unique_ptr<OmPivotTable> Table() {
    std::vector<std::string> names;
    for (const Axis& axis : _axes)
      names.push_back(axis.Name());
    const std::string label = Join(names, " by ");
    auto table = std::make_unique<OmPivotTable>(Text(label), Text("Crosstab"), false);
    table->SetTableTitle(Text(CornerText() + " by " + label));
    for (std::size_t d = 0; d < _axes.size(); ++d) {
      OmDimension& dimension = table->AddDimension(Text(_axes[d].Name()));
      _subscripts.push_back(_axes[d].Build(dimension, _request.order, _dictionaries));
      _totalSubscripts.push_back(static_cast<std::size_t>(dimension.NumCategories()));
      // AddNewChild: a category labelled "Total" must not take the total's
      // place.
      if (_request.totals && d < _layersStart)
        dimension.AddNewChild(dimension.Root(), Text(kTotalLabel), _totalSubscripts.back(), false);
    }
    const std::vector<Statistic>& statistics = _request.statistics;
    const bool statisticsDimension = statistics.size() > 1;
    if (statisticsDimension) {
      // Its name is hidden: the statistics' labels say what they are.
      OmDimension& dimension = table->AddDimension(Text("Statistics"));
      dimension.Root()->Hide(true);
      for (std::size_t k = 0; k < statistics.size(); ++k)
        dimension.AddNewChild(dimension.Root(), Text(StatisticLabel(statistics[k])), k, false);
    }
    std::vector<int> decimals;
    for (Statistic statistic : statistics)
      decimals.push_back(Decimals(statistic));
    std::vector<int> index(table->NDimensions());
    const auto store = [&](const std::uint32_t* key, const Aggregate& aggregate) {
      for (std::size_t d = 0; d < _axes.size(); ++d) {
        const std::uint32_t id = key[d];
        index[d] = static_cast<int>(id == kTotalId ? _totalSubscripts[d] : _subscripts[d][id]);
      }
      for (std::size_t k = 0; k < statistics.size(); ++k) {
        if (statisticsDimension) index.back() = static_cast<int>(k);
        const std::optional<double> figure = Figure(statistics[k], key, aggregate);
        if (figure) {
          StoreFigure(*table, index, *figure, decimals[k], IsPercentage(statistics[k]));
        } else {
          table->Cell(index, OmMissing());
        }
      }
    };
    for (std::uint32_t cell = 0; cell < _cellIndex.Size(); ++cell)
      store(_cellIndex.Key(cell), _aggregates[cell]);
    if (_request.totals) {
      for (std::uint32_t total = 0; total < _totalIndex.Size(); ++total)
        store(_totalIndex.Key(total), _totals[total]);
    }
    const auto place = [&](StatisticsPlace axis, PuppetVector<short>& list) {
      if (statisticsDimension && _request.statisticsPlace == axis)
        list.push_back(static_cast<short>(_axes.size()));
    };
    place(StatisticsPlace::kRows, table->Rows());
    PlaceInnermostFirst(table->Rows(), 0, _columnsStart);
    place(StatisticsPlace::kColumns, table->Columns());
    PlaceInnermostFirst(table->Columns(), _columnsStart, _layersStart);
    place(StatisticsPlace::kLayers, table->Layers());
    PlaceInnermostFirst(table->Layers(), _layersStart, _axes.size());
    table->EndTable();
    const OmStringCell corner = Text(CornerText());
    table->CornerText(&corner);
    const OmStringCell caption = Text(Caption());
    table->Caption(&caption);
    return table;
  }

  // The chi-square tests of crosstab, one layer per layer of it. REQUIRES:
  // one row and one column dimension; Table() has run.
  std::unique_ptr<OmPivotTable> ChiSquareTable(const OmPivotTable& crosstab) const {
    const std::string title = "Chi-square tests";
    auto table = std::make_unique<OmPivotTable>(Text(title), Text(title), false);
    table->SetTableTitle(Text(title));
    const std::pair<const char*, std::vector<const char*>> heads[] = {
        {"Test", {"Pearson chi-square", "Likelihood ratio", "Valid cases"}},
        {"Result", {"Value", "df", "p-value"}}};
    for (const auto& [name, labels] : heads) {
      OmDimension& dimension = table->AddDimension(Text(name));
      dimension.Root()->Hide(true);
      for (std::size_t k = 0; k < labels.size(); ++k)
        dimension.AddNewChild(dimension.Root(), Text(labels[k]), k, false);
    }
    constexpr int kFirstLayer = 2;  // the number of the first layer dimension
    std::vector<int> layerSizes;
    for (std::size_t d = _layersStart; d < _axes.size(); ++d) {
      table->AddDimension(crosstab.Dimension(static_cast<int>(d)));
      layerSizes.push_back(static_cast<int>(_subscripts[d].size()));
    }
    // The weighted counts of every layer, keyed by the layer's subscripts.
    const std::size_t rows = _subscripts[0].size(), columns = _subscripts[1].size();
    std::map<std::vector<int>, std::vector<std::vector<double>>> layers;
    std::vector<int> layer(layerSizes.size());
    for (std::uint32_t cell = 0; cell < _cellIndex.Size(); ++cell) {
      const std::uint32_t* key = _cellIndex.Key(cell);
      for (std::size_t l = 0; l < layer.size(); ++l)
        layer[l] = static_cast<int>(_subscripts[_layersStart + l][key[_layersStart + l]]);
      auto& counts = layers[layer];
      if (counts.empty()) counts.assign(rows, std::vector<double>(columns, 0.0));
      counts[_subscripts[0][key[0]]][_subscripts[1][key[1]]] += _aggregates[cell].weight;
    }
    const std::vector<std::vector<double>> empty(rows, std::vector<double>(columns, 0.0));
    std::fill(layer.begin(), layer.end(), 0);
    std::vector<int> index(table->NDimensions());
    // Every layer, the last layer dimension's subscript changing fastest;
    // none when a layer dimension has no category.
    bool more = std::all_of(layerSizes.begin(), layerSizes.end(), [](int n) { return n > 0; });
    while (more) {
      const auto found = layers.find(layer);
      const Independence test = TestIndependence(found == layers.end() ? empty : found->second);
      std::copy(layer.begin(), layer.end(), index.begin() + kFirstLayer);
      StoreTests(*table, index, test);
      more = false;
      for (std::size_t l = layer.size(); l-- > 0;) {
        if (++layer[l] < layerSizes[l]) {
          more = true;
          break;
        }
        layer[l] = 0;
      }
    }
    table->Rows().push_back(0);
    table->Columns().push_back(1);
    PlaceInnermostFirst(table->Layers(), kFirstLayer, table->NDimensions());
    table->EndTable();
    return table;
  }

  // One layer's cells of the chi-square table; index holds its layer
  // subscripts.
  void StoreTests(OmPivotTable& table, std::vector<int>& index, const Independence& test) const {
    // Stores value with decimals at the test's row and result's column,
    // with the footnote numbered note unless it is negative.
    const auto store = [&](int row, int result, double value, int decimals, int note = -1) {
      index[0] = row;
      index[1] = result;
      OmNumber number(value);
      number.SetDecimals(decimals);
      if (note >= 0) number.Footnotes().push_back(static_cast<short>(note));
      table.Cell(index, number);
    };
    const double values[] = {test.pearson, test.likelihoodRatio};
    for (int row = 0; row < 2; ++row) {
      store(row, 1, test.df, 0);
      if (test.df == 0) {
        index[0] = row;
        for (int result : {0, 2}) {
          index[1] = result;
          table.Cell(index, OmMissing());
        }
        continue;
      }
      const bool noted = row == 0 && test.smallCells > 0;
      store(row, 0, values[row], kTestDecimals, noted ? SmallCountNote(table, test) : -1);
      store(row, 2, UpperTail(values[row], test.df), kTestDecimals);
    }
    store(2, 0, test.cases, _weightDecimals);
  }

  // The number of the footnote on small expected counts, registered in
  // table.
  static int SmallCountNote(OmPivotTable& table, const Independence& test) {
    const bool one = test.smallCells == 1;
    const std::string text = std::to_string(test.smallCells) + (one ? " cell (" : " cells (") +
                             OmNumber::Format(100.0 * test.smallCells / test.cells, 1) +
                             (one ? "%) has" : "%) have") +
                             " an expected count less than 5. The minimum expected count is " +
                             OmNumber::Format(test.minimumExpected, 2) + ".";
    const OmStringCell note = Text(text);
    return table.Footnote(OmFootnote(&note, nullptr, nullptr), false);
  }

  const Request& _request;
  const RowSource& _source;
  const MissingValues _missing;
  const std::size_t _columnsStart;  // the first column dimension's number
  const std::size_t _layersStart;   // the first layer dimension's number
  const bool _keepSpread;           // for a standard deviation
  const bool _keepValues;           // for a median

  // Filled while the file is read.
  std::vector<Axis> _axes;  // rows, then columns, then layers
  // The columns of every axis and of the groupings, each once, where a
  // missing value leaves a row out; per column the codes of its fields and
  // whether each code's field is missing (filled as codes are met).
  std::vector<std::size_t> _codedColumns;
  std::vector<FieldDictionary> _dictionaries;
  // Per coded column, whether the field of each code is missing; each on a
  // cache line of its own, as the dictionaries are.
  struct alignas(kCacheLine) MissingCodes {
    std::vector<char> flags;
  };
  std::vector<MissingCodes> _missingCodes;
  int _valueColumn = -1;   // -1 when no statistic needs it
  int _weightColumn = -1;  // -1 without weights
  // From here on, what the counting thread writes for every row. It starts
  // on a cache line of its own: sharing one with what the reading thread
  // reads for every row (the coded columns, the missing codes) makes the
  // line travel between the cores on every row and doubles both threads'
  // time.
  alignas(kCacheLine) std::uint64_t _rows = 0;
  std::uint64_t _leftOutCategory = 0;
  std::uint64_t _weightEmpty = 0;
  std::uint64_t _weightNotNumber = 0;
  std::uint64_t _weightNegative = 0;
  std::uint64_t _missingValues = 0;
  int _valueDecimals = 0;   // the most decimals a value was written with
  int _weightDecimals = 0;  // the most decimals a weight was written with
  // The combinations that occur, numbered by their categories' ids along
  // the axes, and their aggregates by number.
  KeyIndex _cellIndex{0};
  std::vector<Aggregate> _aggregates;
  std::vector<std::uint32_t> _ids;  // scratch: a row's ids

  // Filled when the document is made: the totals, numbered by their keys
  // (kTotalId where a dimension is totalled), and their aggregates.
  KeyIndex _totalIndex{0};
  std::vector<Aggregate> _totals;
  // Per dimension, the subscript of each category id, and the total's.
  std::vector<std::vector<std::size_t>> _subscripts;
  std::vector<std::size_t> _totalSubscripts;
};

}  // namespace

const char* StatisticKeyword(Statistic statistic) {
  return Names(statistic).keyword;
}

const char* StatisticLabel(Statistic statistic) {
  return Names(statistic).label;
}

bool NeedsValue(Statistic statistic) {
  return statistic != Statistic::kCount && !IsPercentage(statistic);
}

namespace {

// The request's faults, in messages that name the input name.
void CheckRequestOf(const Request& request, const std::string& name) {
  if (request.statistics.empty()) throw Error(name, "no statistic to show");
  std::set<Statistic> seen;
  for (Statistic statistic : request.statistics) {
    if (!seen.insert(statistic).second)
      throw Error(name, "statistic " + Quoted(StatisticKeyword(statistic)) + " is asked for twice");
    if (NeedsValue(statistic) && request.valueColumn.empty())
      throw Error(name, "a " + LowerLabel(statistic) + " needs a value column");
  }
  if (request.rows.empty() && request.columns.empty())
    throw Error(name, "no row or column to tabulate");
  if (request.totals && request.rows.size() + request.columns.size() > kMaxTotalledColumns)
    throw Error(name, "totals need at most " + std::to_string(kMaxTotalledColumns) +
                          " row and column columns");
  if (request.chiSquare && (request.rows.size() != 1 || request.columns.size() != 1))
    throw Error(name, "a chi-square test needs exactly one row and one column column");
  std::set<std::string> dimensions;
  for (const std::string& column : DimensionColumns(request)) {
    if (!dimensions.insert(column).second)
      throw Error(name, "column " + Quoted(column) + " is used twice");
  }
  CheckGroupings(request, name, dimensions);
}

// Rows that the reading thread has coded, on their way to the counting
// thread, which codes the last columns itself (see CsvRows).
struct RowBatch {
  static constexpr std::size_t kRows = 4096;  // at most

  std::size_t rows = 0;
  std::uint64_t firstRecord = 0;  // the record number of row 0
  // Per row, one per coded column; the columns that the counting thread
  // codes hold 0 until it does.
  std::vector<std::uint32_t> codes;
  // Per row: what Tabulation::LeftOut said of the reading thread's columns.
  std::vector<char> leftOut;
  // The weight and value fields and the fields of the columns that the
  // counting thread codes, end to end, and per row where each ends.
  std::string texts;
  std::vector<std::size_t> ends;
  // A progress report to make after the rows, when reported is set.
  bool reported = false;
  std::uint64_t bytesRead = 0, totalBytes = 0;

  void Clear() {
    rows = 0;
    codes.clear();
    leftOut.clear();
    texts.clear();
    ends.clear();
    reported = false;
  }
};

// Thrown in the reading thread when the counting thread has stopped.
struct Stopped {};

// Hands batches from one producing thread to one consuming thread, in
// order, through a fixed set of batches, so that reading runs at most that
// many batches ahead of counting. The producer's error reaches the consumer
// after the batches sent before it.
class BatchPipe {
 public:
  explicit BatchPipe(std::size_t batches) {
    for (std::size_t i = 0; i < batches; ++i) {
      _batches.push_back(std::make_unique<RowBatch>());
      _free.push_back(_batches.back().get());
    }
  }

  // Producer: a cleared batch to fill; throws Stopped when the consumer has
  // stopped.
  RowBatch* Empty() {
    std::unique_lock<std::mutex> lock(_mutex);
    _changed.wait(lock, [this] { return _stopped || !_free.empty(); });
    if (_stopped) throw Stopped();
    RowBatch* batch = _free.front();
    _free.pop_front();
    batch->Clear();
    return batch;
  }

  void Send(RowBatch* batch) {
    const std::lock_guard<std::mutex> lock(_mutex);
    _full.push_back(batch);
    _changed.notify_all();
  }

  // Producer: no more batches; error, when set, is thrown after them.
  void Close(std::exception_ptr error) {
    const std::lock_guard<std::mutex> lock(_mutex);
    _closed = true;
    _error = std::move(error);
    _changed.notify_all();
  }

  // Consumer: the next batch, or null after the last; rethrows the
  // producer's error in its place.
  RowBatch* Receive() {
    std::unique_lock<std::mutex> lock(_mutex);
    _changed.wait(lock, [this] { return _closed || !_full.empty(); });
    if (!_full.empty()) {
      RowBatch* batch = _full.front();
      _full.pop_front();
      return batch;
    }
    if (_error) std::rethrow_exception(_error);
    return nullptr;
  }

  void Return(RowBatch* batch) {
    const std::lock_guard<std::mutex> lock(_mutex);
    _free.push_back(batch);
    _changed.notify_all();
  }

  // Consumer: gives up; the producer's next Empty throws Stopped.
  void Stop() {
    const std::lock_guard<std::mutex> lock(_mutex);
    _stopped = true;
    _changed.notify_all();
  }

 private:
  std::vector<std::unique_ptr<RowBatch>> _batches;
  std::mutex _mutex;
  std::condition_variable _changed;
  // Guarded by _mutex.
  std::deque<RowBatch*> _free;
  std::deque<RowBatch*> _full;
  bool _closed = false;
  bool _stopped = false;
  std::exception_ptr _error;
};

// The field of column in record, or nothing for column -1.
std::string_view FieldOf(const CsvRecord& record, int column) {
  if (column < 0) return {};
  return record.fields[static_cast<std::size_t>(column)];
}

// The rows of a CSV file, read record by record; errors name the file and
// the line and column of the field or header name at fault.
//
// Two threads share the work. A reading thread scans the file, hands the
// header to the Tabulation, codes each row's category fields but those of
// the last coded column (CountingThreadColumns) and sends the codes with
// the weight and value fields and the fields left to code in batches; the
// calling thread codes the rest, counts the rows, in file order, and makes
// the progress reports. Each dictionary is filled by one thread alone
// until the end. An error of either thread
// stops both, and the first in file order reaches the caller.
class CsvRows : public RowSource {
 public:
  explicit CsvRows(const std::string& path) : _path(path) {}

  void Read(Tabulation& tabulation, const Progress& progress) {
    BatchPipe pipe(kBatches);
    std::thread reader([&] { Produce(tabulation, pipe, static_cast<bool>(progress)); });
    try {
      while (RowBatch* batch = pipe.Receive()) {
        Consume(*batch, tabulation);
        if (batch->reported) progress(batch->bytesRead, batch->totalBytes);
        pipe.Return(batch);
      }
    } catch (...) {
      pipe.Stop();
      reader.join();
      throw;
    }
    reader.join();
  }

  const std::string& Name() const override { return _path; }

  InputError Error(const std::string& what) const override { return internal::Error(_path, what); }

  // Called in the reading thread, on the header at hand.
  InputError HeaderError(std::size_t column, const std::string& what) const override {
    return ErrorAt(_path, _header->PositionOf(column), what);
  }

  // Called in the counting thread, long after the reading thread has moved
  // on: the place of the field is found by reading the file again up to
  // its record, as a bad value ends the reading anyway.
  InputError NumberError(std::size_t column, std::string_view field,
                         const char* problem) const override {
    return ErrorAt(
        _path, PositionOf(_record, column),
        Quoted(std::string(field)) + " in column " + Quoted(_names[column]) + " " + problem);
  }

 private:
  static constexpr std::size_t kBatches = 4;

  // How many of the coded columns, the last ones, the counting thread
  // codes: coding takes the reading thread about a third of its time,
  // which leaves the counting thread idle part of the time; one column
  // coded there balances the two on the files we measured. A file with one
  // coded column keeps it in the reading thread, which scans and codes
  // faster than the counting thread counts.
  static std::size_t CountingThreadColumns(std::size_t coded) { return coded >= 2 ? 1 : 0; }

  // The reading thread's work: every record into batches, then the end or
  // the error into the pipe.
  void Produce(Tabulation& tabulation, BatchPipe& pipe, bool reporting) {
    RowBatch* batch = nullptr;
    try {
      const Progress report = [&](std::uint64_t bytesRead, std::uint64_t totalBytes) {
        if (batch == nullptr) batch = pipe.Empty();
        batch->reported = true;
        batch->bytesRead = bytesRead;
        batch->totalBytes = totalBytes;
        pipe.Send(std::exchange(batch, nullptr));
      };
      internal::ReadCsv(_path, reporting ? report : Progress(), [&](const CsvRecord& record) {
        if (record.number == 0) {
          Header(record, tabulation);
          return;
        }
        if (batch == nullptr) {
          batch = pipe.Empty();
          batch->firstRecord = record.number;
        }
        Add(record, tabulation, *batch);
        if (batch->rows == RowBatch::kRows) pipe.Send(std::exchange(batch, nullptr));
      });
      if (batch != nullptr) pipe.Send(batch);
      pipe.Close(nullptr);
    } catch (const Stopped&) {
      pipe.Close(nullptr);
    } catch (...) {
      if (batch != nullptr) pipe.Send(batch);  // the rows before the error
      pipe.Close(std::current_exception());
    }
  }

  void Header(const CsvRecord& record, Tabulation& tabulation) {
    _header = &record;
    const auto end = record.fields.begin() + static_cast<std::ptrdiff_t>(record.size);
    _names.assign(record.fields.begin(), end);
    tabulation.Header(_names);
  }

  static void Add(const CsvRecord& record, Tabulation& tabulation, RowBatch& batch) {
    const std::vector<std::size_t>& columns = tabulation.CodedColumns();
    const std::size_t counted = columns.size() - CountingThreadColumns(columns.size());
    const std::size_t first = batch.codes.size();
    for (std::size_t i = 0; i < counted; ++i)
      batch.codes.push_back(tabulation.Dictionary(i).Code(record.fields[columns[i]]));
    batch.leftOut.push_back(tabulation.LeftOut(&batch.codes[first], 0, counted));
    const auto addText = [&batch](std::string_view text) {
      batch.texts += text;
      batch.ends.push_back(batch.texts.size());
    };
    addText(FieldOf(record, tabulation.WeightColumn()));
    addText(FieldOf(record, tabulation.ValueColumn()));
    for (std::size_t i = counted; i < columns.size(); ++i) {
      batch.codes.push_back(0);
      addText(record.fields[columns[i]]);
    }
    ++batch.rows;
  }

  void Consume(RowBatch& batch, Tabulation& tabulation) {
    const std::size_t width = tabulation.CodedColumns().size();
    const std::size_t counted = width - CountingThreadColumns(width);
    const std::size_t texts = 2 + width - counted;  // per row
    std::size_t end = 0;
    const auto nextText = [&batch, &end](std::size_t k) {
      const std::size_t begin = end;
      end = batch.ends[k];
      return std::string_view(batch.texts).substr(begin, end - begin);
    };
    for (std::size_t r = 0; r < batch.rows; ++r) {
      _record = batch.firstRecord + r;
      std::uint32_t* codes = &batch.codes[r * width];
      const std::string_view weight = nextText(r * texts);
      const std::string_view value = nextText(r * texts + 1);
      for (std::size_t i = counted; i < width; ++i)
        codes[i] = tabulation.Dictionary(i).Code(nextText(r * texts + 2 + i - counted));
      const bool leftOut = batch.leftOut[r] != 0 || tabulation.LeftOut(codes, counted, width);
      tabulation.Row(codes, leftOut, weight, value);
    }
  }

  // Where field column of the record numbered number starts.
  Position PositionOf(std::uint64_t number, std::size_t column) const {
    struct Found {};
    Position position;
    try {
      internal::ReadCsv(_path, {}, [&](const CsvRecord& record) {
        if (record.number < number) return;
        position = record.PositionOf(column);
        throw Found();
      });
    } catch (const Found&) {
    }
    return position;
  }

  const std::string& _path;
  // Set by the reading thread before the first batch.
  const CsvRecord* _header = nullptr;  // while the header is handed over
  std::vector<std::string> _names;     // the column names
  // The counting thread's: the number of the record being counted.
  std::uint64_t _record = 0;
};

// The rows of a DataTable; errors name the table and the row and column.
class TableRows : public RowSource {
 public:
  explicit TableRows(const DataTable& table)
      : _table(table), _rows(table.columns.empty() ? 0 : table.columns[0].codes.size()) {}

  void Read(Tabulation& tabulation) {
    Check();
    std::vector<std::string> names;
    for (const DataColumn& column : _table.columns)
      names.push_back(column.name);
    tabulation.Header(names);
    // Per coded column, the dictionary code of each of the table's codes
    // plus one, so that -1, the empty field, maps too.
    const std::vector<std::size_t>& columns = tabulation.CodedColumns();
    std::vector<std::vector<std::uint32_t>> recode(columns.size());
    for (std::size_t i = 0; i < columns.size(); ++i) {
      FieldDictionary& dictionary = tabulation.Dictionary(i);
      recode[i].push_back(dictionary.Code(""));
      for (const std::string& field : _table.columns[columns[i]].dictionary)
        recode[i].push_back(dictionary.Code(field));
    }
    std::vector<std::uint32_t> codes(columns.size());
    for (_row = 0; _row < _rows; ++_row) {
      for (std::size_t i = 0; i < columns.size(); ++i)
        codes[i] = recode[i][static_cast<std::size_t>(Code(columns[i]) + 1)];
      tabulation.Row(codes.data(), tabulation.LeftOut(codes.data()),
                     Field(tabulation.WeightColumn()), Field(tabulation.ValueColumn()));
    }
  }

  const std::string& Name() const override { return _table.name; }

  InputError Error(const std::string& what) const override {
    return internal::Error(_table.name, what);
  }

  InputError HeaderError(std::size_t column, const std::string& what) const override {
    return InputError(_table.name + ": " + what, 0, column + 1);
  }

  InputError NumberError(std::size_t column, std::string_view field,
                         const char* problem) const override {
    return RowError(_row, column, Quoted(std::string(field)) + " " + problem);
  }

 private:
  // "NAME: row R, column "C": what" about the row numbered row from 0.
  InputError RowError(std::size_t row, std::size_t column, const std::string& what) const {
    return InputError(_table.name + ": row " + std::to_string(row + 1) + ", column " +
                          Quoted(_table.columns[column].name) + ": " + what,
                      row + 1, column + 1);
  }

  std::int32_t Code(std::size_t column) const { return _table.columns[column].codes[_row]; }

  // The field of column in the current row, or nothing for column -1.
  std::string_view Field(int column) const {
    if (column < 0) return {};
    const std::int32_t code = Code(static_cast<std::size_t>(column));
    if (code < 0) return {};
    return _table.columns[static_cast<std::size_t>(column)]
        .dictionary[static_cast<std::size_t>(code)];
  }

  // What a CSV reader would reject, in the order of the header comment of
  // BuildCrosstab.
  void Check() const {
    for (const DataColumn& column : _table.columns) {
      if (column.codes.size() != _rows)
        throw Error("column " + Quoted(column.name) + " has " +
                    std::to_string(column.codes.size()) + " rows; column " +
                    Quoted(_table.columns[0].name) + " has " + std::to_string(_rows));
    }
    for (std::size_t c = 0; c < _table.columns.size(); ++c) {
      const std::string& name = _table.columns[c].name;
      if (!internal::IsUtf8(name.data(), name.size()))
        throw InputError(
            _table.name + ": the name of column " + std::to_string(c + 1) + " is not valid UTF-8",
            0, c + 1);
    }
    for (std::size_t c = 0; c < _table.columns.size(); ++c)
      CheckCodes(c);
  }

  // Every code of column c names a field of its dictionary, and every field
  // a row names is UTF-8.
  void CheckCodes(std::size_t c) const {
    const DataColumn& column = _table.columns[c];
    const auto size = static_cast<std::int64_t>(column.dictionary.size());
    std::vector<bool> utf8;
    for (const std::string& field : column.dictionary)
      utf8.push_back(internal::IsUtf8(field.data(), field.size()));
    for (std::size_t row = 0; row < _rows; ++row) {
      const std::int32_t code = column.codes[row];
      if (code < -1 || code >= size)
        throw RowError(row, c,
                       "code " + std::to_string(code) + " is not in the dictionary of " +
                           std::to_string(size) + " fields");
      if (code >= 0 && !utf8[static_cast<std::size_t>(code)])
        throw RowError(row, c, "field is not valid UTF-8");
    }
  }

  const DataTable& _table;
  const std::size_t _rows;
  std::size_t _row = 0;  // the row being handed over
};

}  // namespace

void CheckRequest(const Request& request) {
  CheckRequestOf(request, request.path);
}

std::unique_ptr<OmOutputTree> BuildCrosstab(const Request& request, const Progress& progress) {
  CheckRequest(request);
  CsvRows rows(request.path);
  Tabulation tabulation(request, rows);
  rows.Read(tabulation, progress);
  return tabulation.Document();
}

std::unique_ptr<OmOutputTree> BuildCrosstab(const Request& request, const DataTable& table) {
  CheckRequestOf(request, table.name);
  TableRows rows(table);
  Tabulation tabulation(request, rows);
  rows.Read(tabulation);
  return tabulation.Document();
}

}  // namespace omcrosstab
