#include "platform/crypto.h"

namespace platform {
namespace {

// SEQUENCE { SEQUENCE { OID id-ecPublicKey, OID prime256v1 }, BIT STRING { 0x04 X Y } }: every
// byte before the coordinates is fixed for an uncompressed P-256 key.
constexpr char kP256InfoPrefix[] =
    "\x30\x59\x30\x13\x06\x07\x2a\x86\x48\xce\x3d\x02\x01\x06\x08\x2a\x86\x48\xce\x3d\x03\x01"
    "\x07\x03\x42\x00\x04";
constexpr std::size_t kP256InfoPrefixSize = sizeof kP256InfoPrefix - 1;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<Sha256Digest> Sha256Of(Crypto& crypto, std::string_view data) {
  const std::unique_ptr<Sha256Hash> hash = crypto.NewSha256();
  if (!hash || !hash->Add(data)) return std::nullopt;
  return hash->Finish();
}

std::string ToHex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  hex.reserve(bytes.size() * 2);
  for (const char byte : bytes) {
    const auto value = static_cast<unsigned char>(byte);
    hex += kDigits[value >> 4];
    hex += kDigits[value & 0x0F];
  }
  return hex;
}

std::optional<std::string> FromHex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string bytes;
  bytes.reserve(hex.size() / 2);
  for (std::size_t pos = 0; pos < hex.size(); pos += 2) {
    const int high = HexDigit(hex[pos]);
    const int low = HexDigit(hex[pos + 1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes += static_cast<char>(high * 16 + low);
  }
  return bytes;
}

std::string P256PublicKeyInfo(std::string_view point) {
  return std::string(kP256InfoPrefix, kP256InfoPrefixSize) + std::string(point);
}

std::optional<std::string> P256PointFromPublicKeyInfo(std::string_view der) {
  if (der.size() != kP256InfoPrefixSize + kP256PointSize ||
      der.substr(0, kP256InfoPrefixSize) !=
          std::string_view(kP256InfoPrefix, kP256InfoPrefixSize)) {
    return std::nullopt;
  }
  return std::string(der.substr(kP256InfoPrefixSize));
}

}  // namespace platform
