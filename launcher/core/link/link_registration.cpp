#include "link/link_registration.h"

namespace launcher {

com::HResult RegisterLinkHandler(std::string_view handlerPath, platform::Registry& classesRoot) {
  return ApplyRegistration(kLinkRegistration, handlerPath, classesRoot);
}

com::HResult UnregisterLinkHandler(platform::Registry& classesRoot) {
  RemoveRegistration(kLinkRegistration, classesRoot);
  return com::kSOk;
}

}  // namespace launcher
