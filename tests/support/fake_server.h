// An update server in memory for the fetch tests: answers each URL from a table, records the
// URLs asked for and the sessions opened, and can run a hook before each read (to cancel or
// end a page mid-transfer). Sessions may be used from several threads at once; a cancelled
// session (its Canceller) fails every later call without reaching the table.
#pragma once

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "platform/internet.h"
#include "platform/ole_date_clock.h"

namespace testing_support {

// A URL not in `bodies` cannot be opened. `statuses` and `announced` change a URL's status
// (200 otherwise) and announced length (the body's otherwise: a longer one is a cut body). A
// URL with an ETag in `etags` answers a request for the rest whose validator is that ETag with
// a 206 from the offset asked; `ranges` lists the offsets asked for (0: the whole body).
// A URL in `held` answers, but its body never arrives: the wait for it lasts until the session
// is cancelled (at most 30 s, counted in `heldUncancelled`), then fails.
struct ServerFiles final : platform::InternetClient {
  std::map<std::string, std::string> bodies;
  std::map<std::string, int> statuses;
  std::map<std::string, int64_t> announced;
  std::map<std::string, std::string> etags;
  std::set<std::string> held;
  std::vector<std::string> urls;
  std::vector<uint64_t> ranges;
  std::function<void()> onRead;
  std::function<void(const std::string& url)> beforeRead;  // before each read, with its URL
  std::function<void(int held)> onHeld;  // a wait was held, with the number held now
  int heldNow = 0;
  int mostHeld = 0;
  int heldUncancelled = 0;
  std::mutex mutex;  // guards the records above while sessions run

  // One session's cancel, shared with its resources and its canceller.
  struct Cancel {
    std::mutex mutex;
    std::condition_variable raised;
    bool cancelled = false;
    bool Cancelled() {
      std::lock_guard<std::mutex> lock(mutex);
      return cancelled;
    }
  };

  struct Resource final : platform::InternetResource {
    ServerFiles& server;
    const std::string& url;
    const std::string& body;
    std::shared_ptr<Cancel> cancel;
    std::size_t offset = 0;
    std::size_t first = 0;  // of a 206
    Resource(ServerFiles& s, const std::string& u, const std::string& b, std::shared_ptr<Cancel> c,
             std::size_t from)
        : server(s), url(u), body(b), cancel(std::move(c)), offset(from), first(from) {}
    bool Held() { return server.held.count(url) > 0; }
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
    // The whole body has arrived at once, unless it is held.
    std::optional<std::size_t> Available() override {
      if (cancel->Cancelled()) return std::nullopt;
      if (!Held()) return body.size() - offset;
      int now = 0;
      {
        std::lock_guard<std::mutex> lock(server.mutex);
        now = ++server.heldNow;
        server.mostHeld = std::max(server.mostHeld, now);
      }
      if (server.onHeld) server.onHeld(now);
      std::unique_lock<std::mutex> lock(cancel->mutex);
      const bool cancelled = cancel->raised.wait_for(lock, std::chrono::seconds(30),
                                                     [this] { return cancel->cancelled; });
      lock.unlock();
      std::lock_guard<std::mutex> records(server.mutex);
      --server.heldNow;
      if (!cancelled) ++server.heldUncancelled;
      return std::nullopt;
    }
    std::optional<std::size_t> Read(char* buffer, std::size_t size) override {
      if (cancel->Cancelled()) return std::nullopt;
      if (server.beforeRead) server.beforeRead(url);
      if (server.onRead) server.onRead();
      if (Held()) return 0;
      const std::size_t count = std::min(size, body.size() - offset);
      std::copy_n(body.data() + offset, count, buffer);
      offset += count;
      return count;
    }
  };
  struct Session final : platform::InternetSession {
    ServerFiles& server;
    std::shared_ptr<Cancel> cancel = std::make_shared<Cancel>();
    explicit Session(ServerFiles& s) : server(s) {}
    std::unique_ptr<platform::InternetResource> Open(
        const std::string& url, const std::optional<platform::ResumePoint>& resume) override {
      if (cancel->Cancelled()) return nullptr;
      std::lock_guard<std::mutex> lock(server.mutex);
      server.urls.push_back(url);
      server.ranges.push_back(resume ? resume->offset : 0);
      const auto found = server.bodies.find(url);
      if (found == server.bodies.end()) return nullptr;
      const auto etag = server.etags.find(url);
      const bool continues = resume && etag != server.etags.end() &&
                             resume->validator == etag->second &&
                             resume->offset < found->second.size();
      return std::make_unique<Resource>(server, found->first, found->second, cancel,
                                        continues ? resume->offset : 0);
    }
    std::function<void()> Canceller() override {
      return [cancel = cancel] {
        {
          std::lock_guard<std::mutex> lock(cancel->mutex);
          cancel->cancelled = true;
        }
        cancel->raised.notify_all();
      };
    }
  };
  std::unique_ptr<platform::InternetSession> OpenSession() override {
    std::lock_guard<std::mutex> lock(mutex);
    ++sessions;
    return std::make_unique<Session>(*this);
  }
  int sessions = 0;
};

// A clock that never moves: no transfer ever shows a rate.
struct FixedClock final : platform::OleDateClock {
  double NowAsOleDate() override { return 46000.0; }
};

}  // namespace testing_support
