#include "support/fake_drive_devices.h"

#include <algorithm>
#include <cstring>

namespace testing_support {

IdentifyBuilder& IdentifyBuilder::Text(size_t firstWord, const std::string& text) {
  for (size_t i = 0; i < text.size(); ++i) {
    uint16_t& word = words_.at(firstWord + i / 2);
    const uint8_t byte = static_cast<uint8_t>(text[i]);
    word = (i % 2 == 0) ? static_cast<uint16_t>((word & 0x00FF) | (byte << 8))
                        : static_cast<uint16_t>((word & 0xFF00) | byte);
  }
  return *this;
}

IdentifyBuilder& IdentifyBuilder::Word(size_t index, uint16_t value) {
  words_.at(index) = value;
  return *this;
}

void IdentifyBuilder::CopyBytes(uint8_t (&bytes)[launcher::kIdentifyByteCount]) const {
  for (size_t k = 0; k < words_.size(); ++k) {
    bytes[2 * k] = static_cast<uint8_t>(words_[k] & 0xFF);
    bytes[2 * k + 1] = static_cast<uint8_t>(words_[k] >> 8);
  }
}

std::string DiskPath(int n) { return "\\\\.\\PhysicalDrive" + std::to_string(n); }

class FakeDriveDevices::Device final : public launcher::DriveDevice {
 public:
  Device(FakeDriveDevices& owner, std::string path, const FakeDisk* disk)
      : owner_(owner), path_(std::move(path)), disk_(disk) {}
  ~Device() override { ++owner_.closed; }

  bool Control(uint32_t code, const void* input, uint32_t inputSize, void* output,
               uint32_t outputSize) override {
    const uint8_t* in = static_cast<const uint8_t*>(input);
    owner_.calls.push_back(
        {path_, code, std::vector<uint8_t>(in, in == nullptr ? in : in + inputSize), outputSize});
    if (disk_ == nullptr) {
      // The 9x driver fills the report as far as the caller declared it.
      const size_t size = std::min<size_t>(outputSize, sizeof(launcher::VxdDriveReport));
      std::memcpy(output, &*owner_.driverReport_, size);
      return true;
    }
    if (code == launcher::kSmartGetVersion) {
      if (!disk_->versionSucceeds || outputSize < sizeof(launcher::VersionReply)) return false;
      static_cast<launcher::VersionReply*>(output)->bIDEDeviceMap = disk_->deviceMap;
      return true;
    }
    if (code == launcher::kSmartRcvDriveData) {
      if (outputSize < sizeof(launcher::ReplyRecord)) return false;
      auto* reply = static_cast<launcher::ReplyRecord*>(output);
      if (!disk_->writesIdentifyData) {
        reply->driverError = 5;  // SMART_INVALID_DRIVE, with no data
      } else {
        reply->cBufferSize = launcher::kIdentifyByteCount;
        disk_->identify.CopyBytes(reply->identifyData);
      }
      return disk_->identifySucceeds;
    }
    return false;
  }

 private:
  FakeDriveDevices& owner_;
  std::string path_;
  const FakeDisk* disk_;  // null: the 9x driver
};

FakeDisk& FakeDriveDevices::AddDisk(int n) { return disks_[DiskPath(n)]; }

std::unique_ptr<launcher::DriveDevice> FakeDriveDevices::OpenDisk(const std::string& path) {
  opened.push_back(path);
  auto disk = disks_.find(path);
  if (disk == disks_.end()) return nullptr;
  return std::make_unique<Device>(*this, path, &disk->second);
}

std::unique_ptr<launcher::DriveDevice> FakeDriveDevices::OpenDriver(const std::string& path) {
  opened.push_back(path);
  if (!driverReport_) return nullptr;
  return std::make_unique<Device>(*this, path, nullptr);
}

void FakeDriveDevices::SetPriorityClass(uint32_t value) {
  priorityChanges.push_back(value);
  priorityClass = value;
}

}  // namespace testing_support
