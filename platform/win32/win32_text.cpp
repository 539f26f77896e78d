#include <windows.h>

#include "platform/text.h"

namespace platform {

uint32_t AnsiCodePage() { return ::GetACP(); }

std::u16string AnsiToUtf16(std::string_view ansi) { return CodePageToUtf16(ansi, AnsiCodePage()); }

std::string Utf16ToAnsi(std::u16string_view wide) { return Utf16ToCodePage(wide, AnsiCodePage()); }

std::u16string CodePageToUtf16(std::string_view text, uint32_t codePage) {
  if (text.empty()) return std::u16string();
  const int bytes = static_cast<int>(text.size());
  const int length = ::MultiByteToWideChar(codePage, 0, text.data(), bytes, nullptr, 0);
  if (length <= 0) return std::u16string();
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  ::MultiByteToWideChar(codePage, 0, text.data(), bytes, reinterpret_cast<wchar_t*>(wide.data()),
                        length);
  return wide;
}

std::string Utf16ToCodePage(std::u16string_view wide, uint32_t codePage) {
  if (wide.empty()) return std::string();
  const wchar_t* data = reinterpret_cast<const wchar_t*>(wide.data());
  const int units = static_cast<int>(wide.size());
  DWORD flags = WC_NO_BEST_FIT_CHARS;
  int length = ::WideCharToMultiByte(codePage, flags, data, units, nullptr, 0, nullptr, nullptr);
  if (length <= 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
    // UTF-8 and the few code pages that refuse the flag have no best fit to avoid.
    flags = 0;
    length = ::WideCharToMultiByte(codePage, flags, data, units, nullptr, 0, nullptr, nullptr);
  }
  if (length <= 0) return std::string();
  std::string text(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(codePage, flags, data, units, text.data(), length, nullptr, nullptr);
  return text;
}

bool IsLeadByte(uint32_t codePage, unsigned char byte) {
  return ::IsDBCSLeadByteEx(codePage, byte) != FALSE;
}

}  // namespace platform
