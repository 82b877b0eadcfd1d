// Charts: the outline text converted into the code page at construction,
// the map-info record split against an independent reference on arbitrary
// bytes, and deep copies with the descriptors Done reads from any address. The
// payload appends are checked with the other payload items in ModelTest.

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

using Strings = std::array<std::string, 4>;

// What getMapInfo leaves in an output it does not touch.
const Strings kUntouched = {"?", "?", "?", "?"};

Strings MapInfo(const OmChart& chart) {
  Strings out = kUntouched;
  chart.getMapInfo(out[0], out[1], out[2], out[3]);
  return out;
}

// A map-info record holding s behind marker 1, with marker and counts
// byte-reversed when reversed is true.
std::string Record(const Strings& s, bool reversed) {
  std::string record;
  const auto put = [&](auto value) {
    char bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    if (reversed) std::reverse(bytes, bytes + sizeof value);
    record.append(bytes, sizeof value);
  };
  put(std::uint16_t{1});
  for (std::size_t i = 0; i < 4; ++i) {
    const std::size_t n = s[i].size();
    i % 2 == 0 ? put(static_cast<std::uint32_t>(n)) : put(static_cast<std::uint16_t>(n));
    record += s[i];
  }
  return record;
}

// An independent split: counts are assembled from their bytes with shifts,
// little- or big-endian as the marker says, and every read is bounds-checked
// before it is made.
Strings ReferenceSplit(const std::string& r) {
  Strings out = kUntouched;
  if (r.size() < 2) return out;
  const bool hostLittle = Record({}, false)[0] == 1;
  // A marker that does not read as 1 in this machine's order means the other.
  const bool little = hostLittle ? r[0] == 1 && r[1] == 0 : !(r[0] == 0 && r[1] == 1);
  std::size_t at = 2;
  for (int i = 0; i < 4; ++i) {
    const std::size_t width = i % 2 == 0 ? 4 : 2;
    if (r.size() < at + width) break;
    std::uint64_t n = 0;  // the count
    for (std::size_t k = 0; k < width; ++k)
      n |= std::uint64_t{std::uint8_t(r[at + k])} << 8 * (little ? k : width - 1 - k);
    at += width;
    const std::size_t taken = std::min<std::uint64_t>(n, r.size() - at);
    out[i] = r.substr(at, taken);
    at += taken;
    if (taken < n) break;
  }
  return out;
}

// A plain string cell converted into the code page, unconverted when the
// code page or the conversion fails; without a code page, a clone of the
// text whatever its kind.
TEST(OmChartOutlineText, ConvertsIntoTheCodePageOrKeepsTheUtf8OrAClone) {
  const auto outline = [](const OmCellText& text, const char* codePage) {
    const OmChart chart(text, codePage);
    const auto* cell = dynamic_cast<const OmStringCell*>(chart.OutlineText());
    return cell != nullptr && !cell->IsSystemText() ? cell->AsString() : "not a plain string";
  };
  EXPECT_EQ(outline(OmStringCell("Caf\xC3\xA9", nullptr, false), "ISO-8859-1"), "Caf\xE9");
  EXPECT_EQ(outline(OmNumber(7), "no-such-code-page"), "7");
  EXPECT_EQ(outline(OmStringCell("\xE2\x82\xAC", nullptr, false), "ISO-8859-1"), "\xE2\x82\xAC");
  const OmChart chart(OmNumber(2.5), "");
  EXPECT_TRUE(dynamic_cast<const OmNumber*>(chart.OutlineText()) != nullptr &&
              chart.OutlineText()->AsString() == "2.5");
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
    OmChart chart(OmStringCell("c", nullptr, false), "");
    chart.SetMapInfo(record.data(), static_cast<unsigned int>(record.size()));
    ASSERT_EQ(MapInfo(chart), ReferenceSplit(record)) << "round " << round;
  }
}

// The copy also carries the descriptors that Done read from a misaligned
// address in machine order.
TEST(OmChartCopy, CopyOwnsItsTextAndDetail) {
  auto source =
      std::make_unique<OmChart>(OmStringCell("Caf\xC3\xA9", nullptr, false), "ISO-8859-1");
  const std::string record = Record({"abc", "de", "", "f"}, false) + "trailing";
  source->SetMapInfo(record.data(), 5);  // Arrives in two pieces.
  source->SetMapInfo(record.data() + 5, static_cast<unsigned int>(record.size() - 5));
  source->SetXmlDescription("xml", 3);
  const std::int32_t values[2] = {INT32_MIN, -1};
  char buffer[9];
  std::memcpy(buffer + 1, values, 8);
  source->Done(buffer + 1);
  OmChart chart(*source);
  source.reset();
  EXPECT_EQ(chart.GetXmlDescription(), "xml");
  EXPECT_EQ(chart.OutlineText()->AsString(), "Caf\xE9");
  EXPECT_EQ(MapInfo(chart), (Strings{"abc", "de", "", "f"}));
  EXPECT_TRUE(chart.GetEditable() == INT32_MIN && chart.GetEditor() == -1);
}

}  // namespace
