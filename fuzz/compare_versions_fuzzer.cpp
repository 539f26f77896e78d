// CompareVersions against the C library: each of the four components read with strtol, clamped
// to 32 bits, one character skipped after it. The result's sign is that of the first pair of
// components that differ; when all four are equal the result is 1 (equal versions count as
// not older), so it is never 0, and swapping the arguments flips the sign unless both give 1.
//
// Input: a \0 b (b may hold further zeros).
#include <climits>
#include <cstdlib>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "manifest/versions.h"

namespace {

struct Components {
  long long value[4];
};

Components ReadWithStrtol(std::string_view text) {
  Components components{};
  std::size_t pos = 0;
  for (long long& value : components.value) {
    const std::string rest(text.substr(pos));  // strtol stops at a zero byte, as the text does
    char* end = nullptr;
    const long number = std::strtol(rest.c_str(), &end, 10);
    value = number > INT32_MAX ? INT32_MAX : (number < INT32_MIN ? INT32_MIN : number);
    pos += static_cast<std::size_t>(end - rest.c_str());
    if (pos < text.size()) ++pos;
  }
  return components;
}

int ExpectedSign(const Components& a, const Components& b) {
  for (int i = 0; i < 4; ++i) {
    if (a.value[i] != b.value[i]) return a.value[i] < b.value[i] ? -1 : 1;
  }
  return 0;
}

int Sign(int32_t value) { return value < 0 ? -1 : (value > 0 ? 1 : 0); }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto fields = fuzz::SplitFields(data, size, 2);
  const std::string_view a = fields[0];
  const std::string_view b = fields[1];
  const int32_t ab = updater::CompareVersions(a, b);
  const int32_t ba = updater::CompareVersions(b, a);
  const int expected = ExpectedSign(ReadWithStrtol(a), ReadWithStrtol(b));

  fuzz::Check(ab != 0 && ba != 0, "never 0");
  if (expected == 0) {
    fuzz::Check(ab == 1 && ba == 1, "equal components give 1 both ways");
  } else {
    fuzz::Check(Sign(ab) == expected, "the sign of the first differing component");
    fuzz::Check(Sign(ba) == -expected, "antisymmetric");
  }
  fuzz::Check(updater::CompareVersions(a, a) == 1, "a version against itself gives 1");
  return 0;
}
