#include "Tape.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>

#include <nlohmann/json.hpp>

#include "Document.h"
#include "JsonText.h"

namespace omdoc::internal {

namespace {

// A pointer into the text that records, in a counter it shares with its
// copies, how far the parser has read: nlohmann's iterator input steps it
// once per character it takes. Only what the parser's input adapter uses.
class CountingIterator {
 public:
  using iterator_category = std::input_iterator_tag;
  using value_type = char;
  using difference_type = std::ptrdiff_t;
  using pointer = const char*;
  using reference = const char&;

  CountingIterator(const char* begin, const char* at, std::size_t* consumed)
      : _begin(begin), _at(at), _consumed(consumed) {}

  reference operator*() const { return *_at; }
  CountingIterator& operator++() {
    ++_at;
    *_consumed = static_cast<std::size_t>(_at - _begin);
    return *this;
  }
  bool operator==(const CountingIterator& other) const { return _at == other._at; }
  bool operator!=(const CountingIterator& other) const { return _at != other._at; }

 private:
  const char* _begin;
  const char* _at;
  std::size_t* _consumed;
};

bool IsSeparator(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == ',' || c == ':';
}

// RFC 6901: "~" becomes "~0" and "/" becomes "~1".
std::string EscapePointer(std::string_view key) {
  std::string escaped;
  for (char c : key) {
    if (c == '~') {
      escaped += "~0";
    } else if (c == '/') {
      escaped += "~1";
    } else {
      escaped += c;
    }
  }
  return escaped;
}

// What nlohmann says went wrong, without its exception id and position.
std::string ParserComplaint(const std::string& what) {
  std::string text = what;
  if (text.rfind("[json.exception.", 0) == 0) text.erase(0, text.find("] ") + 2);
  if (text.rfind("parse error", 0) == 0) {
    const std::size_t colon = text.find(": ");
    if (colon != std::string::npos) text.erase(0, colon + 2);
  }
  return text;
}

std::string Quoted(std::string_view text) {
  return "\"" + EscapeJson(text) + "\"";
}

}  // namespace

// Builds the tape from nlohmann's SAX events. Each value's start is found by
// skipping whitespace, commas and colons from where the token before it
// ended; an end token is the last character read. The parser reads one
// character past a number, which only ever moves that scan past a
// separator or onto the end token that follows.
class Recorder {
 public:
  using number_integer_t = std::int64_t;
  using number_unsigned_t = std::uint64_t;
  using number_float_t = double;
  using string_t = std::string;
  using binary_t = nlohmann::json::binary_t;

  Recorder(Tape& tape, const std::size_t& consumed, std::size_t start)
      : _tape(tape), _consumed(consumed), _scan(start) {}

  bool null() { return Add(Tape::Type::kNull, 0); }
  bool boolean(bool value) {
    Add(Tape::Type::kBool, 0);
    _tape._tokens.back().boolean = value;
    return true;
  }
  bool number_integer(std::int64_t value) {
    return Add(value < 0 ? Tape::Type::kInteger : Tape::Type::kUnsigned,
               static_cast<std::uint64_t>(value));
  }
  bool number_unsigned(std::uint64_t value) { return Add(Tape::Type::kUnsigned, value); }
  bool number_float(double value, const std::string&) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return Add(Tape::Type::kFloat, bits);
  }
  bool string(std::string& text) { return AddText(Tape::Type::kString, text); }
  bool key(std::string& text) { return AddText(Tape::Type::kKey, text); }
  bool binary(binary_t&) { return false; }  // never delivered for JSON text
  bool start_object(std::size_t) { return Open(Tape::Type::kBeginObject); }
  bool end_object() { return Close(Tape::Type::kEndObject); }
  bool start_array(std::size_t) { return Open(Tape::Type::kBeginArray); }
  bool end_array() { return Close(Tape::Type::kEndArray); }

  bool parse_error(std::size_t position, const std::string&,
                   const nlohmann::detail::exception& error) {
    _errorOffset = std::min<std::uint64_t>(position == 0 ? 0 : position - 1, _tape._text.size());
    _error = ParserComplaint(error.what());
    return false;
  }

  const std::string& error() const { return _error; }
  std::uint64_t errorOffset() const { return _errorOffset; }

 private:
  std::uint64_t Start() {
    const std::string_view text = _tape._text;
    while (_scan < text.size() && IsSeparator(text[_scan]))
      ++_scan;
    const std::uint64_t start = _scan;
    _scan = _consumed;
    return start;
  }

  bool Add(Tape::Type type, std::uint64_t value) {
    _tape._tokens.push_back({type, false, Start(), value, 0});
    return true;
  }

  bool AddText(Tape::Type type, const std::string& text) {
    Add(type, _tape._strings.size());
    _tape._tokens.back().length = text.size();
    _tape._strings += text;
    return true;
  }

  bool Open(Tape::Type type) {
    _open.push_back(_tape._tokens.size());
    return Add(type, 0);
  }

  bool Close(Tape::Type type) {
    const std::size_t begin = _open.back();
    _open.pop_back();
    const std::size_t end = _tape._tokens.size();
    _tape._tokens.push_back({type, false, _consumed - 1, begin, 0});
    _tape._tokens[begin].value = end;
    _scan = _consumed;
    return true;
  }

  Tape& _tape;
  const std::size_t& _consumed;
  std::uint64_t _scan;
  std::vector<std::size_t> _open;  // begin tokens of the open containers
  std::string _error;
  std::uint64_t _errorOffset = 0;
};

Tape::Tape(std::string_view text, std::string name) : _text(text), _name(std::move(name)) {
  // The parser skips a byte order mark at the start.
  const std::size_t start = text.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
  std::size_t consumed = 0;
  Recorder recorder(*this, consumed, start);
  const CountingIterator first(text.data(), text.data(), &consumed);
  const CountingIterator last(text.data(), text.data() + text.size(), &consumed);
  if (!nlohmann::json::sax_parse(first, last, &recorder)) {
    FailAt(recorder.errorOffset(), recorder.error(), "");
  }
}

std::size_t Tape::Next(std::size_t token) const {
  const Type t = type(token);
  if (t == Type::kBeginObject || t == Type::kBeginArray) return _tokens[token].value + 1;
  return token + 1;
}

std::string_view Tape::Text(std::size_t token) const {
  return std::string_view(_strings).substr(_tokens[token].value, _tokens[token].length);
}

std::int64_t Tape::IntegerValue(std::size_t token) const {
  return static_cast<std::int64_t>(_tokens[token].value);
}

std::uint64_t Tape::UnsignedValue(std::size_t token) const {
  return _tokens[token].value;
}

double Tape::FloatValue(std::size_t token) const {
  double value;
  std::memcpy(&value, &_tokens[token].value, sizeof value);
  return value;
}

bool Tape::BoolValue(std::size_t token) const {
  return _tokens[token].boolean;
}

void Tape::Fail(std::size_t token, const std::string& what) const {
  FailAt(_tokens[token].offset, what, PointerOf(token));
}

void Tape::FailAt(std::uint64_t offset, const std::string& what, const std::string& pointer) const {
  std::uint64_t line;
  std::uint64_t column;
  Locate(offset, line, column);
  std::string message =
      _name + ":" + std::to_string(line) + ":" + std::to_string(column) + ": " + what;
  if (!pointer.empty()) message += " (at " + pointer + ")";
  throw LoadError(message, line, column, pointer);
}

void Tape::Locate(std::uint64_t offset, std::uint64_t& line, std::uint64_t& column) const {
  line = 1;
  column = 1;
  for (std::uint64_t i = 0; i < offset && i < _text.size(); ++i) {
    const char c = _text[i];
    if (c == '\n' || (c == '\r' && (i + 1 == _text.size() || _text[i + 1] != '\n'))) {
      ++line;
      column = 1;
    } else if (c != '\r' && (static_cast<unsigned char>(c) & 0xC0) != 0x80) {
      ++column;
    }
  }
}

std::string Tape::PointerOf(std::size_t token) const {
  std::string pointer;
  std::size_t at = 0;  // the value being narrowed down, which holds token
  while (at != token && _tokens[at].value != token) {
    const bool object = type(at) == Type::kBeginObject;
    std::size_t member = at + 1;
    for (std::size_t n = 0;; ++n) {
      const std::size_t value = object ? member + 1 : member;
      const std::size_t next = Next(value);
      if (token < next) {
        pointer += '/';
        pointer += object ? EscapePointer(Text(member)) : std::to_string(n);
        if (token == member) return pointer;  // the key of the member
        at = value;
        break;
      }
      member = next;
    }
  }
  return pointer;
}

const char* Tape::Describe(std::size_t token) const {
  switch (type(token)) {
    case Type::kBeginObject:
      return "an object";
    case Type::kBeginArray:
      return "an array";
    case Type::kString:
      return "a string";
    case Type::kInteger:
    case Type::kUnsigned:
      return "an integer";
    case Type::kFloat:
      return "a number";
    case Type::kBool:
      return BoolValue(token) ? "true" : "false";
    case Type::kNull:
      return "null";
    default:
      return "a key";
  }
}

void Tape::ExpectObject(std::size_t token) const {
  if (type(token) != Type::kBeginObject) {
    Fail(token, std::string("expected an object, found ") + Describe(token));
  }
}

void Tape::ExpectArray(std::size_t token) const {
  if (type(token) != Type::kBeginArray) {
    Fail(token, std::string("expected an array, found ") + Describe(token));
  }
}

bool Tape::Bool(std::size_t token) const {
  if (type(token) != Type::kBool) {
    Fail(token, std::string("expected true or false, found ") + Describe(token));
  }
  return BoolValue(token);
}

std::int64_t Tape::Integer(std::size_t token, std::int64_t low, std::int64_t high) const {
  const Type t = type(token);
  if (t != Type::kInteger && t != Type::kUnsigned) {
    Fail(token, std::string("expected an integer, found ") + Describe(token));
  }
  const bool negative = t == Type::kInteger;
  const std::int64_t value = IntegerValue(token);
  const bool inRange =
      negative ? value >= low
               : UnsignedValue(token) <= static_cast<std::uint64_t>(high) && value >= low;
  if (!inRange) {
    const std::string shown =
        negative ? std::to_string(value) : std::to_string(UnsignedValue(token));
    Fail(token,
         shown + " is out of range (" + std::to_string(low) + " to " + std::to_string(high) + ")");
  }
  return value;
}

std::uint64_t Tape::Unsigned(std::size_t token, std::uint64_t high) const {
  const Type t = type(token);
  if (t != Type::kInteger && t != Type::kUnsigned) {
    Fail(token, std::string("expected an integer, found ") + Describe(token));
  }
  if (t == Type::kInteger || UnsignedValue(token) > high) {
    const std::string shown = t == Type::kInteger ? std::to_string(IntegerValue(token))
                                                  : std::to_string(UnsignedValue(token));
    Fail(token, shown + " is out of range (0 to " + std::to_string(high) + ")");
  }
  return UnsignedValue(token);
}

double Tape::Number(std::size_t token) const {
  switch (type(token)) {
    case Type::kInteger:
      return static_cast<double>(IntegerValue(token));
    case Type::kUnsigned:
      return static_cast<double>(UnsignedValue(token));
    case Type::kFloat:
      return FloatValue(token);
    case Type::kString: {
      const std::string_view text = Text(token);
      if (text == "nan") return std::numeric_limits<double>::quiet_NaN();
      if (text == "inf") return std::numeric_limits<double>::infinity();
      if (text == "-inf") return -std::numeric_limits<double>::infinity();
      Fail(token, "expected a number, \"nan\", \"inf\" or \"-inf\", found " + Quoted(text));
    }
    default:
      Fail(token, std::string("expected a number, found ") + Describe(token));
  }
}

std::string Tape::Bytes(std::size_t token) const {
  if (type(token) == Type::kString) return std::string(Text(token));
  if (type(token) != Type::kBeginObject) {
    Fail(token, std::string("expected a string or {\"base64\": ...}, found ") + Describe(token));
  }
  const Members members(*this, token, {"base64"});
  return Base64(members.Required("base64"));
}

std::string Tape::Base64(std::size_t token) const {
  std::optional<std::string> bytes = DecodeBase64(String(token));
  if (!bytes) Fail(token, "invalid base64");
  return std::move(*bytes);
}

std::string_view Tape::String(std::size_t token) const {
  if (type(token) != Type::kString) {
    Fail(token, std::string("expected a string, found ") + Describe(token));
  }
  return Text(token);
}

Tape::Elements::Elements(const Tape& tape, std::size_t array)
    : _tape(tape), _first(array + 1), _end(array + 1) {
  tape.ExpectArray(array);
  _end = tape._tokens[array].value;
}

std::size_t Tape::Elements::size() const {
  std::size_t count = 0;
  for (std::size_t token = _first; token != _end; token = _tape.Next(token))
    ++count;
  return count;
}

Members::Members(const Tape& tape, std::size_t object, std::initializer_list<std::string_view> keys)
    : _tape(tape), _object(object), _keys(keys), _values(keys.size(), kAbsent) {
  Read();
}

Members::Members(const Tape& tape, std::size_t object, const std::vector<std::string_view>& keys)
    : _tape(tape), _object(object), _keys(keys), _values(keys.size(), kAbsent) {
  Read();
}

void Members::Read() {
  _tape.ExpectObject(_object);
  const std::size_t end = _tape.Next(_object) - 1;
  for (std::size_t key = _object + 1; key != end; key = _tape.Next(key + 1)) {
    const std::string_view name = _tape.Text(key);
    const auto known = std::find(_keys.begin(), _keys.end(), name);
    if (known == _keys.end()) _tape.Fail(key, "unknown key " + Quoted(name));
    std::size_t& value = _values[static_cast<std::size_t>(known - _keys.begin())];
    if (value != kAbsent) _tape.Fail(key, "duplicate key " + Quoted(name));
    value = key + 1;
  }
}

std::size_t Members::Find(std::string_view key) const {
  const auto known = std::find(_keys.begin(), _keys.end(), key);
  return known == _keys.end() ? kAbsent : _values[static_cast<std::size_t>(known - _keys.begin())];
}

std::size_t Members::Required(std::string_view key) const {
  const std::size_t value = Find(key);
  if (value == kAbsent) _tape.Fail(_object, "missing " + Quoted(key));
  return value;
}

std::size_t FindMember(const Tape& tape, std::size_t object, std::string_view key) {
  tape.ExpectObject(object);
  const std::size_t end = tape.Next(object) - 1;
  for (std::size_t member = object + 1; member != end; member = tape.Next(member + 1)) {
    if (tape.Text(member) == key) return member + 1;
  }
  return Members::kAbsent;
}

}  // namespace omdoc::internal
