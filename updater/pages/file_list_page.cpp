#include "pages/file_list_page.h"

#include "log/run_log.h"
#include "platform/day_clock.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/profile_store.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "steps/file_download.h"
#include "trust/program_trust.h"

namespace ostrel {

FileListPage::FileListPage() : WorkerPage(IDD_FILE_LIST_PAGE, nullptr) {}

bool FileListPage::OnInitDialog() {
  fileList_.SetUpView(Control(IDC_FILE_LIST));
  platform::FileSystem& files = platform::SystemFileSystem();
  // The worker gets the listed entries as they are, not read back out of the list view.
  std::vector<FileListRow> rows =
      FileListRows(platform::SystemProfileStore(), UpdateFiles::Below(files),
                   [this](const std::string& key) { return fileList_.IconIndexFor(key); });
  std::vector<std::string> entries;
  fileList_.BeginInserting(rows.size());
  for (FileListRow& row : rows) {
    fileList_.InsertRow(row.index, row.text, row.image);
    entries.push_back(std::move(row.text));
  }
  fileList_.EndInserting();
  SetWork([entries = std::move(entries)](PageView& page) {
    FileDownloadWorker({platform::CurrentUserRegistry(), platform::SystemFileSystem(),
                        platform::SystemProfileStore(), platform::WinInetClient("Ostrel"),
                        platform::SystemDayClock(), ProgramLog(), &ProgramTrust()},
                       entries, page);
  });
  return WorkerPage::OnInitDialog();
}

}  // namespace ostrel
