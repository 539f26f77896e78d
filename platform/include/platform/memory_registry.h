// A registry held in memory with the platform's naming rules: key and value names ignore the
// case of ASCII letters, a trailing backslash names the same key, a leading one names nothing.
#pragma once

#include <map>
#include <memory>
#include <string>

#include "platform/registry.h"

namespace platform {

class MemoryRegistry final : public Registry {
 public:
  MemoryRegistry();
  ~MemoryRegistry() override;

  std::unique_ptr<RegistryKey> OpenKey(const std::string& subKey) override;
  std::unique_ptr<RegistryKey> CreateKey(const std::string& subKey) override;
  bool DeleteTree(const std::string& subKey) override;

  struct Node;

 private:
  std::shared_ptr<Node> root_;
};

}  // namespace platform
