#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "handles.h"
#include "platform/catch_all.h"
#include "platform/internet.h"

namespace platform {
namespace {

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

// The rate a session's bodies arrive at, which sizes the blocks a read may wait for. Kept across
// the session's requests, so that a run of small files on a fast link reads each in one block.
// Only the thread that makes the session's requests uses it.
class ReadRate {
  // How long a read may wait for a block to fill, at the rate the body has been arriving.
  static constexpr std::chrono::milliseconds kBlockWait{50};
  // Blocks are read in whole pages, and only when worth more than one platform buffer.
  static constexpr std::size_t kBlockUnit = 4096;
  static constexpr std::size_t kSmallestBlock = 16 * 1024;
  // The rate is measured over windows of about this length.
  static constexpr std::chrono::milliseconds kRateWindow{100};

 public:
  // The block a read may wait for: what arrived in the last measured window, scaled to
  // kBlockWait; 0 before a rate is known or while it is too slow to be worth a wait.
  std::size_t BlockWorthWaitingFor() const {
    const uint64_t block = bytesPerRateWindow_ * kBlockWait.count() / kRateWindow.count();
    if (block < kSmallestBlock) return 0;
    return static_cast<std::size_t>(std::min<uint64_t>(block, kLargestReadSize)) / kBlockUnit *
           kBlockUnit;
  }

  // Counts what a read brought; a read that waited longer than a window forgets the rate, so a
  // link that slowed down is read after queries again until measured anew.
  void Measure(std::size_t count, std::chrono::steady_clock::time_point started) {
    const auto now = std::chrono::steady_clock::now();
    if (now - started > kRateWindow) {
      bytesPerRateWindow_ = 0;
      windowStart_ = now;
      windowBytes_ = 0;
      return;
    }
    if (windowBytes_ == 0 && count > 0) windowStart_ = started;
    windowBytes_ += count;
    const auto elapsed = now - windowStart_;
    if (elapsed >= kRateWindow) {
      bytesPerRateWindow_ = windowBytes_ * kRateWindow.count() /
                            std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count();
      windowStart_ = now;
      windowBytes_ = 0;
    }
  }

 private:
  std::chrono::steady_clock::time_point windowStart_;
  uint64_t windowBytes_ = 0;
  uint64_t bytesPerRateWindow_ = 0;  // in the last whole window; 0: not known
};

// What a session shares with its requests and with its canceller: the cancel event, the stall
// limit, the last error and the read rate. Freed once the session, its canceller and every
// request's state are gone.
struct SessionState {
  HANDLE cancelled = ::CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::mutex mutex;
  DWORD lastError = 0;
  DWORD stallMilliseconds = INFINITE;
  ReadRate rate;

  SessionState() = default;
  SessionState(const SessionState&) = delete;
  SessionState& operator=(const SessionState&) = delete;
  ~SessionState() {
    if (cancelled != nullptr) ::CloseHandle(cancelled);
  }

  bool Cancelled() { return ::WaitForSingleObject(cancelled, 0) == WAIT_OBJECT_0; }
  void Cancel() { ::SetEvent(cancelled); }
  void FailedWith(DWORD code) {
    std::lock_guard<std::mutex> lock(mutex);
    lastError = code;
  }
};

// What one request shares with WinInet's callback: its completion event and result, and every
// buffer an operation on its handle may still write. The request's context value; freed when
// both the worker is done with it and its handle has closed (INTERNET_STATUS_HANDLE_CLOSING, the
// last callback of a handle), so an operation abandoned on cancel or stall never writes freed
// memory.
struct RequestState {
  explicit RequestState(std::shared_ptr<SessionState> session) : session(std::move(session)) {}
  RequestState(const RequestState&) = delete;
  RequestState& operator=(const RequestState&) = delete;
  ~RequestState() {
    if (completed != nullptr) ::CloseHandle(completed);
  }

  std::shared_ptr<SessionState> session;
  HANDLE completed = ::CreateEventA(nullptr, FALSE, FALSE, nullptr);
  DWORD_PTR result = 0;  // of the operation that completed last
  DWORD error = 0;
  DWORD available = 0;
  INTERNET_BUFFERSA read = {};
  std::vector<char> buffer;

  // Whoever lets go last frees the state: the worker, or the handle's closing.
  void HandleCreated() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (!handleClosed_) handleLive_ = true;
  }
  static void HandleClosing(RequestState* state) {
    bool last = false;
    {
      std::lock_guard<std::mutex> lock(state->mutex_);
      state->handleLive_ = false;
      state->handleClosed_ = true;
      last = !state->workerHolds_;
    }
    if (last) delete state;
  }
  // The worker is done, and no operation it started is still pending.
  static void WorkerDone(RequestState* state) {
    bool last = false;
    {
      std::lock_guard<std::mutex> lock(state->mutex_);
      state->workerHolds_ = false;
      last = !state->handleLive_;
    }
    if (last) delete state;
  }

  // The call just made returned FALSE: waits for its completion when it is pending, at most the
  // session's stall limit. True when it completed well; false with the error kept (cancelled
  // when the cancel came first, kStalledError when the limit passed) and `pending` set when
  // the operation may still complete.
  bool Completed(bool& pending) {
    pending = false;
    const DWORD error = ::GetLastError();
    if (error != ERROR_IO_PENDING) {
      session->FailedWith(error);
      return false;
    }
    DWORD limit = INFINITE;
    {
      std::lock_guard<std::mutex> lock(session->mutex);
      limit = session->stallMilliseconds;
    }
    HANDLE events[] = {completed, session->cancelled};
    switch (::WaitForMultipleObjects(2, events, FALSE, limit)) {
      case WAIT_OBJECT_0:
        break;
      case WAIT_TIMEOUT:
        pending = true;
        session->FailedWith(ERROR_INTERNET_TIMEOUT);
        return false;
      default:
        pending = true;
        session->FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (result != 0) return true;
    session->FailedWith(this->error);
    return false;
  }

  void Completion(DWORD_PTR operationResult, DWORD operationError) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      result = operationResult;
      error = operationError;
    }
    ::SetEvent(completed);
  }

  DWORD_PTR Result() {
    std::lock_guard<std::mutex> lock(mutex_);
    return result;
  }

 private:
  std::mutex mutex_;
  bool workerHolds_ = true;
  bool handleLive_ = false;
  bool handleClosed_ = false;
};

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, void* information, DWORD) {
  if (context == 0) return;  // the session's own handle
  auto* state = reinterpret_cast<RequestState*>(context);
  // WinInet's own thread calls this: nothing may unwind into it.
  platform::CatchAll([&] {
    switch (status) {
      case INTERNET_STATUS_HANDLE_CREATED:
        state->HandleCreated();
        break;
      case INTERNET_STATUS_REQUEST_COMPLETE: {
        const auto* outcome = static_cast<const INTERNET_ASYNC_RESULT*>(information);
        state->Completion(outcome->dwResult, outcome->dwError);
        break;
      }
      case INTERNET_STATUS_HANDLE_CLOSING:
        RequestState::HandleClosing(state);
        break;
      default:
        break;
    }
  });
}

DWORD_PTR ContextOf(RequestState* state) { return reinterpret_cast<DWORD_PTR>(state); }

// A request's handle, closed before its state is let go.
class RequestHandle {
 public:
  RequestHandle(HINTERNET handle, RequestState* state) : handle_(handle), state_(state) {}
  RequestHandle(const RequestHandle&) = delete;
  RequestHandle& operator=(const RequestHandle&) = delete;
  ~RequestHandle() {
    ::InternetCloseHandle(handle_);
    RequestState::WorkerDone(state_);
  }
  HINTERNET get() const { return handle_; }
  RequestState* state() const { return state_; }

 private:
  HINTERNET handle_;
  RequestState* state_;
};

class WinInetResource final : public InternetResource {
 public:
  WinInetResource(std::shared_ptr<void> session, std::unique_ptr<RequestHandle> request)
      : session_(std::move(session)),
        request_(std::move(request)),
        state_(request_->state()),
        shared_(state_->session.get()) {}

  int StatusCode() override { return StatusOf(request_->get()); }

  std::optional<int64_t> ContentLength() override {
    const std::optional<std::string> text = Header("Content-Length");
    if (!text) return std::nullopt;
    // Read wide, so a length past 2^31 is seen as such rather than wrapped.
    char* end = nullptr;
    errno = 0;
    const long long length = std::strtoll(text->c_str(), &end, 10);
    if (end == text->c_str() || *end != '\0' || errno == ERANGE) return std::nullopt;
    return static_cast<int64_t>(length);
  }

  std::optional<std::string> Header(const std::string& name) override {
    // HTTP_QUERY_CUSTOM: the buffer holds the header's name on the way in, its value on the
    // way out.
    char text[1024] = {};
    if (name.size() >= sizeof text) return std::nullopt;
    std::copy(name.begin(), name.end(), text);
    DWORD size = sizeof text - 1;
    if (!::HttpQueryInfoA(request_->get(), HTTP_QUERY_CUSTOM, text, &size, nullptr)) {
      return std::nullopt;
    }
    return std::string(text, std::min<std::size_t>(size, sizeof text - 1));
  }

  // InternetQueryDataAvailable: "the number of bytes of data that are available to be read
  // immediately by a subsequent call to InternetReadFile"; when none are, it waits (pending)
  // until some are or the body has ended. Its completion only says that the query is done:
  // the count is asked again, which then answers at once.
  std::optional<std::size_t> Available() override {
    if (pending_) return Failed(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    for (;;) {
      if (shared_->Cancelled()) return Failed(ERROR_INTERNET_OPERATION_CANCELLED);
      ::ResetEvent(state_->completed);
      if (::InternetQueryDataAvailable(request_->get(), &state_->available, 0, ContextOf(state_))) {
        ready_ = state_->available > 0;
        return static_cast<std::size_t>(state_->available);
      }
      if (!state_->Completed(pending_)) return std::nullopt;
    }
  }

  // Two kinds of read, each within WinInet's documented contract:
  // - Right after a query said data is there, InternetReadFileExA with IRF_NO_WAIT has no
  //   cause to wait and returns "the amount of data requested or the amount of data available
  //   (whichever is smaller)". Should a platform pend it anyway, its completion has filled the
  //   state's buffer with the length it reports, as WinInet documents for a completed
  //   asynchronous read.
  // - While the body keeps arriving faster than a block per kBlockWait, a read without
  //   IRF_NO_WAIT asks for that block: it returns at once when the block is there, else it
  //   pends until the block has arrived or the body ended, and its completion reports the
  //   length it filled. Platforms may hand out only their own small buffer after a query (8 KiB
  //   under Wine), so this is what moves a fast transfer in large pieces; sized by the rate, it
  //   never holds the progress still for long.
  std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
    if (pending_) return Failed(ERROR_INTERNET_INCORRECT_HANDLE_STATE);
    if (shared_->Cancelled()) return Failed(ERROR_INTERNET_OPERATION_CANCELLED);
    const std::size_t block = std::min(size, shared_->rate.BlockWorthWaitingFor());
    if (block == 0 && !ready_) return 0;  // nothing known to be there: the caller waits
    ready_ = false;
    if (state_->buffer.empty()) state_->buffer.resize(kLargestReadSize);
    INTERNET_BUFFERSA& read = state_->read;
    read = {};
    read.dwStructSize = sizeof read;
    read.lpvBuffer = state_->buffer.data();
    read.dwBufferLength = static_cast<DWORD>(block > 0 ? block : std::min(size, kLargestReadSize));
    const auto started = std::chrono::steady_clock::now();
    ::ResetEvent(state_->completed);
    if (!::InternetReadFileExA(request_->get(), &read, block > 0 ? IRF_ASYNC : IRF_NO_WAIT,
                               ContextOf(state_)) &&
        !state_->Completed(pending_)) {
      return std::nullopt;
    }
    const std::size_t count = std::min<std::size_t>(read.dwBufferLength, size);
    std::copy_n(state_->buffer.data(), count, buffer);
    shared_->rate.Measure(count, started);
    return count;
  }

 private:
  std::optional<std::size_t> Failed(DWORD code) {
    shared_->FailedWith(code);
    return std::nullopt;
  }

  std::shared_ptr<void> session_;  // the request handle closes before its session
  std::unique_ptr<RequestHandle> request_;
  RequestState* state_;   // lives as long as request_
  SessionState* shared_;  // kept by state_
  bool ready_ = false;    // the last query found data, not yet read
  bool pending_ = false;  // an operation was abandoned: the handle takes no other
};

class WinInetSession final : public InternetSession {
 public:
  explicit WinInetSession(HINTERNET session)
      : session_(session, [](HINTERNET handle) {
          // Every request of the session has closed already; the callback stays installed so
          // that what a cancel abandoned still frees its state when its handle closes.
          ::InternetCloseHandle(handle);
        }) {}

  // WinInet follows redirects itself, and Wine's follows one from https to plain http without
  // a word. So redirects from a secure address are followed here, one at a time, and only to
  // secure addresses: what was asked for over TLS never arrives in the clear.
  std::unique_ptr<InternetResource> Open(const std::string& url,
                                         const std::optional<ResumePoint>& resume) override {
    std::string headers = kNoCacheHeaders;
    if (resume) {
      headers += "Range: bytes=" + std::to_string(resume->offset) +
                 "-\r\nIf-Range: " + resume->validator + "\r\n";
    }
    std::string address = url;
    for (int redirects = 0;; ++redirects) {
      std::unique_ptr<RequestHandle> request = OpenOne(address, headers);
      if (!request) return nullptr;
      std::string target;
      if (IsHttps(address) && IsRedirect(StatusOf(request->get()))) {
        target = RedirectTarget(request->get(), address);
      }
      if (target.empty()) return std::make_unique<WinInetResource>(session_, std::move(request));
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

  void SetStallLimit(std::chrono::milliseconds limit) override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    state_->stallMilliseconds =
        static_cast<DWORD>(std::min<long long>(limit.count(), INFINITE - 1));
  }

  uint32_t LastError() override {
    std::lock_guard<std::mutex> lock(state_->mutex);
    return state_->lastError;
  }

  std::function<void()> Canceller() override {
    return [state = state_] { state->Cancel(); };
  }

 private:
  // One request, its headers in; nullptr with the error kept when it failed, was cancelled or
  // stalled.
  std::unique_ptr<RequestHandle> OpenOne(const std::string& address, const std::string& headers) {
    if (state_->Cancelled()) {
      state_->FailedWith(ERROR_INTERNET_OPERATION_CANCELLED);
      return nullptr;
    }
    if (const DWORD unusable = UnusableAddress(address)) {
      state_->FailedWith(unusable);
      return nullptr;
    }
    const DWORD flags = kOpenFlags | (IsHttps(address) ? INTERNET_FLAG_NO_AUTO_REDIRECT : 0);
    auto* request = new RequestState(state_);
    HINTERNET opened =
        ::InternetOpenUrlA(session_.get(), address.c_str(), headers.c_str(),
                           static_cast<DWORD>(headers.size()), flags, ContextOf(request));
    if (opened == nullptr) {
      bool pending = false;
      if (!request->Completed(pending)) {
        // An open still pending may yet make a handle with this context: its state stays.
        if (!pending) RequestState::WorkerDone(request);
        return nullptr;
      }
      opened = reinterpret_cast<HINTERNET>(request->Result());
    }
    request->HandleCreated();
    return std::make_unique<RequestHandle>(opened, request);
  }

  // Closed once the session and all its resources are gone; only their thread uses it.
  std::shared_ptr<void> session_;
  std::shared_ptr<SessionState> state_ = std::make_shared<SessionState>();
};

// WinInet holds a request back while the process has as many connections to its server as the
// per-server limit allows (documented: 2 to an HTTP/1.1 server, 4 to an HTTP/1.0 one; later
// versions allow more). Both limits are raised to at least kConnectionsPerServer, never
// lowered. They are options of the whole process, set on no handle, and are set before a
// session connects: a limit changed after the process connected to a server may not apply to
// that server.
void RaiseConnectionLimits() {
  for (const DWORD option : {DWORD{INTERNET_OPTION_MAX_CONNS_PER_SERVER},
                             DWORD{INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER}}) {
    ULONG limit = 0;
    DWORD size = sizeof limit;
    if (::InternetQueryOptionA(nullptr, option, &limit, &size) && limit >= kConnectionsPerServer) {
      continue;
    }
    limit = kConnectionsPerServer;
    // Refused, the platform's limit stays: requests beyond it wait their turn, none fails.
    ::InternetSetOptionA(nullptr, option, &limit, sizeof limit);
  }
}

}  // namespace

std::unique_ptr<InternetSession> WinInetClient::OpenSession() {
  RaiseConnectionLimits();
  HINTERNET session = ::InternetOpenA(agent_.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr,
                                      nullptr, INTERNET_FLAG_ASYNC);
  if (session == nullptr) return nullptr;
  // Asynchronous requests report their completion only through the callback: without it no
  // request could ever be waited for.
  if (::InternetSetStatusCallbackA(session, &StatusCallback) == INTERNET_INVALID_STATUS_CALLBACK) {
    ::InternetCloseHandle(session);
    return nullptr;
  }
  return std::make_unique<WinInetSession>(session);
}

}  // namespace platform
