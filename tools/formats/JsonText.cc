#include "JsonText.h"

#include "TextWidth.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <ostream>
#include <system_error>

namespace omdoc::internal {

namespace {

// Bytes gathered before the buffer goes to the stream.
constexpr std::size_t kBufferSize = 1 << 16;

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// The value of a base64 character, or -1.
int Sextet(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

// The shortest form of value (double or float) that reads back as it, with
// ".0" added where it would otherwise read as an integer.
template <typename Number>
std::string Shortest(Number value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value < 0 ? "-inf" : "inf";
  std::array<char, 64> digits;
  const std::to_chars_result result =
      std::to_chars(digits.data(), digits.data() + digits.size(), value);
  std::string text(digits.data(), result.ptr);
  if (text.find_first_of(".e") == std::string::npos) text += ".0";
  return text;
}

}  // namespace

JsonWriter::JsonWriter(std::ostream& out) : _out(out) {
  _buffer.reserve(kBufferSize);
}

JsonWriter::~JsonWriter() = default;

void JsonWriter::BeginObject(bool oneLine) {
  Begin('{', oneLine);
}

void JsonWriter::EndObject() {
  End('}');
}

void JsonWriter::BeginArray(bool oneLine) {
  Begin('[', oneLine);
}

void JsonWriter::EndArray() {
  End(']');
}

void JsonWriter::Begin(char bracket, bool oneLine) {
  BeforeValue();
  Raw(std::string_view(&bracket, 1));
  ++_depth;
  _empty = true;
  if (oneLine && _oneLineFrom == 0) _oneLineFrom = _depth;
}

void JsonWriter::End(char bracket) {
  if (!_empty && !InOneLine()) {
    Raw("\n");
    Indent(_depth - 1);
  }
  --_depth;
  Raw(std::string_view(&bracket, 1));
  _empty = false;
  if (_depth < _oneLineFrom) _oneLineFrom = 0;
}

void JsonWriter::Key(std::string_view key) {
  BeforeValue();
  Raw("\"");
  Raw(key);
  Raw("\": ");
  _afterKey = true;
}

void JsonWriter::String(std::string_view text) {
  BeforeValue();
  Raw("\"");
  Raw(EscapeJson(text));
  Raw("\"");
}

void JsonWriter::Bytes(std::string_view bytes) {
  if (IsUtf8(bytes)) {
    String(bytes);
    return;
  }
  BeginObject();
  Key("base64");
  Base64(bytes);
  EndObject();
}

void JsonWriter::Base64(std::string_view bytes) {
  String(EncodeBase64(bytes));
}

void JsonWriter::Integer(std::int64_t value) {
  BeforeValue();
  Raw(std::to_string(value));
}

void JsonWriter::Unsigned(std::uint64_t value) {
  BeforeValue();
  Raw(std::to_string(value));
}

void JsonWriter::Bool(bool value) {
  BeforeValue();
  Raw(value ? "true" : "false");
}

void JsonWriter::Null() {
  BeforeValue();
  Raw("null");
}

void JsonWriter::Double(double value) {
  if (!std::isfinite(value)) {
    String(FormatDouble(value));
    return;
  }
  BeforeValue();
  Raw(FormatDouble(value));
}

void JsonWriter::Float(float value) {
  if (!std::isfinite(value)) {
    String(FormatFloat(value));
    return;
  }
  BeforeValue();
  Raw(FormatFloat(value));
}

void JsonWriter::Finish() {
  Raw("\n");
  Flush();
}

void JsonWriter::BeforeValue() {
  if (_afterKey) {
    _afterKey = false;
    return;
  }
  if (_depth == 0) return;
  if (InOneLine()) {
    if (!_empty) Raw(", ");
    _empty = false;
    return;
  }
  Raw(_empty ? "\n" : ",\n");
  Indent(_depth);
  _empty = false;
}

void JsonWriter::Indent(std::size_t levels) {
  _buffer.append(2 * std::min(levels, kMaxIndentLevels), ' ');
}

void JsonWriter::Raw(std::string_view text) {
  _buffer.append(text);
  if (_buffer.size() >= kBufferSize) Flush();
}

void JsonWriter::Flush() {
  _out.write(_buffer.data(), static_cast<std::streamsize>(_buffer.size()));
  _buffer.clear();
}

bool IsUtf8(std::string_view bytes) {
  for (std::size_t i = 0; i < bytes.size();) {
    const std::size_t length = omrender::Utf8SequenceLength(bytes, i);
    if (length == 0) return false;
    i += length;
  }
  return true;
}

std::string EscapeJson(std::string_view text) {
  std::string escaped;
  escaped.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '"':
        escaped += "\\\"";
        break;
      case '\\':
        escaped += "\\\\";
        break;
      case '\b':
        escaped += "\\b";
        break;
      case '\f':
        escaped += "\\f";
        break;
      case '\n':
        escaped += "\\n";
        break;
      case '\r':
        escaped += "\\r";
        break;
      case '\t':
        escaped += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          static constexpr char kHex[] = "0123456789abcdef";
          escaped += "\\u00";
          escaped += kHex[(c >> 4) & 0xF];
          escaped += kHex[c & 0xF];
        } else {
          escaped += c;
        }
    }
  }
  return escaped;
}

std::string EncodeBase64(std::string_view bytes) {
  std::string text;
  text.reserve((bytes.size() + 2) / 3 * 4);
  for (std::size_t i = 0; i < bytes.size(); i += 3) {
    const std::size_t count = std::min<std::size_t>(3, bytes.size() - i);
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 3; ++k) {
      const std::uint32_t byte = k < count ? static_cast<unsigned char>(bytes[i + k]) : 0;
      group = (group << 8) | byte;
    }
    for (std::size_t k = 0; k < 4; ++k)
      text += k <= count ? kAlphabet[(group >> (18 - 6 * k)) & 0x3F] : '=';
  }
  return text;
}

std::optional<std::string> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    std::size_t padding = 0;
    while (last && padding < 2 && text[i + 3 - padding] == '=')
      ++padding;
    std::uint32_t group = 0;
    for (std::size_t k = 0; k < 4 - padding; ++k) {
      const int sextet = Sextet(text[i + k]);
      if (sextet < 0) return std::nullopt;
      group |= static_cast<std::uint32_t>(sextet) << (18 - 6 * k);
    }
    const std::size_t count = 3 - padding;
    // The bits that no byte takes must be zero.
    if ((group & ((1u << (8 * padding)) - 1)) != 0) return std::nullopt;
    for (std::size_t k = 0; k < count; ++k)
      bytes += static_cast<char>((group >> (16 - 8 * k)) & 0xFF);
  }
  return bytes;
}

std::string FormatDouble(double value) {
  return Shortest(value);
}

std::string FormatFloat(float value) {
  return Shortest(value);
}

}  // namespace omdoc::internal
