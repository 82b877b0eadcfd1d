// Internal to the document library: the pieces of JSON text that Save writes
// and Load reads apart from any document, namely a streaming pretty-printer,
// base64, the UTF-8 check that decides how a byte string is written, and the
// shortest exact form of a number.

#ifndef OMTREE_TOOLS_FORMATS_JSONTEXT_H_
#define OMTREE_TOOLS_FORMATS_JSONTEXT_H_

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

namespace omdoc::internal {

// Nesting levels past which the text is indented no further, so that the
// text of a deep document stays proportional to its size.
constexpr std::size_t kMaxIndentLevels = 32;

// Writes one JSON value as it is described, call by call, to a stream: one
// value per line (except inside containers begun on one line), two spaces of indent per level up to
// kMaxIndentLevels, "key": value in objects, empty objects and arrays as {} and []: below that
// depth, the layout of nlohmann's dump(2) for the same value. Output goes through a buffer of a few
// kilobytes; Finish() writes the final newline and flushes it. The caller keeps to JSON's grammar:
// a Key() before each value in an object, none in an array, every Begin closed by its End.
class JsonWriter {
 public:
  explicit JsonWriter(std::ostream& out);
  ~JsonWriter();

  JsonWriter(const JsonWriter&) = delete;
  JsonWriter& operator=(const JsonWriter&) = delete;

  // A container begun with oneLine holds everything inside it, nested
  // containers too, on one line: "{"a": [1, 2]}", items joined by ", ".
  void BeginObject(bool oneLine = false);
  void EndObject();
  void BeginArray(bool oneLine = false);
  void EndArray();
  // key is plain ASCII without characters that need escaping.
  void Key(std::string_view key);

  // A JSON string. REQUIRES: IsUtf8(text).
  void String(std::string_view text);
  // bytes as a JSON string when they are valid UTF-8, else as
  // {"base64": "..."} of the exact bytes.
  void Bytes(std::string_view bytes);
  // bytes always as a base64 JSON string.
  void Base64(std::string_view bytes);
  void Integer(std::int64_t value);
  void Unsigned(std::uint64_t value);
  void Bool(bool value);
  void Null();
  // The shortest form that reads back as value (with ".0" when it would
  // read as an integer); "nan", "inf" and "-inf" as strings.
  void Double(double value);
  void Float(float value);

  void Finish();

 private:
  void Begin(char bracket, bool oneLine);
  void End(char bracket);
  // Whether the innermost open container is written on one line.
  bool InOneLine() const { return _oneLineFrom != 0 && _depth >= _oneLineFrom; }
  // Separates the next value or key from what came before it.
  void BeforeValue();
  void Indent(std::size_t levels);
  void Raw(std::string_view text);
  void Flush();

  std::ostream& _out;
  std::string _buffer;
  std::size_t _depth = 0;
  // Nothing written yet in the innermost open container.
  bool _empty = false;
  // A key was written and waits for its value.
  bool _afterKey = false;
  // The depth of the outermost open container written on one line, or 0.
  std::size_t _oneLineFrom = 0;
};

// Whether bytes are well-formed UTF-8: shortest forms of U+0000 to U+10FFFF,
// no surrogates.
bool IsUtf8(std::string_view bytes);

// text as the body of a JSON string (without the quotes), escaped as
// nlohmann's dump escapes: quote, backslash and control characters.
std::string EscapeJson(std::string_view text);

std::string EncodeBase64(std::string_view bytes);
// The bytes of a base64 text in the standard alphabet with padding, or
// nothing when text is not one: a length that is not a multiple of 4, a
// character outside the alphabet, padding before the end, or bits left over
// that are not zero (so that each byte string has exactly one text).
std::optional<std::string> DecodeBase64(std::string_view text);

// The shortest form that reads back as value, as JsonWriter::Double writes
// it; "nan", "inf" or "-inf" for the values JSON has no number for.
std::string FormatDouble(double value);
std::string FormatFloat(float value);

}  // namespace omdoc::internal

#endif  // OMTREE_TOOLS_FORMATS_JSONTEXT_H_
