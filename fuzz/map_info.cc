// Fuzz target for OmChart's map-info record: arbitrary bytes, appended in a
// few pieces with SetMapInfo, are split by getMapInfo and compared with an
// independent reference split (marker, then four strings behind 32-, 16-,
// 32- and 16-bit counts, counts byte-reversed when the marker does not read
// as 1, a short record split as far as it goes). Also checks that outputs
// past the point where the record ends stay untouched, that no output
// exceeds the stored size, that hasMap() tells whether a byte is stored, and
// that a copied chart splits alike.

#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "backend/omtree/Chart.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

bool MachineIsLittleEndian() {
  const std::uint16_t one = 1;
  unsigned char bytes[sizeof one];
  std::memcpy(bytes, &one, sizeof one);
  return bytes[0] == 1;
}

// The four outputs of a split; an output that the split does not reach
// keeps its sentinel.
using Outputs = std::array<std::string, 4>;

Outputs Sentinels() {
  return {std::string("\x01untouched first", 17), std::string("\x01untouched second", 18),
          std::string("\x01untouched third", 17), std::string("\x01untouched fourth", 18)};
}

// The reference split: reads the counts byte by byte in the record's own
// byte order, which is the machine's when the marker reads as 1.
Outputs ReferenceSplit(const std::string& record) {
  Outputs outputs = Sentinels();
  if (record.size() < 2) return outputs;
  const bool little = MachineIsLittleEndian();
  const auto byte = [&record](std::size_t at) {
    return static_cast<std::uint32_t>(static_cast<unsigned char>(record[at]));
  };
  const std::uint32_t markerInMachineOrder =
      little ? (byte(0) | byte(1) << 8) : (byte(0) << 8 | byte(1));
  const bool recordLittle = (markerInMachineOrder == 1) == little;
  std::size_t at = 2;
  static constexpr std::size_t kWidths[4] = {4, 2, 4, 2};
  for (std::size_t field = 0; field < 4; ++field) {
    const std::size_t width = kWidths[field];
    if (record.size() - at < width) return outputs;
    std::uint64_t count = 0;
    for (std::size_t k = 0; k < width; ++k) {
      const std::size_t from = recordLittle ? at + width - 1 - k : at + k;
      count = count << 8 | byte(from);
    }
    at += width;
    const std::size_t remaining = record.size() - at;
    const std::size_t taken = count < remaining ? static_cast<std::size_t>(count) : remaining;
    outputs[field] = record.substr(at, taken);
    at += taken;
    if (taken < count) return outputs;
  }
  return outputs;
}

Outputs LibrarySplit(const OmChart& chart) {
  Outputs outputs = Sentinels();
  chart.getMapInfo(outputs[0], outputs[1], outputs[2], outputs[3]);
  return outputs;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider provider(data, size);
  // Up to three cuts split the record into pieces appended one by one.
  const int cuts = provider.ConsumeIntegralInRange<int>(0, 3);
  std::vector<std::size_t> cutAt;
  for (int i = 0; i < cuts; ++i)
    cutAt.push_back(provider.ConsumeIntegral<std::uint8_t>());
  const std::string record = provider.ConsumeRemainingBytesAsString();

  const OmStringCell label("Chart", nullptr, false);
  OmChart chart(label, "");
  Check(!chart.hasMap());
  Check(LibrarySplit(chart) == Sentinels());

  std::size_t appended = 0;
  for (std::size_t cut : cutAt) {
    const std::size_t end = cut < record.size() ? cut : record.size();
    if (end <= appended) continue;
    chart.SetMapInfo(record.data() + appended, static_cast<unsigned int>(end - appended));
    appended = end;
    Check(LibrarySplit(chart) == ReferenceSplit(record.substr(0, appended)));
  }
  chart.SetMapInfo(record.data() + appended, static_cast<unsigned int>(record.size() - appended));
  Check(chart.hasMap() == !record.empty());

  const Outputs expected = ReferenceSplit(record);
  const Outputs split = LibrarySplit(chart);
  Check(split == expected);
  const Outputs sentinels = Sentinels();
  std::size_t total = 0;
  for (std::size_t field = 0; field < 4; ++field) {
    if (split[field] == sentinels[field]) continue;
    Check(split[field].size() <= record.size());
    total += split[field].size();
  }
  Check(total <= record.size());
  Check(LibrarySplit(chart) == split);

  const OmChart copy(chart);
  Check(LibrarySplit(copy) == split);
  return 0;
}
