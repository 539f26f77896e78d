// The operating-system services the drive query needs: the platform family, the disk and driver
// devices with their control calls, the process priority class and an error box. The Windows
// implementation (win32_drive_devices.h, in the DLL) is a thin layer over the API.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

namespace launcher {

enum class PlatformFamily { Windows9x, WindowsNt, Other };

inline constexpr uint32_t kNormalPriorityClass = 0x20;
inline constexpr uint32_t kRealtimePriorityClass = 0x100;

// An open device; destroying it closes the handle.
class DriveDevice {
 public:
  virtual ~DriveDevice() = default;
  // Like DeviceIoControl: true when the platform reports success.
  virtual bool Control(uint32_t code, const void* input, uint32_t inputSize, void* output,
                       uint32_t outputSize) = 0;
};

class DriveDevices {
 public:
  virtual ~DriveDevices() = default;
  virtual PlatformFamily Family() = 0;
  // A physical disk ("\\.\PhysicalDrive0"), opened for reading and writing, shared; null when
  // it cannot be opened.
  virtual std::unique_ptr<DriveDevice> OpenDisk(const std::string& path) = 0;
  // A kernel driver file ("\\.\NAME.VXD"), opened the way Windows 9x loads a dynamic driver;
  // null when it cannot be opened.
  virtual std::unique_ptr<DriveDevice> OpenDriver(const std::string& path) = 0;
  // The current process's priority class; 0 when it cannot be read.
  virtual uint32_t GetPriorityClass() = 0;
  virtual void SetPriorityClass(uint32_t priorityClass) = 0;
  // A modal error box with no owner; returns when the user closes it.
  virtual void ShowErrorBox(const char* text, const char* caption) = 0;
};

using ErrorBox = std::function<void(const char* text, const char* caption)>;

}  // namespace launcher
