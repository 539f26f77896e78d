#include "pages/connect_page.h"

#include "net/http_fetcher.h"
#include "pages/manifest_download.h"
#include "platform/day_clock.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "trust/program_trust.h"

namespace ostrel {

namespace {

void ManifestDownloadWork(PageView& page) {
  HttpFetcher fetcher(platform::WinInetClient("Ostrel"), platform::SystemDayClock());
  ManifestDownloadWorker(
      {platform::CurrentUserRegistry(), platform::SystemFileSystem(), fetcher, &ProgramTrust()},
      page);
}

}  // namespace

ConnectPage::ConnectPage() : WorkerPage(IDD_CONNECT_PAGE, &ManifestDownloadWork) {}

}  // namespace ostrel
