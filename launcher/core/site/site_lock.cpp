#include "site/site_lock.h"

#include <optional>

#include "platform/gbk.h"
#include "platform/product.h"
#include "platform/url.h"
#include "site/allowed_sites.h"

namespace launcher {
namespace {

constexpr std::string_view kWildcard = "*.";
constexpr std::string_view kHttpPrefix = "http://";
constexpr std::string_view kHttpsPrefix = "https://";
constexpr uint32_t kHttpPort = 80;
constexpr uint32_t kHttpsPort = 443;
constexpr std::size_t kMaxHostLength = 253;
constexpr std::size_t kMaxLabelLength = 63;
// A policy value longer than this is not read at all.
constexpr std::size_t kMaxPolicySize = 8192;

bool IsHostCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-';
}

// `text` in lower case without one trailing dot, when it is a host name; nothing otherwise.
std::optional<std::string> NormalHost(std::string_view text) {
  std::string host = platform::ToLowerAscii(text);
  if (!host.empty() && host.back() == '.') host.pop_back();
  if (host.empty() || host.size() > kMaxHostLength) return std::nullopt;
  std::size_t labelLength = 0;
  for (const char c : host) {
    if (c == '.') {
      if (labelLength == 0) return std::nullopt;
      labelLength = 0;
    } else if (!IsHostCharacter(c) || ++labelLength > kMaxLabelLength) {
      return std::nullopt;
    }
  }
  if (labelLength == 0) return std::nullopt;
  return host;
}

std::string_view Trimmed(std::string_view text) {
  const std::size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool IsWildcard(std::string_view entry) { return entry.substr(0, kWildcard.size()) == kWildcard; }

bool StartsWithIgnoringCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() &&
         platform::EqualsIgnoringAsciiCase(text.substr(0, start.size()), start);
}

// A port of 1 to 65535 written in 1 to 5 digits; 0 for anything else.
uint32_t PortNumber(std::string_view digits) {
  if (digits.empty() || digits.size() > 5) return 0;
  uint32_t port = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return 0;
    port = port * 10 + static_cast<uint32_t>(c - '0');
  }
  return port <= 65535 ? port : 0;
}

bool EndsWith(std::string_view text, std::string_view end) {
  return text.size() >= end.size() && text.substr(text.size() - end.size()) == end;
}

// The address as ASCII, when it is printable ASCII without blanks or backslashes: WinInet
// keeps a '\' inside the host ("http://evil.net\.morvane.net/") where a browser ends the
// host at it, so such an address is never read at all.
std::optional<std::string> PlainAddress(std::u16string_view address) {
  std::string text;
  for (const char16_t c : address) {
    if (c <= u' ' || c > u'~' || c == u'\\') return std::nullopt;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

}  // namespace

void AllowList::Add(std::string_view entries) {
  while (!entries.empty()) {
    const std::size_t end = entries.find(';');
    std::string_view entry = Trimmed(entries.substr(0, end));
    entries.remove_prefix(end == std::string_view::npos ? entries.size() : end + 1);
    const bool http = StartsWithIgnoringCase(entry, kHttpPrefix);
    if (http) entry.remove_prefix(kHttpPrefix.size());
    if (!http && StartsWithIgnoringCase(entry, kHttpsPrefix)) {
      entry.remove_prefix(kHttpsPrefix.size());
    }
    uint32_t port = http ? kHttpPort : kHttpsPort;
    const std::size_t colon = entry.find(':');
    if (colon != std::string_view::npos) {
      port = PortNumber(entry.substr(colon + 1));
      if (port == 0) continue;
      entry = entry.substr(0, colon);
    }
    const bool wildcard = IsWildcard(entry);
    const std::optional<std::string> host =
        NormalHost(wildcard ? entry.substr(kWildcard.size()) : entry);
    if (host) entries_.push_back({http, wildcard ? std::string(kWildcard) + *host : *host, port});
  }
}

bool AllowList::Allows(std::string_view scheme, std::string_view host, uint32_t port) const {
  const bool http = platform::EqualsIgnoringAsciiCase(scheme, "http");
  if (!http && !platform::EqualsIgnoringAsciiCase(scheme, "https")) return false;
  const std::optional<std::string> normal = NormalHost(host);
  if (!normal) return false;
  for (const Entry& entry : entries_) {
    if (entry.http != http || entry.port != port) continue;
    // "*.morvane.net" keeps its dot, so "evilmorvane.net" never ends with it.
    if (IsWildcard(entry.host) ? EndsWith(*normal, entry.host.substr(1)) : *normal == entry.host) {
      return true;
    }
  }
  return false;
}

std::vector<std::string> AllowList::entries() const {
  std::vector<std::string> texts;
  for (const Entry& entry : entries_) {
    std::string text = std::string(entry.http ? kHttpPrefix : kHttpsPrefix) + entry.host;
    if (entry.port != (entry.http ? kHttpPort : kHttpsPort)) {
      text += ":" + std::to_string(entry.port);
    }
    texts.push_back(text);
  }
  return texts;
}

AllowList ReadAllowList(platform::Registry& localMachine) {
  AllowList allowList;
  allowList.Add(kBuiltInAllowedSites);
  const std::unique_ptr<platform::RegistryKey> key =
      localMachine.OpenKey(platform::kReaderPolicyKey);
  platform::RegistryValue value;
  if (key &&
      key->QueryValue(kAllowedSitesValue, kMaxPolicySize, value) == platform::QueryStatus::kOk &&
      value.type == platform::kRegSz) {
    allowList.Add(std::string_view(value.data).substr(0, value.data.find('\0')));
  }
  return allowList;
}

bool IsAllowedPage(std::u16string_view address, const AllowList& allowList) {
  const std::optional<std::string> text = PlainAddress(address);
  if (!text) return false;
  const std::optional<platform::UrlParts> parts = platform::CrackUrl(*text);
  if (!parts || parts->hasUserInfo) return false;
  return allowList.Allows(parts->scheme, parts->host, parts->port);
}

bool IsAllowedPage(const std::vector<std::u16string>& addresses, const AllowList& allowList) {
  if (addresses.empty()) return false;
  for (const std::u16string& address : addresses) {
    if (!IsAllowedPage(address, allowList)) return false;
  }
  return true;
}

}  // namespace launcher
