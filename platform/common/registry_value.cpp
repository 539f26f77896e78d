#include <cstring>

#include "platform/registry.h"

namespace platform {

RegistryValue StringValue(const std::string& text) {
  RegistryValue value;
  value.type = kRegSz;
  value.data = text;
  value.data.push_back('\0');
  return value;
}

RegistryValue DwordValue(uint32_t number) {
  RegistryValue value;
  value.type = kRegDword;
  // REG_DWORD is little-endian on every Windows machine; write it byte by byte.
  for (int shift = 0; shift < 32; shift += 8) {
    value.data.push_back(static_cast<char>((number >> shift) & 0xFF));
  }
  return value;
}

}  // namespace platform
