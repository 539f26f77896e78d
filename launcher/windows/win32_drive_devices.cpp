// The drive query's services on Windows: CreateFileA, DeviceIoControl, GetVersionExA, the
// priority class of the current process and MessageBoxA.
#include "win32_drive_devices.h"

#include <windows.h>
#include <winioctl.h>

#include <cstddef>
#include <new>
#include <utility>

#include "handles.h"
#include "identity/identify_records.h"

namespace launcher {

// The records are sent as they lie in memory, so they must match the SDK's structures.
static_assert(kSmartGetVersion == SMART_GET_VERSION, "SMART_GET_VERSION");
static_assert(kSmartRcvDriveData == SMART_RCV_DRIVE_DATA, "SMART_RCV_DRIVE_DATA");
static_assert(kNormalPriorityClass == NORMAL_PRIORITY_CLASS, "NORMAL_PRIORITY_CLASS");
static_assert(kRealtimePriorityClass == REALTIME_PRIORITY_CLASS, "REALTIME_PRIORITY_CLASS");

static_assert(sizeof(GETVERSIONINPARAMS) == sizeof(VersionReply), "GETVERSIONINPARAMS size");
static_assert(offsetof(GETVERSIONINPARAMS, bIDEDeviceMap) == offsetof(VersionReply, bIDEDeviceMap),
              "bIDEDeviceMap offset");
static_assert(offsetof(GETVERSIONINPARAMS, fCapabilities) == offsetof(VersionReply, capabilities),
              "fCapabilities offset");

static_assert(sizeof(IDEREGS) == 8, "IDEREGS size");
// SENDCMDINPARAMS ends in a one-byte data buffer that the command does not send.
static_assert(sizeof(SENDCMDINPARAMS) == sizeof(CommandRecord) + 1, "SENDCMDINPARAMS size");
static_assert(offsetof(SENDCMDINPARAMS, bBuffer) == sizeof(CommandRecord), "bBuffer offset");
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bFeaturesReg) ==
                  offsetof(CommandRecord, featuresRegister),
              "bFeaturesReg offset");
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bSectorCountReg) ==
                  offsetof(CommandRecord, sectorCountRegister),
              "bSectorCountReg offset");
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bSectorNumberReg) ==
                  offsetof(CommandRecord, sectorNumberRegister),
              "bSectorNumberReg offset");
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCylLowReg) ==
                  offsetof(CommandRecord, cylinderLowRegister),
              "bCylLowReg offset");
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCylHighReg) ==
                  offsetof(CommandRecord, cylinderHighRegister),
              "bCylHighReg offset");
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bDriveHeadReg) ==
                  offsetof(CommandRecord, driveHeadRegister),
              "bDriveHeadReg offset");
static_assert(offsetof(SENDCMDINPARAMS, irDriveRegs) + offsetof(IDEREGS, bCommandReg) ==
                  offsetof(CommandRecord, commandRegister),
              "bCommandReg offset");
static_assert(offsetof(SENDCMDINPARAMS, bDriveNumber) == offsetof(CommandRecord, bDriveNumber),
              "bDriveNumber offset");
static_assert(offsetof(SENDCMDINPARAMS, dwReserved) == offsetof(CommandRecord, reservedWords),
              "dwReserved offset");

static_assert(sizeof(DRIVERSTATUS) == 12, "DRIVERSTATUS size");
static_assert(offsetof(SENDCMDOUTPARAMS, DriverStatus) == offsetof(ReplyRecord, driverError),
              "DriverStatus offset");
static_assert(offsetof(SENDCMDOUTPARAMS, bBuffer) == offsetof(ReplyRecord, identifyData),
              "SENDCMDOUTPARAMS bBuffer offset");
static_assert(sizeof(OSVERSIONINFOA) == 148, "OSVERSIONINFOA size");

namespace {

using platform::win32::UniqueHandle;

class Win32DriveDevice final : public DriveDevice {
 public:
  explicit Win32DriveDevice(UniqueHandle handle) : handle_(std::move(handle)) {}

  bool Control(uint32_t code, const void* input, uint32_t inputSize, void* output,
               uint32_t outputSize) override {
    DWORD returned = 0;
    return ::DeviceIoControl(handle_.get(), code, const_cast<void*>(input), inputSize, output,
                             outputSize, &returned, nullptr) != FALSE;
  }

 private:
  UniqueHandle handle_;
};

std::unique_ptr<DriveDevice> Wrap(HANDLE handle) {
  UniqueHandle owner = platform::win32::OwnFileHandle(handle);
  if (!owner) return nullptr;
  return std::unique_ptr<DriveDevice>(new (std::nothrow) Win32DriveDevice(std::move(owner)));
}

class Win32DriveDevices final : public DriveDevices {
 public:
  explicit Win32DriveDevices(ErrorBox errorBox) : errorBox_(std::move(errorBox)) {}

  PlatformFamily Family() override {
    OSVERSIONINFOA info{};
    info.dwOSVersionInfoSize = sizeof info;
    if (!::GetVersionExA(&info)) return PlatformFamily::Other;
    switch (info.dwPlatformId) {
      case VER_PLATFORM_WIN32_NT:
        return PlatformFamily::WindowsNt;
      case VER_PLATFORM_WIN32_WINDOWS:
        return PlatformFamily::Windows9x;
      default:
        return PlatformFamily::Other;
    }
  }

  std::unique_ptr<DriveDevice> OpenDisk(const std::string& path) override {
    return Wrap(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                              nullptr));
  }

  // Windows 9x loads a dynamic VxD through CreateFile with no access, no sharing and no
  // creation disposition, and unloads it when the handle closes.
  std::unique_ptr<DriveDevice> OpenDriver(const std::string& path) override {
    return Wrap(::CreateFileA(path.c_str(), 0, 0, nullptr, 0, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
  }

  uint32_t GetPriorityClass() override { return ::GetPriorityClass(::GetCurrentProcess()); }

  void SetPriorityClass(uint32_t priorityClass) override {
    ::SetPriorityClass(::GetCurrentProcess(), priorityClass);
  }

  void ShowErrorBox(const char* text, const char* caption) override {
    if (errorBox_) {
      errorBox_(text, caption);
    } else {
      ::MessageBoxA(nullptr, text, caption, MB_ICONERROR);
    }
  }

 private:
  ErrorBox errorBox_;
};

}  // namespace

std::unique_ptr<DriveDevices> SystemDriveDevices(ErrorBox errorBox) {
  return std::unique_ptr<DriveDevices>(new (std::nothrow) Win32DriveDevices(std::move(errorBox)));
}

}  // namespace launcher
