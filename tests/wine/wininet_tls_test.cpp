// HTTPS over real WinInet against the TLS instances of the local update server. The Wine
// prefix trusts the test authority (tests/wine/trust_authority.cpp) and nothing else of ours.
#include <gtest/gtest.h>
#include <windows.h>
#include <wininet.h>

#include <algorithm>

#include "net/http_fetcher.h"
#include "support/temp_folder.h"
#include "support/unique_name.h"
#include "support/update_server.h"

namespace {

struct SilentSink final : updater::ProgressSink {
  void SetRange(int32_t) override {}
  void SetPosition(int32_t) override {}
  void SetStatusText(const std::string&) override {}
};

std::string PortOf(const testing_support::UpdateServer& server) {
  return server.baseUrl().substr(server.baseUrl().rfind(':') + 1);
}

// The path options of `count` redirects in a row to the server `to`, by `scheme`.
std::string Redirects(const char* scheme, const testing_support::UpdateServer& to, int count = 1) {
  std::string hops;
  for (int i = 0; i < count; ++i) hops += std::string("/~redirect=") + scheme + ":" + PortOf(to);
  return hops;
}

class WinInetTls : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const auto* server : {&plain, &trusted, &untrusted, &otherHost, &expired}) {
      ASSERT_TRUE(server->valid()) << "an update server is not running";
    }
    const std::string name = testing_support::UniqueName("tls") + ".bin";
    contents.assign(3000, 's');
    for (std::size_t i = 0; i < contents.size(); i += 89) contents[i] = static_cast<char>(i);
    testing_support::WriteFileBytes(plain.root() + "\\" + name, contents);
    path = "/" + name;
  }

  // Fetches `url` into `block`, which holds other bytes before.
  bool Fetch(const std::string& url) {
    const auto session = platform::WinInetClient("Ostrel").OpenSession();
    if (!session) return false;
    updater::HttpFetcher fetcher(*session, platform::SystemOleDateClock());
    std::atomic<int32_t> cancel{0};
    SilentSink sink;
    updater::FetchReport report;
    block = {'o', 'l', 'd'};
    return fetcher.Fetch(url, updater::kAnyLength, block, sink, cancel, report);
  }

  // The error WinInet reports when it refuses to open the address; 0 when it opens it.
  static DWORD OpenError(const std::string& url) {
    const auto session = platform::WinInetClient("Ostrel").OpenSession();
    if (!session) return ::GetLastError();
    return session->OpenUrl(url) ? 0 : session->LastError();
  }

  testing_support::UpdateServer plain;
  testing_support::UpdateServer trusted{"trusted"};
  testing_support::UpdateServer untrusted{"untrusted"};
  testing_support::UpdateServer otherHost{"otherhost"};
  testing_support::UpdateServer expired{"expired"};
  std::string contents;
  std::string path;
  std::vector<char> block;
};

TEST_F(WinInetTls, TrustedServerAndSecureRedirects) {
  const struct {
    const char* what;
    std::string url;
  } cases[] = {
      {"trusted certificate", trusted.baseUrl() + path},
      {"redirect to https", trusted.baseUrl() + Redirects("https", trusted) + path},
      {"ten redirects", trusted.baseUrl() + Redirects("https", trusted, 10) + path},
      {"plain http redirects as before", plain.baseUrl() + Redirects("http", plain) + path},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_TRUE(Fetch(c.url));
    EXPECT_EQ(std::string(block.begin(), block.end()), contents);
  }
}

TEST_F(WinInetTls, CertificateFaultsAndDowngradesFailTheFetch) {
  // The errors are what Wine 8 reports; each also shows that the refusal came from the TLS
  // check, not from a server that was not there (ERROR_INTERNET_CANNOT_CONNECT).
  const struct {
    const char* what;
    std::string url;
    DWORD error;
  } cases[] = {
      {"untrusted authority", untrusted.baseUrl() + path, ERROR_INTERNET_INVALID_CA},
      {"certificate for another host", otherHost.baseUrl() + path,
       ERROR_INTERNET_SEC_CERT_CN_INVALID},
      {"expired certificate", expired.baseUrl() + path, ERROR_INTERNET_SEC_CERT_DATE_INVALID},
      // The name is right, but the address is not: the certificate names localhost only.
      {"trusted certificate, address by number", "https://127.0.0.1:" + PortOf(trusted) + path,
       ERROR_INTERNET_SEC_CERT_CN_INVALID},
      {"redirect to an untrusted server", trusted.baseUrl() + Redirects("https", untrusted) + path,
       ERROR_INTERNET_INVALID_CA},
      {"redirect to plain http", trusted.baseUrl() + Redirects("http", plain) + path,
       ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR},
      {"eleven redirects", trusted.baseUrl() + Redirects("https", trusted, 11) + path,
       ERROR_HTTP_REDIRECT_FAILED},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    EXPECT_EQ(OpenError(c.url), c.error);
    EXPECT_FALSE(Fetch(c.url));
    EXPECT_TRUE(block.empty());
  }
  // No request reached a server that failed its check, nor the plain one.
  for (const auto* server : {&plain, &untrusted, &otherHost, &expired}) {
    EXPECT_EQ(server->RequestLog().find(path), std::string::npos) << server->baseUrl();
  }
}

// Over TLS too, reads of whole blocks take over from reads after a query on a fast body, and a
// block read that waits once it slows down still delivers it intact.
TEST_F(WinInetTls, FastBodyThatSlowsDownArrivesIntact) {
  const std::string name = testing_support::UniqueName("large") + ".bin";
  std::string large(17u << 20, 'l');
  for (std::size_t i = 0; i < large.size(); i += 89) large[i] = static_cast<char>(i);
  testing_support::WriteFileBytes(plain.root() + "\\" + name, large);
  ASSERT_TRUE(Fetch(trusted.baseUrl() + "/~fast=16777216,rate=1000000/" + name));
  EXPECT_TRUE(std::equal(block.begin(), block.end(), large.begin(), large.end()));
}

}  // namespace
