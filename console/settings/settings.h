// The Settings record: every operator option of the main window as one field, named after
// the control that shows it, holding the defaults the console starts with. The main window
// edits the record live; settings_files.h reads and writes it.
//
// Kinds: texts are std::string; switches are 0 (off) or 1 (on); numbers are whole numbers
// within the range of their scroll bar; option pairs hold the index of the selected button
// (0 or 1), -1 when no button is selected; list indices are 0-based, -1 = nothing selected.
#ifndef HELMSMAN_CONSOLE_SETTINGS_SETTINGS_H_
#define HELMSMAN_CONSOLE_SETTINGS_SETTINGS_H_

#include <array>
#include <string>
#include <vector>

namespace helmsman::settings {

inline constexpr int kTimedBannerCount = 12;
inline constexpr int kDailyBannerCount = 12;

namespace internal {
constexpr std::array<int, kDailyBannerCount> AllNothingSelected() {
  std::array<int, kDailyBannerCount> indices{};
  indices.fill(-1);
  return indices;
}
}  // namespace internal

struct Settings {
  // Program settings, "Helmsman.ini".
  std::string txtQVServerexePath;
  std::string txtQVServerWindowName = "QVServer - Version 1.0 Build 11 - QVServer";
  int chkAutoUpdatePlayersOnline = 0;
  int vscAutoUpdateInterval = 5;
  std::string txtQVServercfgPath;
  std::string txtQVServerCommandLineOptions;
  int vscDaysInactive = 15;
  int vscMinutesInactive = 1;
  int chkServerCheckDelay = 0;
  int vscServerCheckInterval = 5;
  int chkClearChatAfterSend = 0;
  int chkDontCheckForNewQvFilesOnRun = 0;
  int vscPlayerBanCheckInterval = 30;
  int chkDeletePlayersWithLinefeedCharactersInName = 0;
  int chkEnableAutomatedMaintenance = 0;
  int vscAutoMaintenanceInterval = 24;
  int chkRestartQVServer = 0;
  int chkDeleteNonBannedInactivePlayers = 0;
  int chkDeleteNonBannedUninterestedPlayers = 0;
  int chkDeleteNonBannedEmptyPlayerFolders = 0;
  int chkAutoBanPlayersWithSpecifiedEquipment = 0;
  int chkServerIsModded = 0;
  int chkDisableEditWarnings = 0;
  std::string txtKickedPlayersFine;
  int cmbAvailableBases = -1;
  int optRegionalDateSetting = -1;  // 0 = "MM/DD/YYYY", 1 = "DD/MM/YYYY"
  int optRegionalTimeSetting = 0;   // 0 = "12-hr (AM/PM)", 1 = "24-hr"
  int chkRunHELMUnattended = 0;
  int chkAutoBanPlayersWithUnknownEquipment = 0;
  int optPlayerWithBadNamePunishment = 0;  // 0 = kick, 1 = ban
  int chkDeleteQVServerErrorsLogfile = 0;
  int chkCheckCheaterLog = 0;
  int chkAutoBanShipRelatedCheaters = 0;
  int chkAutoBanEquipmentExceedsShipSpecsCheats = 0;
  int chkAutoBanShipOrEquipmentNotSoldOnBaseCheats = 0;
  int chkAutoBanShipCapacityExceededCheats = 0;
  int vscPlayerCharacterNumberLimit = 5;
  int lblPlayerCharacterNumberLimit = 1;  // the check box "Limit players to N characters"

  // Banner settings, "HelmsmanBanners.ini".
  int vscBannerDisplayInterval = 30;
  int chkEnableTimedBanners = 0;
  std::array<std::string, kTimedBannerCount> txtTimedBanner;
  std::array<std::string, kDailyBannerCount> txtDailyBanner;
  // Day: 0 = "Sunday" .. 6 = "Saturday"; time: 0 = "12AM", 1 = "1AM" .. 23 = "11PM".
  std::array<int, kDailyBannerCount> cmbDailyBannerDay = internal::AllNothingSelected();
  std::array<int, kDailyBannerCount> cmbDailyBannerTime = internal::AllNothingSelected();
  std::string txtNewPlayerBannerPart2 =
      "welcome to the server!  Cheating and begging for money is NOT tolerated.";
  std::string txt5MinuteShutdownWarningBanner =
      "The server will be shut down in about 5 minutes for auto-maintenance.  It will be back "
      "up again shortly after.";
  std::string txt1MinuteShutdownWarningBanner =
      "The server will be shut down in about 1 minute for auto-maintenance.  To avoid losing "
      "information in your playerfile, please log off NOW!";
  std::string txtShutdownWarningBanner =
      "The server is shutting down for auto-maintenance.  It will be back up again shortly.";

  // Statistics settings, "HelmsmanQVStat.ini".
  int chkEnableQVStat = 0;
  int vscStatsGenerationInterval = 30;
  std::string txtQVStatExePath;
  std::string txtQVStatHeaderPath;
  std::string txtQVStatFooterPath;
  std::string txtQVStatOutputPath;
  int chkQVStatShowTopNPlayers = 0;
  int vscQVStatShowTopNPlayers = 50;
  int chkQVStatShowPlayersAtRankN = 0;
  int vscQVStatShowPlayersAtRankN = 10;
  int chkQVStatShowPlayersPlayedWithinNDays = 0;
  int vscQVStatShowPlayersPlayedWithinNDays = 7;
  int chkQVStatHighlightPlayersWithinLastNHours = 0;
  int vscQVStatHighlightPlayersWithinLastNHours = 2;
  int chkQVStatHighlightCheatersSensitivity = 0;
  int vscQVStatHighlightCheatersSensitivity = 30;
  int chkQVStatSaveCPUCyclesPauseDuration = 0;
  int vscQVStatSaveCPUCyclesPauseDuration = 50;
  int chkQVStatShowPlayerPOS = 0;
  std::string txtPostStatsGenerationScriptFile;

  // Web output settings, "HelmsmanWebOutput.ini".
  int chkEnableOnlinePlayerWebOutput = 0;
  std::string txtOnlinePlayersWebOutputHeaderPath;
  std::string txtOnlinePlayersWebOutputFooterPath;
  std::string txtOnlinePlayersWebOutputOutputPath;
  std::string txtOnlinePlayersWebOutputPostGenerationScript;
  int chkEnableBannedPlayersWebOutput = 0;
  std::string txtBannedPlayersWebOutputHeaderPath;
  std::string txtBannedPlayersWebOutputFooterPath;
  std::string txtBannedPlayersWebOutputFilePath;
  std::string txtBannedPlayersWebOutputPostGenerationScript;

  // Filter lists, "HelmsmanNameFilterAutoBan.ini" and "HelmsmanEquipmentFilterAutoBan.ini".
  std::vector<std::string> lstNameScanFilters;
  std::vector<std::string> lstEquipmentScanFilters;

  friend bool operator==(const Settings&, const Settings&) = default;
};

}  // namespace helmsman::settings

#endif  // HELMSMAN_CONSOLE_SETTINGS_SETTINGS_H_
