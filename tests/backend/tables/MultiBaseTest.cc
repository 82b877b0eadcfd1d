#include "backend/tables/MultiBase.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>

#include "backend/tables/Assertion.h"

namespace {

using ::testing::ElementsAre;

TEST(MultiBase, LastDigitVariesFastestAndDigitZeroAbsorbsTheRest) {
  const MultiBase base({5, 3, 4});
  EXPECT_THAT(base.Decompose(23), ElementsAre(1, 2, 3));
  EXPECT_THAT(base.Decompose(100), ElementsAre(8, 1, 0));
  EXPECT_THAT(base.Decompose(0), ElementsAre(0, 0, 0));
  EXPECT_EQ(base.Compose({1, 2, 3}), 23u);
  EXPECT_TRUE(MultiBase({}).Decompose(7).empty());
  // A zero radix is not reached while the position runs out early.
  EXPECT_THAT(MultiBase({0, 0, 4}).Decompose(3), ElementsAre(0, 0, 3));

  std::mt19937 random(3);
  for (int i = 0; i < 1000; ++i) {
    const MultiBase mixed({1 + static_cast<unsigned>(random() % 7),
                           1 + static_cast<unsigned>(random() % 7),
                           1 + static_cast<unsigned>(random() % 7)});
    const std::size_t position = random() % 2000;  // past the product, too
    ASSERT_EQ(mixed.Compose(mixed.Decompose(position)), position);
  }
}

TEST(MultiBase, ReportsZeroRadixAndDigitCountMismatch) {
  auto throwing = [](const char* expression, const char* file, int line) {
    throw std::logic_error(OmAssertion::Format(expression, file, line));
  };
  OmAssertion::Handler previous = OmAssertion::SetHandler(throwing);
  const std::string prefix = "Assertion failed: ";
  EXPECT_THAT(
      [] {
        MultiBase({3, 0}).Decompose(5);
      },
      ::testing::ThrowsMessage<std::logic_error>(
          ::testing::StartsWith(prefix + "b>0, file backend/tables/MultiBase, line ")));
  for (const std::vector<unsigned>& digits : {std::vector<unsigned>{1}, {1, 2, 3}, {}}) {
    EXPECT_THAT(
        [&] {
          MultiBase({5, 3}).Compose(digits);
        },
        ::testing::ThrowsMessage<std::logic_error>(::testing::StartsWith(
            prefix + "digit == end && i == size, file backend/tables/MultiBase, line ")));
  }
  OmAssertion::SetHandler(previous);
}

}  // namespace
