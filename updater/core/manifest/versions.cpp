#include "versions.h"

#include <limits>

namespace updater {

namespace {

bool IsCSpace(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// One component read the way strtol(text + pos, &end, 10) reads it on a platform whose long has
// 32 bits; `pos` moves past the digits only when there were any.
int64_t ReadComponent(std::string_view text, std::size_t& pos) {
  constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
  constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
  std::size_t cursor = pos;
  while (cursor < text.size() && IsCSpace(text[cursor])) ++cursor;
  bool negative = false;
  if (cursor < text.size() && (text[cursor] == '+' || text[cursor] == '-')) {
    negative = text[cursor++] == '-';
  }
  if (cursor >= text.size() || text[cursor] < '0' || text[cursor] > '9') return 0;
  int64_t magnitude = 0;  // saturates just past the 32-bit range; never overflows
  for (; cursor < text.size() && text[cursor] >= '0' && text[cursor] <= '9'; ++cursor) {
    if (magnitude <= kMax) magnitude = magnitude * 10 + (text[cursor] - '0');
  }
  pos = cursor;
  const int64_t number = negative ? -magnitude : magnitude;
  return number > kMax ? kMax : (number < kMin ? kMin : number);
}

}  // namespace

int32_t CompareVersions(std::string_view a, std::string_view b) {
  std::size_t posA = 0;
  std::size_t posB = 0;
  for (int component = 0; component < 4; ++component) {
    const int64_t numberA = ReadComponent(a, posA);
    if (posA < a.size()) ++posA;  // the separator, whatever it is
    const int64_t numberB = ReadComponent(b, posB);
    if (posB < b.size()) ++posB;
    if (numberA != numberB) {
      const int64_t difference = numberA - numberB;  // both fit 32 bits: no overflow in 64
      constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
      constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
      return static_cast<int32_t>(difference > kMax ? kMax
                                                    : (difference < kMin ? kMin : difference));
    }
  }
  return 1;
}

}  // namespace updater
