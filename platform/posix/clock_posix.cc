// The machine's clock and its regional texts on POSIX. The short date and long time follow
// the process locale's LC_TIME forms (nl_langinfo D_FMT and T_FMT).
#include <langinfo.h>
#include <time.h>

#include <clocale>
#include <cstring>
#include <mutex>

#include "platform/clock.h"
#include "platform/locale_texts.h"

namespace helmsman::platform {

namespace {

class PosixClock : public Clock {
 public:
  int64_t NowSeconds() override { return static_cast<int64_t>(::time(nullptr)); }
  CivilTime NowLocal() override {
    time_t now = ::time(nullptr);
    struct tm tm;
    ::localtime_r(&now, &tm);
    CivilTime t;
    t.year = tm.tm_year + 1900;
    t.month = tm.tm_mon + 1;
    t.day = tm.tm_mday;
    t.hour = tm.tm_hour;
    t.minute = tm.tm_min;
    t.second = tm.tm_sec;
    t.weekday = tm.tm_wday;
    return t;
  }
};

struct tm ToTm(const CivilTime& t) {
  struct tm tm;
  std::memset(&tm, 0, sizeof tm);
  tm.tm_year = t.year - 1900;
  tm.tm_mon = t.month - 1;
  tm.tm_mday = t.day;
  tm.tm_hour = t.hour;
  tm.tm_min = t.minute;
  tm.tm_sec = t.second;
  tm.tm_wday = t.weekday;
  return tm;
}

// The C locale writes a two-digit year ("%m/%d/%y"); Windows' short dates carry four digits,
// and the program's date texts are compared and stored with them.
std::string WidenYear(std::string format) {
  for (size_t at = format.find("%y"); at != std::string::npos; at = format.find("%y", at + 2))
    format[at + 1] = 'Y';
  return format;
}

class PosixLocaleTexts : public LocaleTexts {
 public:
  PosixLocaleTexts() {
    std::setlocale(LC_TIME, "");
    date_format_ = WidenYear(::nl_langinfo(D_FMT));
    time_format_ = ::nl_langinfo(T_FMT);
    if (date_format_.empty()) date_format_ = "%m/%d/%Y";
    if (time_format_.empty()) time_format_ = "%H:%M:%S";
  }
  std::string ShortDate(const CivilTime& t) override { return Format(date_format_, t); }
  std::string LongTime(const CivilTime& t) override { return Format(time_format_, t); }

 private:
  static std::string Format(const std::string& format, const CivilTime& t) {
    struct tm tm = ToTm(t);
    char buffer[128];
    size_t n = ::strftime(buffer, sizeof buffer, format.c_str(), &tm);
    return std::string(buffer, n);
  }
  std::string date_format_;
  std::string time_format_;
};

}  // namespace

Clock& SystemClock() {
  static PosixClock clock;
  return clock;
}

LocaleTexts& SystemLocaleTexts() {
  static PosixLocaleTexts texts;
  return texts;
}

}  // namespace helmsman::platform
