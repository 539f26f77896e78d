#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "host_path.h"
#include "platform/file_system.h"

namespace platform {
namespace {

class PosixFileSystem final : public FileSystem {
 public:
  bool Exists(const std::string& path) override {
    return ::access(ToHostPath(path).c_str(), F_OK) == 0;
  }

  CreateFolderResult CreateFolder(const std::string& path) override {
    if (::mkdir(ToHostPath(path).c_str(), 0777) == 0) return CreateFolderResult::kCreated;
    return errno == EEXIST ? CreateFolderResult::kAlreadyExists : CreateFolderResult::kFailed;
  }

  std::size_t ModuleFileName(char* buffer, std::size_t size) override {
    if (size == 0) return 0;
    std::vector<char> link(4096);
    const ssize_t length = ::readlink("/proc/self/exe", link.data(), link.size());
    const std::string name =
        length > 0 ? FromHostPath(std::string(link.data(), static_cast<std::size_t>(length))) : "";
    const std::size_t copied = std::min(name.size(), size - 1);
    std::memcpy(buffer, name.data(), copied);
    buffer[copied] = '\0';
    return name.size() >= size ? size : copied;
  }
};

}  // namespace

FileSystem& SystemFileSystem() {
  static PosixFileSystem fileSystem;
  return fileSystem;
}

}  // namespace platform
