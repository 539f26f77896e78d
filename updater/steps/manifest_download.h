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

// "更新列表文件未通过签名校验，没有下载任何更新。"
inline constexpr char kManifestRefusedText[] =
    "\xb8\xfc\xd0\xc2\xc1\xd0\xb1\xed\xce\xc4\xbc\xfe\xce\xb4\xcd\xa8\xb9\xfd\xc7\xa9"
    "\xc3\xfb\xd0\xa3\xd1\xe9\xa3\xac\xc3\xbb\xd3\xd0\xcf\xc2\xd4\xd8\xc8\xce\xba\xce"
    "\xb8\xfc\xd0\xc2\xa1\xa3";
// "本系统无法校验更新文件的签名，不能在线升级。"
inline constexpr char kCannotVerifyText[] =
    "\xb1\xbe\xcf\xb5\xcd\xb3\xce\xde\xb7\xa8\xd0\xa3\xd1\xe9\xb8\xfc\xd0\xc2\xce\xc4"
    "\xbc\xfe\xb5\xc4\xc7\xa9\xc3\xfb\xa3\xac\xb2\xbb\xc4\xdc\xd4\xda\xcf\xdf\xc9\xfd"
    "\xbc\xb6\xa1\xa3";

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
// folder, a failed fetch or a failed write shows the failure text, a manifest the trust rules
// refuse shows why (kCannotVerifyText on a system without the algorithms, kManifestRefusedText
// otherwise); each sets Failed and leaves an older manifest as it was. On success it shows the
// success text, sets Succeeded and asks the page to end itself; a signed manifest then leaves its
// mark. The request, the trust rules' verdict and the store are logged.
void ManifestDownloadWorker(const ManifestDownloadContext& context, PageView& page);

}  // namespace ostrel
