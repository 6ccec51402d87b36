// The three running logs of the console: the server activity log, the player activity log
// and the HELM error log. Each is an ordered list of lines (oldest first) plus the row its
// list box has selected. A line is the log stamp (the general date-and-time text of the
// local time now) immediately followed by the message, which carries its own leading ": ".
//
// The logs live in memory only, from start-up to shut-down; there is no line limit. They
// exist before anything else is loaded, so every module can report into them.
#ifndef HELMSMAN_CONSOLE_LOGS_LOGS_H_
#define HELMSMAN_CONSOLE_LOGS_LOGS_H_

#include <array>
#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "platform/locale_texts.h"

namespace helmsman::logs {

enum class LogId { kServerActivity = 0, kPlayerActivity = 1, kHelmError = 2 };
inline constexpr int kLogCount = 3;

// The list box that shows the log: "lstServerActivityLog", "lstPlayerActivityLog",
// "lstHELMErrorLog".
const char* ListControlName(LogId log);

// What happened to a log, for observers that mirror it (the presentation model, the
// headless frontend).
enum class LogChange { kAppended, kCleared };
// Called after every change; line is the new line for kAppended and empty for kCleared.
using LogObserver = std::function<void(LogId log, LogChange change, const std::string& line)>;

class Logs {
 public:
  // Stamps lines with locale.GeneralDateTime(clock.NowLocal()). Both must outlive the Logs.
  Logs(platform::Clock& clock, platform::LocaleTexts& locale);

  // Appends stamp + message as the newest line and selects it.
  void Append(LogId log, const std::string& message);
  // Appends the message only the first time this key is given in this run (a link in the
  // account root, an unreadable date): a condition that stays is reported once, not at
  // every pass. Returns whether the line was appended.
  bool AppendOnce(LogId log, const std::string& key, const std::string& message);
  // Empties the log without asking (the question is log_actions.h's business).
  void Erase(LogId log);
  // The operator clicked a row; -1 selects nothing. Out-of-range rows select nothing.
  void Select(LogId log, int row);

  const std::vector<std::string>& lines(LogId log) const { return At(log).lines; }
  // The selected row, -1 when nothing is selected.
  int selected(LogId log) const { return At(log).selected; }
  // How often the log has been emptied: a reader walking its lines by row sees by it that
  // the rows it has not reached yet are other lines now.
  uint64_t erasures(LogId log) const { return At(log).erasures; }

  void set_observer(LogObserver observer) { observer_ = std::move(observer); }

  // The clock and locale texts of the stamps; the regional checks read the same ones.
  platform::Clock& clock() const { return clock_; }
  platform::LocaleTexts& locale() const { return locale_; }

 private:
  struct LogList {
    std::vector<std::string> lines;
    int selected = -1;
    uint64_t erasures = 0;
  };
  LogList& At(LogId log) { return logs_[static_cast<int>(log)]; }
  const LogList& At(LogId log) const { return logs_[static_cast<int>(log)]; }

  platform::Clock& clock_;
  platform::LocaleTexts& locale_;
  std::array<LogList, kLogCount> logs_;
  std::set<std::string> reported_once_;
  LogObserver observer_;
};

}  // namespace helmsman::logs

#endif  // HELMSMAN_CONSOLE_LOGS_LOGS_H_
