// The launching members over fakes: what they start, what they show, what they return.
#include "readinfo/read_info.h"

#include <gtest/gtest.h>

#include <functional>

#include "support/fake_drive_devices.h"
#include "platform/memory_registry.h"
#include "platform/text.h"
#include "readinfo/reader_locator.h"
#include "support/argv_split.h"
#include "support/inert_file_system.h"
#include "support/launch_cases.h"

namespace {

using launcher::kSFalse;
using launcher::kSOk;

struct Started {
  std::string file;
  std::string parameters;
};

class RecordingShell final : public platform::Shell {
 public:
  bool Execute(const std::string& file, const std::string& parameters) override {
    started.push_back({file, parameters});
    return succeeds;
  }
  std::vector<Started> started;
  bool succeeds = true;
};

struct Shown {
  std::string text;
  std::string caption;
  uint32_t style;
};

class RecordingBoxes final : public platform::MessageBoxes {
 public:
  int Show(const std::string& text, const std::string& caption, uint32_t style) override {
    shown.push_back({text, caption, style});
    return 1;  // IDOK
  }
  std::vector<Shown> shown;
};

class ExistingFiles final : public testing_support::InertFileSystem {
 public:
  bool Exists(const std::string& path) override { return !path.empty() && readerInstalled; }
  bool readerInstalled = true;
};

class LaunchingMembers : public ::testing::Test {
 protected:
  LaunchingMembers() {
    registry.CreateKey(launcher::kReaderKey)->SetValue("", platform::StringValue("C:\\Tavrel"));
  }

  // The one command line started, or "" after failing the test.
  std::string StartedLine() {
    EXPECT_TRUE(boxes.shown.empty());
    if (shell.started.size() != 1) {
      ADD_FAILURE() << shell.started.size() << " programs started";
      return std::string();
    }
    EXPECT_EQ(shell.started[0].file, "C:\\Tavrel\\Tavrel.exe");
    return shell.started[0].parameters;
  }

  void ExpectNothingHappened() {
    EXPECT_TRUE(shell.started.empty());
    EXPECT_TRUE(boxes.shown.empty());
  }

  launcher::ReadInfoPlatform Platform(uint32_t codePage) {
    return {registry, files, shell, boxes, codePage, [this] { return now; }, &drives};
  }

  platform::MemoryRegistry registry;
  ExistingFiles files;
  RecordingShell shell;
  RecordingBoxes boxes;
  int64_t now = 0;
  testing_support::FakeDriveDevices drives{launcher::PlatformFamily::WindowsNt};
  launcher::ReadInfoMethods methods{Platform(platform::kCodePageGbk)};
};

const char16_t kBookName[] = u"\u4e66\u540d";
const char kBookNameGbk[] = "\xca\xe9\xc3\xfb";

TEST_F(LaunchingMembers, WorkedExampleInEachFormat) {
  const std::string common =
      std::string("-url root -id A1 -t 2 -g 15 -key \"\" -n \"") + kBookNameGbk + "\"";
  EXPECT_EQ(methods.PassReadInfoDirect(u"root", u"A1", 2, 15, u"", kBookName), kSOk);
  EXPECT_EQ(StartedLine(), common);
  shell.started.clear();
  EXPECT_EQ(methods.PassReadInfoDirectNew(u"root", u"A1", 2, 15, u"", kBookName, 3), kSOk);
  EXPECT_EQ(StartedLine(), common + " -user 3");
  shell.started.clear();
  EXPECT_EQ(methods.PassReadInfoDirectNew3(u"root", u"A1", 2, 15, u"", kBookName, 3, -1), kSOk);
  EXPECT_EQ(StartedLine(), common + " -user 3 -downDay -1");
}

TEST_F(LaunchingMembers, ArgumentValues) {
  const struct {
    const char* what;
    const char16_t* url;
    const char16_t* id;
    const char16_t* key;
    const char16_t* name;
    const char* expected;  // nullptr: S_FALSE and nothing started
  } cases[] = {
      {"null url", nullptr, u"A1", u"k", u"n", nullptr},
      {"null id", u"root", nullptr, u"k", u"n", nullptr},
      {"null key and name are empty", u"root", u"A1", nullptr, nullptr,
       "-url root -id A1 -t 2 -g 15 -key \"\" -n \"\""},
      {"empty url and id stay arguments", u"", u"", u"", u"",
       "-url \"\" -id \"\" -t 2 -g 15 -key \"\" -n \"\""},
      {"unrepresentable character", u"root", u"A1", u"k", u"\u0e01",
       "-url root -id A1 -t 2 -g 15 -key \"k\" -n \"?\""},
      {"blank in the id is quoted", u"root", u"A 1", u"k", u"n",
       "-url root -id \"A 1\" -t 2 -g 15 -key \"k\" -n \"n\""},
      {"no best fit for the yen sign", u"root", u"A1", u"\u00a5", u"n",
       "-url root -id A1 -t 2 -g 15 -key \"?\" -n \"n\""},
      {"a network share", u"\\\\host\\share", u"A1", u"k", u"n", nullptr},
      {"another scheme", u"javascript:alert(1)", u"A1", u"k", u"n", nullptr},
      {"an id read as an option", u"root", u"-t", u"k", u"n", nullptr},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    shell.started.clear();
    const int32_t result = methods.PassReadInfoDirect(row.url, row.id, 2, 15, row.key, row.name);
    if (row.expected == nullptr) {
      EXPECT_EQ(result, kSFalse);
      ExpectNothingHappened();
    } else {
      EXPECT_EQ(result, kSOk);
      EXPECT_EQ(StartedLine(), row.expected);
    }
  }
}

// The value of one option as the reader would see it, or "" when the line does not have it.
std::string ArgumentAfter(const std::string& line, const std::u16string& option) {
  const std::vector<std::u16string> arguments =
      testing_support::SplitArguments(platform::AnsiToUtf16(line));
  for (std::size_t i = 0; i + 1 < arguments.size(); i += 2) {
    if (arguments[i] == option) return platform::Utf16ToAnsi(arguments[i + 1]);
  }
  return std::string();
}

TEST_F(LaunchingMembers, BufferLimits) {
  const std::u16string a259(259, u'a');
  const std::u16string a63(63, u'a');
  const std::u16string han31(31, u'\u4e66');  // 62 bytes
  const struct {
    const char* what;
    std::u16string url;
    std::u16string id;
    std::u16string key;
    bool starts;
  } cases[] = {
      {"longest url, id and key", a259, a63, a63, true},
      {"url of 260 bytes", a259 + u"a", u"A1", u"k", false},
      {"id of 64 bytes", u"root", a63 + u"a", u"k", false},
      {"key of 64 bytes", u"root", u"A1", a63 + u"a", false},
      {"id of 62 bytes in Chinese", u"root", han31, u"k", true},
      {"id of 64 bytes in Chinese", u"root", han31 + u"\u4e66", u"k", false},
      {"key of 64 bytes in Chinese", u"root", u"A1", han31 + u"\u4e66", false},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    shell.started.clear();
    const int32_t result =
        methods.PassReadInfoDirect(row.url.c_str(), row.id.c_str(), 0, 0, row.key.c_str(), u"");
    if (!row.starts) {
      EXPECT_EQ(result, kSFalse);
      ExpectNothingHappened();
      continue;
    }
    EXPECT_EQ(result, kSOk);
    const std::string line = StartedLine();
    EXPECT_EQ(ArgumentAfter(line, u"-url"), platform::Utf16ToAnsi(row.url));
    EXPECT_EQ(ArgumentAfter(line, u"-id"), platform::Utf16ToAnsi(row.id));
    EXPECT_EQ(ArgumentAfter(line, u"-key"), platform::Utf16ToAnsi(row.key));
  }
}

TEST_F(LaunchingMembers, LongNamesAreCutAtAWholeCharacter) {
  const struct {
    const char* what;
    std::u16string name;
    std::string expected;
  } cases[] = {
      {"127 bytes fit", std::u16string(127, u'a'), std::string(127, 'a')},
      {"128 bytes", std::u16string(128, u'a'), std::string(127, 'a')},
      {"64 Chinese characters keep 63", std::u16string(64, u'\u4e66'),
       [] {
         std::string text;
         for (int i = 0; i < 63; ++i) text += "\xca\xe9";
         return text;
       }()},
      {"one byte then 64 Chinese characters keep 63", u"a" + std::u16string(64, u'\u4e57'),
       [] {
         std::string text = "a";
         for (int i = 0; i < 63; ++i) text += "\x81\x5c";
         return text;
       }()},
      {"a character never halved", std::u16string(126, u'a') + u"\u4e66", std::string(126, 'a')},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    shell.started.clear();
    EXPECT_EQ(methods.PassReadInfoDirect(u"root", u"A1", 0, 0, u"", row.name.c_str()), kSOk);
    EXPECT_EQ(ArgumentAfter(StartedLine(), u"-n"), row.expected);
  }
}

TEST_F(LaunchingMembers, TooLongCommandLineStartsNothing) {
  // 259 + 63 + 63 + 127 bytes of values, the key and name all quotes, is far beyond 511.
  const std::u16string url(259, u'u');
  const std::u16string id(63, u'i');
  const std::u16string key(63, u'"');
  const std::u16string name(127, u'"');
  EXPECT_EQ(methods.PassReadInfoDirectNew3(url.c_str(), id.c_str(), 0, 0, key.c_str(), name.c_str(),
                                           0, 0),
            kSFalse);
  ExpectNothingHappened();
}

TEST_F(LaunchingMembers, MissingReaderShowsTheWarning) {
  const std::string text =
      "\xd4\xc4\xb6\xc1\xc6\xf7\xb0\xb2\xd7\xb0\xce\xc4\xbc\xfe\xcb\xf0\xbb\xb5\x2c\xc7\xeb\xd6"
      "\xd8\xd0\xc2\xb0\xb2\xd7\xb0\xd4\xc4\xb6\xc1\xc6\xf7\x21";
  files.readerInstalled = false;
  EXPECT_EQ(methods.PassReadInfoDirectNew(u"root", u"A1", 2, 15, u"", kBookName, 3), kSOk);
  registry.DeleteTree(launcher::kReaderKey);
  files.readerInstalled = true;
  now += launcher::kWarningQuietMilliseconds;
  EXPECT_EQ(methods.PassReadInfoDirectNew3(u"root", u"A1", 2, 15, u"", kBookName, 3, 1), kSOk);
  EXPECT_TRUE(shell.started.empty());
  ASSERT_EQ(boxes.shown.size(), 2u);
  for (const Shown& box : boxes.shown) {
    EXPECT_EQ(box.text, text);
    EXPECT_EQ(box.caption, "\xcc\xe1\xca\xbe");
    EXPECT_EQ(box.style, 0x30u);
  }
}

TEST_F(LaunchingMembers, TheWarningWaitsTenSecondsAfterItCloses) {
  files.readerInstalled = false;
  const struct {
    int64_t at;
    std::size_t shownSoFar;
  } calls[] = {
      {0, 1}, {1, 1}, {9999, 1}, {10000, 2}, {10001, 2}, {25000, 3},
  };
  for (const auto& call : calls) {
    SCOPED_TRACE(call.at);
    now = call.at;
    EXPECT_EQ(methods.PassReadInfoDirect(u"root", u"A1", 2, 15, u"", kBookName), kSOk);
    EXPECT_EQ(boxes.shown.size(), call.shownSoFar);
  }
}

// A box that the page's script calls the control again from, while it is open.
class ReenteringBoxes final : public platform::MessageBoxes {
 public:
  int Show(const std::string&, const std::string&, uint32_t) override {
    ++shown;
    if (again) again();
    return 1;
  }
  int shown = 0;
  std::function<void()> again;
};

TEST_F(LaunchingMembers, NoSecondWarningWhileOneIsOpen) {
  files.readerInstalled = false;
  ReenteringBoxes reentering;
  launcher::ReadInfoMethods control({registry, files, shell, reentering});
  int32_t inner = -1;
  reentering.again = [&] {
    inner = control.PassReadInfoDirect(u"root", u"A1", 2, 15, u"", kBookName);
  };
  EXPECT_EQ(control.PassReadInfoDirect(u"root", u"A1", 2, 15, u"", kBookName), kSOk);
  EXPECT_EQ(inner, kSOk);
  EXPECT_EQ(reentering.shown, 1);
}

TEST_F(LaunchingMembers, ValuesAreQuotedByTheCodePageThatConvertedThem) {
  // U+FF71 is the single byte 0xB1 in 932, where GBK rules would take it for a lead byte and
  // let the quote after it end the argument.
  launcher::ReadInfoMethods japanese(Platform(platform::kCodePageShiftJis));
  const std::u16string key = u"\uff71\" -url http://evil.example -key \uff71";
  EXPECT_EQ(japanese.PassReadInfoDirect(u"root", u"\u8868\\", 2, 15, key.c_str(), u"\u8868\""),
            kSOk);
  const std::vector<std::u16string> arguments = testing_support::SplitArguments(
      platform::CodePageToUtf16(StartedLine(), platform::kCodePageShiftJis));
  EXPECT_EQ(arguments,
            (std::vector<std::u16string>{u"-url", u"root", u"-id", u"\u8868\\", u"-t", u"2", u"-g",
                                         u"15", u"-key", key, u"-n", u"\u8868\""}));
}

TEST_F(LaunchingMembers, GetLocalIdIsTheLastAnsweringDrivesSerialNumber) {
  EXPECT_EQ(methods.GetLocalID(), u"");
  drives.AddDisk(1).identify.Text(10, "  12345678          ");
  EXPECT_EQ(methods.GetLocalID(), u"  12345678");
  EXPECT_TRUE(shell.started.empty());
}

TEST_F(LaunchingMembers, ShellFailureIsNotReported) {
  shell.succeeds = false;
  EXPECT_EQ(methods.PassReadInfoDirect(u"root", u"A1", 2, 15, u"", kBookName), kSOk);
  EXPECT_EQ(shell.started.size(), 1u);
}

TEST_F(LaunchingMembers, RetiredMembersDoNothing) {
  EXPECT_EQ(methods.PassEncryptURL(nullptr), kSOk);
  EXPECT_EQ(methods.PassEncryptURL(u"x -key k"), kSOk);
  EXPECT_EQ(methods.PassReadInfoDirectNew2(nullptr, nullptr, 0, 0, nullptr, nullptr, 0, nullptr,
                                           nullptr, nullptr, nullptr),
            kSOk);
  EXPECT_EQ(methods.PassReadInfoDirectNew2(u"root", u"A1", 2, 15, u"", kBookName, 3, u"1", u"2",
                                           u"3", u"4"),
            kSOk);
  ExpectNothingHappened();
}

}  // namespace
