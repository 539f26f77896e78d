#include "readinfo/read_info.h"

#include <new>
#include <optional>
#include <string_view>

#include "platform/gbk.h"
#include "platform/text.h"
#include "readinfo/reader_locator.h"

namespace pellwick {
namespace {

// The argument up to its first zero in the ANSI code page; a null BSTR gives "".
std::string ToAnsi(BstrArg value) {
  if (value == nullptr) return std::string();
  return platform::Utf16ToAnsi(std::u16string_view(value));
}

// The converted value when it fits a buffer of `size` bytes with its terminating zero.
std::optional<std::string> ToAnsiFitting(BstrArg value, std::size_t size) {
  std::string text = ToAnsi(value);
  if (text.size() >= size) return std::nullopt;
  return text;
}

// The converted value cut at the last whole character that fits `size` bytes with the zero:
// the name is only shown, and a book with a long title must still open.
std::string ToAnsiCut(BstrArg value, std::size_t size) {
  std::string text = ToAnsi(value);
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + platform::GbkCharLength(text, end);
    if (next >= size) break;
    end = next;
  }
  text.resize(end);
  return text;
}

}  // namespace

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

HResult ReadInfoMethods::LaunchReader(CommandFormat format, const Arguments& arguments) noexcept {
  try {
    if (arguments.url == nullptr || arguments.id == nullptr) return kSFalse;
    BookRequest request;
    // A value that does not fit would reach the reader cut short, naming another book or
    // server; such a request is refused like a missing one.
    std::optional<std::string> url = ToAnsiFitting(arguments.url, kUrlSize);
    std::optional<std::string> id = ToAnsiFitting(arguments.id, kIdSize);
    std::optional<std::string> key = ToAnsiFitting(arguments.key, kKeySize);
    if (!url || !id || !key) return kSFalse;
    request.url = std::move(*url);
    request.id = std::move(*id);
    request.key = std::move(*key);
    request.name = ToAnsiCut(arguments.name, kNameSize);
    request.readType = arguments.readType;
    request.priorPageNo = arguments.priorPageNo;
    request.userType = arguments.userType;
    request.downDay = arguments.downDay;
    const std::optional<std::string> commandLine = FormatCommandLine(format, request);
    if (!commandLine) return kSFalse;

    const std::optional<std::string> reader = ReaderLocator(platform_.registry, platform_.files);
    if (reader) {
      // A reader that fails to start is not reported: the page has nothing to do about it.
      platform_.shell.Execute(*reader, *commandLine);
    } else {
      platform_.messageBoxes.Show(kReaderMissingText, kReaderMissingCaption,
                                  platform::kMbOk | platform::kMbIconWarning);
    }
    return kSOk;
  } catch (const std::bad_alloc&) {
    return kEOutOfMemory;
  } catch (...) {
    return kEUnexpected;
  }
}

}  // namespace pellwick
