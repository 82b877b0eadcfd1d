#include "TextWidth.h"

#include <utf8proc.h>

namespace omrender {

std::size_t DisplayWidth(const std::string& text) {
  std::size_t width = 0;
  const auto* bytes = reinterpret_cast<const utf8proc_uint8_t*>(text.data());
  utf8proc_ssize_t rest = static_cast<utf8proc_ssize_t>(text.size());
  while (rest > 0) {
    utf8proc_int32_t codePoint;
    const utf8proc_ssize_t length = utf8proc_iterate(bytes, rest, &codePoint);
    if (length <= 0) {
      ++width;
      ++bytes;
      --rest;
      continue;
    }
    const int cells = utf8proc_charwidth(codePoint);
    width += static_cast<std::size_t>(cells > 0 ? cells : 0);
    bytes += length;
    rest -= length;
  }
  return width;
}

std::string Pad(const std::string& text, std::size_t width, Align align) {
  const std::size_t used = DisplayWidth(text);
  if (used >= width) return text;
  const std::size_t spare = width - used;
  switch (align) {
    case Align::kLeft:
      return text + std::string(spare, ' ');
    case Align::kRight:
      return std::string(spare, ' ') + text;
    case Align::kCenter:
      return std::string(spare / 2, ' ') + text + std::string(spare - spare / 2, ' ');
  }
  return text;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t i) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) return 1;
  std::size_t length;
  unsigned char low = 0x80;
  unsigned char high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  if (byte(i + 1) < low || byte(i + 1) > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (byte(i + k) < 0x80 || byte(i + k) > 0xBF) return 0;
  }
  return length;
}

}  // namespace omrender
