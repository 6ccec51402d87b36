#include "console/ui/startup.h"

#include <algorithm>
#include <cctype>
#include <vector>

#include "console/gamedata/presence.h"
#include "console/players/player_list_file.h"
#include "console/server/chat_box.h"
#include "console/server/supervision.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window_controls.h"

namespace helmsman::ui {

namespace {}  // namespace

const std::vector<std::string>& StartUpControls() {
  static const std::vector<std::string> names = {
      "cmdToggleServer",
      "chkServerCheckDelay",
      "chkAutoUpdatePlayersOnline",
      "chkEnableTimedBanners",
      "cmdUpdatePlayersOnline",
      "cmdCheckForPlayersToUnban",
      "cmdGenerateQVStats",
      "cmdExecuteAutomatedMaintenance",
      "cmdExecuteAutoMaintenanceIn1Minutes",
      "cmdExecuteAutoMaintenanceIn5Minutes",
      "cmdExecuteAutoMaintenanceIn10Minutes",
      "cmdDisplayTimedBannerNow",
  };
  return names;
}

namespace {

bool ContainsIgnoreCase(const std::string& text, const std::string& part) {
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  return std::search(text.begin(), text.end(), part.begin(), part.end(),
                     [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

// A path that names an existing file and contains the expected file name.
bool Usable(platform::FileSystem& files, const std::string& path, const std::string& name) {
  return ContainsIgnoreCase(path, name) && files.FileExists(path);
}

std::string PermissionQuestion(const settings::Settings& s) {
  return "Begin control of QVServer?  If you need to change your command-line options or your "
         "QVServer.exe window name (or want to run in offline mode to edit players), press "
         "cancel.  Current window name is [" +
         server::TrimTrailingSpaces(s.txtQVServerWindowName) +
         "] and current command line options are [" +
         server::TrimTrailingSpaces(s.txtQVServerCommandLineOptions) + "]";
}

// Step 2: false when a game data file is missing (its message has been shown).
bool LoadCatalogue(const LifeCycleParts& p) {
  if (!gamedata::CheckGameDataPresent(p.program_folder, p.files, p.frontend)) return false;
  p.catalogue.LoadAll(p.program_folder, p.files, p.logs);
  p.controls.SetRows("cmbAvailableBases", gamedata::AvailableBases(p.catalogue));
  return true;
}

// A player list that was not loaded is about to be saved over (and its backup with it on
// the next save): it is copied to a name of its own first. False when that failed, and the
// list must then not be saved over.
bool KeepUnloadedPlayerList(const LifeCycleParts& p) {
  std::string kept, error;
  if (!players::KeepUnloadedPlayerList(p.files, p.program_folder, p.logs.clock().NowLocal(), &kept,
                                       &error)) {
    p.logs.Append(logs::LogId::kHelmError,
                  ": The player list file could not be loaded nor kept under another name (" +
                      error + "); it will not be saved over");
    return false;
  }
  p.logs.Append(logs::LogId::kHelmError,
                ": The player list file could not be loaded; it was kept as " + kept);
  return true;
}

// The files the console writes durably into its own folder. A save killed before its
// rename leaves a temporary file of one of them behind; nothing can still be writing one
// before start-up has loaded anything.
void RemoveLeftoversOfInterruptedSaves(const LifeCycleParts& p) {
  std::vector<std::string> names = {players::kPlayerListFileName,
                                    players::kPlayerListBackupFileName,
                                    players::kRemovalLogFileName};
  for (settings::SettingsFile file :
       {settings::SettingsFile::kProgram, settings::SettingsFile::kBanners,
        settings::SettingsFile::kQVStat, settings::SettingsFile::kWebOutput,
        settings::SettingsFile::kNameFilters, settings::SettingsFile::kEquipmentFilters}) {
    names.push_back(settings::FileName(file));
  }
  const std::vector<std::string> removed =
      platform::RemoveDurableWriteLeftovers(p.files, p.program_folder, names);
  if (removed.empty()) return;
  std::string list;
  for (const std::string& name : removed) list += (list.empty() ? "" : ", ") + name;
  p.logs.Append(logs::LogId::kHelmError, ": Removed " + std::to_string(removed.size()) +
                                             " temporary files left by interrupted saves: " + list);
}

// Step 3; reports whether the player list file may be saved over.
bool LoadSettingsAndPlayerList(const LifeCycleParts& p, LifeCycleState* state) {
  settings::LoadProgramAndBannerSettings(p.program_folder, p.files, &p.settings, p.logs,
                                         &state->unreadable_settings);
  players::LoadReport report =
      players::LoadPlayerList(p.files, p.program_folder, p.frontend, &p.players);
  for (const std::string& warning : report.warnings)
    p.logs.Append(logs::LogId::kHelmError, warning);
  settings::LoadRemainingSettings(p.program_folder, p.files, &p.settings, p.logs,
                                  &state->unreadable_settings);
  state->settings_loaded = true;
  using Outcome = players::LoadReport::Outcome;
  bool may_save = report.outcome != Outcome::kUnreadable;
  if (report.outcome == Outcome::kOutOfDate) may_save = KeepUnloadedPlayerList(p);
  state->may_save_player_list =
      may_save && (report.outcome == Outcome::kLoaded || report.outcome == Outcome::kOutOfDate);
  return may_save;
}

void ShowLoadedSettings(const LifeCycleParts& p) {
  p.controls.SetRows("lstNameScanFilters", p.settings.lstNameScanFilters);
  p.controls.SetRows("lstEquipmentScanFilters", p.settings.lstEquipmentScanFilters);
  // The record changed behind the controls' backs.
  p.controls.NotifyAll();
  // Setting a scroll bar's value runs its change event: the loaded intervals rewrite their
  // labels.
  for (const std::string& bar : scheduler::MainEventTimer::IntervalScrollBars()) {
    p.timer.IntervalChanged(bar);
  }
  server::UpdateSendEnabled(p.controls);
}

// Steps 6 and 7: asks for a file the settings do not name; false when the operator does
// not name one (the message has been shown).
bool LocateFile(const LifeCycleParts& p, const std::string& field, const std::string& name,
                const char* message, const char* title, const char* filter,
                const char* not_located) {
  p.frontend.ShowMessage(kMessageBoxTitle, message);
  const std::string chosen = p.frontend.OpenFileDialog(title, filter);
  if (!ContainsIgnoreCase(chosen, name)) {
    p.frontend.ShowMessage(kMessageBoxTitle, not_located);
    return false;
  }
  p.controls.SetText(field, chosen);
  return true;
}

bool LocateServerProgram(const LifeCycleParts& p) {
  p.controls.SetText("txtQVServerexePath",
                     server::TrimTrailingSpaces(p.settings.txtQVServerexePath));
  if (Usable(p.files, p.settings.txtQVServerexePath, "qvserver.exe")) return true;
  return LocateFile(p, "txtQVServerexePath", "qvserver.exe", kLocateServerMessage,
                    kLocateServerTitle, kLocateServerFilter, kServerNotLocated);
}

bool LocateConfigFile(const LifeCycleParts& p) {
  if (Usable(p.files, p.settings.txtQVServercfgPath, "qvserver.cfg")) return true;
  std::optional<std::string> documents =
      p.documents_folder ? p.documents_folder() : std::optional<std::string>();
  if (documents) {
    const std::string candidate =
        ConfigFileInDocuments(documents->substr(0, documents->find('\0')));
    if (p.files.FileExists(candidate)) {
      p.controls.SetText("txtQVServercfgPath", candidate);
      return true;
    }
  }
  return LocateFile(p, "txtQVServercfgPath", "QVServer.cfg", kLocateConfigMessage,
                    kLocateConfigTitle, kLocateConfigFilter, kConfigNotLocated);
}

// Step 9: false when the operator cancelled the first-run generation.
bool BringPlayerListUpToDate(const LifeCycleParts& p, bool* list_savable) {
  if (p.files.FileExists(players::PlayerListPath(p.program_folder))) {
    if (p.settings.chkDontCheckForNewQvFilesOnRun == 0) p.database.AddNewFiles();
    return true;
  }
  std::vector<std::string> folders;
  const std::string root = players::AccountRoot(p.settings.txtQVServercfgPath);
  if (!players::ListAccountFolders(p.files, root, &folders, &p.logs)) {
    // Not an empty root: an empty list file written now would keep the next start from
    // generating the list.
    p.logs.Append(logs::LogId::kHelmError,
                  ": Playerlist generation failed: the account folders in " + root +
                      " cannot be read; no player list file was written");
    *list_savable = false;
    return true;
  }
  if (folders.empty()) return true;
  if (!p.frontend.AskOkCancel(players::kGenerationTitle, kFirstRunQuestion)) return false;
  p.database.GenerateAtFirstStart();
  return true;
}

StartUpOutcome StartServer(const LifeCycleParts& p) {
  p.controls.SetText("cmdToggleServer", server::kStopServerCaption);
  p.status.Set(server::kCheckingServerStatus);
  const server::CommandResult result =
      p.channel.Run(server::kStartServerCommand, server::kOperatorReplySize);
  if (result.successful) {
    p.logs.Append(logs::LogId::kServerActivity, kStartedLog);
    p.status.Set(kGoodToGo);
    p.controls.SetEnabled("tmrMainEventTimer", true);
    p.timer.counters().online_update = scheduler::kStartUpOnlineUpdateCounter;
    for (const std::string& name : StartUpControls()) p.controls.SetEnabled(name, true);
    server::UpdateSendEnabled(p.controls);
    return StartUpOutcome::kRunning;
  }
  if (result.went_through()) {
    p.logs.Append(logs::LogId::kServerActivity, kStartFailedLog);
    p.status.Set(server::kErrorStartingServer);
  }
  // The server is not running: the toggle says so and stays usable, so that the operator
  // can start the server once the cause is mended instead of restarting the console.
  p.controls.SetText("cmdToggleServer", server::kStartServerCaption);
  p.controls.SetEnabled("cmdToggleServer", true);
  return StartUpOutcome::kStartFailed;
}

void ShowConfigurationTab(const LifeCycleParts& p) {
  const std::vector<std::string>& tabs = MainWindowTabs();
  const auto tab = std::find(tabs.begin(), tabs.end(), kConfigurationTab);
  p.controls.Select("SSTab1", static_cast<int>(tab - tabs.begin()));
  p.controls.Select("tabsConfiguration", 0);  // "HELM Settings", with the server's paths
}

// Steps 1 to 11.
bool Load(const LifeCycleParts& p, LifeCycleState* state, bool* list_savable) {
  p.status.Set(kLoadingStatus);
  RemoveLeftoversOfInterruptedSaves(p);
  if (!LoadCatalogue(p)) return false;
  const std::string fine_before = p.settings.txtKickedPlayersFine;
  *list_savable = LoadSettingsAndPlayerList(p, state);
  ShowLoadedSettings(p);
  // Loading the fine changes its text like typing does: its change rule switches the fine
  // on again (the timer is not running yet) and rebuilds the kick message, as the fine
  // switch itself is not stored.
  if (p.settings.txtKickedPlayersFine != fine_before) {
    p.controls.Fire("txtKickedPlayersFine", ControlEvent::kChange);
  }
  p.controls.SetRows("cmdAllEquippableEquipment", gamedata::AllEquippableEquipment(p.catalogue));
  if (!p.files.FileExists(p.settings.txtQVServercfgPath) ||
      !p.files.FileExists(p.settings.txtQVServerexePath) ||
      !p.files.FileExists(platform::JoinPath(
          p.program_folder, settings::FileName(settings::SettingsFile::kProgram)))) {
    p.frontend.ShowMessage(kMessageBoxTitle, kDisclaimer);
  }
  if (!LocateServerProgram(p) || !LocateConfigFile(p)) return false;
  if (!BringPlayerListUpToDate(p, list_savable)) return false;
  p.database.RemoveMissing();
  p.database.FillScreenLists();
  // From here on the list in memory is what the player list file holds.
  state->may_save_player_list = *list_savable;
  SavePlayerListIfAllowed(p, *state);
  return true;
}

}  // namespace

std::string ConfigFileInDocuments(const std::string& documents_folder) {
  std::string path = documents_folder;
  for (const char* part : {"My Games", "Quorvane", "Accts", "MultiPlayer", "QVServer.cfg"}) {
    path = platform::JoinPath(path, part);
  }
  return path;
}

StartUpOutcome RunStartUp(const LifeCycleParts& p, LifeCycleState* state) {
  bool list_savable = true;
  if (!Load(p, state, &list_savable)) return StartUpOutcome::kUnloaded;
  if (!p.channel.Initialize(p.owner, p.settings.txtQVServerWindowName,
                            p.settings.txtQVServerexePath,
                            p.settings.txtQVServerCommandLineOptions)) {
    p.frontend.ShowMessage(kMessageBoxTitle, server::kLibraryNotLoadedMessage);
    return StartUpOutcome::kUnloaded;
  }
  p.status.Set(kReadyStatus);
  const bool granted = p.settings.chkRunHELMUnattended != 0 ||
                       p.frontend.AskOkCancel(kPermissionTitle, PermissionQuestion(p.settings));
  StartUpOutcome outcome = StartUpOutcome::kOffline;
  if (granted) {
    outcome = StartServer(p);
  } else {
    ShowConfigurationTab(p);
  }
  p.controls.SetText(ElementName("txtTimedBanner", settings::kTimedBannerCount - 1),
                     std::string("This server is running ") + kMainWindowCaption);
  return outcome;
}

void RunShutDown(const LifeCycleParts& p, LifeCycleState* state) {
  if (state->shut_down) return;
  state->shut_down = true;
  p.channel.Release();
  if (!state->settings_loaded) return;
  settings::SaveAllSettings(p.program_folder, p.files, p.settings, p.status, p.logs,
                            state->unreadable_settings);
  SavePlayerListIfAllowed(p, *state);
}

bool SavePlayerListIfAllowed(const LifeCycleParts& p, const LifeCycleState& state) {
  if (!state.may_save_player_list) return false;
  players::SaveReport report =
      players::SavePlayerList(p.files, p.program_folder, p.status, p.players);
  for (const std::string& warning : report.warnings)
    p.logs.Append(logs::LogId::kHelmError, warning);
  if (!report.ok) {
    p.logs.Append(logs::LogId::kHelmError,
                  ": " + std::string(players::kSavePlayersFailedStatus) + " " + report.error);
  }
  return report.ok;
}

}  // namespace helmsman::ui
