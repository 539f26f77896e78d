// Systems without the Windows drive services: no platform family the query knows, so no drive
// is asked and nothing is shown.
#include <new>

#include "identity/drive_devices.h"

namespace pellwick {
namespace {

class NoDriveDevices final : public DriveDevices {
 public:
  PlatformFamily Family() override { return PlatformFamily::Other; }
  std::unique_ptr<DriveDevice> OpenDisk(const std::string&) override { return nullptr; }
  std::unique_ptr<DriveDevice> OpenDriver(const std::string&) override { return nullptr; }
  uint32_t GetPriorityClass() override { return kNormalPriorityClass; }
  void SetPriorityClass(uint32_t) override {}
  void ShowErrorBox(const char*, const char*) override {}
};

}  // namespace

std::unique_ptr<DriveDevices> SystemDriveDevices(ErrorBox) {
  return std::unique_ptr<DriveDevices>(new (std::nothrow) NoDriveDevices);
}

}  // namespace pellwick
