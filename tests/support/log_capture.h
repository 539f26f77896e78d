// A RunLog whose lines land in memory, each led by "T" for its time: for tests that check what
// a run logs without a file of its own.
#pragma once

#include <string>

#include "log/run_log.h"
#include "support/inert_file_system.h"

namespace testing_support {

class LogCapture final : private InertFileSystem {
 public:
  updater::RunLog log{*this, "L:\\update\\", [] { return std::string("T"); }};
  std::string text;

 private:
  bool Exists(const std::string&) override { return true; }
  platform::CreateFolderResult CreateFolder(const std::string&) override {
    return platform::CreateFolderResult::kAlreadyExists;
  }
  bool AppendToFile(const std::string&, std::string_view data) override {
    text.append(data);
    return true;
  }
};

// The log text with the milliseconds of each request (", 12 ms,") written as ", _ ms,": the
// clock, not the code, chooses them.
inline std::string MaskMilliseconds(std::string text) {
  for (std::size_t pos = text.find(", "); pos != std::string::npos;
       pos = text.find(", ", pos + 1)) {
    std::size_t end = pos + 2;
    while (end < text.size() && text[end] >= '0' && text[end] <= '9') ++end;
    if (end > pos + 2 && text.compare(end, 4, " ms,") == 0)
      text.replace(pos + 2, end - pos - 2, "_");
  }
  return text;
}

}  // namespace testing_support
