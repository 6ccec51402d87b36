// What the presentation model cannot do alone: modal questions and messages, file dialogs,
// repainting a control at once and letting pending events run. The Qt view, the headless
// frontend and the scripted test frontend implement it.
#ifndef HELMSMAN_CONSOLE_UI_FRONTEND_H_
#define HELMSMAN_CONSOLE_UI_FRONTEND_H_

#include <functional>
#include <string>
#include <vector>

namespace helmsman::ui {

// A table shown with a question: what the answer OK would act on.
struct QuestionList {
  std::string summary;                         // the count line above the table
  std::vector<std::string> columns;
  std::vector<std::vector<std::string>> rows;  // a cell for each column
  bool operator==(const QuestionList&) const = default;
};

// What a removal would remove, in the columns "Character", "Account folder" (the folder's
// name), "Rule" and "Value", with the count line "2 characters would be removed", "1 folder
// would be removed", "3 characters and 1 folder would be removed" or "nothing would be
// removed". Items have the texts character ("" for a folder), account_folder (a path), rule
// and value (the pruning preview's items).
template <typename Items>
QuestionList RemovalList(const Items& items);

class Frontend {
 public:
  virtual ~Frontend() = default;
  // A message box with OK and Cancel; true when the operator chose OK.
  virtual bool AskOkCancel(const std::string& title, const std::string& text) = 0;
  // The same question with the list of what OK acts on shown before it. By default the bare
  // question.
  virtual bool AskOkCancelWithList(const std::string& title, const std::string& text,
                                   const QuestionList& list);
  // A message box with the one button OK.
  virtual void ShowMessage(const std::string& title, const std::string& text) = 0;
  // File dialogs; filter in the form "Logfile (*.log)|*.log". Empty result = cancelled.
  virtual std::string OpenFileDialog(const std::string& title, const std::string& filter) = 0;
  virtual std::string SaveFileDialog(const std::string& title, const std::string& filter) = 0;
  // Shows the control's current state at once, before the handler returns.
  virtual void Repaint(const std::string& control) = 0;
  // Lets pending events (timers, clicks, repaints) run.
  virtual void DoEvents() = 0;
  // The version window: the lines in a window of their own that the operator closes. By
  // default a message box with the lines.
  virtual void ShowVersionWindow(const std::string& title, const std::vector<std::string>& lines);
};

// Answers every question Cancel, cancels every file dialog and shows nothing: the model
// before a view is attached, and benchmarks.
class SilentFrontend : public Frontend {
 public:
  bool AskOkCancel(const std::string&, const std::string&) override { return false; }
  void ShowMessage(const std::string&, const std::string&) override {}
  std::string OpenFileDialog(const std::string&, const std::string&) override { return ""; }
  std::string SaveFileDialog(const std::string&, const std::string&) override { return ""; }
  void Repaint(const std::string&) override {}
  void DoEvents() override {}
};

// The status line `lblStatus`: what the program is doing, and "Good to go" when idle.
// Setting it repaints it at once, so that long work shows its progress.
class StatusLine {
 public:
  explicit StatusLine(Frontend* frontend = nullptr) : frontend_(frontend) {}
  void set_frontend(Frontend* frontend) { frontend_ = frontend; }
  // Called with every new text (the model mirrors it into its control; tests record it).
  void set_observer(std::function<void(const std::string&)> observer) {
    observer_ = std::move(observer);
  }
  void Set(const std::string& text);
  const std::string& text() const { return text_; }

 private:
  Frontend* frontend_;
  std::function<void(const std::string&)> observer_;
  std::string text_ = "Good to go";
};

inline constexpr char kGoodToGo[] = "Good to go";

// "2 characters would be removed" ... as RemovalList says.
std::string RemovalCount(size_t characters, size_t folders);

template <typename Items>
QuestionList RemovalList(const Items& items) {
  QuestionList list;
  list.columns = {"Character", "Account folder", "Rule", "Value"};
  size_t characters = 0;
  for (const auto& item : items) {
    const std::string& folder = item.account_folder;
    list.rows.push_back({item.character, folder.substr(folder.find_last_of("/\\") + 1),
                         item.rule, item.value});
    if (!item.character.empty()) ++characters;
  }
  list.summary = RemovalCount(characters, list.rows.size() - characters);
  return list;
}

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_FRONTEND_H_
