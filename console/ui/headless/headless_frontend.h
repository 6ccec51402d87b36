// The frontend of a console without a display: it never waits for a person. Questions are
// answered by the command line (--yes, --no) or, without either, by the unattended setting
// `chkRunHELMUnattended` (on: OK, off: Cancel); file dialogs are cancelled. Everything it is
// asked to show is printed, one line each, so that the run can be followed and scripted.
//
// Output is UTF-8: the console's Windows-1252 texts are converted on the way out.
#ifndef HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_FRONTEND_H_
#define HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_FRONTEND_H_

#include <ostream>
#include <string>

#include "console/logs/logs.h"
#include "console/settings/settings.h"
#include "console/ui/frontend.h"

namespace helmsman::ui {

enum class HeadlessAnswers {
  kUnattended,  // OK when chkRunHELMUnattended is on, else Cancel
  kYes,         // --yes: OK to every question
  kNo,          // --no: Cancel to every question
};

// The log's name as its tab shows it: "Server Activity Log", "Player Activity Log",
// "HELM Error Log".
const char* LogName(logs::LogId log);

// "[Server Activity Log] " + line, in UTF-8, then a line break.
void PrintLogLine(std::ostream& out, logs::LogId log, const std::string& line);

class HeadlessFrontend : public Frontend {
 public:
  // settings is read at each question; out and settings must outlive the frontend.
  HeadlessFrontend(std::ostream& out, HeadlessAnswers answers, const settings::Settings& settings)
      : out_(out), answers_(answers), settings_(settings) {}

  // Prints "[question] title: text -> OK (reason)".
  bool AskOkCancel(const std::string& title, const std::string& text) override;
  // Prints "[list] title: summary", then "[list] title: cell | cell | ..." for the first
  // kListedRows rows and "[list] title: ... and N more" for the rest, then the question.
  bool AskOkCancelWithList(const std::string& title, const std::string& text,
                           const QuestionList& list) override;
  static constexpr size_t kListedRows = 50;
  // Prints "[message] title: text".
  void ShowMessage(const std::string& title, const std::string& text) override;
  // Print "[dialog] title: cancelled (no file dialogs without a display)" and return "".
  std::string OpenFileDialog(const std::string& title, const std::string& filter) override;
  std::string SaveFileDialog(const std::string& title, const std::string& filter) override;
  // Nothing to repaint.
  void Repaint(const std::string& /*control*/) override {}
  // Runs the thread's events that are ready, without waiting.
  void DoEvents() override;

 private:
  void Print(const std::string& kind, const std::string& title, const std::string& text);
  std::string CancelDialog(const std::string& title);

  std::ostream& out_;
  HeadlessAnswers answers_;
  const settings::Settings& settings_;
};

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_HEADLESS_HEADLESS_FRONTEND_H_
