#include "readinfo/read_info.h"

#include <chrono>
#include <memory>
#include <new>
#include <string_view>

#include "identity/drive_identity.h"
#include "platform/catch_all.h"
#include "readinfo/reader_locator.h"
#include "user_texts.h"

namespace launcher {
namespace {

// The argument up to its first zero in `codePage`; a null BSTR gives "".
std::string ToCodePage(BstrArg value, uint32_t codePage) {
  if (value == nullptr) return std::string();
  return platform::Utf16ToCodePage(std::u16string_view(value), codePage);
}

// The converted value when it fits a buffer of `size` bytes with its terminating zero.
std::optional<std::string> ToCodePageFitting(BstrArg value, std::size_t size, uint32_t codePage) {
  std::string text = ToCodePage(value, codePage);
  if (text.size() >= size) return std::nullopt;
  return text;
}

// The converted value cut at the last whole character that fits `size` bytes with the zero:
// the name is only shown, and a book with a long title must still open.
std::string ToCodePageCut(BstrArg value, std::size_t size, uint32_t codePage) {
  std::string text = ToCodePage(value, codePage);
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + platform::CharLength(codePage, text, end);
    if (next >= size) break;
    end = next;
  }
  text.resize(end);
  return text;
}

// Raises a flag for as long as it lives, however the scope that holds it is left.
class FlagHolder {
 public:
  explicit FlagHolder(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagHolder() { flag_ = false; }
  FlagHolder(const FlagHolder&) = delete;
  FlagHolder& operator=(const FlagHolder&) = delete;

 private:
  bool& flag_;
};

}  // namespace

int64_t SteadyMilliseconds() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

HResult ReadInfoMethods::PassReadInfoDirect(BstrArg bstrDataWebRoot, BstrArg bstrSbkID,
                                            int32_t lReadType, int32_t lPriorPageNo,
                                            BstrArg bstrKey, BstrArg bstrSbkName) {
  return LaunchReader(CommandFormat::kDirect, {bstrDataWebRoot, bstrSbkID, lReadType, lPriorPageNo,
                                               bstrKey, bstrSbkName, 0, 0});
}

HResult ReadInfoMethods::PassReadInfoDirectNew(BstrArg bstrDataWebRoot, BstrArg bstrSbkID,
                                               int32_t lReadType, int32_t lPriorPageNo,
                                               BstrArg bstrKey, BstrArg bstrSbkName,
                                               int32_t lUserType) {
  return LaunchReader(CommandFormat::kNew, {bstrDataWebRoot, bstrSbkID, lReadType, lPriorPageNo,
                                            bstrKey, bstrSbkName, lUserType, 0});
}

HResult ReadInfoMethods::PassReadInfoDirectNew3(BstrArg bstrDataWebRoot, BstrArg bstrSbkID,
                                                int32_t lReadType, int32_t lPriorPageNo,
                                                BstrArg bstrKey, BstrArg bstrSbkName,
                                                int32_t lUserType, int32_t lDownDay) {
  return LaunchReader(CommandFormat::kNew3, {bstrDataWebRoot, bstrSbkID, lReadType, lPriorPageNo,
                                             bstrKey, bstrSbkName, lUserType, lDownDay});
}

HResult ReadInfoMethods::PassEncryptURL(BstrArg) { return kSOk; }

HResult ReadInfoMethods::PassReadInfoDirectNew2(BstrArg, BstrArg, int32_t, int32_t, BstrArg,
                                                BstrArg, int32_t, BstrArg, BstrArg, BstrArg,
                                                BstrArg) {
  return kSOk;
}

std::u16string ReadInfoMethods::GetLocalID() noexcept {
  return platform::CatchAll(std::u16string(), [&] {
    std::unique_ptr<DriveDevices> systemDrives;
    DriveDevices* drives = platform_.drives;
    if (drives == nullptr && platform_.openSystemDrives != nullptr) {
      systemDrives = platform_.openSystemDrives();
      drives = systemDrives.get();
    }
    if (drives == nullptr) return std::u16string();
    const DriveIdentity identity(*drives);
    // The serial number's text up to its first NUL.
    return platform::AnsiToUtf16(identity.serialNumber.c_str());
  });
}

HResult ReadInfoMethods::LaunchReader(CommandFormat format, const Arguments& arguments) noexcept {
  return platform::CatchAll(kEOutOfMemory, kEUnexpected, [&]() -> HResult {
    if (arguments.url == nullptr || arguments.id == nullptr) return kSFalse;
    // The line is written in the code page the shell reads it back with, so every value is
    // quoted by the rules of the code page that converted it.
    const uint32_t codePage = platform_.codePage;
    BookRequest request;
    request.codePage = codePage;
    // A value that does not fit would reach the reader cut short, naming another book or
    // server; such a request is refused like a missing one.
    std::optional<std::string> url = ToCodePageFitting(arguments.url, kUrlSize, codePage);
    std::optional<std::string> id = ToCodePageFitting(arguments.id, kIdSize, codePage);
    std::optional<std::string> key = ToCodePageFitting(arguments.key, kKeySize, codePage);
    if (!url || !id || !key) return kSFalse;
    request.url = std::move(*url);
    request.id = std::move(*id);
    request.key = std::move(*key);
    request.name = ToCodePageCut(arguments.name, kNameSize, codePage);
    request.readType = arguments.readType;
    request.priorPageNo = arguments.priorPageNo;
    request.userType = arguments.userType;
    request.downDay = arguments.downDay;
    const std::optional<std::string> commandLine = FormatCommandLine(format, request);
    if (!commandLine) return kSFalse;

    const std::optional<std::string> reader = LocateReader(platform_.registry, platform_.files);
    if (reader) {
      // A reader that fails to start is not reported: the page has nothing to do about it.
      platform_.shell.Execute(*reader, *commandLine);
    } else {
      WarnReaderMissing();
    }
    return kSOk;
  });
}

void ReadInfoMethods::WarnReaderMissing() {
  // The box runs a message loop, in which the page's script may call again: one box at a time,
  // and a quiet spell after it, so that no page can keep the user clicking boxes away.
  if (warningOpen_) return;
  if (warningClosedAt_ &&
      platform_.milliseconds() - *warningClosedAt_ < kWarningQuietMilliseconds) {
    return;
  }
  {
    const FlagHolder open(warningOpen_);
    platform_.messageBoxes.Show(texts::kReaderMissing, texts::kNoticeCaption,
                                platform::kMbOk | platform::kMbIconWarning);
  }
  warningClosedAt_ = platform_.milliseconds();
}

}  // namespace launcher
