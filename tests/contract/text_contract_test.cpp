// ANSI (code page 936) and UTF-16 conversion: iconv natively, the Win32 API under Wine.
#include <gtest/gtest.h>

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

}  // namespace
