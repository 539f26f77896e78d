#include "signing_key.h"

#include <openssl/bio.h>
#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <vector>

#include "platform/crypto.h"

namespace publish {

namespace {

template <typename T, void (*Free)(T*)>
struct Deleter {
  void operator()(T* object) const { Free(object); }
};
using UniqueBio = std::unique_ptr<BIO, Deleter<BIO, BIO_free_all>>;
using UniqueMdContext = std::unique_ptr<EVP_MD_CTX, Deleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using UniqueSignature = std::unique_ptr<ECDSA_SIG, Deleter<ECDSA_SIG, ECDSA_SIG_free>>;

std::string LastOpenSslError() {
  const unsigned long code = ERR_get_error();
  if (code == 0) return "unknown reason";
  char text[256] = {};
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

// The point of a key in uncompressed form; nullopt for any key but P-256.
std::optional<std::string> PointOf(EVP_PKEY* key) {
  const int size = i2d_PUBKEY(key, nullptr);
  if (size <= 0) return std::nullopt;
  std::string der(static_cast<std::size_t>(size), '\0');
  auto* out = reinterpret_cast<unsigned char*>(der.data());
  if (i2d_PUBKEY(key, &out) != size) return std::nullopt;
  return platform::P256PointFromPublicKeyInfo(der);
}

std::string BioText(BIO* bio) {
  char* data = nullptr;
  const long size = BIO_get_mem_data(bio, &data);
  return size > 0 ? std::string(data, static_cast<std::size_t>(size)) : std::string();
}

}  // namespace

struct SigningKey::Key {
  std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>> pkey;
};

SigningKey::SigningKey(std::unique_ptr<Key> key, std::string point)
    : key_(std::move(key)), point_(std::move(point)) {}
SigningKey::~SigningKey() = default;
SigningKey::SigningKey(SigningKey&&) noexcept = default;
SigningKey& SigningKey::operator=(SigningKey&&) noexcept = default;

std::optional<SigningKey> SigningKey::Generate() {
  auto key = std::make_unique<Key>();
  key->pkey.reset(EVP_PKEY_Q_keygen(nullptr, nullptr, "EC", "P-256"));
  if (!key->pkey) return std::nullopt;
  std::optional<std::string> point = PointOf(key->pkey.get());
  if (!point) return std::nullopt;
  return SigningKey(std::move(key), std::move(*point));
}

std::optional<SigningKey> SigningKey::Load(const std::string& pemPath, std::string& why) {
  const UniqueBio file(BIO_new_file(pemPath.c_str(), "r"));
  if (!file) {
    why = "cannot read " + pemPath;
    return std::nullopt;
  }
  auto key = std::make_unique<Key>();
  key->pkey.reset(PEM_read_bio_PrivateKey(file.get(), nullptr, nullptr, nullptr));
  if (!key->pkey) {
    why = pemPath + " holds no private key in PEM form (" + LastOpenSslError() + ")";
    return std::nullopt;
  }
  std::optional<std::string> point = PointOf(key->pkey.get());
  if (!point) {
    why = pemPath + " is not an ECDSA P-256 key";
    return std::nullopt;
  }
  return SigningKey(std::move(key), std::move(*point));
}

std::string SigningKey::Sign(std::string_view message) const {
  const UniqueMdContext context(EVP_MD_CTX_new());
  std::size_t size = 0;
  if (!context ||
      EVP_DigestSignInit(context.get(), nullptr, EVP_sha256(), nullptr, key_->pkey.get()) != 1 ||
      EVP_DigestSign(context.get(), nullptr, &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return {};
  }
  std::vector<unsigned char> der(size);
  if (EVP_DigestSign(context.get(), der.data(), &size,
                     reinterpret_cast<const unsigned char*>(message.data()), message.size()) != 1) {
    return {};
  }
  // libcrypto signs in DER; the manifest carries r || s, each padded to 32 bytes.
  const unsigned char* in = der.data();
  const UniqueSignature parsed(d2i_ECDSA_SIG(nullptr, &in, static_cast<long>(size)));
  if (!parsed) return {};
  const std::size_t half = platform::kP256SignatureSize / 2;
  std::string signature(platform::kP256SignatureSize, '\0');
  auto* out = reinterpret_cast<unsigned char*>(signature.data());
  if (BN_bn2binpad(ECDSA_SIG_get0_r(parsed.get()), out, static_cast<int>(half)) !=
          static_cast<int>(half) ||
      BN_bn2binpad(ECDSA_SIG_get0_s(parsed.get()), out + half, static_cast<int>(half)) !=
          static_cast<int>(half)) {
    return {};
  }
  return signature;
}

std::string SigningKey::PrivatePem() const {
  const UniqueBio bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PrivateKey(bio.get(), key_->pkey.get(), nullptr, nullptr, 0, nullptr,
                                       nullptr) != 1) {
    return {};
  }
  return BioText(bio.get());
}

std::string SigningKey::PublicPem() const {
  const UniqueBio bio(BIO_new(BIO_s_mem()));
  if (!bio || PEM_write_bio_PUBKEY(bio.get(), key_->pkey.get()) != 1) return {};
  return BioText(bio.get());
}

std::optional<std::string> LoadPublicKey(const std::string& pubPath, std::string& why) {
  const UniqueBio file(BIO_new_file(pubPath.c_str(), "r"));
  if (!file) {
    why = "cannot read " + pubPath;
    return std::nullopt;
  }
  const std::unique_ptr<EVP_PKEY, Deleter<EVP_PKEY, EVP_PKEY_free>> key(
      PEM_read_bio_PUBKEY(file.get(), nullptr, nullptr, nullptr));
  if (!key) {
    why = pubPath + " holds no public key in PEM form (" + LastOpenSslError() + ")";
    return std::nullopt;
  }
  std::optional<std::string> point = PointOf(key.get());
  if (!point) why = pubPath + " is not an ECDSA P-256 key";
  return point;
}

}  // namespace publish
