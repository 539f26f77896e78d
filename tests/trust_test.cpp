// The trust rules over fake signatures (support/fake_signatures.h): the signature line, the
// file promises, which manifests are accepted and the mark they leave, and the check before
// the install. The real cryptography has its own contract table.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "platform/gbk.h"
#include "platform/memory_registry.h"
#include "settings/paths.h"
#include "settings/registry_values.h"
#include "support/fake_signatures.h"
#include "support/temp_folder.h"
#include "trust/file_checks.h"
#include "trust/update_trust.h"

namespace {

using namespace ostrel;
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
  void Mark(const std::string& version) {
    registry.CreateKey(kReaderKey)->SetValue(kSignedVersionValue, platform::StringValue(version));
  }
  TrustContext Context() {
    return {settings, crypto, registry,
            [this](const std::string& line) { logged.push_back(line); }};
  }

  TrustSettings settings{{kKeyA}};
  std::vector<std::string> logged;
  FakeSignatures crypto;
  platform::MemoryRegistry registry;
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
      {"unsigned before any signed one", true, false, nullptr,
       [](Trust& t) { return t.Manifest("2"); }, ManifestVerdict::kUnsigned},
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
    registry.DeleteTree(kReaderKey);
    if (c.mark != nullptr) Mark(c.mark);
    settings.keys = c.keys ? std::vector<std::string>{kKeyA} : std::vector<std::string>{};
    settings.requireSigned = c.requireSigned;
    EXPECT_EQ(VerdictName(JudgeManifest(Context(), c.manifest(*this)).verdict),
              std::string(VerdictName(c.verdict)));
  }
}

TEST_F(Trust, TheMarkOnlyRises) {
  const struct {
    const char* before;
    const char* version;
    bool isSigned;
    std::optional<std::string> after;
  } cases[] = {
      {nullptr, "1.0.0.2", false, std::nullopt},
      {nullptr, "1.0.0.2", true, "1.0.0.2"},
      {nullptr, "", true, ""},
      {"1.0.0.2", "1.0.0.10", true, "1.0.0.10"},
      {"1.0.0.10", "1.0.0.10", true, "1.0.0.10"},
      {"1.0.0.10", "1.0.0.9", true, "1.0.0.10"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.version);
    registry.DeleteTree(kReaderKey);
    if (c.before != nullptr) Mark(c.before);
    ManifestJudgement judgement;
    judgement.version = c.version;
    judgement.verdict = c.isSigned ? ManifestVerdict::kSigned : ManifestVerdict::kUnsigned;
    RememberSignedManifest(Context(), judgement);
    EXPECT_EQ(ReadSignedVersionMark(registry), c.after);
  }
}

// Removes files of the real file system; the check needs nothing else of a file tree.
class RemovingTree final : public platform::FileTree {
 public:
  std::vector<platform::FolderEntry> ListFolder(const std::string&) override { return {}; }
  bool MoveReplacing(const std::string&, const std::string&) override { return false; }
  bool MoveAtRestart(const std::string&, const std::string&) override { return false; }
  bool CopyIfAbsent(const std::string&, const std::string&) override { return false; }
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
  InstallCheck Check() {
    const TrustContext trust = Context();
    return CheckUpdateBeforeInstall(&trust, files, tree, profiles,
                                    ProgramFolder(program.Child("Ostrel.exe")));
  }

  testing_support::TempFolder program;
  platform::FileSystem& files = platform::SystemFileSystem();
  platform::ProfileStore& profiles = platform::SystemProfileStore();
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
    UpdateFiles update = UpdateFiles::In(program.path());
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

TEST_F(CheckBeforeInstall, AnUnsignedManifestBeforeAnySignedOneInstallsAsBefore) {
  Update({{"setup.exe", "MZ setup"}}, {{"setup.exe", "changed"}}, false);
  const InstallCheck check = Check();
  EXPECT_TRUE(check.allowed);
  EXPECT_FALSE(check.installs);  // the whole tree, as before
}

TEST_F(CheckBeforeInstall, AnInstallerThatIsNotAmongTheCheckedFilesIsRefused) {
  // file1 of 4 bytes is never listed, so never fetched or checked; it must not start.
  Update({{"a.ex", "MZ"}, {"core.dll", "MZ core"}}, {{"a.ex", "MZ"}, {"core.dll", "MZ core"}});
  const InstallCheck check = Check();
  EXPECT_FALSE(check.allowed);
  EXPECT_EQ(check.refused, std::vector<std::string>{"a.ex"});
}

}  // namespace
