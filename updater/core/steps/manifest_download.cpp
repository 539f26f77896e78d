#include "steps/manifest_download.h"

#include <optional>
#include <vector>

#include "layout/paths.h"
#include "settings/server_list.h"

namespace updater {

namespace {

std::string_view AsText(const std::vector<char>& block) {
  return std::string_view(block.data(), block.size());
}

// Stores the fetched manifest unless the page has ended; logs what happened.
bool StoreManifest(const ProgramContext& program, PageView& page, const std::vector<char>& block) {
  if (!page.state().MayStore()) {
    program.log.Write("manifest not stored: the page was cancelled or had ended");
    return false;
  }
  // Not flushed: every run fetches the manifest afresh before anything reads it, so one that
  // a power cut spoilt is replaced before it is used; a recorded file is another matter.
  if (!program.files.WriteWholeFile(program.layout.files.manifest, AsText(block),
                                    platform::Durability::kWholeOrAbsent)) {
    program.log.Write("manifest not stored: write failed, error " +
                      std::to_string(program.files.LastError()));
    return false;
  }
  program.log.Write("stored update.ini, " + std::to_string(block.size()) + " bytes");
  return true;
}

// Whether the trust rules let the manifest be stored; their verdict is logged when the build
// checks signatures.
bool Admitted(const ProgramContext& program, const std::optional<ManifestJudgement>& judged) {
  if (!judged) return true;
  if (!program.trust->settings.keys.empty()) {
    program.trust->Log("fetched manifest: " + Describe(*judged) +
                       (judged->Accepted() ? "" : "; not stored, the stored one is kept"));
  }
  return judged->Accepted();
}

}  // namespace

void ManifestDownloadWorker(const ProgramContext& program, PageView& page,
                            std::chrono::milliseconds stallLimit) {
  const std::string url = SelectedServerUrl(program.registry, kManifestServerPath);
  std::optional<ManifestJudgement> judged;
  // An existing folder is fine; any other failure shows when the manifest cannot be stored.
  EnsureDirectory(program.files, program.layout.UpdateFolderToCreate());
  const std::unique_ptr<platform::InternetSession> session =
      OpenPageSession(program.internet, page.state());
  session->SetStallLimit(stallLimit);
  HttpFetcher fetcher(*session, program.clock);
  std::vector<char> block;
  FetchReport report;
  bool stored =
      fetcher.Fetch(url, kLargestManifest, block, page, page.state().CancelFlag(), report);
  program.log.Write(DescribeFetch(url, report));
  if (stored && program.trust) judged = JudgeManifest(*program.trust, AsText(block));
  stored = stored && Admitted(program, judged) && StoreManifest(program, page, block);
  if (judged && !judged->Accepted()) {
    page.SetMessageText(judged->verdict == ManifestVerdict::kCannotVerify
                            ? texts::kCannotVerify
                            : texts::kManifestRefused);
    page.state().Finish(Outcome::Failed);
    return;
  }
  if (!stored) {
    page.SetMessageText(texts::kConnectFailed);
    page.state().Finish(Outcome::Failed);
    return;
  }
  if (judged) RememberSignedManifest(*program.trust, *judged);
  page.SetMessageText(texts::kManifestDownloaded);
  if (page.state().Finish(Outcome::Succeeded)) page.RequestEndTimer();
}

}  // namespace updater
