// The "Bans" tab of the real console model shown through the Qt binding on the offscreen
// platform: what the operator sees highlighted after the lists are rebuilt, and what the
// "Set Unban Time" button then does.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTest>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>

#include "console/ui/qt/main_window_form.h"
#include "console/ui/qt/offscreen_testing.h"
#include "console/ui/qt/qt_binding.h"
#include "console/ui/started_console_testing.h"

namespace helmsman::ui::qt {
namespace {

class QtBannedListTest : public ui::testing::StartedConsole {
 protected:
  static void SetUpTestSuite() { OffscreenApplication::Start(); }
  static void TearDownTestSuite() { OffscreenApplication::Stop(); }

  QtBannedListTest() {
    for (const char* name : {"Ada Quill", "Borin Vex", "Cyra Holt"}) AddRecord(name);
    Banned("Borin Vex", true);
    Banned("Cyra Holt", true);
    model_->player_database().FillScreenLists();
    binding_ = std::make_unique<QtBinding>(controls(), &form_);
    form_.resize(1180, 760);
    form_.show();
    form_.tabs()->setCurrentIndex(2);  // "Bans"
    QApplication::processEvents();
  }

  void AddRecord(const std::string& name) {
    const std::string folder = folder_ + "/accts/" + name.substr(0, name.find(' '));
    std::filesystem::create_directories(folder);
    players::PlayerRecord record;
    record.name = name;
    record.account_folder = folder;
    record.file_name = "a.qv";
    model_->players().Add(record);
  }
  // The server's "banned" mark of the character's account.
  void Banned(const std::string& name, bool banned) {
    const std::string mark = Record(name).account_folder + "/banned";
    if (banned) {
      std::ofstream(mark).close();
    } else {
      std::filesystem::remove(mark);
    }
  }

  template <typename W>
  W* Widget(const std::string& name) {
    auto* widget = qobject_cast<W*>(binding_->WidgetOf(name));
    EXPECT_NE(widget, nullptr) << name;
    return widget;
  }
  QListWidget* BannedList() { return Widget<QListWidget>("lstBannedPlayers"); }
  // The operator clicks the row that shows name.
  void ClickRow(QListWidget* list, const std::string& name) {
    const QList<QListWidgetItem*> found =
        list->findItems(QString::fromStdString(name), Qt::MatchExactly);
    ASSERT_EQ(found.size(), 1) << name;
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualItemRect(found.front()).center());
  }
  // The rows the window highlights, as names.
  static std::set<std::string> Highlighted(QListWidget* list) {
    std::set<std::string> names;
    for (const QListWidgetItem* item : list->selectedItems()) {
      names.insert(item->text().toStdString());
    }
    return names;
  }
  // What the model holds selected, in the same form.
  std::set<std::string> ModelSelection(const std::string& list) {
    const Control& control = Get(list);
    if (control.selected() < 0) return {};
    return {control.rows()[control.selected()]};
  }

  MainWindowForm form_;
  std::unique_ptr<QtBinding> binding_;
};

// In the demo window, after a ban was lifted and a new character arrived, row 0 stayed
// highlighted on another player with "Set Unban Time" enabled; one click gave that player
// a ban end.
TEST_F(QtBannedListTest, ARebuildLeavesNoHighlightAndSetUnbanTimeGivesNobodyAnEnd) {
  ClickRow(BannedList(), "Borin Vex");
  QTest::mouseClick(Widget<QRadioButton>("optBanDuration_1"), Qt::LeftButton);
  ASSERT_EQ(Highlighted(BannedList()), std::set<std::string>{"Borin Vex"});
  ASSERT_TRUE(Widget<QPushButton>("cmdSetUnbanTime")->isEnabled());

  // Borin's ban is lifted and a new character arrives: the lists are rebuilt, and Cyra is
  // now in the row that was Borin's.
  Banned("Borin Vex", false);
  AddRecord("Dov Ashe");
  model_->player_database().FillScreenLists();
  QApplication::processEvents();
  ASSERT_EQ(BannedList()->item(0)->text(), "Cyra Holt");
  EXPECT_EQ(Highlighted(BannedList()), ModelSelection("lstBannedPlayers"));
  EXPECT_EQ(Highlighted(BannedList()), std::set<std::string>{});
  EXPECT_EQ(BannedList()->currentRow(), -1);
  EXPECT_FALSE(Widget<QPushButton>("cmdSetUnbanTime")->isEnabled());

  QTest::mouseClick(Widget<QPushButton>("cmdSetUnbanTime"), Qt::LeftButton);
  for (const char* name : {"Ada Quill", "Borin Vex", "Cyra Holt", "Dov Ashe"}) {
    EXPECT_EQ(Record(name).ban_until_hour, "") << name;
  }
}

// The same after the operator's ban toggle, which rebuilds the lists while the banned row
// is still chosen on the other tab.
TEST_F(QtBannedListTest, ABanToggleRebuildLeavesNoHighlightOnEitherList) {
  ClickRow(BannedList(), "Borin Vex");
  QTest::mouseClick(Widget<QRadioButton>("optBanDuration_1"), Qt::LeftButton);
  form_.tabs()->setCurrentIndex(1);  // "Players"
  auto* players = Widget<QListWidget>("lstPlayers");
  ClickRow(players, "Ada Quill");
  admin_.set_on_command([this](const std::string& command) {
    if (command == "ban Ada Quill") Banned("Ada Quill", true);
  });
  frontend_.QueueAnswer(true);
  QTest::mouseClick(Widget<QPushButton>("cmdBanToggle"), Qt::LeftButton);
  ASSERT_EQ(Commands(), std::vector<std::string>{"ban Ada Quill"});
  QApplication::processEvents();
  EXPECT_EQ(Highlighted(players), std::set<std::string>{});
  EXPECT_EQ(Highlighted(players), ModelSelection("lstPlayers"));

  form_.tabs()->setCurrentIndex(2);  // "Bans"
  QApplication::processEvents();
  ASSERT_EQ(BannedList()->item(0)->text(), "Ada Quill");
  EXPECT_EQ(Highlighted(BannedList()), std::set<std::string>{});
  EXPECT_EQ(Highlighted(BannedList()), ModelSelection("lstBannedPlayers"));
  EXPECT_FALSE(Widget<QPushButton>("cmdSetUnbanTime")->isEnabled());
  QTest::mouseClick(Widget<QPushButton>("cmdSetUnbanTime"), Qt::LeftButton);
  EXPECT_EQ(Record("Ada Quill").ban_until_hour, "");
}

}  // namespace
}  // namespace helmsman::ui::qt
