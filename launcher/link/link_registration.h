// The link handler's registration: the scheme's key under HKEY_CLASSES_ROOT, written and
// removed by the registrar script below (registrar_script.h), so the handler's entries are data
// and removal takes away exactly what registration wrote.
#pragma once

#include <string_view>

#include "module/com_rules.h"
#include "platform/registry.h"

namespace pellwick {

// %MODULE% is the handler's full path. The link reaches the handler quoted as one argument; the
// icon is named in the documented "path,index" form, which takes no quotes.
inline constexpr char kLinkRegistrationScript[] =
    "HKCR\r\n"
    "{\r\n"
    "\tForceRemove tavrel-read = s 'URL:Tavrel book link'\r\n"
    "\t{\r\n"
    "\t\tval 'URL Protocol' = s ''\r\n"
    "\t\tDefaultIcon = s '%MODULE%,0'\r\n"
    "\t\tshell\r\n"
    "\t\t{\r\n"
    "\t\t\topen\r\n"
    "\t\t\t{\r\n"
    "\t\t\t\tcommand = s '\"%MODULE%\" \"%%1\"'\r\n"
    "\t\t\t}\r\n"
    "\t\t}\r\n"
    "\t}\r\n"
    "}\r\n";

// Runs the script over `classesRoot` with `handlerPath` as %MODULE%: S_OK, or the registrar's
// failure (after undoing what was written). Removal always gives S_OK.
com::HResult RegisterLinkHandler(std::string_view handlerPath, platform::Registry& classesRoot);
com::HResult UnregisterLinkHandler(std::string_view handlerPath, platform::Registry& classesRoot);

}  // namespace pellwick
