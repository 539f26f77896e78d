#include "pages/file_list_page.h"

#include "net/http_fetcher.h"
#include "pages/file_download.h"
#include "platform/day_clock.h"
#include "platform/file_system.h"
#include "platform/internet.h"
#include "platform/profile_store.h"
#include "platform/registry.h"
#include "res/resource.h"
#include "trust/program_trust.h"

namespace ostrel {

namespace {

void FileDownloadWork(PageView& page) {
  HttpFetcher fetcher(platform::WinInetClient("Ostrel"), platform::SystemDayClock());
  FileDownloadWorker({platform::CurrentUserRegistry(), platform::SystemFileSystem(),
                      platform::SystemProfileStore(), fetcher, &ProgramTrust()},
                     page);
}

}  // namespace

FileListPage::FileListPage() : WorkerPage(IDD_FILE_LIST_PAGE, &FileDownloadWork) {}

bool FileListPage::OnInitDialog() {
  // The rows are in place before the worker starts: it works through them.
  fileList_.SetUpView(Control(IDC_FILE_LIST));
  platform::FileSystem& files = platform::SystemFileSystem();
  for (const FileListRow& row :
       FileListRows(platform::SystemProfileStore(), UpdateFiles::Below(files),
                    [this](const std::string& key) { return fileList_.IconIndexFor(key); })) {
    fileList_.InsertRow(row.index, row.text, row.image);
  }
  return WorkerPage::OnInitDialog();
}

}  // namespace ostrel
