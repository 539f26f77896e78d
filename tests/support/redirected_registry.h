// A registry whose keys live below a test-owned key of another registry, so code that reads a
// fixed key (the reader's) can run against the real registry without touching the user's key.
#pragma once

#include <memory>
#include <string>

#include "platform/registry.h"

namespace testing_support {

class RedirectedRegistry final : public platform::Registry {
 public:
  // Every key name is taken as below `root`; the destructor removes `root` with its keys.
  RedirectedRegistry(platform::Registry& target, std::string root)
      : target_(target), root_(std::move(root)) {}
  ~RedirectedRegistry() override { target_.DeleteTree(root_); }
  RedirectedRegistry(const RedirectedRegistry&) = delete;
  RedirectedRegistry& operator=(const RedirectedRegistry&) = delete;

  std::unique_ptr<platform::RegistryKey> OpenKey(const std::string& subKey) override {
    return target_.OpenKey(root_ + "\\" + subKey);
  }
  std::unique_ptr<platform::RegistryKey> CreateKey(const std::string& subKey) override {
    return target_.CreateKey(root_ + "\\" + subKey);
  }
  bool DeleteTree(const std::string& subKey) override {
    return target_.DeleteTree(root_ + "\\" + subKey);
  }

 private:
  platform::Registry& target_;
  std::string root_;
};

}  // namespace testing_support
