// A fresh folder per test, named by a Windows-style path, removed with everything in it.
#pragma once

#include <string>
#include <vector>

namespace testing_support {

class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  // The folder's path without a trailing backslash.
  const std::string& path() const { return path_; }
  // path() + "\" + relative.
  std::string Child(const std::string& relative) const;

 private:
  std::string path_;
};

// Whole-file helpers over Windows-style paths; Read gives "" for a missing file.
void WriteFileBytes(const std::string& path, const std::string& bytes);
std::string ReadFileBytes(const std::string& path);
bool MakeFolder(const std::string& path);
void RemoveFile(const std::string& path);
// Every file below the folder, as paths relative to it with backslashes, sorted.
std::vector<std::string> ListFiles(const std::string& folder);

}  // namespace testing_support
