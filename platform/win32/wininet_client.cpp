#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "handles.h"
#include "platform/catch_all.h"
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
// The largest read the fetcher asks for.
constexpr std::size_t kLargestReadSize = 64 * 1024;
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

// Why WinInet cannot fetch the address, or 0 when it can be tried. Wine's asynchronous
// InternetOpenUrlA answers an address it cannot parse with ERROR_IO_PENDING and then never
// completes, so such addresses are refused before they are opened.
DWORD UnusableAddress(const std::string& url) {
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  if (!::InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return ::GetLastError();
  if (parts.nScheme != INTERNET_SCHEME_HTTP && parts.nScheme != INTERNET_SCHEME_HTTPS) {
    return ERROR_INTERNET_UNRECOGNIZED_SCHEME;
  }
  return 0;
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

// What a session shares with WinInet's callback and with its canceller. Requests run
// asynchronously, so nothing here ever blocks on the network: the worker waits on `completed`,
// which the callback sets when an operation ends, and on `cancelled`, which the canceller sets.
// Never freed: after a cancel WinInet may still complete an abandoned operation, and write its
// count or its bytes here, long after the session's owner is gone.
struct SessionState {
  HANDLE completed = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  HANDLE cancelled = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::mutex mutex;
  DWORD_PTR result = 0;  // of the operation that completed last
  DWORD error = 0;
  DWORD lastError = 0;
  // Where an operation may still write after the worker stopped waiting for it.
  DWORD available = 0;
  std::vector<char> buffer = std::vector<char>(kLargestReadSize);

  bool Cancelled() { return ::WaitForSingleObject(cancelled, 0) == WAIT_OBJECT_0; }
  void Cancel() { ::SetEvent(cancelled); }
  void FailedWith(DWORD code) {
    std::lock_guard<std::mutex> lock(mutex);
    lastError = code;
  }
  // Right after the call that failed.
  void Failed() { FailedWith(::GetLastError()); }
  // The call just made returned FALSE: waits for its completion when it is pending. True when
  // it completed well; false with the error kept (cancelled, when the cancel came first).
  bool Completed() {
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      FailedWith(error);
      return false;
    }
    HANDLE events[] = {completed, cancelled};
    if (::WaitForMultipleObjects(2, events, FALSE, INFINITE) != WAIT_OBJECT_0) {
      FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
      return false;
    }
    std::lock_guard<std::mutex> lock(mutex);
    if (result != 0) return true;
    lastError = this->error;
    return false;
  }
};

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, void* information, DWORD) {
  if (status != INTERNET_STATUS_REQUEST_COMPLETE || context == 0) return;
  auto* state = reinterpret_cast<SessionState*>(context);
  const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(information);
  // WinInet's own thread calls this: nothing may unwind into it.
  platform::CatchAll([&] {
    std::lock_guard<std::mutex> lock(state->mutex);
    state->result = outcome->dwResult;
    state->error = outcome->dwError;
  });
  ::SetEvent(state->completed);
}

DWORD_PTR ContextOf(SessionState* state) { return reinterpret_cast<DWORD_PTR>(state); }

class WinInetResource final : public InternetResource {
 public:
  WinInetResource(std::shared_ptr<void> session, SessionState* state, UniqueHinternet request)
      : session_(std::move(session)), state_(state), request_(std::move(request)) {}

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

  std::optional<std::size_t> Available() override {
    for (;;) {
      if (state_->Cancelled()) return Cancelled();
      ::ResetEvent(state_->completed);
      // The count lands in the session's state: a query abandoned on cancel may still write it.
      if (::InternetQueryDataAvailable(request_.get(), &state_->available, 0, ContextOf(state_))) {
        return static_cast<std::size_t>(state_->available);
      }
      // Once the pending query has completed, data is there: asked again, it answers at once.
      if (!state_->Completed()) return std::nullopt;
    }
  }

  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    if (state_->Cancelled()) return Cancelled();
    INTERNET_BUFFERSA read = {};
    read.dwStructSize = sizeof read;
    read.lpvBuffer = state_->buffer.data();
    read.dwBufferLength = static_cast<DWORD>(std::min(size, state_->buffer.size()));
    ::ResetEvent(state_->completed);
    // IRF_NO_WAIT: what has arrived, up to the size asked, without waiting for more.
    if (::InternetReadFileExA(request_.get(), &read, IRF_NO_WAIT, ContextOf(state_))) {
      std::copy_n(state_->buffer.data(), read.dwBufferLength, buffer);
      return static_cast<std::size_t>(read.dwBufferLength);
    }
    // Nothing had arrived. Wine then waits for data, leaves it for the next read and reports
    // the read done without saying it delivered anything (its length field keeps the size
    // asked), so nothing is counted here; should a platform have delivered bytes after all, the
    // body comes up short and the fetch fails rather than storing a wrong file.
    if (!state_->Completed()) return std::nullopt;
    return 0;
  }

 private:
  std::optional<std::size_t> Cancelled() {
    state_->FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
    return std::nullopt;
  }

  std::shared_ptr<void> session_;  // the request handle closes before its session
  SessionState* state_;
  UniqueHinternet request_;
};

class WinInetSession final : public InternetSession {
 public:
  explicit WinInetSession(HINTERNET session)
      : session_(session, [](HINTERNET handle) {
          // No more callbacks: what a cancel abandoned completes unheard.
          ::InternetSetStatusCallbackA(handle, nullptr);
          ::InternetCloseHandle(handle);
        }) {
    ::InternetSetStatusCallbackA(session, &StatusCallback);
  }

  // WinInet follows redirects itself, and Wine's follows one from https to plain http without
  // a word. So redirects from a secure address are followed here, one at a time, and only to
  // secure addresses: what was asked for over TLS never arrives in the clear.
  std::unique_ptr<InternetResource> OpenUrl(const std::string& url) override {
    std::string address = url;
    for (int redirects = 0;; ++redirects) {
      UniqueHinternet request = Open(address);
      if (!request) return nullptr;
      std::string target;
      if (IsHttps(address) && IsRedirect(StatusOf(request.get()))) {
        target = RedirectTarget(request.get(), address);
      }
      if (target.empty()) {
        return std::make_unique<WinInetResource>(session_, state_, std::move(request));
      }
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
  // One request, its headers in; nullptr with the error kept when it failed or was cancelled.
  // A request abandoned on cancel is closed with the session.
  UniqueHinternet Open(const std::string& address) {
    if (state_->Cancelled()) {
      state_->FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
      return nullptr;
    }
    if (const DWORD unusable = UnusableAddress(address)) {
      state_->FailedWith(unusable);
      return nullptr;
    }
    const DWORD flags = kOpenFlags | (IsHttps(address) ? INTERNET_FLAG_NO_AUTO_REDIRECT : 0);
    ::ResetEvent(state_->completed);
    HINTERNET opened = ::InternetOpenUrlA(session_.get(), address.c_str(), kNoCacheHeaders,
                                          static_cast<DWORD>(-1), flags, ContextOf(state_));
    if (opened == nullptr) {
      if (!state_->Completed()) return nullptr;
      std::lock_guard<std::mutex> lock(state_->mutex);
      opened = reinterpret_cast<HINTERNET>(state_->result);
    }
    return UniqueHinternet(opened);
  }

  // Closed once the session and all its resources are gone; only their thread uses it.
  std::shared_ptr<void> session_;
  SessionState* state_ = new SessionState();
};

}  // namespace

std::unique_ptr<InternetSession> WinInetClient::OpenSession() {
  HINTERNET session = ::InternetOpenA(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                      nullptr, INTERNET_FLAG_ASYNC);
  if (session == nullptr) return nullptr;
  return std::make_unique<WinInetSession>(session);
}

}  // namespace platform
