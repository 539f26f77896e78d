#include <windows.h>

#include "platform/text.h"

namespace platform {

std::u16string AnsiToUtf16(std::string_view ansi) {
  if (ansi.empty()) return std::u16string();
  const int length =
      ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
  if (length <= 0) return std::u16string();
  std::u16string wide(static_cast<std::size_t>(length), u'\0');
  ::MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()),
                        reinterpret_cast<wchar_t*>(wide.data()), length);
  return wide;
}

std::string Utf16ToAnsi(std::u16string_view wide) {
  if (wide.empty()) return std::string();
  const wchar_t* data = reinterpret_cast<const wchar_t*>(wide.data());
  const int units = static_cast<int>(wide.size());
  const int length = ::WideCharToMultiByte(CP_ACP, 0, data, units, nullptr, 0, nullptr, nullptr);
  if (length <= 0) return std::string();
  std::string ansi(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, 0, data, units, ansi.data(), length, nullptr, nullptr);
  return ansi;
}

std::optional<std::string> Utf8ToAnsi(std::string_view utf8) {
  if (utf8.empty()) return std::string();
  const int units = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                          static_cast<int>(utf8.size()), nullptr, 0);
  if (units <= 0) return std::nullopt;
  std::wstring wide(static_cast<std::size_t>(units), L'\0');
  ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), static_cast<int>(utf8.size()),
                        wide.data(), units);
  BOOL usedDefault = FALSE;
  const int length = ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units,
                                           nullptr, 0, nullptr, &usedDefault);
  if (length <= 0 || usedDefault) return std::nullopt;
  std::string ansi(static_cast<std::size_t>(length), '\0');
  ::WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.data(), units, ansi.data(), length,
                        nullptr, &usedDefault);
  if (usedDefault) return std::nullopt;
  return ansi;
}

}  // namespace platform
