// SHA-256 and ECDSA P-256 signature checks, taken from the platform's own cryptography: CNG
// (bcrypt.dll) on Windows, OpenSSL's libcrypto elsewhere. Nothing here computes a hash or a
// curve operation itself.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr std::size_t kSha256Size = 32;
// A P-256 public key as its two coordinates, X then Y, 32 big-endian bytes each.
inline constexpr std::size_t kP256PointSize = 64;
// An ECDSA P-256 signature as r then s, 32 big-endian bytes each.
inline constexpr std::size_t kP256SignatureSize = 64;

using Sha256Digest = std::array<unsigned char, kSha256Size>;

class Sha256Hash {
 public:
  virtual ~Sha256Hash() = default;
  // Adds the next bytes; false once the platform has failed.
  virtual bool Add(std::string_view data) = 0;
  // The digest of everything added; nullopt when the platform failed. Call it once.
  virtual std::optional<Sha256Digest> Finish() = 0;
};

class Crypto {
 public:
  virtual ~Crypto() = default;
  // A new SHA-256 hash; nullptr when the platform has none (Windows before Vista).
  virtual std::unique_ptr<Sha256Hash> NewSha256() = 0;
  // True only when `signature` (r || s) is a valid ECDSA signature over the SHA-256 of
  // `message` by the P-256 key `point` (X || Y). False for a wrong length, a point that is not
  // on the curve, any other bad input, or a platform without the algorithm.
  virtual bool VerifyP256Sha256(std::string_view point, std::string_view message,
                                std::string_view signature) = 0;
  // True when the platform has both SHA-256 and ECDSA P-256, so a valid signature can verify.
  virtual bool CanVerifyP256Sha256() { return true; }
};

// SHA-256 of one block; nullopt when the platform has none.
std::optional<Sha256Digest> Sha256Of(Crypto& crypto, std::string_view data);

// Lower-case hexadecimal of bytes, and back (either letter case; nullopt for any other text).
std::string ToHex(std::string_view bytes);
std::optional<std::string> FromHex(std::string_view hex);

// A P-256 public key in the DER SubjectPublicKeyInfo form that key files and `openssl pkey
// -outform DER` use, and back: the 64-byte point of such a key, nullopt for anything else
// (another curve, a compressed point, extra bytes).
std::string P256PublicKeyInfo(std::string_view point);
std::optional<std::string> P256PointFromPublicKeyInfo(std::string_view der);

// The running system's cryptography.
Crypto& SystemCrypto();

}  // namespace platform
