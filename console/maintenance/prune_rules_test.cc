#include "console/maintenance/prune_rules.h"

#include <gtest/gtest.h>

namespace helmsman::maintenance {
namespace {

constexpr int kMonthFirst = 0;
constexpr int kDayFirst = 1;

int64_t Day(int year, int month, int day) {
  return DayOf(platform::CivilTime{year, month, day, 0, 0, 0, 0});
}

TEST(PruneRulesTest, LastSavedDatesInEitherOrder) {
  struct Row {
    const char* text;
    int order;
    std::optional<int64_t> day;
  };
  const Row rows[] = {
      {"3/14/2025 9:12:44 PM", kMonthFirst, Day(2025, 3, 14)},
      {"14/3/2025 21:12:44", kDayFirst, Day(2025, 3, 14)},
      {"03/04/2025", kMonthFirst, Day(2025, 3, 4)},
      {"03/04/2025", kDayFirst, Day(2025, 4, 3)},
      {"2/29/2024 1:00:00 PM", kMonthFirst, Day(2024, 2, 29)},
      // Unreadable: never a date.
      {"NEW PLAYER", kMonthFirst, std::nullopt},
      {"", kMonthFirst, std::nullopt},
      {"13/45/2005 10:00:00", kMonthFirst, std::nullopt},
      {"13/45/2005 10:00:00", kDayFirst, std::nullopt},
      {"2/29/2023 1:00:00 PM", kMonthFirst, std::nullopt},
      {"14/3/2025 9:12:44 PM", kMonthFirst, std::nullopt},  // the other order
      {"3/14/2025 9:12:44 PM", kDayFirst, std::nullopt},
      {"3/14/2025x", kMonthFirst, std::nullopt},
      {"3/14", kMonthFirst, std::nullopt},
      {"003/14/2025", kMonthFirst, std::nullopt},
      {"3/14/20255", kMonthFirst, std::nullopt},
      {"3/14/2025", -1, std::nullopt},  // no date order chosen
      // A year of fewer than four digits could be any century: never a date.
      {"12/01/26 1:00:00 PM", kMonthFirst, std::nullopt},
      {"12/01/026 1:00:00 PM", kMonthFirst, std::nullopt},
      {"12/01/6", kDayFirst, std::nullopt},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LastSavedDay(row.text, row.order), row.day) << row.text << " order " << row.order;
  }
}

TEST(PruneRulesTest, TimePlayed) {
  struct Row {
    const char* text;
    bool readable;
    int64_t hours, minutes;
  };
  const Row rows[] = {
      {"0 hours, 4 minutes, 59 seconds", true, 0, 4},
      {"12 hours, 0 minutes, 1 seconds", true, 12, 0},
      {"0 hours,5 minutes", true, 0, 5},
      {"", false, 0, 0},
      {"x hours, 1 minutes, 0 seconds", false, 0, 0},
      {"0 hours, 4 seconds", false, 0, 0},  // without "minutes"
      {"4 minutes, 0 hours", false, 0, 0},
      {"0 hours, some minutes", false, 0, 0},
      {"hours, 3 minutes", false, 0, 0},
  };
  for (const Row& row : rows) {
    std::optional<TimePlayed> played = ParseTimePlayed(row.text);
    ASSERT_EQ(played.has_value(), row.readable) << row.text;
    if (!played) continue;
    EXPECT_EQ(played->hours, row.hours) << row.text;
    EXPECT_EQ(played->minutes, row.minutes) << row.text;
  }
}

TEST(PruneRulesTest, InactiveAfterMoreThanNDayBoundaries) {
  const int64_t today = Day(2025, 6, 1);
  EXPECT_FALSE(InactiveDays("5/17/2025 11:59:59 PM", kMonthFirst, today, 15));  // 15 days
  EXPECT_EQ(InactiveDays("5/16/2025 0:00:01 AM", kMonthFirst, today, 15), 16);
  EXPECT_FALSE(InactiveDays("NEW PLAYER", kMonthFirst, today, 15));
  EXPECT_FALSE(InactiveDays("2/29/2023 1:00:00 PM", kMonthFirst, today, 15));
  EXPECT_FALSE(InactiveDays("16/5/2025", kMonthFirst, today, 15));  // other order: unread
  EXPECT_EQ(InactiveDays("16/5/2025", kDayFirst, today, 15), 16);
}

// A two-digit year once made a character saved last week 730,494 days inactive; a date
// after today (a clock set ahead) is no reason to delete either. Both are unreadable.
TEST(PruneRulesTest, TwoDigitYearsAndFutureDatesAreUnreadableNeverInactive) {
  const int64_t today = Day(2026, 12, 10);
  for (const char* text : {"12/01/26 1:00:00 PM", "12/01/2027 1:00:00 PM", "12/11/2026"}) {
    EXPECT_FALSE(InactiveDays(text, kMonthFirst, today, 5)) << text;
    EXPECT_TRUE(IsUnreadableLastSaved(text, kMonthFirst, today)) << text;
  }
  EXPECT_FALSE(IsUnreadableLastSaved("12/10/2026 1:00:00 PM", kMonthFirst, today));
  EXPECT_FALSE(IsUnreadableLastSaved("1/01/2020", kMonthFirst, today));
  EXPECT_FALSE(IsUnreadableLastSaved("NEW PLAYER", kMonthFirst, today));
  EXPECT_EQ(InactiveDays("1/01/2020", kMonthFirst, today, 5), today - Day(2020, 1, 1));
}

TEST(PruneRulesTest, UninterestedBelowNMinutesWithoutHours) {
  EXPECT_TRUE(IsUninterested("NEW PLAYER", "", 5));
  EXPECT_TRUE(IsUninterested("1/1/2025", "0 hours, 4 minutes, 59 seconds", 5));
  EXPECT_FALSE(IsUninterested("1/1/2025", "0 hours, 5 minutes, 0 seconds", 5));
  EXPECT_FALSE(IsUninterested("1/1/2025", "1 hours, 0 minutes, 0 seconds", 5));
  EXPECT_FALSE(IsUninterested("1/1/2025", "", 5));
  EXPECT_FALSE(IsUninterested("1/1/2025", "x hours", 5));
  EXPECT_FALSE(IsUninterested("1/1/2025", "0 hours, 0 seconds", 5));
}

}  // namespace
}  // namespace helmsman::maintenance
