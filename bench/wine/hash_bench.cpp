// SHA-256 of one file through the platform's hash (CNG under Wine), read in pieces the way the
// check before the install reads each file. Usage: hash_bench FILE. Prints "cng <seconds>
// <sha256>".
#include <cstdio>
#include <memory>

#include "bench_common.h"
#include "platform/crypto.h"
#include "platform/file_system.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: hash_bench FILE\n");
    return 2;
  }
  platform::Crypto& crypto = platform::SystemCrypto();
  platform::Sha256Of(crypto, "warm up");  // bcrypt.dll is loaded at the first use
  const auto start = bench::Clock::now();
  const std::unique_ptr<platform::Sha256Hash> hash = crypto.NewSha256();
  const bool read = hash && platform::SystemFileSystem().ReadFileInPieces(
                                argv[1], [&](std::string_view piece) { return hash->Add(piece); });
  const auto digest = read ? hash->Finish() : std::nullopt;
  const double seconds = bench::SecondsSince(start);
  if (!digest) {
    std::fprintf(stderr, "hash_bench: cannot hash %s\n", argv[1]);
    return 1;
  }
  std::printf(
      "cng %.3f %s\n", seconds,
      platform::ToHex({reinterpret_cast<const char*>(digest->data()), digest->size()}).c_str());
  return 0;
}
