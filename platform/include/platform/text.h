// Conversion between the ANSI code page (GBK on the target machines) and UTF-16.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace platform {

// Like MultiByteToWideChar(CP_ACP, 0, ...). Natively the ANSI code page is CP936.
std::u16string AnsiToUtf16(std::string_view ansi);

// Like WideCharToMultiByte(CP_ACP, 0, ...): a character the code page lacks becomes '?'.
std::string Utf16ToAnsi(std::u16string_view wide);

// The ANSI bytes of UTF-8 text (a file name from a POSIX system); nullopt when the text is not
// valid UTF-8 or holds a character the code page lacks (no best-fit look-alike is taken).
std::optional<std::string> Utf8ToAnsi(std::string_view utf8);

}  // namespace platform
