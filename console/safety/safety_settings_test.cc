#include "console/safety/safety_settings.h"

#include <gtest/gtest.h>

#include "platform/file_system.h"

namespace helmsman::safety {
namespace {

TEST(SafetySettingsTest, ReadsKeysClampsAndIgnoresTheRest) {
  EXPECT_EQ(ParseSafetySettings("").quarantine_days, kDefaultQuarantineDays);
  EXPECT_EQ(ParseSafetySettings("QuarantineDays=0\r\n").quarantine_days, 0);
  EXPECT_EQ(ParseSafetySettings("junk\n Other=4\nQuarantineDays = 7 \n").quarantine_days, 7);
  EXPECT_EQ(ParseSafetySettings("QuarantineDays=-3").quarantine_days, 0);
  EXPECT_EQ(ParseSafetySettings("QuarantineDays=99999999999999999999").quarantine_days,
            kMaxQuarantineDays);
  // Not a number: the default stays rather than becoming 0, which would delete at once.
  EXPECT_EQ(ParseSafetySettings("QuarantineDays=ten").quarantine_days, kDefaultQuarantineDays);
  EXPECT_EQ(ParseSafetySettings("QuarantineDays=").quarantine_days, kDefaultQuarantineDays);
  const SafetySettings round = ParseSafetySettings(SafetySettingsText(SafetySettings{12, 3, 9}));
  EXPECT_EQ(round.quarantine_days, 12);
  EXPECT_EQ(round.crash_budget, 3);
  EXPECT_EQ(round.crash_budget_minutes, 9);
  // A file from before the crash budget gets its defaults; minutes are at least 1.
  EXPECT_EQ(ParseSafetySettings("QuarantineDays=4").crash_budget, kDefaultCrashBudget);
  EXPECT_EQ(ParseSafetySettings("CrashBudgetMinutes=0").crash_budget_minutes, 1);
  EXPECT_EQ(ParseSafetySettings("CrashBudget=0").crash_budget, 0);
}

}  // namespace
}  // namespace helmsman::safety
