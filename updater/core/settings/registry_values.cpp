#include "registry_values.h"

#include <cstring>

namespace updater {

namespace {
constexpr std::size_t kStringCapacity = 260;
}  // namespace

bool ReadRegistryString(platform::Registry& registry, const std::string& subKey,
                        const std::string& valueName, std::string& out,
                        const std::string& defaultValue) {
  const std::unique_ptr<platform::RegistryKey> key = registry.OpenKey(subKey);
  if (!key) return false;
  platform::RegistryValue value;
  std::string text;
  // Whatever the type, the bytes up to the first zero are the text; a failed query or a value
  // without a zero inside the 260 bytes (too long to be whole) reads as empty.
  if (key->QueryValue(valueName, kStringCapacity, value) == platform::QueryStatus::kOk) {
    const std::size_t zero = value.data.find('\0');
    if (zero != std::string::npos) {
      text = value.data.substr(0, zero);
    } else if (value.data.size() < kStringCapacity) {
      text = value.data;
    }
  }
  out = text.empty() ? defaultValue : text;
  return true;
}

bool ReadRegistryDword(platform::Registry& registry, const std::string& subKey,
                       const std::string& valueName, uint32_t& out, uint32_t defaultValue) {
  out = defaultValue;
  const std::unique_ptr<platform::RegistryKey> key = registry.OpenKey(subKey);
  if (!key) return false;
  platform::RegistryValue value;
  // Only a value that fills the 4 bytes exactly replaces the default; a shorter one would
  // leave a number made of two values.
  if (key->QueryValue(valueName, 4, value) == platform::QueryStatus::kOk &&
      value.data.size() == 4) {
    uint32_t number = 0;
    for (int i = 3; i >= 0; --i) {
      number = (number << 8) | static_cast<unsigned char>(value.data[static_cast<std::size_t>(i)]);
    }
    out = number;
  }
  return true;
}

void WriteRegistryDword(platform::Registry& registry, const std::string& subKey,
                        const std::string& valueName, uint32_t value) {
  std::unique_ptr<platform::RegistryKey> key = registry.OpenKey(subKey);
  if (!key) key = registry.CreateKey(subKey);
  if (key) key->SetValue(valueName, platform::DwordValue(value));
}

std::string ReadInstalledVersion(platform::Registry& registry) {
  std::string version;
  // This one read names the key with a trailing backslash; the registry treats it as the same.
  ReadRegistryString(registry, std::string(kReaderKey) + "\\", kCurrentVersionValue, version, "");
  return version;
}

}  // namespace updater
