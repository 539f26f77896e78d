// The parts of an address that say where it leads, read the way WinInet's InternetCrackUrlA
// reads them (without decoding %xx): the portable implementation follows the same rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

struct UrlParts {
  std::string scheme;        // as written: the text before the first ':'
  bool hasUserInfo = false;  // a user name or password before an '@', even an empty one
  std::string host;          // as written, without the port; empty when the address has none
  // The port the address names, or, when it names none, its scheme's (80 for http, 443 for
  // https, 0 for other schemes); 0 for a port that is not a number from 1 to 65535.
  uint32_t port = 0;
};

// The scheme ends at the first ':'. When "//" follows it, the authority runs up to the first
// '/', '?' or '#' (a backslash does not end it); user information is what comes before the first
// '@' in it, and the port follows the last ':' after that (an empty port is the scheme's). Nothing
// for a text without a ':' or whose scheme holds a character other than a letter, a digit, '+', '-'
// or '.'.
std::optional<UrlParts> CrackUrl(std::string_view url);

}  // namespace platform
