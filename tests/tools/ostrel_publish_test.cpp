// ostrel-publish: the names it accepts, a publisher's round trip, and what Ostrel's own rules
// make of what it publishes.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>

#include "platform/crypto.h"
#include "publisher.h"
#include "signing_key.h"
#include "support/memory_mark.h"
#include "support/temp_folder.h"
#include "trust/file_checks.h"
#include "trust/update_trust.h"

namespace {

namespace fs = std::filesystem;

TEST(PublishNames, EntryOrTheReasonOstrelCouldNotUseIt) {
  const struct {
    std::string path;  // below the release folder, UTF-8
    const char* entry;
    const char* problem;  // a part of the problem line
  } cases[] = {
      {"setup.exe", "setup.exe", nullptr},
      {"books/catalog.txt", "books\\catalog.txt", nullptr},
      {"\xe5\xb8\xae\xe5\x8a\xa9.txt", "\xb0\xef\xd6\xfa.txt", nullptr},  // 帮助.txt in GBK
      {"a.ex", nullptr, "4 bytes or less"},
      {std::string(256, 'n') + ".txt", nullptr, "259 bytes"},
      {"CON.txt", nullptr, "refuses"},
      {"a\xe0\xb8\x81.txt", nullptr, "GBK"},
      {"bad:name.txt", nullptr, "':'"},
      {"back\\slash.txt", nullptr, "'\\'"},
      {"trail.txt.", nullptr, "ends in a dot"},
      {" lead.txt", nullptr, "read this name back"},
      {"UPDATE.htm", nullptr, "manifest takes this name"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.path);
    const publish::ReleaseFile file = publish::EntryFor(c.path);
    if (c.problem == nullptr) {
      EXPECT_EQ(file.problem, "");
      EXPECT_EQ(file.entry, c.entry);
    } else {
      EXPECT_NE(file.problem.find(c.problem), std::string::npos) << file.problem;
    }
  }
}

class Publishing : public ::testing::Test {
 public:
  Publishing() {
    out.info = [this](const std::string& line) { infos.push_back(line); };
    out.problem = [this](const std::string& line) { problems.push_back(line); };
    EXPECT_EQ(publish::KeyGen(Host("keys"), out), 0);
    options.release = Host("release");
    options.published = Host("published");
    options.version = "1.0.0.2";
    options.key = Host("keys/update-key.pem");
    for (const auto& [name, content] :
         {std::pair<std::string, std::string>{"setup.exe", "MZ setup"},
          {"readme.txt", "read me"},
          {"books/catalog.txt", "catalog"},
          {"\xe5\xb8\xae\xe5\x8a\xa9.txt", "help"}}) {
      Write(options.release / name, content);
    }
  }

  fs::path Host(const std::string& relative) {
    std::string path = folder.path();
    std::replace(path.begin(), path.end(), '\\', '/');
    return fs::path(path) / relative;
  }
  static void Write(const fs::path& path, const std::string& content) {
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
  }
  static std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }
  int Verify(const std::vector<std::string>& pubs = {"keys/update-key.pub"},
             std::optional<std::string> previous = std::nullopt) {
    problems.clear();
    publish::VerifyOptions verify{options.published, {}, std::move(previous)};
    for (const std::string& pub : pubs) verify.publicKeys.push_back(Host(pub));
    return publish::Verify(verify, out);
  }
  // The published manifest with `from` replaced by `to`, signed again with the key.
  void ResignWith(const std::string& from, const std::string& to) {
    const std::string published = Read(options.published / "update.htm");
    std::string body(updater::SplitSignature(published).body);
    body.replace(body.find(from), from.size(), to);
    std::string why;
    const auto key = publish::SigningKey::Load(options.key, why);
    ASSERT_TRUE(key) << why;
    Write(options.published / "update.htm",
          body + updater::SignatureLine(updater::KeyIdOf(platform::SystemCrypto(), key->point()),
                                        key->Sign(body)));
  }

  testing_support::TempFolder folder;
  publish::Output out;
  std::vector<std::string> infos;
  std::vector<std::string> problems;
  publish::PublishOptions options;
};

TEST_F(Publishing, KeyGenWritesAPairOnceAndKeepsThePrivateKeyPrivate) {
  struct stat info {};
  ASSERT_EQ(::stat(Host("keys/update-key.pem").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  const std::string key = Read(Host("keys/update-key.pem"));
  EXPECT_EQ(publish::KeyGen(Host("keys"), out), 1);
  EXPECT_EQ(Read(Host("keys/update-key.pem")), key);
  std::string why;
  EXPECT_TRUE(publish::SigningKey::Load(Host("keys/update-key.pem"), why)) << why;
}

TEST_F(Publishing, RoundTripThatOstrelAccepts) {
  ASSERT_EQ(publish::Publish(options, out), 0) << (problems.empty() ? "" : problems[0]);
  EXPECT_EQ(Read(options.published / "books" / "catalog.txt"), "catalog");
  EXPECT_EQ(Read(options.published / "\xb0\xef\xd6\xfa.txt"), "help");  // the GBK name
  EXPECT_EQ(Verify(), 0);

  // What Ostrel does with it: the manifest is accepted, the installer comes first and every
  // file is the one promised.
  std::string why;
  const auto point = publish::LoadPublicKey(Host("keys/update-key.pub"), why);
  ASSERT_TRUE(point) << why;
  testing_support::MemoryMark mark;
  const updater::TrustSettings settings{{*point}, true};
  const updater::TrustContext trust{settings, platform::SystemCrypto(), mark, {}};
  const std::string manifest = Read(options.published / "update.htm");
  EXPECT_TRUE(updater::JudgeManifest(trust, manifest).Signed());
  const auto promises = updater::FilePromises::Read(platform::SystemIniFiles(),
                                                    (options.published / "update.htm").string());
  ASSERT_EQ(promises.Listed(), (std::vector<std::string>{"setup.exe", "books\\catalog.txt",
                                                         "readme.txt", "\xb0\xef\xd6\xfa.txt"}));
  EXPECT_TRUE(updater::Keeps(platform::SystemCrypto(), *promises.Find("readme.txt"), "read me"));
}

TEST_F(Publishing, VerifyFindsEachChange) {
  ASSERT_EQ(publish::Publish(options, out), 0);
  const fs::path readme = options.published / "readme.txt";
  Write(readme, "read mE");
  EXPECT_EQ(Verify(), 1);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_NE(problems[0].find("readme.txt"), std::string::npos);
  Write(readme, "read me");
  EXPECT_EQ(Verify(), 0);

  ASSERT_EQ(publish::KeyGen(Host("other"), out), 0);
  EXPECT_EQ(Verify({"other/update-key.pub"}), 1);
  EXPECT_NE(problems.at(0).find("signed by key"), std::string::npos);

  std::string manifest = Read(options.published / "update.htm");
  manifest[manifest.find("1.0.0.2") + 6] = '3';
  Write(options.published / "update.htm", manifest);
  EXPECT_EQ(Verify(), 1);
  EXPECT_NE(problems.at(0).find("does not match"), std::string::npos);
}

TEST_F(Publishing, VerifyChecksWhatOstrelChecks) {
  ASSERT_EQ(publish::Publish(options, out), 0);
  ASSERT_EQ(publish::KeyGen(Host("next"), out), 0);
  const struct {
    const char* what;
    std::vector<std::string> pubs;
    std::optional<std::string> previous;
    std::pair<std::string, std::string> resign;  // replace first by second, sign again
    const char* problem;                         // nullptr: verified
  } cases[] = {
      {"any of the build's keys", {"next/update-key.pub", "keys/update-key.pub"}, {}, {}, nullptr},
      {"none of them", {"next/update-key.pub"}, {}, {}, "not by a key given"},
      {"above the previous release", {"keys/update-key.pub"}, "1.0.0.1", {}, nullptr},
      {"the previous release again", {"keys/update-key.pub"}, "1.0.0.2", {}, "is not above"},
      {"an installer without size and SHA-256",
       {"keys/update-key.pub"},
       {},
       {"[files]\r\nfile1=", "[files]\r\nfile9="},
       "the installer setup.exe"},
      {"an installer the list leaves out",
       {"keys/update-key.pub"},
       {},
       {"filenum=4", "filenum=0"},
       "the installer setup.exe"},
  };
  const std::string published = Read(options.published / "update.htm");
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Write(options.published / "update.htm", published);
    if (!c.resign.first.empty()) ResignWith(c.resign.first, c.resign.second);
    EXPECT_EQ(Verify(c.pubs, c.previous), c.problem == nullptr ? 0 : 1);
    if (c.problem != nullptr) {
      EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const std::string& line) {
        return line.find(c.problem) != std::string::npos;
      })) << (problems.empty() ? "" : problems[0]);
    }
  }
}

TEST_F(Publishing, RefusesWithEveryProblemAndWritesNothing) {
  const struct {
    const char* what;
    std::function<void(Publishing&)> change;
    const char* problem;
  } cases[] = {
      {"OUT_DIR not empty", [](Publishing& t) { Write(t.options.published / "old.txt", "x"); },
       "not empty"},
      {"no installer", [](Publishing& t) { t.options.installer = "install.exe"; },
       "is not in RELEASE_DIR"},
      {"version", [](Publishing& t) { t.options.version = "1.0.0.2\r\n[list]"; }, "--version"},
      {"five numbers", [](Publishing& t) { t.options.version = "1.0.0.0.2"; }, "--version"},
      {"key", [](Publishing& t) { t.options.key = t.Host("keys/update-key.pub"); }, "--key"},
      {"a name", [](Publishing& t) { Write(t.options.release / "NUL", "x"); }, "NUL"},
      {"letter case", [](Publishing& t) { Write(t.options.release / "README.txt", "x"); },
       "letter case"},
      {"a link to the private key",
       [](Publishing& t) {
         fs::create_symlink(t.options.key, t.options.release / "books" / "key.pem");
       },
       "books/key.pem: a symbolic link"},
      {"a link to a folder",
       [](Publishing& t) { fs::create_directory_symlink(t.Host("keys"), t.options.release / "k"); },
       "k: a symbolic link"},
      {"a pipe", [](Publishing& t) { ::mkfifo((t.options.release / "pipe").c_str(), 0600); },
       "pipe: not a regular file"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(options.published);
    fs::remove(options.release / "NUL");
    fs::remove(options.release / "README.txt");
    for (const char* made : {"books/key.pem", "k", "pipe"}) fs::remove(options.release / made);
    const publish::PublishOptions kept = options;
    c.change(*this);
    problems.clear();
    EXPECT_EQ(publish::Publish(options, out), 1);
    EXPECT_TRUE(std::any_of(problems.begin(), problems.end(), [&](const std::string& line) {
      return line.find(c.problem) != std::string::npos;
    }));
    EXPECT_FALSE(fs::exists(options.published / "update.htm"));
    if (std::string(c.what) != "OUT_DIR not empty") {
      EXPECT_FALSE(fs::exists(options.published));
    }
    options = kept;
  }
}

}  // namespace
