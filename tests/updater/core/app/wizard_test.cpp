#include "app/wizard.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <tuple>

#include "platform/memory_registry.h"
#include "settings/registry_values.h"
#include "support/test_program.h"

namespace {

using updater::Outcome;
using updater::WizardEnd;

constexpr char kProgramFolder[] = "C:\\Reader\\";
constexpr char kManifest[] = "C:\\Reader\\update\\update.ini";

// The wizard reads the installed version and the stored manifest's; its log writes nothing.
updater::ProgramContext Context(platform::Registry& registry, platform::IniFiles& profiles) {
  return testing_support::TestProgram(kProgramFolder)
      .Registry(registry)
      .Profiles(profiles)
      .Context();
}

// INI files as a map from (file, section, key) to the value; enough for the version read.
class FakeProfiles : public platform::IniFiles {
 public:
  std::string ReadString(const std::string& file, const std::string& section,
                         const std::string& key, const std::string& defaultValue,
                         std::size_t bufferSize) override {
    const auto found = values.find({file, section, key});
    const std::string& value = found == values.end() ? defaultValue : found->second;
    return value.substr(0, bufferSize - 1);
  }
  int32_t ReadInt(const std::string&, const std::string&, const std::string&,
                  int32_t defaultValue) override {
    return defaultValue;
  }
  bool WriteString(const std::string& file, const std::string& section, const std::string& key,
                   const std::string& value) override {
    values[{file, section, key}] = value;
    return true;
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string&,
                                                               const std::string&,
                                                               std::size_t) override {
    return {};
  }

  std::map<std::tuple<std::string, std::string, std::string>, std::string> values;
};

// Pages with scripted results. The connect page hands the manifest on the way the real one
// does, through update\update.ini; `log` records which pages ran, in order.
class FakePages : public updater::WizardPages {
 public:
  FakePages(FakeProfiles& profiles, const char* manifestVersion)
      : profiles_(profiles), manifestVersion_(manifestVersion) {}

  int RunServerSelectPage() override {
    log += "server ";
    return server;
  }
  Outcome RunConnectPage() override {
    log += "connect ";
    if (connect == Outcome::Succeeded && manifestVersion_ != nullptr) {
      profiles_.WriteString(kManifest, "main", "version", manifestVersion_);
    }
    return connect;
  }
  Outcome RunFileListPage() override {
    log += "files ";
    return fileList;
  }
  int RunFinishPage(bool updateNeeded) override {
    log += std::string("finish(") + (updateNeeded ? "1" : "0") + ") ";
    return finish;
  }
  int RunConfirmCloseDialog() override {
    log += "confirm ";
    return updater::kResultOk;
  }

  int server = updater::kResultOk;
  Outcome connect = Outcome::Succeeded;
  Outcome fileList = Outcome::Succeeded;
  int finish = updater::kResultOk;
  std::string log;

 private:
  FakeProfiles& profiles_;
  const char* manifestVersion_;
};

constexpr int kRunFailed = -1;  // a modal run that could not create its dialog
constexpr const char* kMissing = nullptr;

struct Case {
  const char* what;
  const char* installed;  // Current Version in the registry; nullptr: no value
  const char* offered;    // main/version of the fetched manifest; nullptr: none
  int server;
  Outcome connect;
  Outcome fileList;
  int finish;
  const char* pagesRun;
  WizardEnd end;
};

TEST(RunWizardSequence, EveryWayOut) {
  constexpr Outcome Cancelled = Outcome::Cancelled;
  constexpr Outcome Failed = Outcome::Failed;
  constexpr Outcome Pending = Outcome::Pending;
  constexpr Outcome Succeeded = Outcome::Succeeded;
  constexpr int kOk = updater::kResultOk;
  constexpr int kCancel = updater::kResultCancel;
  const Case cases[] = {
      {"cancel on the server page", "1.0.0.1", "1.0.0.2", kCancel, Succeeded, Succeeded, kOk,
       "server ", WizardEnd::kServerPageCancelled},
      {"server page that failed to run goes on", "1.0.0.1", "1.0.0.1", kRunFailed, Succeeded,
       Succeeded, kOk, "server connect finish(0) ", WizardEnd::kUpToDate},
      {"connect page failed", "1.0.0.1", "1.0.0.2", kOk, Failed, Succeeded, kOk, "server connect ",
       WizardEnd::kConnectNotCompleted},
      {"connect page cancelled", "1.0.0.1", "1.0.0.2", kOk, Cancelled, Succeeded, kOk,
       "server connect ", WizardEnd::kConnectNotCompleted},
      {"connect page closed before its work ended, or failed to run", "1.0.0.1", "1.0.0.2", kOk,
       Pending, Succeeded, kOk, "server connect ", WizardEnd::kConnectNotCompleted},
      {"same version: no download, finish says up to date", "1.0.0.1", "1.0.0.1", kOk, Succeeded,
       Succeeded, kOk, "server connect finish(0) ", WizardEnd::kUpToDate},
      {"up to date, finish page cancelled", "1.0.0.1", "1.0.0.1", kOk, Succeeded, Succeeded,
       kCancel, "server connect finish(0) ", WizardEnd::kUpToDate},
      {"up to date, finish page failed to run", "1.0.0.1", "1.0.0.1", kOk, Succeeded, Succeeded,
       kRunFailed, "server connect finish(0) ", WizardEnd::kUpToDate},
      {"installed newer than offered", "2.0.0.0", "1.9.9.9", kOk, Succeeded, Succeeded, kOk,
       "server connect finish(0) ", WizardEnd::kUpToDate},
      {"newer version: download, finish, confirm", "1.0.0.1", "1.0.0.2", kOk, Succeeded, Succeeded,
       kOk, "server connect files finish(1) confirm ", WizardEnd::kConfirmDialogClosed},
      {"file-list page failed", "1.0.0.1", "1.0.0.2", kOk, Succeeded, Failed, kOk,
       "server connect files ", WizardEnd::kFileListNotCompleted},
      {"file-list page cancelled", "1.0.0.1", "1.0.0.2", kOk, Succeeded, Cancelled, kOk,
       "server connect files ", WizardEnd::kFileListNotCompleted},
      {"file-list page failed to run", "1.0.0.1", "1.0.0.2", kOk, Succeeded, Pending, kOk,
       "server connect files ", WizardEnd::kFileListNotCompleted},
      {"files fetched, finish page cancelled: no confirm", "1.0.0.1", "1.0.0.2", kOk, Succeeded,
       Succeeded, kCancel, "server connect files finish(1) ", WizardEnd::kFinishPageNotConfirmed},
      {"files fetched, finish page failed to run", "1.0.0.1", "1.0.0.2", kOk, Succeeded, Succeeded,
       kRunFailed, "server connect files finish(1) ", WizardEnd::kFinishPageNotConfirmed},
      {"no installed version reads as 0.0.0.0", kMissing, "0.0.0.1", kOk, Succeeded, Succeeded, kOk,
       "server connect files finish(1) confirm ", WizardEnd::kConfirmDialogClosed},
      {"no manifest version reads as 0.0.0.0", "0.0.0.1", kMissing, kOk, Succeeded, Succeeded, kOk,
       "server connect finish(0) ", WizardEnd::kUpToDate},
      {"neither version: equal, no update", kMissing, kMissing, kOk, Succeeded, Succeeded, kOk,
       "server connect finish(0) ", WizardEnd::kUpToDate},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    platform::MemoryRegistry registry;
    if (c.installed != nullptr) {
      registry.CreateKey(updater::kReaderKey)
          ->SetValue(updater::kCurrentVersionValue, platform::StringValue(c.installed));
    }
    FakeProfiles profiles;
    FakePages pages(profiles, c.offered);
    pages.server = c.server;
    pages.connect = c.connect;
    pages.fileList = c.fileList;
    pages.finish = c.finish;

    const WizardEnd end = updater::RunWizardSequence(pages, Context(registry, profiles));

    EXPECT_EQ(pages.log, c.pagesRun);
    EXPECT_EQ(end, c.end) << updater::WizardEndName(end);
  }
}

// A manifest left over from an earlier run is what the version decision reads when the
// connect page reports success without storing a new one.
TEST(RunWizardSequence, ReadsTheManifestFileNotThePage) {
  platform::MemoryRegistry registry;
  registry.CreateKey(updater::kReaderKey)
      ->SetValue(updater::kCurrentVersionValue, platform::StringValue("1.0.0.1"));
  FakeProfiles profiles;
  profiles.WriteString(kManifest, "main", "version", "1.0.0.7");
  FakePages pages(profiles, kMissing);

  EXPECT_EQ(updater::RunWizardSequence(pages, Context(registry, profiles)),
            WizardEnd::kConfirmDialogClosed);
  EXPECT_EQ(pages.log, "server connect files finish(1) confirm ");
}

}  // namespace
