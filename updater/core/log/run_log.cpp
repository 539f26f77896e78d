#include "log/run_log.h"

#include <chrono>
#include <cstdio>
#include <ctime>

#include "layout/paths.h"
#include "platform/catch_all.h"

namespace updater {

std::string LocalTimeText() {
  const auto now = std::chrono::system_clock::now();
  const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  std::tm local{};
#ifdef _WIN32
  localtime_s(&local, &seconds);
#else
  localtime_r(&seconds, &local);
#endif
  char text[80];  // room for any int fields, so no build sees a possible truncation
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d.%03d", local.tm_year + 1900,
                local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                static_cast<int>(milliseconds));
  return text;
}

RunLog::RunLog(platform::FileSystem& files, std::string folder, TimeText timeText)
    : files_(&files), folder_(std::move(folder)), timeText_(std::move(timeText)) {}

void RunLog::Write(std::string_view text) noexcept {
  // The log never stops the update.
  platform::CatchAll([&] {
    std::lock_guard<std::mutex> lock(mutex_);
    if (files_ == nullptr) return;
    if (!folderEnsured_) {
      std::string folder = folder_;
      if (!folder.empty()) folder.pop_back();  // CreateFolder takes no trailing backslash
      files_->CreateFolder(folder);
      folderEnsured_ = true;
    }
    std::string line = timeText_() + " ";
    // Control characters are below 0x40, so none of them is a GBK trail byte.
    for (const char c : text) {
      line += (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) ? '?' : c;
    }
    line += "\r\n";
    const std::string path = folder_ + kLogName;
    const std::optional<uint64_t> size = files_->FileSize(path);
    if (size && *size > kLogRotationSize) files_->RenameReplacing(path, folder_ + kOlderLogName);
    files_->AppendToFile(path, line);
  });
}

}  // namespace updater
