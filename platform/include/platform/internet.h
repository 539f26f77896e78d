// A synchronous HTTP client: a session holds any number of requests made one after another,
// one GET per resource.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace platform {

// The answer to one request, read from its first body byte on.
class InternetResource {
 public:
  virtual ~InternetResource() = default;
  // The HTTP status of the answer (200, 404 ...); 0 when the platform cannot tell.
  virtual int StatusCode() = 0;
  // The length the answer announced in its headers, read wide; nullopt when none was
  // announced or it is not a number.
  virtual std::optional<int64_t> ContentLength() = 0;
  // A header of the answer by name (ETag, Last-Modified, Content-Range ...); nullopt when the
  // answer has none.
  virtual std::optional<std::string> Header(const std::string& /*name*/) { return std::nullopt; }
  // Waits until part of the body has arrived: the number of bytes that can be read now without
  // waiting (at least 1), 0 once the body has ended, nullopt when the transfer broke, the
  // session was cancelled or nothing arrived within the session's stall limit.
  virtual std::optional<std::size_t> Available() = 0;
  // Copies what has arrived of the body, up to `size` bytes, without waiting for more: the
  // count copied, 0 when nothing is there (yet, or any more), nullopt when the transfer broke
  // or the session was cancelled. While the body arrives fast, an implementation may wait for a
  // block of what a few tens of milliseconds bring at that rate, to read in larger pieces.
  virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
};

// The rest of a body whose first `offset` bytes are kept from an earlier answer: asked for with
// `Range: bytes=offset-` and `If-Range: validator` (that answer's ETag or Last-Modified).
struct ResumePoint {
  uint64_t offset = 0;
  std::string validator;
};

// LastError() after a wait that ran past the session's stall limit (WinInet's timeout code).
inline constexpr uint32_t kStalledError = 12002;

class InternetSession {
 public:
  virtual ~InternetSession() = default;
  // Sends a GET for the URL, past any cache; nullptr when the address cannot be parsed, the
  // host cannot be reached, the request fails or no answer came within the stall limit.
  std::unique_ptr<InternetResource> OpenUrl(const std::string& url) {
    return Open(url, std::nullopt);
  }
  // The same, asking only for the rest of the body when `resume` is given.
  virtual std::unique_ptr<InternetResource> Open(const std::string& url,
                                                 const std::optional<ResumePoint>& resume) = 0;
  // The longest any later call of the session or of its resources waits for the network
  // before it fails with kStalledError; unbounded until set.
  virtual void SetStallLimit(std::chrono::milliseconds /*limit*/) {}
  // The platform's code for why the last call of this session or of its resources failed
  // (WinInet's error numbers on Windows); 0 when it did not say.
  virtual uint32_t LastError() { return 0; }
  // Something any thread may call, any number of times, also after the session is gone, to
  // end the session's transfers: a call waiting for the network returns at once, failing, and
  // every later call of the session and of its resources fails without reaching the network.
  virtual std::function<void()> Canceller() {
    return [] {};
  }
};

// How many requests to one server WinInetClient lets run at once: it raises WinInet's
// per-server connection limits to at least this many.
inline constexpr unsigned kConnectionsPerServer = 4;

class InternetClient {
 public:
  virtual ~InternetClient() = default;
  // A new session with the system's proxy settings; nullptr when none can be made.
  virtual std::unique_ptr<InternetSession> OpenSession() = 0;
};

#ifdef _WIN32
// WinInet; `agent` is the user-agent string of its sessions' requests. Its sessions need
// nothing of it once opened.
class WinInetClient final : public InternetClient {
 public:
  explicit WinInetClient(std::string agent) : agent_(std::move(agent)) {}
  std::unique_ptr<InternetSession> OpenSession() override;

 private:
  std::string agent_;
};
#endif

}  // namespace platform
