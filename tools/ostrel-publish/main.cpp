// ostrel-publish: makes a publisher's key pair, publishes a release with a signed update
// manifest, and checks a published tree. See --help.
#include <algorithm>
#include <iostream>
#include <string>
#include <vector>

#include "publisher.h"

namespace {

constexpr char kHelp[] = R"(ostrel-publish: signed updates for Ostrel

  ostrel-publish keygen DIR
      Writes a new key pair: DIR/update-key.pem (private, readable by its owner only: keep
      it secret, off the update server and off the machine that builds releases) and DIR/update-key.pub (public: build Ostrel with
      -DOSTREL_UPDATE_KEY=DIR/update-key.pub). Never replaces an existing key.

  ostrel-publish publish RELEASE_DIR OUT_DIR --version V --key KEY.pem [--installer NAME]
      Copies every file of RELEASE_DIR into OUT_DIR (new or empty) and writes
      OUT_DIR/update.htm, signed with KEY.pem: version V (up to four numbers with dots,
      such as 1.0.0.2), the installer first (NAME, default setup.exe; the file Ostrel
      starts after the update), then every other file, folders written as sub\name, each
      with its size and SHA-256. Names are stored in GBK (code page 936), and OUT_DIR
      holds each file under exactly those bytes, so a server that maps request paths to
      file names byte for byte serves it unchanged. Refuses, without writing anything,
      any name Ostrel would refuse or ignore (device names, update.ini, entries of 4 bytes
      or less, names longer than 259 bytes, names Windows cannot store or that do not
      convert to GBK), symbolic links, devices and anything else that is not a regular
      file, and lists every such problem.

  ostrel-publish verify OUT_DIR --pub KEY.pub [--pub NEXT.pub] [--previous VERSION]
      Checks a published tree the way Ostrel checks what it fetches: the signature of
      update.htm by one of the KEY.pub given (as many as the build carries), the size and
      SHA-256 of every listed file, that the installer is one of them, and, with
      --previous, that the version is above VERSION (the release readers have now).
      Prints one line per problem.

Exit status: 0 done, 1 a problem (each printed on standard error), 2 wrong usage.
)";

int Usage(const std::string& why) {
  std::cerr << "ostrel-publish: " << why << "\n(ostrel-publish --help shows the usage)\n";
  return 2;
}

// Splits the arguments after the command into plain words and --name value pairs.
bool SplitArguments(const std::vector<std::string>& arguments, std::vector<std::string>& words,
                    std::vector<std::pair<std::string, std::string>>& options, std::string& why) {
  for (std::size_t i = 0; i < arguments.size(); ++i) {
    if (arguments[i].rfind("--", 0) != 0) {
      words.push_back(arguments[i]);
    } else if (i + 1 < arguments.size()) {
      options.emplace_back(arguments[i], arguments[i + 1]);
      ++i;
    } else {
      why = arguments[i] + " needs a value";
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) return Usage("no command given");
  const std::string& command = all[0];
  if (command == "help" || std::find(all.begin(), all.end(), "--help") != all.end() ||
      std::find(all.begin(), all.end(), "-h") != all.end()) {
    std::cout << kHelp;
    return 0;
  }
  std::vector<std::string> words;
  std::vector<std::pair<std::string, std::string>> options;
  std::string why;
  if (!SplitArguments({all.begin() + 1, all.end()}, words, options, why)) return Usage(why);

  publish::Output out;
  out.info = [](const std::string& line) { std::cout << line << "\n"; };
  out.problem = [](const std::string& line) { std::cerr << "ostrel-publish: " << line << "\n"; };
  out.progress = [](const std::string& line) { std::cerr << "  " << line << "\n"; };

  if (command == "keygen") {
    if (words.size() != 1 || !options.empty()) return Usage("keygen takes one folder: DIR");
    return publish::KeyGen(words[0], out);
  }
  if (command == "publish") {
    if (words.size() != 2) return Usage("publish takes RELEASE_DIR and OUT_DIR");
    publish::PublishOptions publishOptions;
    publishOptions.release = words[0];
    publishOptions.published = words[1];
    bool haveVersion = false;
    bool haveKey = false;
    for (const auto& [name, value] : options) {
      if (name == "--version") {
        publishOptions.version = value;
        haveVersion = true;
      } else if (name == "--key") {
        publishOptions.key = value;
        haveKey = true;
      } else if (name == "--installer") {
        publishOptions.installer = value;
      } else {
        return Usage("publish does not know " + name);
      }
    }
    if (!haveVersion || !haveKey) return Usage("publish needs --version V and --key KEY.pem");
    return publish::Publish(publishOptions, out);
  }
  if (command == "verify") {
    if (words.size() != 1) return Usage("verify takes OUT_DIR");
    publish::VerifyOptions verifyOptions;
    verifyOptions.published = words[0];
    for (const auto& [name, value] : options) {
      if (name == "--pub") {
        verifyOptions.publicKeys.emplace_back(value);
      } else if (name == "--previous" && !verifyOptions.previous) {
        verifyOptions.previous = value;
      } else {
        return Usage("verify takes --pub KEY.pub (repeatable) and one --previous VERSION only");
      }
    }
    if (verifyOptions.publicKeys.empty()) return Usage("verify needs --pub KEY.pub");
    return publish::Verify(verifyOptions, out);
  }
  return Usage("unknown command " + command);
}
