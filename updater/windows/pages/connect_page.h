// The second page: fetches the update manifest from the selected server on a worker thread and
// stores it as update\update.ini; ends itself on success, shows the failure text otherwise.
#pragma once

#include "pages/worker_page.h"
#include "steps/manifest_download.h"

namespace updater {

class ConnectPage : public WorkerPage {
 public:
  // The worker uses `program` by reference: it must outlive every page worker.
  ConnectPage(const ProgramContext& program, std::chrono::milliseconds stallLimit);
};

}  // namespace updater
