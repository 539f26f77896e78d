#include "readinfo/command_line.h"

#include "platform/gbk.h"

namespace pellwick {
namespace {

bool NeedsQuotes(std::string_view value) {
  // Blank, tab and double quote are single bytes that no GBK trail byte (0x40-0xFE) equals.
  return value.empty() || value.find_first_of(" \t\"") != std::string_view::npos;
}

void AppendOption(std::string& line, const char* option, const std::string& argument) {
  line += ' ';
  line += option;
  line += ' ';
  line += argument;
}

}  // namespace

std::string QuoteArgument(std::string_view value, bool alwaysQuoted) {
  if (!alwaysQuoted && !NeedsQuotes(value)) return std::string(value);
  std::string quoted = "\"";
  std::size_t backslashes = 0;  // backslash characters just before `pos`
  for (std::size_t pos = 0; pos < value.size();) {
    const std::size_t length = platform::GbkCharLength(value, pos);
    const bool single = length == 1;
    if (single && value[pos] == '"') {
      // 2n+1 backslashes before a quote give n backslashes and a literal quote.
      quoted.append(backslashes + 1, '\\');
    }
    backslashes = single && value[pos] == '\\' ? backslashes + 1 : 0;
    quoted.append(value, pos, length);
    pos += length;
  }
  // Before the closing quote, 2n backslashes give n and leave the quote to end the argument.
  quoted.append(backslashes, '\\');
  quoted += '"';
  return quoted;
}

std::optional<std::string> FormatCommandLine(CommandFormat format, const BookRequest& request) {
  std::string line = "-url " + QuoteArgument(request.url, false);
  AppendOption(line, "-id", QuoteArgument(request.id, false));
  AppendOption(line, "-t", std::to_string(request.readType));
  AppendOption(line, "-g", std::to_string(request.priorPageNo));
  AppendOption(line, "-key", QuoteArgument(request.key, true));
  AppendOption(line, "-n", QuoteArgument(request.name, true));
  if (format != CommandFormat::kDirect) {
    AppendOption(line, "-user", std::to_string(request.userType));
  }
  if (format == CommandFormat::kNew3) {
    AppendOption(line, "-downDay", std::to_string(request.downDay));
  }
  if (line.size() > kMaxCommandLine) return std::nullopt;
  return line;
}

}  // namespace pellwick
