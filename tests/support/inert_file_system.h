// A file system in which nothing exists and nothing can be made, written or read: the base of
// the tests' fakes, each of which overrides only what its test looks at.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace testing_support {

class InertFileSystem : public platform::FileSystem {
 public:
  bool Exists(const std::string&) override { return false; }
  platform::CreateFolderResult CreateFolder(const std::string&) override {
    return platform::CreateFolderResult::kFailed;
  }
  bool WriteWholeFile(const std::string&, std::string_view, platform::Durability) override {
    return false;
  }
  bool ReadFileInPieces(const std::string&, const std::function<bool(std::string_view)>&) override {
    return false;
  }
};

}  // namespace testing_support
