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
constexpr DWORD kOpenFlags = INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD |
                             INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr char kNoCacheHeaders[] = "Pragma: no-cache\r\nCache-Control: no-cache\r\n";
constexpr DWORD_PTR kContext = 1;

class WinInetResource final : public InternetResource {
 public:
  WinInetResource(std::shared_ptr<void> session, UniqueHinternet request)
      : session_(std::move(session)), request_(std::move(request)) {}

  int StatusCode() override {
    DWORD status = 0;
    DWORD size = sizeof status;
    if (!::HttpQueryInfoA(request_.get(), HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                          &size, nullptr)) {
      return 0;
    }
    return static_cast<int>(status);
  }

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

  std::unique_ptr<InternetResource> OpenUrl(const std::string& url) override {
    HINTERNET request = ::InternetOpenUrlA(session_.get(), url.c_str(), kNoCacheHeaders,
                                           static_cast<DWORD>(-1), kOpenFlags, kContext);
    if (request == nullptr) return nullptr;
    return std::make_unique<WinInetResource>(session_, UniqueHinternet(request));
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
