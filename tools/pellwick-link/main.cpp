// pellwick-link: the library's launch keys and signed tavrel-read: links. See --help.
#include <cerrno>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <map>
#include <string>
#include <vector>

#include "launch_minting.h"

namespace {

constexpr char kHelp[] = R"(pellwick-link: signed links that open a book in the reader

  pellwick-link keygen DIR
      Writes a new launch key pair: DIR/launch-key.pem (private: it stays on the library's
      web server) and DIR/launch-key.pub (public: build PellwickLink.exe with
      -DPELLWICK_LAUNCH_KEY=DIR/launch-key.pub). Never replaces an existing key. Keep it
      apart from the update key: a launch key can sign no update.

  pellwick-link mint --signing-key KEY.pem --site PAGE --url URL --id ID --type N --page N
                     --key TEXT --name TEXT [--user N [--down-day N]]
                     [--expires-in SECONDS | --expiry UNIX_TIME]
      Prints one tavrel-read: link: the book request of PassReadInfoDirect (or ...New with
      --user, ...New3 with --down-day), issued by the library page PAGE, valid for
      SECONDS (default 300, at most 600) and once only. Texts are UTF-8.

Exit status: 0 done, 1 a problem, 2 wrong usage.
)";

int Usage(const std::string& why) {
  std::cerr << "pellwick-link: " << why << "\n(pellwick-link --help shows the usage)\n";
  return 2;
}

bool ToNumber(const std::string& text, long long low, long long high, long long& number) {
  if (text.empty()) return false;
  char* end = nullptr;
  errno = 0;
  number = std::strtoll(text.c_str(), &end, 10);
  return errno == 0 && *end == 0 && number >= low && number <= high;
}

int Mint(const std::map<std::string, std::string>& options) {
  static const char* const kKnown[] = {"--signing-key", "--site",     "--url",        "--id",
                                       "--type",        "--page",     "--key",        "--name",
                                       "--user",        "--down-day", "--expires-in", "--expiry"};
  for (const auto& [name, value] : options) {
    bool known = false;
    for (const char* candidate : kKnown) known = known || name == candidate;
    if (!known) return Usage("mint does not know " + name);
  }
  for (const char* needed :
       {"--signing-key", "--site", "--url", "--id", "--type", "--page", "--key", "--name"}) {
    if (options.count(needed) == 0) return Usage(std::string("mint needs ") + needed);
  }
  if (options.count("--down-day") != 0 && options.count("--user") == 0) {
    return Usage("--down-day needs --user");
  }
  launcher::LaunchTicket ticket;
  ticket.site = options.at("--site");
  ticket.url = options.at("--url");
  ticket.id = options.at("--id");
  ticket.key = options.at("--key");
  ticket.name = options.at("--name");
  long long number = 0;
  const long long low = INT32_MIN;
  const long long high = INT32_MAX;
  if (!ToNumber(options.at("--type"), low, high, number)) return Usage("--type: a 32-bit number");
  ticket.readType = static_cast<int32_t>(number);
  if (!ToNumber(options.at("--page"), low, high, number)) return Usage("--page: a 32-bit number");
  ticket.priorPageNo = static_cast<int32_t>(number);
  if (options.count("--user") != 0) {
    if (!ToNumber(options.at("--user"), low, high, number)) return Usage("--user: a 32-bit number");
    ticket.userType = static_cast<int32_t>(number);
    ticket.form = launcher::CommandFormat::kNew;
  }
  if (options.count("--down-day") != 0) {
    if (!ToNumber(options.at("--down-day"), low, high, number)) {
      return Usage("--down-day: a 32-bit number");
    }
    ticket.downDay = static_cast<int32_t>(number);
    ticket.form = launcher::CommandFormat::kNew3;
  }
  const long long now = static_cast<long long>(std::time(nullptr));
  if (options.count("--expiry") != 0) {
    // Any time, also a past one: the tests mint expired links this way.
    if (!ToNumber(options.at("--expiry"), 0, INT64_MAX, number)) return Usage("--expiry: a time");
    ticket.expiry = number;
  } else {
    long long life = 300;
    if (options.count("--expires-in") != 0 &&
        !ToNumber(options.at("--expires-in"), 1, launcher::kMaxTicketLifeSeconds, life)) {
      return Usage("--expires-in: 1 to 600 seconds");
    }
    ticket.expiry = now + life;
  }
  for (const std::string* text :
       {&ticket.site, &ticket.url, &ticket.id, &ticket.key, &ticket.name}) {
    if (!launcher::Utf8ToUtf16Strict(*text)) {
      std::cerr << "pellwick-link: a text is not valid UTF-8 or holds a zero character\n";
      return 1;
    }
  }
  const std::optional<launcher::SingleUseNumber> single = minting::RandomSingleUseNumber();
  std::string why;
  const std::optional<publish::SigningKey> key =
      publish::SigningKey::Load(options.at("--signing-key"), why);
  if (!single || !key) {
    std::cerr << "pellwick-link: " << (single ? why : "no random number") << "\n";
    return 1;
  }
  ticket.singleUse = *single;
  const std::optional<std::string> link = minting::MintLaunchLink(ticket, *key);
  if (!link) {
    std::cerr << "pellwick-link: libcrypto could not sign\n";
    return 1;
  }
  if (link->size() > launcher::kMaxLinkSize) {
    std::cerr << "pellwick-link: the link has " << link->size() << " characters; the reader "
              << "takes at most " << launcher::kMaxLinkSize << "\n";
    return 1;
  }
  std::cout << *link << "\n";
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::vector<std::string> all(argv + 1, argv + argc);
  if (all.empty()) return Usage("no command given");
  if (all[0] == "help" || all[0] == "--help" || all[0] == "-h") {
    std::cout << kHelp;
    return 0;
  }
  if (all[0] == "keygen") {
    if (all.size() != 2) return Usage("keygen takes one folder: DIR");
    std::string why;
    if (!minting::WriteLaunchKeyPair(all[1], why)) {
      std::cerr << "pellwick-link: " << why << "\n";
      return 1;
    }
    std::cout << "wrote " << all[1] << "/" << minting::kLaunchPrivateKeyFile << " (private) and "
              << all[1] << "/" << minting::kLaunchPublicKeyFile << " (public)\n";
    return 0;
  }
  if (all[0] == "mint") {
    std::map<std::string, std::string> options;
    for (std::size_t i = 1; i < all.size(); i += 2) {
      if (all[i].rfind("--", 0) != 0 || i + 1 == all.size()) {
        return Usage("mint takes --name value pairs; " + all[i] + " is not one");
      }
      if (!options.emplace(all[i], all[i + 1]).second) return Usage(all[i] + " given twice");
    }
    return Mint(options);
  }
  return Usage("unknown command " + all[0]);
}
