// Launch links as a browser or any page may hand them to the link handler. A link's ticket
// decodes only from its canonical base64url text (encoding the bytes again gives the same
// text); a ticket that parses is written back as the same signed bytes; every text in it is
// valid UTF-8.
//
// The verification path, with the fuzz key as the only launch key: whatever the text, a link is
// accepted only when its signed part is the one the key's holder signed (the seed "signed",
// made with `pellwick-link mint` and the private half, which is not kept), and only once.
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "link/launch_ticket.h"
#include "link/link_handler.h"
#include "platform/crypto.h"
#include "platform/memory_registry.h"

namespace {

// The fuzz key's public point (X || Y).
constexpr char kFuzzKeyHex[] =
    "0a389beb940a1d5c661ad1212665dca066b371c7f62ecdb454919625dcd34aa3"
    "7d098d372e4f4051dcd790e4f16b40c5b4d3eae787d11abee77e8d6fbe8d17b3";
// The signed part of the seed "signed" (hex) and a time its ticket is alive at.
constexpr char kSignedPayloadHex[] =
    "54564c31c4ba0f70bb4a5ede000000006b49d32caf8e690dbd5232c911e7baf53e854b9c03001f6874747073"
    "3a2f2f7777772e6d6f7276616e652e6e65742f626f6f6b2f4131001d687474703a2f2f626f6f6b732e6d6f72"
    "76616e652e6e65742f6461746100024131000000020000000f00026b310006e4b9a6e5908d00000003ffffffff";
constexpr int64_t kSeedAliveAt = 1800000200;

void CheckVerification(std::string_view link) {
  static const std::string point = *platform::FromHex(kFuzzKeyHex);
  static const std::string signedPayload = *platform::FromHex(kSignedPayloadHex);
  static const launcher::AllowList sites = [] {
    launcher::AllowList list;
    list.Add("morvane.net;*.morvane.net");
    return list;
  }();
  platform::MemoryRegistry user;
  const launcher::LinkChecks checks{platform::SystemCrypto(), {point}, kSeedAliveAt, sites, user};
  const launcher::LinkDecision first = launcher::AcceptLaunchLink(link, checks);
  if (!first.ticket) return;
  fuzz::Check(launcher::TicketPayload(*first.ticket) == signedPayload,
              "only the signed ticket is accepted");
  fuzz::Check(!launcher::AcceptLaunchLink(link, checks).ticket, "a ticket is accepted once");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const std::string_view link(reinterpret_cast<const char*>(data), size);
  const std::optional<std::string> bytes = launcher::TicketBytesOfLink(link);
  if (bytes) {
    fuzz::Check(link.size() <= launcher::kMaxLinkSize, "links are bounded");
    fuzz::Check(launcher::Base64UrlEncode(*bytes) == link.substr(link.find(':') + 1),
                "one text per ticket");
    const std::optional<launcher::SignedTicket> parsed = launcher::ParseTicket(*bytes);
    if (parsed) {
      fuzz::Check(launcher::TicketPayload(parsed->ticket) == parsed->payload &&
                      parsed->payload + parsed->signature == *bytes,
                  "a ticket is written back as the same bytes");
      for (const std::string* text : {&parsed->ticket.site, &parsed->ticket.url, &parsed->ticket.id,
                                      &parsed->ticket.key, &parsed->ticket.name}) {
        fuzz::Check(launcher::Utf8ToUtf16Strict(*text).has_value(), "texts are UTF-8");
      }
    }
  }
  CheckVerification(link);
  return 0;
}
