#include "steps/ordered_lane.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>
#include <vector>

namespace {

TEST(OrderedLane, RunsEverythingInOrderAlsoPastAThrowAndAtItsEnd) {
  std::vector<int> ran;
  {
    updater::OrderedLane lane;
    for (int i = 0; i < 200; ++i) {
      lane.Post([&ran, i] {
        if (i == 50) throw std::runtime_error("a piece that fails");
        if (i % 40 == 0) std::this_thread::yield();
        ran.push_back(i);
      });
      if (i == 99) {
        lane.WaitIdle();
        EXPECT_EQ(ran.size(), 99u);  // all of the first hundred but the one that threw
      }
    }
  }  // the rest runs before the lane is gone
  ASSERT_EQ(ran.size(), 199u);
  for (std::size_t i = 0; i < ran.size(); ++i) {
    EXPECT_EQ(ran[i], static_cast<int>(i < 50 ? i : i + 1));
  }
}

}  // namespace
