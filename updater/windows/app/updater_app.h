// The application object: resolves the update layout, sets up the platform and runs the
// wizard once.
#pragma once

#include <chrono>

#include "app/wizard.h"
#include "log/run_log.h"
#include "net/http_fetcher.h"
#include "platform/internet.h"
#include "program/program_context.h"
#include "trust/program_trust.h"

namespace updater {

class UpdaterApp {
 public:
  // The whole run on the calling thread; the process ends after it. An unknown program folder
  // ends it at once with a message box. `requireSignedUpdates`: the build's choice, whether an
  // unsigned manifest is refused before the installation has seen a signed one.
  void Run(bool requireSignedUpdates);
};

// The services of a run over the running system. It owns the internet client, the log and the
// trust rules (the other services are the platform's stateless statics), so whoever makes it
// decides how long they live: UpdaterApp::Run keeps it until every page worker has ended.
class ProgramServices {
 public:
  ProgramServices(UpdateLayout layout, bool requireSignedUpdates);
  ProgramServices(const ProgramServices&) = delete;
  ProgramServices& operator=(const ProgramServices&) = delete;

  const ProgramContext& context() const { return context_; }

 private:
  platform::WinInetClient internet_;
  RunLog log_;
  ProgramTrust trust_;
  const ProgramContext context_;
};

// The dialogs over the running system: each page is given the program's context, which must
// outlive every page worker (see ProgramServices).
class DialogPages : public WizardPages {
 public:
  explicit DialogPages(const ProgramContext& program);

  int RunServerSelectPage() override;
  Outcome RunConnectPage() override;
  Outcome RunFileListPage() override;
  int RunFinishPage(bool updateNeeded) override;
  int RunConfirmCloseDialog() override;

  // How long the download pages wait for a byte before a transfer fails as stalled.
  std::chrono::milliseconds stallLimit = kStallLimit;

 private:
  const ProgramContext& program_;
};

}  // namespace updater
