// How an address is cracked into scheme, user information and host: the portable reader
// natively, InternetCrackUrlA under Wine. The rows are the forms a hostile page would try on a
// site lock; the lock itself refuses some of them whatever the host (tests/launcher/core/site/site_lock_test.cpp).
#include <gtest/gtest.h>

#include "platform/url.h"

namespace {

struct UrlRow {
  const char* url;
  const char* scheme;  // null when the address does not crack at all
  const char* host;
  bool hasUserInfo;
};

const UrlRow kUrlRows[] = {
    {"http://morvane.net/", "http", "morvane.net", false},
    {"https://www.morvane.net/books/a.htm?x=1#f", "https", "www.morvane.net", false},
    {"HTTP://MORVANE.NET", "HTTP", "MORVANE.NET", false},
    {"http://morvane.net:8080/x", "http", "morvane.net", false},
    {"http://morvane.net:/x", "http", "morvane.net", false},
    {"http://morvane.net./", "http", "morvane.net.", false},
    {"http://user:pw@morvane.net/", "http", "morvane.net", true},
    {"http://@morvane.net/", "http", "morvane.net", true},
    {"http://morvane.net@evil.net/", "http", "evil.net", true},
    {"http://morvane.net:80@evil.net/", "http", "evil.net", true},
    {"http://a@b@morvane.net/", "http", "b@morvane.net", true},
    {"http://morvane.net.evil.net/", "http", "morvane.net.evil.net", false},
    {"http://evil.net/?morvane.net", "http", "evil.net", false},
    {"http://evil.net?x=.morvane.net", "http", "evil.net", false},
    {"http://evil.net#.morvane.net", "http", "evil.net", false},
    {"http://morvane.net?a@b", "http", "morvane.net", false},
    // WinInet keeps a backslash inside the host, where a browser ends the host at it.
    {"http://evil.net\\.morvane.net/", "http", "evil.net\\.morvane.net", false},
    {"http://morvane.net\\@evil.net/", "http", "evil.net", true},
    {"http://%6Dorvane.net/", "http", "%6Dorvane.net", false},
    {"http://xn--80ak6aa92e.morvane.net/", "http", "xn--80ak6aa92e.morvane.net", false},
    {"http://morvane.net:8080:90/", "http", "morvane.net:8080", false},
    {"http:///morvane.net/", "http", "", false},
    {"http:/morvane.net/", "http", "", false},
    {"http:\\\\morvane.net\\", "http", "", false},
    {"javascript:alert(1)", "javascript", "", false},
    {"file://host/share/x", "file", "host", false},
    {"morvane.net", nullptr, "", false},
    {"//morvane.net/", nullptr, "", false},
    {" http://morvane.net/", nullptr, "", false},
    {"", nullptr, "", false},
};

TEST(UrlContract, CracksTheWayWinInetDoes) {
  for (const UrlRow& row : kUrlRows) {
    SCOPED_TRACE(row.url);
    const std::optional<platform::UrlParts> parts = platform::CrackUrl(row.url);
    ASSERT_EQ(parts.has_value(), row.scheme != nullptr);
    if (!parts) continue;
    EXPECT_EQ(parts->scheme, row.scheme);
    EXPECT_EQ(parts->hasUserInfo, row.hasUserInfo);
    EXPECT_EQ(parts->host, row.host);
  }
}

// The port: as named, else the scheme's; the site lock compares it with its entries.
TEST(UrlContract, PortAsNamedOrTheSchemes) {
  const struct {
    const char* url;
    uint32_t port;
  } rows[] = {
      {"http://morvane.net/", 80},          {"https://www.morvane.net/x", 443},
      {"HTTPS://morvane.net", 443},         {"https://www.morvane.net:8443/", 8443},
      {"http://morvane.net:443/", 443},     {"https://morvane.net:80/", 80},
      {"http://morvane.net.:8080/x", 8080}, {"https://u@morvane.net:444/", 444},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.url);
    const std::optional<platform::UrlParts> parts = platform::CrackUrl(row.url);
    ASSERT_TRUE(parts);
    EXPECT_EQ(parts->port, row.port);
  }
}

}  // namespace
