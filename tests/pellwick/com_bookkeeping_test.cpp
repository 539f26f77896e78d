// The COM server's bookkeeping: lock counts, the class object's references, creation once,
// the term list, the safety options and the member-name cache.
#include <gtest/gtest.h>

#include <atomic>
#include <iterator>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "module/created_once.h"
#include "module/lock_count.h"
#include "module/member_name_cache.h"
#include "module/safety_options.h"
#include "module/term_list.h"

namespace {

using namespace pellwick::com;

TEST(ModuleLock, CanUnloadOnlyWhenNothingHoldsTheModule) {
  ModuleLock lock;
  EXPECT_EQ(lock.CanUnloadNow(), kSOk);
  lock.Lock();  // an object
  EXPECT_EQ(lock.CanUnloadNow(), kSFalse);
  lock.Lock();  // LockServer(TRUE)
  lock.Unlock();
  EXPECT_EQ(lock.CanUnloadNow(), kSFalse);
  lock.Unlock();
  EXPECT_EQ(lock.CanUnloadNow(), kSOk);
}

TEST(ClassObjectReferences, OnlyOutsideReferencesLockTheModule) {
  ModuleLock lock;
  ClassObjectReferences references(lock);
  struct Step {
    bool addRef;
    uint32_t count;
    int32_t moduleLocks;
  };
  const Step steps[] = {
      {true, 1, 0},   // the module's own reference
      {true, 2, 1},   // a first outside reference
      {true, 3, 1},   // a second one
      {false, 2, 1},  // one of them released
      {false, 1, 0},  // the last outside one released
      {false, 0, 0},  // the module lets go
      {false, 0, 0},  // never below zero
  };
  for (const Step& step : steps) {
    const uint32_t count = step.addRef ? references.AddRef() : references.Release();
    EXPECT_EQ(count, step.count);
    EXPECT_EQ(lock.count(), step.moduleLocks) << "at count " << count;
  }
}

TEST(CreatedOnce, TwoThreadsGetTheSameObjectMadeOnce) {
  CreatedOnce<int> slot;
  std::atomic<int> made{0};
  int object = 7;
  std::vector<int*> seen(8, nullptr);
  std::vector<std::thread> threads;
  for (size_t i = 0; i < seen.size(); ++i) {
    threads.emplace_back([&, i] {
      seen[i] = slot.Get([&] {
        ++made;
        return &object;
      });
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(made.load(), 1);
  for (int* pointer : seen) EXPECT_EQ(pointer, &object);
  EXPECT_EQ(slot.Take(), &object);
  EXPECT_EQ(slot.Peek(), nullptr);
}

TEST(CreatedOnce, AFailedAttemptIsRetried) {
  CreatedOnce<int> slot;
  int object = 1;
  EXPECT_EQ(slot.Get([] { return static_cast<int*>(nullptr); }), nullptr);
  EXPECT_EQ(slot.Get([&] { return &object; }), &object);
  EXPECT_EQ(slot.Get([] { return static_cast<int*>(nullptr); }), &object);
}

TEST(TermList, RunsLastAddedFirstAndOnlyOnce) {
  TermList list;
  std::string order;
  for (char name : std::string("abc")) ASSERT_TRUE(list.Add([&order, name] { order += name; }));
  list.Run();
  EXPECT_EQ(order, "cba");
  list.Run();
  EXPECT_EQ(order, "cba");
}

TEST(SafetyOptions, MaskSelectsTheOptionsThatChange) {
  SafetyOptions options;
  EXPECT_EQ(options.enabled(), 0u);
  struct Row {
    const char* what;
    uint32_t mask;
    uint32_t enabled;
    HResult result;
    uint32_t after;
  };
  const Row rows[] = {
      {"mask 1 enables 1", 1, 1, kSOk, 1},
      {"mask 4 is not supported", 4, 4, kEFail, 1},
      {"a supported bit beside an unsupported one changes nothing", 6, 2, kEFail, 1},
      {"bits outside the mask are ignored", 2, 1, kSOk, 1},
      {"mask 2 enables 2 and keeps 1", 2, 3, kSOk, 3},
      {"mask 1 with 0 clears 1 again", 1, 0, kSOk, 2},
      {"mask 3 with 0 clears both", 3, 0, kSOk, 0},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.what);
    EXPECT_EQ(options.Set(row.mask, row.enabled), row.result);
    EXPECT_EQ(options.enabled(), row.after);
  }
  EXPECT_EQ(kSupportedSafetyOptions, 3u);
}

TEST(MemberNameCache, ExactLookupFromTheLastEntry) {
  MemberNameCache cache;
  cache.Add(u"QueryInterface", 0x60000000, 2);
  cache.Add(u"PassReadInfoDirect", 1, 6);
  cache.Add(u"GetLocalID", 3, 0);
  cache.Add(u"PassReadInfoDirectNew", 4, 7);
  cache.Add(u"Twin", 10, 0);
  cache.Add(u"Twin", 11, 1);
  struct Row {
    const char16_t* name;
    std::optional<int32_t> dispid;
  };
  const Row rows[] = {
      {u"PassReadInfoDirect", 1},
      {u"PassReadInfoDirectNew", 4},  // longer name, same start
      {u"PassReadInfoDirec", std::nullopt},
      {u"passreadinfodirect", std::nullopt},  // letter case is left to the type information
      {u"GetLocalID", 3},
      {u"Twin", 11},  // the last entry wins
      {u"", std::nullopt},
      {nullptr, std::nullopt},
  };
  for (size_t i = 0; i < std::size(rows); ++i) {
    SCOPED_TRACE("row " + std::to_string(i));
    EXPECT_EQ(cache.FindDispid(rows[i].name), rows[i].dispid);
  }
  EXPECT_EQ(cache.ArgumentCount(1), 6u);
  EXPECT_EQ(cache.ArgumentCount(3), 0u);
  EXPECT_EQ(cache.ArgumentCount(99), std::nullopt);
}

}  // namespace
