// The player editor's window over a loaded editor model, on Qt's offscreen platform.
#include "console/ui/qt/qt_editor_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QTimer>
#include <optional>
#include <regex>

#include "console/players/player_files_testing.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::ui::qt {
namespace {

class EditorWindowTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    static int argc = 1;
    static char name[] = "qt_test";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance()) app_ = new QApplication(argc, argv);
  }
  static void TearDownTestSuite() {
    delete app_;
    app_ = nullptr;
  }

  EditorWindowTest() {
    const std::string folder = world_.Account("acct");
    world_.WriteCharacter(
        folder, "c1.qv", players::testing::CharacterLines(players::testing::HexName("Kessa Vorn")));
    editor_.emplace(
        world_.Services(), frontend_,
        [this](editor::CloseReason reason) { closes_.push_back(reason); },
        editor::EditorMode::kEdit);
    window_ = std::make_unique<EditorWindow>(*editor_, nullptr);
    EXPECT_TRUE(editor_->Load(folder, "c1.qv"));
    window_->show();
  }
  ~EditorWindowTest() override { window_.reset(); }

  static QApplication* app_;
  players::testing::TestWorld world_;
  ScriptedFrontend frontend_;
  std::vector<editor::CloseReason> closes_;
  std::optional<editor::PlayerEditor> editor_;
  std::unique_ptr<EditorWindow> window_;
};

QApplication* EditorWindowTest::app_ = nullptr;

TEST_F(EditorWindowTest, EveryControlHasItsWidgetAndEveryNamedWidgetIsAControl) {
  EXPECT_TRUE(window_->binding().unbound().empty()) << window_->binding().unbound().front();
  EXPECT_NE(window_->binding().TimerOf("tmrInactivityTimer"), nullptr);
  // A widget named like a control that the model lacks would show nothing and do nothing.
  const std::regex control_name("^(cmd|chk|txt|lst|cmb|vsc|sld|lbl)[A-Z].*");
  const std::vector<std::string>& names = editor_->controls().names();
  for (QWidget* widget : window_->findChildren<QWidget*>()) {
    const std::string name = widget->objectName().toStdString();
    if (!std::regex_match(name, control_name)) continue;
    EXPECT_NE(std::find(names.begin(), names.end(), name), names.end()) << name;
  }
  EXPECT_TRUE(editor_->controls().missing().empty());
}

TEST_F(EditorWindowTest, ShowsTheLoadedCharacterAndRunsItsTimer) {
  EXPECT_EQ(window_->windowTitle(), "Helmsman -- Edit Player");
  EXPECT_EQ(window_->findChild<QLineEdit*>("txtPlayerName")->text(), "Kessa Vorn");
  EXPECT_EQ(window_->findChild<QListWidget*>("lstFileView")->count(), 49);
  QTimer* timer = window_->binding().TimerOf("tmrInactivityTimer");
  EXPECT_TRUE(timer->isActive());
  EXPECT_EQ(timer->interval(), 1000);
}

TEST_F(EditorWindowTest, MouseMovementOverTheFileViewResetsTheInactivityCounter) {
  for (int i = 0; i < 5; ++i) {
    editor_->controls().Fire("tmrInactivityTimer", ControlEvent::kTimer);
  }
  ASSERT_EQ(editor_->inactivity(), 5);
  QWidget* view = window_->findChild<QListWidget*>("lstFileView")->viewport();
  QMouseEvent move(QEvent::MouseMove, QPointF(5, 5), view->mapToGlobal(QPointF(5, 5)), Qt::NoButton,
                   Qt::NoButton, Qt::NoModifier);
  QApplication::sendEvent(view, &move);
  EXPECT_EQ(editor_->inactivity(), 0);
}

TEST_F(EditorWindowTest, TheCloseBoxRunsTheClosingSteps) {
  window_->close();
  EXPECT_TRUE(editor_->closed());
  ASSERT_EQ(closes_.size(), 1u);
  EXPECT_EQ(closes_[0], editor::CloseReason::kOperator);
}

}  // namespace
}  // namespace helmsman::ui::qt
