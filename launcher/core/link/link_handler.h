// What the reader's link handler decides about a link, without the platform's windows: a link
// is accepted only when its ticket is whole, signed by a built-in launch key, alive, issued by
// an allowed site and not used before; the book then opens through the control's own launching
// members, so a ticket's values meet exactly the rules a page's values meet.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/launch_ticket.h"
#include "module/com_rules.h"
#include "platform/crypto.h"
#include "platform/registry.h"
#include "readinfo/read_info.h"
#include "site/site_lock.h"

namespace launcher {

struct LinkChecks {
  platform::Crypto& crypto;
  // The launch keys' points (X || Y), at most two (current and next); a point that is not a
  // P-256 key matches nothing.
  std::vector<std::string> keys;
  int64_t now = 0;  // Unix time in seconds
  const AllowList& sites;
  platform::Registry& user;  // the single-use numbers (used_tickets.h)
};

struct LinkDecision {
  std::optional<LaunchTicket> ticket;  // set when accepted
  std::string why;                     // a log line: what was accepted, or why not
};

// Accepts `link` (the handler's one argument) or says why not. An accepted ticket's single-use
// number is recorded, so the same link is refused the next time; the caller keeps other
// handlers out while this runs.
LinkDecision AcceptLaunchLink(std::string_view link, const LinkChecks& checks);

// Opens the ticket's book with the launching member of its form. S_FALSE when a value breaks
// the control's rules (nothing started, nothing shown); S_OK otherwise, as the member returns.
com::HResult OpenTicketedBook(const LaunchTicket& ticket, ReadInfoMethods& methods);

}  // namespace launcher
