// The two regional-format checks. The pruning and maintenance code compares dates and
// times taken from text, which only works when the operator's choices on the
// configuration tab match the system's own forms; these checks tell whether they do.
//
// Both read the current local time from the logs' clock and the system's forms from the
// logs' locale texts, so they see exactly what the log stamps show.
#ifndef HELMSMAN_CONSOLE_LOGS_REGIONAL_CHECKS_H_
#define HELMSMAN_CONSOLE_LOGS_REGIONAL_CHECKS_H_

#include "console/logs/logs.h"

namespace helmsman::logs {

// Option indices of `optRegionalDateSetting` and `optRegionalTimeSetting`; -1 = no button
// selected.
inline constexpr int kMonthFirst = 0;      // "MM/DD/YYYY"
inline constexpr int kDayFirst = 1;        // "DD/MM/YYYY"
inline constexpr int kTwelveHour = 0;      // "12-hr (AM/PM)"
inline constexpr int kTwentyFourHour = 1;  // "24-hr"

// Returns 1 when optRegionalDateSetting names the order of month and day in the system's
// short date of today, else 0 (also 0 when no button is selected). A short date whose
// start is neither the two-digit month nor the two-digit day (for example "5/5/2005")
// appends ": Error verifying date format. Month = 05, Day = 05, and current date is
// 5/5/2005" to the HELM error log and returns 0. When day equals month the date counts
// as month first.
int DateOrderCheck(Logs& logs, int optRegionalDateSetting);

// Returns 1 when optRegionalTimeSetting names the system's time form (12-hour when the
// time text holds "AM" or "PM" in any letter case, else 24-hour), else 0. Writes no line.
int TimeFormatCheck(const Logs& logs, int optRegionalTimeSetting);

// The hour of the day now as an index 0..23 into the hour labels ("12AM" .. "11PM"), read
// from the system's time text in the form optRegionalTimeSetting declares: 12-hour ("3:05:09
// PM" is 15; 12 AM is 0, 12 PM is 12) or 24-hour (the leading number as it stands). A time
// text without a leading number gives 0.
int CurrentHourIndex(const Logs& logs, int optRegionalTimeSetting);

}  // namespace helmsman::logs

#endif  // HELMSMAN_CONSOLE_LOGS_REGIONAL_CHECKS_H_
