#include <windows.h>
// wininet.h needs windows.h first.
#include <wininet.h>

#include "platform/url.h"

namespace platform {

std::optional<UrlParts> CrackUrl(std::string_view url) {
  if (url.empty()) return std::nullopt;
  // A null pointer with a non-zero length asks for the part's place in the address itself.
  URL_COMPONENTSA components = {};
  components.dwStructSize = sizeof components;
  components.dwSchemeLength = 1;
  components.dwHostNameLength = 1;
  components.dwUserNameLength = 1;
  components.dwPasswordLength = 1;
  const std::string text(url);
  if (!::InternetCrackUrlA(text.c_str(), static_cast<DWORD>(text.size()), 0, &components)) {
    return std::nullopt;
  }
  UrlParts parts;
  if (components.lpszScheme != nullptr) {
    parts.scheme.assign(components.lpszScheme, components.dwSchemeLength);
  }
  parts.hasUserInfo = components.lpszUserName != nullptr || components.lpszPassword != nullptr;
  if (components.lpszHostName != nullptr) {
    parts.host.assign(components.lpszHostName, components.dwHostNameLength);
  }
  // InternetCrackUrl gives the scheme's default port when the address names none.
  parts.port = components.nPort;
  return parts;
}

}  // namespace platform
