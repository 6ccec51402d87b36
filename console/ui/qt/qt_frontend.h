// The frontend of the Qt view: message boxes and file dialogs over the main window, repaints
// of the widget that shows a control, and a pass of the event loop.
#ifndef HELMSMAN_CONSOLE_UI_QT_QT_FRONTEND_H_
#define HELMSMAN_CONSOLE_UI_QT_QT_FRONTEND_H_

#include <QString>
#include <string>
#include <vector>

#include "console/ui/frontend.h"

class QWidget;

namespace helmsman::ui::qt {

class QtBinding;

class QtFrontend : public Frontend {
 public:
  // window parents the dialogs; binding finds the widget to repaint. Both must outlive this.
  QtFrontend(QWidget* window, QtBinding* binding) : window_(window), binding_(binding) {}

  bool AskOkCancel(const std::string& title, const std::string& text) override;
  // A dialog `frmQuestionList`: the count line `lblQuestionListSummary`, the table
  // `tblQuestionList` (a model over the rows: 20,000 of them open at once), the question
  // `lblQuestionListText` and OK (the default) and Cancel.
  bool AskOkCancelWithList(const std::string& title, const std::string& text,
                           const QuestionList& list) override;
  void ShowMessage(const std::string& title, const std::string& text) override;
  // The chosen path comes back in the file system's own encoding of names, so that a folder
  // with letters beyond Windows-1252 still opens. Saving never asks about an existing file:
  // the callers append to it.
  std::string OpenFileDialog(const std::string& title, const std::string& filter) override;
  std::string SaveFileDialog(const std::string& title, const std::string& filter) override;
  void Repaint(const std::string& control) override;
  void DoEvents() override;
  // A dialog `frmVersion` with the lines as selectable text (to be copied into a report) and
  // a Close button.
  void ShowVersionWindow(const std::string& title, const std::vector<std::string>& lines) override;

 private:
  QWidget* window_;
  QtBinding* binding_;
};

// "Logfile (*.log)|*.log|All files (*.*)|*.*" -> "Logfile (*.log);;All files (*.*)": pairs
// of description and patterns (separated by ';'); a description that does not already end
// in its patterns gets them appended in brackets, as Qt reads the patterns from there.
QString QtFileFilter(const std::string& filter);

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_QT_FRONTEND_H_
