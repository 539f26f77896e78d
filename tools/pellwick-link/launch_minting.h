// The library's side of launch tickets: a launch key pair and signed ticket links, through
// OpenSSL's libcrypto (the signing key of ostrel-publish).
#pragma once

#include <optional>
#include <string>

#include "link/launch_ticket.h"
#include "signing_key.h"

namespace minting {

// The file names that keygen writes.
inline constexpr char kLaunchPrivateKeyFile[] = "launch-key.pem";
inline constexpr char kLaunchPublicKeyFile[] = "launch-key.pub";

// The ticket with its key id set to `key`'s, signed, as a tavrel-read: link; nullopt when
// libcrypto failed.
std::optional<std::string> MintLaunchLink(launcher::LaunchTicket ticket,
                                          const publish::SigningKey& key);

// A random single-use number; nullopt when the system's random source failed.
std::optional<launcher::SingleUseNumber> RandomSingleUseNumber();

// Writes a new pair into `folder` (made when missing), never replacing a file; false with
// `why` set on any failure.
bool WriteLaunchKeyPair(const std::string& folder, std::string& why);

}  // namespace minting
