#include "console/logs/regional_checks.h"

#include <cctype>
#include <string>

namespace helmsman::logs {

namespace {

std::string TwoDigits(int value) {
  std::string text = std::to_string(value);
  return text.size() == 1 ? "0" + text : text;
}

bool StartsWithIgnoreCase(const std::string& text, const std::string& prefix) {
  if (text.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i])))
      return false;
  }
  return true;
}

bool ContainsIgnoreCase(const std::string& text, const std::string& part) {
  for (size_t at = 0; at + part.size() <= text.size(); ++at) {
    if (StartsWithIgnoreCase(text.substr(at, part.size()), part)) return true;
  }
  return false;
}

}  // namespace

int DateOrderCheck(Logs& logs, int optRegionalDateSetting) {
  platform::CivilTime now = logs.clock().NowLocal();
  std::string month = TwoDigits(now.month);
  std::string day = TwoDigits(now.day);
  std::string date = logs.locale().ShortDate(now);
  size_t slash = date.find('/');
  std::string rest = slash == std::string::npos ? date : date.substr(slash + 1);

  int detected;
  // Month first is tested first, so a day equal to its month counts as month first.
  if (StartsWithIgnoreCase(date, month) && StartsWithIgnoreCase(rest, day)) {
    detected = kMonthFirst;
  } else if (StartsWithIgnoreCase(date, day) && StartsWithIgnoreCase(rest, month)) {
    detected = kDayFirst;
  } else {
    logs.Append(LogId::kHelmError, ": Error verifying date format. Month = " + month +
                                       ", Day = " + day + ", and current date is " + date);
    return 0;
  }
  return optRegionalDateSetting == detected ? 1 : 0;
}

int TimeFormatCheck(const Logs& logs, int optRegionalTimeSetting) {
  std::string time = logs.locale().LongTime(logs.clock().NowLocal());
  bool twelve_hour = ContainsIgnoreCase(time, "AM") || ContainsIgnoreCase(time, "PM");
  return optRegionalTimeSetting == (twelve_hour ? kTwelveHour : kTwentyFourHour) ? 1 : 0;
}

int CurrentHourIndex(const Logs& logs, int optRegionalTimeSetting) {
  const std::string time = logs.locale().LongTime(logs.clock().NowLocal());
  size_t at = time.find_first_not_of(' ');
  int hour = 0;
  for (; at < time.size() && time[at] >= '0' && time[at] <= '9' && hour < 100; ++at) {
    hour = hour * 10 + (time[at] - '0');
  }
  if (optRegionalTimeSetting == kTwelveHour) {
    if (ContainsIgnoreCase(time, "PM")) return hour % 12 + 12;
    if (ContainsIgnoreCase(time, "AM")) return hour % 12;
  }
  return hour >= 0 && hour < 24 ? hour : 0;
}

}  // namespace helmsman::logs
