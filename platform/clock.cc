#include "platform/clock.h"

namespace helmsman::platform {

// Days from civil and back: the proleptic Gregorian calendar in closed form, so that the
// fake clock needs no time zone database.
CivilTime CivilFromSeconds(int64_t seconds) {
  int64_t days = seconds / 86400;
  int64_t rest = seconds % 86400;
  if (rest < 0) {
    rest += 86400;
    --days;
  }
  CivilTime t;
  t.hour = static_cast<int>(rest / 3600);
  t.minute = static_cast<int>(rest / 60 % 60);
  t.second = static_cast<int>(rest % 60);
  t.weekday = static_cast<int>(((days % 7) + 11) % 7);  // 1970-01-01 was a Thursday
  int64_t z = days + 719468;
  int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  int64_t doe = z - era * 146097;
  int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  int64_t mp = (5 * doy + 2) / 153;
  t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  t.year = static_cast<int>(yoe + era * 400 + (t.month <= 2 ? 1 : 0));
  return t;
}

int64_t SecondsFromCivil(const CivilTime& t) {
  int64_t y = t.year - (t.month <= 2 ? 1 : 0);
  int64_t era = (y >= 0 ? y : y - 399) / 400;
  int64_t yoe = y - era * 400;
  int64_t mp = t.month > 2 ? t.month - 3 : t.month + 9;
  int64_t doy = (153 * mp + 2) / 5 + t.day - 1;
  int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  int64_t days = era * 146097 + doe - 719468;
  return days * 86400 + t.hour * 3600 + t.minute * 60 + t.second;
}

}  // namespace helmsman::platform
