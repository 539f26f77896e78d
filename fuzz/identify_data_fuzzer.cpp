// The drive identity over identify data a drive (or a driver standing in for one) wrote: the
// query takes any replies of any devices without reading or writing past a record, and the
// fields it keeps are the text and numbers of the last drive that answered.
//
// A text field of words first..last is the prefix of their bytes (high byte first) that stops
// at the first NUL, or, where there is none, drops the trailing blanks but never the first
// byte. The numbers read back as the words give them.
//
// Input: the family byte (0 NT, 1 Windows 9x, else another), then the bytes the devices write:
// each control call fills its whole output buffer with the next bytes (zeros once they run
// out) and succeeds.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "identity/drive_devices.h"
#include "identity/drive_identity.h"
#include "identity/identify_records.h"

namespace {

using launcher::IdentifyWords;

// The drive whose identify data arrived last, as the devices handed it over.
struct Answer {
  int driveIndex;
  IdentifyWords words;
};

class ReplyingDevices final : public launcher::DriveDevices {
 public:
  ReplyingDevices(launcher::PlatformFamily family, std::string_view replies)
      : family_(family), replies_(replies) {}

  launcher::PlatformFamily Family() override { return family_; }
  std::unique_ptr<launcher::DriveDevice> OpenDisk(const std::string&) override {
    return std::make_unique<Device>(*this);
  }
  std::unique_ptr<launcher::DriveDevice> OpenDriver(const std::string&) override {
    return std::make_unique<Device>(*this);
  }
  uint32_t GetPriorityClass() override { return launcher::kNormalPriorityClass; }
  void SetPriorityClass(uint32_t) override {}
  void ShowErrorBox(const char*, const char*) override {}

  std::optional<Answer> last;

 private:
  class Device final : public launcher::DriveDevice {
   public:
    explicit Device(ReplyingDevices& devices) : devices_(devices) {}
    bool Control(uint32_t code, const void* input, uint32_t inputSize, void* output,
                 uint32_t outputSize) override {
      devices_.Reply(code, input, inputSize, static_cast<uint8_t*>(output), outputSize);
      return true;
    }

   private:
    ReplyingDevices& devices_;
  };

  void Reply(uint32_t code, const void* input, uint32_t inputSize, uint8_t* output,
             uint32_t outputSize) {
    // The whole input is read and the whole output written, as a driver would.
    const std::vector<uint8_t> sent(static_cast<const uint8_t*>(input),
                                    static_cast<const uint8_t*>(input) + inputSize);
    const std::size_t taken = std::min<std::size_t>(outputSize, replies_.size());
    std::memcpy(output, replies_.data(), taken);
    std::memset(output + taken, 0, outputSize - taken);
    replies_.remove_prefix(taken);
    if (code == launcher::kSmartRcvDriveData && inputSize >= sizeof(launcher::CommandRecord) &&
        outputSize >= sizeof(launcher::ReplyRecord)) {
      launcher::CommandRecord command;
      std::memcpy(&command, sent.data(), sizeof command);
      launcher::ReplyRecord reply;
      std::memcpy(&reply, output, sizeof reply);
      last = Answer{command.bDriveNumber, launcher::WordsFromBytes(reply.identifyData)};
    }
    if (code == launcher::kVxdGetDriveReport && outputSize >= sizeof(launcher::VxdDriveReport)) {
      launcher::VxdDriveReport report;
      std::memcpy(&report, output, sizeof report);
      for (int slot = 0; slot < 8; ++slot) {
        if (report.drives[slot] != 0 && report.controllers[slot / 2] != 0) {
          last = Answer{slot, launcher::WordsFromBytes(report.identifyData[slot])};
        }
      }
    }
  }

  launcher::PlatformFamily family_;
  std::string_view replies_;
};

void CheckText(const std::string& field, const IdentifyWords& words, std::size_t first,
               std::size_t last) {
  std::string bytes;
  for (std::size_t k = first; k <= last; ++k) {
    bytes += static_cast<char>(words[k] >> 8);
    bytes += static_cast<char>(words[k] & 0xFF);
  }
  const std::size_t zero = bytes.find('\0');
  if (zero != std::string::npos) {
    fuzz::Check(field == bytes.substr(0, zero), "a text ends at its first NUL");
    return;
  }
  const std::size_t kept = bytes.find_last_not_of(' ');
  fuzz::Check(field == bytes.substr(0, kept == std::string::npos ? 1 : kept + 1),
              "a text drops its trailing blanks, never its first byte");
}

// The fields of one drive's identify words, from the words.
void CheckFields(const launcher::DriveIdentity& identity, int driveIndex,
                 const IdentifyWords& words) {
  static const char* const kControllers[] = {"Primary Controller", "Secondary Controller",
                                             "Tertiary Controller", "Quaternary Controller"};
  fuzz::Check(identity.controllerName == kControllers[driveIndex / 2], "controller name");
  fuzz::Check(identity.drivePosition == (driveIndex % 2 ? "Slave drive" : "Master drive"),
              "drive position");
  CheckText(identity.modelNumber, words, 27, 46);
  CheckText(identity.serialNumber, words, 10, 19);
  CheckText(identity.firmwareRevision, words, 23, 26);
  fuzz::Check(std::strtoul(identity.bufferSize.c_str(), nullptr, 10) == words[21] * 512ul,
              "buffer size");
  const char* type = words[0] & 0x80 ? "Removable" : (words[0] & 0x40 ? "Fixed" : "Unknown");
  fuzz::Check(identity.driveType == type, "drive type");
  const bool lba48 = words[83] & 0x400;
  uint64_t sectors = 0;
  for (int k = lba48 ? 103 : 61; k >= (lba48 ? 100 : 60); --k) sectors = sectors << 16 | words[k];
  const long long size = std::strtoll(identity.driveSize.c_str(), nullptr, 10);
  fuzz::Check(static_cast<uint64_t>(size) == sectors * 512, "drive size in bytes, as signed");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const launcher::PlatformFamily family = data[0] == 0   ? launcher::PlatformFamily::WindowsNt
                                          : data[0] == 1 ? launcher::PlatformFamily::Windows9x
                                                         : launcher::PlatformFamily::Other;
  ReplyingDevices devices(family,
                          std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1));
  const launcher::DriveIdentity identity(devices);
  if (devices.last) {
    CheckFields(identity, devices.last->driveIndex, devices.last->words);
  } else {
    fuzz::Check(identity.modelNumber.empty() && identity.serialNumber.empty() &&
                    identity.driveSize.empty() && identity.controllerName.empty(),
                "no answer, no fields");
  }
  return 0;
}
