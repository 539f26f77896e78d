// The server selection page's rules: the list it shows and the entry it selects.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/registry.h"

namespace updater {

struct ServerChoice {
  std::vector<std::string> servers;  // in list order
  int32_t selection = -1;            // -1: nothing selected (an empty list)
};

// The server list, and the stored choice clamped into it: negative becomes 0, past the end
// becomes the last entry.
ServerChoice ChooseServer(platform::Registry& registry);

// Stores the selected entry (0 when nothing is selected) as the choice; returns it.
int32_t CommitSelection(platform::Registry& registry, int32_t selection);

}  // namespace updater
