// The site lock's rules: the allow-list's entries, which page addresses it lets use the
// control, and the administrator's policy value that extends it.
#include "site/site_lock.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "platform/product.h"
#include "platform/text.h"
#include "site/allowed_sites.h"

namespace {

using launcher::AllowList;
using launcher::IsAllowedPage;

AllowList ListOf(const std::string& entries) {
  AllowList list;
  list.Add(entries);
  return list;
}

TEST(AllowList, KeepsHostNamesAndWildcardsOnly) {
  const struct {
    std::string entries;
    std::vector<std::string> kept;
  } rows[] = {
      {"morvane.net;*.morvane.net", {"https://morvane.net", "https://*.morvane.net"}},
      {" Library.Example. ;\t*.CDN.example ;",
       {"https://library.example", "https://*.cdn.example"}},
      {";;", {}},
      {"*;*.;.x;x..y;a b;*.*.x;x*.y;ftp://x.net;x.net/;x.net:0;x.net:65536;x.net:;x_y.net", {}},
      {"HTTP://Lib.example.org;https://a.net:443;http://a.net:80;*.a.net:8443;http://b.net:443",
       {"http://lib.example.org", "https://a.net", "http://a.net", "https://*.a.net:8443",
        "http://b.net:443"}},
      {std::string(63, 'a') + ".net;" + std::string(64, 'b') + ".net",
       {"https://" + std::string(63, 'a') + ".net"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.entries);
    EXPECT_EQ(ListOf(row.entries).entries(), row.kept);
  }
}

TEST(SiteLock, SchemeAndPortAsTheEntriesSay) {
  // The built-in list, with a policy entry for a plain-http library.
  const AllowList list =
      ListOf(std::string(launcher::kBuiltInAllowedSites) + ";http://lib.example.org");
  const struct {
    std::u16string address;
    bool allowed;
  } rows[] = {
      {u"https://www.morvane.net/", true},       {u"https://morvane.net:443/", true},
      {u"http://www.morvane.net/", false},       {u"https://www.morvane.net:8443/", false},
      {u"http://www.morvane.net.:8080/", false}, {u"http://www.morvane.net:443/", false},
      {u"http://lib.example.org/books", true},   {u"http://lib.example.org:8080/", false},
      {u"https://lib.example.org/", false},      {u"http://www.lib.example.org/", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(platform::Utf16ToAnsi(row.address));
    EXPECT_EQ(IsAllowedPage(row.address, list), row.allowed);
  }
}

TEST(SiteLock, PagesOfTheListedSitesOnly) {
  const AllowList list = ListOf(
      "morvane.net;*.morvane.net;http://morvane.net;http://*.morvane.net;http://morvane.net:8080");
  const struct {
    std::u16string address;
    bool allowed;
  } rows[] = {
      {u"http://morvane.net/", true},
      {u"https://www.morvane.net/books/a.htm?x=1#f", true},
      {u"HTTPS://WWW.MORVANE.NET/", true},
      {u"http://morvane.net:8080/reader/", true},
      {u"http://morvane.net./", true},  // the same host, written fully qualified
      {u"http://xn--80ak6aa92e.morvane.net/", true},
      {u"http://evil.net/", false},
      {u"http://morvane.net.evil.net/", false},
      {u"http://evilmorvane.net/", false},
      {u"http://evil.net/?morvane.net", false},
      {u"http://evil.net#.morvane.net", false},
      {u"http://evil.net\\.morvane.net/", false},
      {u"http://morvane.net\\@evil.net/", false},
      {u"http://morvane.net@evil.net/", false},
      {u"http://evil.net@morvane.net/", false},  // user information is never needed
      {u"http://%6Dorvane.net/", false},
      {u"http://morvane%2Enet/", false},
      {u"http://m\u00f6rvane.net/", false},
      {u"http://morvane.net../", false},
      {u"http://.morvane.net/", false},
      {u"http://morvane.net:8080:90/", false},
      {u"http://[::1]/", false},
      {u"http:///morvane.net/", false},
      {u"http:morvane.net", false},
      {u"ftp://morvane.net/", false},
      {u"file://morvane.net/books", false},
      {u"javascript:'http://morvane.net/'", false},
      {u"about:blank", false},
      {u" http://morvane.net/", false},
      {u"http://mor vane.net/", false},
      {std::u16string(u"http://evil.net\0.morvane.net/", 29), false},
      {u"", false},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(platform::Utf16ToAnsi(row.address));
    EXPECT_EQ(IsAllowedPage(row.address, list), row.allowed);
  }
}

TEST(SiteLock, EveryAddressTheSiteGivesMustBeAllowed) {
  const AllowList list = ListOf("http://morvane.net");
  using Addresses = std::vector<std::u16string>;
  EXPECT_TRUE(IsAllowedPage(Addresses{u"http://morvane.net/a"}, list));
  EXPECT_TRUE(IsAllowedPage(Addresses{u"http://morvane.net/a", u"http://morvane.net/"}, list));
  EXPECT_FALSE(IsAllowedPage(Addresses{}, list));
  EXPECT_FALSE(IsAllowedPage(Addresses{u"http://morvane.net/a", u"http://evil.net/"}, list));
  EXPECT_FALSE(IsAllowedPage(Addresses{u"http://evil.net/", u"http://morvane.net/"}, list));
}

TEST(SiteLock, AnAdministratorsPolicyExtendsTheBuiltInList) {
  AllowList builtIn;
  builtIn.Add(launcher::kBuiltInAllowedSites);
  platform::MemoryRegistry localMachine;
  EXPECT_EQ(launcher::ReadAllowList(localMachine).entries(), builtIn.entries());

  const struct {
    const char* what;
    platform::RegistryValue value;
    std::vector<std::string> added;
  } rows[] = {
      {"a string",
       platform::StringValue("library.example; http://*.cdn.example"),
       {"https://library.example", "http://*.cdn.example"}},
      {"up to the first zero",
       {platform::kRegSz, std::string("a.example\0b.example", 19)},
       {"https://a.example"}},
      {"without a terminating zero", {platform::kRegSz, "a.example"}, {"https://a.example"}},
      {"another type", {platform::kRegExpandSz, platform::StringValue("a.example").data}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    localMachine.CreateKey(platform::kReaderPolicyKey)
        ->SetValue(launcher::kAllowedSitesValue, row.value);
    std::vector<std::string> expected = builtIn.entries();
    expected.insert(expected.end(), row.added.begin(), row.added.end());
    EXPECT_EQ(launcher::ReadAllowList(localMachine).entries(), expected);
  }
}

}  // namespace
