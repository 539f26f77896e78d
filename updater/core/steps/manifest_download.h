// The connect page's work: fetch the selected server's manifest and store it as
// update\update.ini.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

#include "net/http_fetcher.h"
#include "program/program_context.h"
#include "steps/page_view.h"
#include "user_texts.h"

namespace updater {

inline constexpr char kManifestServerPath[] = "/update.htm";

// A longer manifest is refused before it is read: a list of thousands of files is far shorter.
inline constexpr uint64_t kLargestManifest = uint64_t{1024} * 1024;

// The worker's whole run. The manifest must pass the program's trust rules (none: any
// manifest) and is stored whole or not at all: a failed fetch or a failed write shows the failure
// text, a manifest the trust rules refuse shows why (texts::kCannotVerify on a system without the
// algorithms, texts::kManifestRefused otherwise); each sets Failed and leaves an older manifest as
// it was. On success it shows the success text, sets Succeeded and asks the page to end itself; a
// signed manifest then leaves its mark. The request, the trust rules' verdict and the store are
// logged. A transfer that receives nothing for `stallLimit` fails, logged as "stalled".
void ManifestDownloadWorker(const ProgramContext& program, PageView& page,
                            std::chrono::milliseconds stallLimit = kStallLimit);

}  // namespace updater
