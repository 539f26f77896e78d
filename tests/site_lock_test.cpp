// The site lock's rules: the allow-list's entries, which page addresses it lets use the
// control, and the administrator's policy value that extends it.
#include "site/site_lock.h"

#include <gtest/gtest.h>

#include "platform/memory_registry.h"
#include "platform/product.h"
#include "platform/text.h"
#include "site/allowed_sites.h"

namespace {

using pellwick::AllowList;
using pellwick::IsAllowedPage;

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
      {"morvane.net;*.morvane.net", {"morvane.net", "*.morvane.net"}},
      {" Library.Example. ;\t*.CDN.example ;", {"library.example", "*.cdn.example"}},
      {";;", {}},
      {"*;*.;.x;x..y;a b;*.*.x;x*.y;http://x.net;x.net/;x.net:80;x_y.net", {}},
      {std::string(63, 'a') + ".net;" + std::string(64, 'b') + ".net",
       {std::string(63, 'a') + ".net"}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.entries);
    EXPECT_EQ(ListOf(row.entries).entries(), row.kept);
  }
}

TEST(SiteLock, PagesOfTheListedSitesOnly) {
  const AllowList list = ListOf("morvane.net;*.morvane.net");
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
  const AllowList list = ListOf("morvane.net");
  using Addresses = std::vector<std::u16string>;
  EXPECT_TRUE(IsAllowedPage(Addresses{u"http://morvane.net/a"}, list));
  EXPECT_TRUE(IsAllowedPage(Addresses{u"http://morvane.net/a", u"http://morvane.net/"}, list));
  EXPECT_FALSE(IsAllowedPage(Addresses{}, list));
  EXPECT_FALSE(IsAllowedPage(Addresses{u"http://morvane.net/a", u"http://evil.net/"}, list));
  EXPECT_FALSE(IsAllowedPage(Addresses{u"http://evil.net/", u"http://morvane.net/"}, list));
}

TEST(SiteLock, AnAdministratorsPolicyExtendsTheBuiltInList) {
  AllowList builtIn;
  builtIn.Add(pellwick::kBuiltInAllowedSites);
  platform::MemoryRegistry localMachine;
  EXPECT_EQ(pellwick::ReadAllowList(localMachine).entries(), builtIn.entries());

  const struct {
    const char* what;
    platform::RegistryValue value;
    std::vector<std::string> added;
  } rows[] = {
      {"a string",
       platform::StringValue("library.example; *.cdn.example"),
       {"library.example", "*.cdn.example"}},
      {"up to the first zero",
       {platform::kRegSz, std::string("a.example\0b.example", 19)},
       {"a.example"}},
      {"without a terminating zero", {platform::kRegSz, "a.example"}, {"a.example"}},
      {"another type", {platform::kRegExpandSz, platform::StringValue("a.example").data}, {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    localMachine.CreateKey(platform::kReaderPolicyKey)
        ->SetValue(pellwick::kAllowedSitesValue, row.value);
    std::vector<std::string> expected = builtIn.entries();
    expected.insert(expected.end(), row.added.begin(), row.added.end());
    EXPECT_EQ(pellwick::ReadAllowList(localMachine).entries(), expected);
  }
}

}  // namespace
