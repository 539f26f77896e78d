#include <openssl/bn.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <vector>

#include "platform/crypto.h"

namespace platform {
namespace {

template <typename T, void (*Free)(T*)>
struct OpenSslDeleter {
  void operator()(T* object) const { Free(object); }
};
using UniqueMdContext = std::unique_ptr<EVP_MD_CTX, OpenSslDeleter<EVP_MD_CTX, EVP_MD_CTX_free>>;
using UniqueKey = std::unique_ptr<EVP_PKEY, OpenSslDeleter<EVP_PKEY, EVP_PKEY_free>>;
using UniqueSignature = std::unique_ptr<ECDSA_SIG, OpenSslDeleter<ECDSA_SIG, ECDSA_SIG_free>>;
using UniqueNumber = std::unique_ptr<BIGNUM, OpenSslDeleter<BIGNUM, BN_free>>;

const unsigned char* Bytes(std::string_view text) {
  return reinterpret_cast<const unsigned char*>(text.data());
}

class OpenSslSha256 final : public Sha256Hash {
 public:
  OpenSslSha256() : context_(EVP_MD_CTX_new()) {
    ok_ = context_ && EVP_DigestInit_ex(context_.get(), EVP_sha256(), nullptr) == 1;
  }

  bool Add(std::string_view data) override {
    ok_ = ok_ && EVP_DigestUpdate(context_.get(), data.data(), data.size()) == 1;
    return ok_;
  }

  std::optional<Sha256Digest> Finish() override {
    Sha256Digest digest{};
    unsigned int size = 0;
    ok_ = ok_ && EVP_DigestFinal_ex(context_.get(), digest.data(), &size) == 1 &&
          size == digest.size();
    if (!ok_) return std::nullopt;
    ok_ = false;  // spent
    return digest;
  }

 private:
  UniqueMdContext context_;
  bool ok_ = false;
};

// The signature in the DER form OpenSSL verifies; empty when it cannot be formed.
std::vector<unsigned char> DerSignature(std::string_view signature) {
  const std::size_t half = kP256SignatureSize / 2;
  UniqueNumber r(BN_bin2bn(Bytes(signature), static_cast<int>(half), nullptr));
  UniqueNumber s(BN_bin2bn(Bytes(signature) + half, static_cast<int>(half), nullptr));
  UniqueSignature parsed(ECDSA_SIG_new());
  if (!r || !s || !parsed || ECDSA_SIG_set0(parsed.get(), r.get(), s.get()) != 1) return {};
  static_cast<void>(r.release());  // owned by `parsed` now
  static_cast<void>(s.release());
  const int size = i2d_ECDSA_SIG(parsed.get(), nullptr);
  if (size <= 0) return {};
  std::vector<unsigned char> der(static_cast<std::size_t>(size));
  unsigned char* out = der.data();
  if (i2d_ECDSA_SIG(parsed.get(), &out) != size) return {};
  return der;
}

class OpenSslCrypto final : public Crypto {
 public:
  std::unique_ptr<Sha256Hash> NewSha256() override { return std::make_unique<OpenSslSha256>(); }

  bool VerifyP256Sha256(std::string_view point, std::string_view message,
                        std::string_view signature) override {
    if (point.size() != kP256PointSize || signature.size() != kP256SignatureSize) return false;
    // Decoding the key checks that the point lies on the curve.
    const std::string info = P256PublicKeyInfo(point);
    const unsigned char* in = Bytes(info);
    const UniqueKey key(d2i_PUBKEY(nullptr, &in, static_cast<long>(info.size())));
    if (!key) return false;
    const std::vector<unsigned char> der = DerSignature(signature);
    const UniqueMdContext context(EVP_MD_CTX_new());
    return !der.empty() && context &&
           EVP_DigestVerifyInit(context.get(), nullptr, EVP_sha256(), nullptr, key.get()) == 1 &&
           EVP_DigestVerify(context.get(), der.data(), der.size(), Bytes(message),
                            message.size()) == 1;
  }
};

}  // namespace

Crypto& SystemCrypto() {
  static OpenSslCrypto crypto;
  return crypto;
}

}  // namespace platform
