#include "console/ui/main_window_controls.h"

#include <gtest/gtest.h>

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

}  // namespace
}  // namespace helmsman::ui
