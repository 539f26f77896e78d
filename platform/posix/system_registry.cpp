#include "platform/memory_registry.h"

namespace platform {

// Off Windows there is no system registry; one in-memory hive serves the process.
Registry& CurrentUserRegistry() {
  static MemoryRegistry registry;
  return registry;
}

Registry& ClassesRootRegistry() {
  static MemoryRegistry registry;
  return registry;
}

Registry& LocalMachineRegistry() {
  static MemoryRegistry registry;
  return registry;
}

}  // namespace platform
