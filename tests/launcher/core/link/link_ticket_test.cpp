// Launch links from end to end over fakes: tickets minted with real keys, checked by the
// handler's rules, and what the control's launching members start for them.
#include <gtest/gtest.h>

#include <functional>

#include "launch_minting.h"
#include "link/launch_ticket.h"
#include "link/link_handler.h"
#include "link/link_registration.h"
#include "link/used_tickets.h"
#include "platform/memory_registry.h"
#include "readinfo/reader_locator.h"
#include "support/inert_file_system.h"

namespace {

using launcher::LaunchTicket;

constexpr int64_t kNow = 1'800'000'000;

class RecordingShell final : public platform::Shell {
 public:
  bool Execute(const std::string&, const std::string& parameters) override {
    started.push_back(parameters);
    return true;
  }
  std::vector<std::string> started;
};

class NoBoxes final : public platform::MessageBoxes {
 public:
  int Show(const std::string&, const std::string&, uint32_t) override {
    ADD_FAILURE() << "a box was shown";
    return 1;
  }
};

class ReaderInstalled final : public testing_support::InertFileSystem {
 public:
  bool Exists(const std::string& path) override { return !path.empty(); }
};

const publish::SigningKey& Key(int which) {
  static const publish::SigningKey keys[] = {*publish::SigningKey::Generate(),
                                             *publish::SigningKey::Generate(),
                                             *publish::SigningKey::Generate()};
  return keys[which];
}

// Each ticket made here has a single-use number of its own.
LaunchTicket Ticket() {
  static uint32_t made = 0;
  ++made;
  LaunchTicket ticket;
  ticket.expiry = kNow + 300;
  ticket.singleUse = {static_cast<unsigned char>(made), static_cast<unsigned char>(made >> 8)};
  ticket.site = "https://www.morvane.net/book/A1";
  ticket.url = "root";
  ticket.id = "A1";
  ticket.readType = 2;
  ticket.priorPageNo = 15;
  ticket.name = "\xe4\xb9\xa6\xe5\x90\x8d";  // 书名 in UTF-8
  return ticket;
}

std::string Mint(const LaunchTicket& ticket, int key = 0) {
  return minting::MintLaunchLink(ticket, Key(key)).value_or("");
}

class LaunchLinks : public ::testing::Test {
 protected:
  LaunchLinks() {
    sites.Add("morvane.net;*.morvane.net");
    registry.CreateKey(launcher::kReaderKey)->SetValue("", platform::StringValue("C:\\Tavrel"));
  }

  launcher::LinkDecision Accept(const std::string& link, int64_t now = kNow) {
    return launcher::AcceptLaunchLink(
        link, {platform::SystemCrypto(), {Key(1).point(), Key(0).point()}, now, sites, registry});
  }

  // The command line the link starts, or "" when it is refused or starts nothing.
  std::string Started(const std::string& link, int64_t now = kNow) {
    const launcher::LinkDecision decision = Accept(link, now);
    if (!decision.ticket) return "";
    shell.started.clear();
    launcher::OpenTicketedBook(*decision.ticket, methods);
    return shell.started.size() == 1 ? shell.started[0] : "";
  }

  launcher::AllowList sites;
  platform::MemoryRegistry registry;
  ReaderInstalled files;
  RecordingShell shell;
  NoBoxes boxes;
  launcher::ReadInfoMethods methods{{registry, files, shell, boxes, platform::kCodePageGbk}};
};

TEST_F(LaunchLinks, EachFormStartsTheControlsCommandLine) {
  const std::string common = "-url root -id A1 -t 2 -g 15 -key \"\" -n \"\xca\xe9\xc3\xfb\"";
  LaunchTicket ticket = Ticket();
  EXPECT_EQ(Started(Mint(ticket)), common);
  ticket.form = launcher::CommandFormat::kNew;
  ticket.userType = 3;
  ticket.singleUse[15] = 1;
  EXPECT_EQ(Started(Mint(ticket)), common + " -user 3");
  ticket.form = launcher::CommandFormat::kNew3;
  ticket.downDay = -1;
  ticket.singleUse[15] = 2;
  EXPECT_EQ(Started(Mint(ticket, 1)), common + " -user 3 -downDay -1");
}

TEST_F(LaunchLinks, RefusedLinksStartNothing) {
  const std::string good = Mint(Ticket());
  const auto with = [](const std::function<void(LaunchTicket&)>& change) {
    LaunchTicket ticket = Ticket();
    change(ticket);
    return Mint(ticket);
  };
  // Bytes signed as they are, whatever they hold: a fault on the library's side.
  const auto signedAsIs = [](const std::string& payload) {
    return launcher::LaunchLink(payload, Key(0).Sign(payload));
  };
  LaunchTicket ticketOfKey0 = Ticket();
  ticketOfKey0.keyId = *launcher::LaunchKeyId(platform::SystemCrypto(), Key(0).point());
  const std::string payloadOfKey0 = launcher::TicketPayload(ticketOfKey0);
  const struct {
    const char* what;
    std::string link;
    int64_t now;
  } cases[] = {
      {"unknown key", Mint(Ticket(), 2), kNow},
      {"expired", good, kNow + 300 + launcher::kClockSkewSeconds + 1},
      {"expiry too far ahead",
       with([](LaunchTicket& t) { t.expiry = kNow + 600 + launcher::kClockSkewSeconds + 1; }),
       kNow},
      {"oversized", with([](LaunchTicket& t) { t.name.assign(1500, 'n'); }), kNow},
      {"extra text", good + "A", kNow},
      {"extra argument", good + " -url evil", kNow},
      {"padding", good + "=", kNow},
      {"slash after", good + "/", kNow},
      {"other scheme", "tavrel-reader" + good.substr(11), kNow},
      {"site not allowed", with([](LaunchTicket& t) { t.site = "https://evil.example/"; }), kNow},
      {"file site", with([](LaunchTicket& t) { t.site = "file:///c:/morvane.net"; }), kNow},
      {"zero in a text", with([](LaunchTicket& t) { t.id = std::string("A1\0x", 4); }), kNow},
      {"not UTF-8", with([](LaunchTicket& t) { t.name = "\xca\xe9"; }), kNow},
      {"file url", with([](LaunchTicket& t) { t.url = "file:///c:/books"; }), kNow},
      {"share url", with([](LaunchTicket& t) { t.url = "\\\\host\\share"; }), kNow},
      {"url as option", with([](LaunchTicket& t) { t.url = "-id"; }), kNow},
      {"id as option", with([](LaunchTicket& t) { t.id = "-url"; }), kNow},
      {"key as option", with([](LaunchTicket& t) { t.key = "-n"; }), kNow},
      {"url too long", with([](LaunchTicket& t) { t.url.assign(260, 'u'); }), kNow},
      {"empty", "tavrel-read:", kNow},
      {"magic and key id only",
       "tavrel-read:" + launcher::Base64UrlEncode(payloadOfKey0.substr(0, 12)), kNow},
      {"signed, a byte after the fields", signedAsIs(payloadOfKey0 + "x"), kNow},
      {"signed, cut inside the fields", signedAsIs(payloadOfKey0.substr(0, 60)), kNow},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(Started(row.link, row.now), "");
  }
  EXPECT_NE(Started(good), "") << "the unchanged ticket opens";
}

TEST_F(LaunchLinks, AFlippedBitAnywhereIsRefused) {
  const std::string bytes = *launcher::TicketBytesOfLink(Mint(Ticket()));
  for (std::size_t bit = 0; bit < bytes.size() * 8; ++bit) {
    std::string changed = bytes;
    changed[bit / 8] = static_cast<char>(changed[bit / 8] ^ (1 << (bit % 8)));
    const std::string link = "tavrel-read:" + launcher::Base64UrlEncode(changed);
    ASSERT_FALSE(Accept(link).ticket) << "bit " << bit;
  }
}

TEST_F(LaunchLinks, ALinkOpensOnceUntilItsNumberIsForgotten) {
  const std::string link = Mint(Ticket());
  EXPECT_TRUE(Accept(link).ticket);
  const launcher::LinkDecision again = Accept(link);
  EXPECT_FALSE(again.ticket);
  EXPECT_NE(again.why.find("used before"), std::string::npos) << again.why;
  // The record outlives everything the ticket could still be accepted at.
  EXPECT_FALSE(Accept(link, kNow + 300 + launcher::kClockSkewSeconds).ticket);
}

TEST_F(LaunchLinks, AnEmptyKeySlotMatchesNoTicket) {
  // The handler fills a slot whose resource holds no P-256 key with "", whose id anyone knows.
  LaunchTicket ticket = Ticket();
  ticket.keyId = *launcher::LaunchKeyId(platform::SystemCrypto(), "");
  const std::string payload = launcher::TicketPayload(ticket);
  const std::string link = launcher::LaunchLink(payload, Key(0).Sign(payload));
  EXPECT_FALSE(launcher::AcceptLaunchLink(
                   link, {platform::SystemCrypto(), {"", Key(0).point()}, kNow, sites, registry})
                   .ticket);
}

TEST_F(LaunchLinks, TheLogLineStaysOnePrintableLine) {
  LaunchTicket ticket = Ticket();
  ticket.id = "A1\r\nrefused: forged\\\xe4\xb9\xa6";
  const launcher::LinkDecision decision = Accept(Mint(ticket));
  ASSERT_TRUE(decision.ticket);
  for (const char c : decision.why) EXPECT_TRUE(c >= 0x20 && c <= 0x7E) << decision.why;
  EXPECT_NE(decision.why.find("A1\\x0d\\x0arefused: forged\\x5c\\xe4\\xb9\\xa6"), std::string::npos)
      << decision.why;
}

TEST(UsedTickets, Store) {
  const launcher::SingleUseNumber first{1};
  const struct {
    const char* what;
    std::function<void(platform::Registry&)> before;
    launcher::SingleUse expected;
  } cases[] = {
      {"empty store", [](platform::Registry&) {}, launcher::SingleUse::kFirstUse},
      {"seen", [&](platform::Registry& r) { launcher::RecordSingleUse(r, first, 200, 0); },
       launcher::SingleUse::kReplayed},
      {"seen and forgotten",
       [&](platform::Registry& r) { launcher::RecordSingleUse(r, first, 99, 0); },
       launcher::SingleUse::kFirstUse},
      {"full of live numbers",
       [](platform::Registry& r) {
         for (uint32_t i = 0; i < launcher::kMaxUsedTickets; ++i) {
           launcher::RecordSingleUse(
               r, {2, static_cast<unsigned char>(i), static_cast<unsigned char>(i >> 8)}, 200, 0);
         }
       },
       launcher::SingleUse::kFull},
      {"not binary",
       [](platform::Registry& r) {
         r.CreateKey(launcher::kLinkHandlerKey)
             ->SetValue(launcher::kUsedTicketsValue, platform::StringValue("x"));
       },
       launcher::SingleUse::kFailed},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.what);
    platform::MemoryRegistry registry;
    row.before(registry);
    EXPECT_EQ(launcher::RecordSingleUse(registry, first, 300, 100), row.expected);
  }
}

TEST(UsedTickets, OneWarningInTheQuietSpell) {
  platform::MemoryRegistry registry;
  EXPECT_TRUE(launcher::TakeWarningTurn(registry, 1000));
  EXPECT_FALSE(launcher::TakeWarningTurn(registry, 1009));
  EXPECT_TRUE(launcher::TakeWarningTurn(registry, 1010));
  EXPECT_TRUE(launcher::TakeWarningTurn(registry, 5)) << "a clock set back";
}

TEST(LinkRegistration, RemovalTakesExactlyWhatRegistrationWrote) {
  platform::MemoryRegistry classes;
  classes.CreateKey("tavrel-read\\shell\\open\\ddeexec");  // stale: ForceRemove clears it
  classes.CreateKey("tavrel-other")->SetValue("URL Protocol", platform::StringValue(""));
  ASSERT_EQ(launcher::RegisterLinkHandler("C:\\Tavrel's\\PellwickLink.exe", classes), 0);
  EXPECT_FALSE(classes.OpenKey("tavrel-read\\shell\\open\\ddeexec"));
  platform::RegistryValue value;
  ASSERT_EQ(classes.OpenKey("tavrel-read\\shell\\open\\command")->QueryValue("", 512, value),
            platform::QueryStatus::kOk);
  EXPECT_EQ(value.data, std::string("\"C:\\Tavrel's\\PellwickLink.exe\" \"%1\"") + '\0');
  EXPECT_EQ(classes.OpenKey("tavrel-read")->QueryValue("URL Protocol", 16, value),
            platform::QueryStatus::kOk);

  EXPECT_EQ(launcher::UnregisterLinkHandler(classes), 0);
  EXPECT_FALSE(classes.OpenKey("tavrel-read"));
  EXPECT_TRUE(classes.OpenKey("tavrel-other"));
}

TEST(Base64Url, OnlyTheCanonicalTextDecodes) {
  const struct {
    const char* text;
    const char* expected;  // nullptr: refused
  } cases[] = {
      {"", ""},        {"QQ", "A"},      {"QUI", "AB"},  {"QUJD", "ABC"},   {"-_8", "\xfb\xff"},
      {"QR", nullptr}, {"QUJ", nullptr}, {"Q", nullptr}, {"QQ==", nullptr}, {"Q+", nullptr},
      {"Q/", nullptr}, {"Q Q", nullptr},
  };
  for (const auto& row : cases) {
    SCOPED_TRACE(row.text);
    const std::optional<std::string> decoded = launcher::Base64UrlDecode(row.text);
    if (row.expected == nullptr) {
      EXPECT_FALSE(decoded);
    } else {
      ASSERT_TRUE(decoded);
      EXPECT_EQ(*decoded, row.expected);
      EXPECT_EQ(launcher::Base64UrlEncode(*decoded), row.text);
    }
  }
}

}  // namespace
