// The rules that make a character a candidate for deletion, shared by the manual pruning
// buttons and the automated maintenance cycle.
//
// Inactive: its last saved text is not "NEW PLAYER" and more than N day boundaries lie
// between its date and today. Uninterested: its last saved text is "NEW PLAYER" (never
// saved), or its time played has 0 hours or less and fewer than N minutes.
//
// Unreadable data is never a reason to delete: a last saved text that is not a real date in
// the operator's date order (`optRegionalDateSetting`) with a four-digit year, a date after
// today, and a time played without a number before "hours" and one between "hours" and
// "minutes", make no candidate.
#ifndef HELMSMAN_CONSOLE_MAINTENANCE_PRUNE_RULES_H_
#define HELMSMAN_CONSOLE_MAINTENANCE_PRUNE_RULES_H_

#include <cstdint>
#include <optional>
#include <string>

#include "platform/clock.h"

namespace helmsman::maintenance {

inline constexpr char kNewPlayer[] = "NEW PLAYER";

// The day number (days since 1970-01-01) of the date at the start of a last saved text:
// "first/second/year", then the end of the text or a blank and anything (the time). The
// first number is the month when date_order is 0 ("MM/DD/YYYY"), the day when it is 1; any
// other order reads nothing. The year has exactly four digits: "12/01/26" could be any
// century, and read as the year 26 it would make a recent character 2,000 years inactive.
// None when it is not a date of the calendar ("13/45/2005", "2/29/2023").
std::optional<int64_t> LastSavedDay(const std::string& last_saved, int date_order);
// The day number of a local date.
int64_t DayOf(const platform::CivilTime& t);

struct TimePlayed {
  int64_t hours = 0;
  int64_t minutes = 0;
};
// "H hours, M minutes, S seconds": H is the number just before "hours", M the number
// between "hours" and "minutes" (blanks and a comma around it allowed). Seconds are not
// read. None when either number is missing or not a whole number.
std::optional<TimePlayed> ParseTimePlayed(const std::string& time_played);

// Days past, when the record is an inactive candidate against today (day number); none
// when it is not (new player, unreadable date, N days or fewer).
std::optional<int64_t> InactiveDays(const std::string& last_saved, int date_order, int64_t today,
                                    int days_limit);
// Whether a last saved text other than "NEW PLAYER" gives no usable date against today: not
// a date as LastSavedDay reads it, or a day after today (a clock that was set wrong).
bool IsUnreadableLastSaved(const std::string& last_saved, int date_order, int64_t today);
bool IsUninterested(const std::string& last_saved, const std::string& time_played,
                    int minutes_limit);

}  // namespace helmsman::maintenance

#endif  // HELMSMAN_CONSOLE_MAINTENANCE_PRUNE_RULES_H_
