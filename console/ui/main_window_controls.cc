#include "console/ui/main_window_controls.h"

#include <map>

#include "console/settings/settings_files.h"

namespace helmsman::ui {

namespace {

struct ControlSpec {
  const char* name;
  ControlKind kind;
  const char* caption;
  const char* tool_tip;
};

using K = ControlKind;

// Controls that are not settings: the frame, the status line, the lists, the buttons and
// the countdown labels. Captions are the window's own texts.
const ControlSpec kPlainControls[] = {
    // Above the tabs.
    {"cmdToggleServer", K::kButton, "Start Server",
     "Start/stop QVServer.exe and the main event timer"},
    {"fraProgramStatus", K::kFrame, "Program Status", ""},
    {"lblStatus", K::kLabel, "Good to go", "What the program is presently doing"},
    {"prgProgress", K::kProgress, "", ""},
    {"Dir1", K::kList, "", ""},
    {"File1", K::kList, "", ""},
    {"cmdVersionInformation", K::kButton, "Version Info", ""},
    {"tmrMainEventTimer", K::kTimer, "", ""},
    {"lblProgramRunTime", K::kLabel, "", ""},
    // The tab strip: its rows are the tabs, its selection the tab shown.
    {"SSTab1", K::kComboBox, "", ""},
    // "Operation".
    {"fraPlayersOnline", K::kFrame, "Players Online ", ""},
    {"lblPlayersOnlineHeader", K::kLabel, "Name                                Rank", ""},
    {"lstPlayersOnline", K::kList, "", ""},
    {"lstPlayersOnlineRank", K::kList, "", ""},
    {"lblPlayersOnlineSystems", K::kLabel, "Last Known System", ""},
    {"lstPlayersOnlineSystems", K::kList, "", ""},
    {"cmdKickPlayer", K::kButton, "Kick", ""},
    {"cmdKickAndBan", K::kButton, "Kick and Ban", ""},
    {"cmdKickAllInSystem", K::kButton, "Kick All In System", ""},
    {"cmdViewInfo", K::kButton, "View Player's Info", ""},
    {"cmdUpdatePlayersOnline", K::kButton, "Update List", ""},
    {"lblAutoUpdateInterval", K::kLabel, "AutoUpdate Interval (seconds): 5", ""},
    {"lblAutoUpdateTimeLeft", K::kLabel, "", ""},
    {"fraKickOptions", K::kFrame, "Fenwick's variable credit and location kicks", ""},
    {"chkFineKickedPlayers", K::kCheckBox, "Fine kicked players (credits):", ""},
    {"chkSendKickedPlayersToBase", K::kCheckBox, "Send kicked players to base:", ""},
    {"fraKickNotice", K::kFrame, "Universe kick notification", ""},
    {"chkEnableKickChatNotice", K::kCheckBox, "Notify Universe Of Kick:", ""},
    {"lblKickMessagePart1", K::kLabel, "Player is being kicked", ""},
    {"txtKickMessagePart2", K::kText, "because they're ugly!", ""},
    {"fraChatWithUniverse", K::kFrame, "Chat With Universe", ""},
    {"txtChatText", K::kText, "", ""},
    {"cmdSend", K::kButton, "Send", ""},
    // "Players".
    {"fraPlayerList", K::kFrame, "Player List", ""},
    {"lstPlayers", K::kList, "", ""},
    {"lblPlayerListFilter", K::kLabel, "List Filter:", ""},
    {"txtPlayerListFilter", K::kText, "", ""},
    {"chkDisplayOnlyNamesForThisPlayer", K::kCheckBox,
     "Display only players owned by selected player", ""},
    {"cmdRegeneratePlayerList", K::kButton, "Re-Generate Player List", ""},
    {"cmdUpdateAllPlayerInformation", K::kButton, "Update ALL Players", ""},
    {"cmdDeletePlayer", K::kButton, "Delete Player", ""},
    {"fraPlayerSummary", K::kFrame, "Player Summary", ""},
    {"lblPlayerName", K::kLabel, "", ""},
    {"lblPlayerRank", K::kLabel, "", ""},
    {"lblPlayerMoney", K::kLabel, "", ""},
    {"lblPlayerLocation", K::kLabel, "", ""},
    {"lblPlayerKills", K::kLabel, "", ""},
    {"lblPlayerTimePlayed", K::kLabel, "", ""},
    {"lblPlayerLastOnline", K::kLabel, "", ""},
    {"lblPlayerShip", K::kLabel, "", ""},
    {"lblPlayerShield", K::kLabel, "", ""},
    {"lblPlayerGenerator", K::kLabel, "", ""},
    {"lstPlayerGuns", K::kList, "", ""},
    {"lblPlayerCreated", K::kLabel, "", ""},
    {"lblPlayerLastUpdate", K::kLabel, "", ""},
    {"lstPlayerJournal", K::kList, "", ""},
    {"cmdBanToggle", K::kButton, "Ban Player", ""},
    {"cmdEditPlayer", K::kButton, "Edit Player", ""},
    {"cmdViewPlayer", K::kButton, "View Player (non-edit)", ""},
    {"cmdUpdatePlayerInfo", K::kButton, "Update Information", ""},
    // "Bans".
    {"fraBannedPlayers", K::kFrame, "Banned Players", ""},
    {"lstBannedPlayers", K::kList, "", ""},
    {"txtBannedPlayerListFilter", K::kText, "", ""},
    {"chkDisplayOnlyNamesForThisBannedPlayer", K::kCheckBox,
     "Display only players owned by selected player", ""},
    {"cmdUnbanPlayer", K::kButton, "Unban Player", ""},
    {"cmdViewBannedPlayerInfo", K::kButton, "View Player's Info", ""},
    {"fraBanInformation", K::kFrame, "Ban Information", ""},
    {"optBanDuration_0", K::kOption, "Indefinitely", ""},
    {"optBanDuration_1", K::kOption, "Until:", ""},
    {"calBanUntilDate", K::kCalendar, "", ""},
    {"cmbBanUntilTime", K::kComboBox, "", "Time to automatically unban player"},
    {"lblBanReason", K::kLabel, "For Reason", ""},
    {"txtBanReason", K::kText, "", "Reason for which the player is banned"},
    {"cmdSetUnbanTime", K::kButton, "Set Unban Time", ""},
    {"cmdSetBanReason", K::kButton, "Set Ban Reason", ""},
    {"lblPlayerBannedUntil", K::kLabel, "", ""},
    {"lblPlayerBanCheckInterval", K::kLabel, "Check for players due for unban every 30 minutes",
     ""},
    {"lblPlayerBanNextCheck", K::kLabel, "Next check in 1800 seconds", ""},
    {"cmdCheckForPlayersToUnban", K::kButton, "Check Now", ""},
    // "Banners".
    {"lblBannerDisplayInterval", K::kLabel, "Banner display interval (minutes): 30", ""},
    {"lblTimeToNextTimedBanner", K::kLabel, "", ""},
    {"cmdDisplayTimedBannerNow", K::kButton, "Display Now",
     "Display the next available banner now"},
    {"lblNewPlayerBannerPart1", K::kLabel, "New player [playername], ", ""},
    {"fraMaintenanceShutdownWarningBanners", K::kFrame,
     "Server Maintenance Shutdown Warning Banners (if set to shut down QVServer) ", ""},
    {"cmdSaveBannerConfigurationToFile", K::kButton, "Save Banner Configuration", ""},
    // "Web Output".
    {"lblStatsGenerationInterval", K::kLabel, "Stats generation interval (minutes): 30", ""},
    {"lblTimeToNextQVStatGeneration", K::kLabel, "", ""},
    {"lblNextQVStatGeneration", K::kLabel, "Next stats generation (seconds):", ""},
    {"cmdGenerateQVStats", K::kButton, "Generate Now", "Generate the stats page now"},
    {"cmdSetQVStatExePath", K::kButton, "...", ""},
    {"cmdSetQVStatHeaderPath", K::kButton, "...", ""},
    {"cmdSetQVStatFooterPath", K::kButton, "...", ""},
    {"cmdSetQVStatOutputPath", K::kButton, "...", ""},
    {"cmdSetPostStatsGenerationScriptFile", K::kButton, "...", ""},
    {"cmdSetOnlinePlayersWebOutputHeaderPath", K::kButton, "...", ""},
    {"cmdSetOnlinePlayersWebOutputFooterPath", K::kButton, "...", ""},
    {"cmdSetOnlinePlayersWebOutputOutputPath", K::kButton, "...", ""},
    {"cmdSetOnlinePlayersWebOutputPostGenerationScript", K::kButton, "...", ""},
    {"cmdSetBannedPlayersWebOutputHeaderPath", K::kButton, "...", ""},
    {"cmdSetBannedPlayersWebOutputFooterPath", K::kButton, "...", ""},
    {"cmdSetBannedPlayersWebOutputFilePath", K::kButton, "...", ""},
    {"cmdSetBannedPlayersWebOutputPostGenerationScript", K::kButton, "...", ""},
    {"cmdSaveWebOutputConfiguration", K::kButton, "Save Web Output Configuration", ""},
    // "Configuration": an inner tab strip like the main one.
    {"tabsConfiguration", K::kComboBox, "", ""},
    {"lblQVAdminRestartNote", K::kLabel,
     "Must restart program for changes to QVAdmin DLL settings to take effect!", ""},
    {"lblServerCheckInterval", K::kLabel, "Every 5 Seconds", ""},
    {"lblServerCheckTimeLeft", K::kLabel, "", ""},
    {"lblAutoMaintenanceInterval", K::kLabel, "Execute every 24 hours", ""},
    {"lblAutoMaintenanceIntervalTimeLeft", K::kLabel, "", ""},
    {"cmdExecuteAutomatedMaintenance", K::kButton, "Execute Now", ""},
    {"cmdExecuteAutoMaintenanceIn1Minutes", K::kButton, "In 1 Minute", ""},
    {"cmdExecuteAutoMaintenanceIn5Minutes", K::kButton, "In 5 Minutes", ""},
    {"cmdExecuteAutoMaintenanceIn10Minutes", K::kButton, "In 10 Minutes", ""},
    {"cmdAllEquippableEquipment", K::kComboBox, "", "Select equipment to filter for"},
    {"cmdAddEquipmentScanFilter", K::kButton, "Add", ""},
    {"cmdRemoveEquipmentScanFilter", K::kButton, "Remove", ""},
    {"lstNameScanFilters", K::kList, "", "Text strings to scan online player names for"},
    {"txtNameScanFilter", K::kText, "", ""},
    {"cmdAddNameScanFilter", K::kButton, "Add", ""},
    {"cmdRemoveNameScanFilter", K::kButton, "Remove", ""},
    {"lstEquipmentScanFilters", K::kList, "", "Equipment to scan online players for"},
    {"cmdSaveProgramConfiguration", K::kButton, "Save Program Configuration",
     "Save all program configuration settings to file"},
    // "Logs".
    {"tbsLogTabs", K::kComboBox, "", ""},
    {"lstPlayerActivityLog", K::kList, "", "Player activities"},
    {"cmdClearPlayerActivityLog", K::kButton, "Clear", "Clear log"},
    {"cmdSavePlayerActivityLog", K::kButton, "Save", "Save log to file"},
    {"lstServerActivityLog", K::kList, "", "Server activities"},
    {"cmdClearServerActivityLog", K::kButton, "Clear", "Clear log"},
    {"cmdSaveServerActivityLog", K::kButton, "Save", "Save log to file"},
    {"lstHELMErrorLog", K::kList, "", "Problems that HELM has encountered"},
    {"cmdClearHELMErrorLog", K::kButton, "Clear", "Clear log"},
    {"cmdSaveHELMErrorLog", K::kButton, "Save", "Save log to file"},
};

// Captions of the settings' check boxes and the buttons of their option pairs.
const std::map<std::string, std::string>& SettingCaptions() {
  static const std::map<std::string, std::string> captions = {
      {"chkAutoUpdatePlayersOnline", "AutoUpdate Players Online List"},
      {"chkServerCheckDelay", "Ensure QVServer.exe is running"},
      {"chkClearChatAfterSend", "Clear chat text after sending"},
      {"chkDontCheckForNewQvFilesOnRun", "Don't check for new .qv files on start-up"},
      {"chkDeletePlayersWithLinefeedCharactersInName",
       "Delete players with linefeed characters in their name"},
      {"chkEnableAutomatedMaintenance", "Enable automated maintenance"},
      {"chkRestartQVServer", "Stop and restart QVServer.exe"},
      {"chkDeleteNonBannedInactivePlayers", "Delete non-banned inactive players"},
      {"chkDeleteNonBannedUninterestedPlayers", "Delete non-banned uninterested players"},
      {"chkDeleteNonBannedEmptyPlayerFolders", "Delete non-banned empty player folders"},
      {"chkAutoBanPlayersWithSpecifiedEquipment", "Ban players using the following equipment:"},
      {"chkServerIsModded", "Server is modded"},
      {"chkDisableEditWarnings", "Disable editor warnings"},
      {"optRegionalDateSetting_0", "MM/DD/YYYY"},
      {"optRegionalDateSetting_1", "DD/MM/YYYY"},
      {"optRegionalTimeSetting_0", "12-hr (AM/PM)"},
      {"optRegionalTimeSetting_1", "24-hr"},
      {"chkRunHELMUnattended", "Run HELM unattended"},
      {"chkAutoBanPlayersWithUnknownEquipment", "Ban players using UNKNOWN equipment"},
      {"optPlayerWithBadNamePunishment_0", "Kick players with names containing the following:"},
      {"optPlayerWithBadNamePunishment_1", "Ban players with names containing the following:"},
      {"chkDeleteQVServerErrorsLogfile", "Delete the QVServer error log file"},
      {"chkCheckCheaterLog", "Check the cheaters log"},
      {"chkAutoBanShipRelatedCheaters", "Ship Related"},
      {"chkAutoBanEquipmentExceedsShipSpecsCheats", "Equipment exceeds ship specs"},
      {"chkAutoBanShipOrEquipmentNotSoldOnBaseCheats", "Ship or Equipment not sold on base"},
      {"chkAutoBanShipCapacityExceededCheats", "Ship capacity exceeded"},
      {"lblPlayerCharacterNumberLimit", "Limit players to 5 characters"},
      {"chkEnableTimedBanners", "Enable timed banners"},
      {"chkEnableQVStat", "Enable QVStat front-end (requires QVStat 1.2 or 1.3 by Brannick)"},
      // The captions with the scroll bars' defaults; publishing rewrites them with the values.
      {"chkQVStatShowTopNPlayers", "Show only the top 50 players"},
      {"chkQVStatShowPlayersAtRankN", "Show only players at rank 10 or higher"},
      {"chkQVStatShowPlayersPlayedWithinNDays",
       "Show only players who've played within the last 7 days"},
      {"chkQVStatHighlightPlayersWithinLastNHours",
       "Highlight players that have logged in within the last 2 hours"},
      {"chkQVStatHighlightCheatersSensitivity", "Highlight possible cheaters, sensitivity level 30"},
      {"chkQVStatSaveCPUCyclesPauseDuration", "Save CPU cycles (pause duration 50)"},
      {"chkQVStatShowPlayerPOS",
       "Show player's position on the table (must edit header.htt as per QVSTAT readme)"},
      {"chkEnableOnlinePlayerWebOutput", "Enable online players web output"},
      {"chkEnableBannedPlayersWebOutput", "Enable banned players web output"},
  };
  return captions;
}

ControlKind KindOfSetting(const std::string& name, settings::FieldKind kind) {
  if (name.rfind("lbl", 0) == 0) return K::kCheckBox;  // "Limit players to N characters"
  switch (kind) {
    case settings::FieldKind::kText:
      return K::kText;
    case settings::FieldKind::kSwitch:
      return K::kCheckBox;
    case settings::FieldKind::kNumber:
      return K::kScrollBar;
    case settings::FieldKind::kOption:
      return K::kOption;
    case settings::FieldKind::kListIndex:
      return K::kComboBox;
  }
  return K::kText;
}

std::vector<std::string> DayRows() {
  return {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};
}

std::vector<std::string> HourRows() {
  std::vector<std::string> rows;
  for (int h = 0; h < 24; ++h) {
    int twelve = h % 12 == 0 ? 12 : h % 12;
    rows.push_back(std::to_string(twelve) + (h < 12 ? "AM" : "PM"));
  }
  return rows;
}

void AddSetting(Controls& controls, settings::Settings& s, const settings::FieldSpec& field) {
  const bool is_array = field.text_array != nullptr || field.number_array != nullptr;
  const std::string name = is_array ? ElementName(field.name, field.index) : field.name;
  ControlKind kind = KindOfSetting(field.name, field.kind);
  const auto& captions = SettingCaptions();
  if (kind == K::kOption) {
    for (int i = 0; i < 2; ++i) {
      std::string button = ElementName(name, i);
      Control& c = controls.Add(button, K::kOption);
      c.BindOption(&settings::NumberField(field, s), i);
      if (auto it = captions.find(button); it != captions.end())
        controls.SetText(button, it->second);
    }
    return;
  }
  Control& c = controls.Add(name, kind);
  if (kind == K::kText) {
    c.BindText(&settings::TextField(field, s));
    return;
  }
  // Captions are set before binding, so that they stay the control's own texts.
  if (auto it = captions.find(name); it != captions.end()) controls.SetText(name, it->second);
  c.BindValue(&settings::NumberField(field, s));
  if (kind == K::kScrollBar) c.set_range(field.min, field.max);
  if (std::string(field.name) == "cmbDailyBannerDay") controls.SetRows(name, DayRows());
  if (std::string(field.name) == "cmbDailyBannerTime") controls.SetRows(name, HourRows());
}

}  // namespace

std::string ElementName(const std::string& name, int index) {
  return name + "_" + std::to_string(index);
}

const std::vector<std::string>& MainWindowTabs() {
  static const std::vector<std::string> tabs = {"Operation",  "Players",       "Bans", "Banners",
                                                "Web Output", "Configuration", "Logs"};
  return tabs;
}

const std::vector<std::string>& ServerDependentControls() {
  static const std::vector<std::string> names = {
      "chkServerCheckDelay",
      "chkAutoUpdatePlayersOnline",
      "chkEnableTimedBanners",
      "cmdUpdatePlayersOnline",
      "cmdKickPlayer",
      "cmdKickAndBan",
      "cmdViewInfo",
      "cmdKickAllInSystem",
      "cmdDisplayTimedBannerNow",
      "cmdCheckForPlayersToUnban",
      "cmdGenerateQVStats",
      "cmdExecuteAutomatedMaintenance",
      "cmdExecuteAutoMaintenanceIn1Minutes",
      "cmdExecuteAutoMaintenanceIn5Minutes",
      "cmdExecuteAutoMaintenanceIn10Minutes",
  };
  return names;
}

void AddMainWindowControls(Controls& controls, settings::Settings& settings) {
  for (const ControlSpec& field : kPlainControls) {
    Control& c = controls.Add(field.name, field.kind);
    controls.SetText(field.name, field.caption);
    if (*field.tool_tip) c.set_tool_tip(field.tool_tip);
  }
  using settings::SettingsFile;
  for (SettingsFile file : {SettingsFile::kProgram, SettingsFile::kBanners, SettingsFile::kQVStat,
                            SettingsFile::kWebOutput}) {
    for (const settings::FieldSpec& field : settings::FileLayout(file)) {
      AddSetting(controls, settings, field);
    }
  }
  controls.Get("chkEnableQVStat")
      .set_tool_tip("Allow HELM to execute QVStat to generate player stats");
  controls.SetRows("cmbBanUntilTime", HourRows());
  controls.SetRows("SSTab1", MainWindowTabs());
  controls.Select("SSTab1", 0);
  controls.SetRows("tabsConfiguration", {"HELM Settings", "Maintenance", "Player Enforcement"});
  controls.Select("tabsConfiguration", 0);
  for (const char* button : {"optRegionalTimeSetting_0", "optRegionalTimeSetting_1"}) {
    controls.Get(button).set_tool_tip(
        "This setting MUST be equal to the setting of your operating system!");
  }
  controls.SetRows("tbsLogTabs",
                   {"&Player Activity Log", "&Server Activity Log", "HELM Error Log"});
  controls.Select("tbsLogTabs", 0);
  controls.Get("txtChatText").set_max_length(kChatTextMaxLength);
  controls.SetValue("tmrMainEventTimer", 1000);  // the interval: one tick a second
  controls.SetEnabled("tmrMainEventTimer", false);
  // Nothing runs before the server is started.
  for (const std::string& name : ServerDependentControls()) controls.SetEnabled(name, false);
  controls.SetEnabled("cmdSend", false);
  controls.SetEnabled("cmdBanToggle", false);
  // The filter lists' buttons wait for a text, an entry chosen or a row selected.
  for (const char* button : {"cmdAddNameScanFilter", "cmdRemoveNameScanFilter",
                             "cmdAddEquipmentScanFilter", "cmdRemoveEquipmentScanFilter",
                             "cmdSetBanReason", "cmdSetUnbanTime"}) {
    controls.SetEnabled(button, false);
  }
}

}  // namespace helmsman::ui
