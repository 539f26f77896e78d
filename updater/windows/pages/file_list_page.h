// The file-list page: lists the manifest's files with their shell icons, then fetches on a
// worker thread every file not yet recorded, stores it below update\ and records it; ends
// itself when all succeeded, shows the last message otherwise.
#pragma once

#include "pages/worker_page.h"
#include "steps/file_download.h"
#include "ui/shell_icon_list_view.h"

namespace updater {

class FileListPage : public WorkerPage {
 public:
  // The worker uses `program` by reference: it must outlive every page worker.
  FileListPage(const ProgramContext& program, std::chrono::milliseconds stallLimit);

 protected:
  bool OnInitDialog() override;

 private:
  const ProgramContext& program_;
  const std::chrono::milliseconds stallLimit_;
  ShellIconListView fileList_;
};

}  // namespace updater
