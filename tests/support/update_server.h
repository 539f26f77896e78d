// The local update server started for the Windows tests (tools/update_server.py): its base
// URL and the folder it serves, as seen from inside Wine.
#pragma once

#include <string>

namespace testing_support {

class UpdateServer {
 public:
  // Reads the server's state folder from TAVREL_UPDATE_SERVER; valid() is false without it.
  UpdateServer();

  bool valid() const { return !baseUrl_.empty(); }
  // "http://127.0.0.1:<port>", without a trailing slash.
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
