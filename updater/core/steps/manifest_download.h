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
#include "user_texts.h"

namespace ostrel {

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
// refuse shows why (texts::kCannotVerify on a system without the algorithms,
// texts::kManifestRefused otherwise); each sets Failed and leaves an older manifest as it was. On
// success it shows the success text, sets Succeeded and asks the page to end itself; a signed
// manifest then leaves its mark. The request, the trust rules' verdict and the store are logged.
void ManifestDownloadWorker(const ManifestDownloadContext& context, PageView& page);

}  // namespace ostrel
