// The COM server's rules: the safety options and the member table.
#include "module/com_rules.h"

#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>

namespace {

using namespace launcher::com;

TEST(SafetyOptions, MaskSelectsTheOptionsThatChange) {
  SafetyOptions options;
  EXPECT_EQ(options.enabled(), 0u);
  struct Row {
    const char* what;
    uint32_t mask;
    uint32_t enabled;
    HResult result;
    uint32_t after;
  };
  const Row rows[] = {
      {"mask 1 enables 1", 1, 1, kSOk, 1},
      {"mask 4 is not supported", 4, 4, kEFail, 1},
      {"a supported bit beside an unsupported one changes nothing", 6, 2, kEFail, 1},
      {"bits outside the mask are ignored", 2, 1, kSOk, 1},
      {"mask 2 enables 2 and keeps 1", 2, 3, kSOk, 3},
      {"mask 1 with 0 clears 1 again", 1, 0, kSOk, 2},
      {"mask 3 with 0 clears both", 3, 0, kSOk, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(options.Set(row.mask, row.enabled), row.result);
    EXPECT_EQ(options.enabled(), row.after);
  }
  EXPECT_EQ(kSupportedSafetyOptions, 3u);
}

TEST(MemberNameCache, ExactLookupFromTheLastEntry) {
  MemberNameCache cache;
  cache.Add(u"QueryInterface", 0x60000000, 2);
  cache.Add(u"PassReadInfoDirect", 1, 6);
  cache.Add(u"GetLocalID", 3, 0);
  cache.Add(u"PassReadInfoDirectNew", 4, 7);
  cache.Add(u"Twin", 10, 0);
  cache.Add(u"Twin", 11, 1);
  struct Row {
    const char16_t* name;
    std::optional<int32_t> dispid;
  };
  const Row rows[] = {
      {u"PassReadInfoDirect", 1},
      {u"PassReadInfoDirectNew", 4},  // longer name, same start
      {u"PassReadInfoDirec", std::nullopt},
      {u"passreadinfodirect", std::nullopt},  // letter case is left to the type information
      {u"GetLocalID", 3},
      {u"Twin", 11},  // the last entry wins
      {u"", std::nullopt},
      {nullptr, std::nullopt},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(cache.FindDispid(rows[i].name), rows[i].dispid);
  }
  EXPECT_EQ(cache.ArgumentCount(1), 6u);
  EXPECT_EQ(cache.ArgumentCount(3), 0u);
  EXPECT_EQ(cache.ArgumentCount(99), std::nullopt);
}

}  // namespace
