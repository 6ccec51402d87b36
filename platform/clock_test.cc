#include "platform/clock.h"

#include <gtest/gtest.h>

namespace helmsman::platform {
namespace {

TEST(ClockTest, CivilTimeRoundTripsAcrossLeapYearsAndEpoch) {
  struct Row {
    int64_t seconds;
    int year, month, day, hour, minute, second, weekday;
  } rows[] = {
      {0, 1970, 1, 1, 0, 0, 0, 4},
      {951782400, 2000, 2, 29, 0, 0, 0, 2},
      {1096507188, 2004, 9, 30, 1, 19, 48, 4},
      {1815000000, 2027, 7, 7, 22, 40, 0, 3},
      {-1, 1969, 12, 31, 23, 59, 59, 3},
  };
  for (const Row& r : rows) {
    CivilTime t = CivilFromSeconds(r.seconds);
    EXPECT_EQ(t.year, r.year) << r.seconds;
    EXPECT_EQ(t.month, r.month) << r.seconds;
    EXPECT_EQ(t.day, r.day) << r.seconds;
    EXPECT_EQ(t.hour, r.hour) << r.seconds;
    EXPECT_EQ(t.minute, r.minute) << r.seconds;
    EXPECT_EQ(t.second, r.second) << r.seconds;
    EXPECT_EQ(t.weekday, r.weekday) << r.seconds;
    EXPECT_EQ(SecondsFromCivil(t), r.seconds);
  }
}

TEST(ClockTest, FakeClockMovesOnlyWhenTold) {
  FakeClock clock(100);
  EXPECT_EQ(clock.NowSeconds(), 100);
  clock.Advance(5);
  EXPECT_EQ(clock.NowSeconds(), 105);
  clock.Set(CivilTime{2005, 5, 5, 13, 19, 48, 0});
  EXPECT_EQ(clock.NowLocal().hour, 13);
  EXPECT_EQ(clock.NowLocal().weekday, 4);  // a Thursday
}

}  // namespace
}  // namespace helmsman::platform
