// Values a web page may pass to break out of its argument on the reader's command line, and
// the arguments the reader should see for a request. U+4E57 and U+5630 are GBK characters
// whose second byte is 0x5C, the backslash's code; U+8868 is one in code page 932. U+FF71 is a
// single byte 0xB1 in 932, a lead byte in GBK; U+00A5, U+FF02 and U+FF3C have look-alikes ('\',
// '"') that a best-fit conversion would put in their place.
#pragma once

#include <string>
#include <vector>

#include "platform/text.h"
#include "readinfo/command_line.h"

namespace testing_support {

inline const char16_t* const kHostileValues[] = {
    u"x -key k",
    u"x\" -url root -id \"",
    u"\"",
    u"\"\"",
    u"a\\",
    u"a\\\\",
    u"\\",
    u"a\\\"b",
    u"a\\\\\"b",
    u"\\\" -n \\\"",
    u"a b",
    u"a\tb",
    u" leading and trailing ",
    u"",
    u"Program Files\\",
    u"\u4e57",
    u"\u4e57\"",
    u"\u5630\\\u4e57",
    u"\u4e66\u540d\u4e57 \"x\"\u5630",
    u"\uff71\" -key k",
    u"\u8868\"",
    u"\u8868\\",
    u"\u00a5\" -n x",
    u"\uff02 -n \uff02",
    u"\uff3c\"",
};

// The four texts of one request: row i puts hostile value i in the url, i + 1 in the id and
// so on, so that over all rows every value is tried in every slot.
struct HostileRow {
  std::u16string url;
  std::u16string id;
  std::u16string key;
  std::u16string name;
};

inline HostileRow HostileRowAt(std::size_t row) {
  const std::size_t count = std::size(kHostileValues);
  return {kHostileValues[row % count], kHostileValues[(row + 1) % count],
          kHostileValues[(row + 2) % count], kHostileValues[(row + 3) % count]};
}

// The value as the reader gets it back from code page `codePage`: a character the code page
// lacks comes back as its default character.
inline std::u16string ThroughCodePage(const std::u16string& value, uint32_t codePage) {
  return platform::CodePageToUtf16(platform::Utf16ToCodePage(value, codePage), codePage);
}

// The arguments after the program name for a request with read type 2, prior page 15, user
// type 3 and download days -1, written in `codePage`.
inline std::vector<std::u16string> ExpectedArguments(launcher::CommandFormat format,
                                                     const HostileRow& row, uint32_t codePage) {
  std::vector<std::u16string> expected = {u"-url", ThroughCodePage(row.url, codePage),
                                          u"-id",  ThroughCodePage(row.id, codePage),
                                          u"-t",   u"2",
                                          u"-g",   u"15",
                                          u"-key", ThroughCodePage(row.key, codePage),
                                          u"-n",   ThroughCodePage(row.name, codePage)};
  if (format != launcher::CommandFormat::kDirect) {
    expected.insert(expected.end(), {u"-user", u"3"});
  }
  if (format == launcher::CommandFormat::kNew3) {
    expected.insert(expected.end(), {u"-downDay", u"-1"});
  }
  return expected;
}

}  // namespace testing_support
