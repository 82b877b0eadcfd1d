#include "backend/omtree/Chart.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <memory>
#include <random>
#include <string>

namespace {

using namespace std::string_literals;
using Strings = std::array<std::string, 4>;

// What getMapInfo leaves in an output it does not touch.
const Strings kUntouched = {"?", "?", "?", "?"};

OmStringCell Text(const std::string& bytes) {
  return OmStringCell(bytes, nullptr, false);
}

Strings MapInfo(const OmChart& chart) {
  Strings out = kUntouched;
  chart.getMapInfo(out[0], out[1], out[2], out[3]);
  return out;
}

// Appends value in this machine's byte order, or byte-reversed.
template <typename Unsigned>
void Put(std::string* record, Unsigned value, bool reversed) {
  char bytes[sizeof value];
  std::memcpy(bytes, &value, sizeof value);
  if (reversed) std::reverse(bytes, bytes + sizeof value);
  record->append(bytes, sizeof value);
}

// A map-info record holding s behind marker 1, with marker and counts
// byte-reversed when reversed is true.
std::string Record(const Strings& s, bool reversed) {
  std::string record;
  Put<std::uint16_t>(&record, 1, reversed);
  Put<std::uint32_t>(&record, static_cast<std::uint32_t>(s[0].size()), reversed);
  record += s[0];
  Put<std::uint16_t>(&record, static_cast<std::uint16_t>(s[1].size()), reversed);
  record += s[1];
  Put<std::uint32_t>(&record, static_cast<std::uint32_t>(s[2].size()), reversed);
  record += s[2];
  Put<std::uint16_t>(&record, static_cast<std::uint16_t>(s[3].size()), reversed);
  return record + s[3];
}

// An independent split: counts are assembled from their bytes with shifts,
// little- or big-endian as the marker says, and every read is bounds-checked
// before it is made.
Strings ReferenceSplit(const std::string& r) {
  Strings out = kUntouched;
  if (r.size() < 2) return out;
  const std::uint16_t one = 1;
  const bool hostLittle = *reinterpret_cast<const unsigned char*>(&one) == 1;
  // A marker that does not read as 1 in this machine's order means the other.
  const bool little = hostLittle ? r[0] == 1 && r[1] == 0 : !(r[0] == 0 && r[1] == 1);
  const std::size_t widths[4] = {4, 2, 4, 2};
  std::size_t at = 2;
  for (int i = 0; i < 4; ++i) {
    if (r.size() < at + widths[i]) break;
    std::uint64_t length = 0;
    for (std::size_t k = 0; k < widths[i]; ++k) {
      const std::size_t shift = little ? k : widths[i] - 1 - k;
      length |= std::uint64_t{static_cast<unsigned char>(r[at + k])} << (8 * shift);
    }
    at += widths[i];
    const std::size_t taken = std::min<std::uint64_t>(length, r.size() - at);
    out[i] = r.substr(at, taken);
    at += taken;
    if (taken < length) break;
  }
  return out;
}

TEST(OmChartOutlineText, ConvertsIntoTheCodePageOrKeepsTheUtf8OrAClone) {
  const auto outline = [](const OmCellText& text, const char* codePage) {
    const OmChart chart(text, codePage);
    const auto* cell = dynamic_cast<const OmStringCell*>(chart.OutlineText());
    EXPECT_TRUE(cell != nullptr && !cell->IsSystemText()) << "always a plain string cell";
    return chart.OutlineText()->AsString();
  };
  EXPECT_EQ(outline(Text("Caf\xC3\xA9"), "ISO-8859-1"), "Caf\xE9");
  EXPECT_EQ(outline(OmNumber(2.5), "ISO-8859-1"), "2.5");
  EXPECT_EQ(outline(OmNumber(7), "no-such-code-page"), "7");
  EXPECT_EQ(outline(Text("\xE2\x82\xAC"), "ISO-8859-1"), "\xE2\x82\xAC");

  // An empty code page keeps a clone of the text, whatever its kind.
  auto given = std::make_unique<OmNumber>(2.5);
  const OmChart chart(*given, "");
  EXPECT_NE(chart.OutlineText(), given.get());
  given.reset();
  ASSERT_NE(dynamic_cast<const OmNumber*>(chart.OutlineText()), nullptr) << "no conversion";
  EXPECT_EQ(chart.OutlineText()->AsString(), "2.5");
}

TEST(OmChartPayload, AppendsKeepEveryByteInTheirOwnString) {
  OmChart chart(Text("c"), "");
  EXPECT_FALSE(chart.hasMap());
  chart.SetXmlDescription("a\0b", 3);
  chart.SetXmlDescription("\0c", 2);
  chart.SetBinaryDataStream("\0\0", 2);
  chart.SetBinaryDataStream("d\0e", 3);
  chart.SetImageStream("\0", 1);
  chart.SetImageStream("\0", 1);
  chart.SetMapInfo("\0", 1);
  EXPECT_EQ(chart.GetXmlDescription(), "a\0b\0c"s);
  EXPECT_EQ(chart.GetXmlData(), "\0\0d\0e"s);
  EXPECT_EQ(chart.GetImageData(), "\0\0"s);
  EXPECT_TRUE(chart.hasMap());

  chart.SetXmlCompressedLength(4096);
  EXPECT_EQ(chart.GetXmlDescription(), "a\0b\0c"s) << "reserving keeps the contents";
  EXPECT_GE(chart.GetXmlDescription().capacity(), 4096u);
}

TEST(OmChartDescriptors, DoneReadsTwoMachineOrderValuesFromAnyAddress) {
  OmChart chart(Text("c"), "");
  EXPECT_EQ(chart.GetEditable(), OmChart::NotEditable);
  EXPECT_EQ(chart.GetEditor(), 1);
  EXPECT_EQ(chart.GetChartSubType(), 0);

  const std::int32_t values[][2] = {{2, 0}, {INT32_MIN, -1}};
  for (const auto& value : values) {
    char buffer[9];
    std::memcpy(buffer + 1, value, 8);  // Misaligned on purpose.
    chart.Done(buffer + 1);
    EXPECT_EQ(chart.GetEditable(), value[0]);
    EXPECT_EQ(chart.GetEditor(), value[1]);
  }
  chart.SetImageSubType(static_cast<ChartXMLContentSubType>(-7));
  EXPECT_EQ(chart.GetChartSubType(), -7);
}

// Records in either byte order, well-formed, damaged, cut short or with
// trailing bytes.
TEST(OmChartMapInfo, ArbitraryBytesMatchAReferenceSplit) {
  std::mt19937 random(20240611);
  auto below = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
  auto bytes = [&](int n) {
    std::string s;
    for (int i = 0; i < n; ++i)
      s += static_cast<char>(below(256));
    return s;
  };
  for (int round = 0; round < 5000; ++round) {
    std::string record = bytes(below(24));
    if (below(2) == 0) {  // Mostly well-formed, then damaged.
      record = Record({bytes(below(5)), bytes(below(5)), bytes(below(5)), bytes(below(5))},
                      below(2) == 0);
      if (below(2) == 0) record[below(static_cast<int>(record.size()))] = bytes(1)[0];
      if (below(2) == 0) record.resize(below(static_cast<int>(record.size()) + 1));
      if (below(4) == 0) record += bytes(below(4));
    }
    OmChart chart(Text("c"), "");
    chart.SetMapInfo(record.data(), static_cast<unsigned int>(record.size()));
    ASSERT_EQ(MapInfo(chart), ReferenceSplit(record)) << "round " << round;
  }
}

class CountingVisitor : public OmOutputPart::Visitor {
 public:
  void Visit(OmModel&) override { ++others; }
  void Visit(OmAnswerTree&) override { ++others; }
  void Visit(OmChart& chart) override { charts += &chart == expected; }
  void Visit(OmTextBlock&) override { ++others; }
  void Visit(OmHeading&) override { ++others; }
  void Visit(OmPivotTable&) override { ++others; }

  const OmChart* expected = nullptr;
  int charts = 0;
  int others = 0;
};

TEST(OmChartCopy, CopyOwnsItsTextAndDetail) {
  auto source = std::make_unique<OmChart>(Text("Caf\xC3\xA9"), "ISO-8859-1");
  const std::string record = Record({"abc", "de", "", "f"}, false) + "trailing";
  source->SetMapInfo(record.data(), 5);  // Arrives in two pieces.
  source->SetMapInfo(record.data() + 5, static_cast<unsigned int>(record.size() - 5));
  source->SetXmlDescription("xml", 3);
  source->Done("\2\0\0\0\0\0\0\0");

  std::unique_ptr<OmOutputPart> copy(new OmChart(*source));
  auto& chart = static_cast<OmChart&>(*copy);
  EXPECT_NE(chart.OutlineText(), source->OutlineText());
  source->SetXmlDescription("more", 4);
  EXPECT_EQ(chart.GetXmlDescription(), "xml") << "the detail record is not shared";
  source.reset();

  EXPECT_EQ(chart.OutlineText()->AsString(), "Caf\xE9");
  EXPECT_EQ(chart.LocaleCodePage(), "ISO-8859-1");
  EXPECT_EQ(MapInfo(chart), (Strings{"abc", "de", "", "f"}));
  EXPECT_EQ(chart.GetEditor(), 0);

  CountingVisitor visitor;
  visitor.expected = &chart;
  copy->Accept(visitor);
  EXPECT_EQ(visitor.charts, 1);
  EXPECT_EQ(visitor.others, 0);
}

}  // namespace
