#include "readinfo/command_line.h"

#include "platform/gbk.h"
#include "platform/text.h"

namespace launcher {
namespace {

// No trail byte of a double-byte code page is a blank, a tab or '"', and no byte of a UTF-8
// sequence is below 0x80, so a byte search finds exactly these characters.
bool NeedsQuotes(std::string_view value) {
  return value.empty() || value.find_first_of(" \t\"") != std::string_view::npos;
}

bool IsSlash(char c) { return c == '/' || c == '\\'; }

bool BeginsWithDash(std::string_view value) { return !value.empty() && value[0] == '-'; }

void AppendOption(std::string& line, const char* option, const std::string& argument) {
  line += ' ';
  line += option;
  line += ' ';
  line += argument;
}

}  // namespace

std::string QuoteArgument(std::string_view value, bool alwaysQuoted, uint32_t codePage) {
  if (!alwaysQuoted && !NeedsQuotes(value)) return std::string(value);
  std::string quoted = "\"";
  std::size_t backslashes = 0;  // backslash characters just before `pos`
  for (std::size_t pos = 0; pos < value.size();) {
    const std::size_t length = platform::CharLength(codePage, value, pos);
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

// Every byte tested here is one no trail byte equals, or one right after a '/' or '\', which
// no lead byte is: the tests need no walk by characters.
bool IsAcceptableUrl(std::string_view url) {
  if (url.size() >= 2 && IsSlash(url[0]) && IsSlash(url[1])) return false;
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos || url.find('/') < colon) return true;
  const std::string_view scheme = url.substr(0, colon);
  if (!platform::EqualsIgnoringAsciiCase(scheme, "http") &&
      !platform::EqualsIgnoringAsciiCase(scheme, "https")) {
    return false;
  }
  const std::string_view rest = url.substr(colon + 1);
  return rest.size() > 2 && rest.substr(0, 2) == "//" && !IsSlash(rest[2]);
}

std::optional<std::string> FormatCommandLine(CommandFormat format, const BookRequest& request) {
  if (!IsAcceptableUrl(request.url) || BeginsWithDash(request.url) || BeginsWithDash(request.id) ||
      BeginsWithDash(request.key)) {
    return std::nullopt;
  }
  const uint32_t codePage = request.codePage;
  std::string line = "-url " + QuoteArgument(request.url, false, codePage);
  AppendOption(line, "-id", QuoteArgument(request.id, false, codePage));
  AppendOption(line, "-t", std::to_string(request.readType));
  AppendOption(line, "-g", std::to_string(request.priorPageNo));
  AppendOption(line, "-key", QuoteArgument(request.key, true, codePage));
  AppendOption(line, "-n", QuoteArgument(request.name, true, codePage));
  if (format != CommandFormat::kDirect) {
    AppendOption(line, "-user", std::to_string(request.userType));
  }
  if (format == CommandFormat::kNew3) {
    AppendOption(line, "-downDay", std::to_string(request.downDay));
  }
  if (line.size() > kMaxCommandLine) return std::nullopt;
  return line;
}

}  // namespace launcher
