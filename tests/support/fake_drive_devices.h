// Drive services for tests: recorded identify replies per disk, a scripted 9x driver report,
// and a record of every open, control call, priority change and error box.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "identity/drive_devices.h"
#include "identity/drive_identity.h"
#include "identity/identify_records.h"

namespace testing_support {

// Identify data built word by word: texts are stored high byte first, as drives send them.
class IdentifyBuilder {
 public:
  IdentifyBuilder& Text(size_t firstWord, const std::string& text);
  IdentifyBuilder& Word(size_t index, uint16_t value);
  const launcher::IdentifyWords& words() const { return words_; }
  // The little-endian bytes of a platform record.
  void CopyBytes(uint8_t (&bytes)[launcher::kIdentifyByteCount]) const;

 private:
  launcher::IdentifyWords words_{};
};

// One recorded answer of a physical disk.
struct FakeDisk {
  bool versionSucceeds = true;
  uint8_t deviceMap = 0x01;
  bool identifySucceeds = true;
  bool writesIdentifyData = true;
  IdentifyBuilder identify;
};

struct ControlCall {
  std::string path;
  uint32_t code;
  std::vector<uint8_t> input;
  uint32_t outputSize;
};

class FakeDriveDevices final : public launcher::DriveDevices {
 public:
  explicit FakeDriveDevices(launcher::PlatformFamily family) : family_(family) {}

  // A disk that opens; disks not added fail to open.
  FakeDisk& AddDisk(int n);
  // The driver file opens and fills `report` (as far as the declared output length reaches).
  void InstallDriver(const launcher::VxdDriveReport& report) { driverReport_ = report; }

  launcher::PlatformFamily Family() override { return family_; }
  std::unique_ptr<launcher::DriveDevice> OpenDisk(const std::string& path) override;
  std::unique_ptr<launcher::DriveDevice> OpenDriver(const std::string& path) override;
  uint32_t GetPriorityClass() override { return priorityClass; }
  void SetPriorityClass(uint32_t value) override;
  void ShowErrorBox(const char* text, const char* caption) override {
    boxes.emplace_back(text, caption);
  }

  uint32_t priorityClass = launcher::kNormalPriorityClass;
  std::vector<std::string> opened;
  int closed = 0;
  std::vector<ControlCall> calls;
  std::vector<uint32_t> priorityChanges;
  std::vector<std::pair<std::string, std::string>> boxes;

 private:
  class Device;
  launcher::PlatformFamily family_;
  std::map<std::string, FakeDisk> disks_;
  std::optional<launcher::VxdDriveReport> driverReport_;
};

std::string DiskPath(int n);

}  // namespace testing_support
