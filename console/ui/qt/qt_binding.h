// The one binding between the presentation model and the Qt widgets: every control of a
// Controls set is shown by the widget under root whose object name is the control's name.
//
// Model -> widgets: at construction and after every change the Controls observer reports,
// the widget takes the control's enabled state, tool tip, caption or text, rows, selection,
// check state, value and range (texts converted from Windows-1252). Timer controls are
// QTimers owned by the binding: running while enabled, with the value as interval in ms.
//
// Widgets -> model: an operator's action is first applied through the Controls setters
// (texts converted to Windows-1252), then the control's event is fired:
//   button, check box, option button (when it becomes selected), list row chosen -> kClick
//   (a list's chosen row is the highlighted one: a row made current without a highlight is
//   not chosen, and a highlight taken away chooses none)
//   text edited, scroll bar moved, combo box or tab chosen, calendar date chosen  -> kChange
//   list row double-clicked                                                     -> kDoubleClick
//   Enter pressed in a text box                                                 -> kEnter
//   timer ran out (while its control is enabled)                                -> kTimer
// Widget signals caused by the binding's own updates are ignored, so showing a change never
// runs a handler.
//
// The binding installs itself as the Controls observer (there is one) and removes itself
// when destroyed; it must not outlive controls, and root must outlive it.
#ifndef HELMSMAN_CONSOLE_UI_QT_QT_BINDING_H_
#define HELMSMAN_CONSOLE_UI_QT_QT_BINDING_H_

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "console/ui/controls.h"

class QListWidget;

namespace helmsman::ui::qt {

class QtBinding : public QObject {
 public:
  QtBinding(Controls& controls, QWidget* root);
  ~QtBinding() override;
  QtBinding(const QtBinding&) = delete;
  QtBinding& operator=(const QtBinding&) = delete;

  // The widget showing a control; nullptr for timers and unknown names.
  QWidget* WidgetOf(const std::string& name) const;
  // The timer of a timer control; nullptr for other names.
  QTimer* TimerOf(const std::string& name) const;
  // Controls for which root has no widget of a fitting class.
  const std::vector<std::string>& unbound() const { return unbound_; }

  // A list on screen takes a newly selected row on the next pass of the event loop, once for
  // all the changes made meanwhile: each new current row makes the view lay out all its
  // rows again, which made a visible log that grows by many lines in one handler slow.
  // (Nothing selected is shown at once, and the old highlight goes at once: the window
  // never highlights a row the model does not hold.) This applies such selections now; a
  // repaint does it first.
  void ShowPendingSelections();

 private:
  // The rows a list or combo box shows, as last copied from the model, and where the model
  // kept them then. Appending a row to a long log adds one item instead of refilling the
  // widget, and costs no comparison of the rows before it (see ShowRows).
  struct ShownRows {
    std::vector<std::string> rows;
    const std::string* storage = nullptr;
  };

  void Bind(const Control& control);
  void Connect(const std::string& name, QWidget* widget);
  void ConnectTimer(const std::string& name);
  void Show(const std::string& name);
  void ShowRows(const std::string& name, const Control& control);
  void ShowOption(QWidget* widget, const Control& control);
  // Runs an operator's action unless it was caused by Show().
  template <typename Action>
  void FromWidget(Action action);

  Controls& controls_;
  QWidget* root_;
  std::map<std::string, QPointer<QWidget>> widgets_;
  std::map<std::string, QTimer*> timers_;
  std::map<std::string, ShownRows> shown_rows_;
  std::vector<std::string> unbound_;
  std::set<std::string> pending_selections_;
  bool showing_ = false;
};

// The widget class that shows a control kind (tab widgets also show combo-like controls).
bool FitsKind(const QWidget* widget, ControlKind kind);

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_QT_BINDING_H_
