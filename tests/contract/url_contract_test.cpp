// How an address is cracked into scheme, user information and host: the portable reader
// natively, InternetCrackUrlA under Wine. The rows are the forms a hostile page would try on a
// site lock; the lock itself refuses some of them whatever the host (tests/site_lock_test.cpp).
#include <gtest/gtest.h>

#include "platform/url.h"

namespace {

struct UrlRow {
  const char* url;
  bool cracks;
  const char* scheme;
  bool hasUserInfo;
  const char* host;
};

const UrlRow kUrlRows[] = {
    {"http://morvane.net/", true, "http", false, "morvane.net"},
    {"https://www.morvane.net/books/a.htm?x=1#f", true, "https", false, "www.morvane.net"},
    {"HTTP://MORVANE.NET", true, "HTTP", false, "MORVANE.NET"},
    {"http://morvane.net:8080/x", true, "http", false, "morvane.net"},
    {"http://morvane.net:/x", true, "http", false, "morvane.net"},
    {"http://morvane.net./", true, "http", false, "morvane.net."},
    {"http://user:pw@morvane.net/", true, "http", true, "morvane.net"},
    {"http://@morvane.net/", true, "http", true, "morvane.net"},
    {"http://morvane.net@evil.net/", true, "http", true, "evil.net"},
    {"http://morvane.net:80@evil.net/", true, "http", true, "evil.net"},
    {"http://a@b@morvane.net/", true, "http", true, "b@morvane.net"},
    {"http://morvane.net.evil.net/", true, "http", false, "morvane.net.evil.net"},
    {"http://evil.net/?morvane.net", true, "http", false, "evil.net"},
    {"http://evil.net?x=.morvane.net", true, "http", false, "evil.net"},
    {"http://evil.net#.morvane.net", true, "http", false, "evil.net"},
    {"http://morvane.net?a@b", true, "http", false, "morvane.net"},
    // WinInet keeps a backslash inside the host, where a browser ends the host at it.
    {"http://evil.net\\.morvane.net/", true, "http", false, "evil.net\\.morvane.net"},
    {"http://morvane.net\\@evil.net/", true, "http", true, "evil.net"},
    {"http://%6Dorvane.net/", true, "http", false, "%6Dorvane.net"},
    {"http://xn--80ak6aa92e.morvane.net/", true, "http", false, "xn--80ak6aa92e.morvane.net"},
    {"http://morvane.net:8080:90/", true, "http", false, "morvane.net:8080"},
    {"http:///morvane.net/", true, "http", false, ""},
    {"http:/morvane.net/", true, "http", false, ""},
    {"http:\\\\morvane.net\\", true, "http", false, ""},
    {"javascript:alert(1)", true, "javascript", false, ""},
    {"file://host/share/x", true, "file", false, "host"},
    {"morvane.net", false, "", false, ""},
    {"//morvane.net/", false, "", false, ""},
    {" http://morvane.net/", false, "", false, ""},
    {"", false, "", false, ""},
};

TEST(UrlContract, CracksTheWayWinInetDoes) {
  for (const UrlRow& row : kUrlRows) {
    SCOPED_TRACE(row.url);
    const std::optional<platform::UrlParts> parts = platform::CrackUrl(row.url);
    ASSERT_EQ(parts.has_value(), row.cracks);
    if (!parts) continue;
    EXPECT_EQ(parts->scheme, row.scheme);
    EXPECT_EQ(parts->hasUserInfo, row.hasUserInfo);
    EXPECT_EQ(parts->host, row.host);
  }
}

}  // namespace
