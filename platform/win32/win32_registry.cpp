#include <shlwapi.h>
#include <windows.h>

#include <vector>

#include "handles.h"
#include "platform/registry.h"

namespace platform {
namespace {

using win32::UniqueHkey;

class Win32Key final : public RegistryKey {
 public:
  explicit Win32Key(UniqueHkey key) : key_(std::move(key)) {}

  QueryStatus QueryValue(const std::string& name, std::size_t capacity,
                         RegistryValue& value) override {
    std::vector<BYTE> buffer(capacity + 1);  // never handed a zero-length buffer
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(capacity);
    const LONG status =
        ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, buffer.data(), &size);
    if (status == ERROR_FILE_NOT_FOUND) return QueryStatus::kNotFound;
    if (status == ERROR_MORE_DATA) return QueryStatus::kMoreData;
    if (status != ERROR_SUCCESS || size > capacity) return QueryStatus::kFailed;
    value.type = type;
    value.data.assign(reinterpret_cast<const char*>(buffer.data()), size);
    return QueryStatus::kOk;
  }

  bool SetValue(const std::string& name, const RegistryValue& value) override {
    return ::RegSetValueExA(key_.get(), name.c_str(), 0, value.type,
                            reinterpret_cast<const BYTE*>(value.data.data()),
                            static_cast<DWORD>(value.data.size())) == ERROR_SUCCESS;
  }

  bool DeleteValue(const std::string& name) override {
    return ::RegDeleteValueA(key_.get(), name.c_str()) == ERROR_SUCCESS;
  }

  bool HasSubKeys() override {
    DWORD subKeys = 0;
    return ::RegQueryInfoKeyA(key_.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                              nullptr, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
           subKeys > 0;
  }

 private:
  UniqueHkey key_;
};

class Win32Registry final : public Registry {
 public:
  explicit Win32Registry(HKEY root) : root_(root) {}

  std::unique_ptr<RegistryKey> OpenKey(const std::string& subKey) override {
    HKEY key = nullptr;
    if (::RegOpenKeyA(root_, subKey.c_str(), &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32Key>(UniqueHkey(key));
  }

  std::unique_ptr<RegistryKey> CreateKey(const std::string& subKey) override {
    HKEY key = nullptr;
    if (::RegCreateKeyA(root_, subKey.c_str(), &key) != ERROR_SUCCESS) return nullptr;
    return std::make_unique<Win32Key>(UniqueHkey(key));
  }

  bool DeleteTree(const std::string& subKey) override {
    // SHDeleteKeyA exists on every Windows the reader supports; RegDeleteTreeA needs Vista.
    return ::SHDeleteKeyA(root_, subKey.c_str()) == ERROR_SUCCESS;
  }

 private:
  HKEY root_;
};

}  // namespace

Registry& CurrentUserRegistry() {
  static Win32Registry registry(HKEY_CURRENT_USER);
  return registry;
}

Registry& ClassesRootRegistry() {
  static Win32Registry registry(HKEY_CLASSES_ROOT);
  return registry;
}

Registry& LocalMachineRegistry() {
  static Win32Registry registry(HKEY_LOCAL_MACHINE);
  return registry;
}

}  // namespace platform
