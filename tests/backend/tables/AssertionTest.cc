#include "backend/tables/Assertion.h"

#include <csignal>
#include <cstdio>
#include <stdexcept>
#include <string>

#include "gtest/gtest.h"

namespace {

void ThrowReport(const char* expression, const char* source, int line) {
  throw std::runtime_error(OmAssertion::Format(expression, source, line));
}

void OtherThrowReport(const char* expression, const char* source, int line) {
  ThrowReport(expression, source, line);
}

void ReportAndReturn(const char*, const char*, int) {
  std::fputs("handler returned\n", stderr);
}

TEST(OmAssertion, FormatsOneReportLine) {
  EXPECT_EQ(OmAssertion::Format("x > 0", "backend/tables/MultiBase", 42),
            "Assertion failed: x > 0, file backend/tables/MultiBase, line 42");
}

TEST(OmAssertion, SetHandlerReturnsTheHandlerItReplaces) {
  const OmAssertion::Handler original = OmAssertion::SetHandler(&ThrowReport);
  EXPECT_EQ(OmAssertion::SetHandler(&OtherThrowReport), &ThrowReport);
  try {
    OmAssertion::Fail("a == b", "backend/omtree/Dimension", 7);
    ADD_FAILURE() << "Fail returned";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "Assertion failed: a == b, file backend/omtree/Dimension, line 7");
  }
  // Null reinstates the default, which the next call hands back.
  EXPECT_EQ(OmAssertion::SetHandler(nullptr), &OtherThrowReport);
  EXPECT_EQ(OmAssertion::SetHandler(original), original);
}

TEST(OmAssertionDeathTest, NullHandlerReinstatesTheDefaultReport) {
  const OmAssertion::Handler original = OmAssertion::SetHandler(&ThrowReport);
  OmAssertion::SetHandler(nullptr);
  EXPECT_EXIT(OmAssertion::Fail("n < 3", "backend/tables/om/VectorTree", 12),
              ::testing::KilledBySignal(SIGABRT),
              "^Assertion failed: n < 3, file backend/tables/om/VectorTree, line 12\n$");
  OmAssertion::SetHandler(original);
}

TEST(OmAssertionDeathTest, ProcessAbortsWhenTheHandlerReturns) {
  EXPECT_EXIT(
      {
        OmAssertion::SetHandler(&ReportAndReturn);
        OmAssertion::Fail("p", "backend/omtree/PivotTable", 1);
      },
      ::testing::KilledBySignal(SIGABRT), "^handler returned\n$");
}

}  // namespace
