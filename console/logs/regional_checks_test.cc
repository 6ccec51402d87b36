#include "console/logs/regional_checks.h"

#include <gtest/gtest.h>

namespace helmsman::logs {
namespace {

using platform::CivilTime;

struct DateRow {
  const char* picture;
  CivilTime now;
  int option;
  int expected;
  const char* error_line;  // nullptr when no line is expected
};

TEST(DateOrderCheckTest, Table) {
  const DateRow rows[] = {
      // Day equals month: month first wins.
      {"MM/dd/yyyy", {2005, 5, 5}, kMonthFirst, 1, nullptr},
      {"MM/dd/yyyy", {2005, 5, 5}, kDayFirst, 0, nullptr},
      {"dd/MM/yyyy", {2005, 5, 5}, kMonthFirst, 1, nullptr},
      {"MM/dd/yyyy", {2005, 9, 30}, kMonthFirst, 1, nullptr},
      {"dd/MM/yyyy", {2005, 9, 30}, kDayFirst, 1, nullptr},
      {"dd/MM/yyyy", {2005, 9, 30}, kMonthFirst, 0, nullptr},
      {"MM/dd/yyyy", {2005, 9, 30}, -1, 0, nullptr},
      {"dd/MM/yyyy", {2005, 9, 30}, -1, 0, nullptr},
      // One-digit month or day cannot be interpreted.
      {"M/d/yyyy",
       {2005, 5, 5},
       kMonthFirst,
       0,
       "5/5/2005 0:00:00: Error verifying date format. Month = 05, Day = 05, and current date "
       "is 5/5/2005"},
      {"M/d/yyyy", {2005, 11, 12}, kMonthFirst, 1, nullptr},
      // No "/": the rest is the whole date, so only a day equal to the month passes.
      {"yyyy-MM-dd",
       {2005, 9, 30},
       kMonthFirst,
       0,
       "2005-09-30 0:00:00: Error verifying date format. Month = 09, Day = 30, and current "
       "date is 2005-09-30"},
      {"MM.dd.yyyy", {2005, 7, 7}, kMonthFirst, 1, nullptr},
  };
  for (const DateRow& row : rows) {
    SCOPED_TRACE(std::string(row.picture) + " " + std::to_string(row.now.month) + "/" +
                 std::to_string(row.now.day) + " option " + std::to_string(row.option));
    platform::FakeClock clock;
    clock.Set(row.now);
    platform::PictureLocaleTexts locale(row.picture, "H:mm:ss");
    Logs logs(clock, locale);
    EXPECT_EQ(DateOrderCheck(logs, row.option), row.expected);
    if (row.error_line == nullptr) {
      EXPECT_TRUE(logs.lines(LogId::kHelmError).empty());
    } else {
      EXPECT_EQ(logs.lines(LogId::kHelmError), std::vector<std::string>{row.error_line});
    }
  }
}

// Locale texts given as fixed strings, for forms the pictures cannot write.
class FixedLocaleTexts : public platform::LocaleTexts {
 public:
  FixedLocaleTexts(std::string date, std::string time)
      : date_(std::move(date)), time_(std::move(time)) {}
  std::string ShortDate(const CivilTime&) override { return date_; }
  std::string LongTime(const CivilTime&) override { return time_; }

 private:
  std::string date_, time_;
};

TEST(TimeFormatCheckTest, LowerCaseAmOrPmCountsAsTwelveHour) {
  platform::FakeClock clock;
  for (const char* time : {"1:19:48 am", "1:19:48 pm", "1:19:48 Am"}) {
    FixedLocaleTexts locale("5/5/2005", time);
    Logs logs(clock, locale);
    EXPECT_EQ(TimeFormatCheck(logs, kTwelveHour), 1) << time;
    EXPECT_EQ(TimeFormatCheck(logs, kTwentyFourHour), 0) << time;
  }
}

struct TimeRow {
  const char* picture;
  int hour;
  int option;
  int expected;
};

TEST(TimeFormatCheckTest, Table) {
  const TimeRow rows[] = {
      {"h:mm:ss tt", 1, kTwelveHour, 1},   // "1:19:48 AM"
      {"h:mm:ss tt", 13, kTwelveHour, 1},  // "1:19:48 PM"
      {"h:mm:ss tt", 1, kTwentyFourHour, 0},
      {"HH:mm:ss", 13, kTwentyFourHour, 1},  // "13:19:48"
      {"HH:mm:ss", 13, kTwelveHour, 0},
      {"HH:mm:ss", 13, -1, 0},
      {"h:mm:ss tt", 1, -1, 0},
  };
  for (const TimeRow& row : rows) {
    SCOPED_TRACE(std::string(row.picture) + " option " + std::to_string(row.option));
    platform::FakeClock clock;
    clock.Set(CivilTime{2005, 5, 5, row.hour, 19, 48});
    platform::PictureLocaleTexts locale("M/d/yyyy", row.picture);
    Logs logs(clock, locale);
    EXPECT_EQ(TimeFormatCheck(logs, row.option), row.expected);
    EXPECT_TRUE(logs.lines(LogId::kHelmError).empty());
  }
}

TEST(CurrentHourIndexTest, ReadsTheHourInTheDeclaredForm) {
  struct Row {
    const char* picture;
    int hour;
    int option;
    int expected;
  };
  const Row rows[] = {
      {"h:mm:ss tt", 0, kTwelveHour, 0},    // "12:05:09 AM" is midnight's hour
      {"h:mm:ss tt", 12, kTwelveHour, 12},  // "12:05:09 PM" is noon's
      {"h:mm:ss tt", 15, kTwelveHour, 15},
      {"HH:mm:ss", 15, kTwentyFourHour, 15},
      {"HH:mm:ss", 0, kTwentyFourHour, 0},
      {"h:mm:ss tt", 15, kTwentyFourHour, 3},  // a setting that does not match reads wrong
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.picture) + " hour " + std::to_string(row.hour));
    platform::FakeClock clock;
    clock.Set(CivilTime{2005, 5, 5, row.hour, 5, 9});
    platform::PictureLocaleTexts locale("M/d/yyyy", row.picture);
    Logs logs(clock, locale);
    EXPECT_EQ(CurrentHourIndex(logs, row.option), row.expected);
  }
}

}  // namespace
}  // namespace helmsman::logs
