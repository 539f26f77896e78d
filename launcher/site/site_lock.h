// The site lock: only pages of the publisher's own sites may use the control. A page is allowed
// when its address is http or https and its host matches the allow-list, which is built in and
// can be extended by an administrator's policy, never by a per-user value.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/registry.h"

namespace pellwick {

// Below platform::kReaderPolicyKey under HKEY_LOCAL_MACHINE: a REG_SZ of entries separated by
// ';' that extends the built-in list.
inline constexpr char kAllowedSitesValue[] = "AllowedSites";

class AllowList {
 public:
  // Adds the entries of `entries`, separated by ';': "host" allows that host alone, "*.domain"
  // every host below the domain (not the domain itself). Letter case, blanks around an entry
  // and one trailing dot do not matter; an entry that is not a host name is ignored.
  void Add(std::string_view entries);

  // Whether `host`, as an address names it, matches an entry (letter case and one trailing
  // dot ignored). Only letters, digits, '-' and dots in labels of 1 to 63 characters make a
  // host: anything else (percent escapes, '\', '@', a port, an IPv6 literal) matches nothing.
  bool Allows(std::string_view host) const;

  // The entries in their normal form (lower case, no trailing dot), for tests and diagnostics.
  const std::vector<std::string>& entries() const { return entries_; }

 private:
  std::vector<std::string> entries_;
};

// The list the control uses: the built-in entries (PELLWICK_ALLOWED_SITES at build time), then
// those of the policy value under `localMachine`, when it is a REG_SZ.
AllowList ReadAllowList(platform::Registry& localMachine);

// Whether a page at `address` may use the control: printable ASCII without '\', a scheme of
// http or https, no user information, and an allowed host. An address in any other form, with
// an internationalised host written in Unicode for one, is not allowed.
bool IsAllowedPage(std::u16string_view address, const AllowList& allowList);

// Whether a hosting page may use the control, from the addresses its site gave (the container's
// moniker, the browser's location): only when there is at least one and every one is allowed.
bool IsAllowedPage(const std::vector<std::u16string>& addresses, const AllowList& allowList);

}  // namespace pellwick
