#include "pages/connect_page.h"

#include "res/resource.h"

namespace ostrel {

ConnectPage::ConnectPage(const ManifestDownloadContext& context)
    : WorkerPage(IDD_CONNECT_PAGE,
                 [context](PageView& page) { ManifestDownloadWorker(context, page); }) {}

}  // namespace ostrel
