#include "pages/manifest_download.h"

#include <optional>
#include <vector>

#include "manifest/manifest.h"
#include "settings/paths.h"
#include "settings/server_list.h"

namespace ostrel {

void ManifestDownloadWorker(const ManifestDownloadContext& context, PageView& page) {
  const std::string url = SelectedServerUrl(context.registry, kManifestServerPath);
  std::string programFolder = GetProgramFolder(context.files);
  // Without a known program folder the paths would name the root of the current drive.
  const bool folderKnown = !programFolder.empty();
  AppendBackslash(programFolder);
  // An existing folder is fine; any other failure shows when the manifest cannot be stored.
  if (folderKnown) EnsureDirectory(context.files, programFolder + kUpdateFolder);

  std::vector<char> block;
  bool stored = folderKnown && context.fetcher.Fetch(url, block, page, page.state().CancelFlag());
  const std::string_view manifest(block.data(), block.size());
  const std::optional<ManifestJudgement> judged =
      stored && context.trust ? std::optional(JudgeManifest(*context.trust, manifest))
                              : std::nullopt;
  if (judged && !context.trust->settings.keys.empty()) {
    context.trust->Log("fetched manifest: " + Describe(*judged));
  }
  // A page that has ended gets no manifest behind its back.
  stored = stored && (!judged || judged->Accepted()) && !page.state().Detached() &&
           context.files.WriteWholeFile(programFolder + kManifestRelativePath, manifest);
  if (!stored) {
    page.SetMessageText(kConnectFailedText);
    page.state().Finish(Failed);
    return;
  }
  if (judged) RememberSignedManifest(*context.trust, *judged);
  page.SetMessageText(kManifestDownloadedText);
  if (page.state().Finish(Succeeded)) page.RequestEndTimer();
}

}  // namespace ostrel
