// The link handler's registration: the scheme's key under HKEY_CLASSES_ROOT as a table
// (registration/registry_table.h), so removal takes away exactly what registration wrote.
#pragma once

#include <string_view>

#include "module/com_rules.h"
#include "platform/registry.h"
#include "registration/registry_table.h"

namespace launcher {

// %MODULE% is the handler's full path. The link reaches the handler quoted as one argument; the
// icon is named in the documented "path,index" form, which takes no quotes.
inline constexpr RegistryEntry kLinkRegistration[] = {
    {"tavrel-read", "", "URL:Tavrel book link", KeyRule::kForceRemove},
    {"tavrel-read", "URL Protocol", ""},
    {"tavrel-read\\DefaultIcon", "", "%MODULE%,0"},
    {"tavrel-read\\shell", nullptr, nullptr},
    {"tavrel-read\\shell\\open", nullptr, nullptr},
    {"tavrel-read\\shell\\open\\command", "", "\"%MODULE%\" \"%1\""},
};

// Writes the table over `classesRoot` with `handlerPath` as %MODULE%: S_OK, or the failure
// (after undoing what was written).
com::HResult RegisterLinkHandler(std::string_view handlerPath, platform::Registry& classesRoot);
// Always S_OK.
com::HResult UnregisterLinkHandler(platform::Registry& classesRoot);

}  // namespace launcher
