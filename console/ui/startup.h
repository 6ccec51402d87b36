// The order in which the console comes up and goes down.
//
// Start-up, run once when the main window is shown:
//   1. status "Loading configuration settings..."; the temporary files that saves killed
//      mid-way left of the settings files and the player list are removed (logged);
//   2. the game data files must all be there (else their message, and the window closes);
//      the catalogue is loaded and `cmbAvailableBases` filled with the bases, before the
//      settings, so that the stored base index selects an entry of the filled list;
//   3. the settings files and the player list; the filter lists shown; a loaded kick fine
//      runs the fine's change rule, which switches the fine on again and rebuilds the kick
//      message (the fine switch itself is not stored);
//   4. `cmdAllEquippableEquipment` filled from the catalogue;
//   5. the disclaimer, when the configuration file, the server program or "Helmsman.ini"
//      is not an existing file;
//   6. the server program: trailing blanks removed; a path that is no existing file or
//      does not contain "qvserver.exe" (letter case ignored) is asked for with a file
//      dialog, and refusing to name one closes the window;
//   7. the configuration file: the same, first trying the documents folder + "My Games/
//      Quorvane/Accts/MultiPlayer/QVServer.cfg" silently;
//   9. the player list: the first run (no player list file) asks before a full generation
//      when the account root has account folders (Cancel closes the window); an account
//      root that cannot be listed is logged and no list file is written this run; otherwise
//      new character files are added, unless `chkDontCheckForNewQvFilesOnRun`;
//  10. records whose character file is gone are removed;
//  11. the screen lists filled and the player list saved;
//  12. QVAdmin bound (else "QVAdmin.dll did not properly load!" and the window closes);
//  13. status "Ready to Start Server!";
//  14. permission to take control: asked, or granted by `chkRunHELMUnattended`;
//  15. granted: "start qvserver"; when it succeeds, the server activity log reads
//      ": Helmsman loaded successfully and good to go!", the main event timer runs with the
//      online-update counter at -60 and the standing-job controls are on;
//  16. refused (offline mode, for editing players): the "Configuration" tab is shown and
//      nothing runs on its own;
//  17. the last timed banner reads "This server is running " + the window caption.
//
// Shut-down: QVAdmin released (the game server keeps running), all settings files saved
// (the program settings only while the server program path names an existing file), the
// player list saved.
//
// What shut-down writes is guarded, so that a start-up that gave up early never replaces
// the operator's files with defaults: nothing is written before the settings were loaded
// (step 3); a settings file that could not be read is not written; the player list is not written
// over a file that could not be read, nor created when there was none and start-up ended before it
// decided the list (steps 9 to 11), so that a cancelled first-run generation is asked again next
// time. An out-of-date player list is copied to "HelmsmanPlayerList.ini.unloaded-<date>-<time>"
// (logged in the HELM error log) before the first save replaces it; when that copy fails, the list
// is not saved at all.
#ifndef HELMSMAN_CONSOLE_UI_STARTUP_H_
#define HELMSMAN_CONSOLE_UI_STARTUP_H_

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "console/gamedata/catalogue.h"
#include "console/logs/logs.h"
#include "console/players/player_generation.h"
#include "console/players/player_list.h"
#include "console/scheduler/main_event_timer.h"
#include "console/server/command_channel.h"
#include "console/settings/settings.h"
#include "console/settings/settings_files.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace helmsman::ui {

inline constexpr char kMessageBoxTitle[] = "Helmsman";
inline constexpr char kPermissionTitle[] = "Permission to control QVServer";
inline constexpr char kLoadingStatus[] = "Loading configuration settings...";
inline constexpr char kReadyStatus[] = "Ready to Start Server!";
inline constexpr char kDisclaimer[] =
    "Voxbrine and KALDERON assume NO responsibility for ANY adverse affects this program may "
    "have on your server!  BACK UP YOUR FILES BEFORE USING THIS SOFTWARE!";
inline constexpr char kLocateServerMessage[] =
    "QVServer.exe has moved, or this is the first time the program is being run.  Please "
    "locate QVServer.exe";
inline constexpr char kLocateServerTitle[] = "Please Double-Click QVServer.exe (in Quorvane\\exe)";
inline constexpr char kLocateServerFilter[] = "QVServer.exe|QVServer.exe";
inline constexpr char kServerNotLocated[] =
    "Program will not run until it knows where qvserver.exe is located!";
inline constexpr char kLocateConfigMessage[] =
    "QVServer.cfg has moved, or this is the first time the program is being run.  Please "
    "locate QVServer.cfg";
inline constexpr char kLocateConfigTitle[] =
    "Please Double-Click QVServer.cfg (in Accts\\MultiPlayer)";
inline constexpr char kLocateConfigFilter[] = "QVServer.cfg|QVServer.cfg";
inline constexpr char kConfigNotLocated[] =
    "Program will not run until it knows where qvserver.cfg is located!";
inline constexpr char kFirstRunQuestion[] =
    "Decoding of all player files required (first program run).  This may take some time and "
    "the program may become non-responsive while it works.  Continue?";
inline constexpr char kStartedLog[] = ": Helmsman loaded successfully and good to go!";
inline constexpr char kStartFailedLog[] = ": Helmsman could not start QVServer.exe!";
inline constexpr char kConfigurationTab[] = "Configuration";

// The controls that stay disabled from the window's creation until start-up has started the
// server: cmdToggleServer and the controls that start standing jobs.
const std::vector<std::string>& StartUpControls();

// The configuration file below the documents folder, "\" being the platform's separator.
std::string ConfigFileInDocuments(const std::string& documents_folder);

// What the sequence works on: the main window's parts. All must outlive the call.
struct LifeCycleParts {
  const std::string& program_folder;
  platform::FileSystem& files;
  Frontend& frontend;
  Controls& controls;
  settings::Settings& settings;
  logs::Logs& logs;
  StatusLine& status;
  gamedata::Catalogue& catalogue;
  players::PlayerList& players;
  players::PlayerDatabase& database;
  server::CommandChannel& channel;
  scheduler::MainEventTimer& timer;
  int32_t owner;
  // The user's documents folder (platform::DocumentsFolder in the program).
  std::function<std::optional<std::string>()> documents_folder;
};

// What start-up leaves for shut-down and for the saves in between.
struct LifeCycleState {
  bool settings_loaded = false;
  // Settings files that could not be read at start-up: kept as they are by every save.
  settings::SettingsFileSet unreadable_settings;
  bool may_save_player_list = false;
  bool shut_down = false;
};

enum class StartUpOutcome {
  kRunning,      // the server started, the timer runs
  kStartFailed,  // bound, but "start qvserver" did not succeed
  kOffline,      // permission refused
  kUnloaded,     // start-up gave up: the window must close (and shut-down run)
};

StartUpOutcome RunStartUp(const LifeCycleParts& parts, LifeCycleState* state);
// Runs once per state; later calls do nothing.
void RunShutDown(const LifeCycleParts& parts, LifeCycleState* state);
// Saves the player list when the state allows it (reporting problems in the HELM error
// log); false when it was not saved.
bool SavePlayerListIfAllowed(const LifeCycleParts& parts, const LifeCycleState& state);

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_STARTUP_H_
