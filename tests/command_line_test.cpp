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

using pellwick::BookRequest;
using pellwick::CommandFormat;
using pellwick::FormatCommandLine;
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

TEST(CommandLine, EveryValueIsExactlyOneArgument) {
  for (CommandFormat format : {CommandFormat::kDirect, CommandFormat::kNew, CommandFormat::kNew3}) {
    for (std::size_t i = 0; i < std::size(testing_support::kHostileValues); ++i) {
      const testing_support::HostileRow row = testing_support::HostileRowAt(i);
      BookRequest request = WorkedExample();
      request.url = platform::Utf16ToAnsi(row.url);
      request.id = platform::Utf16ToAnsi(row.id);
      request.key = platform::Utf16ToAnsi(row.key);
      request.name = platform::Utf16ToAnsi(row.name);
      const std::optional<std::string> line = FormatCommandLine(format, request);
      ASSERT_TRUE(line.has_value());
      SCOPED_TRACE(*line);
      const std::u16string wide = platform::AnsiToUtf16(*line);
      const Arguments expected = testing_support::ExpectedArguments(format, row);
      EXPECT_EQ(SplitArguments(wide), expected);
#ifdef _WIN32
      EXPECT_EQ(SplitWithTheSystem(wide), expected);
#endif
    }
  }
}

TEST(CommandLine, QuotingOnlyWhereNeeded) {
  const struct {
    const char* value;
    bool alwaysQuoted;
    const char* expected;
  } cases[] = {
      {"plain", false, "plain"},
      {"plain", true, "\"plain\""},
      {"", false, "\"\""},
      {"back\\slash", false, "back\\slash"},
      {"trailing\\", false, "trailing\\"},
      {"trailing\\", true, "\"trailing\\\\\""},
      {"a b", false, "\"a b\""},
      {"a\tb", false, "\"a\tb\""},
      {"say \"hi\"", false, "\"say \\\"hi\\\"\""},
      {"a\\\"b", true, "\"a\\\\\\\"b\""},
      {"\x81\x5c", true, "\"\x81\x5c\""},                       // a trail byte is not a backslash
      {"\x81\x5c\"", true, "\"\x81\x5c\\\"\""},                 // nor doubled before a quote
      {"\\\x81\x5c\\", true, "\"\\\x81\x5c\\\\\""},             // only the last one is
      {"\xca\xe9\x81\x5c x", false, "\"\xca\xe9\x81\x5c x\""},  // quoted for the blank only
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.value);
    EXPECT_EQ(pellwick::QuoteArgument(row.value, row.alwaysQuoted), row.expected);
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
