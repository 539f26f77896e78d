// Reading the file list must cost what the listed entries cost, not what `filenum` claims:
// compares a manifest that announces 2^31 - 1 files with one that announces exactly its 2000.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "manifest/manifest.h"

namespace {

double SecondsToList(platform::IniFiles& profiles, const updater::UpdateFiles& files, int rounds) {
  const auto start = std::chrono::steady_clock::now();
  std::size_t listed = 0;
  for (int i = 0; i < rounds; ++i) listed += updater::ReadManifestFileList(profiles, files).size();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  if (listed != static_cast<std::size_t>(rounds) * 2000) std::printf("unexpected count\n");
  return elapsed.count();
}

void WriteManifest(const std::filesystem::path& folder, const std::string& count) {
  std::ofstream out(folder / "update" / "update.ini", std::ios::binary | std::ios::trunc);
  out << "[main]\r\nversion=1.0.0.2\r\nfilenum=" << count << "\r\n[list]\r\n";
  for (int i = 1; i <= 2000; ++i) out << "file" << i << "=files\\entry" << i << ".dll\r\n";
}

}  // namespace

int main() {
  char pattern[] = "/tmp/tavrel-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const std::filesystem::path folder(pattern);
  std::filesystem::create_directory(folder / "update");
  std::string windowsFolder = folder.string();
  for (char& c : windowsFolder) c = c == '/' ? '\\' : c;
  const updater::UpdateFiles files = updater::LayoutBelow(windowsFolder).files;
  platform::IniFiles& profiles = platform::SystemIniFiles();

  WriteManifest(folder, "2000");
  const double exact = SecondsToList(profiles, files, 3);
  WriteManifest(folder, "2147483647");
  const double huge = SecondsToList(profiles, files, 3);
  std::printf("file list of 2000 entries: %.3f s with filenum=2000, %.3f s with filenum=2^31-1\n",
              exact, huge);
  std::printf("ratio huge/exact: %.2f (about 1 means the announced count costs nothing)\n",
              huge / exact);
  std::filesystem::remove_all(folder);
  return 0;
}
