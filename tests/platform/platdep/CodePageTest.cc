#include <memory>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "platdep/QARNMBConverter.h"
#include "platdep/icuTracker.h"

namespace {

using namespace std::string_literals;

using ConverterPtr = std::unique_ptr<QARNMBConverter, decltype(&QARNMBConverterDelete_A)>;

ConverterPtr MakeConverter(const char* codePage) {
  return ConverterPtr(QARNMBConverterNew_A(codePage), &QARNMBConverterDelete_A);
}

struct Conversion {
  const char* codePage;
  std::string utf8;
  int result;
  std::string expected;  // What the output holds afterwards; empty on failure.
};

TEST(CodePageConversion, ConvertsExactlyOrFailsWithAnEmptyOutput) {
  const char* const kEuro = "\xE2\x82\xAC";
  const std::vector<Conversion> conversions = {
      {"ISO-8859-1", "Caf\xC3\xA9", kQARNMBOk, "Caf\xE9"},
      {"CP1252", kEuro, kQARNMBOk, "\x80"},
      {"1252", kEuro, kQARNMBOk, "\x80"},
      {"ISO-8859-1", "a\0b\0"s, kQARNMBOk, "a\0b\0"s},
      // U+0061 U+00E9 U+20AC U+1D11E: two bytes each, and a surrogate pair.
      {"UTF-16LE", "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", kQARNMBOk,
       "a\0\xE9\0\xAC\x20\x34\xD8\x1E\xDD"s},
      // A stateful code page returns to its initial state at the end.
      {"ISO-2022-JP", "\xE6\x97\xA5", kQARNMBOk, "\x1B$BF|\x1B(B"},
      {"UTF-16LE", "", kQARNMBOk, ""},
      // Every UTF-8 form at the edges of its range.
      {"UTF-32BE", "\x7F", kQARNMBOk, "\0\0\0\x7F"s},
      {"UTF-32BE", "\xC2\x80", kQARNMBOk, "\0\0\0\x80"s},
      {"UTF-32BE", "\xDF\xBF", kQARNMBOk, "\0\0\x07\xFF"s},
      {"UTF-32BE", "\xE0\xA0\x80", kQARNMBOk, "\0\0\x08\0"s},
      {"UTF-32BE", "\xED\x9F\xBF", kQARNMBOk, "\0\0\xD7\xFF"s},
      {"UTF-32BE", "\xEF\xBF\xBF", kQARNMBOk, "\0\0\xFF\xFF"s},
      {"UTF-32BE", "\xF0\x90\x80\x80", kQARNMBOk, "\0\x01\0\0"s},
      {"UTF-32BE", "\xF4\x8F\xBF\xBF", kQARNMBOk, "\0\x10\xFF\xFF"s},
      // Characters outside the code page, some after a prefix that converts.
      {"ISO-8859-1", kEuro, kQARNMBUnconvertible, ""},
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
      {"99999", "", kQARNMBNoConverter, ""},
      {"ASCII//TRANSLIT", kEuro, kQARNMBNoConverter, ""},
      {"ISO-8859-1//IGNORE", kEuro, kQARNMBNoConverter, ""},
  };
  for (const Conversion& conversion : conversions) {
    const char* codePage = conversion.codePage == nullptr ? "null" : conversion.codePage;
    SCOPED_TRACE(std::string(codePage) + " from \"" + conversion.utf8 + "\"");
    ConverterPtr converter = MakeConverter(conversion.codePage);
    // Stale bytes show a conversion that appends instead of replacing.
    std::string out = "stale";
    EXPECT_EQ(QARNMBU8ToGeneric(converter.get(), out, conversion.utf8), conversion.result);
    EXPECT_EQ(out, conversion.expected);
  }
}

TEST(CodePageConversion, FailedCallDoesNotAffectTheNext) {
  ConverterPtr latin1 = MakeConverter("ISO-8859-1");
  std::string out;
  EXPECT_EQ(QARNMBU8ToGeneric(latin1.get(), out, "\xE2\x82\xAC"), kQARNMBUnconvertible);
  EXPECT_EQ(QARNMBU8ToGeneric(latin1.get(), out, "\xC0\xAF"), kQARNMBInvalidUtf8);
  EXPECT_EQ(QARNMBU8ToGeneric(latin1.get(), out, "Caf\xC3\xA9"), kQARNMBOk);
  EXPECT_EQ(out, "Caf\xE9");

  // The failed call stops inside a two-byte shift state; the next call must
  // start from the initial state and so needs no shift sequence for "a".
  ConverterPtr japanese = MakeConverter("ISO-2022-JP");
  EXPECT_EQ(QARNMBU8ToGeneric(japanese.get(), out, "\xE6\x97\xA5\xE2\x82\xAC"),
            kQARNMBUnconvertible);
  EXPECT_EQ(QARNMBU8ToGeneric(japanese.get(), out, "a"), kQARNMBOk);
  EXPECT_EQ(out, "a");
}

TEST(CodePageConversion, OutputMayBeTheInputString) {
  ConverterPtr latin1 = MakeConverter("ISO-8859-1");
  std::string text = "Caf\xC3\xA9";
  EXPECT_EQ(QARNMBU8ToGeneric(latin1.get(), text, text), kQARNMBOk);
  EXPECT_EQ(text, "Caf\xE9");
}

TEST(CodePageConversion, ConvertsLongInputIntoWiderCodePage) {
  // 100,000 characters; UTF-32 needs more than twice the room of the UTF-8
  // input, so the output buffer has to grow more than once.
  std::string utf8;
  std::string expected;
  for (int i = 0; i < 25000; ++i) {
    utf8 += "abc\xE2\x82\xAC";
    expected += "a\0\0\0b\0\0\0c\0\0\0\xAC\x20\0\0"s;
  }
  std::string out;
  EXPECT_EQ(QARNMBU8ToGeneric(MakeConverter("UTF-32LE").get(), out, utf8), kQARNMBOk);
  EXPECT_EQ(out.size(), expected.size());
  EXPECT_TRUE(out == expected);
}

TEST(IcuTracker, KeepsFlagAndLocale) {
  const icuTracker unicode({true, "de_DE"});
  const icuTracker codePage({false, "ja_JP"});
  EXPECT_TRUE(unicode.Unicode());
  EXPECT_EQ(unicode.Locale(), "de_DE");
  EXPECT_FALSE(codePage.Unicode());
  EXPECT_EQ(codePage.Locale(), "ja_JP");
}

}  // namespace
