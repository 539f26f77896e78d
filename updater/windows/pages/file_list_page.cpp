#include "pages/file_list_page.h"

#include "res/resource.h"

namespace ostrel {

FileListPage::FileListPage(const FileDownloadContext& context)
    : WorkerPage(IDD_FILE_LIST_PAGE, nullptr), context_(context) {}

bool FileListPage::OnInitDialog() {
  fileList_.SetUpView(Control(IDC_FILE_LIST));
  // The worker gets the listed entries as they are, not read back out of the list view.
  std::vector<FileListRow> rows;
  if (context_.programFolder) {
    rows = FileListRows(context_.profiles, UpdateFiles::In(*context_.programFolder),
                        [this](const std::string& key) { return fileList_.IconIndexFor(key); });
  }
  std::vector<std::string> entries;
  fileList_.BeginInserting(rows.size());
  for (FileListRow& row : rows) {
    fileList_.InsertRow(row.index, row.text, row.image);
    entries.push_back(std::move(row.text));
  }
  fileList_.EndInserting();
  SetWork([context = context_, entries = std::move(entries)](PageView& page) {
    FileDownloadWorker(context, entries, page);
  });
  return WorkerPage::OnInitDialog();
}

}  // namespace ostrel
