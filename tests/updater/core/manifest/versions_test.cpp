#include "manifest/versions.h"

#include <gtest/gtest.h>

namespace {

enum Sign { kNegative, kPositive };

TEST(CompareVersions, Table) {
  const struct {
    const char* what;
    const char* a;
    const char* b;
    Sign sign;
  } cases[] = {
      {"last component older", "1.0.0.1", "1.0.0.2", kNegative},
      {"numeric, not textual", "1.10", "1.9", kPositive},
      {"first component decides", "2.0", "1.9.9.9", kPositive},
      {"missing components are 0", "1.0", "1.0.0.1", kNegative},
      {"empty is 0.0.0.0", "", "1.0.0.0", kNegative},
      {"newer than empty", "1.0.0.0", "", kPositive},
      {"fifth component never read", "1.0.0.1.9", "1.0.0.1.2", kPositive},
      {"comma and blank separators", "1, 0, 0, 2", "1.0.0.1", kPositive},
      {"text reads as 0 and is skipped", "1.x.2.0", "1.0.0.3", kNegative},
      {"leading blanks skipped", "  3.0", "2.9", kPositive},
      {"signs accepted", "+1.-1", "1.0", kNegative},
      {"clamped to the 32-bit maximum", "99999999999", "2147483647", kPositive},
      {"clamped above equals the maximum minus one", "99999999999", "2147483646", kPositive},
      {"clamped to the 32-bit minimum", "-99999999999", "-2147483647", kNegative},
      {"largest difference keeps its sign", "2147483647", "-2147483648", kPositive},
      {"smallest difference keeps its sign", "-2147483648", "2147483647", kNegative},
      {"many digits never overflow", "1.00000000000000000000000000000000000009", "1.8", kPositive},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.what) + ": '" + c.a + "' vs '" + c.b + "'");
    const int32_t result = updater::CompareVersions(c.a, c.b);
    if (c.sign == kNegative) {
      EXPECT_LT(result, 0);
    } else {
      EXPECT_GT(result, 0);
    }
  }
}

TEST(CompareVersions, EqualVersionsGiveOne) {
  const struct {
    const char* a;
    const char* b;
  } cases[] = {
      {"1.0.0.1", "1.0.0.1"},        {"", ""},
      {"1.0.0.1.9", "1.0.0.1.2"},    {"1.0", "1.0.0.0"},
      {"1,0,0,1", "1.0.0.1"},        {"1.x.2.0", "1.0.0.2"},
      {"99999999999", "2147483647"},  // both clamp to the maximum
  };
  for (const auto& c : cases) {
    EXPECT_EQ(updater::CompareVersions(c.a, c.b), 1) << c.a << " vs " << c.b;
  }
}

TEST(CompareVersions, DifferenceWhereItFits) {
  EXPECT_EQ(updater::CompareVersions("1.0.0.1", "1.0.0.4"), -3);
  EXPECT_EQ(updater::CompareVersions("7", "2"), 5);
  EXPECT_EQ(updater::CompareVersions("2147483647", "-2147483648"), 2147483647);
  EXPECT_EQ(updater::CompareVersions("-2147483648", "2147483647"), -2147483647 - 1);
}

}  // namespace
