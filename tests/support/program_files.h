// A program folder of its own for tests: the real file system, with the running program's
// file name given (so the program folder is a temporary folder).
#pragma once

#include <string>

#include "platform/file_system.h"
#include "support/module_name.h"

namespace testing_support {

class ProgramFiles final : public platform::FileSystem {
 public:
  explicit ProgramFiles(std::string programName) : programName_(std::move(programName)) {}
  bool Exists(const std::string& path) override { return system_.Exists(path); }
  platform::CreateFolderResult CreateFolder(const std::string& path) override {
    return system_.CreateFolder(path);
  }
  std::size_t ModuleFileName(char* buffer, std::size_t size) override {
    return CopyModuleName(programName_, buffer, size);
  }
  bool WriteWholeFile(const std::string& path, std::string_view data) override {
    return system_.WriteWholeFile(path, data);
  }
  bool AppendToFile(const std::string& path, std::string_view data) override {
    return system_.AppendToFile(path, data);
  }
  std::optional<uint64_t> FileSize(const std::string& path) override {
    return system_.FileSize(path);
  }
  bool RenameReplacing(const std::string& from, const std::string& to) override {
    return system_.RenameReplacing(from, to);
  }
  uint32_t LastError() override { return system_.LastError(); }
  bool ReadFileInPieces(const std::string& path,
                        const std::function<bool(std::string_view)>& consume) override {
    return system_.ReadFileInPieces(path, consume);
  }

 private:
  platform::FileSystem& system_ = platform::SystemFileSystem();
  std::string programName_;
};

}  // namespace testing_support
