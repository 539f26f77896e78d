#include <windows.h>
#include <wininet.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>

#include "handles.h"
#include "platform/internet.h"
#include "platform/shared_handle.h"

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

void CloseHinternet(void* handle) { ::InternetCloseHandle(static_cast<HINTERNET>(handle)); }

// What a session shares with its resources and with its canceller, which may run on another
// thread and outlive the session: the request in progress and whether the session was
// cancelled.
struct SessionState {
  std::mutex mutex;
  bool cancelled = false;
  std::shared_ptr<SharedHandle> request;
  DWORD lastError = 0;

  void Cancel() {
    std::shared_ptr<SharedHandle> pending;
    {
      std::lock_guard<std::mutex> lock(mutex);
      cancelled = true;
      pending = request;
    }
    if (pending) pending->Close();
  }
  bool Cancelled() {
    std::lock_guard<std::mutex> lock(mutex);
    return cancelled;
  }
  // Right after the call that failed.
  void Failed() {
    const DWORD error = ::GetLastError();
    std::lock_guard<std::mutex> lock(mutex);
    lastError = error;
  }
  void FailedWith(DWORD error) {
    std::lock_guard<std::mutex> lock(mutex);
    lastError = error;
  }
};

class WinInetResource final : public InternetResource {
 public:
  WinInetResource(std::shared_ptr<void> session, std::shared_ptr<SessionState> state,
                  std::shared_ptr<SharedHandle> request)
      : session_(std::move(session)), state_(std::move(state)), request_(std::move(request)) {}
  ~WinInetResource() override {
    request_->Close();
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->request == request_) state_->request.reset();
  }

  int StatusCode() override {
    int status = 0;
    request_->Use([&](void* request) { status = StatusOf(static_cast<HINTERNET>(request)); });
    return status;
  }

  std::optional<int64_t> ContentLength() override {
    char text[32] = {};
    DWORD size = sizeof text - 1;
    bool answered = false;
    request_->Use([&](void* request) {
      answered =
          ::HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr) != FALSE;
    });
    if (!answered) return std::nullopt;
    // Read wide, so a length past 2^31 is seen as such rather than wrapped.
    char* end = nullptr;
    errno = 0;
    const long long length = std::strtoll(text, &end, 10);
    if (end == text || *end != '\0' || errno == ERANGE) return std::nullopt;
    return static_cast<int64_t>(length);
  }

  std::optional<std::size_t> Available() override {
    DWORD available = 0;
    bool done = false;
    const bool open = request_->Use([&](void* request) {
      done = ::InternetQueryDataAvailable(request, &available, 0, 0) != FALSE;
      if (!done) state_->Failed();
    });
    if (!open || state_->Cancelled()) return Cancelled();
    if (!done) return std::nullopt;
    return static_cast<std::size_t>(available);
  }

  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    DWORD copied = 0;
    bool done = false;
    const bool open = request_->Use([&](void* request) {
      done = ::InternetReadFile(request, buffer, static_cast<DWORD>(size), &copied) != FALSE;
      if (!done) state_->Failed();
    });
    // A read that a cancel cut short may still report success with what it had.
    if (!open || state_->Cancelled()) return Cancelled();
    if (!done) return std::nullopt;
    return static_cast<std::size_t>(copied);
  }

 private:
  std::optional<std::size_t> Cancelled() {
    state_->FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
    return std::nullopt;
  }

  std::shared_ptr<void> session_;  // the request handle closes before its session
  std::shared_ptr<SessionState> state_;
  std::shared_ptr<SharedHandle> request_;
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
      if (state_->Cancelled()) {
        state_->FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
        return nullptr;
      }
      const bool secure = IsHttps(address);
      const DWORD flags = kOpenFlags | (secure ? INTERNET_FLAG_NO_AUTO_REDIRECT : 0);
      UniqueHinternet request(::InternetOpenUrlA(session_.get(), address.c_str(), kNoCacheHeaders,
                                                 static_cast<DWORD>(-1), flags, kContext));
      if (!request) {
        state_->Failed();
        return nullptr;
      }
      std::string target;
      if (secure && IsRedirect(StatusOf(request.get()))) {
        target = RedirectTarget(request.get(), address);
      }
      if (target.empty()) return Answer(std::move(request));
      request.reset();
      if (!IsHttps(target)) {
        state_->FailedWith(ERROR_INTERNET_HTTPS_TO_HTTP_ON_REDIR);
        return nullptr;
      }
      if (redirects == kMostRedirects) {
        state_->FailedWith(ERROR_HTTP_REDIRECT_FAILED);
        return nullptr;
      }
      address = std::move(target);
    }
  }

  uint32_t LastError() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastError;
  }

  std::function<void()> Canceller() override {
    return [state = state_] { state->Cancel(); };
  }

 private:
  // The request as the session's request in progress, which its canceller closes; nothing
  // when the session was cancelled while it opened (the handle is closed here).
  std::unique_ptr<InternetResource> Answer(UniqueHinternet opened) {
    auto request = std::make_shared<SharedHandle>(opened.release(), &CloseHinternet);
    std::lock_guard<std::mutex> lock(state_->mutex);
    if (state_->cancelled) {
      state_->lastError = ERROR_INTERNET_OPERATION_CANCELLED;
      return nullptr;
    }
    state_->request = request;
    return std::make_unique<WinInetResource>(session_, state_, std::move(request));
  }

  // Closed once the session and all its resources are gone; only their thread uses it.
  std::shared_ptr<void> session_;
  std::shared_ptr<SessionState> state_ = std::make_shared<SessionState>();
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
  // Never destroyed: a page's worker may still be on its way out while the program ends.
  static WinInet* const client = new WinInet(agent);
  return *client;
}

}  // namespace platform
