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

}  // namespace omrender
