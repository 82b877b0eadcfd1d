// Fuzz target for the document reader (omdoc::Load): the fuzzer's bytes are
// a document. Load either refuses it with a LoadError or accepts it; what it
// accepts must save, read back and save again to the same text, since the
// format keeps everything the reader builds. Any other exception, a crash
// or a sanitizer report is a finding.
//
// Save lays out each table's layers too, which costs in proportion to the
// product of the tables' category counts; past a bound the layers are left
// out, so that a few bytes of counts cannot make one input run for minutes.
// The layout options come from the input's size, so that all of them get
// exercised.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "Document.h"

namespace {

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// The most display positions a table may have for its layers to be laid
// out.
constexpr std::uint64_t kMaxPositions = 4096;

bool SmallEnoughToLayOut(const OmOutputTree& tree) {
  for (const auto& entry : tree.List()) {
    const auto* table = dynamic_cast<const OmPivotTable*>(entry.item);
    if (table == nullptr) continue;
    std::uint64_t positions = 1;
    for (int count : table->SizeVector()) {
      positions *= static_cast<std::uint64_t>(std::max(count, 1));
      if (positions > kMaxPositions) return false;
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::unique_ptr<OmOutputTree> tree;
  try {
    tree = omdoc::Load(text, "input");
  } catch (const omdoc::LoadError&) {
    return 0;
  }
  omdoc::SaveOptions options;
  options.withLayers = SmallEnoughToLayOut(*tree);
  options.layout.hideEmpty = size % 2 == 1;
  options.layout.namesInCorner = size % 3 == 1;
  options.layout.layer = size % 5 == 4 ? 0 : -1;
  const std::string saved = omdoc::Save(*tree, options);
  std::unique_ptr<OmOutputTree> again;
  try {
    again = omdoc::Load(saved, "saved");
  } catch (const omdoc::LoadError&) {
    Check(false);
  }
  Check(omdoc::Save(*again, options) == saved);
  return 0;
}
