// Registration scripts in the registrar's syntax: the registry entries of a COM class as text,
// run to write the entries (registration) or to remove them again (removal).
//
// The subset read here:  HKCR { statement... }  where a statement is one of
//   [NoRemove|ForceRemove] name [= s 'default value'] [{ statement... }]
//   val name = s 'value'
// with names bare or in single quotes, '' for a quote inside a quoted text, and %name%
// replaced by a registered value before the script is read (%% gives one %).
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "module/com_rules.h"
#include "platform/registry.h"

namespace pellwick {

// Values for %name% (names compared without regard to the case of ASCII letters).
using ScriptVariables = std::vector<std::pair<std::string, std::string>>;

enum class RegistrarMode { kRegister, kUnregister };

// Replaces every %name% of `script`. DISP_E_EXCEPTION for a name without a value or a % that
// is never closed; E_FAIL for a name of 32 characters or more.
com::HResult SubstituteVariables(std::string_view script, const ScriptVariables& variables,
                                 std::string& result);

// Substitutes, reads and runs `script` over the HKEY_CLASSES_ROOT hive `classesRoot`.
//
// Registration creates or opens each key in script order and sets its values; a ForceRemove
// key is first deleted with everything below it (never CLSID or TypeLib). When a statement
// fails, the whole script is run again in removal mode and the failure returned
// (DISP_E_EXCEPTION). Removal deletes the named values, then each key that has no subkeys
// left, except NoRemove keys; keys that do not exist are skipped. A script that cannot be
// read fails in either mode before anything is touched.
com::HResult RunRegistrarScript(std::string_view script, const ScriptVariables& variables,
                                RegistrarMode mode, platform::Registry& classesRoot);

}  // namespace pellwick
