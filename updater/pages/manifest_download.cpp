#include "pages/manifest_download.h"

#include <vector>

#include "manifest/manifest.h"
#include "settings/paths.h"
#include "settings/server_list.h"

namespace ostrel {

void ManifestDownloadWorker(const ManifestDownloadContext& context, PageView& page) {
  const std::string url = SelectedServerUrl(context.registry, kManifestServerPath);
  std::string programFolder = GetProgramFolder(context.files);
  AppendBackslash(programFolder);
  // An existing folder is fine; any other failure shows when the manifest cannot be stored.
  EnsureDirectory(context.files, programFolder + kUpdateFolder);

  std::vector<char> block;
  bool stored = context.fetcher.Fetch(url, block, page, page.state().CancelFlag());
  // A page that has ended gets no manifest behind its back.
  stored = stored && !page.state().Detached() &&
           context.files.WriteWholeFile(programFolder + kManifestRelativePath,
                                        std::string(block.begin(), block.end()));
  if (!stored) {
    page.SetMessageText(kConnectFailedText);
    page.state().Finish(Failed);
    return;
  }
  page.SetMessageText(kManifestDownloadedText);
  if (page.state().Finish(Succeeded)) page.RequestEndTimer();
}

}  // namespace ostrel
