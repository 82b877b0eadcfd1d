// Conversion from UTF-8 into a code page: exact output or an empty one with
// the reason, and a converter that stays usable after any call.
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "gtest/gtest.h"
#include "platdep/QARNMBConverter.h"

namespace {

using namespace std::string_literals;

using ConverterPtr = std::unique_ptr<QARNMBConverter, decltype(&QARNMBConverterDelete_A)>;

ConverterPtr MakeConverter(const char* codePage) {
  return ConverterPtr(QARNMBConverterNew_A(codePage), &QARNMBConverterDelete_A);
}

std::string Repeat(const std::string& piece, int times) {
  std::string repeated;
  for (int i = 0; i < times; ++i)
    repeated += piece;
  return repeated;
}

TEST(CodePageConversion, ConvertsExactlyOrFailsWithAnEmptyOutput) {
  const char* const kEuro = "\xE2\x82\xAC";
  // Code page, input, result, and what the output holds afterwards (empty on
  // failure).
  const std::vector<std::tuple<const char*, std::string, int, std::string>> conversions = {
      {"1252", kEuro, kQARNMBOk, "\x80"},
      {"ISO-8859-1", "Caf\xC3\xA9\0b\0"s, kQARNMBOk, "Caf\xE9\0b\0"s},
      // U+0061 U+00E9 U+20AC U+1D11E: two bytes each, and a surrogate pair.
      {"UTF-16LE", "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", kQARNMBOk,
       "a\0\xE9\0\xAC\x20\x34\xD8\x1E\xDD"s},
      // A stateful code page returns to its initial state at the end.
      {"ISO-2022-JP", "\xE6\x97\xA5", kQARNMBOk, "\x1B$BF|\x1B(B"},
      {"UTF-16LE", "", kQARNMBOk, ""},
      // 100,000 characters: UTF-32 needs more than twice the room of the
      // UTF-8 input, so the output buffer has to grow more than once.
      {"UTF-32LE", Repeat("abc\xE2\x82\xAC", 25000), kQARNMBOk,
       Repeat("a\0\0\0b\0\0\0c\0\0\0\xAC\x20\0\0"s, 25000)},
      // Every UTF-8 form at the edges of its range, each one accepted.
      {"UTF-32BE",
       "\x7F\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEF\xBF\xBF\xF0\x90\x80\x80\xF4\x8F\xBF\xBF",
       kQARNMBOk,
       "\0\0\0\x7F\0\0\0\x80\0\0\x07\xFF\0\0\x08\0\0\0\xD7\xFF\0\0\xFF\xFF\0\x01\0\0\0\x10\xFF\xFF"s},
      // Characters outside the code page, some after a prefix that converts.
      {"ISO-8859-1", "Caf\xC3\xA9 \xE2\x82\xAC", kQARNMBUnconvertible, ""},
      {"1252", "\xC4\x80", kQARNMBUnconvertible, ""},
      {"ISO-2022-JP", "\xE6\x97\xA5\xE2\x82\xAC", kQARNMBUnconvertible, ""},
      // Malformed UTF-8.
      {"UTF-16LE", "\x80", kQARNMBInvalidUtf8, ""},              // stray continuation byte
      {"UTF-16LE", "\xC1\xBF", kQARNMBInvalidUtf8, ""},          // overlong two-byte U+007F
      {"UTF-16LE", "\xE0\x9F\xBF", kQARNMBInvalidUtf8, ""},      // overlong three-byte U+07FF
      {"UTF-16LE", "\xF0\x8F\xBF\xBF", kQARNMBInvalidUtf8, ""},  // overlong four-byte U+FFFF
      {"UTF-16LE", "\xED\xA0\x80", kQARNMBInvalidUtf8, ""},      // surrogate U+D800
      {"UTF-16LE", "\xF4\x90\x80\x80", kQARNMBInvalidUtf8, ""},  // U+110000
      {"UTF-16LE", "\xF5\x80\x80\x80", kQARNMBInvalidUtf8, ""},  // lead byte beyond U+10FFFF
      {"UTF-16LE", "ok\xF0\x9D\x84", kQARNMBInvalidUtf8, ""},    // cut short after a good prefix
      {"UTF-16LE", "\xC3(", kQARNMBInvalidUtf8, ""},             // missing continuation byte
      {"UTF-16LE", "\xE2\x82(", kQARNMBInvalidUtf8, ""},         // missing last continuation
      {"UTF-16LE", "\xE2\x82\xC0", kQARNMBInvalidUtf8, ""},      // last byte past the continuations
      // No converter. "ASCII//TRANSLIT" would turn the euro sign into "EUR"
      // if iconv's transliteration were let through.
      {nullptr, kEuro, kQARNMBNoConverter, ""},
      {"", "", kQARNMBNoConverter, ""},
      {"no-such-code-page", kEuro, kQARNMBNoConverter, ""},
      {"ASCII//TRANSLIT", kEuro, kQARNMBNoConverter, ""},
  };
  for (const auto& [codePage, utf8, result, expected] : conversions) {
    SCOPED_TRACE(std::string(codePage == nullptr ? "null" : codePage) + " from \"" + utf8 + "\"");
    // Stale bytes show a conversion that appends instead of replacing.
    std::string out = "stale";
    EXPECT_EQ(QARNMBU8ToGeneric(MakeConverter(codePage).get(), out, utf8), result);
    EXPECT_EQ(out, expected);
  }
}

TEST(CodePageConversion, ConverterStaysUsableAfterAFailureAndOnItsOwnInput) {
  ConverterPtr latin1 = MakeConverter("ISO-8859-1");
  std::string text = "Caf\xC3\xA9";
  EXPECT_EQ(QARNMBU8ToGeneric(latin1.get(), text, text), kQARNMBOk) << "output is the input";
  EXPECT_EQ(text, "Caf\xE9");

  // The failed call stops inside a two-byte shift state; the next call must
  // start from the initial state and so needs no shift sequence for "a".
  ConverterPtr japanese = MakeConverter("ISO-2022-JP");
  EXPECT_EQ(QARNMBU8ToGeneric(japanese.get(), text, "\xE6\x97\xA5\xE2\x82\xAC"),
            kQARNMBUnconvertible);
  EXPECT_EQ(QARNMBU8ToGeneric(japanese.get(), text, "a"), kQARNMBOk);
  EXPECT_EQ(text, "a");
}

}  // namespace
