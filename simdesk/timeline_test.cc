#include "simdesk/timeline.h"

#include <gtest/gtest.h>

#include <string>

namespace helmsman::simdesk {
namespace {

TEST(TimelineTest, IdleTurnsMoveVirtualTimeToTheNextTimerOrOneStep) {
  Timeline timeline;
  timeline.UseVirtualTime(10'000);
  std::string ran;
  timeline.Schedule(100, [&] { ran += "a"; });
  timeline.AdvanceIdle();
  EXPECT_EQ(timeline.NowMillis(), 10'100);  // straight to the timer, not a whole step
  timeline.AdvanceIdle();
  EXPECT_EQ(timeline.NowMillis(), 10'100);  // a due timer holds time until it has run
  EXPECT_TRUE(timeline.RunOneDueTimer());
  EXPECT_EQ(ran, "a");
  timeline.AdvanceIdle();
  EXPECT_EQ(timeline.NowMillis(), 10'100 + kIdleStepMillis);
}

TEST(TimelineTest, TimersRunInDueOrderThenSetOrderAndCanBeCancelled) {
  Timeline timeline;
  timeline.UseVirtualTime(0);
  std::string ran;
  timeline.Schedule(50, [&] { ran += "late "; });
  Timeline::TimerId cancelled = timeline.Schedule(10, [&] { ran += "cancelled "; });
  timeline.Schedule(10, [&] { ran += "first "; });
  timeline.Schedule(10, [&] {
    ran += "second ";
    timeline.Schedule(0, [&] { ran += "nested "; });
  });
  timeline.Cancel(cancelled);
  EXPECT_EQ(timeline.MillisUntilNextTimer(), 10);
  timeline.Advance(60);
  while (timeline.RunOneDueTimer()) {
  }
  EXPECT_EQ(ran, "first second late nested ");
  EXPECT_EQ(timeline.MillisUntilNextTimer(), -1);
}

TEST(TimelineTest, RealTimeIgnoresAdvancing) {
  Timeline timeline;
  int64_t before = timeline.NowMillis();
  timeline.Advance(1'000'000);
  timeline.AdvanceIdle();
  EXPECT_LT(timeline.NowMillis() - before, 1'000'000);
}

}  // namespace
}  // namespace helmsman::simdesk
