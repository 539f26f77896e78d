#include "trust/manifest_signature.h"

#include <algorithm>

namespace updater {

namespace {

constexpr std::size_t kSignatureHexDigits = platform::kP256SignatureSize * 2;
constexpr std::size_t kSha256HexDigits = platform::kSha256Size * 2;
constexpr std::size_t kLongestSize = 18;  // digits: any such number fits 64 bits

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

bool AllDecimal(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string Lower(std::string_view hex) {
  std::string lower(hex);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'F' ? static_cast<char>(c + 32) : c; });
  return lower;
}

}  // namespace

std::string KeyIdOf(platform::Crypto& crypto, std::string_view point) {
  const std::optional<platform::Sha256Digest> digest = platform::Sha256Of(crypto, point);
  if (!digest) return {};
  return platform::ToHex(
      std::string_view(reinterpret_cast<const char*>(digest->data()), kKeyIdBytes));
}

SplitManifest SplitSignature(std::string_view manifest) {
  SplitManifest split;
  split.body = manifest;
  std::string_view text = manifest;
  if (StartsWith(text.substr(text.size() >= 2 ? text.size() - 2 : 0), "\r\n")) {
    text.remove_suffix(2);
  } else if (!text.empty() && text.back() == '\n') {
    text.remove_suffix(1);
  }
  const std::size_t lastBreak = text.rfind('\n');
  const std::size_t lineStart = lastBreak == std::string_view::npos ? 0 : lastBreak + 1;
  const std::string_view line = text.substr(lineStart);
  if (!StartsWith(line, kSignaturePrefix)) return split;
  split.body = manifest.substr(0, lineStart);
  split.hasSignatureLine = true;

  const std::string_view fields = line.substr(sizeof kSignaturePrefix - 1);
  const std::size_t blank = fields.find(' ');
  if (blank != kKeyIdBytes * 2 || fields.size() != blank + 1 + kSignatureHexDigits) return split;
  const std::optional<std::string> keyId = platform::FromHex(fields.substr(0, blank));
  const std::optional<std::string> signature = platform::FromHex(fields.substr(blank + 1));
  if (!keyId || !signature) return split;
  split.keyId = Lower(fields.substr(0, blank));
  split.signature = *signature;
  return split;
}

std::string SignatureLine(std::string_view keyId, std::string_view signature) {
  return std::string(kSignaturePrefix) + std::string(keyId) + " " + platform::ToHex(signature) +
         "\r\n";
}

std::string FilePromiseText(const FilePromise& promise) {
  return std::to_string(promise.size) + " " + promise.sha256;
}

std::optional<FilePromise> ParseFilePromise(std::string_view text) {
  const std::size_t blank = text.find(' ');
  if (blank == std::string_view::npos || blank == 0 || blank > kLongestSize) return std::nullopt;
  const std::string_view size = text.substr(0, blank);
  const std::string_view sha256 = text.substr(blank + 1);
  if (!AllDecimal(size) || (size.size() > 1 && size[0] == '0') ||
      sha256.size() != kSha256HexDigits || !platform::FromHex(sha256)) {
    return std::nullopt;
  }
  return FilePromise{std::stoll(std::string(size)), Lower(sha256)};
}

}  // namespace updater
