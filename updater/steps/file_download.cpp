#include "steps/file_download.h"

#include <memory>
#include <mutex>

#include "manifest/manifest_entry.h"
#include "net/http_fetcher.h"
#include "platform/gbk.h"
#include "settings/paths.h"
#include "settings/server_list.h"
#include "steps/ordered_lane.h"
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

// The folder part's components end at each '\\' or '/' that is a character of its own, split
// as IsSafeManifestEntry splits them: a lead byte pairs only with a trail byte.
std::vector<std::size_t> FolderEnds(std::string_view entry) {
  std::vector<std::size_t> ends;
  for (std::size_t pos = 0; pos < entry.size(); ++pos) {
    if (entry[pos] == '\\' || entry[pos] == '/') {
      ends.push_back(pos);
    } else if (pos + 1 < entry.size() && platform::IsGbkLeadByte(entry[pos]) &&
               platform::IsGbkTrailByte(entry[pos + 1])) {
      ++pos;
    }
  }
  return ends;
}

// A body this large is stored before the next fetch starts, so that no more than one large
// body is held at a time; below it, storing alongside the next fetch is what makes a list of
// small files fast.
constexpr std::size_t kLargestOverlappedStore = 4 * 1024 * 1024;

// What the worker and the lane share for one page's run.
struct FileRun {
  FileRun(const FileDownloadContext& context, PageView& page, std::string updateFolder,
          FinishedDownloads& finished, const DownloadGate& gate)
      : context(context),
        page(page),
        updateFolder(std::move(updateFolder)),
        finished(finished),
        gate(gate) {}

  const FileDownloadContext& context;
  PageView& page;
  const std::string updateFolder;
  FinishedDownloads& finished;
  const DownloadGate& gate;
  std::mutex recordMutex;  // the record is consulted by the worker and written on the lane
  std::size_t failed = 0;  // counted on the lane

  bool Recorded(const std::string& entry) {
    std::lock_guard<std::mutex> lock(recordMutex);
    return finished.Contains(entry);
  }

  // On the lane, in the order of the entries. True when the entry was stored and recorded.
  bool Store(const std::string& entry, const std::vector<char>& block) {
    if (!page.state().MayStore()) {
      context.log.Write("not stored " + entry + ": the page was cancelled or had ended");
      return false;
    }
    const std::string_view bytes(block.data(), block.size());
    if (!gate.Admits(entry, bytes)) return false;  // logged with why
    if (!CreateEntryFolders(context.files, updateFolder, entry, context.log)) return false;
    if (!context.files.WriteWholeFile(updateFolder + entry, bytes,
                                      platform::Durability::kFlushedToDisk)) {
      context.log.Write("not stored " + entry + ": write failed, error " +
                        std::to_string(context.files.LastError()));
      return false;
    }
    {
      std::lock_guard<std::mutex> lock(recordMutex);
      finished.Add(entry);
    }
    context.log.Write("stored " + entry + ", " + std::to_string(block.size()) + " bytes");
    page.SetMessageText(DownloadDoneText(entry));
    return true;
  }

  void Fail(const std::string& entry) {
    page.SetMessageText(DownloadFailedText(entry));
    ++failed;
  }
};

}  // namespace

bool CreateEntryFolders(platform::FileSystem& files, const std::string& updateFolder,
                        std::string_view entry, RunLog& log) {
  if (!IsSafeManifestEntry(entry)) return false;
  for (const std::size_t end : FolderEnds(entry)) {
    const std::string folder = updateFolder + std::string(entry.substr(0, end));
    if (files.CreateFolder(folder) == platform::CreateFolderResult::kFailed) {
      log.Write("folder " + folder + " could not be created, error " +
                std::to_string(files.LastError()));
      return false;
    }
  }
  return true;
}

void FileDownloadWorker(const FileDownloadContext& context, const std::vector<std::string>& entries,
                        PageView& page) {
  if (!context.programFolder) {
    for (const std::string& entry : entries) page.SetMessageText(DownloadFailedText(entry));
    page.state().Finish(Outcome::Failed);
    return;
  }
  const std::string& programFolder = *context.programFolder;
  const UpdateFiles update = UpdateFiles::In(programFolder);
  FinishedDownloads finished(context.profiles, update);
  const DownloadGate gate =
      DownloadGate::ForStoredManifest(context.trust, context.files, update, context.profiles);
  const std::unique_ptr<platform::InternetSession> session =
      OpenPageSession(context.client, page.state());
  HttpFetcher fetcher(*session, context.clock);
  FileRun run(context, page, programFolder + kDownloadFolder, finished, gate);
  OrderedLane lane;  // last: it runs what is left before anything it uses is gone

  std::size_t skipped = 0;
  std::string storing;  // the entry whose store may still be on the lane, case-folded
  for (const std::string& entry : entries) {
    if (page.state().Detached() || page.state().CancelFlag() != 0) {
      lane.Post(
          [&context] { context.log.Write("file list: stopped, the page was cancelled or ended"); });
      return;
    }
    // Refused before the record is consulted: no run of ours records such an entry.
    if (!IsSafeManifestEntry(entry)) {
      lane.Post([&run, entry] {
        run.context.log.Write("refused " + entry +
                              ": it would reach outside update\\, name a device, or overwrite"
                              " the manifest, the record, the log or a temporary file");
        run.Fail(entry);
      });
      continue;
    }
    // The same entry twice: the second counts as recorded once the first is.
    if (platform::ToLowerAscii(entry) == storing) lane.WaitIdle();
    if (run.Recorded(entry)) {
      ++skipped;
      continue;
    }
    // The server may be changed between files; read it afresh for each.
    const std::string url = SelectedServerUrl(context.registry, "/" + entry);
    lane.Post([&page, entry] { page.SetMessageText(DownloadStartedText(entry)); });
    auto block = std::make_shared<std::vector<char>>();
    FetchReport report;
    const bool fetched = fetcher.Fetch(url, *block, page, page.state().CancelFlag(), report);
    lane.WaitIdle();  // one body on the lane at a time
    lane.Post([&run, entry, url, report, fetched, block] {
      run.context.log.Write(DescribeFetch(url, report));
      if (!fetched || !run.Store(entry, *block)) run.Fail(entry);
    });
    storing = platform::ToLowerAscii(entry);
    if (block->size() > kLargestOverlappedStore) lane.WaitIdle();
  }
  lane.WaitIdle();
  context.log.Write("file list: " + std::to_string(entries.size()) + " entries, " +
                    std::to_string(skipped) + " recorded before, " + std::to_string(run.failed) +
                    " failed");
  if (entries.empty() || run.failed > 0) {
    page.state().Finish(Outcome::Failed);
  } else if (page.state().Finish(Outcome::Succeeded)) {
    page.RequestEndTimer();
  }
}

}  // namespace ostrel
