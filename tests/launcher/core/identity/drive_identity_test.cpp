#include "identity/drive_identity.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "support/fake_drive_devices.h"

namespace {

using testing_support::DiskPath;
using testing_support::FakeDriveDevices;
using testing_support::IdentifyBuilder;
using launcher::DriveIdentity;
using launcher::PlatformFamily;

std::string Blanks(size_t count) { return std::string(count, ' '); }

// The eight fields in one comparable row.
std::vector<std::string> Fields(const DriveIdentity& identity) {
  return {identity.modelNumber,    identity.serialNumber, identity.firmwareRevision,
          identity.driveSize,      identity.bufferSize,   identity.driveType,
          identity.controllerName, identity.drivePosition};
}

const std::vector<std::string> kEmptyFields(8);

TEST(IdentifyText, SerialWords) {
  const struct {
    const char* what;
    std::string words;  // the 20 characters of words 10 to 19, high byte first
    std::string expected;
  } cases[] = {
      {"trailing blanks cut, leading kept", "  SN-1234" + Blanks(11), "  SN-1234"},
      {"only blanks keep one", Blanks(20), " "},
      {"leading NUL gives empty", std::string("\0SN-1234", 8) + Blanks(12), ""},
      {"all NUL gives empty", std::string(20, '\0'), ""},
      {"NUL inside ends the text", std::string("AB\0CD", 5) + Blanks(15), "AB"},
      {"blanks before a NUL stay", std::string("AB  \0", 5) + Blanks(15), "AB  "},
      {"full width, nothing cut", "ABCDEFGHIJKLMNOPQRST", "ABCDEFGHIJKLMNOPQRST"},
      {"odd length ends in a low byte", "ABC" + Blanks(17), "ABC"},
      {"bytes above 0x7F pass unchanged", "\xd6\xd0" + Blanks(18), "\xd6\xd0"},
      {"single character then blanks", "X" + Blanks(19), "X"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IdentifyBuilder data;
    data.Text(10, c.words);
    EXPECT_EQ(launcher::IdentifyText(data.words(), 10, 19), c.expected);
  }
}

TEST(IdentifyText, HighByteOfEachWordComesFirst) {
  IdentifyBuilder data;
  data.Word(5, 0x4142).Word(6, 0x4344);
  EXPECT_EQ(launcher::IdentifyText(data.words(), 5, 6), "ABCD");
  EXPECT_EQ(launcher::IdentifyText(data.words(), 6, 6), "CD");
}

TEST(IdentifyText, RangesOutsideTheWordsGiveEmpty) {
  IdentifyBuilder data;
  data.Text(0, std::string(512, 'A'));
  EXPECT_EQ(launcher::IdentifyText(data.words(), 0, 255), std::string(512, 'A'));
  EXPECT_EQ(launcher::IdentifyText(data.words(), 0, 256), "");
  EXPECT_EQ(launcher::IdentifyText(data.words(), 20, 19), "");
}

// Two apartments of one browser reading the identifier at once must each get their own text.
TEST(IdentifyText, ConcurrentCallsKeepTheirOwnText) {
  IdentifyBuilder first;
  IdentifyBuilder second;
  first.Text(10, "FIRST-SERIAL-000001 ");
  second.Text(10, "SECOND-SERIAL-22222 ");
  auto reader = [](const launcher::IdentifyWords& words, const std::string& expected,
                   int* mismatches) {
    for (int i = 0; i < 20000; ++i) {
      if (launcher::IdentifyText(words, 10, 19) != expected) ++*mismatches;
    }
  };
  int mismatchesFirst = 0;
  int mismatchesSecond = 0;
  std::thread a(reader, std::cref(first.words()), "FIRST-SERIAL-000001", &mismatchesFirst);
  std::thread b(reader, std::cref(second.words()), "SECOND-SERIAL-22222", &mismatchesSecond);
  a.join();
  b.join();
  EXPECT_EQ(mismatchesFirst, 0);
  EXPECT_EQ(mismatchesSecond, 0);
}

TEST(StoreIdentifyData, TextFieldsFromTheirWords) {
  IdentifyBuilder data;
  data.Text(27, "QEMU HARDDISK" + Blanks(27)).Text(10, "QM00001" + Blanks(13)).Text(23, "2.5+    ");
  // The words next to each range must not leak in.
  data.Text(9, "XX").Text(20, "XX").Text(22, "XX").Text(47, "XX");
  FakeDriveDevices none(PlatformFamily::Other);
  DriveIdentity identity(none);
  identity.StoreIdentifyData(0, data.words());
  EXPECT_EQ(identity.modelNumber, "QEMU HARDDISK");
  EXPECT_EQ(identity.serialNumber, "QM00001");
  EXPECT_EQ(identity.firmwareRevision, "2.5+");

  IdentifyBuilder full;
  full.Text(27, std::string(40, 'M')).Text(10, std::string(20, 'S')).Text(23, "FIRMWARE");
  identity.StoreIdentifyData(0, full.words());
  EXPECT_EQ(identity.modelNumber, std::string(40, 'M'));
  EXPECT_EQ(identity.serialNumber, std::string(20, 'S'));
  EXPECT_EQ(identity.firmwareRevision, "FIRMWARE");
}

TEST(StoreIdentifyData, NumbersAndType) {
  const struct {
    const char* what;
    std::vector<std::pair<size_t, uint16_t>> words;
    const char* driveSize;
    const char* bufferSize;
    const char* driveType;
  } cases[] = {
      {"48-bit count of 2^32 sectors", {{83, 0x400}, {102, 1}}, "2199023255552", "0", "Unknown"},
      {"28-bit count of 65536 sectors", {{61, 1}}, "33554432", "0", "Unknown"},
      {"largest 28-bit count needs no signed 32-bit product",
       {{60, 0xFFFF}, {61, 0xFFFF}},
       "2199023255040",
       "0",
       "Unknown"},
      {"48-bit count wins over the 28-bit words",
       {{83, 0x400}, {60, 5}, {100, 7}},
       "3584",
       "0",
       "Unknown"},
      {"other bits of word 83 leave the 28-bit count",
       {{83, 0xFBFF}, {60, 2}, {102, 1}},
       "1024",
       "0",
       "Unknown"},
      {"2^63 bytes print as signed",
       {{83, 0x400}, {103, 0x0040}},
       "-9223372036854775808",
       "0",
       "Unknown"},
      {"byte count wraps at 2^64", {{83, 0x400}, {103, 0x0080}}, "0", "0", "Unknown"},
      {"largest 48-bit count",
       {{83, 0x400}, {100, 0xFFFF}, {101, 0xFFFF}, {102, 0xFFFF}, {103, 0xFFFF}},
       "-512",
       "0",
       "Unknown"},
      {"buffer of 8 sectors", {{21, 8}}, "0", "4096", "Unknown"},
      {"largest buffer", {{21, 0xFFFF}}, "0", "33553920", "Unknown"},
      {"bit 7 wins over bit 6", {{0, 0x00C0}}, "0", "0", "Removable"},
      {"bit 7 alone", {{0, 0x0080}}, "0", "0", "Removable"},
      {"bit 6 alone", {{0, 0x0040}}, "0", "0", "Fixed"},
      {"other bits only", {{0, 0xFF3F}}, "0", "0", "Unknown"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    IdentifyBuilder data;
    for (const auto& [index, value] : c.words) data.Word(index, value);
    FakeDriveDevices none(PlatformFamily::Other);
    DriveIdentity identity(none);
    identity.StoreIdentifyData(0, data.words());
    EXPECT_EQ(identity.driveSize, c.driveSize);
    EXPECT_EQ(identity.bufferSize, c.bufferSize);
    EXPECT_EQ(identity.driveType, c.driveType);
  }
}

TEST(StoreIdentifyData, ControllerAndPositionLabels) {
  const struct {
    int driveIndex;
    const char* controller;
    const char* position;
  } cases[] = {
      {0, "Primary Controller", "Master drive"},    {1, "Primary Controller", "Slave drive"},
      {2, "Secondary Controller", "Master drive"},  {3, "Secondary Controller", "Slave drive"},
      {4, "Tertiary Controller", "Master drive"},   {5, "Tertiary Controller", "Slave drive"},
      {6, "Quaternary Controller", "Master drive"}, {7, "Quaternary Controller", "Slave drive"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.driveIndex);
    FakeDriveDevices none(PlatformFamily::Other);
    DriveIdentity identity(none);
    identity.StoreIdentifyData(c.driveIndex, IdentifyBuilder().words());
    EXPECT_EQ(identity.controllerName, c.controller);
    EXPECT_EQ(identity.drivePosition, c.position);
  }
}

TEST(StoreIdentifyData, IndexBeyondFourControllersKeepsTheControllerName) {
  FakeDriveDevices none(PlatformFamily::Other);
  DriveIdentity identity(none);
  identity.StoreIdentifyData(3, IdentifyBuilder().words());
  identity.StoreIdentifyData(8, IdentifyBuilder().words());
  EXPECT_EQ(identity.controllerName, "Secondary Controller");
  EXPECT_EQ(identity.drivePosition, "Master drive");
}

// --- The NT path over recorded replies.

IdentifyBuilder Drive(const std::string& serial, const std::string& model) {
  IdentifyBuilder data;
  data.Text(10, serial + Blanks(20 - serial.size()))
      .Text(27, model + Blanks(40 - model.size()))
      .Text(23, "1.0     ")
      .Word(0, 0x0040)
      .Word(21, 16)
      .Word(60, 0x0000)
      .Word(61, 0x0010);
  return data;
}

TEST(QueryPhysicalDrives, OpensTheFourDisksInOrder) {
  FakeDriveDevices devices(PlatformFamily::WindowsNt);
  DriveIdentity identity(devices);
  EXPECT_EQ(devices.opened,
            (std::vector<std::string>{"\\\\.\\PhysicalDrive0", "\\\\.\\PhysicalDrive1",
                                      "\\\\.\\PhysicalDrive2", "\\\\.\\PhysicalDrive3"}));
  EXPECT_TRUE(devices.calls.empty());
  EXPECT_EQ(Fields(identity), kEmptyFields);
  EXPECT_TRUE(devices.boxes.empty());
  EXPECT_TRUE(devices.priorityChanges.empty());
}

TEST(QueryPhysicalDrives, OneDriveAnswering) {
  FakeDriveDevices devices(PlatformFamily::WindowsNt);
  devices.AddDisk(0).identify = Drive("  SN-1234", "MODEL ZERO");
  DriveIdentity identity(devices);
  EXPECT_EQ(Fields(identity),
            (std::vector<std::string>{"MODEL ZERO", "  SN-1234", "1.0", "536870912", "8192",
                                      "Fixed", "Primary Controller", "Master drive"}));
  EXPECT_EQ(devices.closed, 1);
}

TEST(QueryPhysicalDrives, LastAnsweringDriveWinsEvenWithAnEmptySerial) {
  FakeDriveDevices devices(PlatformFamily::WindowsNt);
  devices.AddDisk(0).identify = Drive("FIRST", "MODEL ZERO");
  devices.AddDisk(1).identify = Drive("", "MODEL ONE").Text(10, std::string(20, '\0'));
  DriveIdentity identity(devices);
  EXPECT_EQ(identity.serialNumber, "");
  EXPECT_EQ(identity.modelNumber, "MODEL ONE");
  EXPECT_EQ(identity.controllerName, "Primary Controller");
  EXPECT_EQ(identity.drivePosition, "Slave drive");
  EXPECT_EQ(devices.closed, 2);
}

TEST(QueryPhysicalDrives, DrivesThatDoNotAnswerAreSkipped) {
  const struct {
    const char* what;
    bool versionSucceeds;
    uint8_t deviceMap;
    bool identifySucceeds;
    size_t calls;  // control calls on disk 1
  } cases[] = {
      {"version reply with no IDE device map", true, 0x00, true, 1},
      {"failed version call leaves the zeroed map", false, 0x01, true, 1},
      {"identify command fails", true, 0x01, false, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDriveDevices devices(PlatformFamily::WindowsNt);
    devices.AddDisk(0).identify = Drive("DISK-0", "MODEL ZERO");
    auto& disk = devices.AddDisk(1);
    disk.identify = Drive("DISK-1", "MODEL ONE");
    disk.versionSucceeds = c.versionSucceeds;
    disk.deviceMap = c.deviceMap;
    disk.identifySucceeds = c.identifySucceeds;
    DriveIdentity identity(devices);
    EXPECT_EQ(identity.serialNumber, "DISK-0");
    EXPECT_EQ(identity.drivePosition, "Master drive");
    size_t disk1Calls = 0;
    for (const auto& call : devices.calls) disk1Calls += call.path == DiskPath(1);
    EXPECT_EQ(disk1Calls, c.calls);
    EXPECT_EQ(devices.closed, 2) << "every opened disk is closed";
  }
}

TEST(QueryPhysicalDrives, SuccessWithoutDataCountsAsAnAnswer) {
  FakeDriveDevices devices(PlatformFamily::WindowsNt);
  devices.AddDisk(0).identify = Drive("DISK-0", "MODEL ZERO");
  devices.AddDisk(2).writesIdentifyData = false;
  DriveIdentity identity(devices);
  EXPECT_EQ(Fields(identity), (std::vector<std::string>{"", "", "", "0", "0", "Unknown",
                                                        "Secondary Controller", "Master drive"}));
}

TEST(QueryPhysicalDrives, NoDriveAnsweringLeavesEveryFieldEmpty) {
  FakeDriveDevices devices(PlatformFamily::WindowsNt);
  for (int n = 0; n < 4; ++n) devices.AddDisk(n).identifySucceeds = false;
  DriveIdentity identity(devices);
  EXPECT_EQ(Fields(identity), kEmptyFields);
  EXPECT_EQ(devices.closed, 4);
}

TEST(QueryPhysicalDrives, VersionCallShape) {
  FakeDriveDevices devices(PlatformFamily::WindowsNt);
  devices.AddDisk(0);
  DriveIdentity identity(devices);
  ASSERT_EQ(devices.calls.size(), 2u);
  EXPECT_EQ(devices.calls[0].code, 0x74080u);
  EXPECT_TRUE(devices.calls[0].input.empty());
  EXPECT_EQ(devices.calls[0].outputSize, 24u);
  EXPECT_EQ(devices.calls[1].code, 0x7C088u);
  EXPECT_EQ(devices.calls[1].outputSize, 528u);
}

TEST(QueryPhysicalDrives, CommandRecordBytes) {
  const auto record = [](uint8_t driveHead, uint8_t command, uint8_t drive) {
    std::vector<uint8_t> bytes(32, 0);
    bytes[1] = 0x02;  // cBufferSize 512, little-endian
    bytes[5] = 1;
    bytes[6] = 1;
    bytes[9] = driveHead;
    bytes[10] = command;
    bytes[12] = drive;
    return bytes;
  };
  const struct {
    const char* what;
    int disk;
    uint8_t deviceMap;
    std::vector<uint8_t> expected;
  } cases[] = {
      {"even drive, IDE", 0, 0x01, record(0xA0, 0xEC, 0)},
      {"odd drive, IDE", 1, 0x03, record(0xB0, 0xEC, 1)},
      {"map 0x21: drive 0 has bit 4 clear", 0, 0x21, record(0xA0, 0xEC, 0)},
      {"map 0x21: drive 1 has bit 5 set", 1, 0x21, record(0xB0, 0xA1, 1)},
      {"odd drive, ATAPI", 3, 0x80, record(0xB0, 0xA1, 3)},
      {"even drive, ATAPI", 2, 0x40, record(0xA0, 0xA1, 2)},
      {"ATAPI bit of another drive", 2, 0x80, record(0xA0, 0xEC, 2)},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDriveDevices devices(PlatformFamily::WindowsNt);
    devices.AddDisk(c.disk).deviceMap = c.deviceMap;
    DriveIdentity identity(devices);
    ASSERT_EQ(devices.calls.size(), 2u);
    EXPECT_EQ(devices.calls[1].path, DiskPath(c.disk));
    EXPECT_EQ(devices.calls[1].input, c.expected);
  }
}

// --- The Windows 9x path over a scripted driver report.

launcher::VxdDriveReport Report(std::vector<int> controllers,
                                std::vector<std::pair<int, IdentifyBuilder>> slots) {
  launcher::VxdDriveReport report{};
  for (int controller : controllers) report.controllers[controller] = 1;
  for (auto& [slot, data] : slots) {
    report.drives[slot] = 1;
    data.CopyBytes(report.identifyData[slot]);
  }
  return report;
}

TEST(QueryVxdDrives, SlotsNeedTheirDriveAndControllerBytes) {
  const struct {
    const char* what;
    std::vector<int> controllers;
    std::vector<int> slots;
    const char* serial;
    const char* controller;
    const char* position;
  } cases[] = {
      {"slot 6 is the quaternary master",
       {0, 3},
       {0, 6},
       "SLOT-6",
       "Quaternary Controller",
       "Master drive"},
      {"slot 2 skipped without controller 1",
       {0},
       {0, 2},
       "SLOT-0",
       "Primary Controller",
       "Master drive"},
      {"slot 3 is the secondary slave", {1}, {3}, "SLOT-3", "Secondary Controller", "Slave drive"},
      {"last slot of eight",
       {0, 1, 2, 3},
       {1, 4, 7},
       "SLOT-7",
       "Quaternary Controller",
       "Slave drive"},
      {"a controller without drives gives nothing", {0, 1, 2, 3}, {}, "", "", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<std::pair<int, IdentifyBuilder>> slots;
    for (int slot : c.slots) slots.emplace_back(slot, Drive("SLOT-" + std::to_string(slot), "M"));
    FakeDriveDevices devices(PlatformFamily::Windows9x);
    devices.InstallDriver(Report(c.controllers, slots));
    DriveIdentity identity(devices);
    EXPECT_EQ(identity.serialNumber, c.serial);
    EXPECT_EQ(identity.controllerName, c.controller);
    EXPECT_EQ(identity.drivePosition, c.position);
    EXPECT_TRUE(devices.boxes.empty());
  }
}

TEST(QueryVxdDrives, DriverCallShape) {
  FakeDriveDevices devices(PlatformFamily::Windows9x);
  devices.InstallDriver(Report({0}, {{0, Drive("SLOT-0", "M")}}));
  DriveIdentity identity(devices);
  EXPECT_EQ(devices.opened, std::vector<std::string>{"\\\\.\\IDE21201.VXD"});
  ASSERT_EQ(devices.calls.size(), 1u);
  EXPECT_EQ(devices.calls[0].code, 1u);
  EXPECT_TRUE(devices.calls[0].input.empty());
  // The driver fills the whole report; declaring less would read past what the caller owns.
  EXPECT_EQ(devices.calls[0].outputSize, 4108u);
  EXPECT_EQ(devices.closed, 1);
  EXPECT_EQ(identity.serialNumber, "SLOT-0");
}

TEST(QueryVxdDrives, MissingDriverShowsTheBoxOncePerConstruction) {
  FakeDriveDevices devices(PlatformFamily::Windows9x);
  const std::pair<std::string, std::string> box{"ERROR: Could not open IDE21201.VXD file",
                                                "Pellwick"};
  DriveIdentity first(devices);
  EXPECT_EQ(devices.boxes, (std::vector<std::pair<std::string, std::string>>{box}));
  EXPECT_EQ(Fields(first), kEmptyFields);
  DriveIdentity second(devices);
  EXPECT_EQ(devices.boxes, (std::vector<std::pair<std::string, std::string>>{box, box}));
  EXPECT_TRUE(devices.calls.empty());
}

TEST(QueryVxdDrives, RestoresThePriorityClassItFound) {
  const struct {
    const char* what;
    uint32_t before;
    bool driverPresent;
    uint32_t after;
  } cases[] = {
      {"normal stays normal", 0x20, true, 0x20},
      {"below normal comes back", 0x4000, true, 0x4000},
      {"high comes back", 0x80, true, 0x80},
      {"restored when the driver is missing", 0x40, false, 0x40},
      {"unreadable class falls back to normal", 0, true, 0x20},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakeDriveDevices devices(PlatformFamily::Windows9x);
    devices.priorityClass = c.before;
    if (c.driverPresent) devices.InstallDriver(Report({0}, {{0, Drive("S", "M")}}));
    DriveIdentity identity(devices);
    EXPECT_EQ(devices.priorityChanges, (std::vector<uint32_t>{0x100, c.after}));
  }
}

TEST(DriveIdentity, UnknownPlatformFamilyQueriesNothing) {
  FakeDriveDevices devices(PlatformFamily::Other);
  devices.AddDisk(0);
  devices.InstallDriver(Report({0}, {{0, Drive("S", "M")}}));
  DriveIdentity identity(devices);
  EXPECT_EQ(Fields(identity), kEmptyFields);
  EXPECT_TRUE(devices.opened.empty());
  EXPECT_TRUE(devices.boxes.empty());
  EXPECT_TRUE(devices.priorityChanges.empty());
}

}  // namespace
