// Walking a folder and moving, copying and removing files in it, for installing a downloaded
// tree over a program folder. Paths are Windows-style (backslash separators, GBK bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

struct FolderEntry {
  std::string name;  // the entry's own name, without its folder
  bool isFolder;
};

class FileTree {
 public:
  virtual ~FileTree() = default;
  // Every entry of the folder (given with its trailing backslash) in the order the file system
  // gives them, "." and ".." included where it lists them; empty when it cannot be read.
  virtual std::vector<FolderEntry> ListFolder(const std::string& folder) = 0;
  // Moves a file, replacing a file of the target's name. True when it was moved now.
  virtual bool MoveReplacing(const std::string& from, const std::string& to) = 0;
  // Has the system carry out the same move, replacing the target, when it next starts (for a
  // target in use now). True when the move was scheduled.
  virtual bool MoveAtRestart(const std::string& from, const std::string& to) = 0;
  virtual bool RemoveFile(const std::string& path) = 0;
  // Removes a folder only when it is empty.
  virtual bool RemoveEmptyFolder(const std::string& path) = 0;
  // The platform's code for why the calling thread's last call failed (Win32 error codes on
  // Windows); read it right after the call that failed. 0 when the platform does not say.
  virtual uint32_t LastError() { return 0; }
};

#ifdef _WIN32
// The running system's files (Windows builds only; the install runs nowhere else).
FileTree& SystemFileTree();
#endif

}  // namespace platform
