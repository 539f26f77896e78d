// Conversion between UTF-16 and the ANSI code pages (GBK on the target machines), and the byte
// rules of multibyte text in those code pages.
//
// The ANSI code page is whatever the running system uses: 936 in China, 932 in Japan, 65001
// where the user chose UTF-8. Text that is quoted or parsed after conversion must be walked
// with the rules of the code page that converted it.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace platform {

inline constexpr uint32_t kCodePageShiftJis = 932;
inline constexpr uint32_t kCodePageGbk = 936;
inline constexpr uint32_t kCodePageUtf8 = 65001;

// The system's ANSI code page, like GetACP(). Natively it is 936.
uint32_t AnsiCodePage();

// Like MultiByteToWideChar(CP_ACP, 0, ...).
std::u16string AnsiToUtf16(std::string_view ansi);

// Like WideCharToMultiByte(CP_ACP, 0, ...) natively and in Ostrel's tests: see Utf16ToCodePage.
std::string Utf16ToAnsi(std::u16string_view wide);

// Like MultiByteToWideChar(codePage, 0, ...).
std::u16string CodePageToUtf16(std::string_view text, uint32_t codePage);

// Like WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, ...): a character the code page
// lacks becomes the code page's default character ('?'; U+FFFD in UTF-8), never a look-alike
// such as '\' for U+00A5 under 932 or '"' for U+FF02 under 1252. Each unit of a surrogate pair
// the code page lacks becomes one default character.
std::string Utf16ToCodePage(std::u16string_view wide, uint32_t codePage);

// UTF-8 text (a file name from a POSIX system) in `codePage`, when every character converts
// exactly; nullopt when the text is not valid UTF-8 or holds a character the code page lacks.
std::optional<std::string> Utf8ToCodePage(std::string_view utf8, uint32_t codePage);

// True when `byte` starts a two-byte character in `codePage`, like IsDBCSLeadByteEx: 0x81-0xFE
// in 936, 949 and 950; 0x81-0x9F and 0xE0-0xFC in 932; never in UTF-8 or a single-byte page.
bool IsLeadByte(uint32_t codePage, unsigned char byte);

// Length in bytes of the character that starts at `pos` of text in `codePage`: 2 for a lead
// byte with a byte after it; in UTF-8 the lead byte with the continuation bytes that follow it
// (at most three); 1 otherwise. A trail byte can equal '\' (0x5C) or an ASCII letter, so text is
// walked character by character from its start.
std::size_t CharLength(uint32_t codePage, std::string_view text, std::size_t pos);

}  // namespace platform
