// The update servers stored under the reader's key: "Update Website" (entry 0), then
// "Update Website2", "Update Website3" ... (entry k is "Update Website<k+1>"), and the number
// of the chosen entry, "SelectedWebsite".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace updater {

// The value name of entry k: "Update Website" for 0, "Update Website<k+1>" after.
std::string ServerEntryValueName(int32_t entry);

// The base URL of entry k (at most 259 bytes), empty when missing or unreadable.
std::string ReadServerEntry(platform::Registry& registry, int32_t entry);

// The chosen entry number, 0 when not stored; not checked against the list.
int32_t ReadSelectedServer(platform::Registry& registry);

void WriteSelectedServer(platform::Registry& registry, int32_t entry);

// Entries 0, 1, 2 ... up to the first empty one.
std::vector<std::string> ReadServerList(platform::Registry& registry);

// The chosen server's base URL followed by `path`, the choice used as stored.
std::string SelectedServerUrl(platform::Registry& registry, const std::string& path);

}  // namespace updater
