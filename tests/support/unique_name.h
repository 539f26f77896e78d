#pragma once

#include <random>
#include <string>

namespace testing_support {

// A name no other test run uses at the same time (registry keys, file names).
inline std::string UniqueName(const std::string& prefix) {
  static std::random_device seed;
  return prefix + std::to_string(seed()) + std::to_string(seed());
}

}  // namespace testing_support
