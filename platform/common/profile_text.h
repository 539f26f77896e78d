// How the private-profile routines turn the text of a line into what a read gives; shared by
// the portable store and the Windows one (whose section read returns raw "key=value" lines).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace platform {

// White space as the profile routines see it, including the DOS end-of-file mark.
bool IsProfileBlank(char c);
std::string_view TrimProfileBlanks(std::string_view text);

// A stored value as a string read gives it: blanks removed, one enclosing pair of single or
// double quotation marks taken off, cut to bufferSize - 1 bytes.
std::string ProfileValueAsRead(std::string_view stored, std::size_t bufferSize);

// The key and stored value of a "key=value" line, or of a line without '=' (a key whose value
// reads as empty); nullopt for a comment (';') or an empty name.
std::optional<std::pair<std::string, std::string>> ProfileKeyLine(std::string_view line);

}  // namespace platform
