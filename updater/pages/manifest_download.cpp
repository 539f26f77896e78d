#include "pages/manifest_download.h"

#include <vector>

#include "settings/paths.h"
#include "settings/server_list.h"

namespace ostrel {

namespace {

// Stores the fetched manifest unless the page has ended; logs what happened.
bool StoreManifest(const ManifestDownloadContext& context, PageView& page, const std::string& path,
                   const std::vector<char>& block) {
  if (!page.state().MayStore()) {
    context.log.Write("manifest not stored: the page was cancelled or had ended");
    return false;
  }
  if (!context.files.WriteWholeFile(path, std::string_view(block.data(), block.size()))) {
    context.log.Write("manifest not stored: write failed, error " +
                      std::to_string(context.files.LastError()));
    return false;
  }
  context.log.Write("stored update.ini, " + std::to_string(block.size()) + " bytes");
  return true;
}

}  // namespace

void ManifestDownloadWorker(const ManifestDownloadContext& context, PageView& page) {
  const std::string url = SelectedServerUrl(context.registry, kManifestServerPath);
  std::string programFolder = GetProgramFolder(context.files);
  // Without a known program folder the paths would name the root of the current drive.
  bool stored = !programFolder.empty();
  AppendBackslash(programFolder);
  if (stored) {
    // An existing folder is fine; any other failure shows when the manifest cannot be stored.
    EnsureDirectory(context.files, programFolder + kUpdateFolder);
    const std::unique_ptr<platform::InternetSession> session =
        OpenPageSession(context.client, page.state());
    HttpFetcher fetcher(*session, context.clock);
    std::vector<char> block;
    FetchReport report;
    stored = fetcher.Fetch(url, block, page, page.state().CancelFlag(), report);
    context.log.Write(DescribeFetch(url, report));
    stored = stored && StoreManifest(context, page, programFolder + kManifestRelativePath, block);
  }
  if (!stored) {
    page.SetMessageText(kConnectFailedText);
    page.state().Finish(Failed);
    return;
  }
  page.SetMessageText(kManifestDownloadedText);
  if (page.state().Finish(Succeeded)) page.RequestEndTimer();
}

}  // namespace ostrel
