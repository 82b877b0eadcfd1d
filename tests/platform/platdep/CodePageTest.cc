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

// Converts utf8 with a converter of its own into an output string that holds
// stale bytes, so that a conversion that appends instead of replacing shows.
int ConvertWithNewConverter(const char* codePage, const std::string& utf8, std::string* out) {
  ConverterPtr converter = MakeConverter(codePage);
  *out = "stale";
  return QARNMBU8ToGeneric(converter.get(), *out, utf8);
}

struct Conversion {
  const char* codePage;
  std::string utf8;
  std::string expected;
};

TEST(CodePageConversion, ConvertsExactlyIntoCodePage) {
  const std::vector<Conversion> conversions = {
      {"ISO-8859-1", "Caf\xC3\xA9", "Caf\xE9"},
      {"CP1252", "\xE2\x82\xAC", "\x80"},
      {"windows-1252", "\xE2\x82\xAC", "\x80"},
      {"1252", "\xE2\x82\xAC", "\x80"},
      {"ISO-8859-1", "a\0b\0"s, "a\0b\0"s},
      // U+0061 U+00E9 U+20AC U+1D11E: two bytes each, and a surrogate pair.
      {"UTF-16LE", "a\xC3\xA9\xE2\x82\xAC\xF0\x9D\x84\x9E", "a\0\xE9\0\xAC\x20\x34\xD8\x1E\xDD"s},
      // A stateful code page returns to its initial state at the end.
      {"ISO-2022-JP", "\xE6\x97\xA5", "\x1B$BF|\x1B(B"},
      {"UTF-16LE", "", ""},
  };
  for (const Conversion& conversion : conversions) {
    SCOPED_TRACE(std::string(conversion.codePage) + " from \"" + conversion.utf8 + "\"");
    std::string out;
    EXPECT_EQ(ConvertWithNewConverter(conversion.codePage, conversion.utf8, &out), kQARNMBOk);
    EXPECT_EQ(out, conversion.expected);
  }
}

TEST(CodePageConversion, AcceptsEveryUtf8FormAtTheEdges) {
  const std::vector<Conversion> conversions = {
      {"UTF-32BE", "\0"s, "\0\0\0\0"s},
      {"UTF-32BE", "\x7F", "\0\0\0\x7F"s},
      {"UTF-32BE", "\xC2\x80", "\0\0\0\x80"s},
      {"UTF-32BE", "\xDF\xBF", "\0\0\x07\xFF"s},
      {"UTF-32BE", "\xE0\xA0\x80", "\0\0\x08\0"s},
      {"UTF-32BE", "\xED\x9F\xBF", "\0\0\xD7\xFF"s},
      {"UTF-32BE", "\xEE\x80\x80", "\0\0\xE0\0"s},
      {"UTF-32BE", "\xEF\xBF\xBF", "\0\0\xFF\xFF"s},
      {"UTF-32BE", "\xF0\x90\x80\x80", "\0\x01\0\0"s},
      {"UTF-32BE", "\xF4\x8F\xBF\xBF", "\0\x10\xFF\xFF"s},
  };
  for (const Conversion& conversion : conversions) {
    SCOPED_TRACE("\"" + conversion.utf8 + "\"");
    std::string out;
    EXPECT_EQ(ConvertWithNewConverter(conversion.codePage, conversion.utf8, &out), kQARNMBOk);
    EXPECT_EQ(out, conversion.expected);
  }
}

TEST(CodePageConversion, RejectsCharacterOutsideCodePage) {
  const std::vector<Conversion> conversions = {
      {"ISO-8859-1", "\xE2\x82\xAC", ""},
      // The failure comes after a prefix that converts.
      {"ISO-8859-1", "Caf\xC3\xA9 \xE2\x82\xAC", ""},
      {"1252", "\xC4\x80", ""},
      {"ISO-2022-JP", "\xE6\x97\xA5\xE2\x82\xAC", ""},
  };
  for (const Conversion& conversion : conversions) {
    SCOPED_TRACE(std::string(conversion.codePage) + " from \"" + conversion.utf8 + "\"");
    std::string out;
    EXPECT_EQ(ConvertWithNewConverter(conversion.codePage, conversion.utf8, &out),
              kQARNMBUnconvertible);
    EXPECT_EQ(out, "");
  }
}

TEST(CodePageConversion, RejectsMalformedUtf8) {
  const std::vector<std::string> malformed = {
      "\x80",                  // continuation byte without a lead
      "a\xBF",                 // the same after a good character
      "\xC0\xAF",              // overlong two-byte form of '/'
      "\xC1\xBF",              // overlong two-byte form of U+007F
      "\xE0\x9F\xBF",          // overlong three-byte form of U+07FF
      "\xF0\x8F\xBF\xBF",      // overlong four-byte form of U+FFFF
      "\xED\xA0\x80",          // surrogate U+D800
      "\xED\xBF\xBF",          // surrogate U+DFFF
      "\xF4\x90\x80\x80",      // U+110000
      "\xF5\x80\x80\x80",      // lead byte beyond U+10FFFF
      "\xF8\x88\x80\x80\x80",  // five-byte form
      "\xFF",                  //
      "\xE2\x82",              // truncated three-byte sequence
      "ok\xF0\x9D\x84",        // truncated at the end after a good prefix
      "\xC3(",                 // missing continuation byte
      "\xE2\x82(",             // missing last continuation byte
  };
  for (const std::string& utf8 : malformed) {
    SCOPED_TRACE("\"" + utf8 + "\"");
    std::string out;
    EXPECT_EQ(ConvertWithNewConverter("UTF-16LE", utf8, &out), kQARNMBInvalidUtf8);
    EXPECT_EQ(out, "");
  }
}

TEST(CodePageConversion, CodePageWithoutConverterFailsEveryCall) {
  // "ASCII//TRANSLIT" would turn the euro sign into "EUR" if iconv's
  // transliteration were let through.
  const std::vector<const char*> codePages = {
      nullptr, "", "no-such-code-page", "99999", "ASCII//TRANSLIT", "ISO-8859-1//IGNORE",
  };
  for (const char* codePage : codePages) {
    SCOPED_TRACE(codePage == nullptr ? "null" : codePage);
    std::string out;
    EXPECT_EQ(ConvertWithNewConverter(codePage, "\xE2\x82\xAC", &out), kQARNMBNoConverter);
    EXPECT_EQ(out, "");
    EXPECT_EQ(ConvertWithNewConverter(codePage, "", &out), kQARNMBNoConverter);
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
  EXPECT_EQ(ConvertWithNewConverter("UTF-32LE", utf8, &out), kQARNMBOk);
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
