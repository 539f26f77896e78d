#pragma once

#include <algorithm>
#include <cstddef>
#include <string>

namespace testing_support {

// Answers FileSystem::ModuleFileName for `name` the way GetModuleFileNameA does: at most
// size - 1 bytes and a zero; `size` when the name was cut.
inline std::size_t CopyModuleName(const std::string& name, char* buffer, std::size_t size) {
  if (size == 0) return 0;
  const std::size_t copied = std::min(name.size(), size - 1);
  std::copy_n(name.data(), copied, buffer);
  buffer[copied] = '\0';
  return name.size() >= size ? size : copied;
}

}  // namespace testing_support
