// The site lock: only pages of the publisher's own sites may use the control. A page is allowed
// when its scheme, host and port match an entry of the allow-list, which is built in and can be
// extended by an administrator's policy, never by a per-user value. Entries allow https unless
// they say http: a plain-http page can be read and changed by anyone on its way.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace launcher {

// Below platform::kReaderPolicyKey under HKEY_LOCAL_MACHINE: a REG_SZ of entries separated by
// ';' that extends the built-in list.
inline constexpr char kAllowedSitesValue[] = "AllowedSites";

class AllowList {
 public:
  // Adds the entries of `entries`, separated by ';', each [scheme://]host[:port]: the host
  // "host" allows that host alone, "*.domain" every host below the domain (not the domain
  // itself); the scheme is https unless "http://" is written; the port is the scheme's unless
  // one from 1 to 65535 is written. Letter case, blanks around an entry and one trailing dot of
  // the host do not matter; an entry of any other form (another scheme, a path) is ignored.
  void Add(std::string_view entries);

  // Whether a page of that scheme ("http" or "https", any letter case), `host` as the address
  // names it, and port matches an entry (host letter case and one trailing dot ignored). Only
  // letters, digits, '-' and dots in labels of 1 to 63 characters make a host: anything else
  // (percent escapes, '\', '@', a port, an IPv6 literal) matches nothing.
  bool Allows(std::string_view scheme, std::string_view host, uint32_t port) const;

  // The entries in their normal form ("https://host", lower case, no trailing dot, ":port" only
  // when it is not the scheme's), for tests and diagnostics.
  std::vector<std::string> entries() const;

 private:
  struct Entry {
    bool http;         // plain http; https otherwise
    std::string host;  // normal host, or "*." and one
    uint32_t port;
  };
  std::vector<Entry> entries_;
};

// The list the control uses: the built-in entries (PELLWICK_ALLOWED_SITES at build time), then
// those of the policy value under `localMachine`, when it is a REG_SZ.
AllowList ReadAllowList(platform::Registry& localMachine);

// Whether a page at `address` may use the control: printable ASCII without '\', no user
// information, and a scheme, host and port that an entry allows. An address in any other form, with
// an internationalised host written in Unicode for one, is not allowed.
bool IsAllowedPage(std::u16string_view address, const AllowList& allowList);

// Whether a hosting page may use the control, from the addresses its site gave (the container's
// moniker, the browser's location): only when there is at least one and every one is allowed.
bool IsAllowedPage(const std::vector<std::u16string>& addresses, const AllowList& allowList);

}  // namespace launcher
