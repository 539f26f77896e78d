// What a run of Ostrel works with: where the update lives and the platform's services. Made
// once at start (WinMain on Windows, a test's own fakes natively) and handed to every step.
#pragma once

#include "layout/update_layout.h"
#include "log/run_log.h"
#include "platform/file_system.h"
#include "platform/file_tree.h"
#include "platform/ini_files.h"
#include "platform/internet.h"
#include "platform/ole_date_clock.h"
#include "platform/processes.h"
#include "platform/registry.h"
#include "trust/update_trust.h"

namespace updater {

// Whoever makes it keeps every service alive until the last page worker has ended: a worker
// that outlives its page still stores, records and logs through these references.
struct ProgramContext {
  UpdateLayout layout;
  platform::Registry& registry;  // the current user's: the servers, the installed version
  platform::FileSystem& files;
  platform::FileTree& tree;
  platform::IniFiles& profiles;
  platform::InternetClient& internet;
  platform::OleDateClock& clock;
  platform::Processes& processes;
  RunLog& log;
  // The trust rules (and through them the cryptography) every manifest and file must pass;
  // none: everything is accepted, as builds before signatures did.
  const TrustContext* trust = nullptr;
};

}  // namespace updater
