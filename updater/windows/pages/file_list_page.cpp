#include "pages/file_list_page.h"

#include "res/resource.h"

namespace updater {

FileListPage::FileListPage(const ProgramContext& program, std::chrono::milliseconds stallLimit)
    : WorkerPage(IDD_FILE_LIST_PAGE, nullptr), program_(program), stallLimit_(stallLimit) {}

bool FileListPage::OnInitDialog() {
  fileList_.SetUpView(Control(IDC_FILE_LIST));
  // The worker gets the listed entries as they are, not read back out of the list view.
  std::vector<FileListRow> rows =
      FileListRows(program_.profiles, program_.layout.files,
                   [this](const std::string& key) { return fileList_.IconIndexFor(key); });
  std::vector<std::string> entries;
  fileList_.BeginInserting(rows.size());
  for (FileListRow& row : rows) {
    fileList_.InsertRow(row.index, row.text, row.image);
    entries.push_back(std::move(row.text));
  }
  fileList_.EndInserting();
  SetWork([&program = program_, stallLimit = stallLimit_, entries = std::move(entries)](
              PageView& page) { FileDownloadWorker(program, entries, page, stallLimit); });
  return WorkerPage::OnInitDialog();
}

}  // namespace updater
