// The launch end to end under Wine: the reader's folder in the real registry (below a key of
// the test's own), the real file system, ShellExecuteA starting the stand-in Tavrel.exe, which
// records the arguments it received. Only the warning box is replaced, so no test can block.
#include <gtest/gtest.h>
#include <objbase.h>
#include <windows.h>

#include <chrono>
#include <cstdlib>
#include <memory>

#include "platform/processes.h"
#include "platform/text.h"
#include "readinfo/read_info.h"
#include "readinfo/reader_locator.h"
#include "support/launch_cases.h"
#include "support/redirected_registry.h"
#include "support/temp_folder.h"
#include "support/unique_name.h"
#include "user_texts.h"

namespace {

using launcher::CommandFormat;
using launcher::kSOk;

class CountingBoxes final : public platform::MessageBoxes {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t style) override {
    ++shown;
    lastText = text;
    lastCaption = caption;
    lastStyle = style;
    return IDOK;
  }
  int shown = 0;
  std::string lastText;
  std::string lastCaption;
  uint32_t lastStyle = 0;
};

// What the stand-in reader recorded: its raw command line, then its argv.
struct Record {
  std::u16string commandLine;
  std::vector<std::u16string> argv;
};

class ReaderLaunch : public ::testing::Test {
 protected:
  // The browser calls the control on a single-threaded apartment; ShellExecute expects one.
  ReaderLaunch() : com_(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
  ~ReaderLaunch() override {
    if (SUCCEEDED(com_)) ::CoUninitialize();
  }

  // A folder with a copy of the stand-in reader, recorded as the reader's folder.
  std::string InstallReader(const std::string& name, const std::string& registryValue) {
    const std::string folder = temp_.Child(name);
    EXPECT_EQ(platform::SystemFileSystem().CreateFolder(folder),
              platform::CreateFolderResult::kCreated);
    EXPECT_TRUE(::CopyFileA(StubPath().c_str(), (folder + "\\Tavrel.exe").c_str(), TRUE))
        << StubPath();
    SetReaderFolder(registryValue.empty() ? folder : registryValue);
    return folder;
  }

  void SetReaderFolder(const std::string& value) {
    registry_.CreateKey(launcher::kReaderKey)->SetValue("", platform::StringValue(value));
  }

  // Waits for the stand-in's record, at most 30 seconds; removes it once read.
  std::optional<Record> WaitForRecord(const std::string& folder) {
    const std::string path = folder + "\\launch.rec";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    // The record can show up before it can be opened (the stand-in may still hold it while
    // Wine completes the rename), so wait until it reads whole.
    std::string bytes;
    while ((bytes = ReadAndRemove(path)).empty()) {
      if (std::chrono::steady_clock::now() > deadline) return std::nullopt;
      ::Sleep(10);
    }
    std::u16string units(bytes.size() / 2, u'\0');
    for (std::size_t i = 0; i < units.size(); ++i) {
      units[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    }
    Record record;
    std::vector<std::u16string> parts;
    for (std::size_t start = 0; start < units.size();) {
      const std::size_t end = units.find(u'\0', start);
      if (end == std::u16string::npos) break;
      parts.push_back(units.substr(start, end - start));
      start = end + 1;
    }
    if (parts.empty()) return record;
    record.commandLine = parts[0];
    record.argv.assign(parts.begin() + 1, parts.end());
    return record;
  }

  // Through the ANSI API, as the folder's name is GBK. Empty while the record cannot be read;
  // the record is removed once read.
  static std::string ReadAndRemove(const std::string& path) {
    std::string bytes;
    {
      const HANDLE handle = ::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                          OPEN_EXISTING, 0, nullptr);
      if (handle == INVALID_HANDLE_VALUE) return bytes;
      const std::unique_ptr<void, decltype(&::CloseHandle)> file(handle, &::CloseHandle);
      char buffer[4096];
      DWORD read = 0;
      while (::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr) && read > 0) {
        bytes.append(buffer, read);
      }
    }
    if (!bytes.empty()) ::DeleteFileA(path.c_str());
    return bytes;
  }

  static std::string StubPath() {
    const std::string module = platform::ProgramFileName();
    return module.substr(0, module.find_last_of('\\')) + "\\reader_stub\\Tavrel.exe";
  }

  CountingBoxes boxes;
  testing_support::TempFolder temp_;
  testing_support::RedirectedRegistry registry_{
      platform::CurrentUserRegistry(), testing_support::UniqueName("Software\\TavrelTests\\l")};
  int64_t now = 0;
  launcher::ReadInfoMethods methods{{registry_, platform::SystemFileSystem(),
                                     platform::SystemShell(), boxes, platform::AnsiCodePage(),
                                     [this] { return now; }}};

 private:
  HRESULT com_;
};

TEST_F(ReaderLaunch, WorkedExampleReachesTheReader) {
  // The folder's name ends in a GBK character whose trail byte is 0x5C, and the registry
  // value carries a trailing backslash: one separator is cut, the character is kept.
  const std::string folderName = "\xd4\xc4\x81\x5c";
  const std::string folder = InstallReader(folderName, temp_.Child(folderName) + "\\");
  ASSERT_EQ(methods.PassReadInfoDirectNew3(u"root", u"A1", 2, 15, u"", u"\u4e66\u540d", 3, -1),
            kSOk);
  const std::optional<Record> record = WaitForRecord(folder);
  ASSERT_TRUE(record.has_value()) << "the reader did not start";
  EXPECT_EQ(boxes.shown, 0);
  const std::u16string parameters =
      u"-url root -id A1 -t 2 -g 15 -key \"\" -n \"\u4e66\u540d\" -user 3 -downDay -1";
  const std::u16string& line = record->commandLine;
  ASSERT_GE(line.size(), parameters.size()) << platform::Utf16ToAnsi(line);
  EXPECT_EQ(line.substr(line.size() - parameters.size()), parameters)
      << platform::Utf16ToAnsi(line);
  ASSERT_EQ(record->argv.size(), 17u);
  EXPECT_EQ(platform::Utf16ToAnsi(record->argv[0]), folder + "\\Tavrel.exe");
}

TEST_F(ReaderLaunch, HostileValuesArriveAsOneArgumentEach) {
  // CTest runs this under more than one ANSI code page and says which.
  const char* codePage = std::getenv("TAVREL_EXPECTED_CODE_PAGE");
  ASSERT_NE(codePage, nullptr);
  ASSERT_EQ(platform::AnsiCodePage(), static_cast<uint32_t>(std::atoi(codePage)));
  const std::string folder = InstallReader("Reader", "");
  for (std::size_t i = 0; i < std::size(testing_support::kHostileValues); ++i) {
    const testing_support::HostileRow row = testing_support::HostileRowAt(i);
    SCOPED_TRACE(platform::Utf16ToAnsi(row.url) + " | " + platform::Utf16ToAnsi(row.id) + " | " +
                 platform::Utf16ToAnsi(row.key) + " | " + platform::Utf16ToAnsi(row.name));
    ASSERT_EQ(methods.PassReadInfoDirectNew3(row.url.c_str(), row.id.c_str(), 2, 15,
                                             row.key.c_str(), row.name.c_str(), 3, -1),
              kSOk);
    const std::optional<Record> record = WaitForRecord(folder);
    ASSERT_TRUE(record.has_value()) << "the reader did not start";
    SCOPED_TRACE(platform::Utf16ToAnsi(record->commandLine));
    ASSERT_FALSE(record->argv.empty());
    const std::vector<std::u16string> received(record->argv.begin() + 1, record->argv.end());
    EXPECT_EQ(received, testing_support::ExpectedArguments(CommandFormat::kNew3, row,
                                                           platform::AnsiCodePage()));
  }
  EXPECT_EQ(boxes.shown, 0);
}

TEST_F(ReaderLaunch, MissingReaderShowsTheWarningAndSucceeds) {
  const std::string empty = temp_.Child("Empty");
  ASSERT_EQ(platform::SystemFileSystem().CreateFolder(empty),
            platform::CreateFolderResult::kCreated);
  SetReaderFolder(empty);
  EXPECT_EQ(methods.PassReadInfoDirect(u"root", u"A1", 2, 15, u"", u"n"), kSOk);
  EXPECT_EQ(boxes.shown, 1);
  EXPECT_EQ(boxes.lastText, texts::kReaderMissing);
  EXPECT_EQ(boxes.lastCaption, texts::kNoticeCaption);
  EXPECT_EQ(boxes.lastStyle, static_cast<uint32_t>(MB_OK | MB_ICONWARNING));
  registry_.DeleteTree(launcher::kReaderKey);
  now += launcher::kWarningQuietMilliseconds;
  EXPECT_EQ(methods.PassReadInfoDirectNew(u"root", u"A1", 2, 15, u"", u"n", 3), kSOk);
  EXPECT_EQ(boxes.shown, 2);
}

TEST(Win32Shell, ReportsAProgramThatCannotStart) {
  testing_support::TempFolder temp;
  EXPECT_FALSE(platform::SystemShell().Execute(temp.Child("Missing\\Tavrel.exe"), "-url x"));
}

}  // namespace
