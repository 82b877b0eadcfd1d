// Fuzz target for the display headings: the random-table checks of
// DisplayRandomCheck.h driven by the fuzzer's input; a failed check traps.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>

#include "tests/backend/omtree/DisplayRandomCheck.h"

namespace {

class FuzzedSource : public display_test::RandomSource {
 public:
  FuzzedSource(const std::uint8_t* data, std::size_t size) : _provider(data, size) {}

  int Pick(int low, int high) override { return _provider.ConsumeIntegralInRange(low, high); }
  [[noreturn]] void Fail(const char*) override { __builtin_trap(); }

 private:
  FuzzedDataProvider _provider;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedSource source(data, size);
  display_test::CheckRandomDisplay(source);
  return 0;
}
