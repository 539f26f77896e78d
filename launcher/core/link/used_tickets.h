// The single-use numbers of the launch tickets this user has used, kept until those tickets are
// dead, so that a link works once only. One REG_BINARY value of 24-byte records (the number,
// then the Unix time after which it may be forgotten, 8 bytes big-endian), bounded.
#pragma once

#include <cstddef>
#include <cstdint>

#include "link/launch_ticket.h"
#include "platform/registry.h"

namespace launcher {

// Below HKEY_CURRENT_USER: the link handler's own state, beside the reader's settings.
inline constexpr char kLinkHandlerKey[] = "Software\\Morvane\\Reader\\Link Handler";
inline constexpr char kUsedTicketsValue[] = "Used Tickets";
inline constexpr std::size_t kUsedTicketRecordSize = kSingleUseSize + 8;
// More live tickets than a reader opens books in a ticket's life: past this the handler
// refuses rather than forget a number that could still be replayed.
inline constexpr std::size_t kMaxUsedTickets = 256;

enum class SingleUse {
  kFirstUse,  // recorded now
  kReplayed,  // recorded before and not yet forgotten
  kFull,      // kMaxUsedTickets live records
  kFailed,    // the store cannot be read (or holds something else) or written
};

// Records `number` until `forgetAfter`, dropping the records whose time has passed at `now`.
// The caller keeps other handlers out for the call (the store is read, then written).
SingleUse RecordSingleUse(platform::Registry& user, const SingleUseNumber& number,
                          int64_t forgetAfter, int64_t now);

// The time of the last invalid-link message (8 bytes big-endian Unix seconds), so that a page
// firing bad links keeps no one clicking boxes away: one message in kWarningQuietSeconds.
inline constexpr char kLastWarningValue[] = "Last Warning";
inline constexpr int64_t kWarningQuietSeconds = 10;

// True, and `now` recorded, when no message was shown in the last kWarningQuietSeconds.
bool TakeWarningTurn(platform::Registry& user, int64_t now);

}  // namespace launcher
