#include "platform/url.h"

namespace platform {
namespace {

bool IsSchemeCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' ||
         c == '-' || c == '.';
}

uint32_t DefaultPort(std::string_view scheme) {
  std::string lower;
  for (const char c : scheme) lower.push_back(c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c);
  if (lower == "http") return 80;
  if (lower == "https") return 443;
  return 0;
}

uint32_t PortNumber(std::string_view digits) {
  uint32_t port = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + static_cast<uint32_t>(c - '0');
    if (port > 65535) return 0;
  }
  return port;
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
  const std::size_t portColon = authority.rfind(':');
  parts.host = std::string(authority.substr(0, portColon));
  const std::string_view port =
      portColon == std::string_view::npos ? std::string_view() : authority.substr(portColon + 1);
  parts.port = port.empty() ? DefaultPort(parts.scheme) : PortNumber(port);
  return parts;
}

}  // namespace platform
