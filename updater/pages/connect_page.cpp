#include "pages/connect_page.h"

#include "log/run_log.h"
#include "platform/day_clock.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "steps/manifest_download.h"
#include "trust/program_trust.h"

namespace ostrel {

namespace {

void ManifestDownloadWork(PageView& page) {
  ManifestDownloadWorker({platform::CurrentUserRegistry(), platform::SystemFileSystem(),
                          platform::WinInetClient("Ostrel"), platform::SystemDayClock(),
                          ProgramLog(), &ProgramTrust()},
                         page);
}

}  // namespace

ConnectPage::ConnectPage() : WorkerPage(IDD_CONNECT_PAGE, &ManifestDownloadWork) {}

}  // namespace ostrel
