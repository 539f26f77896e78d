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

// An answer only counts when it comes from the server now, not from the platform's cache.
constexpr DWORD kOpenFlags = INTERNET_FLAG_TRANSFER_ASCII | INTERNET_FLAG_RELOAD |
                             INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE;
constexpr char kNoCacheHeaders[] = "Pragma: no-cache\r\nCache-Control: no-cache\r\n";
constexpr DWORD_PTR kContext = 1;

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
    DWORD status = 0;
    DWORD size = sizeof status;
    bool answered = false;
    request_->Use([&](void* request) {
      answered = ::HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status,
                                  &size, nullptr) != FALSE;
    });
    return answered ? static_cast<int>(status) : 0;
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

  std::unique_ptr<InternetResource> OpenUrl(const std::string& url) override {
    if (state_->Cancelled()) {
      state_->FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
      return nullptr;
    }
    HINTERNET opened = ::InternetOpenUrlA(session_.get(), url.c_str(), kNoCacheHeaders,
                                          static_cast<DWORD>(-1), kOpenFlags, kContext);
    if (opened == nullptr) {
      state_->Failed();
      return nullptr;
    }
    auto request = std::make_shared<SharedHandle>(opened, &CloseHinternet);
    {
      std::lock_guard<std::mutex> lock(state_->mutex);
      if (!state_->cancelled) {
        state_->request = request;
        return std::make_unique<WinInetResource>(session_, state_, std::move(request));
      }
      state_->lastError = ERROR_INTERNET_OPERATION_CANCELLED;
    }
    return nullptr;  // cancelled while it opened: the new handle closes with `request`
  }

  uint32_t LastError() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastError;
  }

  std::function<void()> Canceller() override {
    return [state = state_] { state->Cancel(); };
  }

 private:
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
