#include <windows.h>

#include "handles.h"
#include "platform/file_tree.h"

namespace platform {
namespace {

class Win32FileTree final : public FileTree {
 public:
  std::vector<FolderEntry> ListFolder(const std::string& folder) override {
    std::vector<FolderEntry> entries;
    WIN32_FIND_DATAA found = {};
    const win32::UniqueFindHandle search =
        win32::OwnSearchHandle(::FindFirstFileA((folder + "*.*").c_str(), &found));
    if (!search) return entries;
    do {
      entries.push_back(
          {found.cFileName, (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
    } while (::FindNextFileA(search.get(), &found));
    return entries;
  }

  bool MoveReplacing(const std::string& from, const std::string& to) override {
    return ::MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
  }

  bool MoveAtRestart(const std::string& from, const std::string& to) override {
    // Without MOVEFILE_REPLACE_EXISTING the restart would refuse the move whenever the target
    // exists, which is just the case of a file in use. (The flag marks the target with a
    // leading '!' in PendingFileRenameOperations.)
    return ::MoveFileExA(from.c_str(), to.c_str(),
                         MOVEFILE_DELAY_UNTIL_REBOOT | MOVEFILE_REPLACE_EXISTING) != FALSE;
  }

  bool RemoveFile(const std::string& path) override { return ::DeleteFileA(path.c_str()) != FALSE; }

  bool RemoveEmptyFolder(const std::string& path) override {
    return ::RemoveDirectoryA(path.c_str()) != FALSE;
  }

  uint32_t LastError() override { return ::GetLastError(); }
};

}  // namespace

FileTree& SystemFileTree() {
  static Win32FileTree tree;
  return tree;
}

}  // namespace platform
