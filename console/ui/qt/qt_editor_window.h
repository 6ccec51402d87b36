// The Qt view of the player editor: a window built from frm_edit_player.ui whose widgets are
// bound to the open editor's controls by QtBinding, shown while the editor is open.
//
// Mouse movement over the window's background, over the frames fraPlayerName,
// fraPlayerLocation, fraPlayerShip and fraSelectedFaction and over the lists lstFileView and
// lstFileLoadErrors tells the editor that the operator is there (its inactivity counter
// starts again). The window's close box closes the editor through its closing steps.
#ifndef HELMSMAN_CONSOLE_UI_QT_QT_EDITOR_WINDOW_H_
#define HELMSMAN_CONSOLE_UI_QT_QT_EDITOR_WINDOW_H_

#include <QPointer>
#include <QWidget>
#include <memory>

#include "console/editor/editor_session.h"
#include "console/ui/qt/qt_binding.h"

namespace helmsman::ui::qt {

class EditorWindow : public QWidget {
 public:
  // editor must outlive the window; parent is the main window (the editor is a window of
  // its own above it).
  EditorWindow(editor::PlayerEditor& editor, QWidget* parent);
  ~EditorWindow() override;

  QtBinding& binding() { return *binding_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  editor::PlayerEditor& editor_;
  std::unique_ptr<QtBinding> binding_;
};

// Opens a window for every editor the session opens and deletes it when the editor closes
// (on the next pass of the event loop: the editor closes from inside the window's handlers).
// Must be destroyed before the session's editor; clears the session's listener then.
class EditorWindows {
 public:
  EditorWindows(editor::EditorSession& session, QWidget* main_window);
  ~EditorWindows();
  EditorWindows(const EditorWindows&) = delete;
  EditorWindows& operator=(const EditorWindows&) = delete;

  // The open editor's window; nullptr when none is open.
  EditorWindow* window() const { return window_; }

 private:
  void Changed(editor::PlayerEditor* editor);

  editor::EditorSession& session_;
  QWidget* main_window_;
  QPointer<EditorWindow> window_;
};

}  // namespace helmsman::ui::qt

#endif  // HELMSMAN_CONSOLE_UI_QT_QT_EDITOR_WINDOW_H_
