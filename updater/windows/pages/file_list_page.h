// The file-list page: lists the manifest's files with their shell icons, then fetches on a
// worker thread every file not yet recorded, stores it below update\ and records it; ends
// itself when all succeeded, shows the last message otherwise.
#pragma once

#include "pages/worker_page.h"
#include "steps/file_download.h"
#include "ui/shell_icon_list_view.h"

namespace ostrel {

class FileListPage : public WorkerPage {
 public:
  explicit FileListPage(const FileDownloadContext& context);

 protected:
  bool OnInitDialog() override;

 private:
  FileDownloadContext context_;
  ShellIconListView fileList_;
};

}  // namespace ostrel
