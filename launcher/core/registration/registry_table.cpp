#include "registration/registry_table.h"

#include <memory>
#include <string>

#include "platform/catch_all.h"
#include "platform/gbk.h"

namespace launcher {
namespace {

// Keys that every COM class shares, which a ForceRemove must never take with it.
bool IsSharedRoot(std::string_view path) {
  const std::size_t separator = platform::FindLastBackslash(path);
  const std::string_view name =
      separator == std::string_view::npos ? path : path.substr(separator + 1);
  return platform::EqualsIgnoringAsciiCase(name, "CLSID") ||
         platform::EqualsIgnoringAsciiCase(name, "TypeLib");
}

std::string WithModulePath(std::string_view data, std::string_view modulePath) {
  std::string text;
  for (std::size_t pos = 0;;) {
    const std::size_t token = data.find(kModulePathToken, pos);
    text.append(data.substr(pos, token == std::string_view::npos ? token : token - pos));
    if (token == std::string_view::npos) return text;
    text.append(modulePath);
    pos = token + kModulePathToken.size();
  }
}

bool WriteEntry(const RegistryEntry& entry, std::string_view modulePath,
                platform::Registry& registry) {
  const std::string path = entry.keyPath;
  if (entry.rule == KeyRule::kForceRemove && !IsSharedRoot(path)) registry.DeleteTree(path);
  const std::unique_ptr<platform::RegistryKey> key = registry.CreateKey(path);
  if (key == nullptr) return false;
  return entry.valueName == nullptr ||
         key->SetValue(entry.valueName,
                       platform::StringValue(WithModulePath(entry.data, modulePath)));
}

void RemoveEntry(const RegistryEntry& entry, platform::Registry& registry) {
  const std::string path = entry.keyPath;
  std::unique_ptr<platform::RegistryKey> key = registry.OpenKey(path);
  if (key == nullptr) return;
  // A named value goes even when its key has to stay; a default value only with its key.
  if (entry.valueName != nullptr && *entry.valueName != '\0') key->DeleteValue(entry.valueName);
  if (entry.rule == KeyRule::kNoRemove || key->HasSubKeys()) return;
  key.reset();
  registry.DeleteTree(path);
}

}  // namespace

com::HResult ApplyRegistration(RegistryTable table, std::string_view modulePath,
                               platform::Registry& classesRoot) noexcept {
  const com::HResult result = platform::CatchAll(com::kEOutOfMemory, com::kDispEException, [&] {
    for (const RegistryEntry& entry : table) {
      if (!WriteEntry(entry, modulePath, classesRoot)) return com::kDispEException;
    }
    return com::kSOk;
  });
  if (result != com::kSOk) RemoveRegistration(table, classesRoot);
  return result;
}

void RemoveRegistration(RegistryTable table, platform::Registry& classesRoot) noexcept {
  // Last row first: a key's subkeys come after it in the table, so they are gone before it.
  for (const RegistryEntry* entry = table.end(); entry != table.begin();) {
    --entry;
    platform::CatchAll([&] { RemoveEntry(*entry, classesRoot); });
  }
}

}  // namespace launcher
