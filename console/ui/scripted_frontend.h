// A frontend for tests: answers questions and file dialogs from queues and records, in
// order, everything it was asked to show.
#ifndef HELMSMAN_CONSOLE_UI_SCRIPTED_FRONTEND_H_
#define HELMSMAN_CONSOLE_UI_SCRIPTED_FRONTEND_H_

#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "console/ui/frontend.h"

namespace helmsman::ui {

class ScriptedFrontend : public Frontend {
 public:
  // Answers for the next questions, oldest first; an empty queue answers Cancel.
  void QueueAnswer(bool ok) { answers_.push_back(ok); }
  // Names for the next file dialogs, oldest first; an empty queue cancels the dialog.
  void QueueFileName(const std::string& name) { file_names_.push_back(name); }
  // Runs action once, at the next question, before it is answered: what changes while a
  // question is up.
  void AtNextQuestion(std::function<void()> action) { at_next_question_ = std::move(action); }

  bool AskOkCancel(const std::string& title, const std::string& text) override;
  // Keeps the list in lists() and records the question as AskOkCancel does.
  bool AskOkCancelWithList(const std::string& title, const std::string& text,
                           const QuestionList& list) override;
  void ShowMessage(const std::string& title, const std::string& text) override;
  std::string OpenFileDialog(const std::string& title, const std::string& filter) override;
  std::string SaveFileDialog(const std::string& title, const std::string& filter) override;
  void Repaint(const std::string& control) override;
  void DoEvents() override { ++events_run_; }

  // "ask [title] text -> OK", "message [title] text", "open [title] filter -> name",
  // "save [title] filter -> name"; repaints are counted, not recorded here.
  const std::vector<std::string>& shown() const { return shown_; }
  // The lists shown with questions, oldest first; shown() holds their questions.
  const std::vector<QuestionList>& lists() const { return lists_; }
  int repaints(const std::string& control) const;
  int events_run() const { return events_run_; }
  void ClearShown() {
    shown_.clear();
    lists_.clear();
  }

 private:
  std::string NextFileName();
  std::deque<bool> answers_;
  std::function<void()> at_next_question_;
  std::deque<std::string> file_names_;
  std::vector<std::string> shown_;
  std::vector<QuestionList> lists_;
  std::vector<std::string> repainted_;
  int events_run_ = 0;
};

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_SCRIPTED_FRONTEND_H_
