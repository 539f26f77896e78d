// Helpers shared by the fuzz targets: the input split into fields, and the check that ends the
// run when a property fails, so that libFuzzer keeps the input as a finding.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "platform/gbk.h"

namespace fuzz {

// The input split at its first `count - 1` zero bytes; the last field keeps any further zeros.
// Missing fields are empty. Seeds stay readable: "a\0b\0rest".
inline std::vector<std::string_view> SplitFields(const uint8_t* data, std::size_t size,
                                                 std::size_t count) {
  std::string_view rest(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> fields;
  while (fields.size() + 1 < count) {
    const std::size_t zero = rest.find('\0');
    fields.push_back(rest.substr(0, zero));
    rest = zero == std::string_view::npos ? std::string_view() : rest.substr(zero + 1);
  }
  fields.push_back(rest);
  return fields;
}

// True when the text ends in a lead byte without its trail byte. Such a text cannot name a
// section: the closing bracket of the header would be read as the trail byte, on the platform
// too.
inline bool EndsInLoneLeadByte(std::string_view text) {
  bool trailExpected = false;
  for (char c : text) trailExpected = !trailExpected && platform::IsGbkLeadByte(c);
  return trailExpected;
}

inline void Check(bool holds, const char* property) {
  if (holds) return;
  std::fprintf(stderr, "property failed: %s\n", property);
  std::abort();
}

}  // namespace fuzz
