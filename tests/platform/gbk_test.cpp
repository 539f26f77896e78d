#include "platform/gbk.h"

#include <gtest/gtest.h>

namespace {

// 昞 is 0x95 0x5C in GBK: its trail byte is a backslash byte.
constexpr char kTrail5C[] = "\x95\x5c";

struct BackslashCase {
  std::string text;
  bool endsWithBackslash;
  std::size_t lastBackslash;
};

TEST(Gbk, BackslashesOfTheirOwnOnly) {
  const std::size_t npos = std::string::npos;
  const BackslashCase cases[] = {
      {"", false, npos},
      {"C:\\Reader", false, 2},
      {"C:\\Reader\\", true, 9},
      {std::string("C:\\") + kTrail5C, false, 2},
      {std::string("C:\\") + kTrail5C + "\\", true, 5},
      {std::string(kTrail5C) + kTrail5C, false, npos},
      {"\x95", false, npos},  // a lead byte cut off at the end
      {"\x81\x81\\", true, 2},
  };
  for (const BackslashCase& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(platform::EndsWithBackslash(c.text), c.endsWithBackslash);
    EXPECT_EQ(platform::FindLastBackslash(c.text), c.lastBackslash);
  }
}

// The two walks differ only on a lead byte that is not followed by a trail byte.
TEST(Gbk, PairedWalkTakesALeadByteAloneBeforeAnythingButATrailByte) {
  const struct {
    std::string text;
    std::size_t anyPair, pairedOnly;
  } cases[] = {
      {kTrail5C, 2, 2},   {"\x95/", 2, 1}, {"\x95:", 2, 1}, {"\x95\x7f", 2, 1},
      {"\x95\xff", 2, 1}, {"\x95", 1, 1},  {"a\x95", 1, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(platform::GbkCharLength(c.text, 0), c.anyPair);
    EXPECT_EQ(platform::GbkPairedCharLength(c.text, 0), c.pairedOnly);
  }
}

TEST(Gbk, CaseFoldingTouchesSingleByteLettersOnly) {
  EXPECT_TRUE(platform::EqualsIgnoringAsciiCase("Update.INI", "update.ini"));
  EXPECT_TRUE(
      platform::EqualsIgnoringAsciiCase("\xd6\xd0"
                                        "A.dll",
                                        "\xd6\xd0"
                                        "a.DLL"));
  // 0x81 0x41 and 0x81 0x61 are two different characters whose trail bytes are letters.
  EXPECT_FALSE(platform::EqualsIgnoringAsciiCase("\x81\x41", "\x81\x61"));
  EXPECT_FALSE(platform::EqualsIgnoringAsciiCase("abc", "abcd"));
  EXPECT_EQ(platform::ToLowerAscii("\x81\x41"
                                   "AB"),
            "\x81\x41"
            "ab");
}

}  // namespace
