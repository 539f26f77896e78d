#include "platform/url.h"

namespace platform {
namespace {

bool IsSchemeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

}  // namespace

std::optional<UrlParts> CrackUrl(std::string_view url) {
  const std::size_t colon = url.find(':');
  if (colon == std::string_view::npos) return std::nullopt;
  UrlParts parts;
  parts.scheme = std::string(url.substr(0, colon));
  for (const char c : parts.scheme) {
    if (!IsSchemeCharacter(c)) return std::nullopt;
  }
  std::string_view rest = url.substr(colon + 1);
  if (rest.substr(0, 2) != "//") return parts;
  rest.remove_prefix(2);
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  const std::size_t at = authority.find('@');
  if (at != std::string_view::npos) {
    parts.hasUserInfo = true;
    authority.remove_prefix(at + 1);
  }
  parts.host = std::string(authority.substr(0, authority.rfind(':')));
  return parts;
}

}  // namespace platform
