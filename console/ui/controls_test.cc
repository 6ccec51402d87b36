#include "console/ui/controls.h"

#include <gtest/gtest.h>

namespace helmsman::ui {
namespace {

class ControlsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    controls_.set_observer([this](const std::string& name) { changed_.push_back(name); });
  }
  Controls controls_;
  std::vector<std::string> changed_;
};

TEST_F(ControlsTest, BoundControlsReadAndWriteTheirField) {
  std::string window_name = "QVServer";
  int interval = 5;
  controls_.Add("txtQVServerWindowName", ControlKind::kText).BindText(&window_name);
  Control& scroll = controls_.Add("vscAutoUpdateInterval", ControlKind::kScrollBar);
  scroll.BindValue(&interval);
  scroll.set_range(5, 300);

  controls_.SetText("txtQVServerWindowName", "Other");
  controls_.SetValue("vscAutoUpdateInterval", 1000);
  EXPECT_EQ(window_name, "Other");
  EXPECT_EQ(interval, 300);  // clamped to the scroll bar's range
  interval = 42;             // the record changed behind the control's back
  EXPECT_EQ(controls_.Get("vscAutoUpdateInterval").value(), 42);
  EXPECT_EQ(changed_, (std::vector<std::string>{"txtQVServerWindowName", "vscAutoUpdateInterval"}));
}

TEST_F(ControlsTest, OptionPairShowsOneField) {
  int date_order = -1;
  controls_.Add("optRegionalDateSetting_0", ControlKind::kOption).BindOption(&date_order, 0);
  controls_.Add("optRegionalDateSetting_1", ControlKind::kOption).BindOption(&date_order, 1);
  EXPECT_EQ(controls_.Get("optRegionalDateSetting_0").value(), 0);
  EXPECT_EQ(controls_.Get("optRegionalDateSetting_1").value(), 0);
  controls_.SetValue("optRegionalDateSetting_1", 1);
  EXPECT_EQ(date_order, 1);
  EXPECT_EQ(controls_.Get("optRegionalDateSetting_0").value(), 0);
  EXPECT_EQ(controls_.Get("optRegionalDateSetting_1").value(), 1);
}

TEST_F(ControlsTest, UnchangedValuesReportNothing) {
  controls_.Add("cmdSend", ControlKind::kButton);
  controls_.SetEnabled("cmdSend", true);
  controls_.SetText("cmdSend", "");
  EXPECT_TRUE(changed_.empty());
  controls_.SetEnabled("cmdSend", false);
  EXPECT_EQ(changed_.size(), 1u);
}

TEST_F(ControlsTest, ListSelectionStaysWithinRows) {
  controls_.Add("lstPlayers", ControlKind::kList);
  controls_.SetRows("lstPlayers", {"Ann", "Bob"});
  controls_.Select("lstPlayers", 1);
  EXPECT_EQ(controls_.Get("lstPlayers").selected(), 1);
  controls_.Select("lstPlayers", 2);
  EXPECT_EQ(controls_.Get("lstPlayers").selected(), -1);
  controls_.Select("lstPlayers", 1);
  controls_.SetRows("lstPlayers", {"Ann"});
  EXPECT_EQ(controls_.Get("lstPlayers").selected(), -1);
  controls_.ClearRows("lstPlayers");
  EXPECT_TRUE(controls_.Get("lstPlayers").rows().empty());
}

// A rebuild that put "Cara" where "Ann" was selected left row 0 selected, and the next
// button acted on Cara.
TEST_F(ControlsTest, ARebuildSelectsNoRowEvenWhenTheOldIndexIsStillInRange) {
  controls_.Add("lstBannedPlayers", ControlKind::kList);
  controls_.SetRows("lstBannedPlayers", {"Ann", "Bob"});
  controls_.Select("lstBannedPlayers", 0);
  controls_.SetRows("lstBannedPlayers", {"Cara", "Ann", "Bob"});
  EXPECT_EQ(controls_.Get("lstBannedPlayers").selected(), -1);
  controls_.Select("lstBannedPlayers", 1);
  controls_.AddRow("lstBannedPlayers", "Dov");  // appending moves no row
  EXPECT_EQ(controls_.Get("lstBannedPlayers").selected(), 1);

  // A combo box whose index is a setting keeps the setting.
  int day = 3;
  controls_.Add("cmbDailyBannerDay_0", ControlKind::kComboBox).BindValue(&day);
  controls_.SetRows("cmbDailyBannerDay_0", {"Sunday", "Monday", "Tuesday", "Wednesday"});
  EXPECT_EQ(day, 3);
  EXPECT_EQ(controls_.Get("cmbDailyBannerDay_0").selected(), 3);
}

TEST_F(ControlsTest, HandlersRunByNameAndUnknownNamesAreRecorded) {
  int clicks = 0;
  controls_.Add("cmdToggleServer", ControlKind::kButton);
  controls_.On("cmdToggleServer", ControlEvent::kClick, [&] { ++clicks; });
  EXPECT_TRUE(controls_.Fire("cmdToggleServer", ControlEvent::kClick));
  EXPECT_FALSE(controls_.Fire("cmdToggleServer", ControlEvent::kDoubleClick));
  EXPECT_EQ(clicks, 1);
  controls_.SetText("lblNoSuchLabel", "x");
  EXPECT_EQ(controls_.missing(), std::vector<std::string>{"lblNoSuchLabel"});
}

}  // namespace
}  // namespace helmsman::ui
