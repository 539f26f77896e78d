#include "support/signed_vectors.h"

#include <cstdlib>
#include <sstream>

#include "platform/crypto.h"
#include "support/temp_folder.h"
#include "trust/manifest_signature.h"

#ifndef _WIN32
#include "signing_key.h"
#endif

namespace testing_support {

namespace {

struct Field {
  const char* name;
  std::string SignedVectors::*member;
};
constexpr Field kFields[] = {
    {"keyA", &SignedVectors::keyA}, {"keyB", &SignedVectors::keyB},
    {"file", &SignedVectors::file}, {"byA", &SignedVectors::byA},
    {"byB", &SignedVectors::byB},   {"otherByA", &SignedVectors::otherByA},
};

#ifndef _WIN32
std::string Body(const std::string& version, const std::string& file) {
  const auto digest = platform::Sha256Of(platform::SystemCrypto(), file);
  const updater::FilePromise promise{
      static_cast<int64_t>(file.size()),
      platform::ToHex(std::string_view(reinterpret_cast<const char*>(digest->data()), 32))};
  return "[main]\r\nversion=" + version +
         "\r\nfilenum=1\r\n[list]\r\nfile1=setup.exe\r\n[files]\r\n" +
         "file1=" + updater::FilePromiseText(promise) + "\r\n";
}

std::string Signed(const publish::SigningKey& key, const std::string& body) {
  return body + updater::SignatureLine(updater::KeyIdOf(platform::SystemCrypto(), key.point()),
                                       key.Sign(body));
}
#endif

}  // namespace

std::string EncodeSignedVectors(const SignedVectors& vectors) {
  std::string text;
  for (const Field& field : kFields) {
    text += std::string(field.name) + " " + platform::ToHex(vectors.*field.member) + "\n";
  }
  return text;
}

std::optional<SignedVectors> DecodeSignedVectors(std::string_view text) {
  SignedVectors vectors;
  std::istringstream lines{std::string(text)};
  for (const Field& field : kFields) {
    std::string name;
    std::string hex;
    lines >> name >> hex;
    const std::optional<std::string> bytes = platform::FromHex(hex);
    if (name != field.name || !bytes) return std::nullopt;
    vectors.*field.member = *bytes;
  }
  return vectors;
}

std::optional<SignedVectors> LoadSignedVectors() {
#ifdef _WIN32
  const char* path = std::getenv("TAVREL_SIGNED_VECTORS");
  if (path == nullptr || *path == '\0') return std::nullopt;
  std::string windowsPath = path;
  for (char& c : windowsPath) {
    if (c == '/') c = '\\';
  }
  return DecodeSignedVectors(ReadFileBytes("Z:" + windowsPath));
#else
  const auto a = publish::SigningKey::Generate();
  const auto b = publish::SigningKey::Generate();
  if (!a || !b) return std::nullopt;
  SignedVectors vectors;
  vectors.keyA = a->point();
  vectors.keyB = b->point();
  vectors.file = "MZ the installer \x01\x02\x03 of version 1.0.0.2";
  const std::string body = Body("1.0.0.2", vectors.file);
  vectors.byA = Signed(*a, body);
  vectors.byB = Signed(*b, body);
  vectors.otherByA = Signed(*a, Body("1.0.0.3", vectors.file));
  return vectors;
#endif
}

}  // namespace testing_support
