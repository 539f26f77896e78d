#include "link/link_handler.h"

#include "link/used_tickets.h"

namespace launcher {
namespace {

LinkDecision Refused(std::string why) { return {std::nullopt, "refused: " + std::move(why)}; }

// `text` for the one-line log: printable ASCII as it is, any other byte as \xHH, so that no
// value (even a signed one) can break a line or smuggle bytes of another code page into it.
std::string ForLog(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    out += byte >= 0x20 && byte <= 0x7E && byte != '\\' ? std::string(1, c)
                                                        : "\\x" + platform::ToHex({&c, 1});
  }
  return out;
}

}  // namespace

LinkDecision AcceptLaunchLink(std::string_view link, const LinkChecks& checks) {
  const std::optional<std::string> bytes = TicketBytesOfLink(link);
  if (!bytes) {
    return Refused("not a " + std::string(kLinkScheme) + ": link of at most " +
                   std::to_string(kMaxLinkSize) + " base64url characters (" +
                   std::to_string(link.size()) + " characters)");
  }
  // Only the key id, at its fixed place, is read before the signature verifies: every other
  // field is parsed from bytes the library signed.
  const std::optional<KeyId> keyId = TicketKeyId(*bytes);
  if (!keyId) return Refused("the link holds no ticket");
  const std::string* signer = nullptr;
  for (const std::string& point : checks.keys) {
    // A key slot whose resource held no P-256 key is empty: it must match no ticket, although
    // the id of "" is as easy to compute as any other.
    if (point.size() != platform::kP256PointSize) continue;
    if (LaunchKeyId(checks.crypto, point) == *keyId) signer = &point;
  }
  const std::string keyIdHex = platform::ToHex(
      std::string_view(reinterpret_cast<const char*>(keyId->data()), keyId->size()));
  if (signer == nullptr) return Refused("no built-in launch key has the id " + keyIdHex);
  const std::size_t signedSize = bytes->size() - platform::kP256SignatureSize;
  if (!checks.crypto.VerifyP256Sha256(*signer, std::string_view(*bytes).substr(0, signedSize),
                                      std::string_view(*bytes).substr(signedSize))) {
    return Refused("the signature does not verify under key " + keyIdHex);
  }
  const std::optional<SignedTicket> parsed = ParseTicket(*bytes);
  if (!parsed) return Refused("the signed bytes hold no whole ticket");
  const LaunchTicket& ticket = parsed->ticket;
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
    return Refused("the issuing site " + ForLog(ticket.site) + " is not allowed");
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
  return {ticket, "accepted ticket " + number + " of " + ForLog(ticket.site) + " for book " +
                      ForLog(ticket.id)};
}

com::HResult OpenTicketedBook(const LaunchTicket& ticket, ReadInfoMethods& methods) {
  // ParseTicket lets no text through that does not convert; should one come here anyway, it
  // opens nothing rather than an empty value.
  const std::optional<std::u16string> url16 = Utf8ToUtf16Strict(ticket.url);
  const std::optional<std::u16string> id16 = Utf8ToUtf16Strict(ticket.id);
  const std::optional<std::u16string> key16 = Utf8ToUtf16Strict(ticket.key);
  const std::optional<std::u16string> name16 = Utf8ToUtf16Strict(ticket.name);
  if (!url16 || !id16 || !key16 || !name16) return com::kSFalse;
  const std::u16string& url = *url16;
  const std::u16string& id = *id16;
  const std::u16string& key = *key16;
  const std::u16string& name = *name16;
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

}  // namespace launcher
