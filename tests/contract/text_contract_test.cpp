// ANSI (code page 936) and UTF-16 conversion: iconv natively, the Win32 API under Wine.
#include <gtest/gtest.h>

#include <optional>

#include "platform/text.h"

namespace {

struct TextCase {
  const char* what;
  std::string ansi;
  std::u16string wide;
};

const TextCase kRoundTrips[] = {
    {"empty", "", u""},
    {"ASCII", "http://127.0.0.1/a b", u"http://127.0.0.1/a b"},
    {"GBK Chinese", "\xd6\xd0\xce\xc4", u"\u4e2d\u6587"},
    {"GBK with trail byte 0x5C", "\x95\x5c", u"\u661e"},
    {"mixed", "id=\xca\xe9-1", u"id=\u4e66-1"},
};

TEST(TextContract, RoundTripsBetweenGbkAndUtf16) {
  for (const TextCase& c : kRoundTrips) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::AnsiToUtf16(c.ansi), c.wide);
    EXPECT_EQ(platform::Utf16ToAnsi(c.wide), c.ansi);
  }
}

TEST(TextContract, CharactersOutsideTheCodePageBecomeQuestionMarks) {
  EXPECT_EQ(platform::Utf16ToAnsi(u"a\u0e01b"), "a?b");  // a Thai letter
}

TEST(TextContract, Utf8ToGbkOnlyWhenEveryCharacterConverts) {
  const struct {
    const char* what;
    std::string utf8;
    std::optional<std::string> ansi;
  } cases[] = {
      {"empty", "", ""},
      {"ASCII", "bin/setup.exe", "bin/setup.exe"},
      {"Chinese", "\xe5\xb8\xae\xe5\x8a\xa9.txt", "\xb0\xef\xd6\xfa.txt"},  // 帮助
      {"a character GBK lacks",
       "a\xe0\xb8\x81"
       "b",
       std::nullopt},                                        // Thai
      {"no best-fit look-alike", "\xc3\x85", std::nullopt},  // Å, which Windows would fit to A
      {"not UTF-8",
       "a\xff"
       "b",
       std::nullopt},
      {"cut UTF-8 sequence", "a\xe5\xb8", std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(platform::Utf8ToAnsi(c.utf8), c.ansi);
  }
}

}  // namespace
