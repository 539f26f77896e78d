// Registration as data: the registry entries of a COM class or a URL scheme as a table, one row
// per key or value, written in order by ApplyRegistration and taken away by RemoveRegistration.
#pragma once

#include <cstddef>
#include <string_view>

#include "module/com_rules.h"
#include "platform/registry.h"

namespace launcher {

// What registration and removal do with a row's key besides its value.
enum class KeyRule {
  kPlain,        // created when missing; removed once no subkeys are left
  kForceRemove,  // registration first deletes it with everything below it (never CLSID or TypeLib)
  kNoRemove,     // removal never deletes it: a key that other registrations share
};

// Stands in a row's data for the path of the module being registered.
inline constexpr std::string_view kModulePathToken = "%MODULE%";

struct RegistryEntry {
  const char* keyPath;    // below HKEY_CLASSES_ROOT; a key's parent comes in an earlier row
  const char* valueName;  // nullptr: the key alone; "": the key's default value
  const char* data;       // REG_SZ text, kModulePathToken standing for the module's path
  KeyRule rule = KeyRule::kPlain;
};

// The rows of one registration, in order.
class RegistryTable {
 public:
  template <std::size_t N>
  constexpr RegistryTable(const RegistryEntry (&entries)[N]) : begin_(entries), end_(entries + N) {}
  const RegistryEntry* begin() const { return begin_; }
  const RegistryEntry* end() const { return end_; }

 private:
  const RegistryEntry* begin_;
  const RegistryEntry* end_;
};

// Creates or opens each row's key in table order and sets its value. When a key can be neither
// opened nor created or a value cannot be set, removes the whole table again and returns
// DISP_E_EXCEPTION (E_OUTOFMEMORY when memory ran out).
com::HResult ApplyRegistration(RegistryTable table, std::string_view modulePath,
                               platform::Registry& classesRoot) noexcept;

// Takes away what the table wrote, last row first: each named value, then each key that has no
// subkeys left (with the values it holds), except kNoRemove keys. Keys that do not exist are
// skipped; a key kept for a foreign subkey keeps its default value. Failures are ignored.
void RemoveRegistration(RegistryTable table, platform::Registry& classesRoot) noexcept;

}  // namespace launcher
