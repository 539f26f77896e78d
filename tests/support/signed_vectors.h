// Manifests signed by libcrypto with two fresh keys: the cases of the signed-manifest contract
// table. Natively they are made in the test process; the Windows tests, which have no signer,
// read the ones the native program signed_vectors wrote (CTest fixture signed_vectors).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace testing_support {

struct SignedVectors {
  std::string keyA;  // P-256 points (X || Y)
  std::string keyB;
  std::string file;      // the bytes promised as file1 (setup.exe)
  std::string byA;       // a manifest promising `file`, signed with key A
  std::string byB;       // the same bytes before the signature, signed with key B
  std::string otherByA;  // another manifest (version 1.0.0.3), signed with key A
};

std::string EncodeSignedVectors(const SignedVectors& vectors);
std::optional<SignedVectors> DecodeSignedVectors(std::string_view text);

// Natively: new vectors, signed with libcrypto. Under Wine: those in the file named by
// TAVREL_SIGNED_VECTORS (a host path); nullopt when there are none.
std::optional<SignedVectors> LoadSignedVectors();

}  // namespace testing_support
