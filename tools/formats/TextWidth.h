// Display width of UTF-8 text in a terminal, for laying out columns: wide
// (East Asian) characters take two cells, combining marks none. Bytes that
// are not valid UTF-8 count one cell each.

#ifndef OMTREE_TOOLS_FORMATS_TEXTWIDTH_H_
#define OMTREE_TOOLS_FORMATS_TEXTWIDTH_H_

#include <cstddef>
#include <string>
#include <string_view>

namespace omrender {

std::size_t DisplayWidth(const std::string& text);

// text padded with spaces to width cells: on the right (left-aligned), on
// the left (right-aligned) or on both sides (centred, the odd space right).
enum class Align { kLeft, kRight, kCenter };
std::string Pad(const std::string& text, std::size_t width, Align align);

// The length of the UTF-8 sequence that starts at text[i], or 0 when the
// bytes there are not one (overlong forms, surrogates and code points past
// U+10FFFF included). REQUIRES: i < text.size().
std::size_t Utf8SequenceLength(std::string_view text, std::size_t i);

}  // namespace omrender

#endif  // OMTREE_TOOLS_FORMATS_TEXTWIDTH_H_
