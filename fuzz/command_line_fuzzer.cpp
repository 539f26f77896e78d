// The reader's command line, in each ANSI code page the control may run under: for any texts a
// page passes and any numbers, the line is refused, or it is at most 511 characters and, read
// back the way the reader receives it (converted from the code page) and split by the
// documented rules of CommandLineToArgvW, gives exactly the options and each value as the code
// page holds it: one argument per value.
//
// Input: url \0 id \0 key \0 name \0 then one byte choosing the format and up to four 32-bit
// numbers (little-endian: read type, prior page, user type, download days). The texts are
// UTF-8 for the page's UTF-16; a byte that starts no UTF-8 sequence stands for the code point
// of its value, so every UTF-16 unit, lone surrogates included, can be reached. A text ends at
// its first U+0000, as a BSTR does for the conversion.
#include <iconv.h>

#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_support.h"
#include "platform/text.h"
#include "readinfo/command_line.h"
#include "support/argv_split.h"

namespace {

using launcher::BookRequest;
using launcher::CommandFormat;

const uint32_t kCodePages[] = {platform::kCodePageGbk, platform::kCodePageShiftJis,
                               platform::kCodePageUtf8};

std::u16string DecodeUtf8(std::string_view bytes) {
  std::u16string text;
  for (std::size_t pos = 0; pos < bytes.size();) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(bytes[pos + i]); };
    const unsigned char lead = byte(0);
    const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    bool whole = length > 1 && pos + length <= bytes.size();
    char32_t code = lead & (0x7F >> length);
    for (std::size_t i = 1; whole && i < length; ++i) {
      whole = (byte(i) & 0xC0) == 0x80;
      code = (code << 6) | (byte(i) & 0x3F);
    }
    if (!whole || code > 0x10FFFF) {
      code = lead;
      pos += 1;
    } else {
      pos += length;
    }
    if (code < 0x10000) {
      text += static_cast<char16_t>(code);
    } else {
      text += static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10));
      text += static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF));
    }
  }
  return text.substr(0, text.find(u'\0'));
}

int32_t NumberAt(std::string_view bytes, std::size_t index) {
  uint32_t number = 0;
  if (bytes.size() >= 4 * (index + 1)) std::memcpy(&number, bytes.data() + 4 * index, 4);
  return static_cast<int32_t>(number);
}

std::u16string Digits(int32_t number) {
  const std::string text = std::to_string(number);
  return std::u16string(text.begin(), text.end());
}

void CheckOneCodePage(uint32_t codePage, CommandFormat format,
                      const std::vector<std::u16string>& texts, const std::string_view numbers) {
  const auto toWide = [codePage](std::string_view text) {
    return platform::CodePageToUtf16(text, codePage);
  };
  BookRequest request;
  request.codePage = codePage;
  request.url = platform::Utf16ToCodePage(texts[0], codePage);
  request.id = platform::Utf16ToCodePage(texts[1], codePage);
  request.key = platform::Utf16ToCodePage(texts[2], codePage);
  request.name = platform::Utf16ToCodePage(texts[3], codePage);
  request.readType = NumberAt(numbers, 0);
  request.priorPageNo = NumberAt(numbers, 1);
  request.userType = NumberAt(numbers, 2);
  request.downDay = NumberAt(numbers, 3);
  const std::optional<std::string> line = launcher::FormatCommandLine(format, request);
  if (!line) return;
  fuzz::Check(line->size() <= launcher::kMaxCommandLine, "at most 511 characters");

  std::vector<std::u16string> expected = {
      u"-url", toWide(request.url),      u"-id", toWide(request.id),
      u"-t",   Digits(request.readType), u"-g",  Digits(request.priorPageNo),
      u"-key", toWide(request.key),      u"-n",  toWide(request.name)};
  if (format != CommandFormat::kDirect) {
    expected.insert(expected.end(), {u"-user", Digits(request.userType)});
  }
  if (format == CommandFormat::kNew3) {
    expected.insert(expected.end(), {u"-downDay", Digits(request.downDay)});
  }
  fuzz::Check(testing_support::SplitArguments(toWide(*line)) == expected,
              "every value comes back as exactly one argument");
}

}  // namespace

// glibc loads a code page's converter at iconv_open and unloads it at the last iconv_close, and
// the conversions open and close one each time: a descriptor per code page held open for the
// whole run keeps the converters loaded, which makes the run several times faster.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  static iconv_t held[3];
  const char* const names[] = {"CP936", "CP932", "UTF-8"};
  for (int i = 0; i < 3; ++i) held[i] = ::iconv_open("UTF-16LE", names[i]);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  const auto fields = fuzz::SplitFields(data, size, 5);
  const std::vector<std::u16string> texts = {DecodeUtf8(fields[0]), DecodeUtf8(fields[1]),
                                             DecodeUtf8(fields[2]), DecodeUtf8(fields[3])};
  const std::string_view rest = fields[4];
  const CommandFormat formats[] = {CommandFormat::kDirect, CommandFormat::kNew,
                                   CommandFormat::kNew3};
  const CommandFormat format = formats[rest.empty() ? 0 : static_cast<unsigned char>(rest[0]) % 3];
  const std::string_view numbers = rest.empty() ? rest : rest.substr(1);
  for (const uint32_t codePage : kCodePages) CheckOneCodePage(codePage, format, texts, numbers);
  return 0;
}
