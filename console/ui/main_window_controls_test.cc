#include "console/ui/main_window_controls.h"

#include <gtest/gtest.h>

#include "console/ui/control_tabs.h"

namespace helmsman::ui {
namespace {

TEST(MainWindowControlsTest, SettingsControlsAreTheRecordsFields) {
  settings::Settings s;
  Controls controls;
  AddMainWindowControls(controls, s);

  controls.SetValue("chkServerCheckDelay", 1);
  controls.SetValue("vscServerCheckInterval", 99);  // beyond the scroll bar's 1..30
  controls.SetText("txtTimedBanner_11", "last banner");
  controls.SetValue("optRegionalDateSetting_1", 1);
  controls.Select("cmbDailyBannerTime_2", 13);
  EXPECT_EQ(s.chkServerCheckDelay, 1);
  EXPECT_EQ(s.vscServerCheckInterval, 30);
  EXPECT_EQ(s.txtTimedBanner[11], "last banner");
  EXPECT_EQ(s.optRegionalDateSetting, 1);
  EXPECT_EQ(s.cmbDailyBannerTime[2], 13);
  EXPECT_EQ(controls.Get("cmbDailyBannerTime_2").rows()[13], "1PM");

  s.txtQVServerWindowName = "loaded from file";
  EXPECT_EQ(controls.Get("txtQVServerWindowName").text(), "loaded from file");
  EXPECT_TRUE(controls.missing().empty());
}

TEST(MainWindowControlsTest, WindowStartsStoppedWithItsOwnTexts) {
  settings::Settings s;
  Controls controls;
  AddMainWindowControls(controls, s);
  EXPECT_EQ(controls.Get("cmdToggleServer").text(), "Start Server");
  EXPECT_EQ(controls.Get("lblStatus").text(), "Good to go");
  EXPECT_EQ(controls.Get("lblPlayerCharacterNumberLimit").kind(), ControlKind::kCheckBox);
  EXPECT_EQ(controls.Get("lblPlayerCharacterNumberLimit").value(), 1);
  EXPECT_FALSE(controls.Get("tmrMainEventTimer").enabled());
  EXPECT_EQ(controls.Get("tmrMainEventTimer").value(), 1000);
  for (const std::string& name : ServerDependentControls()) {
    EXPECT_FALSE(controls.Get(name).enabled()) << name;
  }
  EXPECT_FALSE(controls.Get("cmdSend").enabled());
  EXPECT_TRUE(controls.missing().empty());
}

// The window's own captions and tool tips, as the operator reads them; a tool tip of "" only
// says nothing about it.
TEST(MainWindowControlsTest, CaptionsAndToolTipsAreTheWindowsOwn) {
  struct Expected {
    const char* name;
    const char* caption;
    const char* tool_tip;
  };
  const Expected table[] = {
      {"cmdToggleServer", "Start Server", "Start/stop QVServer.exe and the main event timer"},
      {"fraProgramStatus", "Program Status", ""},
      {"lblStatus", "Good to go", "What the program is presently doing"},
      {"cmdVersionInformation", "Version Info", ""},
      {"lblProgramRunTime", "", ""},
      // "Operation".
      {"lblPlayersOnlineSystems", "Last Known System", ""},
      {"cmdKickPlayer", "Kick", ""},
      {"cmdKickAndBan", "Kick and Ban", ""},
      {"cmdKickAllInSystem", "Kick All In System", ""},
      {"cmdViewInfo", "View Player's Info", ""},
      {"cmdUpdatePlayersOnline", "Update List", ""},
      {"chkAutoUpdatePlayersOnline", "AutoUpdate Players Online List", ""},
      {"lblAutoUpdateInterval", "AutoUpdate Interval (seconds): 5", ""},
      {"fraKickOptions", "Fenwick's variable credit and location kicks", ""},
      {"fraKickNotice", "Universe kick notification", ""},
      {"chkFineKickedPlayers", "Fine kicked players (credits):", ""},
      {"chkSendKickedPlayersToBase", "Send kicked players to base:", ""},
      {"chkEnableKickChatNotice", "Notify Universe Of Kick:", ""},
      {"lblKickMessagePart1", "Player is being kicked", ""},
      {"txtKickMessagePart2", "because they're ugly!", ""},
      {"fraChatWithUniverse", "Chat With Universe", ""},
      // "Players".
      {"fraPlayerList", "Player List", ""},
      {"lblPlayerListFilter", "List Filter:", ""},
      {"cmdRegeneratePlayerList", "Re-Generate Player List", ""},
      {"cmdUpdateAllPlayerInformation", "Update ALL Players", ""},
      {"cmdDeletePlayer", "Delete Player", ""},
      {"fraPlayerSummary", "Player Summary", ""},
      {"cmdBanToggle", "Ban Player", ""},
      {"cmdEditPlayer", "Edit Player", ""},
      {"cmdViewPlayer", "View Player (non-edit)", ""},
      {"cmdUpdatePlayerInfo", "Update Information", ""},
      // "Bans".
      {"fraBannedPlayers", "Banned Players", ""},
      {"fraBanInformation", "Ban Information", ""},
      {"optBanDuration_0", "Indefinitely", ""},
      {"optBanDuration_1", "Until:", ""},
      {"cmbBanUntilTime", "", "Time to automatically unban player"},
      {"lblBanReason", "For Reason", ""},
      {"txtBanReason", "", "Reason for which the player is banned"},
      {"lblPlayerBanCheckInterval", "Check for players due for unban every 30 minutes", ""},
      {"lblPlayerBanNextCheck", "Next check in 1800 seconds", ""},
      {"cmdCheckForPlayersToUnban", "Check Now", ""},
      // "Banners".
      {"lblNewPlayerBannerPart1", "New player [playername], ", ""},
      {"txtNewPlayerBannerPart2",
       "welcome to the server!  Cheating and begging for money is NOT tolerated.", ""},
      {"fraMaintenanceShutdownWarningBanners",
       "Server Maintenance Shutdown Warning Banners (if set to shut down QVServer) ", ""},
      // "Web Output" and "Configuration".
      {"chkEnableQVStat", "Enable QVStat front-end (requires QVStat 1.2 or 1.3 by Brannick)",
       "Allow HELM to execute QVStat to generate player stats"},
      {"cmdGenerateQVStats", "Generate Now", "Generate the stats page now"},
      {"optRegionalTimeSetting_0", "12-hr (AM/PM)",
       "This setting MUST be equal to the setting of your operating system!"},
      {"optRegionalTimeSetting_1", "24-hr",
       "This setting MUST be equal to the setting of your operating system!"},
      {"cmdSaveProgramConfiguration", "Save Program Configuration",
       "Save all program configuration settings to file"},
      // "Logs".
      {"cmdClearPlayerActivityLog", "Clear", "Clear log"},
      {"cmdSavePlayerActivityLog", "Save", "Save log to file"},
      {"cmdClearServerActivityLog", "Clear", "Clear log"},
      {"cmdSaveServerActivityLog", "Save", "Save log to file"},
      {"cmdClearHELMErrorLog", "Clear", "Clear log"},
      {"cmdSaveHELMErrorLog", "Save", "Save log to file"},
  };
  settings::Settings s;
  Controls controls;
  AddMainWindowControls(controls, s);
  for (const Expected& e : table) {
    ASSERT_TRUE(controls.Has(e.name)) << e.name;
    EXPECT_EQ(controls.Get(e.name).text(), e.caption) << e.name;
    if (*e.tool_tip) {
      EXPECT_EQ(controls.Get(e.name).tool_tip(), e.tool_tip) << e.name;
    }
  }
  EXPECT_EQ(controls.Get("SSTab1").rows(),
            (std::vector<std::string>{"Operation", "Players", "Bans", "Banners", "Web Output",
                                      "Configuration", "Logs"}));
  EXPECT_EQ(controls.Get("tabsConfiguration").rows(),
            (std::vector<std::string>{"HELM Settings", "Maintenance", "Player Enforcement"}));
}

// The tabs' forms place every control of the tabs, so that a client laying the controls out by
// tab finds each of them; the controls above the tabs have no place.
TEST(MainWindowControlsTest, TheFormsPlaceEveryControlOfTheTabs) {
  settings::Settings s;
  Controls controls;
  AddMainWindowControls(controls, s);
  std::vector<std::string> unplaced;
  for (const std::string& name : controls.names()) {
    if (FindControlPlace(name) == nullptr) unplaced.push_back(name);
  }
  EXPECT_EQ(unplaced, (std::vector<std::string>{"cmdToggleServer", "fraProgramStatus", "lblStatus",
                                                "prgProgress", "Dir1", "File1",
                                                "cmdVersionInformation", "tmrMainEventTimer",
                                                "lblProgramRunTime", "SSTab1"}));
  const ControlPlace* banner = FindControlPlace("txtTimedBanner_11");
  ASSERT_NE(banner, nullptr);
  EXPECT_EQ(banner->tab, "Banners");
  EXPECT_EQ(banner->group, "Timed Banners");
  ASSERT_NE(FindControlPlace("cmdClearPlayerActivityLog"), nullptr);
  EXPECT_EQ(FindControlPlace("cmdClearPlayerActivityLog")->group, "Player Activity Log");
  EXPECT_EQ(FindControlPlace("lstPlayersOnline")->tab, "Operation");
  EXPECT_EQ(FindControlPlace("cmdToggleServer"), nullptr);
  EXPECT_EQ(FindControlPlace("noSuchControl"), nullptr);
}

}  // namespace
}  // namespace helmsman::ui
