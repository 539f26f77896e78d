// An update server in memory for the fetch tests: answers each URL from a table, records the
// URLs asked for and the sessions opened, and can run a hook before each read (to cancel or
// end a page mid-transfer).
#pragma once

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/day_clock.h"
#include "platform/internet.h"

namespace testing_support {

// A URL not in `bodies` cannot be opened. `statuses` and `announced` change a URL's status
// (200 otherwise) and announced length (the body's otherwise: a longer one is a cut body).
struct ServerFiles final : platform::InternetClient {
  std::map<std::string, std::string> bodies;
  std::map<std::string, int> statuses;
  std::map<std::string, int64_t> announced;
  std::vector<std::string> urls;
  std::function<void()> onRead;

  struct Resource final : platform::InternetResource {
    ServerFiles& server;
    const std::string& url;
    const std::string& body;
    std::size_t offset = 0;
    Resource(ServerFiles& s, const std::string& u, const std::string& b)
        : server(s), url(u), body(b) {}
    int StatusCode() override {
      const auto found = server.statuses.find(url);
      return found == server.statuses.end() ? 200 : found->second;
    }
    std::optional<int64_t> ContentLength() override {
      const auto found = server.announced.find(url);
      return found == server.announced.end() ? static_cast<int64_t>(body.size()) : found->second;
    }
    // The whole body has arrived at once.
    std::optional<std::size_t> Available() override { return body.size() - offset; }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
      if (server.onRead) server.onRead();
      const std::size_t count = std::min(size, body.size() - offset);
      std::copy_n(body.data() + offset, count, buffer);
      offset += count;
      return count;
    }
  };
  struct Session final : platform::InternetSession {
    ServerFiles& server;
    explicit Session(ServerFiles& s) : server(s) {}
    std::unique_ptr<platform::InternetResource> OpenUrl(const std::string& url) override {
      server.urls.push_back(url);
      const auto found = server.bodies.find(url);
      if (found == server.bodies.end()) return nullptr;
      return std::make_unique<Resource>(server, found->first, found->second);
    }
  };
  std::unique_ptr<platform::InternetSession> OpenSession() override {
    ++sessions;
    return std::make_unique<Session>(*this);
  }
  int sessions = 0;
};

// A clock that never moves: no transfer ever shows a rate.
struct FixedClock final : platform::DayClock {
  double NowInDays() override { return 46000.0; }
};

}  // namespace testing_support
