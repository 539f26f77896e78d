// A synchronous HTTP client: a session holds any number of requests made one after another,
// one GET per resource.
#pragma once

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
  // Waits until part of the body has arrived: the number of bytes that can be read now without
  // waiting (at least 1), 0 once the body has ended, nullopt when the transfer broke or the
  // session was cancelled.
  virtual std::optional<std::size_t> Available() = 0;
  // Copies what has arrived of the body, up to `size` bytes, without waiting for more: the
  // count copied, 0 when nothing is there (yet, or any more), nullopt when the transfer broke
  // or the session was cancelled.
  virtual std::optional<std::size_t> Read(char* buffer, std::size_t size) = 0;
};

class InternetSession {
 public:
  virtual ~InternetSession() = default;
  // Sends a GET for the URL, past any cache; nullptr when the address cannot be parsed, the
  // host cannot be reached or the request fails.
  virtual std::unique_ptr<InternetResource> OpenUrl(const std::string& url) = 0;
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
