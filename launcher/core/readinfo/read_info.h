// The members of IReadInfo as plain C++ over the platform layer: the launching methods and
// GetLocalID. The COM class forwards its BSTR arguments (UTF-16, owned by the caller) and longs
// here; one ReadInfoMethods lives as long as its object.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "identity/drive_devices.h"
#include "module/com_rules.h"
#include "platform/file_system.h"
#include "platform/registry.h"
#include "platform/shell.h"
#include "platform/text.h"
#include "readinfo/command_line.h"

namespace launcher {

using com::HResult;
using com::kEOutOfMemory;
using com::kEUnexpected;
using com::kSFalse;
using com::kSOk;

// A BSTR argument: zero-terminated UTF-16, read up to its first zero; null is allowed.
using BstrArg = const char16_t*;

// Milliseconds on the system's steady clock.
int64_t SteadyMilliseconds();

// What the members need of the platform: the current user's registry (the default value of the
// reader's key), the file system (does a path exist), the shell (start the reader with its
// command line), message boxes (tell the user that the reader is missing), the code page the
// shell reads the command line in, a clock, and the drives that GetLocalID asks.
struct ReadInfoPlatform {
  platform::Registry& registry;
  platform::FileSystem& files;
  platform::Shell& shell;
  platform::MessageBoxes& messageBoxes;
  uint32_t codePage = platform::AnsiCodePage();
  std::function<int64_t()> milliseconds = SteadyMilliseconds;
  DriveDevices* drives = nullptr;  // null: the devices openSystemDrives gives, on each call
  std::unique_ptr<DriveDevices> (*openSystemDrives)() = nullptr;  // null: no drives are asked
};

// Byte sizes of the converted values, terminating zero included.
inline constexpr std::size_t kUrlSize = 260;
inline constexpr std::size_t kIdSize = 64;
inline constexpr std::size_t kKeySize = 64;
inline constexpr std::size_t kNameSize = 128;

// After the missing-reader warning is closed, no other is shown for this long.
inline constexpr int64_t kWarningQuietMilliseconds = 10000;

class ReadInfoMethods {
 public:
  explicit ReadInfoMethods(const ReadInfoPlatform& platform) : platform_(platform) {}

  // The launching methods. S_FALSE when the url or the id is null, a value does not fit its
  // buffer or is one the reader must never receive (FormatCommandLine), or the command line
  // would be too long: then nothing starts and nothing shows. Otherwise S_OK, whether the
  // reader started, the shell failed, or the user was told that the reader is missing (at
  // most once in kWarningQuietMilliseconds, and never while that box is still open).
  HResult PassReadInfoDirect(BstrArg bstrDataWebRoot, BstrArg bstrSbkID, int32_t lReadType,
                             int32_t lPriorPageNo, BstrArg bstrKey, BstrArg bstrSbkName);
  HResult PassReadInfoDirectNew(BstrArg bstrDataWebRoot, BstrArg bstrSbkID, int32_t lReadType,
                                int32_t lPriorPageNo, BstrArg bstrKey, BstrArg bstrSbkName,
                                int32_t lUserType);
  HResult PassReadInfoDirectNew3(BstrArg bstrDataWebRoot, BstrArg bstrSbkID, int32_t lReadType,
                                 int32_t lPriorPageNo, BstrArg bstrKey, BstrArg bstrSbkName,
                                 int32_t lUserType, int32_t lDownDay);

  // These do nothing, whatever their arguments (null ones included), and return S_OK.
  HResult PassEncryptURL(BstrArg bstrEncryptURL);
  HResult PassReadInfoDirectNew2(BstrArg bstrDataWebRoot, BstrArg bstrSbkID, int32_t lReadType,
                                 int32_t lPriorPageNo, BstrArg bstrKey, BstrArg bstrSbkName,
                                 int32_t lUserType, BstrArg bstrFeiPercent, BstrArg bstrUserId,
                                 BstrArg bstrReadPercent, BstrArg bstrPathSbkID);

  // The local machine identifier: the serial number of the last drive that answered the
  // identify command, asked anew on each call. Empty when no drive answers or memory runs out.
  std::u16string GetLocalID() noexcept;

 private:
  struct Arguments {
    BstrArg url;
    BstrArg id;
    int32_t readType;
    int32_t priorPageNo;
    BstrArg key;
    BstrArg name;
    int32_t userType;
    int32_t downDay;
  };

  HResult LaunchReader(CommandFormat format, const Arguments& arguments) noexcept;
  void WarnReaderMissing();

  ReadInfoPlatform platform_;
  bool warningOpen_ = false;
  std::optional<int64_t> warningClosedAt_;
};

}  // namespace launcher
