#include "console/ui/qt/qt_editor_window.h"

#include <QAbstractItemView>
#include <QCloseEvent>
#include <QEvent>

#include "console/ui/qt/qt_text.h"
#include "ui_frm_edit_player.h"

namespace helmsman::ui::qt {

namespace {

// Where mouse movement counts as the operator's presence.
constexpr const char* kFrames[] = {"fraPlayerName", "fraPlayerLocation", "fraPlayerShip",
                                   "fraSelectedFaction"};
constexpr const char* kLists[] = {"lstFileView", "lstFileLoadErrors"};

}  // namespace

EditorWindow::EditorWindow(editor::PlayerEditor& editor, QWidget* parent)
    : QWidget(parent, Qt::Window), editor_(editor) {
  // The generated class only creates widgets, all owned by this window.
  Ui::frmEditPlayer().setupUi(this);
  setWindowTitle(ToQt(editor.caption()));
  setAttribute(Qt::WA_DeleteOnClose, false);
  auto watch = [this](QWidget* widget) {
    if (widget == nullptr) return;
    widget->setMouseTracking(true);
    widget->installEventFilter(this);
  };
  watch(this);
  for (const char* frame : kFrames) watch(findChild<QWidget*>(frame));
  for (const char* list : kLists) {
    auto* view = findChild<QAbstractItemView*>(list);
    watch(view);
    if (view != nullptr) watch(view->viewport());
  }
  binding_ = std::make_unique<QtBinding>(editor.controls(), this);
}

EditorWindow::~EditorWindow() = default;

bool EditorWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() == QEvent::MouseMove) editor_.MouseMoved();
  return QWidget::eventFilter(watched, event);
}

void EditorWindow::closeEvent(QCloseEvent* event) {
  // The close box runs the same closing steps as the Close button.
  if (!editor_.closed()) editor_.Close(editor::CloseReason::kOperator);
  event->accept();
}

EditorWindows::EditorWindows(editor::EditorSession& session, QWidget* main_window)
    : session_(session), main_window_(main_window) {
  session_.set_listener([this](editor::PlayerEditor* editor) { Changed(editor); });
}

EditorWindows::~EditorWindows() {
  session_.set_listener(nullptr);
  delete window_.data();
}

void EditorWindows::Changed(editor::PlayerEditor* editor) {
  if (window_) {
    window_->hide();
    window_->deleteLater();
    window_ = nullptr;
  }
  if (editor == nullptr) return;
  window_ = new EditorWindow(*editor, main_window_);
  window_->show();
  window_->raise();
}

}  // namespace helmsman::ui::qt
