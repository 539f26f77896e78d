#include <windows.h>

#include "platform/file_system.h"

namespace platform {
namespace {

class Win32FileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
  }

  CreateFolderResult CreateFolder(const std::string& path) override {
    if (::CreateDirectoryA(path.c_str(), nullptr)) return CreateFolderResult::kCreated;
    return ::GetLastError() == ERROR_ALREADY_EXISTS ? CreateFolderResult::kAlreadyExists
                                                    : CreateFolderResult::kFailed;
  }

  std::size_t ModuleFileName(char* buffer, std::size_t size) override {
    return ::GetModuleFileNameA(nullptr, buffer, static_cast<DWORD>(size));
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static Win32FileSystem fileSystem;
  return fileSystem;
}

}  // namespace platform
