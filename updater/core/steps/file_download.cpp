#include "steps/file_download.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <set>

#include "layout/paths.h"
#include "manifest/manifest_entry.h"
#include "net/http_fetcher.h"
#include "platform/catch_all.h"
#include "platform/crypto.h"
#include "platform/gbk.h"
#include "settings/server_list.h"
#include "steps/fetch_crew.h"
#include "steps/ordered_lane.h"
#include "trust/file_checks.h"
#include "user_texts.h"

namespace updater {

namespace {
// The text with its "%s" replaced by the entry, which may hold '%' itself.
std::string WithEntry(std::string_view text, const std::string& entry) {
  const std::size_t at = text.find("%s");
  return std::string(text.substr(0, at)) + entry + std::string(text.substr(at + 2));
}
}  // namespace

std::string DownloadStartedText(const std::string& entry) {
  return WithEntry(texts::kDownloadStarted, entry);
}

std::string DownloadDoneText(const std::string& entry) {
  return WithEntry(texts::kDownloadDone, entry);
}

std::string DownloadFailedText(const std::string& entry) {
  return WithEntry(texts::kDownloadFailed, entry);
}

std::vector<FileListRow> FileListRows(
    platform::IniFiles& profiles, const UpdateFiles& files,
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
// as IsSafeManifestEntry splits them.
std::vector<std::size_t> FolderEnds(std::string_view entry) {
  std::vector<std::size_t> ends;
  for (std::size_t pos = 0; pos < entry.size(); pos += platform::GbkPairedCharLength(entry, pos)) {
    if (entry[pos] == '\\' || entry[pos] == '/') ends.push_back(pos);
  }
  return ends;
}

// The name beside a file's temporary name that keeps the validator of the answer it holds.
// Entries never end in ".partial", so this is never another entry's temporary name.
std::string ValidatorFileName(const std::string& partial) {
  return platform::PartialFileName(partial);
}

// An entry's name as the file system compares names: ASCII letters folded, '/' as '\\' (never
// a GBK trail byte).
std::string SameFileKey(std::string name) {
  name = platform::ToLowerAscii(name);
  std::replace(name.begin(), name.end(), '/', '\\');
  return name;
}

// The longest validator kept: ETags and dates are far shorter.
constexpr std::size_t kLongestValidator = 1024;

// A file's body stored under its temporary name as it arrives, hashed on the way when its
// content is checked, with the answer's validator beside it: a cut transfer leaves what arrived
// for the next run to continue.
class PartialBody final : public BodySink {
 public:
  PartialBody(platform::FileSystem& files, platform::Crypto* crypto, std::string target,
              const std::atomic<int32_t>& cancel)
      : files_(files),
        crypto_(crypto),
        cancel_(cancel),
        target_(std::move(target)),
        partial_(platform::PartialFileName(target_)),
        validatorFile_(ValidatorFileName(partial_)) {}

  // Where an earlier run stopped, when it kept part of the body and the answer's validator.
  std::optional<platform::ResumePoint> KeptPart() {
    const std::optional<uint64_t> size = files_.FileSize(partial_);
    const std::optional<std::string> validator = platform::ReadWholeFile(files_, validatorFile_);
    if (!size || *size == 0 || !validator || validator->empty() ||
        validator->size() > kLongestValidator) {
      return std::nullopt;
    }
    return platform::ResumePoint{*size, *validator};
  }

  bool Begin(uint64_t offset, const std::string& validator) override {
    begun_ = true;
    writer_.reset();
    hash_.reset();
    digest_.reset();
    if (crypto_ != nullptr && !(hash_ = crypto_->NewSha256())) return false;
    size_ = 0;
    if (offset > 0 && hash_) {
      // The kept bytes count towards the hash the signed manifest promises. Reading back a
      // part of a few GiB takes seconds: a cancel stops it, leaving the part as it was.
      const bool read = files_.ReadFileInPieces(partial_, [this](std::string_view piece) {
        size_ += piece.size();
        return cancel_.load() == 0 && hash_->Add(piece);
      });
      readBackStopped_ = !read && cancel_.load() != 0;
      if (!read || size_ != offset) return false;
    }
    size_ = offset;
    writer_ = files_.OpenForWriting(partial_, offset > 0);
    if (!writer_) return false;
    // Without a validator the part cannot be continued safely: the next run starts over.
    if (validator.empty() || validator.size() > kLongestValidator ||
        !files_.WriteWholeFile(validatorFile_, validator, platform::Durability::kWholeOrAbsent)) {
      files_.RemoveFile(validatorFile_);
    }
    return true;
  }

  bool Add(std::string_view bytes) override {
    if (!writer_ || !writer_->Write(bytes) || (hash_ && !hash_->Add(bytes))) return false;
    size_ += bytes.size();
    return true;
  }

  uint64_t Size() const { return size_; }
  // Whether this run has written to the temporary file.
  bool Begun() const { return begun_; }
  // Whether a cancel stopped the reading back of the kept part: the part is as it was.
  bool ReadBackStopped() const { return readBackStopped_; }

  // The SHA-256 of the whole body; nullopt when it was not hashed or hashing failed.
  const std::optional<platform::Sha256Digest>& Digest() {
    if (hash_) {
      digest_ = hash_->Finish();
      hash_.reset();
    }
    return digest_;
  }

  // Closes the temporary file, keeping it and its validator for the next run.
  void Keep() {
    if (writer_) writer_->Close();
    writer_.reset();
  }

  // Removes what was stored so far: the next run fetches the whole body.
  void Discard() {
    Keep();
    files_.RemoveFile(partial_);
    files_.RemoveFile(validatorFile_);
  }

  // Flushes the whole body to the disk and renames it into place. False, with the platform's
  // error in `error`, when a step failed.
  bool Store(uint32_t& error) {
    const bool stored = writer_ && writer_->Flush() && writer_->Close() &&
                        files_.RenameReplacing(partial_, target_);
    if (!stored) error = files_.LastError();
    writer_.reset();
    files_.RemoveFile(validatorFile_);
    return stored;
  }

 private:
  platform::FileSystem& files_;
  platform::Crypto* crypto_;  // null: nothing checks the content
  const std::atomic<int32_t>& cancel_;
  const std::string target_;
  const std::string partial_;
  const std::string validatorFile_;
  std::unique_ptr<platform::FileWriter> writer_;
  std::unique_ptr<platform::Sha256Hash> hash_;
  std::optional<platform::Sha256Digest> digest_;
  uint64_t size_ = 0;
  bool begun_ = false;
  bool readBackStopped_ = false;
};

// Whether what a failed fetch stored is worth continuing on the next run: not after a failed
// write, nor without a validator to ask for the rest of the same file.
bool WorthContinuing(const FetchReport& report) {
  return report.end != FetchEnd::kNotStored && report.end != FetchEnd::kFailed &&
         !report.validator.empty();
}

// What the worker and the lane share for one page's run.
struct FileRun {
  FileRun(const ProgramContext& program, PageView& page, FinishedDownloads& finished,
          const DownloadGate& gate)
      : program(program), page(page), finished(finished), gate(gate) {}

  const ProgramContext& program;
  PageView& page;
  FinishedDownloads& finished;
  const DownloadGate& gate;
  std::mutex recordMutex;  // the record is consulted by the worker and written on the lane
  std::size_t failed = 0;  // counted on the lane

  bool Recorded(const std::string& entry) {
    std::lock_guard<std::mutex> lock(recordMutex);
    return finished.Contains(entry);
  }

  // On the lane, in the order of the entries. True when the entry was stored and recorded.
  // A body that arrived whole is stored and recorded even once the page was cancelled or has
  // ended: its bytes are on the disk already, and the flush of a large file must not hold the
  // page up (the program waits for it before it ends).
  bool Store(const std::string& entry, PartialBody& body) {
    if (!gate.Admits(entry, body.Size(), body.Digest())) {  // logged with why
      body.Discard();
      return false;
    }
    uint32_t error = 0;
    if (!body.Store(error)) {
      body.Discard();
      program.log.Write("not stored " + entry + ": write failed, error " + std::to_string(error));
      return false;
    }
    bool recorded = false;
    {
      std::lock_guard<std::mutex> lock(recordMutex);
      recorded = finished.Add(entry);
    }
    if (!recorded) {
      program.log.Write("stored " + entry + " but not recorded: the record could not be written");
      return false;
    }
    program.log.Write("stored " + entry + ", " + std::to_string(body.Size()) + " bytes");
    page.SetMessageText(DownloadDoneText(entry));
    return true;
  }

  void Fail(const std::string& entry) {
    page.SetMessageText(DownloadFailedText(entry));
    ++failed;
  }

  // Runs an entry's step on the lane; a step that throws fails the entry.
  void Guarded(const std::string& entry, const std::function<bool()>& step) {
    if (platform::CatchAll(false, step)) return;
    platform::CatchAll([&] {
      program.log.Write("not stored " + entry + ": storing or recording it failed");
      Fail(entry);
    });
  }
};

// One entry on its way: fetched on a crew thread, then checked, stored, recorded and reported on
// the lane after every entry before it.
struct EntryFetch {
  EntryFetch(std::string entry, std::string url, platform::FileSystem& files,
             platform::Crypto* crypto, const std::string& target, PageView& page)
      : entry(std::move(entry)),
        url(std::move(url)),
        body(files, crypto, target, page.state().CancelFlag()),
        progress(page) {}

  const std::string entry;
  const std::string url;
  PartialBody body;
  HeadProgress progress;
  // Written on the crew thread before Done, read on the lane after WaitDone.
  std::vector<FetchReport> reports;
  bool fetched = false;

  void Done() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    changed_.notify_all();
  }
  void WaitDone() {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return done_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
};

// On a crew thread: the entry's transfer into its temporary file, continuing a kept part when
// there is one; a continued file that is not the promised one is fetched whole once more.
void FetchEntry(EntryFetch& fetch, HttpFetcher* fetcher, const DownloadGate& gate,
                const std::atomic<int32_t>& cancel) {
  fetch.reports.resize(1);
  if (fetcher == nullptr) {
    fetch.reports[0].end = FetchEnd::kNotOpened;
    return;
  }
  FetchRequest request;
  request.promisedSize = gate.PromisedSize(fetch.entry);
  request.resume = fetch.body.KeptPart();
  bool fetched =
      fetcher->Fetch(fetch.url, request, fetch.body, fetch.progress, cancel, fetch.reports[0]);
  if (fetched && fetch.reports[0].resumedFrom > 0 &&
      !gate.Admits(fetch.entry, fetch.body.Size(), fetch.body.Digest(), true)) {
    fetch.body.Discard();
    request.resume.reset();
    fetch.reports.emplace_back();
    fetched =
        fetcher->Fetch(fetch.url, request, fetch.body, fetch.progress, cancel, fetch.reports[1]);
  }
  if (!fetched && fetch.body.Begun() && !fetch.body.ReadBackStopped() &&
      !WorthContinuing(fetch.reports.back())) {
    fetch.body.Discard();
  } else if (!fetched) {
    fetch.body.Keep();  // the next run continues it
  }
  fetch.fetched = fetched;
}

// The entries handed to the crew and not yet through the lane, by SameFileKey: never two that
// name the same file at once (their temporary files would meet), and never more than `size`.
class EntryWindow {
 public:
  explicit EntryWindow(std::size_t size) : size_(size) {}

  // Waits until no entry in the window names the file.
  void WaitUntilFree(const std::string& key) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [&] { return keys_.count(key) == 0; });
  }
  // Waits for room, then holds the file's place.
  void Enter(const std::string& key) {
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return keys_.size() < size_; });
    keys_.insert(key);
  }
  void Leave(const std::string& key) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const auto found = keys_.find(key);
      if (found != keys_.end()) keys_.erase(found);
    }
    changed_.notify_all();
  }

 private:
  const std::size_t size_;
  std::mutex mutex_;
  std::condition_variable changed_;
  std::multiset<std::string> keys_;
};

}  // namespace

std::function<bool(const std::string&)> ContinuedPartials(platform::IniFiles& profiles,
                                                          const UpdateFiles& update) {
  std::set<std::string> names;
  for (const ManifestEntry& entry : ReadManifestFileList(profiles, update)) {
    if (!IsSafeManifestEntry(entry.name)) continue;
    const std::string partial = platform::PartialFileName(entry.name);
    names.insert(SameFileKey(partial));
    names.insert(SameFileKey(ValidatorFileName(partial)));
  }
  return [names = std::move(names)](const std::string& relative) {
    return names.count(SameFileKey(relative)) > 0;
  };
}

bool CreateEntryFolders(platform::FileSystem& files, const std::string& updateFolder,
                        std::string_view entry, std::string& failure) {
  if (!IsSafeManifestEntry(entry)) return false;
  for (const std::size_t end : FolderEnds(entry)) {
    const std::string folder = updateFolder + std::string(entry.substr(0, end));
    if (files.CreateFolder(folder) == platform::CreateFolderResult::kFailed) {
      failure =
          "folder " + folder + " could not be created, error " + std::to_string(files.LastError());
      return false;
    }
  }
  return true;
}

bool CreateEntryFolders(platform::FileSystem& files, const std::string& updateFolder,
                        std::string_view entry, RunLog& log) {
  std::string failure;
  if (CreateEntryFolders(files, updateFolder, entry, failure)) return true;
  if (!failure.empty()) log.Write(failure);
  return false;
}

void FileDownloadWorker(const ProgramContext& program, const std::vector<std::string>& entries,
                        PageView& page, std::chrono::milliseconds stallLimit) {
  const UpdateFiles& update = program.layout.files;
  FinishedDownloads finished(program.profiles, update);
  const DownloadGate gate =
      DownloadGate::ForStoredManifest(program.trust, program.files, update, program.profiles);
  FileRun run(program, page, finished, gate);
  EntryWindow window(kEntriesAhead);
  FetchCrew crew(kFetchesInFlight, program.internet, program.clock, page.state(), stallLimit);
  // Last: it runs what is left, each piece waiting for its fetch, before the crew, the window
  // or anything else it uses is gone.
  OrderedLane lane;

  // Whether the page was cancelled or has ended: then nothing more is asked for.
  const auto stopped = [&] {
    if (!page.state().Detached() && page.state().CancelFlag() == 0) return false;
    lane.Post(
        [&program] { program.log.Write("file list: stopped, the page was cancelled or ended"); });
    return true;
  };
  std::size_t skipped = 0;
  for (const std::string& entry : entries) {
    if (stopped()) return;
    // Refused before the record is consulted: no run of ours records such an entry.
    if (!IsSafeManifestEntry(entry)) {
      lane.Post([&run, entry] {
        run.program.log.Write("refused " + entry +
                              ": it would reach outside update\\, name a device, or overwrite"
                              " the manifest, the record, the log or a temporary file");
        run.Fail(entry);
      });
      continue;
    }
    // A file named by an entry still on its way: the record decides once that one is through.
    const std::string key = SameFileKey(entry);
    window.WaitUntilFree(key);
    if (run.Recorded(entry)) {
      ++skipped;
      continue;
    }
    std::string folderFailure;
    if (!CreateEntryFolders(program.files, program.layout.updateFolder, entry, folderFailure)) {
      lane.Post([&run, entry, folderFailure] {
        run.program.log.Write(folderFailure);
        run.Fail(entry);
      });
      continue;
    }
    // The server may be changed between files; read it afresh for each.
    const std::string url = SelectedServerUrl(program.registry, "/" + entry);
    platform::Crypto* crypto = gate.ChecksContent() ? gate.crypto() : nullptr;
    window.Enter(key);  // may wait for earlier entries, long enough for a cancel
    if (stopped()) return;
    auto fetch = std::make_shared<EntryFetch>(entry, url, program.files, crypto,
                                              program.layout.updateFolder + entry, page);
    crew.Hand([fetch, &gate, &page](HttpFetcher* fetcher) {
      platform::CatchAll([&] { FetchEntry(*fetch, fetcher, gate, page.state().CancelFlag()); });
      fetch->Done();
    });
    // The page shows the entry, and its fetch reports progress, once every entry before it is
    // through: texts, progress and log lines keep the order of the entries.
    lane.Post([&run, &window, fetch, key] {
      platform::CatchAll([&] {
        run.page.SetMessageText(DownloadStartedText(fetch->entry));
        fetch->progress.BecomeHead();
      });
      fetch->WaitDone();
      run.Guarded(fetch->entry, [&] {
        for (const FetchReport& report : fetch->reports) {
          run.program.log.Write(DescribeFetch(fetch->url, report));
        }
        if (!fetch->fetched || !run.Store(fetch->entry, fetch->body)) run.Fail(fetch->entry);
        return true;
      });
      window.Leave(key);
    });
  }
  lane.WaitIdle();
  program.log.Write("file list: " + std::to_string(entries.size()) + " entries, " +
                    std::to_string(skipped) + " recorded before, " + std::to_string(run.failed) +
                    " failed");
  if (entries.empty() || run.failed > 0) {
    page.state().Finish(Outcome::Failed);
  } else if (page.state().Finish(Outcome::Succeeded)) {
    page.RequestEndTimer();
  }
}

}  // namespace updater
