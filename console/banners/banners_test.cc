#include "console/banners/banners.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "console/logs/regional_checks.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/started_console_testing.h"

namespace helmsman::banners {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class BannersTest : public ui::testing::StartedConsole {
 protected:
  BannersTest() {
    // Start-up fills the last slot with the console's own line; the tests start empty.
    options_after_start_up_ = Options();
    SetTimed(11, "");
    settings().chkEnableTimedBanners = 1;
    settings().vscBannerDisplayInterval = 5;
    sent_before_ = admin_.commands().size();
  }
  settings::Settings& settings() { return model_->settings(); }
  Banners& banners() { return model_->banners(); }
  // Types a text into a box, as the view reports it.
  void SetTimed(int slot, const std::string& text) { Type("txtTimedBanner", slot, text); }
  void SetDaily(int slot, const std::string& text, int day, int hour) {
    Type("txtDailyBanner", slot, text);
    controls().Select(ui::ElementName("cmbDailyBannerDay", slot), day);
    controls().Select(ui::ElementName("cmbDailyBannerTime", slot), hour);
  }
  void Type(const char* box, int slot, const std::string& text) {
    const std::string name = ui::ElementName(box, slot);
    controls().SetText(name, text);
    controls().Fire(name, ui::ControlEvent::kChange);
  }
  void Ticks(int count) {
    for (int i = 0; i < count; ++i) {
      model_->timer().Tick();
      clock_.Advance(1);
    }
  }
  // The chat lines sent since the test began.
  std::vector<std::string> Sent() {
    std::vector<std::string> all = admin_.commands();
    return {all.begin() + static_cast<std::ptrdiff_t>(sent_before_), all.end()};
  }
  std::vector<std::string> Log(logs::LogId log) {
    std::vector<std::string> lines;
    for (const std::string& line : model_->logs().lines(log)) {
      if (line.find(": Timed") != std::string::npos || line.find(": Daily") != std::string::npos ||
          line.find(": Banner") != std::string::npos)
        lines.push_back(line.substr(line.find(": ")));
    }
    return lines;
  }
  // Which options are enabled ("1"), selected ("*") or neither (".").
  std::string Options() {
    std::string shown;
    for (int i = 0; i < settings::kTimedBannerCount; ++i) {
      const ui::Control& option = controls().Get(TimedOption(i));
      shown += option.value() == 1 ? '*' : option.enabled() ? '1' : '.';
    }
    return shown;
  }

  size_t sent_before_ = 0;
  std::string options_after_start_up_;
};

TEST_F(BannersTest, TwelveBannersRotateEveryIntervalAndWrapAround) {
  for (int i = 0; i < 12; ++i) SetTimed(i, "Banner " + std::to_string(i));
  // The last one typed is the next one shown: slot 11, then 0, 1, ...
  EXPECT_EQ(Options(), "11111111111*");
  Ticks(300);
  EXPECT_THAT(Sent(), IsEmpty());
  EXPECT_EQ(controls().Get("lblTimeToNextTimedBanner").text(), "0");
  for (int round = 0; round < 13; ++round) Ticks(301);
  std::vector<std::string> expected;
  for (int i : {11, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}) {
    expected.push_back("message Banner " + std::to_string(i));
  }
  EXPECT_EQ(Sent(), expected);
  EXPECT_EQ(Log(logs::LogId::kServerActivity).front(),
            ": Timed banner [Banner 11] displayed successfully");
  EXPECT_EQ(Options(), "*11111111111");
}

TEST_F(BannersTest, TypingSelectsEmptyingDeselectsAndTheNextDisplayFindsTheFirstFilled) {
  SetTimed(3, "Mind the|asteroids");
  SetTimed(7, "Trade at Helion");
  EXPECT_EQ(Options(), "...1...*....");
  SetTimed(3, "Mind the asteroids");  // an edited banner is the next one shown
  EXPECT_EQ(Options(), "...*...1....");
  SetTimed(3, "");
  EXPECT_EQ(Options(), ".......1....");
  EXPECT_EQ(banners().selected_timed_banner(), kNoTimedBanner);
  // Nothing selected: nothing sent, and the search from after slot 11 finds slot 7.
  banners().ShowNextTimedBanner();
  EXPECT_THAT(Sent(), IsEmpty());
  EXPECT_EQ(Options(), ".......*....");
  banners().ShowNextTimedBanner();
  EXPECT_THAT(Sent(), ElementsAre("message Trade at Helion"));
  EXPECT_EQ(Options(), ".......*....");  // the only one: itself is examined last
}

TEST_F(BannersTest, NoTextAnywhereEndsTheSearchWithNothingSelected) {
  banners().ShowNextTimedBanner();
  EXPECT_THAT(Sent(), IsEmpty());
  EXPECT_EQ(Options(), "............");
}

TEST_F(BannersTest, FailedOrRefusedBannersAreNotLoggedButTheRotationMovesOn) {
  SetTimed(0, "First");
  SetTimed(1, "Second");
  SetTimed(0, "First");
  admin_.SetAnswer("message", {1, "message FAILED\r\n"});
  banners().ShowNextTimedBanner();
  EXPECT_EQ(Options(), "1*..........");
  // A 100 KB text: the library refuses a command that long without sending it (answers 0
  // with an empty reply, as scripted here).
  SetTimed(1, std::string(100 * 1024, 'x'));
  admin_.SetAnswer("message", {0, ""});
  banners().ShowNextTimedBanner();
  EXPECT_EQ(Options(), "*1..........");
  EXPECT_EQ(admin_.chat_lines().size(), 0u);
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              ElementsAre(": Banner not sent: QVAdmin.dll did not carry out the command"));
  EXPECT_EQ(controls().Get("lblStatus").text(),
            "Banner not sent: QVAdmin.dll did not carry out the command");
  EXPECT_THAT(Log(logs::LogId::kServerActivity), IsEmpty());
}

TEST_F(BannersTest, DisplayNowShowsTheSelectedBannerAtTheNextTick) {
  SetTimed(4, "Welcome to Tarsis");
  Ticks(10);
  controls().Fire("cmdDisplayTimedBannerNow", ui::ControlEvent::kClick);
  Ticks(1);
  EXPECT_THAT(Sent(), ElementsAre("message Welcome to Tarsis"));
  EXPECT_EQ(controls().Get("lblStatus").text(), "Good to go");  // the tick's end resets it
}

TEST_F(BannersTest, SwitchedOffTheCounterStandsStill) {
  SetTimed(0, "Hello");
  settings().chkEnableTimedBanners = 0;
  Ticks(400);
  EXPECT_EQ(model_->timer().counters().timed_banner, 0);
  EXPECT_THAT(Sent(), IsEmpty());
}

// 2005-03-07 was a Monday. The locale's times are 12-hour ("3:00:00 PM").
constexpr int kMonday = 1;
constexpr int k3PM = 15;

void SetTime(platform::FakeClock& clock, int day, int hour, int minute) {
  clock.Set(platform::CivilTime{2005, 3, day, hour, minute, 0, 0});
}

TEST_F(BannersTest, DailyBannerFiresOnceAtTheFirstTickOfItsHourOnItsDay) {
  settings().optRegionalTimeSetting = logs::kTwelveHour;
  SetDaily(2, "Monday market at 3", kMonday, k3PM);
  SetTime(clock_, 7, 14, 59);
  banners().CheckDailyBanners();
  SetTime(clock_, 8, 15, 0);  // Tuesday
  banners().CheckDailyBanners();
  EXPECT_THAT(Sent(), IsEmpty());
  SetTime(clock_, 7, 15, 0);
  banners().CheckDailyBanners();
  SetTime(clock_, 7, 15, 30);
  banners().CheckDailyBanners();
  SetTime(clock_, 14, 15, 0);  // the next Monday: only after a restart or a refill
  banners().CheckDailyBanners();
  EXPECT_THAT(Sent(), ElementsAre("message Monday market at 3"));
  EXPECT_THAT(Log(logs::LogId::kServerActivity),
              ElementsAre(": Daily banner [Monday market at 3] displayed successfully"));
  EXPECT_EQ(controls().Get("lblStatus").text(), kDailyBannerStatus);
  // Emptied and filled again, the slot fires once more.
  SetDaily(2, "", -1, -1);
  SetDaily(2, "Monday market at 3", kMonday, k3PM);
  banners().CheckDailyBanners();
  EXPECT_EQ(Sent().size(), 2u);
}

TEST_F(BannersTest, DailyHourIsReadInTheDeclaredTimeForm) {
  // The system shows 24-hour times; the operator declared 24-hour as well.
  locale_ = platform::PictureLocaleTexts("M/d/yyyy", "HH:mm:ss");
  settings().optRegionalTimeSetting = logs::kTwentyFourHour;
  SetDaily(0, "Late shift", kMonday, 23);
  SetTime(clock_, 7, 23, 5);
  banners().CheckDailyBanners();
  EXPECT_THAT(Sent(), ElementsAre("message Late shift"));
}

TEST_F(BannersTest, DailyBannerWithADayButNoHourNeverFires) {
  SetDaily(5, "Half set", kMonday, -1);
  for (int hour = 0; hour < 24; ++hour) {
    SetTime(clock_, 7, hour, 0);
    banners().CheckDailyBanners();
  }
  EXPECT_THAT(Sent(), IsEmpty());
  EXPECT_TRUE(banners().armed(5));
}

TEST_F(BannersTest, DailyTextEnablesItsListsAndEmptyingClearsThem) {
  const std::string day = ui::ElementName("cmbDailyBannerDay", 4);
  const std::string hour = ui::ElementName("cmbDailyBannerTime", 4);
  EXPECT_FALSE(controls().Get(day).enabled());
  SetDaily(4, "Text", 3, 9);
  EXPECT_TRUE(controls().Get(day).enabled());
  EXPECT_TRUE(controls().Get(hour).enabled());
  Type("txtDailyBanner", 4, "");
  EXPECT_FALSE(controls().Get(day).enabled());
  EXPECT_FALSE(controls().Get(hour).enabled());
  EXPECT_EQ(settings().cmbDailyBannerDay[4], -1);
  EXPECT_EQ(settings().cmbDailyBannerTime[4], -1);
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(BannersTest, SaveWritesTheBannerFileAndALoadArmsAndSelects) {
  SetTimed(2, "Saved banner");
  SetDaily(1, "Saved daily", 6, 20);
  controls().Fire("cmdSaveBannerConfigurationToFile", ui::ControlEvent::kClick);
  EXPECT_EQ(controls().Get("lblStatus").text(), "HELM banner settings saved");
  const std::string file =
      ReadFile(folder_ + "/" + settings::FileName(settings::SettingsFile::kBanners));
  EXPECT_THAT(file, HasSubstr("Saved banner"));
  EXPECT_THAT(file, HasSubstr("Saved daily"));

  settings::Settings loaded;
  settings::DecodeFile(settings::SettingsFile::kBanners, file, &loaded);
  settings().txtTimedBanner = loaded.txtTimedBanner;
  settings().txtTimedBanner[9] = "Another";
  banners().SettingsLoaded();
  EXPECT_EQ(Options(), "..1......*..");
  EXPECT_TRUE(controls().Get(ui::ElementName("cmbDailyBannerDay", 1)).enabled());
  for (int slot = 0; slot < settings::kDailyBannerCount; ++slot) EXPECT_TRUE(banners().armed(slot));
}

TEST_F(BannersTest, StartUpSelectsTheConsolesOwnLine) {
  EXPECT_EQ(options_after_start_up_, "...........*");
}

}  // namespace
}  // namespace helmsman::banners
