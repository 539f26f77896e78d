#include "support/argv_split.h"

namespace testing_support {
namespace {
bool IsBlank(char16_t c) { return c == u' ' || c == u'\t'; }
}  // namespace

std::vector<std::u16string> SplitArguments(std::u16string_view line) {
  std::vector<std::u16string> arguments;
  std::size_t pos = 0;
  for (;;) {
    while (pos < line.size() && IsBlank(line[pos])) ++pos;
    if (pos == line.size()) return arguments;
    std::u16string argument;
    bool quoted = false;
    while (pos < line.size() && (quoted || !IsBlank(line[pos]))) {
      if (line[pos] == u'\\') {
        std::size_t backslashes = 0;
        while (pos < line.size() && line[pos] == u'\\') ++backslashes, ++pos;
        const bool beforeQuote = pos < line.size() && line[pos] == u'"';
        argument.append(beforeQuote ? backslashes / 2 : backslashes, u'\\');
        if (beforeQuote && backslashes % 2 == 1) {
          argument += u'"';
          ++pos;
        }
      } else if (line[pos] == u'"') {
        ++pos;
        if (quoted && pos < line.size() && line[pos] == u'"') {
          argument += u'"';
          ++pos;
          quoted = false;
        } else {
          quoted = !quoted;
        }
      } else {
        argument += line[pos++];
      }
    }
    arguments.push_back(std::move(argument));
  }
}

}  // namespace testing_support
