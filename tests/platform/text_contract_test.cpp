// Conversion between UTF-16 and the ANSI code pages, and their lead bytes: iconv and our tables
// natively, the Win32 API under Wine.
#include <gtest/gtest.h>

#include <optional>
#include <utility>
#include <vector>

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

// The lead bytes of each code page, as ranges; every byte outside them is a character of its own.
struct LeadBytes {
  uint32_t codePage;
  std::vector<std::pair<int, int>> ranges;
};

const LeadBytes kLeadBytes[] = {
    {platform::kCodePageShiftJis, {{0x81, 0x9F}, {0xE0, 0xFC}}},
    {platform::kCodePageGbk, {{0x81, 0xFE}}},
    {949, {{0x81, 0xFE}}},
    {950, {{0x81, 0xFE}}},
    {platform::kCodePageUtf8, {}},
    {1252, {}},
};

TEST(TextContract, LeadBytesOfEachCodePage) {
  for (const LeadBytes& page : kLeadBytes) {
    SCOPED_TRACE(page.codePage);
    for (int byte = 0; byte < 256; ++byte) {
      bool lead = false;
      for (const auto& range : page.ranges) lead |= byte >= range.first && byte <= range.second;
      EXPECT_EQ(platform::IsLeadByte(page.codePage, static_cast<unsigned char>(byte)), lead)
          << "byte " << byte;
    }
  }
}

// A character the code page lacks becomes its default character, never a look-alike: a best
// fit would turn U+00A5 into '\' under 932 and U+FF02 into '"' under 1252.
TEST(TextContract, ConversionWithoutBestFit) {
  const struct {
    uint32_t codePage;
    std::u16string wide;
    std::string bytes;
  } rows[] = {
      {platform::kCodePageShiftJis, u"\uff71\"", "\xb1\""},
      {platform::kCodePageShiftJis, u"\u8868\\", "\x95\x5c\\"},
      {platform::kCodePageShiftJis, u"\uff02\uff3c", "\xfa\x57\x81\x5f"},
      {platform::kCodePageShiftJis, u"\u00a5\u203e\u0e01", "???"},
      {platform::kCodePageGbk, u"\uff02\uff3c", "\xa3\xa2\xa3\xdc"},
      {platform::kCodePageGbk, u"\u00a5\u203e\uff71", "???"},
      {platform::kCodePageGbk, u"\xd800", "?"},
      {platform::kCodePageUtf8, u"\uff71\"\u00a5", "\xef\xbd\xb1\"\xc2\xa5"},
      {platform::kCodePageUtf8, u"\U0001F600", "\xf0\x9f\x98\x80"},
      {platform::kCodePageUtf8, u"a\xd800z", "a\xef\xbf\xbdz"},
      {1252, u"\uff02\uff3c\u2216\u00a5", "???\xa5"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.codePage) + ": " + row.bytes);
    EXPECT_EQ(platform::Utf16ToCodePage(row.wide, row.codePage), row.bytes);
  }
}

TEST(TextContract, ReadingBackInTheCodePage) {
  EXPECT_EQ(platform::CodePageToUtf16("\xb1\"\x95\x5c", platform::kCodePageShiftJis),
            u"\uff71\"\u8868");
  EXPECT_EQ(platform::CodePageToUtf16("\xca\xe9\x95\x5c", platform::kCodePageGbk), u"\u4e66\u661e");
  EXPECT_EQ(platform::CodePageToUtf16("\xe8\xa1\xa8\\", platform::kCodePageUtf8), u"\u8868\\");
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
    EXPECT_EQ(platform::Utf8ToCodePage(c.utf8, platform::kCodePageGbk), c.ansi);
  }
}

}  // namespace
