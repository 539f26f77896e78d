#include "manifest/manifest_entry.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct EntryCase {
  const char* what;
  std::string entry;
  bool safe;
};

// GBK characters whose trail byte is 0x5C ('\'): not separators.
const std::string kTrail5c = "\x95\x5c";  // U+661E
const std::string kTrail5cFolder = "\x81\x5c";

const EntryCase kEntryCases[] = {
    {"plain file", "setup.exe", true},
    {"file in a subfolder", "sub\\b.dll", true},
    {"forward slash as separator", "sub/b.dll", true},
    {"deeper folders", "a\\b\\c\\d.txt", true},
    {"dots inside a name", "a..b.txt", true},
    {"a name starting with dots", "..hidden.txt", true},
    {"GBK name", "\xd6\xd0\xce\xc4.txt", true},
    {"GBK folder whose trail byte is 0x5C", kTrail5cFolder + "\\b.dll", true},
    {"trail byte 0x5C followed by dots is one component", kTrail5c + "..\\b.dll", true},
    {"device name as part of a longer name", "CONSOLE.txt", true},
    {"COM without a digit", "COM.txt", true},
    {"COM0 is no device", "COM0", true},
    {"LPT10 is no device", "LPT10.txt", true},
    {"manifest name inside a longer name", "update.ini.bak", true},
    {"manifest name as a folder", "update.ini\\x.txt", true},
    {"partial inside a longer name", "a.partial.txt", true},
    {"partial as a folder", "x.partial\\a.txt", true},
    {"the log's name in a subfolder", "sub\\ostrel.log", true},
    {"a name that only starts like the log", "ostrel.log.2", true},

    {"empty", "", false},
    {"absolute with a backslash", "\\evil.txt", false},
    {"absolute with a slash", "/evil.txt", false},
    {"UNC path", "\\\\server\\share\\evil.txt", false},
    {"drive letter", "C:\\evil.txt", false},
    {"drive-relative", "C:evil.txt", false},
    {"alternate data stream", "setup.exe:stream", false},
    {"zero byte, where the platform's name ends", std::string("\0setup.exe", 10), false},
    {"a CR, which would split the record's line", "quoed.lld\r", false},
    {"a tab in a folder's name", "sub\t\\a.dll", false},
    {"control byte 0x1F", "a\x1f.dll", false},
    {"DEL is a file name character", "a\x7f.dll", true},
    {"parent folder", "..\\evil.txt", false},
    {"parent folder with a slash", "../evil.txt", false},
    {"parent folder in the middle", "sub\\..\\..\\evil.txt", false},
    {"current folder", ".\\setup.exe", false},
    {"three dots", "...\\evil.txt", false},
    {"only dots", "..", false},
    {"parent step with a blank that Windows drops", "sub\\.. ", false},
    {"only blanks", "sub\\  \\b.dll", false},
    {"empty component", "sub\\\\b.dll", false},
    {"trailing separator", "sub\\", false},
    {"GBK name then a real parent step", kTrail5c + "\\..\\..\\evil.txt", false},
    {"a lead byte does not hide the '/' after it", "T\x9c/CON .txt", false},
    {"CON", "CON", false},
    {"con in lower case", "con", false},
    {"NUL with an extension", "nul.txt", false},
    {"AUX in a folder", "sub\\aux.dll", false},
    {"PRN as a folder", "PRN\\a.txt", false},
    {"COM1", "COM1", false},
    {"com9 with an extension", "com9.log", false},
    {"LPT1", "LPT1", false},
    {"lpt5 with an extension", "Lpt5.dat", false},
    {"device with trailing blanks", "CON .txt", false},
    {"device with a trailing dot", "NUL.", false},
    {"the manifest", "update.ini", false},
    {"the record", "updateok.ini", false},
    {"the manifest in capitals", "UPDATE.INI", false},
    {"the record in mixed case", "UpdateOK.Ini", false},
    {"the manifest in a subfolder", "sub\\update.ini", false},
    {"the manifest with a trailing dot", "update.ini.", false},
    {"the record with a trailing blank", "updateok.ini ", false},
    {"a temporary name", "setup.exe.partial", false},
    {"a temporary name in capitals, in a folder", "sub\\b.dll.PARTIAL", false},
    {"a temporary name with a trailing dot", "a.partial.", false},
    {"a temporary name after a lone GBK lead byte", "a\x81.partial", false},
    {"the log", "ostrel.log", false},
    {"the older log in capitals", "OSTREL.LOG.1", false},
    {"the log with a trailing blank", "ostrel.log ", false},
    {"the signed-version mark", "OSTREL-signed-version.txt.", false},
};

TEST(ManifestEntry, SafeEntries) {
  for (const EntryCase& row : kEntryCases) {
    EXPECT_EQ(updater::IsSafeManifestEntry(row.entry), row.safe) << row.what << ": " << row.entry;
  }
}

TEST(ManifestEntry, ManifestFileNames) {
  const struct {
    const char* name;
    bool manifest;
  } cases[] = {
      {"update.ini", true},  {"UPDATE.INI", true}, {"UpdateOK.ini", true},  {"updateok.ini", true},
      {"update.ini.", true}, {"update.in", false}, {"update.ini2", false},  {"xupdate.ini", false},
      {"setup.exe", false},  {"", false},          {"updateok.ini2", false}};
  for (const auto& row : cases) {
    EXPECT_EQ(updater::IsManifestFileName(row.name), row.manifest) << row.name;
  }
}

}  // namespace
