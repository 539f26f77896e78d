// The byte records exchanged with the disk driver's SMART control codes and with the Windows 9x
// IDE driver. They are sent and received as they lie in memory, so every layout is fixed here
// and checked at compile time; the Windows build also checks it against the SDK's structures.
#pragma once

#include <cstddef>
#include <cstdint>

namespace launcher {

inline constexpr uint32_t kSmartGetVersion = 0x74080;
inline constexpr uint32_t kSmartRcvDriveData = 0x7C088;
inline constexpr uint32_t kVxdGetDriveReport = 1;

inline constexpr size_t kIdentifyWordCount = 256;
inline constexpr size_t kIdentifyByteCount = kIdentifyWordCount * 2;

#pragma pack(push, 1)

// Reply of SMART_GET_VERSION (GETVERSIONINPARAMS).
struct VersionReply {
  uint8_t version;
  uint8_t revision;
  uint8_t reserved;
  uint8_t bIDEDeviceMap;  // bit n+4 set: drive n is an ATAPI device; 0: no IDE drive
  uint32_t capabilities;
  uint32_t reservedWords[4];
};

// Command of SMART_RCV_DRIVE_DATA (SENDCMDINPARAMS with its IDEREGS, without the data byte).
struct CommandRecord {
  uint32_t cBufferSize;
  uint8_t featuresRegister;
  uint8_t sectorCountRegister;
  uint8_t sectorNumberRegister;
  uint8_t cylinderLowRegister;
  uint8_t cylinderHighRegister;
  uint8_t driveHeadRegister;
  uint8_t commandRegister;
  uint8_t reservedRegister;
  uint8_t bDriveNumber;
  uint8_t reserved[3];
  uint32_t reservedWords[4];
};

// Reply of SMART_RCV_DRIVE_DATA: SENDCMDOUTPARAMS with its DRIVERSTATUS, then the identify data.
struct ReplyRecord {
  uint32_t cBufferSize;
  uint8_t driverError;
  uint8_t ideError;
  uint8_t statusReserved[2];
  uint32_t statusReservedWords[2];
  uint8_t identifyData[kIdentifyByteCount];
};

// What control code 1 of IDE21201.VXD fills: which controllers and drive slots exist, then the
// identify data of the eight slots.
struct VxdDriveReport {
  uint8_t controllers[4];
  uint8_t drives[8];
  uint8_t identifyData[8][kIdentifyByteCount];
};

#pragma pack(pop)

static_assert(sizeof(VersionReply) == 24, "version reply size");
static_assert(offsetof(VersionReply, bIDEDeviceMap) == 3, "device map offset");
static_assert(offsetof(VersionReply, capabilities) == 4, "capabilities offset");
static_assert(offsetof(VersionReply, reservedWords) == 8, "reserved words offset");

static_assert(sizeof(CommandRecord) == 32, "command record size");
static_assert(offsetof(CommandRecord, featuresRegister) == 4, "features register offset");
static_assert(offsetof(CommandRecord, sectorCountRegister) == 5, "sector count offset");
static_assert(offsetof(CommandRecord, sectorNumberRegister) == 6, "sector number offset");
static_assert(offsetof(CommandRecord, cylinderLowRegister) == 7, "cylinder low offset");
static_assert(offsetof(CommandRecord, cylinderHighRegister) == 8, "cylinder high offset");
static_assert(offsetof(CommandRecord, driveHeadRegister) == 9, "drive/head offset");
static_assert(offsetof(CommandRecord, commandRegister) == 10, "command offset");
static_assert(offsetof(CommandRecord, reservedRegister) == 11, "register reserve offset");
static_assert(offsetof(CommandRecord, bDriveNumber) == 12, "drive number offset");
static_assert(offsetof(CommandRecord, reserved) == 13, "reserved bytes offset");
static_assert(offsetof(CommandRecord, reservedWords) == 16, "reserved words offset");

static_assert(sizeof(ReplyRecord) == 528, "reply record size");
static_assert(offsetof(ReplyRecord, driverError) == 4, "driver status offset");
static_assert(offsetof(ReplyRecord, identifyData) == 16, "identify data offset");

static_assert(sizeof(VxdDriveReport) == 4108, "driver report size");
static_assert(offsetof(VxdDriveReport, drives) == 4, "drive bytes offset");
static_assert(offsetof(VxdDriveReport, identifyData) == 12, "slot data offset");

}  // namespace launcher
