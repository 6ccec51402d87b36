// The widgets of the main window `frmMain`, built from the Designer forms: frm_main.ui holds
// the controls above the tabs, the folder browser and the tab widget `SSTab1`; each of its
// seven pages has a form of its own (page_*.ui). Every widget that shows a control of the
// presentation model has that control's name as its object name; QtBinding finds them so.
// The form has no behaviour of its own beyond the log lists' reading aids (log_lists.h).
#ifndef HELMSMAN_CONSOLE_UI_QT_MAIN_WINDOW_FORM_H_
#define HELMSMAN_CONSOLE_UI_QT_MAIN_WINDOW_FORM_H_

#include <QWidget>

class QTabWidget;

namespace helmsman::ui::qt {

class MainWindowForm : public QWidget {
 public:
  explicit MainWindowForm(QWidget* parent = nullptr);
  ~MainWindowForm() override;

  // `SSTab1`, whose tabs read MainWindowTabs() in that order.
  QTabWidget* tabs() const;
};

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_MAIN_WINDOW_FORM_H_
