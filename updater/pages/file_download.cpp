#include "pages/file_download.h"

#include "manifest/manifest_entry.h"
#include "settings/paths.h"
#include "settings/server_list.h"
#include "trust/file_checks.h"

namespace ostrel {

std::string DownloadStartedText(const std::string& entry) {
  return "\xd5\xfd\xd4\xda\xcf\xc2\xd4\xd8 " + entry + " ...";
}

std::string DownloadDoneText(const std::string& entry) {
  return "\xcf\xc2\xd4\xd8 " + entry + " \xcd\xea\xb1\xcf";
}

std::string DownloadFailedText(const std::string& entry) {
  return "\xcf\xc2\xd4\xd8 " + entry + "  \xca\xa7\xb0\xdc";
}

std::vector<FileListRow> FileListRows(
    platform::ProfileStore& profiles, const UpdateFiles& files,
    const std::function<int32_t(const std::string&)>& iconIndexFor) {
  std::vector<FileListRow> rows;
  for (ManifestEntry& entry : ReadManifestFileList(profiles, files)) {
    const int32_t image = iconIndexFor(GetFileExtension(entry.name));
    rows.push_back(FileListRow{entry.number - 1, std::move(entry.name), image});
  }
  return rows;
}

namespace {

// Fetches, stores and records one entry; false when it failed.
bool DownloadOne(const FileDownloadContext& context, PageView& page, const UpdateFiles& update,
                 const std::string& programFolder, const DownloadGate& gate,
                 const std::string& entry) {
  // The server may be changed between files; read it afresh for each.
  const std::string url = SelectedServerUrl(context.registry, "/" + entry);
  page.SetMessageText(DownloadStartedText(entry));
  std::vector<char> block;
  if (!context.fetcher.Fetch(url, block, page, page.state().CancelFlag())) {
    return false;
  }
  if (page.state().Detached()) return false;
  if (!gate.Admits(entry, std::string_view(block.data(), block.size()))) return false;
  if (!context.files.WriteWholeFile(programFolder + kDownloadFolder + entry,
                                    std::string_view(block.data(), block.size()))) {
    return false;
  }
  RecordFileDone(context.profiles, update, entry);
  page.SetMessageText(DownloadDoneText(entry));
  return true;
}

}  // namespace

void FileDownloadWorker(const FileDownloadContext& context, PageView& page) {
  std::string programFolder = GetProgramFolder(context.files);
  // Without a known program folder the paths would name the root of the current drive.
  const bool folderKnown = !programFolder.empty();
  AppendBackslash(programFolder);
  const UpdateFiles update = UpdateFiles::In(programFolder);
  const DownloadGate gate =
      DownloadGate::ForStoredManifest(context.trust, context.files, update, context.profiles);

  const int32_t rows = page.RowCount();
  bool allSucceeded = true;
  for (int32_t row = 0; row < rows; ++row) {
    if (page.state().Detached() || page.state().CancelFlag() != 0) return;
    const std::string entry = page.RowText(row);
    // Refused before the record is consulted: no run of ours records such an entry.
    if (folderKnown && IsSafeManifestEntry(entry)) {
      if (IsFileDone(context.profiles, update, entry)) continue;
      if (DownloadOne(context, page, update, programFolder, gate, entry)) continue;
    }
    page.SetMessageText(DownloadFailedText(entry));
    allSucceeded = false;
  }
  if (rows == 0 || !allSucceeded) {
    page.state().Finish(Failed);
  } else if (page.state().Finish(Succeeded)) {
    page.RequestEndTimer();
  }
}

}  // namespace ostrel
