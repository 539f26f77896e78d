// The local update server started for the Windows tests (tools/update_server.py): its base
// URL and the folder it serves, as seen from inside Wine. Its TLS instances serve the same
// folder, each with one of the test certificates (tools/test_certificates.sh).
#pragma once

#include <string>

namespace testing_support {

class UpdateServer {
 public:
  // Reads the server's state folder from TAVREL_UPDATE_SERVER; valid() is false without it.
  UpdateServer();
  // The TLS instance with the certificate of that name ("trusted", "untrusted", "otherhost",
  // "expired"); its base URL is "https://localhost:<port>", the name its certificates carry.
  explicit UpdateServer(const std::string& certificate);

  bool valid() const { return !baseUrl_.empty(); }
  // "http://127.0.0.1:<port>" (or the https address above), without a trailing slash.
  const std::string& baseUrl() const { return baseUrl_; }
  // The served folder as a Windows path (Wine's Z: drive), without a trailing backslash.
  const std::string& root() const { return root_; }
  // The request paths the server has logged so far, one a line.
  std::string RequestLog() const;

 private:
  std::string stateFolder_;
  std::string baseUrl_;
  std::string root_;
};

}  // namespace testing_support
