#include <windows.h>
#include <wininet.h>

#include <cerrno>
#include <cstdlib>
#include <string>

#include "handles.h"
#include "platform/internet.h"

namespace platform {
namespace {

using win32::UniqueHinternet;

// An answer only counts when it comes from the server now, not from the platform's cache.
// Requests run on a worker and never ask the user anything. A certificate fault fails the
// request: nothing here relaxes the platform's checks (no INTERNET_FLAG_IGNORE_CERT_* flag, no
// security-flags option), and no failure is retried in a weaker way.
constexpr DWORD kOpenFlags = INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD |
                             INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE |
                             INTERNET_FLAG_NO_UI;
constexpr char kNoCacheHeaders[] = "Pragma: no-cache\r\nCache-Control: no-cache\r\n";
constexpr DWORD_PTR kContext = 1;
// More redirects than this from a secure address fail the request: a loop would never end.
constexpr int kMostRedirects = 10;

int StatusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size,
                        nullptr)) {
    return 0;
  }
  return static_cast<int>(status);
}

bool IsHttps(const std::string& url) {
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  return ::InternetCrackUrlA(url.c_str(), 0, 0, &parts) && parts.nScheme == INTERNET_SCHEME_HTTPS;
}

// The absolute address a redirect answer points to; empty when it names none or one longer
// than WinInet's longest address.
std::string RedirectTarget(HINTERNET request, const std::string& base) {
  char location[INTERNET_MAX_URL_LENGTH + 1] = {};
  DWORD size = sizeof location - 1;
  if (!::HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &size, nullptr)) return {};
  // The location may be relative to the address that answered.
  char target[INTERNET_MAX_URL_LENGTH + 1] = {};
  DWORD length = sizeof target;
  if (!::InternetCombineUrlA(base.c_str(), location, target, &length, ICU_NO_ENCODE)) return {};
  return target;
}

bool IsRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

class WinInetResource final : public InternetResource {
 public:
  WinInetResource(std::shared_ptr<void> session, UniqueHinternet request)
      : session_(std::move(session)), request_(std::move(request)) {}

  int StatusCode() override { return StatusOf(request_.get()); }

  std::optional<int64_t> ContentLength() override {
    char text[32] = {};
    DWORD size = sizeof text - 1;
    if (!::HttpQueryInfoA(request_.get(), HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
      return std::nullopt;
    }
    // Read wide, so a length past 2^31 is seen as such rather than wrapped.
    char* end = nullptr;
    errno = 0;
    const long long length = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE) return std::nullopt;
    return static_cast<int64_t>(length);
  }

  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    DWORD copied = 0;
    if (!::InternetReadFile(request_.get(), buffer, static_cast<DWORD>(size), &copied)) {
      return std::nullopt;
    }
    return static_cast<std::size_t>(copied);
  }

 private:
  std::shared_ptr<void> session_;  // the request handle closes before its session
  UniqueHinternet request_;
};

class WinInetSession final : public InternetSession {
 public:
  explicit WinInetSession(HINTERNET session) : session_(session, win32::HinternetCloser()) {}

  // WinInet follows redirects itself, and Wine's follows one from https to plain http without
  // a word. So redirects from a secure address are followed here, one at a time, and only to
  // secure addresses: what was asked for over TLS never arrives in the clear.
  std::unique_ptr<InternetResource> OpenUrl(const std::string& url) override {
    std::string address = url;
    for (int redirects = 0;; ++redirects) {
      const bool secure = IsHttps(address);
      const DWORD flags = kOpenFlags | (secure ? INTERNET_FLAG_NO_AUTO_REDIRECT : 0);
      UniqueHinternet request(::InternetOpenUrlA(session_.get(), address.c_str(), kNoCacheHeaders,
                                                 static_cast<DWORD>(-1), flags, kContext));
      if (!request) return nullptr;
      if (!secure || !IsRedirect(StatusOf(request.get()))) {
        return std::make_unique<WinInetResource>(session_, std::move(request));
      }
      std::string target = RedirectTarget(request.get(), address);
      if (target.empty()) return std::make_unique<WinInetResource>(session_, std::move(request));
      request.reset();  // before the error is set: closing may change it
      if (!IsHttps(target)) {
        ::SetLastError(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        return nullptr;
      }
      if (redirects == kMostRedirects) {
        ::SetLastError(ERROR_HTTP_REDIRECT_FAILED);
        return nullptr;
      }
      address = std::move(target);
    }
  }

 private:
  std::shared_ptr<void> session_;
};

class WinInet final : public InternetClient {
 public:
  explicit WinInet(std::string agent) : agent_(std::move(agent)) {}

  std::unique_ptr<InternetSession> OpenSession() override {
    HINTERNET session =
        ::InternetOpenA(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr) return nullptr;
    return std::make_unique<WinInetSession>(session);
  }

 private:
  std::string agent_;
};

}  // namespace

InternetClient& WinInetClient(const std::string& agent) {
  static WinInet client(agent);
  return client;
}

}  // namespace platform
