// CNG through bcrypt.dll, loaded from the system folder at first use: Windows before Vista has
// no CNG, and Ostrel must still start there (it then accepts no signature). The hash runs as
// BCryptCreateHash, BCryptHashData and BCryptFinishHash, which Vista has; the one-call
// BCryptHash came only with Windows 10.
#include <windows.h>
// bcrypt.h needs windows.h first.
#include <bcrypt.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "platform/crypto.h"

namespace platform {
namespace {

template <typename Function>
Function Lookup(HMODULE module, const char* name) {
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// The functions of bcrypt.dll and the two algorithm providers, opened once for the process
// (providers may be shared between threads) and never closed.
struct Cng {
  decltype(&::BCryptOpenAlgorithmProvider) openAlgorithm = nullptr;
  decltype(&::BCryptGetProperty) getProperty = nullptr;
  decltype(&::BCryptCreateHash) createHash = nullptr;
  decltype(&::BCryptHashData) hashData = nullptr;
  decltype(&::BCryptFinishHash) finishHash = nullptr;
  decltype(&::BCryptDestroyHash) destroyHash = nullptr;
  decltype(&::BCryptImportKeyPair) importKeyPair = nullptr;
  decltype(&::BCryptVerifySignature) verifySignature = nullptr;
  decltype(&::BCryptDestroyKey) destroyKey = nullptr;
  BCRYPT_ALG_HANDLE sha256 = nullptr;
  BCRYPT_ALG_HANDLE ecdsaP256 = nullptr;
  DWORD hashObjectSize = 0;
};

Cng LoadCng() {
  Cng cng;
  char folder[MAX_PATH] = {};
  const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH - 12) return cng;
  // From the system folder by full path: never a bcrypt.dll beside the program.
  const HMODULE module = ::LoadLibraryA((std::string(folder) + "\\bcrypt.dll").c_str());
  if (module == nullptr) return cng;
  cng.openAlgorithm = Lookup<decltype(cng.openAlgorithm)>(module, "BCryptOpenAlgorithmProvider");
  cng.getProperty = Lookup<decltype(cng.getProperty)>(module, "BCryptGetProperty");
  cng.createHash = Lookup<decltype(cng.createHash)>(module, "BCryptCreateHash");
  cng.hashData = Lookup<decltype(cng.hashData)>(module, "BCryptHashData");
  cng.finishHash = Lookup<decltype(cng.finishHash)>(module, "BCryptFinishHash");
  cng.destroyHash = Lookup<decltype(cng.destroyHash)>(module, "BCryptDestroyHash");
  cng.importKeyPair = Lookup<decltype(cng.importKeyPair)>(module, "BCryptImportKeyPair");
  cng.verifySignature = Lookup<decltype(cng.verifySignature)>(module, "BCryptVerifySignature");
  cng.destroyKey = Lookup<decltype(cng.destroyKey)>(module, "BCryptDestroyKey");
  if (!cng.openAlgorithm || !cng.getProperty || !cng.createHash || !cng.hashData ||
      !cng.finishHash || !cng.destroyHash || !cng.importKeyPair || !cng.verifySignature ||
      !cng.destroyKey) {
    return Cng{};
  }
  ULONG copied = 0;
  if (!BCRYPT_SUCCESS(cng.openAlgorithm(&cng.sha256, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) ||
      !BCRYPT_SUCCESS(cng.getProperty(cng.sha256, BCRYPT_OBJECT_LENGTH,
                                      reinterpret_cast<PUCHAR>(&cng.hashObjectSize),
                                      sizeof cng.hashObjectSize, &copied, 0))) {
    cng.sha256 = nullptr;
  }
  if (!BCRYPT_SUCCESS(cng.openAlgorithm(&cng.ecdsaP256, BCRYPT_ECDSA_P256_ALGORITHM, nullptr, 0))) {
    cng.ecdsaP256 = nullptr;
  }
  return cng;
}

const Cng& Functions() {
  static const Cng cng = LoadCng();
  return cng;
}

class CngSha256 final : public Sha256Hash {
 public:
  CngSha256(const Cng& cng) : cng_(cng), object_(cng.hashObjectSize) {
    ok_ = BCRYPT_SUCCESS(cng_.createHash(cng_.sha256, &hash_, object_.data(),
                                         static_cast<ULONG>(object_.size()), nullptr, 0, 0));
  }
  ~CngSha256() override {
    if (hash_ != nullptr) cng_.destroyHash(hash_);
  }
  CngSha256(const CngSha256&) = delete;
  CngSha256& operator=(const CngSha256&) = delete;

  bool Add(std::string_view data) override {
    // A ULONG count per call: hand over very large blocks in pieces.
    while (ok_ && !data.empty()) {
      const std::size_t piece = std::min<std::size_t>(data.size(), 1u << 30);
      ok_ = BCRYPT_SUCCESS(cng_.hashData(hash_,
                                         reinterpret_cast<PUCHAR>(const_cast<char*>(data.data())),
                                         static_cast<ULONG>(piece), 0));
      data.remove_prefix(piece);
    }
    return ok_;
  }

  std::optional<Sha256Digest> Finish() override {
    Sha256Digest digest{};
    ok_ = ok_ && BCRYPT_SUCCESS(
                     cng_.finishHash(hash_, digest.data(), static_cast<ULONG>(digest.size()), 0));
    if (!ok_) return std::nullopt;
    ok_ = false;  // spent
    return digest;
  }

 private:
  const Cng& cng_;
  std::vector<UCHAR> object_;
  BCRYPT_HASH_HANDLE hash_ = nullptr;
  bool ok_ = false;
};

class CngCrypto final : public Crypto {
 public:
  std::unique_ptr<Sha256Hash> NewSha256() override {
    const Cng& cng = Functions();
    if (cng.sha256 == nullptr) return nullptr;
    return std::make_unique<CngSha256>(cng);
  }

  bool VerifyP256Sha256(std::string_view point, std::string_view message,
                        std::string_view signature) override {
    const Cng& cng = Functions();
    if (cng.ecdsaP256 == nullptr || point.size() != kP256PointSize ||
        signature.size() != kP256SignatureSize) {
      return false;
    }
    const std::optional<Sha256Digest> digest = Sha256Of(*this, message);
    if (!digest) return false;
    // BCRYPT_ECCKEY_BLOB, then X and Y.
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + kP256PointSize);
    const BCRYPT_ECCKEY_BLOB header = {BCRYPT_ECDSA_PUBLIC_P256_MAGIC, kP256PointSize / 2};
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, point.data(), point.size());
    BCRYPT_KEY_HANDLE key = nullptr;
    if (!BCRYPT_SUCCESS(cng.importKeyPair(cng.ecdsaP256, nullptr, BCRYPT_ECCPUBLIC_BLOB, &key,
                                          blob.data(), static_cast<ULONG>(blob.size()), 0))) {
      return false;
    }
    std::vector<UCHAR> copy(signature.begin(), signature.end());
    Sha256Digest hashed = *digest;
    const NTSTATUS status =
        cng.verifySignature(key, nullptr, hashed.data(), static_cast<ULONG>(hashed.size()),
                            copy.data(), static_cast<ULONG>(copy.size()), 0);
    cng.destroyKey(key);
    return status == 0;  // STATUS_SUCCESS; anything else refuses
  }

  bool CanVerifyP256Sha256() override {
    const Cng& cng = Functions();
    return cng.sha256 != nullptr && cng.ecdsaP256 != nullptr;
  }
};

}  // namespace

Crypto& SystemCrypto() {
  static CngCrypto crypto;
  return crypto;
}

}  // namespace platform
