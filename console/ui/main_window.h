// The presentation model of the main window `frmMain`: the controls by name (bound to the
// Settings record), the three logs mirrored into their list controls, the status line
// mirrored into `lblStatus`, the command channel to QVAdmin, the server supervision, the main
// event timer and the online player tracking, with every handler wired to its control's event. A
// view (Qt or headless) shows the controls and reports events through controls().Fire; tests drive
// it the same way.
//
// Life cycle, as a view runs it:
//   1. set_frontend(view's frontend);
//   2. StartUp() when the window is shown; false means the program must end: go to 4;
//   3. run the event loop, firing tmrMainEventTimer's kTimer event every second while the
//      timer control is enabled;
//   4. ShutDown() when the window closes (also after a false StartUp).
//
// Start-up and shut-down are the sequences of startup.h.
#ifndef HELMSMAN_CONSOLE_UI_MAIN_WINDOW_H_
#define HELMSMAN_CONSOLE_UI_MAIN_WINDOW_H_

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "console/gamedata/catalogue.h"
#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_generation.h"
#include "console/players/player_list.h"
#include "console/players/punishments.h"
#include "console/scheduler/main_event_timer.h"
#include "console/scheduler/online_tracking.h"
#include "console/alerts/alerts.h"
#include "console/server/codec_api.h"
#include "console/server/command_channel.h"
#include "console/server/online_names.h"
#include "console/server/qvadmin_api.h"
#include "console/server/server_windows.h"
#include "console/server/sleeper.h"
#include "console/server/supervision.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"
#include "console/ui/startup.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace helmsman::banners {
class Banners;
}  // namespace helmsman::banners

namespace helmsman::editor {
class EditorSession;
}  // namespace helmsman::editor

namespace helmsman::maintenance {
struct PruneParts;
struct QuarantineParts;
struct RestoreOutcome;
struct PruneOperation;
struct PreviewItem;
}  // namespace helmsman::maintenance

namespace helmsman::moderation {
class CheatersLogScan;
class PendingEditUnbans;
struct BanParts;
struct FilterParts;
}  // namespace helmsman::moderation

namespace helmsman::safety {
class Journal;
class Quarantine;
struct SafetySettings;
}  // namespace helmsman::safety

namespace helmsman::ui {

// Who acts when no request says otherwise: the operator at the window.
inline constexpr char kOperatorActor[] = "operator";

// What the model runs on. Every pointer must be set and outlive the MainWindow.
struct Environment {
  // Settings, player list and the libraries live here.
  std::string program_folder;
  platform::Clock* clock = nullptr;
  platform::LocaleTexts* locale = nullptr;
  platform::FileSystem* files = nullptr;
  server::QVAdminApi* qvadmin = nullptr;
  server::CodecApi* codec = nullptr;
  server::ServerWindows* server_windows = nullptr;
  server::Sleeper* sleeper = nullptr;
  // The owner value handed to QVAdmin (Windows: the main window's handle). 0 = a random
  // non-zero value, so that two consoles on one desktop never release each other's binding.
  int32_t owner = 0;
  // The user's documents folder, where start-up looks for the server's configuration file;
  // empty = platform::DocumentsFolder.
  std::function<std::optional<std::string>()> documents_folder;
};

class MainWindow {
 public:
  explicit MainWindow(const Environment& environment);
  ~MainWindow();
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  Controls& controls() { return controls_; }
  // The frontend for questions, messages, file dialogs and repaints; nullptr = none (every
  // question is answered Cancel). Must outlive its use.
  void set_frontend(Frontend* frontend);
  // The frontend the view set; nullptr when none is set.
  Frontend* attached_frontend() const { return frontend_; }
  // What answers while no frontend is set: Cancel to every question, shows nothing.
  Frontend& fallback_frontend() { return *no_frontend_; }

  // See startup.h. True when the console goes on: running, server start failed, or offline
  // (permission refused). False when start-up gave up and the window must close.
  bool StartUp();
  StartUpOutcome start_up_outcome() const { return start_up_outcome_; }
  // From the end of a start-up that went on until shut-down begins: the window is in use
  // and takes the operator's actions.
  bool operating() const { return operating_; }
  // Releases QVAdmin, then saves all settings files and the player list; the game server
  // keeps running. Runs once; later calls do nothing. What it writes is guarded as startup.h
  // says.
  void ShutDown();

  // Called with every appended or cleared log line, after the list control shows it (the
  // headless frontend prints them).
  void set_log_listener(logs::LogObserver listener) { log_listener_ = std::move(listener); }
  // Further listeners of the same kind (the control socket's followers); the number returned
  // removes the listener again.
  int AddLogListener(logs::LogObserver listener);
  void RemoveLogListener(int id);

  settings::Settings& settings() { return *settings_; }
  logs::Logs& logs() { return logs_; }
  StatusLine& status() { return status_; }
  players::PlayerList& players() { return *players_; }
  // The game data catalogue (loaded by start-up), the character-file reader over it and the
  // codec, the player database behind the "Players" tab, and the kick punishments.
  gamedata::Catalogue& catalogue() { return *catalogue_; }
  players::PlayerFileReader& player_reader() { return *player_reader_; }
  players::PlayerDatabase& player_database() { return *player_database_; }
  players::Punishments& punishments() { return *punishments_; }
  server::OnlineNames& online_names() { return online_names_; }
  server::CommandChannel& channel() { return channel_; }
  server::CodecApi& codec() { return codec_; }
  server::ServerSupervision& supervision() { return supervision_; }
  scheduler::MainEventTimer& timer() { return timer_; }
  scheduler::OnlineTracking& tracking() { return *tracking_; }
  banners::Banners& banners() { return *banners_; }
  // The player editor opened by cmdEditPlayer and cmdViewPlayer.
  editor::EditorSession& editor_session() { return *editor_session_; }
  // The editor's bans whose unban failed, which the unban check tries again (read from their
  // file by StartUp).
  moderation::PendingEditUnbans& pending_edit_unbans() { return *pending_edit_unbans_; }
  const std::string& program_folder() const { return program_folder_; }
  platform::FileSystem& files() { return files_; }
  // The window toolkit the view shows the window with ("Qt 6.4.2"), for the version window;
  // "" (the default) when there is none.
  void set_toolkit(std::string toolkit) { toolkit_ = std::move(toolkit); }
  // cmdVersionInformation: the version window, with both libraries loaded if they were not.
  void ShowVersionWindow();
  int32_t owner() const { return owner_; }

  // What a pruning kind (one of maintenance::PruneOperations()) would remove now, or why it
  // would remove nothing: *refusal gets the message its regional check would show.
  std::vector<maintenance::PreviewItem> PreviewPruning(const maintenance::PruneOperation& op,
                                                       std::string* refusal);
  // What the maintenance cycle would remove if it ran now.
  std::vector<maintenance::PreviewItem> PreviewMaintenance();

  // The action journal (flushed at the end of every tick and at shut-down).
  safety::Journal& journal() { return *journal_; }
  // The quarantine beside the account root the settings name now; nullptr when the
  // retention is 0 days (files are deleted at once).
  safety::Quarantine* quarantine();
  // The quarantine beside the account root whatever the retention, to list and restore.
  safety::Quarantine& quarantine_folder();
  // Puts back the files of a quarantine entry (an id, or "--last"), all or one account's.
  maintenance::RestoreOutcome RestoreQuarantine(const std::string& entry,
                                                const std::string& only_account);
  // Removes the quarantine entries past the retention (all of them at 0 days).
  void PurgeQuarantine();
  // The settings of the journal and the quarantine (read by StartUp).
  safety::SafetySettings& safety_settings() { return *safety_settings_; }
  // Who acts now, as the journal names them: kOperatorActor, or what a request set for its
  // time ("helmsman-ctl:USER").
  const std::string& actor() const { return actor_; }
  void set_actor(std::string actor) { actor_ = std::move(actor); }

 private:
  class WindowJobs;
  class WindowCallouts;

  Frontend& frontend();
  LifeCycleParts Parts();
  moderation::BanParts BanParts();
  moderation::FilterParts FilterParts();
  maintenance::PruneParts PruneParts();
  void MirrorLog(logs::LogId log, logs::LogChange change, const std::string& line);
  void WireHandlers();
  void WireLogHandlers(logs::LogId log, const std::string& clear, const std::string& save);
  // A change of txtQVServerWindowName or txtQVServerCommandLineOptions: one QVAdmin could not
  // take is refused with a message box, and the text goes back to the last one accepted.
  void CheckQVAdminText(const std::string& control);
  void LoadSafetySettings();
  void LoadAlerts();
  // Adds the logs' ends to a crash's facts and writes its report; its name, "" when none.
  std::string ReportCrash(server::CrashFacts& facts);
  maintenance::QuarantineParts QuarantineParts();

  std::string program_folder_;
  platform::Clock& clock_;
  platform::FileSystem& files_;
  server::QVAdminApi& qvadmin_;
  server::CodecApi& codec_;
  server::Sleeper& sleeper_;
  server::ServerWindows& server_windows_;
  int32_t owner_;
  std::unique_ptr<settings::Settings> settings_;
  std::unique_ptr<players::PlayerList> players_;
  Controls controls_;
  logs::Logs logs_;
  std::unique_ptr<Frontend> no_frontend_;
  Frontend* frontend_ = nullptr;
  StatusLine status_;
  std::unique_ptr<gamedata::Catalogue> catalogue_;
  std::unique_ptr<players::PlayerFileReader> player_reader_;
  std::unique_ptr<players::PlayerDatabase> player_database_;
  std::unique_ptr<players::Punishments> punishments_;
  server::OnlineNames online_names_;
  server::CommandChannel channel_;
  server::ServerSupervision supervision_;
  std::unique_ptr<WindowJobs> jobs_;
  scheduler::MainEventTimer timer_;
  std::unique_ptr<WindowCallouts> callouts_;
  std::unique_ptr<scheduler::OnlineTracking> tracking_;
  std::function<std::optional<std::string>()> documents_folder_;
  logs::LogObserver log_listener_;
  std::map<int, logs::LogObserver> more_log_listeners_;
  int next_log_listener_ = 1;
  LifeCycleState life_cycle_;
  StartUpOutcome start_up_outcome_ = StartUpOutcome::kUnloaded;
  // The last accepted texts of the two QVAdmin settings, by control name.
  std::map<std::string, std::string> accepted_qvadmin_texts_;
  bool operating_ = false;
  std::string toolkit_;
  int ban_duration_ = 0;  // what the "Bans" tab's duration options show
  std::unique_ptr<moderation::PendingEditUnbans> pending_edit_unbans_;
  std::unique_ptr<moderation::CheatersLogScan> cheaters_log_;
  std::unique_ptr<banners::Banners> banners_;
  std::unique_ptr<editor::EditorSession> editor_session_;
  std::unique_ptr<safety::SafetySettings> safety_settings_;
  std::unique_ptr<safety::Journal> journal_;
  std::unique_ptr<alerts::Alerts> alerts_;  // when HelmsmanAlerts.ini names a webhook
  std::unique_ptr<safety::Quarantine> quarantine_;
  std::string actor_ = kOperatorActor;
};

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_MAIN_WINDOW_H_
