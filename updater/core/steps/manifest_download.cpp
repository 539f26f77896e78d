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
bool StoreManifest(const ProgramContext& context, PageView& page, const std::string& path,
                   const std::vector<char>& block) {
  if (!page.state().MayStore()) {
    context.log.Write("manifest not stored: the page was cancelled or had ended");
    return false;
  }
  // Not flushed: every run fetches the manifest afresh before anything reads it, so one that
  // a power cut spoilt is replaced before it is used; a recorded file is another matter.
  if (!context.files.WriteWholeFile(path, AsText(block), platform::Durability::kWholeOrAbsent)) {
    context.log.Write("manifest not stored: write failed, error " +
                      std::to_string(context.files.LastError()));
    return false;
  }
  context.log.Write("stored update.ini, " + std::to_string(block.size()) + " bytes");
  return true;
}

// Whether the trust rules let the manifest be stored; their verdict is logged when the build
// checks signatures.
bool Admitted(const ProgramContext& context, const std::optional<ManifestJudgement>& judged) {
  if (!judged) return true;
  if (!context.trust->settings.keys.empty()) {
    context.trust->Log("fetched manifest: " + Describe(*judged) +
                       (judged->Accepted() ? "" : "; not stored, the stored one is kept"));
  }
  return judged->Accepted();
}

}  // namespace

void ManifestDownloadWorker(const ProgramContext& context, PageView& page,
                            std::chrono::milliseconds stallLimit) {
  const std::string url = SelectedServerUrl(context.registry, kManifestServerPath);
  std::optional<ManifestJudgement> judged;
  // An existing folder is fine; any other failure shows when the manifest cannot be stored.
  EnsureDirectory(context.files, context.layout.UpdateFolderToCreate());
  const std::unique_ptr<platform::InternetSession> session =
      OpenPageSession(context.internet, page.state());
  session->SetStallLimit(stallLimit);
  HttpFetcher fetcher(*session, context.clock);
  std::vector<char> block;
  FetchReport report;
  bool stored =
      fetcher.Fetch(url, kLargestManifest, block, page, page.state().CancelFlag(), report);
  context.log.Write(DescribeFetch(url, report));
  if (stored && context.trust) judged = JudgeManifest(*context.trust, AsText(block));
  stored = stored && Admitted(context, judged) &&
           StoreManifest(context, page, context.layout.files.manifest, block);
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
  if (judged) RememberSignedManifest(*context.trust, *judged);
  page.SetMessageText(texts::kManifestDownloaded);
  if (page.state().Finish(Outcome::Succeeded)) page.RequestEndTimer();
}

}  // namespace updater
