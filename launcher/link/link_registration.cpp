#include "link/link_registration.h"

#include <string>

#include "registration/module_paths.h"
#include "registration/registrar_script.h"

namespace pellwick {
namespace {

ScriptVariables Variables(std::string_view handlerPath) {
  return {{"MODULE", DoubleSingleQuotes(handlerPath)}};
}

}  // namespace

com::HResult RegisterLinkHandler(std::string_view handlerPath, platform::Registry& classesRoot) {
  return RunRegistrarScript(kLinkRegistrationScript, Variables(handlerPath),
                            RegistrarMode::kRegister, classesRoot);
}

com::HResult UnregisterLinkHandler(std::string_view handlerPath, platform::Registry& classesRoot) {
  RunRegistrarScript(kLinkRegistrationScript, Variables(handlerPath), RegistrarMode::kUnregister,
                     classesRoot);
  return com::kSOk;
}

}  // namespace pellwick
