// An update server in memory for the fetch tests: answers each URL from a table, records the
// URLs asked for, and can run a hook before each read (to cancel or end a page mid-transfer).
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

// A URL not in `bodies` cannot be opened.
struct ServerFiles final : platform::InternetClient {
  std::map<std::string, std::string> bodies;
  std::vector<std::string> urls;
  std::function<void()> onRead;

  struct Resource final : platform::InternetResource {
    ServerFiles& server;
    const std::string& body;
    std::size_t offset = 0;
    Resource(ServerFiles& s, const std::string& b) : server(s), body(b) {}
    int StatusCode() override { return 200; }
    std::optional<int64_t> ContentLength() override { return static_cast<int64_t>(body.size()); }
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
      return std::make_unique<Resource>(server, found->second);
    }
  };
  std::unique_ptr<platform::InternetSession> OpenSession() override {
    return std::make_unique<Session>(*this);
  }
};

// A clock that never moves: no transfer ever shows a rate.
struct FixedClock final : platform::DayClock {
  double NowInDays() override { return 46000.0; }
};

}  // namespace testing_support
