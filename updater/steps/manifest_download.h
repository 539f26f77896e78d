// The connect page's work: fetch the selected server's manifest and store it as
// update\update.ini.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "log/run_log.h"
#include "net/http_fetcher.h"
#include "platform/day_clock.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/registry.h"
#include "steps/worker_channel.h"
#include "trust/update_trust.h"

namespace ostrel {

// "连接服务器失败!请查看网络连接后再试或者可能服务器关闭。"
inline constexpr char kConnectFailedText[] =
    "\xc1\xac\xbd\xd3\xb7\xfe\xce\xf1\xc6\xf7\xca\xa7\xb0\xdc!\xc7\xeb\xb2\xe9\xbf\xb4\xcd\xf8"
    "\xc2\xe7\xc1\xac\xbd\xd3\xba\xf3\xd4\xd9\xca\xd4\xbb\xf2\xd5\xdf\xbf\xc9\xc4\xdc\xb7\xfe"
    "\xce\xf1\xc6\xf7\xb9\xd8\xb1\xd5\xa1\xa3";
// "下载更新列表文件完毕!"
inline constexpr char kManifestDownloadedText[] =
    "\xcf\xc2\xd4\xd8\xb8\xfc\xd0\xc2\xc1\xd0\xb1\xed\xce\xc4\xbc\xfe\xcd\xea\xb1\xcf!";

inline constexpr char kManifestServerPath[] = "/update.htm";

// A longer manifest is refused before it is read: a list of thousands of files is far shorter.
inline constexpr uint64_t kLargestManifest = uint64_t{1024} * 1024;

struct ManifestDownloadContext {
  platform::Registry& registry;
  platform::FileSystem& files;
  std::optional<std::string> programFolder;  // see ProgramFolder
  platform::InternetClient& client;
  platform::DayClock& clock;
  RunLog& log;
  // The trust rules the fetched manifest must pass before it is stored; none: any manifest.
  const TrustContext* trust = nullptr;
  // A transfer that receives nothing this long fails, logged as "stalled".
  std::chrono::milliseconds stallLimit = kStallLimit;
};

// The worker's whole run. The manifest is stored whole or not at all: an unknown program
// folder, a failed fetch, a manifest the trust rules refuse or a failed write shows the failure
// text, sets Failed and leaves an older manifest as it was. On success it shows the success text,
// sets Succeeded and asks the page to end itself; a signed manifest then leaves its mark. The
// request, the trust rules' verdict and the store are logged.
void ManifestDownloadWorker(const ManifestDownloadContext& context, PageView& page);

}  // namespace ostrel
