#include "link/link_handler.h"

#include "link/used_tickets.h"

namespace pellwick {
namespace {

LinkDecision Refused(std::string why) { return {std::nullopt, "refused: " + std::move(why)}; }

}  // namespace

LinkDecision AcceptLaunchLink(std::string_view link, const LinkChecks& checks) {
  const std::optional<std::string> bytes = TicketBytesOfLink(link);
  if (!bytes) {
    return Refused("not a " + std::string(kLinkScheme) + ": link of at most " +
                   std::to_string(kMaxLinkSize) + " base64url characters (" +
                   std::to_string(link.size()) + " characters)");
  }
  const std::optional<SignedTicket> parsed = ParseTicket(*bytes);
  if (!parsed) return Refused("the link holds no whole ticket");
  const LaunchTicket& ticket = parsed->ticket;

  const std::string* signer = nullptr;
  for (const std::string& point : checks.keys) {
    if (LaunchKeyId(checks.crypto, point) == ticket.keyId) signer = &point;
  }
  const std::string keyId = platform::ToHex(
      std::string_view(reinterpret_cast<const char*>(ticket.keyId.data()), ticket.keyId.size()));
  if (signer == nullptr) return Refused("no built-in launch key has the id " + keyId);
  if (!checks.crypto.VerifyP256Sha256(*signer, parsed->payload, parsed->signature)) {
    return Refused("the signature does not verify under key " + keyId);
  }
  // From here on the ticket's texts are the library's own and may go into the log.
  if (ticket.expiry < checks.now - kClockSkewSeconds) {
    return Refused("expired at " + std::to_string(ticket.expiry) + ", now " +
                   std::to_string(checks.now));
  }
  if (ticket.expiry > checks.now + kMaxTicketLifeSeconds + kClockSkewSeconds) {
    return Refused("expiry " + std::to_string(ticket.expiry) + " is more than " +
                   std::to_string(kMaxTicketLifeSeconds) + " s ahead of now " +
                   std::to_string(checks.now));
  }
  const std::optional<std::u16string> site = Utf8ToUtf16Strict(ticket.site);
  if (!site || !IsAllowedPage(*site, checks.sites)) {
    return Refused("the issuing site " + ticket.site + " is not allowed");
  }
  const std::string number = platform::ToHex(std::string_view(
      reinterpret_cast<const char*>(ticket.singleUse.data()), ticket.singleUse.size()));
  switch (RecordSingleUse(checks.user, ticket.singleUse, ticket.expiry + kClockSkewSeconds,
                          checks.now)) {
    case SingleUse::kFirstUse:
      break;
    case SingleUse::kReplayed:
      return Refused("ticket " + number + " was used before");
    case SingleUse::kFull:
      return Refused("too many tickets in use; ticket " + number + " not recorded");
    case SingleUse::kFailed:
      return Refused("the used tickets cannot be read or recorded");
  }
  return {ticket, "accepted ticket " + number + " of " + ticket.site + " for book " + ticket.id};
}

com::HResult OpenTicketedBook(const LaunchTicket& ticket, ReadInfoMethods& methods) {
  // Every text was checked to convert when the ticket was read.
  const std::u16string url = Utf8ToUtf16Strict(ticket.url).value_or(u"");
  const std::u16string id = Utf8ToUtf16Strict(ticket.id).value_or(u"");
  const std::u16string key = Utf8ToUtf16Strict(ticket.key).value_or(u"");
  const std::u16string name = Utf8ToUtf16Strict(ticket.name).value_or(u"");
  switch (ticket.form) {
    case CommandFormat::kDirect:
      return methods.PassReadInfoDirect(url.c_str(), id.c_str(), ticket.readType,
                                        ticket.priorPageNo, key.c_str(), name.c_str());
    case CommandFormat::kNew:
      return methods.PassReadInfoDirectNew(url.c_str(), id.c_str(), ticket.readType,
                                           ticket.priorPageNo, key.c_str(), name.c_str(),
                                           ticket.userType);
    case CommandFormat::kNew3:
      break;
  }
  return methods.PassReadInfoDirectNew3(url.c_str(), id.c_str(), ticket.readType,
                                        ticket.priorPageNo, key.c_str(), name.c_str(),
                                        ticket.userType, ticket.downDay);
}

}  // namespace pellwick
