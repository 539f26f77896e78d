#include "profile_text.h"

namespace platform {

bool IsProfileBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string_view TrimProfileBlanks(std::string_view text) {
  while (!text.empty() && IsProfileBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsProfileBlank(text.back())) text.remove_suffix(1);
  return text;
}

std::string ProfileValueAsRead(std::string_view stored, std::size_t bufferSize) {
  std::string_view value = TrimProfileBlanks(stored);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  if (bufferSize == 0) return std::string();
  return std::string(value.substr(0, bufferSize - 1));
}

std::string IniValueToStore(std::string_view value) {
  const bool enclosed = value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
                        value.back() == value.front();
  if (!value.empty() &&
      (IsProfileBlank(value.front()) || IsProfileBlank(value.back()) || enclosed)) {
    return "\"" + std::string(value) + "\"";
  }
  return std::string(value);
}

std::optional<std::pair<std::string, std::string>> ProfileKeyLine(std::string_view line) {
  const std::size_t equals = line.find('=');  // 0x3D is never a GBK trail byte
  const std::string_view name = TrimProfileBlanks(line.substr(0, equals));
  if (name.empty() || name.front() == ';') return std::nullopt;
  const std::string_view value =
      equals == std::string_view::npos ? std::string_view() : line.substr(equals + 1);
  return std::make_pair(std::string(name), std::string(TrimProfileBlanks(value)));
}

}  // namespace platform
