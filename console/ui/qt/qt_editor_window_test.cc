// The player editor's window over a loaded editor model, on Qt's offscreen platform.
#include "console/ui/qt/qt_editor_window.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMouseEvent>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <optional>
#include <regex>

#include "console/players/player_files_testing.h"
#include "console/ui/qt/offscreen_testing.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::ui::qt {
namespace {

class EditorWindowTest : public OffscreenQtTest {
 protected:
  EditorWindowTest() {
    const std::string folder = world_.Account("acct");
    world_.catalogue.LoadTable(gamedata::Table::kEngines,
                               "ENG0000001=en_drift,Drift Engine\r\nENG0000002=en_surge,Surge "
                               "Engine\r\n",
                               world_.logs);
    world_.catalogue.LoadTable(gamedata::Table::kPowerGenerators,
                               "PWR0000001=pw_helion,Helion Core\r\nPWR0000002=pw_ember,Ember "
                               "Cell\r\n",
                               world_.logs);
    path_ = world_.WriteCharacter(
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

  players::testing::TestWorld world_;
  std::string path_;
  ScriptedFrontend frontend_;
  std::vector<editor::CloseReason> closes_;
  std::optional<editor::PlayerEditor> editor_;
  std::unique_ptr<EditorWindow> window_;
};

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

TEST_F(EditorWindowTest, TheWindowHoldsEveryTabAtItsDesignedSize) {
  EXPECT_EQ(window_->size(), QSize(820, 640));
  EXPECT_LE(window_->minimumSizeHint().width(), 820);
  EXPECT_LE(window_->minimumSizeHint().height(), 640);
}

// Tab goes down the "Player" tab as it reads, then to the save options and buttons below.
TEST_F(EditorWindowTest, TabFollowsTheLayout) {
  QStringList names;
  auto* start = window_->findChild<QWidget*>("tabEditor");
  QWidget* w = start;
  do {
    if (w->isVisible() && (w->focusPolicy() & Qt::TabFocus) && w->objectName().size() > 3 &&
        !w->objectName().startsWith("qt_")) {
      names << w->objectName();
    }
    w = w->nextInFocusChain();
  } while (w != start);
  EXPECT_EQ(names.join(",").toStdString(),
            "tabEditor,txtPlayerFileName,txtPlayerMoney,txtPlayerName,lstSystems,lstBases,"
            "chkRevealEntireMap,chkUnlockJumpgates,cmdSave,cmdClose");
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

// Choosing the ship and its parts in the window's drop-down lists reaches the saved file.
TEST_F(EditorWindowTest, ShipAndPartsChosenInTheWindowAreSaved) {
  const std::pair<const char*, int> choices[] = {{"cmbPlayerShip", 1},
                                                 {"cmbPlayerEngine", 1},
                                                 {"cmbPlayerShield", 1},
                                                 {"cmbPlayerPowerGenerator", 1}};
  for (const auto& [name, index] : choices) {
    auto* combo = window_->findChild<QComboBox*>(name);
    ASSERT_NE(combo, nullptr) << name;
    combo->setCurrentIndex(index);
  }
  frontend_.QueueAnswer(true);
  window_->findChild<QPushButton*>("cmdSave")->click();
  ASSERT_EQ(closes_, std::vector<editor::CloseReason>{editor::CloseReason::kSaved});
  std::vector<std::string> expected =
      players::testing::CharacterLines(players::testing::HexName("Kessa Vorn"));
  expected[10] = "ship_archetype = SHP0000002";
  expected[13] = "equip = SHD0000002, HpShield01, 1";
  expected[14] = "equip = PWR0000002, , 1";
  expected[15] = "equip = ENG0000002, , 1";
  EXPECT_EQ(world_.PlainText(path_), players::testing::JoinLines(expected));
}

TEST_F(EditorWindowTest, TheCloseBoxRunsTheClosingSteps) {
  window_->close();
  EXPECT_TRUE(editor_->closed());
  ASSERT_EQ(closes_.size(), 1u);
  EXPECT_EQ(closes_[0], editor::CloseReason::kOperator);
}

// Not a check: a picture of every tab of the editor for a person to look at. With
// HELMSMAN_SCREENSHOT=/path/window.png set, the tabs are saved as window_editor_0.png ...
TEST(EditorWindowScreenshotTest, SavesEveryTabWhenAsked) {
  const QString path = qEnvironmentVariable("HELMSMAN_SCREENSHOT");
  if (path.isEmpty()) GTEST_SKIP() << "HELMSMAN_SCREENSHOT not set";
  qputenv("QT_QPA_PLATFORM", "offscreen");
  static int argc = 1;
  static char name[] = "qt_test";
  static char* argv[] = {name, nullptr};
  std::unique_ptr<QApplication> app;
  if (!QApplication::instance()) app = std::make_unique<QApplication>(argc, argv);
  {
    players::testing::TestWorld world;
    world.catalogue.LoadTable(gamedata::Table::kFactions,
                              "fc_tollkeepers=Tollkeepers Guild\r\nfc_ashen=Ashen Compact\r\n"
                              "fc_drift=Drift Wardens\r\n",
                              world.logs);
    std::vector<std::string> lines =
        players::testing::CharacterLines(players::testing::HexName("Kessa Vorn"));
    lines.insert(lines.begin() + 6, "house = -0.250000, fc_ashen");
    lines.insert(lines.begin() + 7, "house = 0.900000, fc_drift");
    lines.insert(lines.begin() + 8, "house = 0.100000, fc_lost_order");
    lines.insert(lines.begin() + 18, "equip = PRJ0000001, HpGun02, 1");
    lines.insert(lines.begin() + 19, "equip = MSC0000001, HpLight01, 1");
    lines.insert(lines.begin() + 20, "equip = SCN0000001, , 1");
    lines.insert(lines.begin() + 22, "cargo = GUN0000002, 2");
    lines.insert(lines.begin() + 23, "cargo = XXX0000009, 1");
    const std::string folder = world.Account("kessa_v");
    world.WriteCharacter(folder, "Kessa Vorn.qv", lines);
    ScriptedFrontend frontend;
    editor::PlayerEditor editor(
        world.Services(), frontend, [](editor::CloseReason) {}, editor::EditorMode::kEdit);
    EditorWindow window(editor, nullptr);
    ASSERT_TRUE(editor.Load(folder, "Kessa Vorn.qv"));
    window.show();
    auto* tabs = window.findChild<QTabWidget*>("tabEditor");
    ASSERT_NE(tabs, nullptr);
    const QString stem = path.endsWith(".png") ? path.chopped(4) : path;
    for (int i = 0; i < tabs->count(); ++i) {
      tabs->setCurrentIndex(i);
      QApplication::processEvents();
      const QString file = stem + "_editor_" + QString::number(i) + ".png";
      EXPECT_TRUE(window.grab().save(file)) << file.toStdString();
    }
  }
}

}  // namespace
}  // namespace helmsman::ui::qt
