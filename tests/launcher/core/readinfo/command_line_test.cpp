// The reader's command line: the fixed formats, and every value coming back as exactly one
// argument when the line is split the way the reader splits it.
#include "readinfo/command_line.h"

#include <gtest/gtest.h>

#include "platform/text.h"
#include "support/argv_split.h"
#include "support/launch_cases.h"

#ifdef _WIN32
#include <windows.h>
// shellapi.h needs windows.h first.
#include <shellapi.h>
#endif

namespace {

using launcher::BookRequest;
using launcher::CommandFormat;
using launcher::FormatCommandLine;
using testing_support::SplitArguments;
using Arguments = std::vector<std::u16string>;

// The splitter is checked against the examples the platform documents for its rules, so the
// tests below rest on the documented behaviour rather than on our reading of it.
const struct {
  const char16_t* line;
  Arguments expected;
} kDocumentedSplits[] = {
    {u"\"a b c\" d e", {u"a b c", u"d", u"e"}},
    {u"\"ab\\\"c\" \"\\\\\" d", {u"ab\"c", u"\\", u"d"}},
    {u"a\\\\\\b d\"e f\"g h", {u"a\\\\\\b", u"de fg", u"h"}},
    {u"a\\\\\\\"b c d", {u"a\\\"b", u"c", u"d"}},
    {u"a\\\\\\\\\"b c\" d e", {u"a\\\\b c", u"d", u"e"}},
    {u"\"\" x", {u"", u"x"}},
    {u"\ta  \t b\t", {u"a", u"b"}},
    {u"\"a\"\"b c\"", {u"a\"b", u"c"}},
    {u"\"\"\"", {u"\""}},
};

TEST(ArgumentSplitter, FollowsTheDocumentedExamples) {
  for (const auto& row : kDocumentedSplits) {
    SCOPED_TRACE(platform::Utf16ToAnsi(row.line));
    EXPECT_EQ(SplitArguments(row.line), row.expected);
  }
}

#ifdef _WIN32
Arguments SplitWithTheSystem(const std::u16string& parameters) {
  // The program name goes first, where CommandLineToArgvW applies its own rule.
  const std::wstring line = L"x.exe " + std::wstring(parameters.begin(), parameters.end());
  int count = 0;
  LPWSTR* argv = ::CommandLineToArgvW(line.c_str(), &count);
  Arguments arguments;
  for (int i = 1; argv != nullptr && i < count; ++i) {
    const std::wstring argument = argv[i];
    arguments.emplace_back(argument.begin(), argument.end());
  }
  ::LocalFree(argv);
  return arguments;
}

TEST(ArgumentSplitter, AgreesWithCommandLineToArgvW) {
  for (const auto& row : kDocumentedSplits) {
    SCOPED_TRACE(platform::Utf16ToAnsi(row.line));
    EXPECT_EQ(SplitWithTheSystem(row.line), row.expected);
  }
}
#endif

BookRequest WorkedExample() {
  BookRequest request;
  request.url = "root";
  request.id = "A1";
  request.readType = 2;
  request.priorPageNo = 15;
  request.key = "";
  request.name = "\xca\xe9\xc3\xfb";  // the two characters "book name"
  request.userType = 3;
  request.downDay = -1;
  return request;
}

TEST(CommandLine, OrdinaryValuesAreWrittenAsTheyCame) {
  // Backslashes not before a quote and extreme numbers need no quoting.
  BookRequest request = WorkedExample();
  request.url = "http://books.example/data\\";
  request.id = "C:\\ids\\x";
  request.key = "k\\ey";
  request.readType = INT32_MIN;
  request.priorPageNo = INT32_MAX;
  EXPECT_EQ(FormatCommandLine(CommandFormat::kDirect, request),
            "-url http://books.example/data\\ -id C:\\ids\\x -t -2147483648 -g 2147483647 "
            "-key \"k\\ey\" -n \"\xca\xe9\xc3\xfb\"");
}

// Every value, converted to the code page the line is written in, comes back as exactly one
// argument when the line is read back in that code page and split.
TEST(CommandLine, EveryValueIsExactlyOneArgumentInEachCodePage) {
  for (const uint32_t codePage :
       {platform::kCodePageGbk, platform::kCodePageShiftJis, platform::kCodePageUtf8}) {
    for (CommandFormat format :
         {CommandFormat::kDirect, CommandFormat::kNew, CommandFormat::kNew3}) {
      for (std::size_t i = 0; i < std::size(testing_support::kHostileValues); ++i) {
        const testing_support::HostileRow row = testing_support::HostileRowAt(i);
        BookRequest request = WorkedExample();
        request.codePage = codePage;
        request.url = platform::Utf16ToCodePage(row.url, codePage);
        request.id = platform::Utf16ToCodePage(row.id, codePage);
        request.key = platform::Utf16ToCodePage(row.key, codePage);
        request.name = platform::Utf16ToCodePage(row.name, codePage);
        const std::optional<std::string> line = FormatCommandLine(format, request);
        ASSERT_TRUE(line.has_value());
        SCOPED_TRACE(std::to_string(codePage) + ": " + *line);
        const std::u16string wide = platform::CodePageToUtf16(*line, codePage);
        const Arguments expected = testing_support::ExpectedArguments(format, row, codePage);
        EXPECT_EQ(SplitArguments(wide), expected);
#ifdef _WIN32
        EXPECT_EQ(SplitWithTheSystem(wide), expected);
#endif
      }
    }
  }
}

TEST(CommandLine, ValuesTheReaderMustNeverReceive) {
  const struct {
    const char* url;
    const char* id;
    const char* key;
    bool refused;
  } rows[] = {
      {"root", "A1", "k", false},
      {"books/data", "A1", "k", false},
      {"http://books.example/data", "A1", "k", false},
      {"HTTPS://books.example:8443/", "A1", "k", false},
      {"root/a:b", "A1", "k", false},  // a colon after the first '/' names no scheme
      {"", "", "", false},
      {"\\\\host\\share", "A1", "k", true},
      {"//host/share", "A1", "k", true},
      {"\\/host/share", "A1", "k", true},
      {"/\\host\\share", "A1", "k", true},
      {"file:///C:/books", "A1", "k", true},
      {"FILE://host/share", "A1", "k", true},
      {"C:\\books", "A1", "k", true},
      {"smb://host/share", "A1", "k", true},
      {"javascript:alert(1)", "A1", "k", true},
      {"http:\\\\host\\share", "A1", "k", true},
      {"http:///etc", "A1", "k", true},
      {"http://", "A1", "k", true},
      {"-url", "A1", "k", true},
      {"root", "-id", "k", true},
      {"root", "A1", "-key", true},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::string(row.url) + " | " + row.id + " | " + row.key);
    BookRequest request = WorkedExample();
    request.url = row.url;
    request.id = row.id;
    request.key = row.key;
    EXPECT_EQ(!FormatCommandLine(CommandFormat::kNew3, request).has_value(), row.refused);
  }
  BookRequest named = WorkedExample();
  named.name = "-n";  // always quoted, and only shown
  EXPECT_TRUE(FormatCommandLine(CommandFormat::kDirect, named).has_value());
}

TEST(CommandLine, QuotingOnlyWhereNeeded) {
  const uint32_t gbk = platform::kCodePageGbk;
  const uint32_t shiftJis = platform::kCodePageShiftJis;
  const uint32_t utf8 = platform::kCodePageUtf8;
  const struct {
    const char* value;
    bool alwaysQuoted;
    uint32_t codePage;
    const char* expected;
  } cases[] = {
      {"plain", false, gbk, "plain"},
      {"plain", true, gbk, "\"plain\""},
      {"", false, gbk, "\"\""},
      {"back\\slash", false, gbk, "back\\slash"},
      {"trailing\\", false, gbk, "trailing\\"},
      {"trailing\\", true, gbk, "\"trailing\\\\\""},
      {"a b", false, gbk, "\"a b\""},
      {"a\tb", false, gbk, "\"a\tb\""},
      {"say \"hi\"", false, gbk, "\"say \\\"hi\\\"\""},
      {"a\\\"b", true, gbk, "\"a\\\\\\\"b\""},
      {"\x81\x5c", true, gbk, "\"\x81\x5c\""},            // a trail byte is not a backslash
      {"\x81\x5c\"", true, gbk, "\"\x81\x5c\\\"\""},      // nor doubled before a quote
      {"\\\x81\x5c\\", true, gbk, "\"\\\x81\x5c\\\\\""},  // only the last one is
      {"\xca\xe9\x81\x5c x", false, gbk, "\"\xca\xe9\x81\x5c x\""},  // quoted for the blank only
      // Under 932, 0xB1 is a character of its own: the quote after it is escaped.
      {"\xb1\"", true, shiftJis, "\"\xb1\\\"\""},
      {"\xb1\" x", false, shiftJis, "\"\xb1\\\" x\""},
      {"\x95\x5c\"", true, shiftJis, "\"\x95\x5c\\\"\""},  // U+8868: its trail byte is 0x5C
      {"\x95\x5c", true, shiftJis, "\"\x95\x5c\""},
      {"\xa0\x5c", true, shiftJis, "\"\xa0\x5c\\\""},  // 0xA0 is no lead byte there
      {"\xef\xbd\xb1\"", true, utf8, "\"\xef\xbd\xb1\\\"\""},
      {"\xe8\xa1\xa8\\", true, utf8, "\"\xe8\xa1\xa8\\\\\""},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(std::to_string(row.codePage) + ": " + row.value);
    EXPECT_EQ(launcher::QuoteArgument(row.value, row.alwaysQuoted, row.codePage), row.expected);
  }
}

TEST(CommandLine, LongerThan511CharactersIsRefused) {
  // The limit applies to the line as written: 30 quotes in the name take 60 characters.
  for (const std::string& name : {std::string("\xca\xe9\xc3\xfb"), std::string(30, '"')}) {
    BookRequest request = WorkedExample();
    request.name = name;
    request.url = "u";
    const std::size_t withoutUrl = FormatCommandLine(CommandFormat::kNew3, request)->size() - 1;
    request.url = std::string(511 - withoutUrl, 'u');
    const std::optional<std::string> longest = FormatCommandLine(CommandFormat::kNew3, request);
    ASSERT_TRUE(longest.has_value());
    EXPECT_EQ(longest->size(), 511u);
    request.url += 'u';
    EXPECT_FALSE(FormatCommandLine(CommandFormat::kNew3, request).has_value());
  }
}

}  // namespace
