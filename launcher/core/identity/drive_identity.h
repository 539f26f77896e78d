// The identity of the machine's IDE drives: the ATA identify data of each drive that answers,
// turned into text fields. Construction queries the drives; the fields then describe the last
// drive, in query order, that answered.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "identity/drive_devices.h"
#include "identity/identify_records.h"

namespace launcher {

using IdentifyWords = std::array<uint16_t, kIdentifyWordCount>;

// The 256 words of identify data from their little-endian bytes.
IdentifyWords WordsFromBytes(const uint8_t (&bytes)[kIdentifyByteCount]);

// The text of words `first` to `last` inclusive, high byte of each word first, trailing blanks
// cut (never the first character) and ended at the first NUL. Each call builds its own text, so
// concurrent queries cannot mix their results. Empty for a range outside the 256 words.
std::string IdentifyText(const IdentifyWords& words, size_t first, size_t last);

// Fills `record` for an IDENTIFY command to drive `driveIndex` and sends it with
// SMART_RCV_DRIVE_DATA, the reply going to `reply`. True when the control call succeeded.
bool SendIdentifyCommand(DriveDevice& device, CommandRecord& record, ReplyRecord& reply,
                         uint8_t command, int driveIndex);

class DriveIdentity {
 public:
  // Queries the drives of `devices`. Never fails: whatever goes wrong leaves fields empty.
  explicit DriveIdentity(DriveDevices& devices) noexcept;

  // Replaces every field with the text of one drive's identify data.
  void StoreIdentifyData(int driveIndex, const IdentifyWords& words);

  std::string modelNumber;
  std::string serialNumber;
  std::string firmwareRevision;
  std::string driveSize;
  std::string bufferSize;
  std::string driveType;
  std::string controllerName;
  std::string drivePosition;

 private:
  void Query(DriveDevices& devices) noexcept;
  // Each returns true when at least one drive answered.
  bool QueryPhysicalDrives(DriveDevices& devices);
  bool QueryVxdDrives(DriveDevices& devices);
};

}  // namespace launcher
