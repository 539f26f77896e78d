// Conversion between the ANSI code page (GBK on the target machines) and UTF-16.
#pragma once

#include <string>
#include <string_view>

namespace platform {

// Like MultiByteToWideChar(CP_ACP, 0, ...). Natively the ANSI code page is CP936.
std::u16string AnsiToUtf16(std::string_view ansi);

// Like WideCharToMultiByte(CP_ACP, 0, ...): a character the code page lacks becomes '?'.
std::string Utf16ToAnsi(std::u16string_view wide);

}  // namespace platform
