#include "launch_minting.h"

#include <fcntl.h>
#include <openssl/rand.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "platform/crypto.h"

namespace minting {
namespace {

// Created with O_EXCL and its final mode, so a private key is never readable by others, not
// even for a moment, and no existing file is replaced.
bool WriteNewFile(const std::filesystem::path& path, const std::string& text, mode_t mode,
                  std::string& why) {
  const int file = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
  if (file < 0) {
    why = "cannot create " + path.string() + ": " + std::strerror(errno);
    return false;
  }
  std::size_t written = 0;
  while (written < text.size()) {
    const ssize_t count = ::write(file, text.data() + written, text.size() - written);
    if (count <= 0) break;
    written += static_cast<std::size_t>(count);
  }
  const bool closed = ::close(file) == 0;
  if (written != text.size() || !closed) {
    why = "cannot write " + path.string();
    return false;
  }
  return true;
}

}  // namespace

std::optional<std::string> MintLaunchLink(launcher::LaunchTicket ticket,
                                          const publish::SigningKey& key) {
  const std::optional<launcher::KeyId> id =
      launcher::LaunchKeyId(platform::SystemCrypto(), key.point());
  if (!id) return std::nullopt;
  ticket.keyId = *id;
  const std::string payload = launcher::TicketPayload(ticket);
  const std::string signature = key.Sign(payload);
  if (signature.size() != platform::kP256SignatureSize) return std::nullopt;
  return launcher::LaunchLink(payload, signature);
}

std::optional<launcher::SingleUseNumber> RandomSingleUseNumber() {
  launcher::SingleUseNumber number{};
  if (RAND_bytes(number.data(), static_cast<int>(number.size())) != 1) return std::nullopt;
  return number;
}

bool WriteLaunchKeyPair(const std::string& folder, std::string& why) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  std::optional<publish::SigningKey> key = publish::SigningKey::Generate();
  if (!key) {
    why = "libcrypto made no key";
    return false;
  }
  const std::filesystem::path base(folder);
  if (std::filesystem::exists(base / kLaunchPublicKeyFile, error)) {
    why = (base / kLaunchPublicKeyFile).string() + " exists already; a key is never replaced";
    return false;
  }
  if (!WriteNewFile(base / kLaunchPrivateKeyFile, key->PrivatePem(), 0600, why)) return false;
  if (!WriteNewFile(base / kLaunchPublicKeyFile, key->PublicPem(), 0644, why)) {
    std::filesystem::remove(base / kLaunchPrivateKeyFile, error);
    return false;
  }
  return true;
}

}  // namespace minting
