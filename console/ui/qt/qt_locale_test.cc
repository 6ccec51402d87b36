// The window under a locale whose decimal separator is a comma. Qt sets the C library's
// locale from the environment, as it does for an operator whose desktop speaks German; the
// game's files still write "0.5", and that is what the window must read and write.
#include <gtest/gtest.h>

#include <QApplication>
#include <QListWidget>
#include <QTest>
#include <clocale>
#include <optional>

#include "console/players/player_files_testing.h"
#include "console/players/working_text.h"
#include "console/ui/qt/offscreen_testing.h"
#include "console/ui/qt/qt_editor_window.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::ui::qt {
namespace {

// The test command installs this locale (./quickstart test).
constexpr char kCommaLocale[] = "de_DE.UTF-8";

class CommaLocaleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    // What QApplication does at start-up on an operator's desktop; done here as well, since
    // another suite's application may still be alive.
    qputenv("LC_ALL", kCommaLocale);
    std::setlocale(LC_ALL, "");
    OffscreenApplication::Start();
  }
  static void TearDownTestSuite() {
    OffscreenApplication::Stop();
    qunsetenv("LC_ALL");
    std::setlocale(LC_ALL, "C");
  }
  void SetUp() override {
    ASSERT_STREQ(std::localeconv()->decimal_point, ",")
        << kCommaLocale << " is not installed (./quickstart test installs it)";
  }
};

TEST_F(CommaLocaleTest, TheEditorReadsAndWritesTheGamesNumbers) {
  players::testing::TestWorld world;
  const std::string folder = world.Account("acct");
  world.WriteCharacter(
      folder, "c1.qv", players::testing::CharacterLines(players::testing::HexName("Ilse Marrow")));
  ScriptedFrontend frontend;
  editor::PlayerEditor editor(world.Services(), frontend, [](editor::CloseReason) {},
                              editor::EditorMode::kEdit);
  EditorWindow window(editor, nullptr);
  ASSERT_TRUE(editor.Load(folder, "c1.qv"));
  window.show();

  // "house = 0.500000, fc_tollkeepers": the first faction, half liked.
  auto* factions = window.findChild<QListWidget*>("lstFactions");
  ASSERT_GT(factions->count(), 0);
  QListWidgetItem* first = factions->item(0);
  QTest::mouseClick(factions->viewport(), Qt::LeftButton, {},
                    factions->visualItemRect(first).center());
  EXPECT_EQ(editor.controls().Get("fraSelectedFaction").text(),
            "Set Faction '" + editor.controls().Get("lstFactions").rows()[0] +
                "' (currently 0.5)");
  EXPECT_EQ(editor.controls().Get("sldFactionPopularity").value(), 50);

  EXPECT_EQ(players::ReadNumber("2.75"), 2.75);
  EXPECT_EQ(players::NumberText(1234.5), "1234.5");
  EXPECT_EQ(players::NumberText(-0.25), "-0.25");
}

}  // namespace
}  // namespace helmsman::ui::qt
