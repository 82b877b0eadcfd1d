// Internal to the document library: a JSON text read once, with nlohmann's
// SAX parser, into a flat tape of tokens that the document builders then
// walk by index. The tape is what lets the reader look at a value more than
// once and in any order without a tree of values, without recursion on the
// depth of the input, and with memory in proportion to the text.
//
// Tokens stand in document order: an object is its begin token, then per
// member a key token followed by the tokens of the value, then its end
// token; an array alike without keys. A begin token knows the index of its
// end token, so a value is skipped in one step.
//
// Every token keeps the byte offset where it starts in the text. Line and
// column (characters, that is UTF-8 sequences, counted from 1) and the JSON
// pointer of a value are worked out only when a message needs them. The
// tape keeps a view of the text: the text must outlive it.
//
// Failures are reported as omdoc::LoadError through Fail, never as
// anything else; a tape is used from one thread at a time.

#ifndef OMTREE_TOOLS_INPUTS_TAPE_H_
#define OMTREE_TOOLS_INPUTS_TAPE_H_

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace omdoc::internal {

class Tape {
 public:
  enum class Type : std::uint8_t {
    kBeginObject,
    kEndObject,
    kBeginArray,
    kEndArray,
    kKey,
    kString,
    kInteger,   // a negative integer
    kUnsigned,  // a non-negative integer
    kFloat,     // a number with a fraction or an exponent
    kBool,
    kNull,
  };

  // Reads text. name stands for the text in messages. Throws LoadError on a
  // syntax error, positioned where the parser stopped, without a pointer.
  Tape(std::string_view text, std::string name);

  Tape(const Tape&) = delete;
  Tape& operator=(const Tape&) = delete;

  // Index 0 is the top value.
  Type type(std::size_t token) const { return _tokens[token].type; }
  // The index after the value that starts at token.
  std::size_t Next(std::size_t token) const;

  // The text of a key or string token.
  std::string_view Text(std::size_t token) const;
  std::int64_t IntegerValue(std::size_t token) const;
  std::uint64_t UnsignedValue(std::size_t token) const;
  double FloatValue(std::size_t token) const;
  bool BoolValue(std::size_t token) const;

  // Throws LoadError: "NAME:LINE:COLUMN: what (at POINTER)", at the start of
  // token and with the pointer of the value it starts (of the member's
  // value, for a key).
  [[noreturn]] void Fail(std::size_t token, const std::string& what) const;

  // What the value at token is, for messages: "an object", "a string", ...
  const char* Describe(std::size_t token) const;

  // Checked reading of one value; each fails with "expected ..., found ..."
  // or, for a number outside [low, high], "N is out of range (low to high)".
  void ExpectObject(std::size_t token) const;
  void ExpectArray(std::size_t token) const;
  bool Bool(std::size_t token) const;
  std::int64_t Integer(std::size_t token, std::int64_t low, std::int64_t high) const;
  std::uint64_t Unsigned(std::size_t token, std::uint64_t high) const;
  // A number, or one of the strings "nan", "inf" and "-inf".
  double Number(std::size_t token) const;
  // A JSON string, or {"base64": "..."}.
  std::string Bytes(std::size_t token) const;
  // A base64 JSON string.
  std::string Base64(std::size_t token) const;
  // A JSON string.
  std::string_view String(std::size_t token) const;

  // The elements of the array at token, which ExpectArray checks.
  class Elements {
   public:
    class Iterator {
     public:
      Iterator(const Tape& tape, std::size_t token) : _tape(tape), _token(token) {}
      std::size_t operator*() const { return _token; }
      Iterator& operator++() {
        _token = _tape.Next(_token);
        return *this;
      }
      bool operator!=(const Iterator& other) const { return _token != other._token; }

     private:
      const Tape& _tape;
      std::size_t _token;
    };

    Elements(const Tape& tape, std::size_t array);
    Iterator begin() const { return Iterator(_tape, _first); }
    Iterator end() const { return Iterator(_tape, _end); }
    std::size_t size() const;
    bool empty() const { return _first == _end; }

   private:
    const Tape& _tape;
    std::size_t _first;
    std::size_t _end;
  };
  Elements Array(std::size_t token) const { return Elements(*this, token); }

 private:
  friend class Recorder;

  struct Token {
    Type type;
    bool boolean;
    std::uint64_t offset;  // where the token starts in the text
    // Begin and end tokens: the index of the other one. Keys and strings:
    // where their text starts in _strings. Numbers: their bits.
    std::uint64_t value;
    // Keys and strings: the length of their text.
    std::uint64_t length;
  };

  // Line and column of a byte offset, and the JSON pointer of the value at
  // token.
  void Locate(std::uint64_t offset, std::uint64_t& line, std::uint64_t& column) const;
  std::string PointerOf(std::size_t token) const;
  [[noreturn]] void FailAt(std::uint64_t offset, const std::string& what,
                           const std::string& pointer) const;

  std::string_view _text;
  std::string _name;
  std::vector<Token> _tokens;
  std::string _strings;
};

// The members of one object, checked against the keys its kind allows: an
// unknown key or a key given twice fails at the key. Lookups name one of
// the allowed keys.
class Members {
 public:
  Members(const Tape& tape, std::size_t object, std::initializer_list<std::string_view> keys);
  Members(const Tape& tape, std::size_t object, const std::vector<std::string_view>& keys);

  std::size_t object() const { return _object; }
  bool Has(std::string_view key) const { return Find(key) != kAbsent; }
  // The value of key; fails at the object with "missing \"key\"" when it
  // is absent.
  std::size_t Required(std::string_view key) const;
  // The value of key, or kAbsent.
  std::size_t Optional(std::string_view key) const { return Find(key); }

  static constexpr std::size_t kAbsent = static_cast<std::size_t>(-1);

 private:
  void Read();
  std::size_t Find(std::string_view key) const;

  const Tape& _tape;
  std::size_t _object;
  std::vector<std::string_view> _keys;
  std::vector<std::size_t> _values;  // per allowed key
};

// The value of key in the object at object, looked up without checking the
// other keys, or Members::kAbsent; for the keys that decide which keys the
// object may hold (a kind, a version).
std::size_t FindMember(const Tape& tape, std::size_t object, std::string_view key);

}  // namespace omdoc::internal

#endif  // OMTREE_TOOLS_INPUTS_TAPE_H_
