#include "platform/text.h"

namespace platform {
namespace {

bool IsUtf8Continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The bytes a UTF-8 sequence that starts with `lead` takes, continuation bytes included.
std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead >= 0xF0) return 4;
  if (lead >= 0xE0) return 3;
  if (lead >= 0xC0) return 2;
  return 1;
}

}  // namespace

std::size_t CharLength(uint32_t codePage, std::string_view text, std::size_t pos) {
  const auto lead = static_cast<unsigned char>(text[pos]);
  if (codePage == kCodePageUtf8) {
    const std::size_t wanted = Utf8SequenceLength(lead);
    std::size_t length = 1;
    while (length < wanted && pos + length < text.size() &&
           IsUtf8Continuation(static_cast<unsigned char>(text[pos + length]))) {
      ++length;
    }
    return length;
  }
  return IsLeadByte(codePage, lead) && pos + 1 < text.size() ? 2 : 1;
}

std::optional<std::string> Utf8ToCodePage(std::string_view utf8, uint32_t codePage) {
  // Either conversion puts a default character where it cannot convert, so a way back that
  // does not give the same text shows it.
  const std::u16string wide = CodePageToUtf16(utf8, kCodePageUtf8);
  if (Utf16ToCodePage(wide, kCodePageUtf8) != utf8) return std::nullopt;
  std::string text = Utf16ToCodePage(wide, codePage);
  if (CodePageToUtf16(text, codePage) != wide) return std::nullopt;
  return text;
}

}  // namespace platform
