#include "console/publishing/web_output_tab.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <tuple>

#include "console/settings/settings.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::publishing {
namespace {

using Strings = std::vector<std::string>;

class WebOutputTabTest : public ::testing::Test {
 protected:
  WebOutputTabTest() {
    ui::AddMainWindowControls(controls_, settings_);
    WireWebOutputTab(controls_, [this]() -> ui::Frontend& { return frontend_; });
  }
  ~WebOutputTabTest() override { EXPECT_EQ(controls_.missing(), Strings{}); }

  // Clicks the button with the dialog answering chosen ("" = cancelled); the box's text after.
  std::string Choose(const char* button, const char* box, const std::string& chosen,
                     const std::string& before = "old") {
    controls_.SetText(box, before);
    if (!chosen.empty()) frontend_.QueueFileName(chosen);
    controls_.Fire(button, ui::ControlEvent::kClick);
    return controls_.Get(box).text();
  }

  settings::Settings settings_;
  ui::Controls controls_;
  ui::ScriptedFrontend frontend_;
};

TEST_F(WebOutputTabTest, EveryPathButtonOpensItsDialogAndChecksTheChoice) {
  struct Case {
    const char* button;
    const char* box;
    std::string chosen;
    std::string kept;
  };
  const Case cases[] = {
      {"cmdSetOnlinePlayersWebOutputHeaderPath", "txtOnlinePlayersWebOutputHeaderPath",
       "/w/Top.HTT", "/w/Top.HTT"},
      {"cmdSetOnlinePlayersWebOutputFooterPath", "txtOnlinePlayersWebOutputFooterPath",
       "/w/bottom.html", ""},
      {"cmdSetOnlinePlayersWebOutputPostGenerationScript",
       "txtOnlinePlayersWebOutputPostGenerationScript", "/w/up load.CMD", "/w/up load.CMD"},
      {"cmdSetBannedPlayersWebOutputPostGenerationScript",
       "txtBannedPlayersWebOutputPostGenerationScript", "/w/upload.sh", ""},
      {"cmdSetQVStatExePath", "txtQVStatExePath", "/opt/QVSTAT.exe", "/opt/QVSTAT.exe"},
      {"cmdSetQVStatExePath", "txtQVStatExePath", "/opt/qvstat", ""},
      {"cmdSetBannedPlayersWebOutputFilePath", "txtBannedPlayersWebOutputFilePath",
       "/www/banned.html", "/www/banned.html"},
  };
  for (const Case& c : cases) EXPECT_EQ(Choose(c.button, c.box, c.chosen), c.kept) << c.button;
  EXPECT_EQ(settings_.txtQVStatExePath, "");  // the box is the setting
  EXPECT_EQ(Choose("cmdSetQVStatHeaderPath", "txtQVStatHeaderPath", ""), "old");  // cancelled
  EXPECT_EQ(frontend_.shown().back(),
            "open [Please locate the header .htt file to use in generating the stats page] "
            "*.htt|*.htt -> ");
  EXPECT_EQ(frontend_.shown()[6],
            "save [Save the banned players page to which file?] *.htm;*.html|*.htm;*.html -> "
            "/www/banned.html");
}

TEST_F(WebOutputTabTest, OutputPathWithABlankIsRefusedWithAMessageAndNoChange) {
  for (const char* button : {"cmdSetOnlinePlayersWebOutputOutputPath",
                             "cmdSetBannedPlayersWebOutputFilePath", "cmdSetQVStatOutputPath"}) {
    const PathButton& b =
        *std::find_if(PathButtons().begin(), PathButtons().end(),
                      [&](const PathButton& p) { return p.button == std::string(button); });
    frontend_.ClearShown();
    EXPECT_EQ(Choose(button, b.text_box, "/my www/page.html", "/www/page.html"), "/www/page.html");
    EXPECT_EQ(frontend_.shown().back(),
              "message [Helmsman] Cannot output to a path that contains spaces.  Please select a "
              "different path.");
  }
}

TEST_F(WebOutputTabTest, ScrollBarsRewriteTheirOptionCaptions) {
  EXPECT_EQ(controls_.Get("chkQVStatShowTopNPlayers").text(), "Show only the top 50 players");
  EXPECT_EQ(controls_.Get("chkQVStatShowPlayersPlayedWithinNDays").text(),
            "Show only players who've played within the last 7 days");
  const std::tuple<const char*, int, const char*> changes[] = {
      {"vscQVStatShowPlayersAtRankN", 33, "Show only players at rank 33 or higher"},
      {"vscQVStatHighlightPlayersWithinLastNHours", 3,
       "Highlight players that have logged in within the last 3 hours"},
      {"vscQVStatHighlightCheatersSensitivity", 33,
       "Highlight possible cheaters, sensitivity level 33"},
      {"vscQVStatSaveCPUCyclesPauseDuration", 33, "Save CPU cycles (pause duration 33)"},
  };
  for (const auto& [bar, value, caption] : changes) {
    controls_.SetValue(bar, value);
    controls_.Fire(bar, ui::ControlEvent::kChange);
    const OptionCaption& option =
        *std::find_if(OptionCaptions().begin(), OptionCaptions().end(),
                      [&](const OptionCaption& o) { return o.scroll_bar == std::string(bar); });
    EXPECT_EQ(controls_.Get(option.check_box).text(), caption);
  }
  EXPECT_EQ(controls_.Get("chkQVStatShowPlayerPOS").text(),
            "Show player's position on the table (must edit header.htt as per QVSTAT readme)");
  EXPECT_EQ(controls_.Get("chkEnableQVStat").text(),
            "Enable QVStat front-end (requires QVStat 1.2 or 1.3 by Brannick)");
}

}  // namespace
}  // namespace helmsman::publishing
