// Ostrel's log, update\ostrel.log: one line per event of a run (its start, each request, each
// stored or refused file, each install step, its end), so that a person helping a reader can
// tell a failed name lookup from a 404 or a full disk. GBK text, CRLF lines, each led by the
// local time. Bounded: once the file has passed 256 KiB it is renamed to ostrel.log.1
// (replacing an older one) and a new one begins. Writing the log never fails anything: a line
// that cannot be written is lost.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace updater {

inline constexpr uint64_t kLogRotationSize = uint64_t{256} * 1024;

// The local time as "YYYY-MM-DD hh:mm:ss.mmm".
std::string LocalTimeText();

class RunLog {
 public:
  using TimeText = std::function<std::string()>;

  // A log that writes nothing.
  RunLog() = default;
  // The log in `folder` (given with its trailing backslash; the program's log is in
  // UpdateLayout::updateFolder), created on the first line if
  // missing (one level).
  RunLog(platform::FileSystem& files, std::string folder, TimeText timeText = LocalTimeText);
  RunLog(const RunLog&) = delete;
  RunLog& operator=(const RunLog&) = delete;

  // Appends one line. Control characters in `text` become '?', so every event stays one
  // line. Any thread; never throws.
  void Write(std::string_view text) noexcept;

 private:
  std::mutex mutex_;
  platform::FileSystem* files_ = nullptr;
  std::string folder_;
  TimeText timeText_;
  bool folderEnsured_ = false;
};

}  // namespace updater
