#include "console/publishing/web_output_tab.h"

#include <algorithm>
#include <cctype>
#include <cstdint>

namespace helmsman::publishing {

namespace {

constexpr char kHttFilter[] = "*.htt|*.htt";
constexpr char kHtmlFilter[] = "*.htm;*.html|*.htm;*.html";
constexpr char kCmdFilter[] = "*.cmd|*.cmd";
// The title of the console's message boxes.
constexpr char kMessageTitle[] = "Helmsman";

std::string Lower(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return text;
}

bool Contains(const std::string& path, const char* lower_part) {
  return Lower(path).find(lower_part) != std::string::npos;
}

}  // namespace

const std::vector<PathButton>& PathButtons() {
  using C = PathCheck;
  static const std::vector<PathButton> buttons = {
      {"cmdSetOnlinePlayersWebOutputHeaderPath", "txtOnlinePlayersWebOutputHeaderPath", kHttFilter,
       "Please locate the header .htt file to use in generating the online players page",
       C::kHeaderFooter},
      {"cmdSetOnlinePlayersWebOutputFooterPath", "txtOnlinePlayersWebOutputFooterPath", kHttFilter,
       "Please locate the footer .htt file to use in generating the online players page",
       C::kHeaderFooter},
      {"cmdSetOnlinePlayersWebOutputOutputPath", "txtOnlinePlayersWebOutputOutputPath", kHtmlFilter,
       "Save the online players page to which file?", C::kOutput},
      {"cmdSetOnlinePlayersWebOutputPostGenerationScript",
       "txtOnlinePlayersWebOutputPostGenerationScript", kCmdFilter,
       "Specify the script file to run after players online list generation is complete",
       C::kScript},
      {"cmdSetBannedPlayersWebOutputHeaderPath", "txtBannedPlayersWebOutputHeaderPath", kHttFilter,
       "Please locate the header .htt file to use in generating the banned players page",
       C::kHeaderFooter},
      {"cmdSetBannedPlayersWebOutputFooterPath", "txtBannedPlayersWebOutputFooterPath", kHttFilter,
       "Please locate the footer .htt file to use in generating the banned players page",
       C::kHeaderFooter},
      {"cmdSetBannedPlayersWebOutputFilePath", "txtBannedPlayersWebOutputFilePath", kHtmlFilter,
       "Save the banned players page to which file?", C::kOutput},
      {"cmdSetBannedPlayersWebOutputPostGenerationScript",
       "txtBannedPlayersWebOutputPostGenerationScript", kCmdFilter,
       "Specify the script file to run after banned players list generation is complete",
       C::kScript},
      {"cmdSetQVStatExePath", "txtQVStatExePath", "QVStat.exe|QVStat.exe",
       "Please locate QVStat.exe", C::kQVStatExe},
      {"cmdSetQVStatHeaderPath", "txtQVStatHeaderPath", kHttFilter,
       "Please locate the header .htt file to use in generating the stats page", C::kHeaderFooter},
      {"cmdSetQVStatFooterPath", "txtQVStatFooterPath", kHttFilter,
       "Please locate the footer .htt file to use in generating the stats page", C::kHeaderFooter},
      {"cmdSetQVStatOutputPath", "txtQVStatOutputPath", kHtmlFilter,
       "Save the stats page to which file?", C::kOutput},
      {"cmdSetPostStatsGenerationScriptFile", "txtPostStatsGenerationScriptFile", kCmdFilter,
       "Specify the script file to run after stats generation is complete", C::kScript},
  };
  return buttons;
}

void ChoosePath(ui::Controls& controls, ui::Frontend& frontend, const PathButton& button) {
  const bool saving = button.check == PathCheck::kOutput;
  const std::string chosen = saving ? frontend.SaveFileDialog(button.title, button.filter)
                                    : frontend.OpenFileDialog(button.title, button.filter);
  // A dialog the operator cancelled names nothing; the box keeps what it holds.
  if (chosen.empty()) return;
  bool accepted = false;
  switch (button.check) {
    case PathCheck::kHeaderFooter:
      accepted = Contains(chosen, ".htt");
      break;
    case PathCheck::kScript:
      accepted = Contains(chosen, ".cmd");
      break;
    case PathCheck::kQVStatExe:
      accepted = Contains(chosen, "qvstat.exe");
      break;
    case PathCheck::kOutput:
      if (chosen.find(' ') != std::string::npos) {
        frontend.ShowMessage(kMessageTitle, kBlankPathMessage);
        return;
      }
      accepted = true;
      break;
  }
  controls.SetText(button.text_box, accepted ? chosen : "");
}

const std::vector<OptionCaption>& OptionCaptions() {
  static const std::vector<OptionCaption> captions = {
      {"chkQVStatShowTopNPlayers", "vscQVStatShowTopNPlayers", "Show only the top ", " players"},
      {"chkQVStatShowPlayersAtRankN", "vscQVStatShowPlayersAtRankN", "Show only players at rank ",
       " or higher"},
      {"chkQVStatShowPlayersPlayedWithinNDays", "vscQVStatShowPlayersPlayedWithinNDays",
       "Show only players who've played within the last ", " days"},
      {"chkQVStatHighlightPlayersWithinLastNHours", "vscQVStatHighlightPlayersWithinLastNHours",
       "Highlight players that have logged in within the last ", " hours"},
      {"chkQVStatHighlightCheatersSensitivity", "vscQVStatHighlightCheatersSensitivity",
       "Highlight possible cheaters, sensitivity level ", ""},
      {"chkQVStatSaveCPUCyclesPauseDuration", "vscQVStatSaveCPUCyclesPauseDuration",
       "Save CPU cycles (pause duration ", ")"},
  };
  return captions;
}

void ShowOptionCaption(ui::Controls& controls, const OptionCaption& option) {
  const int value = static_cast<int16_t>(controls.Get(option.scroll_bar).value());
  controls.SetText(option.check_box, option.before + std::to_string(value) + option.after);
}

void ShowOptionCaptions(ui::Controls& controls) {
  for (const OptionCaption& option : OptionCaptions()) ShowOptionCaption(controls, option);
}

void WireWebOutputTab(ui::Controls& controls, std::function<ui::Frontend&()> frontend) {
  for (const PathButton& button : PathButtons()) {
    controls.On(button.button, ui::ControlEvent::kClick,
                [&controls, frontend, &button] { ChoosePath(controls, frontend(), button); });
  }
  for (const OptionCaption& option : OptionCaptions()) {
    controls.On(option.scroll_bar, ui::ControlEvent::kChange,
                [&controls, &option] { ShowOptionCaption(controls, option); });
  }
  ShowOptionCaptions(controls);
}

}  // namespace helmsman::publishing
