// The members of IReadInfo that launch the reader, as plain C++ over the platform layer. The
// COM class forwards its BSTR arguments (UTF-16, owned by the caller) and longs here.
#pragma once

#include <cstddef>
#include <cstdint>

#include "readinfo/command_line.h"
#include "readinfo/launch_platform.h"

namespace pellwick {

using HResult = int32_t;
inline constexpr HResult kSOk = 0;
inline constexpr HResult kSFalse = 1;
inline constexpr HResult kEOutOfMemory = static_cast<HResult>(0x8007000EU);
inline constexpr HResult kEUnexpected = static_cast<HResult>(0x8000FFFFU);

// A BSTR argument: zero-terminated UTF-16, read up to its first zero; null is allowed.
using BstrArg = const char16_t*;

// Byte sizes of the converted values, terminating zero included.
inline constexpr std::size_t kUrlSize = 260;
inline constexpr std::size_t kIdSize = 64;
inline constexpr std::size_t kKeySize = 64;
inline constexpr std::size_t kNameSize = 128;

// The warning shown when the reader cannot be found (GBK).
inline constexpr char kReaderMissingText[] =
    "\xd4\xc4\xb6\xc1\xc6\xf7\xb0\xb2\xd7\xb0\xce\xc4\xbc\xfe\xcb\xf0\xbb\xb5,"
    "\xc7\xeb\xd6\xd8\xd0\xc2\xb0\xb2\xd7\xb0\xd4\xc4\xb6\xc1\xc6\xf7!";
inline constexpr char kReaderMissingCaption[] = "\xcc\xe1\xca\xbe";

class ReadInfoMethods {
 public:
  explicit ReadInfoMethods(const LaunchPlatform& platform) : platform_(platform) {}

  // The launching methods. S_FALSE when the url or the id is null or does not fit its buffer,
  // or the command line would be too long: then nothing starts and nothing shows. Otherwise
  // S_OK, whether the reader started, the shell failed, or the user was told that the reader
  // is missing.
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

  LaunchPlatform platform_;
};

}  // namespace pellwick
