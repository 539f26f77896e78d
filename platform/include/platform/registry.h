// Access to one registry hive (HKEY_CURRENT_USER for nearly everything Ostrel and Pellwick read).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace platform {

// Value types as the registry numbers them.
constexpr uint32_t kRegSz = 1;
constexpr uint32_t kRegExpandSz = 2;
constexpr uint32_t kRegBinary = 3;
constexpr uint32_t kRegDword = 4;

enum class QueryStatus {
  kOk,
  kNotFound,  // no such value
  kMoreData,  // the value is larger than the capacity asked for; nothing usable was read
  kFailed,
};

struct RegistryValue {
  uint32_t type = 0;
  std::string data;  // the raw bytes, including any terminating zero the value was stored with
};

class RegistryKey {
 public:
  virtual ~RegistryKey() = default;
  // Reads a value the way RegQueryValueExA does into a buffer of `capacity` bytes. An empty
  // name reads the key's default value.
  virtual QueryStatus QueryValue(const std::string& name, std::size_t capacity,
                                 RegistryValue& value) = 0;
  // Stores the bytes as given (strings include their terminating zero).
  virtual bool SetValue(const std::string& name, const RegistryValue& value) = 0;
  // Removes one value; true when it is gone (false also when there was none).
  virtual bool DeleteValue(const std::string& name) = 0;
  // True when the key has at least one subkey.
  virtual bool HasSubKeys() = 0;
};

class Registry {
 public:
  virtual ~Registry() = default;
  // Opens an existing key below the hive, like RegOpenKeyA; nullptr when it cannot be opened.
  virtual std::unique_ptr<RegistryKey> OpenKey(const std::string& subKey) = 0;
  // Opens or creates a key and its missing parents, like RegCreateKeyA.
  virtual std::unique_ptr<RegistryKey> CreateKey(const std::string& subKey) = 0;
  // Removes a key with all its subkeys and values; true when it is gone.
  virtual bool DeleteTree(const std::string& subKey) = 0;
};

// A registry value holding `text` as REG_SZ bytes with their terminating zero.
RegistryValue StringValue(const std::string& text);
RegistryValue DwordValue(uint32_t number);

// The current user's hive of the running system: the real registry on Windows, a process-wide
// in-memory one elsewhere.
Registry& CurrentUserRegistry();
// HKEY_CLASSES_ROOT of the running system (in-memory off Windows), where COM classes register.
Registry& ClassesRootRegistry();
// HKEY_LOCAL_MACHINE of the running system (in-memory off Windows): the administrator's policies.
Registry& LocalMachineRegistry();

}  // namespace platform
