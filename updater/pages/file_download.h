// The file-list page's work: list the manifest's files with their icons (on the page's thread),
// then fetch every file not yet recorded for this manifest version, store it below update\ and
// record it (on the worker thread).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "manifest/manifest.h"
#include "net/http_fetcher.h"
#include "pages/page_worker.h"
#include "platform/file_system.h"
#include "platform/profile_store.h"
#include "platform/registry.h"
#include "trust/update_trust.h"

namespace ostrel {

// "正在下载 %s ...", "下载 %s 完毕", "下载 %s  失败" with the list entry.
std::string DownloadStartedText(const std::string& entry);
std::string DownloadDoneText(const std::string& entry);
std::string DownloadFailedText(const std::string& entry);

// The folder the files are stored in, below the program folder; the same folder as update\.
inline constexpr char kDownloadFolder[] = "Update\\";

// One row of the file list: inserted at `index` (the entry's position in the manifest, from 0;
// an index past the end appends), with the entry as text and its type's icon.
struct FileListRow {
  int32_t index;
  std::string text;
  int32_t image;
};

// The rows for the manifest's list entries longer than 4 bytes, in manifest order.
// `iconIndexFor` gives the image position for an extension (IconIndexFor of the list view).
std::vector<FileListRow> FileListRows(
    platform::ProfileStore& profiles, const UpdateFiles& files,
    const std::function<int32_t(const std::string&)>& iconIndexFor);

struct FileDownloadContext {
  platform::Registry& registry;
  platform::FileSystem& files;
  platform::ProfileStore& profiles;
  HttpFetcher& fetcher;
  // The trust rules that decide which fetched files may be stored; none: every file.
  const TrustContext* trust = nullptr;
};

// The worker's whole run over the rows the page lists. A row is skipped when already recorded
// for the manifest's version; a row whose entry could reach outside the update folder, name a
// device or overwrite the manifest or the record fails without a request. A fetched file is
// stored whole (temporary name, then renamed) and only then recorded; one that cannot be
// stored, or that a signed manifest does not promise byte for byte, fails like a failed fetch.
// Every row is tried; any failure, or no rows, ends in Failed with the last message kept; otherwise
// Succeeded and the page is asked to end itself. The loop stops as soon as the page has ended or
// its cancel button was pressed.
void FileDownloadWorker(const FileDownloadContext& context, PageView& page);

}  // namespace ostrel
