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

UpdateServer::UpdateServer() {
  const char* state = std::getenv("TAVREL_UPDATE_SERVER");
  if (state == nullptr || *state == '\0') return;
  stateFolder_ = WinePath(state);
  const std::string port = ReadFileBytes(stateFolder_ + "\\port");
  if (port.empty()) return;
  baseUrl_ = "http://127.0.0.1:" + port;
  root_ = stateFolder_ + "\\root";
}

std::string UpdateServer::RequestLog() const {
  return ReadFileBytes(stateFolder_ + "\\requests.log");
}

}  // namespace testing_support
