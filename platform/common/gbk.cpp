#include "platform/gbk.h"

namespace platform {

std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
  if (IsGbkLeadByte(static_cast<unsigned char>(text[pos])) && pos + 1 < text.size()) return 2;
  return 1;
}

std::size_t GbkPairedCharLength(std::string_view text, std::size_t pos) {
  const bool pair =
      pos + 1 < text.size() && IsGbkLeadByte(text[pos]) && IsGbkTrailByte(text[pos + 1]);
  return pair ? 2 : 1;
}

std::size_t FindLastBackslash(std::string_view text) {
  std::size_t found = std::string_view::npos;
  for (std::size_t pos = 0; pos < text.size(); pos += GbkCharLength(text, pos)) {
    if (text[pos] == '\\') found = pos;
  }
  return found;
}

bool EndsWithBackslash(std::string_view text) {
  return !text.empty() && FindLastBackslash(text) == text.size() - 1;
}

namespace {
char FoldAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t pos = 0; pos < a.size();) {
    const std::size_t length = GbkCharLength(a, pos);
    if (length == 2) {
      // Both texts agree up to here, so b has a character boundary at pos as well.
      if (a.compare(pos, 2, b.substr(pos, 2)) != 0) return false;
    } else if (FoldAscii(a[pos]) != FoldAscii(b[pos])) {
      return false;
    }
    pos += length;
  }
  return true;
}

std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  for (std::size_t pos = 0; pos < lower.size(); pos += GbkCharLength(lower, pos)) {
    lower[pos] = FoldAscii(lower[pos]);
  }
  return lower;
}

}  // namespace platform
