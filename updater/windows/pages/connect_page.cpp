#include "pages/connect_page.h"

#include "res/resource.h"

namespace updater {

ConnectPage::ConnectPage(const ProgramContext& program, std::chrono::milliseconds stallLimit)
    : WorkerPage(IDD_CONNECT_PAGE, [&program, stallLimit](PageView& page) {
        ManifestDownloadWorker(program, page, stallLimit);
      }) {}

}  // namespace updater
