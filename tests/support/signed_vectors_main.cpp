// Writes new signed vectors (support/signed_vectors.h) to the file named on the command line,
// for the Windows tests under Wine.
#include <cstdio>
#include <fstream>

#include "support/signed_vectors.h"

int main(int argc, char** argv) {
  const auto vectors = testing_support::LoadSignedVectors();
  if (argc != 2 || !vectors) {
    std::fprintf(stderr, "usage: signed_vectors FILE (libcrypto must be able to sign)\n");
    return 2;
  }
  std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
  out << testing_support::EncodeSignedVectors(*vectors);
  out.close();
  return out ? 0 : 1;
}
