#include "steps/server_choice.h"

#include "settings/server_list.h"

namespace updater {

ServerChoice ChooseServer(platform::Registry& registry) {
  ServerChoice choice;
  choice.servers = ReadServerList(registry);
  int32_t selection = ReadSelectedServer(registry);
  if (selection < 0) selection = 0;
  const int32_t last = static_cast<int32_t>(choice.servers.size()) - 1;
  if (selection > last) selection = last;
  choice.selection = selection;
  return choice;
}

int32_t CommitSelection(platform::Registry& registry, int32_t selection) {
  const int32_t chosen = selection < 0 ? 0 : selection;
  WriteSelectedServer(registry, chosen);
  return chosen;
}

}  // namespace updater
