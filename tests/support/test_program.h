// One ProgramContext for a test: the services the test hands in, and for every other one a
// stand-in that fails the test when it is used (the code reached a service it must not need);
// the registry stand-in is an empty one.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "platform/memory_registry.h"
#include "program/program_context.h"
#include "support/inert_file_system.h"

namespace testing_support {

class UnusedFileSystem final : public InertFileSystem {
 public:
  bool Exists(const std::string& path) override { return Used(path); }
  platform::CreateFolderResult CreateFolder(const std::string& path) override {
    Used(path);
    return platform::CreateFolderResult::kFailed;
  }
  bool WriteWholeFile(const std::string& path, std::string_view, platform::Durability) override {
    return Used(path);
  }
  bool ReadFileInPieces(const std::string& path,
                        const std::function<bool(std::string_view)>&) override {
    return Used(path);
  }

 private:
  static bool Used(const std::string& path) {
    ADD_FAILURE() << "file system used: " << path;
    return false;
  }
};

class UnusedFileTree final : public platform::FileTree {
 public:
  std::vector<platform::FolderEntry> ListFolder(const std::string& folder) override {
    Used(folder);
    return {};
  }
  bool MoveReplacing(const std::string& from, const std::string&) override { return Used(from); }
  bool MoveAtRestart(const std::string& from, const std::string&) override { return Used(from); }
  bool RemoveFile(const std::string& path) override { return Used(path); }
  bool RemoveEmptyFolder(const std::string& path) override { return Used(path); }

 private:
  static bool Used(const std::string& path) {
    ADD_FAILURE() << "file tree used: " << path;
    return false;
  }
};

class UnusedProfiles final : public platform::IniFiles {
 public:
  std::string ReadString(const std::string& file, const std::string&, const std::string&,
                         const std::string& defaultValue, std::size_t) override {
    Used(file);
    return defaultValue;
  }
  int32_t ReadInt(const std::string& file, const std::string&, const std::string&,
                  int32_t defaultValue) override {
    Used(file);
    return defaultValue;
  }
  bool WriteString(const std::string& file, const std::string&, const std::string&,
                   const std::string&) override {
    return Used(file);
  }
  std::vector<std::pair<std::string, std::string>> ReadSection(const std::string& file,
                                                               const std::string&,
                                                               std::size_t) override {
    Used(file);
    return {};
  }

 private:
  static bool Used(const std::string& file) {
    ADD_FAILURE() << "INI files used: " << file;
    return false;
  }
};

class UnusedInternet final : public platform::InternetClient {
 public:
  std::unique_ptr<platform::InternetSession> OpenSession() override {
    ADD_FAILURE() << "internet used";
    return nullptr;
  }
};

class UnusedClock final : public platform::OleDateClock {
 public:
  double NowAsOleDate() override {
    ADD_FAILURE() << "clock used";
    return 0;
  }
};

class UnusedProcesses final : public platform::Processes {
 public:
  void ForEachProcess(const std::function<bool(const platform::ProcessEntry&)>&) override {
    ADD_FAILURE() << "processes listed";
  }
  bool Terminate(uint32_t, uint32_t) override {
    ADD_FAILURE() << "process terminated";
    return false;
  }
  bool Start(const std::string& application, const std::string&, const std::string&) override {
    ADD_FAILURE() << "process started: " << application;
    return false;
  }
};

// TestProgram("C:\\Reader\\").Files(disk).Log(log).Context(): the context below that folder.
class TestProgram {
 public:
  explicit TestProgram(const std::string& programFolder)
      : layout_(updater::LayoutBelow(programFolder)) {}

  TestProgram& Registry(platform::Registry& registry) { return Set(registry_, registry); }
  TestProgram& Files(platform::FileSystem& files) { return Set(files_, files); }
  TestProgram& Tree(platform::FileTree& tree) { return Set(tree_, tree); }
  TestProgram& Profiles(platform::IniFiles& profiles) { return Set(profiles_, profiles); }
  TestProgram& Internet(platform::InternetClient& internet) { return Set(internet_, internet); }
  TestProgram& Clock(platform::OleDateClock& clock) { return Set(clock_, clock); }
  TestProgram& Processes(platform::Processes& processes) { return Set(processes_, processes); }
  TestProgram& Log(updater::RunLog& log) { return Set(log_, log); }
  TestProgram& Trust(const updater::TrustContext* trust) {
    trust_ = trust;
    return *this;
  }

  // Refers to the services handed in (and to stand-ins that live as long as the test program).
  updater::ProgramContext Context() {
    return {layout_,    *registry_, *files_,     *tree_, *profiles_,
            *internet_, *clock_,    *processes_, *log_,  trust_};
  }

 private:
  template <typename Service>
  TestProgram& Set(Service*& slot, Service& service) {
    slot = &service;
    return *this;
  }

  // Shared by every test program, so that a context may outlive the TestProgram that made it.
  struct StandIns {
    platform::MemoryRegistry emptyRegistry;
    UnusedFileSystem files;
    UnusedFileTree tree;
    UnusedProfiles profiles;
    UnusedInternet internet;
    UnusedClock clock;
    UnusedProcesses processes;
    updater::RunLog noLog;
  };
  static StandIns& Unused() {
    static StandIns standIns;
    return standIns;
  }

  updater::UpdateLayout layout_;
  platform::Registry* registry_ = &Unused().emptyRegistry;
  platform::FileSystem* files_ = &Unused().files;
  platform::FileTree* tree_ = &Unused().tree;
  platform::IniFiles* profiles_ = &Unused().profiles;
  platform::InternetClient* internet_ = &Unused().internet;
  platform::OleDateClock* clock_ = &Unused().clock;
  platform::Processes* processes_ = &Unused().processes;
  updater::RunLog* log_ = &Unused().noLog;
  const updater::TrustContext* trust_ = nullptr;
};

}  // namespace testing_support
