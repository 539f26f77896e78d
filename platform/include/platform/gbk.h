// Byte-level helpers for multibyte text in code page 936 (GBK).
//
// A GBK character is one byte (0x00-0x80) or a lead byte 0x81-0xFE followed by a trail byte
// 0x40-0xFE. A trail byte can be 0x5C ('\') or an ASCII letter, so any test for a backslash
// or a letter must walk the text from its start.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace platform {

constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }
constexpr bool IsGbkTrailByte(unsigned char c) { return c >= 0x40 && c <= 0xFE && c != 0x7F; }

// Length in bytes of the character that starts at `pos` (1 or 2; 1 for a lead byte at the end).
std::size_t GbkCharLength(std::string_view text, std::size_t pos);

// The same, where a lead byte is one character with the next byte only when that is a trail
// byte. Conversions differ on a lead byte before any other byte (one swallows the '/' or ':'
// that follows, another reads it on its own); names that are checked for separators walk this
// way, so that looking at such a byte on its own refuses whatever either conversion would.
std::size_t GbkPairedCharLength(std::string_view text, std::size_t pos);

// Position of the last backslash that is a character of its own, or npos.
std::size_t FindLastBackslash(std::string_view text);

// True when the last character of the text is a backslash (not a GBK trail byte 0x5C).
bool EndsWithBackslash(std::string_view text);

// Equality that folds ASCII letters of single-byte characters; double-byte characters
// compare exactly.
bool EqualsIgnoringAsciiCase(std::string_view a, std::string_view b);

// The text with the ASCII letters of its single-byte characters in lower case.
std::string ToLowerAscii(std::string_view text);

}  // namespace platform
