// The machine's clock and its regional texts on Windows: the short date and long time in the
// user's regional settings (GetDateFormat with DATE_SHORTDATE, GetTimeFormat).
#include <windows.h>

#include "platform/clock.h"
#include "platform/locale_texts.h"

namespace helmsman::platform {

namespace {

// 100-nanosecond intervals between 1601-01-01 and 1970-01-01.
constexpr int64_t kEpochDifference = 116444736000000000LL;

class Win32Clock : public Clock {
 public:
  int64_t NowSeconds() override {
    FILETIME ft;
    ::GetSystemTimeAsFileTime(&ft);
    const int64_t ticks =
        (static_cast<int64_t>(ft.dwHighDateTime) << 32) | static_cast<int64_t>(ft.dwLowDateTime);
    return (ticks - kEpochDifference) / 10000000;
  }
  CivilTime NowLocal() override {
    SYSTEMTIME st;
    ::GetLocalTime(&st);
    CivilTime t;
    t.year = st.wYear;
    t.month = st.wMonth;
    t.day = st.wDay;
    t.hour = st.wHour;
    t.minute = st.wMinute;
    t.second = st.wSecond;
    t.weekday = st.wDayOfWeek;
    return t;
  }
};

SYSTEMTIME ToSystemTime(const CivilTime& t) {
  SYSTEMTIME st = {};
  st.wYear = static_cast<WORD>(t.year);
  st.wMonth = static_cast<WORD>(t.month);
  st.wDay = static_cast<WORD>(t.day);
  st.wDayOfWeek = static_cast<WORD>(t.weekday);
  st.wHour = static_cast<WORD>(t.hour);
  st.wMinute = static_cast<WORD>(t.minute);
  st.wSecond = static_cast<WORD>(t.second);
  return st;
}

class Win32LocaleTexts : public LocaleTexts {
 public:
  std::string ShortDate(const CivilTime& t) override {
    const SYSTEMTIME st = ToSystemTime(t);
    char buffer[128];
    const int n = ::GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &st, nullptr, buffer,
                                   sizeof buffer);
    // The call fails only on a date Windows cannot show; the picture form stands in.
    return n > 0 ? std::string(buffer, n - 1) : FormatPicture("M/d/yyyy", t);
  }
  std::string LongTime(const CivilTime& t) override {
    const SYSTEMTIME st = ToSystemTime(t);
    char buffer[128];
    const int n = ::GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &st, nullptr, buffer, sizeof buffer);
    return n > 0 ? std::string(buffer, n - 1) : FormatPicture("h:mm:ss tt", t);
  }
};

}  // namespace

Clock& SystemClock() {
  static Win32Clock clock;
  return clock;
}

LocaleTexts& SystemLocaleTexts() {
  static Win32LocaleTexts texts;
  return texts;
}

}  // namespace helmsman::platform
