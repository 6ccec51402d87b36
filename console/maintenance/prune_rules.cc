#include "console/maintenance/prune_rules.h"

#include <cctype>

namespace helmsman::maintenance {

namespace {

// Reads a run of 1..max_digits digits at *pos.
std::optional<int64_t> Digits(const std::string& text, size_t* pos, size_t max_digits) {
  size_t start = *pos;
  int64_t value = 0;
  while (*pos < text.size() && std::isdigit(static_cast<unsigned char>(text[*pos])) &&
         *pos - start < max_digits) {
    value = value * 10 + (text[*pos] - '0');
    ++*pos;
  }
  if (*pos == start) return std::nullopt;
  if (*pos < text.size() && std::isdigit(static_cast<unsigned char>(text[*pos]))) {
    return std::nullopt;  // too many digits
  }
  return value;
}

bool IsLeapYear(int64_t year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int64_t year, int64_t month) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month == 2 && IsLeapYear(year)) return 29;
  return kDays[month - 1];
}

// Days from 1970-01-01 to a date of the proleptic Gregorian calendar.
int64_t DaysFromCivil(int64_t year, int64_t month, int64_t day) {
  year -= month <= 2 ? 1 : 0;
  const int64_t era = (year >= 0 ? year : year - 399) / 400;
  const int64_t year_of_era = year - era * 400;
  const int64_t day_of_year = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
  const int64_t day_of_era = year_of_era * 365 + year_of_era / 4 - year_of_era / 100 + day_of_year;
  return era * 146097 + day_of_era - 719468;
}

std::string Trim(const std::string& text) {
  size_t begin = text.find_first_not_of(" ,");
  if (begin == std::string::npos) return "";
  size_t end = text.find_last_not_of(" ,");
  return text.substr(begin, end - begin + 1);
}

std::optional<int64_t> WholeNumber(const std::string& text) {
  if (text.empty() || text.size() > 12) return std::nullopt;
  size_t pos = 0;
  bool negative = text[0] == '-';
  if (negative) pos = 1;
  std::optional<int64_t> value = Digits(text, &pos, 11);
  if (!value || pos != text.size()) return std::nullopt;
  return negative ? -*value : *value;
}

}  // namespace

std::optional<int64_t> LastSavedDay(const std::string& last_saved, int date_order) {
  if (date_order != 0 && date_order != 1) return std::nullopt;
  size_t pos = 0;
  std::optional<int64_t> first = Digits(last_saved, &pos, 2);
  if (!first || pos >= last_saved.size() || last_saved[pos++] != '/') return std::nullopt;
  std::optional<int64_t> second = Digits(last_saved, &pos, 2);
  if (!second || pos >= last_saved.size() || last_saved[pos++] != '/') return std::nullopt;
  const size_t year_at = pos;
  std::optional<int64_t> year = Digits(last_saved, &pos, 4);
  if (!year || pos - year_at != 4 || (pos < last_saved.size() && last_saved[pos] != ' ')) {
    return std::nullopt;
  }
  const int64_t month = date_order == 0 ? *first : *second;
  const int64_t day = date_order == 0 ? *second : *first;
  if (month < 1 || month > 12 || day < 1 || day > DaysInMonth(*year, month)) return std::nullopt;
  return DaysFromCivil(*year, month, day);
}

int64_t DayOf(const platform::CivilTime& t) { return DaysFromCivil(t.year, t.month, t.day); }

std::optional<TimePlayed> ParseTimePlayed(const std::string& time_played) {
  const size_t hours_at = time_played.find("hours");
  if (hours_at == std::string::npos) return std::nullopt;
  const size_t minutes_at = time_played.find("minutes", hours_at + 5);
  if (minutes_at == std::string::npos) return std::nullopt;
  std::optional<int64_t> hours = WholeNumber(Trim(time_played.substr(0, hours_at)));
  std::optional<int64_t> minutes =
      WholeNumber(Trim(time_played.substr(hours_at + 5, minutes_at - hours_at - 5)));
  if (!hours || !minutes) return std::nullopt;
  return TimePlayed{*hours, *minutes};
}

std::optional<int64_t> InactiveDays(const std::string& last_saved, int date_order, int64_t today,
                                    int days_limit) {
  if (last_saved == kNewPlayer) return std::nullopt;
  std::optional<int64_t> saved = LastSavedDay(last_saved, date_order);
  if (!saved || *saved > today) return std::nullopt;
  const int64_t days = today - *saved;
  if (days <= days_limit) return std::nullopt;
  return days;
}

bool IsUnreadableLastSaved(const std::string& last_saved, int date_order, int64_t today) {
  if (last_saved == kNewPlayer) return false;
  std::optional<int64_t> saved = LastSavedDay(last_saved, date_order);
  return !saved || *saved > today;
}

bool IsUninterested(const std::string& last_saved, const std::string& time_played,
                    int minutes_limit) {
  if (last_saved == kNewPlayer) return true;
  std::optional<TimePlayed> played = ParseTimePlayed(time_played);
  return played && played->hours <= 0 && played->minutes < minutes_limit;
}

}  // namespace helmsman::maintenance
