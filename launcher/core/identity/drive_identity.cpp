#include "identity/drive_identity.h"

#include <cinttypes>
#include <cstdio>
#include <cstring>

#include "platform/catch_all.h"

namespace launcher {
namespace {

constexpr char kDiskPathPrefix[] = "\\\\.\\PhysicalDrive";
constexpr char kVxdPath[] = "\\\\.\\IDE21201.VXD";
constexpr char kVxdMissingText[] = "ERROR: Could not open IDE21201.VXD file";
constexpr char kVxdMissingCaption[] = "Pellwick";

constexpr uint8_t kIdentifyDevice = 0xEC;
constexpr uint8_t kIdentifyPacketDevice = 0xA1;

constexpr const char* kControllerNames[] = {"Primary Controller", "Secondary Controller",
                                            "Tertiary Controller", "Quaternary Controller"};

std::string FormatUnsigned(unsigned value) {
  char text[16];
  int length = std::snprintf(text, sizeof text, "%u", value);
  if (length < 0 || static_cast<size_t>(length) >= sizeof text) return std::string();
  return std::string(text, static_cast<size_t>(length));
}

// Signed decimal of the 64-bit pattern: a byte count of 2^63 or more reads as negative, as the
// identifier's consumers have always seen it.
std::string FormatSigned64(uint64_t value) {
  int64_t asSigned;
  std::memcpy(&asSigned, &value, sizeof asSigned);
  char text[24];
  int length = std::snprintf(text, sizeof text, "%" PRId64, asSigned);
  if (length < 0 || static_cast<size_t>(length) >= sizeof text) return std::string();
  return std::string(text, static_cast<size_t>(length));
}

// Sectors the drive reports: the 48-bit count when the drive supports 48-bit addressing,
// otherwise the 28-bit count. Unsigned throughout, so no count can overflow.
uint64_t SectorCount(const IdentifyWords& words) {
  if (words[83] & 0x400) {
    return (uint64_t{words[103]} << 48) | (uint64_t{words[102]} << 32) |
           (uint64_t{words[101]} << 16) | uint64_t{words[100]};
  }
  return uint64_t{words[61]} * 65536u + words[60];
}

// Restores the process's priority class on every way out of the 9x query.
class PriorityRestorer {
 public:
  explicit PriorityRestorer(DriveDevices& devices)
      : devices_(devices), previous_(devices.GetPriorityClass()) {}
  ~PriorityRestorer() {
    devices_.SetPriorityClass(previous_ != 0 ? previous_ : kNormalPriorityClass);
  }
  PriorityRestorer(const PriorityRestorer&) = delete;
  PriorityRestorer& operator=(const PriorityRestorer&) = delete;

 private:
  DriveDevices& devices_;
  uint32_t previous_;
};

}  // namespace

IdentifyWords WordsFromBytes(const uint8_t (&bytes)[kIdentifyByteCount]) {
  IdentifyWords words;
  for (size_t k = 0; k < words.size(); ++k) {
    words[k] = static_cast<uint16_t>(bytes[2 * k] | (bytes[2 * k + 1] << 8));
  }
  return words;
}

std::string IdentifyText(const IdentifyWords& words, size_t first, size_t last) {
  if (first > last || last >= words.size()) return std::string();
  std::string text;
  text.reserve(2 * (last - first + 1));
  for (size_t k = first; k <= last; ++k) {
    text.push_back(static_cast<char>(words[k] >> 8));
    text.push_back(static_cast<char>(words[k] & 0xFF));
  }
  // Trailing blanks go, but never the first character: a text of blanks keeps one.
  size_t end = text.size();
  while (end > 1 && text[end - 1] == ' ') --end;
  text.resize(end);
  // A NUL inside the words ends the text.
  text.resize(std::strlen(text.c_str()));
  return text;
}

bool SendIdentifyCommand(DriveDevice& device, CommandRecord& record, ReplyRecord& reply,
                         uint8_t command, int driveIndex) {
  record.cBufferSize = kIdentifyByteCount;
  record.featuresRegister = 0;
  record.sectorCountRegister = 1;
  record.sectorNumberRegister = 1;
  record.cylinderLowRegister = 0;
  record.cylinderHighRegister = 0;
  record.driveHeadRegister = (driveIndex & 1) ? 0xB0 : 0xA0;
  record.commandRegister = command;
  record.bDriveNumber = static_cast<uint8_t>(driveIndex);
  return device.Control(kSmartRcvDriveData, &record, sizeof record, &reply, sizeof reply);
}

DriveIdentity::DriveIdentity(DriveDevices& devices) noexcept { Query(devices); }

void DriveIdentity::Query(DriveDevices& devices) noexcept {
  platform::CatchAll([&] {
    switch (devices.Family()) {
      case PlatformFamily::WindowsNt:
        QueryPhysicalDrives(devices);
        break;
      case PlatformFamily::Windows9x:
        QueryVxdDrives(devices);
        break;
      case PlatformFamily::Other:
        break;
    }
  });
}

bool DriveIdentity::QueryPhysicalDrives(DriveDevices& devices) {
  bool answered = false;
  for (int n = 0; n < 4; ++n) {
    std::unique_ptr<DriveDevice> disk = devices.OpenDisk(kDiskPathPrefix + std::to_string(n));
    if (!disk) continue;

    VersionReply version{};
    disk->Control(kSmartGetVersion, nullptr, 0, &version, sizeof version);
    if (version.bIDEDeviceMap == 0) continue;

    uint8_t command =
        ((version.bIDEDeviceMap >> n) & 0x10) ? kIdentifyPacketDevice : kIdentifyDevice;
    CommandRecord record{};
    ReplyRecord reply{};
    if (SendIdentifyCommand(*disk, record, reply, command, n)) {
      StoreIdentifyData(n, WordsFromBytes(reply.identifyData));
      answered = true;
    }
  }
  return answered;
}

bool DriveIdentity::QueryVxdDrives(DriveDevices& devices) {
  PriorityRestorer restorer(devices);
  devices.SetPriorityClass(kRealtimePriorityClass);

  // Large enough to keep off the stack of a browser thread.
  auto report = std::make_unique<VxdDriveReport>();
  if (std::unique_ptr<DriveDevice> driver = devices.OpenDriver(kVxdPath)) {
    // The driver fills the whole report, so the whole report is its output buffer.
    driver->Control(kVxdGetDriveReport, nullptr, 0, report.get(), sizeof *report);
  } else {
    devices.ShowErrorBox(kVxdMissingText, kVxdMissingCaption);
  }

  bool answered = false;
  for (int slot = 0; slot < 8; ++slot) {
    if (report->drives[slot] != 0 && report->controllers[slot / 2] != 0) {
      StoreIdentifyData(slot, WordsFromBytes(report->identifyData[slot]));
      answered = true;
    }
  }
  return answered;
}

void DriveIdentity::StoreIdentifyData(int driveIndex, const IdentifyWords& words) {
  int controller = driveIndex / 2;
  if (controller >= 0 && controller < 4) controllerName = kControllerNames[controller];
  drivePosition = (driveIndex % 2 == 0) ? "Master drive" : "Slave drive";
  modelNumber = IdentifyText(words, 27, 46);
  serialNumber = IdentifyText(words, 10, 19);
  firmwareRevision = IdentifyText(words, 23, 26);
  bufferSize = FormatUnsigned(words[21] * 512u);
  if (words[0] & 0x80) {
    driveType = "Removable";
  } else if (words[0] & 0x40) {
    driveType = "Fixed";
  } else {
    driveType = "Unknown";
  }
  driveSize = FormatSigned64(SectorCount(words) * 512u);
}

}  // namespace launcher
