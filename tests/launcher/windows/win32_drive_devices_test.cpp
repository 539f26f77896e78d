// The drive query on the real Windows API. Wine has no physical drives to offer, so what it
// answers is open; the query must neither crash nor hang, and must leave consistent fields.
#include "win32_drive_devices.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "identity/drive_devices.h"
#include "identity/drive_identity.h"

namespace {

using launcher::DriveIdentity;
using launcher::PlatformFamily;

using Boxes = std::vector<std::pair<std::string, std::string>>;

launcher::ErrorBox Recorder(Boxes& boxes) {
  return [&boxes](const char* text, const char* caption) { boxes.emplace_back(text, caption); };
}

// Runs `query` on its own thread. A query that hangs cannot be stopped or reported as an
// ordinary failure (its thread still refers to this frame), so the whole program fails.
void RunWithinTimeLimit(const std::function<void()>& query) {
  std::promise<void> done;
  std::future<void> finished = done.get_future();
  std::thread worker([&query, &done] {
    query();
    done.set_value();
  });
  if (finished.wait_for(std::chrono::seconds(60)) != std::future_status::ready) {
    std::fprintf(stderr, "the drive query did not finish within 60 seconds\n");
    std::fflush(stderr);
    std::_Exit(3);
  }
  worker.join();
}

::testing::AssertionResult Consistent(const DriveIdentity& identity) {
  if (identity.controllerName.empty()) {
    // No drive answered: nothing else may be set.
    if (identity.modelNumber.empty() && identity.serialNumber.empty() &&
        identity.firmwareRevision.empty() && identity.driveSize.empty() &&
        identity.bufferSize.empty() && identity.driveType.empty() &&
        identity.drivePosition.empty()) {
      return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << "fields set without a controller";
  }
  const std::string& type = identity.driveType;
  if (type != "Removable" && type != "Fixed" && type != "Unknown") {
    return ::testing::AssertionFailure() << "drive type " << type;
  }
  if (identity.drivePosition != "Master drive" && identity.drivePosition != "Slave drive") {
    return ::testing::AssertionFailure() << "position " << identity.drivePosition;
  }
  if (identity.driveSize.empty() || identity.bufferSize.empty()) {
    return ::testing::AssertionFailure() << "sizes missing";
  }
  return ::testing::AssertionSuccess();
}

TEST(Win32DriveDevices, ReportsTheNtFamily) {
  auto devices = launcher::SystemDriveDevices();
  ASSERT_NE(devices, nullptr);
  EXPECT_EQ(devices->Family(), PlatformFamily::WindowsNt);
}

TEST(Win32DriveDevices, ConstructionOnTheRealApiFinishes) {
  auto devices = launcher::SystemDriveDevices();
  ASSERT_NE(devices, nullptr);
  // The NT path never shows a box, so the system's own box is safe to leave in place here.
  ASSERT_EQ(devices->Family(), PlatformFamily::WindowsNt);
  std::unique_ptr<DriveIdentity> identity;
  RunWithinTimeLimit([&] { identity = std::make_unique<DriveIdentity>(*devices); });
  EXPECT_TRUE(Consistent(*identity));
}

// The real devices, presented as the Windows 9x family.
class As9x final : public launcher::DriveDevices {
 public:
  explicit As9x(launcher::DriveDevices& real) : real_(real) {}
  PlatformFamily Family() override { return PlatformFamily::Windows9x; }
  std::unique_ptr<launcher::DriveDevice> OpenDisk(const std::string& path) override {
    return real_.OpenDisk(path);
  }
  std::unique_ptr<launcher::DriveDevice> OpenDriver(const std::string& path) override {
    return real_.OpenDriver(path);
  }
  uint32_t GetPriorityClass() override { return real_.GetPriorityClass(); }
  void SetPriorityClass(uint32_t value) override { real_.SetPriorityClass(value); }
  void ShowErrorBox(const char* text, const char* caption) override {
    real_.ShowErrorBox(text, caption);
  }

 private:
  launcher::DriveDevices& real_;
};

TEST(Win32DriveDevices, MissingVxdShowsTheBoxAndRestoresThePriority) {
  Boxes boxes;
  auto devices = launcher::SystemDriveDevices(Recorder(boxes));
  ASSERT_NE(devices, nullptr);
  HANDLE self = ::GetCurrentProcess();
  const DWORD original = ::GetPriorityClass(self);
  ASSERT_TRUE(::SetPriorityClass(self, BELOW_NORMAL_PRIORITY_CLASS));
  ASSERT_EQ(::GetPriorityClass(self), static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));

  As9x family(*devices);
  std::unique_ptr<DriveIdentity> identity;
  RunWithinTimeLimit([&] { identity = std::make_unique<DriveIdentity>(family); });
  const DWORD after = ::GetPriorityClass(self);
  ::SetPriorityClass(self, original != 0 ? original : NORMAL_PRIORITY_CLASS);

  EXPECT_EQ(after, static_cast<DWORD>(BELOW_NORMAL_PRIORITY_CLASS));
  EXPECT_EQ(boxes, (Boxes{{"ERROR: Could not open IDE21201.VXD file", "Pellwick"}}));
  EXPECT_TRUE(identity->serialNumber.empty());
  EXPECT_TRUE(Consistent(*identity));
}

}  // namespace
