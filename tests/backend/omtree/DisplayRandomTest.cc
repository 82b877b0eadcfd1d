// Random tables through the non-empty search and all three headings (see
// DisplayRandomCheck.h), from a seeded generator.

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "tests/backend/omtree/DisplayRandomCheck.h"

namespace {

class SeededSource : public display_test::RandomSource {
 public:
  explicit SeededSource(unsigned seed) : _random(seed) {}

  int Pick(int low, int high) override {
    return std::uniform_int_distribution<int>(low, high)(_random);
  }
  [[noreturn]] void Fail(const char* check) override { throw std::logic_error(check); }

 private:
  std::mt19937 _random;
};

TEST(OmDisplayRandom, SearchAndHeadingsAgreeWithTheReference) {
  for (unsigned seed = 0; seed < 400; ++seed) {
    SeededSource source(seed);
    try {
      display_test::CheckRandomDisplay(source);
    } catch (const std::logic_error& failed) {
      FAIL() << "seed " << seed << ": " << failed.what();
    }
  }
}

}  // namespace
