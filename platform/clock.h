// The calendar clock. Core code never reads the time itself: it asks a Clock, so that tests
// run on a FakeClock they set and advance.
#ifndef HELMSMAN_PLATFORM_CLOCK_H_
#define HELMSMAN_PLATFORM_CLOCK_H_

#include <cstdint>

namespace helmsman::platform {

// A local calendar date and time, as the operator's regional texts show it.
struct CivilTime {
  int year = 1970;
  int month = 1;    // 1..12
  int day = 1;      // 1..31
  int hour = 0;     // 0..23
  int minute = 0;   // 0..59
  int second = 0;   // 0..59
  int weekday = 4;  // 0 = Sunday .. 6 = Saturday
};

class Clock {
 public:
  virtual ~Clock() = default;
  // Calendar time in whole seconds since 1970-01-01 00:00:00 UTC.
  virtual int64_t NowSeconds() = 0;
  // The local calendar time now.
  virtual CivilTime NowLocal() = 0;
};

// The machine's clock and time zone.
Clock& SystemClock();

// Civil time of a count of seconds since the epoch, taken as UTC (no time zone).
CivilTime CivilFromSeconds(int64_t seconds);
// The inverse of CivilFromSeconds; weekday is ignored.
int64_t SecondsFromCivil(const CivilTime& t);

// A clock that stands still until it is set or advanced. Its local time is its UTC time.
class FakeClock : public Clock {
 public:
  explicit FakeClock(int64_t seconds = 1'100'000'000) : seconds_(seconds) {}
  int64_t NowSeconds() override { return seconds_; }
  CivilTime NowLocal() override { return CivilFromSeconds(seconds_); }
  void Set(int64_t seconds) { seconds_ = seconds; }
  void Set(const CivilTime& t) { seconds_ = SecondsFromCivil(t); }
  void Advance(int64_t seconds) { seconds_ += seconds; }

 private:
  int64_t seconds_;
};

}  // namespace helmsman::platform

#endif  // HELMSMAN_PLATFORM_CLOCK_H_
