#include "server_list.h"

#include <limits>

#include "registry_values.h"

namespace updater {

namespace {
constexpr char kSelectedWebsiteValue[] = "SelectedWebsite";
}  // namespace

std::string ServerEntryValueName(int32_t entry) {
  if (entry == 0) return "Update Website";
  return "Update Website" + std::to_string(static_cast<int64_t>(entry) + 1);
}

std::string ReadServerEntry(platform::Registry& registry, int32_t entry) {
  std::string text;
  ReadRegistryString(registry, kReaderKey, ServerEntryValueName(entry), text, "");
  return text;
}

int32_t ReadSelectedServer(platform::Registry& registry) {
  uint32_t number = 0;
  ReadRegistryDword(registry, kReaderKey, kSelectedWebsiteValue, number, 0);
  return static_cast<int32_t>(number);
}

void WriteSelectedServer(platform::Registry& registry, int32_t entry) {
  WriteRegistryDword(registry, kReaderKey, kSelectedWebsiteValue, static_cast<uint32_t>(entry));
}

std::vector<std::string> ReadServerList(platform::Registry& registry) {
  std::vector<std::string> servers;
  for (int32_t entry = 0; entry < std::numeric_limits<int32_t>::max(); ++entry) {
    std::string server = ReadServerEntry(registry, entry);
    if (server.empty()) break;
    servers.push_back(std::move(server));
  }
  return servers;
}

std::string SelectedServerUrl(platform::Registry& registry, const std::string& path) {
  return ReadServerEntry(registry, ReadSelectedServer(registry)) + path;
}

}  // namespace updater
