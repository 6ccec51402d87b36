#include "console/logs/log_actions.h"

namespace helmsman::logs {

namespace {

struct LogTexts {
  const char* clear_question;
  const char* saving_status;
  const char* clear_after_save;
};

const LogTexts& TextsOf(LogId log) {
  static const LogTexts kServer = {"Clear Server Activity Log?", "Saving Server log to file...",
                                   "Log saved, would you like to clear the server activity log?"};
  static const LogTexts kPlayer = {"Clear Player Activity Log?", "Saving Player log to file...",
                                   "Log saved, would you like to clear the player activity log?"};
  static const LogTexts kHelm = {"Clear HELM Error Log?", "Saving HELM Error log to file...",
                                 "Log saved, would you like to clear the HELM error log?"};
  switch (log) {
    case LogId::kServerActivity:
      return kServer;
    case LogId::kPlayerActivity:
      return kPlayer;
    case LogId::kHelmError:
      return kHelm;
  }
  return kServer;
}

std::string JoinLines(const std::vector<std::string>& lines) {
  size_t size = 0;
  for (const std::string& line : lines) size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& line : lines) {
    text += line;
    text += "\r\n";
  }
  return text;
}

void ReportSaveFailure(Logs& logs, LogId log, ui::Frontend& frontend, const std::string& path,
                       const std::string& reason) {
  frontend.ShowMessage(kLogSaveErrorTitle,
                       "The log could not be saved to " + path + " (" + reason + ").");
  // Saving the error log must not change it, so its own failure is shown only.
  if (log != LogId::kHelmError)
    logs.Append(LogId::kHelmError, ": Error saving log to file " + path + ": " + reason);
}

}  // namespace

bool ClearLog(Logs& logs, LogId log, ui::Frontend& frontend) {
  if (!frontend.AskOkCancel(kLogEraseTitle, TextsOf(log).clear_question)) return false;
  logs.Erase(log);
  return true;
}

SaveOutcome SaveLog(Logs& logs, LogId log, ui::Frontend& frontend, ui::StatusLine& status,
                    platform::FileSystem& fs) {
  const LogTexts& texts = TextsOf(log);
  status.Set(texts.saving_status);
  SaveOutcome outcome = SaveOutcome::kCancelled;
  std::string path = frontend.SaveFileDialog(kSaveLogDialogTitle, kSaveLogDialogFilter);
  if (!path.empty()) {
    std::string error;
    if (!fs.AppendFile(path, JoinLines(logs.lines(log)), &error)) {
      ReportSaveFailure(logs, log, frontend, path, error);
      outcome = SaveOutcome::kFailed;
    } else if (frontend.AskOkCancel(kLogEraseTitle, texts.clear_after_save)) {
      logs.Erase(log);
      outcome = SaveOutcome::kSavedAndCleared;
    } else {
      outcome = SaveOutcome::kSavedAndKept;
    }
  }
  status.Set(ui::kGoodToGo);
  return outcome;
}

}  // namespace helmsman::logs
