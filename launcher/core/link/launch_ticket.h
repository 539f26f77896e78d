// Launch tickets: a book request that the library's web server signed, carried by a link
// ("tavrel-read:" followed by the ticket in base64url) that any browser hands to the reader's
// link handler. The handler trusts nothing of the link but what a built-in launch key signed.
//
// The ticket's bytes, in order (numbers big-endian, texts UTF-8 led by their 2-byte length):
//   "TVL1"                 4 bytes, format and version
//   key id                 8 bytes, the first 8 bytes of SHA-256 of the signing key's X || Y
//   expiry                 8 bytes, Unix time in seconds after which the ticket is dead
//   single-use number      16 bytes, random
//   form                   1 byte: 1 PassReadInfoDirect, 2 ...New (adds user), 3 ...New3
//   site                   text, the address of the library page that issued the ticket
//   url, id                texts
//   readType, priorPageNo  4 bytes each, signed
//   key, name              texts
//   userType               4 bytes, signed, forms 2 and 3 only
//   downDay                4 bytes, signed, form 3 only
//   signature              64 bytes, ECDSA P-256 r || s over SHA-256 of every byte before it
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/crypto.h"
#include "readinfo/command_line.h"

namespace launcher {

inline constexpr char kLinkScheme[] = "tavrel-read";
inline constexpr char kTicketMagic[] = "TVL1";
inline constexpr std::size_t kKeyIdSize = 8;
inline constexpr std::size_t kSingleUseSize = 16;
// The longest ticket accepted, and so the longest link: the scheme, ':' and its base64url text.
inline constexpr std::size_t kMaxTicketSize = 1536;
inline constexpr std::size_t kMaxLinkSize = sizeof kLinkScheme + (kMaxTicketSize / 3) * 4;
// A ticket lives at most this long; clocks may differ by up to the skew either way.
inline constexpr int64_t kMaxTicketLifeSeconds = 600;
inline constexpr int64_t kClockSkewSeconds = 300;

using KeyId = std::array<unsigned char, kKeyIdSize>;
using SingleUseNumber = std::array<unsigned char, kSingleUseSize>;

// What a ticket asks for. Texts are UTF-8 here; the launch converts them like the control
// converts a page's strings.
struct LaunchTicket {
  KeyId keyId{};
  int64_t expiry = 0;
  SingleUseNumber singleUse{};
  CommandFormat form = CommandFormat::kDirect;
  std::string site;
  std::string url;
  std::string id;
  int32_t readType = 0;
  int32_t priorPageNo = 0;
  std::string key;
  std::string name;
  int32_t userType = 0;  // kNew and kNew3
  int32_t downDay = 0;   // kNew3
};

// The signed part of a ticket (everything before the signature).
std::string TicketPayload(const LaunchTicket& ticket);

// A parsed ticket, with the bytes its signature covers.
struct SignedTicket {
  LaunchTicket ticket;
  std::string payload;
  std::string signature;  // r || s
};

// The ticket of `bytes`: nullopt unless the bytes hold exactly one ticket of the form above
// (no byte after the signature), no longer than kMaxTicketSize, every text valid UTF-8 without
// a zero character.
std::optional<SignedTicket> ParseTicket(std::string_view bytes);

// The key id of ticket bytes, read at its fixed place so that the signature can be checked
// before any other field is: nullopt unless the bytes start with the magic and have room for a
// key id and a signature.
std::optional<KeyId> TicketKeyId(std::string_view bytes);

// base64url without padding, and back; decoding accepts only the canonical text (the alphabet
// A-Z a-z 0-9 - _, no padding, no unused bit set), so no two links carry the same ticket.
std::string Base64UrlEncode(std::string_view bytes);
std::optional<std::string> Base64UrlDecode(std::string_view text);

// "tavrel-read:" + base64url of the signed ticket.
std::string LaunchLink(std::string_view payload, std::string_view signature);

// The ticket bytes of a link: the scheme (any letter case) and ':', then base64url and nothing
// else; nullopt for anything longer than kMaxLinkSize.
std::optional<std::string> TicketBytesOfLink(std::string_view link);

// The key id of a P-256 public key X || Y; nullopt when the platform has no SHA-256.
std::optional<KeyId> LaunchKeyId(platform::Crypto& crypto, std::string_view point);

// The UTF-16 form of valid UTF-8 text without a zero character; nullopt for anything else
// (overlong forms, surrogates, code points past U+10FFFF, a cut sequence).
std::optional<std::u16string> Utf8ToUtf16Strict(std::string_view utf8);

}  // namespace launcher
