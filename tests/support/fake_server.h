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
// (200 otherwise) and announced length (the body's otherwise: a longer one is a cut body). A
// URL with an ETag in `etags` answers a request for the rest whose validator is that ETag with
// a 206 from the offset asked; `ranges` lists the offsets asked for (0: the whole body).
struct ServerFiles final : platform::InternetClient {
  std::map<std::string, std::string> bodies;
  std::map<std::string, int> statuses;
  std::map<std::string, int64_t> announced;
  std::map<std::string, std::string> etags;
  std::vector<std::string> urls;
  std::vector<uint64_t> ranges;
  std::function<void()> onRead;

  struct Resource final : platform::InternetResource {
    ServerFiles& server;
    const std::string& url;
    const std::string& body;
    std::size_t offset = 0;
    std::size_t first = 0;  // of a 206
    Resource(ServerFiles& s, const std::string& u, const std::string& b, std::size_t from)
        : server(s), url(u), body(b), offset(from), first(from) {}
    int StatusCode() override {
      const auto found = server.statuses.find(url);
      if (found != server.statuses.end()) return found->second;
      return first > 0 ? 206 : 200;
    }
    std::optional<int64_t> ContentLength() override {
      const auto found = server.announced.find(url);
      return found == server.announced.end() ? static_cast<int64_t>(body.size() - first)
                                             : found->second;
    }
    std::optional<std::string> Header(const std::string& name) override {
      const auto etag = server.etags.find(url);
      if (name == "ETag" && etag != server.etags.end()) return etag->second;
      if (name == "Content-Range" && first > 0) {
        return "bytes " + std::to_string(first) + "-" + std::to_string(body.size() - 1) + "/" +
               std::to_string(body.size());
      }
      return std::nullopt;
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
    std::unique_ptr<platform::InternetResource> Open(
        const std::string& url, const std::optional<platform::ResumePoint>& resume) override {
      server.urls.push_back(url);
      server.ranges.push_back(resume ? resume->offset : 0);
      const auto found = server.bodies.find(url);
      if (found == server.bodies.end()) return nullptr;
      const auto etag = server.etags.find(url);
      const bool continues = resume && etag != server.etags.end() &&
                             resume->validator == etag->second &&
                             resume->offset < found->second.size();
      return std::make_unique<Resource>(server, found->first, found->second,
                                        continues ? resume->offset : 0);
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
