// The second page: fetches the update manifest from the selected server on a worker thread and
// stores it as update\update.ini; ends itself on success, shows the failure text otherwise.
#pragma once

#include "pages/worker_page.h"
#include "steps/manifest_download.h"

namespace ostrel {

class ConnectPage : public WorkerPage {
 public:
  explicit ConnectPage(const ManifestDownloadContext& context);
};

}  // namespace ostrel
