#include "support/update_server.h"

#include <cstdlib>

#include "support/temp_folder.h"

namespace testing_support {
namespace {

// A host path as Wine's Z: drive names it.
std::string WinePath(std::string hostPath) {
  for (char& c : hostPath) {
    if (c == '/') c = '\\';
  }
  return "Z:" + hostPath;
}

}  // namespace

UpdateServer::UpdateServer() : UpdateServer(std::string()) {}

UpdateServer::UpdateServer(const std::string& certificate) {
  const char* state = std::getenv("TAVREL_UPDATE_SERVER");
  if (state == nullptr || *state == '\0') return;
  root_ = WinePath(state) + "\\root";
  stateFolder_ = WinePath(state) + (certificate.empty() ? "" : "\\tls-" + certificate);
  const std::string port = ReadFileBytes(stateFolder_ + "\\port");
  if (port.empty()) return;
  baseUrl_ = (certificate.empty() ? "http://127.0.0.1:" : "https://localhost:") + port;
}

std::string UpdateServer::RequestLog() const {
  return ReadFileBytes(stateFolder_ + "\\requests.log");
}

}  // namespace testing_support
