// The trust rules over fake signatures (support/fake_signatures.h): the signature line, the
// file promises, which manifests are accepted and the mark they leave, and the check before
// the install. The real cryptography has its own contract table.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "layout/paths.h"
#include "platform/gbk.h"
#include "platform/memory_registry.h"
#include "platform/registry.h"
#include "settings/registry_values.h"
#include "support/fake_signatures.h"
#include "support/memory_mark.h"
#include "support/temp_folder.h"
#include "trust/file_checks.h"
#include "trust/update_trust.h"

namespace {

using namespace updater;
using testing_support::FakeSignatures;
using testing_support::kKeyA;
using testing_support::kKeyB;
using testing_support::ReadFileBytes;
using testing_support::WriteFileBytes;

const std::string kSignature(64, '\x5a');
const std::string kLine = SignatureLine("00112233445566aa", kSignature);

TEST(SignatureLine, WhereItIsAndWhatItHolds) {
  const std::string body = "[main]\r\nversion=1\r\n";
  const std::string upper =
      ";ostrel-signature ecdsa-p256-sha256 00112233445566AA " + std::string(128, 'A') + "\r\n";
  const struct {
    const char* what;
    std::string text;
    std::size_t bodySize;
    bool line;
    bool wellFormed;
  } cases[] = {
      {"unsigned", body, body.size(), false, false},
      {"CR LF after the line", body + kLine, body.size(), true, true},
      {"LF after the line", body + kLine.substr(0, kLine.size() - 2) + "\n", body.size(), true,
       true},
      {"no break after the line", body + kLine.substr(0, kLine.size() - 2), body.size(), true,
       true},
      {"upper-case hex", body + upper, body.size(), true, true},
      {"a line after the signature", body + kLine + "x=1\r\n", body.size() + kLine.size() + 5,
       false, false},
      {"a short key id", body + ";ostrel-signature ecdsa-p256-sha256 0011 " + std::string(128, 'a'),
       body.size(), true, false},
      {"a signature of 127 digits",
       body + ";ostrel-signature ecdsa-p256-sha256 00112233445566aa " + std::string(127, 'a'),
       body.size(), true, false},
      {"a trailing blank", body + kLine.substr(0, kLine.size() - 2) + " \r\n", body.size(), true,
       false},
      {"an ordinary comment last", body + "; comment\r\n", body.size() + 11, false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const SplitManifest split = SplitSignature(c.text);
    EXPECT_EQ(split.body.size(), c.bodySize);
    EXPECT_EQ(split.hasSignatureLine, c.line);
    EXPECT_EQ(!split.signature.empty(), c.wellFormed);
    if (c.wellFormed) {
      EXPECT_EQ(split.keyId, "00112233445566aa");
    }
  }
}

TEST(FilePromise, ReadsOnlyTheExactForm) {
  const std::string hash(64, 'a');
  const struct {
    std::string text;
    std::optional<int64_t> size;
  } cases[] = {
      {"12 " + hash, 12},
      {"0 " + hash, 0},
      {"2147483648 " + std::string(64, 'F'), 2147483648},
      {"012 " + hash, std::nullopt},
      {"-1 " + hash, std::nullopt},
      {"12  " + hash, std::nullopt},
      {"12 " + hash.substr(1), std::nullopt},
      {"12 " + hash.substr(1) + "g", std::nullopt},
      {"1234567890123456789 " + hash, std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<FilePromise> promise = ParseFilePromise(c.text);
    ASSERT_EQ(promise.has_value(), c.size.has_value());
    if (promise) {
      EXPECT_EQ(promise->size, *c.size);
      EXPECT_EQ(promise->sha256, platform::ToLowerAscii(c.text.substr(c.text.find(' ') + 1)));
    }
  }
}

class Trust : public ::testing::Test {
 public:
  std::string Manifest(const std::string& version) {
    return "[main]\r\nversion=" + version + "\r\nfilenum=0\r\n";
  }
  void Mark(const std::string& version) { mark.Write(version); }
  TrustContext Context() {
    return {settings, crypto, mark, [this](const std::string& line) { logged.push_back(line); }};
  }

  TrustSettings settings{{kKeyA}};
  std::vector<std::string> logged;
  FakeSignatures crypto;
  testing_support::MemoryMark mark;
};

// A system without the algorithms, as Windows XP without CNG.
class NoAlgorithms final : public platform::Crypto {
 public:
  std::unique_ptr<platform::Sha256Hash> NewSha256() override { return nullptr; }
  bool VerifyP256Sha256(std::string_view, std::string_view, std::string_view) override {
    return false;
  }
  bool CanVerifyP256Sha256() override { return false; }
};

TEST_F(Trust, WhichManifestsAreAccepted) {
  const struct {
    const char* what;
    bool keys;
    bool requireSigned;
    const char* mark;
    std::function<std::string(Trust&)> manifest;
    ManifestVerdict verdict;
  } cases[] = {
      {"no keys: unsigned as before", false, false, nullptr,
       [](Trust& t) { return t.Manifest("2"); }, ManifestVerdict::kUnsigned},
      {"no keys: a signature line is not looked at", false, false, "1",
       [](Trust& t) { return t.Manifest("2") + kLine; }, ManifestVerdict::kUnsigned},
      {"unsigned on first contact, signatures required", true, true, nullptr,
       [](Trust& t) { return t.Manifest("2"); }, ManifestVerdict::kUnsignedRefused},
      {"unsigned before any signed one, opted out", true, false, nullptr,
       [](Trust& t) { return t.Manifest("2"); }, ManifestVerdict::kUnsigned},
      {"a stripped signature, signatures required", true, true, nullptr,
       [](Trust& t) {
         const std::string whole = t.crypto.Signed(kKeyA, t.Manifest("2"));
         return whole.substr(0, whole.find(";ostrel-signature"));
       },
       ManifestVerdict::kUnsignedRefused},
      {"signed, but the mark is unreadable", true, false, "?",
       [](Trust& t) { return t.crypto.Signed(kKeyA, t.Manifest("2")); },
       ManifestVerdict::kMarkUnreadable},
      {"unsigned, opted out, the mark unreadable", true, false, "?",
       [](Trust& t) { return t.Manifest("2"); }, ManifestVerdict::kMarkUnreadable},
      {"unsigned after a signed one", true, false, "1", [](Trust& t) { return t.Manifest("2"); },
       ManifestVerdict::kUnsignedRefused},
      {"unsigned where the build requires signatures", true, true, nullptr,
       [](Trust& t) { return t.Manifest("2"); }, ManifestVerdict::kUnsignedRefused},
      {"a signature that does not verify, before any signed one", true, false, nullptr,
       [](Trust& t) {
         return t.Manifest("2") + SignatureLine(KeyIdOf(t.crypto, kKeyA), kSignature);
       },
       ManifestVerdict::kBadSignature},
      {"a malformed signature line", true, false, nullptr,
       [](Trust& t) { return t.Manifest("2") + kLine.substr(0, 60); },
       ManifestVerdict::kBadSignature},
      {"signed by a key the build lacks", true, false, nullptr,
       [](Trust& t) { return t.crypto.Signed(kKeyB, t.Manifest("2")); },
       ManifestVerdict::kUnknownKey},
      {"signed", true, true, "1.0.0.9",
       [](Trust& t) { return t.crypto.Signed(kKeyA, t.Manifest("1.0.0.10")); },
       ManifestVerdict::kSigned},
      {"signed, older than the mark (numerically)", true, false, "1.0.0.10",
       [](Trust& t) { return t.crypto.Signed(kKeyA, t.Manifest("1.0.0.9")); },
       ManifestVerdict::kOlderVersion},
      {"signed, against a mark of an empty version (0.0.0.0)", true, false, "",
       [](Trust& t) { return t.crypto.Signed(kKeyA, t.Manifest("0.0.0.1")); },
       ManifestVerdict::kSigned},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    mark.reading = {};
    if (c.mark != nullptr && std::string(c.mark) == "?") {
      mark.reading.state = MarkReading::State::kUnreadable;
    } else if (c.mark != nullptr) {
      Mark(c.mark);
    }
    settings.keys = c.keys ? std::vector<std::string>{kKeyA} : std::vector<std::string>{};
    settings.requireSigned = c.requireSigned;
    EXPECT_EQ(VerdictName(JudgeManifest(Context(), c.manifest(*this)).verdict),
              std::string(VerdictName(c.verdict)));
  }
}

TEST_F(Trust, NoAlgorithmsNoUpdate) {
  NoAlgorithms none;
  for (const bool requireSigned : {true, false}) {
    settings.requireSigned = requireSigned;
    for (const std::string& manifest : {Manifest("2"), crypto.Signed(kKeyA, Manifest("2"))}) {
      const TrustContext trust{settings, none, mark, {}};
      EXPECT_EQ(JudgeManifest(trust, manifest).verdict, ManifestVerdict::kCannotVerify);
    }
  }
}

// The mark in the program folder, shared by the installation's users, and the per-user
// registry value of earlier builds taken over once.
class FolderMark : public Trust {
 protected:
  std::string MarkPath() { return program.Child(kSignedMarkName); }
  ProgramFolderMark Folder() {
    return ProgramFolderMark(platform::SystemFileSystem(), userRegistry,
                             updater::LayoutBelow(program.path()).signedMark);
  }
  void RegistryMark(const platform::RegistryValue& value) {
    userRegistry.CreateKey(kReaderKey)->SetValue(kSignedVersionValue, value);
  }
  bool RegistryMarkLeft() {
    platform::RegistryValue value;
    const auto key = userRegistry.OpenKey(kReaderKey);
    return key &&
           key->QueryValue(kSignedVersionValue, 4096, value) != platform::QueryStatus::kNotFound;
  }

  testing_support::TempFolder program;
  platform::MemoryRegistry userRegistry;
};

TEST_F(FolderMark, ReadsOnlyAWellFormedMarkAndTakesTheOldOneOverOnce) {
  using State = MarkReading::State;
  const struct {
    const char* what;
    std::optional<std::string> file;
    std::optional<platform::RegistryValue> registry;
    State state;
    const char* version;
    std::optional<std::string> fileAfter;  // nullopt: no file
    bool registryLeft;
  } cases[] = {
      {"nothing anywhere", std::nullopt, std::nullopt, State::kNone, "", std::nullopt, false},
      {"the file", "1.0.0.2\r\n", std::nullopt, State::kVersion, "1.0.0.2", "1.0.0.2\r\n", false},
      {"no line end", "1.0.0.2", std::nullopt, State::kUnreadable, "", "1.0.0.2", false},
      {"two lines", "1\r\n2\r\n", std::nullopt, State::kUnreadable, "", "1\r\n2\r\n", false},
      {"empty", "", std::nullopt, State::kUnreadable, "", "", false},
      {"a control character", "1\t2\r\n", std::nullopt, State::kUnreadable, "", "1\t2\r\n", false},
      {"too long", std::string(300, '1') + "\r\n", std::nullopt, State::kUnreadable, "",
       std::string(300, '1') + "\r\n", false},
      {"the file wins over another user's old value", "1.0.0.2\r\n", platform::StringValue("9.9"),
       State::kVersion, "1.0.0.2", "1.0.0.2\r\n", true},
      {"the old value taken over", std::nullopt, platform::StringValue("1.0.0.3"), State::kVersion,
       "1.0.0.3", "1.0.0.3\r\n", false},
      {"an old empty value taken over as 0", std::nullopt, platform::StringValue(""),
       State::kVersion, "0", "0\r\n", false},
      {"an old value longer than a version", std::nullopt,
       platform::StringValue(std::string(300, '1')), State::kUnreadable, "", std::nullopt, true},
      {"an old value of another type", std::nullopt, platform::DwordValue(7), State::kUnreadable,
       "", std::nullopt, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::RemoveFile(MarkPath());
    userRegistry.DeleteTree(kReaderKey);
    if (c.file) WriteFileBytes(MarkPath(), *c.file);
    if (c.registry) RegistryMark(*c.registry);
    const MarkReading reading = Folder().Read();
    EXPECT_EQ(reading.state, c.state);
    EXPECT_EQ(reading.version, c.version);
    EXPECT_EQ(platform::SystemFileSystem().Exists(MarkPath()), c.fileAfter.has_value());
    if (c.fileAfter) {
      EXPECT_EQ(ReadFileBytes(MarkPath()), *c.fileAfter);
    }
    EXPECT_EQ(RegistryMarkLeft(), c.registryLeft);
  }
}

TEST_F(FolderMark, OnlyRises) {
  const struct {
    const char* before;
    const char* version;
    bool isSigned;
    const char* after;  // the file's version, "" for none
  } cases[] = {
      {nullptr, "1.0.0.2", false, ""},
      {nullptr, "1.0.0.2", true, "1.0.0.2"},
      {nullptr, "", true, "0"},
      {"1.0.0.2", "1.0.0.10", true, "1.0.0.10"},
      {"1.0.0.10", "1.0.0.10", true, "1.0.0.10"},
      {"1.0.0.10", "1.0.0.9", true, "1.0.0.10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    testing_support::RemoveFile(MarkPath());
    if (c.before != nullptr) WriteFileBytes(MarkPath(), std::string(c.before) + "\r\n");
    ManifestJudgement judgement;
    judgement.version = c.version;
    judgement.verdict = c.isSigned ? ManifestVerdict::kSigned : ManifestVerdict::kUnsigned;
    ProgramFolderMark folder = Folder();
    RememberSignedManifest({settings, crypto, folder, {}}, judgement);
    EXPECT_EQ(Folder().Read().version, c.after);
  }
}

// Removes files of the real file system; the check needs nothing else of a file tree.
class RemovingTree final : public platform::FileTree {
 public:
  std::vector<platform::FolderEntry> ListFolder(const std::string&) override { return {}; }
  bool MoveReplacing(const std::string&, const std::string&) override { return false; }
  bool MoveAtRestart(const std::string&, const std::string&) override { return false; }
  bool RemoveFile(const std::string& path) override {
    testing_support::RemoveFile(path);
    return true;
  }
  bool RemoveEmptyFolder(const std::string&) override { return false; }
};

class CheckBeforeInstall : public Trust {
 protected:
  CheckBeforeInstall() { testing_support::MakeFolder(program.Child("update")); }

  // A manifest of version 1.0.0.2 promising the files (entry, content), signed unless told
  // otherwise; the files stored as `stored` says, and all of the promised ones recorded.
  void Update(const std::vector<std::pair<std::string, std::string>>& promised,
              const std::map<std::string, std::string>& stored, bool sign = true) {
    WriteFileBytes(Path("update.ini"), testing_support::ManifestWithPromises(
                                           crypto, sign ? kKeyA : "", "1.0.0.2", promised));
    std::string record = "[1.0.0.2]\r\noknum=" + std::to_string(promised.size()) + "\r\n";
    for (std::size_t i = 0; i < promised.size(); ++i) {
      record += "ok" + std::to_string(i + 1) + "=" + promised[i].first + "\r\n";
    }
    WriteFileBytes(Path("updateok.ini"), record);
    for (const auto& [entry, content] : stored) WriteFileBytes(Path(entry), content);
  }
  std::string Path(const std::string& entry) { return program.Child("update\\" + entry); }
  InstallCheck Check(const StopCheck& stopped = {}) {
    const TrustContext trust = Context();
    return CheckUpdateBeforeInstall(&trust, files, tree, profiles, LayoutBelow(program.path()),
                                    stopped);
  }

  testing_support::TempFolder program;
  platform::FileSystem& files = platform::SystemFileSystem();
  platform::IniFiles& profiles = platform::SystemIniFiles();
  RemovingTree tree;
};

TEST_F(CheckBeforeInstall, SignedUpdateWhoseFilesAreIntactMovesOnlyThem) {
  testing_support::MakeFolder(Path("sub"));
  testing_support::MakeFolder(Path("stray"));
  Update({{"setup.exe", "MZ setup"}, {"sub\\b.dll", "b"}},
         {{"setup.exe", "MZ setup"}, {"sub\\b.dll", "b"}, {"planted.exe", "MZ"}});
  const InstallCheck check = Check();
  ASSERT_TRUE(check.allowed);
  EXPECT_TRUE(check.judgement.Signed());
  ASSERT_TRUE(check.installs);
  EXPECT_TRUE(check.installs("SETUP.exe", false));
  EXPECT_TRUE(check.installs("sub", true));
  EXPECT_TRUE(check.installs("sub\\b.dll", false));
  EXPECT_FALSE(check.installs("planted.exe", false));
  EXPECT_FALSE(check.installs("stray", true));
  EXPECT_FALSE(check.installs("su", true));
  // The installer's copy in update\ is checked again just before it would start from there.
  ASSERT_TRUE(check.checkInstaller);
  EXPECT_TRUE(check.checkInstaller(Path("setup.exe")));
  WriteFileBytes(Path("setup.exe"), "MZ setuP");
  EXPECT_FALSE(check.checkInstaller(Path("setup.exe")));
}

TEST_F(CheckBeforeInstall, AChangedOrMissingFileIsRemovedAndForgotten) {
  const struct {
    const char* what;
    std::map<std::string, std::string> stored;
    const char* why;  // in the log
  } cases[] = {
      {"one changed byte",
       {{"setup.exe", "MZ setup"}, {"core.dll", "MZ cORE"}},
       "its SHA-256 is not the one the signed manifest promises"},
      {"one byte more",
       {{"setup.exe", "MZ setup"}, {"core.dll", "MZ core!"}},
       "not the size the signed manifest promises"},
      {"missing", {{"setup.exe", "MZ setup"}}, "missing or unreadable"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testing_support::RemoveFile(Path("core.dll"));
    Update({{"setup.exe", "MZ setup"}, {"core.dll", "MZ core"}}, c.stored);
    logged.clear();
    const InstallCheck check = Check();
    EXPECT_FALSE(check.allowed);
    EXPECT_EQ(check.refused, std::vector<std::string>{"core.dll"});
    EXPECT_EQ(logged, std::vector<std::string>{std::string("install refused: core.dll: ") + c.why +
                                               "; removed from update\\ and the record, fetched "
                                               "again next run"});
    EXPECT_FALSE(files.Exists(Path("core.dll")));
    EXPECT_EQ(ReadFileBytes(Path("setup.exe")), "MZ setup");
    UpdateFiles update = LayoutBelow(program.path()).files;
    EXPECT_FALSE(IsFileDone(profiles, update, "core.dll"));
    EXPECT_TRUE(IsFileDone(profiles, update, "setup.exe"));
  }
}

TEST_F(CheckBeforeInstall, ARefusedManifestIsRemoved) {
  Mark("1.0.0.2");
  Update({{"setup.exe", "MZ setup"}}, {{"setup.exe", "MZ setup"}}, false);
  const InstallCheck check = Check();
  EXPECT_FALSE(check.allowed);
  EXPECT_EQ(check.judgement.verdict, ManifestVerdict::kUnsignedRefused);
  EXPECT_FALSE(files.Exists(Path("update.ini")));
  EXPECT_EQ(ReadFileBytes(Path("setup.exe")), "MZ setup");
}

TEST_F(CheckBeforeInstall, AnUnsignedManifestInstallsOnlyWhereTheBuildOptedOut) {
  for (const bool requireSigned : {true, false}) {
    SCOPED_TRACE(requireSigned ? "signatures required" : "opted out, before any signed one");
    settings.requireSigned = requireSigned;
    Update({{"setup.exe", "MZ setup"}}, {{"setup.exe", "changed"}}, false);
    const InstallCheck check = Check();
    EXPECT_EQ(check.allowed, !requireSigned);
    EXPECT_FALSE(check.installs);  // opted out: the whole tree, as before
    EXPECT_FALSE(check.checkInstaller);
  }
}

TEST_F(CheckBeforeInstall, AnInstallerThatIsNotAmongTheCheckedFilesIsRefused) {
  // file1 of 4 bytes is never listed, so never fetched or checked; it must not start.
  Update({{"a.ex", "MZ"}, {"core.dll", "MZ core"}}, {{"a.ex", "MZ"}, {"core.dll", "MZ core"}});
  const InstallCheck check = Check();
  EXPECT_FALSE(check.allowed);
  EXPECT_EQ(check.refused, std::vector<std::string>{"a.ex"});
}

// The dialog's Cancel stops the check between pieces: nothing is allowed, and the file being
// read (here a changed one) is neither refused nor removed nor forgotten.
TEST_F(CheckBeforeInstall, AStoppedCheckAllowsAndRemovesNothing) {
  const struct {
    const char* what;
    int answersBeforeStop;  // asked before each file and before each piece of it
  } cases[] = {
      {"before the first file", 0},
      {"while the first file is read", 1},
      {"while the changed file is read", 3},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Update({{"setup.exe", "MZ setup"}, {"core.dll", "MZ core"}},
           {{"setup.exe", "MZ setup"}, {"core.dll", "MZ cORE"}});
    int asked = 0;
    const InstallCheck check = Check([&] { return asked++ >= c.answersBeforeStop; });
    EXPECT_TRUE(check.stopped);
    EXPECT_FALSE(check.allowed);
    EXPECT_TRUE(check.refused.empty());
    EXPECT_EQ(ReadFileBytes(Path("core.dll")), "MZ cORE");
    EXPECT_TRUE(IsFileDone(profiles, LayoutBelow(program.path()).files, "core.dll"));
  }
}

}  // namespace
