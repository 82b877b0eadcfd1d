// Golden files of the tools' tests: an output is compared with the file of
// the same name in golden/. A change in output shows up as a diff; run with
// OMTREE_UPDATE_GOLDEN=1 to rewrite the files after a deliberate change,
// and review the diff.

#ifndef OMTREE_TESTS_TOOLS_GOLDENFILE_H_
#define OMTREE_TESTS_TOOLS_GOLDENFILE_H_

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace golden {

inline void ExpectGolden(const std::string& name, const std::string& actual) {
  const std::string path = std::string(OMTREE_GOLDEN_DIR) + "/" + name;
  if (std::getenv("OMTREE_UPDATE_GOLDEN") != nullptr) {
    std::ofstream(path, std::ios::binary) << actual;
    return;
  }
  std::ifstream file(path, std::ios::binary);
  ASSERT_TRUE(file.good()) << "missing golden file " << path;
  std::stringstream expected;
  expected << file.rdbuf();
  EXPECT_EQ(actual, expected.str()) << "differs from " << path;
}

}  // namespace golden

#endif  // OMTREE_TESTS_TOOLS_GOLDENFILE_H_
