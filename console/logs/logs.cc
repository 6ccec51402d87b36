#include "console/logs/logs.h"

namespace helmsman::logs {

const char* ListControlName(LogId log) {
  switch (log) {
    case LogId::kServerActivity:
      return "lstServerActivityLog";
    case LogId::kPlayerActivity:
      return "lstPlayerActivityLog";
    case LogId::kHelmError:
      return "lstHELMErrorLog";
  }
  return "";
}

Logs::Logs(platform::Clock& clock, platform::LocaleTexts& locale)
    : clock_(clock), locale_(locale) {}

void Logs::Append(LogId log, const std::string& message) {
  LogList& list = At(log);
  list.lines.push_back(locale_.GeneralDateTime(clock_.NowLocal()) + message);
  list.selected = static_cast<int>(list.lines.size()) - 1;
  if (observer_) observer_(log, LogChange::kAppended, list.lines.back());
}

bool Logs::AppendOnce(LogId log, const std::string& key, const std::string& message) {
  if (!reported_once_.insert(key).second) return false;
  Append(log, message);
  return true;
}

void Logs::Erase(LogId log) {
  LogList& list = At(log);
  list.lines.clear();
  list.selected = -1;
  ++list.erasures;
  if (observer_) observer_(log, LogChange::kCleared, std::string());
}

void Logs::Select(LogId log, int row) {
  LogList& list = At(log);
  list.selected = row >= 0 && row < static_cast<int>(list.lines.size()) ? row : -1;
}

}  // namespace helmsman::logs
