// Values a web page may pass to break out of its argument on the reader's command line, and
// the arguments the reader should see for a request. U+4E57 and U+5630 are GBK characters
// whose second byte is 0x5C, the backslash's code.
#pragma once

#include <string>
#include <vector>

#include "readinfo/command_line.h"

namespace testing_support {

inline const char16_t* const kHostileValues[] = {
    u"x -key k",
    u"x\" -url http://evil -id \"",
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
    u"-id",
    u"C:\\Program Files\\",
    u"\u4e57",
    u"\u4e57\"",
    u"\u5630\\\u4e57",
    u"\u4e66\u540d\u4e57 \"x\"\u5630",
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

// The arguments after the program name for a request with read type 2, prior page 15, user
// type 3 and download days -1.
inline std::vector<std::u16string> ExpectedArguments(pellwick::CommandFormat format,
                                                     const HostileRow& row) {
  std::vector<std::u16string> expected = {u"-url", row.url, u"-id",  row.id,  u"-t", u"2",
                                          u"-g",   u"15",   u"-key", row.key, u"-n", row.name};
  if (format != pellwick::CommandFormat::kDirect) {
    expected.insert(expected.end(), {u"-user", u"3"});
  }
  if (format == pellwick::CommandFormat::kNew3) {
    expected.insert(expected.end(), {u"-downDay", u"-1"});
  }
  return expected;
}

}  // namespace testing_support
