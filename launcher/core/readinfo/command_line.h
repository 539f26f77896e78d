// The reader's command line: each option followed by exactly one argument, as
// CommandLineToArgvW splits it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/text.h"

namespace launcher {

// The longest command line the reader is handed, in characters (bytes of ANSI text).
inline constexpr std::size_t kMaxCommandLine = 511;

// Which launching method's options follow the common ones.
enum class CommandFormat {
  kDirect,  // -url -id -t -g -key -n
  kNew,     // the same, then -user
  kNew3,    // the same, then -user -downDay
};

// One book request; the texts are bytes of the ANSI code page `codePage` that converted them.
struct BookRequest {
  uint32_t codePage = platform::kCodePageGbk;
  std::string url;
  std::string id;
  int32_t readType = 0;
  int32_t priorPageNo = 0;
  std::string key;
  std::string name;
  int32_t userType = 0;  // kNew and kNew3
  int32_t downDay = 0;   // kNew3
};

// The value, text in `codePage`, as one argument: a value without blank, tab or double quote
// stays as it is, unless `alwaysQuoted` or it is empty; otherwise it is wrapped in double
// quotes, a double quote inside is written as \" and the backslashes before a quote (the closing
// one included) are doubled. The value is walked by that code page's characters: a trail byte
// 0x5C belongs to its character and is never taken for a backslash, and a byte that is a lead
// byte only in another code page (0xB1 under 932) never swallows the '"' after it.
std::string QuoteArgument(std::string_view value, bool alwaysQuoted, uint32_t codePage);

// Whether the reader may be handed `url` as its data web root: a plain root ("root",
// "books/data") or an http:// or https:// address with a host. Never a network share
// ("\\\\host\\share", "//host/share"), a local file ("file:", "C:\\books") or any other scheme
// (a "name:" before the first '/', "javascript:" or "smb:"): those would hand the user's network
// credentials or local files to whoever wrote the page.
bool IsAcceptableUrl(std::string_view url);

// "-url %s -id %s -t %d -g %d -key "%s" -n "%s"" with " -user %d" for kNew and
// " -user %d -downDay %d" for kNew3, each value quoted as QuoteArgument does in the request's
// code page (the key and the name always). Ordinary values give exactly that format's text.
// Nothing when the url is not acceptable, the url, id or key begins with '-' (the reader would
// take it for an option), or the line would be longer than kMaxCommandLine.
std::optional<std::string> FormatCommandLine(CommandFormat format, const BookRequest& request);

}  // namespace launcher
