#include "console/ui/main_window.h"

#include <random>

#include "console/logs/log_actions.h"
#include "console/logs/regional_checks.h"
#include "console/players/player_list_file.h"
#include "console/players/players_tab.h"
#include "console/server/chat_box.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window_controls.h"

namespace helmsman::ui {

namespace {

// Answers every question Cancel and shows nothing: the model before a view is attached.
class NoFrontend : public Frontend {
 public:
  bool AskOkCancel(const std::string&, const std::string&) override { return false; }
  void ShowMessage(const std::string&, const std::string&) override {}
  std::string OpenFileDialog(const std::string&, const std::string&) override { return ""; }
  std::string SaveFileDialog(const std::string&, const std::string&) override { return ""; }
  void Repaint(const std::string&) override {}
  void DoEvents() override {}
};

int32_t ChooseOwner(int32_t given) {
  if (given != 0) return given;
  std::random_device random;
  std::uniform_int_distribution<int32_t> pick(1, INT32_MAX);
  return pick(random);
}

std::string PermissionQuestion(const settings::Settings& s) {
  return "Begin control of QVServer?  If you need to change your command-line options or your "
         "QVServer.exe window name (or want to run in offline mode to edit players), press "
         "cancel.  Current window name is [" +
         server::TrimTrailingSpaces(s.txtQVServerWindowName) +
         "] and current command line options are [" +
         server::TrimTrailingSpaces(s.txtQVServerCommandLineOptions) + "]";
}

}  // namespace

// The jobs of the main event timer that exist so far.
class MainWindow::WindowJobs : public scheduler::Jobs {
 public:
  explicit WindowJobs(server::ServerSupervision& supervision) : supervision_(supervision) {}
  void CheckServer() override { supervision_.CheckServer(); }

 private:
  server::ServerSupervision& supervision_;
};

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

MainWindow::MainWindow(const Environment& environment)
    : program_folder_(environment.program_folder),
      clock_(*environment.clock),
      files_(*environment.files),
      codec_(*environment.codec),
      owner_(ChooseOwner(environment.owner)),
      settings_(std::make_unique<settings::Settings>()),
      players_(std::make_unique<players::PlayerList>()),
      logs_(*environment.clock, *environment.locale),
      no_frontend_(std::make_unique<NoFrontend>()),
      status_(nullptr),
      catalogue_(std::make_unique<gamedata::Catalogue>()),
      channel_(*environment.qvadmin, logs_, status_),
      supervision_(controls_, *settings_, channel_, *environment.server_windows,
                   *environment.sleeper, logs_, status_, online_names_),
      jobs_(std::make_unique<WindowJobs>(supervision_)),
      timer_(controls_, *settings_, status_, channel_, *environment.sleeper, *environment.clock,
             *jobs_) {
  AddMainWindowControls(controls_, *settings_);
  controls_.SetEnabled("tmrMainEventTimer", false);
  for (const std::string& name : StartUpControls()) controls_.SetEnabled(name, false);
  logs_.set_observer([this](logs::LogId log, logs::LogChange change, const std::string& line) {
    MirrorLog(log, change, line);
  });
  status_.set_observer([this](const std::string& text) { controls_.SetText("lblStatus", text); });
  players::CharacterFileServices character_files{
      files_,
      [this](int32_t type, const std::string& source, const std::string& target) {
        std::string error;
        return codec_.Convert(type, source, target, &error);
      },
      *catalogue_,
      *settings_,
      logs_,
      program_folder_};
  player_reader_ = std::make_unique<players::PlayerFileReader>(character_files);
  player_database_ = std::make_unique<players::PlayerDatabase>(*player_reader_, *players_,
                                                               *settings_, controls_, status_);
  punishments_ = std::make_unique<players::Punishments>(character_files);
  WireHandlers();
}

MainWindow::~MainWindow() = default;

void MainWindow::set_frontend(Frontend* frontend) {
  frontend_ = frontend;
  status_.set_frontend(frontend);
  player_database_->set_frontend(&this->frontend());
  punishments_->set_frontend(frontend);
}

Frontend& MainWindow::frontend() { return frontend_ ? *frontend_ : *no_frontend_; }

void MainWindow::MirrorLog(logs::LogId log, logs::LogChange change, const std::string& line) {
  const std::string list = logs::ListControlName(log);
  if (change == logs::LogChange::kAppended) {
    controls_.AddRow(list, line);
    controls_.Select(list, static_cast<int>(controls_.Get(list).rows().size()) - 1);
  } else {
    controls_.ClearRows(list);
  }
  if (log_listener_) log_listener_(log, change, line);
}

void MainWindow::WireHandlers() {
  controls_.On("cmdToggleServer", ControlEvent::kClick, [this] { supervision_.ToggleServer(); });
  controls_.On("cmdSend", ControlEvent::kClick, [this] { server::SendChat(controls_, channel_); });
  controls_.On("txtChatText", ControlEvent::kChange,
               [this] { server::UpdateSendEnabled(controls_); });
  controls_.On("tmrMainEventTimer", ControlEvent::kTimer, [this] {
    // A timer event that was already queued when the timer was switched off is dropped.
    if (controls_.Get("tmrMainEventTimer").enabled()) timer_.Tick();
  });
  for (const std::string& button : scheduler::MainEventTimer::NowRequestButtons()) {
    controls_.On(button, ControlEvent::kClick, [this, button] { timer_.RequestNow(button); });
  }
  for (const std::string& bar : scheduler::MainEventTimer::IntervalScrollBars()) {
    controls_.On(bar, ControlEvent::kChange, [this, bar] { timer_.IntervalChanged(bar); });
  }
  // Choosing a date order checks it at once, so that a system date the program cannot read
  // is reported in the HELM error log right away.
  for (int i = 0; i < 2; ++i) {
    controls_.On(ElementName("optRegionalDateSetting", i), ControlEvent::kClick,
                 [this] { logs::DateOrderCheck(logs_, settings_->optRegionalDateSetting); });
  }
  WireLogHandlers(logs::LogId::kServerActivity, "cmdClearServerActivityLog",
                  "cmdSaveServerActivityLog");
  WireLogHandlers(logs::LogId::kPlayerActivity, "cmdClearPlayerActivityLog",
                  "cmdSavePlayerActivityLog");
  WireLogHandlers(logs::LogId::kHelmError, "cmdClearHELMErrorLog", "cmdSaveHELMErrorLog");
  players::WirePlayersTab(controls_, *player_database_);
  players::WireKickSettings(controls_, [this]() -> Frontend& { return frontend(); });
}

void MainWindow::WireLogHandlers(logs::LogId log, const std::string& clear,
                                 const std::string& save) {
  controls_.On(clear, ControlEvent::kClick,
               [this, log] { logs::ClearLog(logs_, log, frontend()); });
  controls_.On(save, ControlEvent::kClick,
               [this, log] { logs::SaveLog(logs_, log, frontend(), status_, files_); });
  const std::string list = logs::ListControlName(log);
  controls_.On(list, ControlEvent::kClick,
               [this, log, list] { logs_.Select(log, controls_.Get(list).selected()); });
}

bool MainWindow::StartUp() {
  status_.Set("Loading configuration settings...");
  LoadFiles();
  ShowLoadedSettings();
  if (!channel_.Initialize(owner_, settings_->txtQVServerWindowName, settings_->txtQVServerexePath,
                           settings_->txtQVServerCommandLineOptions)) {
    frontend().ShowMessage(kMessageBoxTitle, server::kLibraryNotLoadedMessage);
    return false;
  }
  status_.Set("Ready to Start Server!");
  const bool granted = settings_->chkRunHELMUnattended != 0 ||
                       frontend().AskOkCancel(kPermissionTitle, PermissionQuestion(*settings_));
  // Refused: offline mode, in which players can be edited but nothing runs on its own.
  if (granted) StartServerAtStartUp();
  controls_.SetText(ElementName("txtTimedBanner", settings::kTimedBannerCount - 1),
                    std::string("This server is running ") + kMainWindowCaption);
  return true;
}

void MainWindow::LoadFiles() {
  settings::LoadProgramAndBannerSettings(program_folder_, files_, settings_.get(), logs_);
  players::LoadReport report =
      players::LoadPlayerList(files_, program_folder_, frontend(), players_.get());
  player_list_unreadable_ = report.outcome == players::LoadReport::Outcome::kUnreadable;
  for (const std::string& warning : report.warnings) logs_.Append(logs::LogId::kHelmError, warning);
  settings::LoadRemainingSettings(program_folder_, files_, settings_.get(), logs_);
  loaded_ = true;
}

void MainWindow::ShowLoadedSettings() {
  // The record changed behind the controls' backs.
  controls_.NotifyAll();
  // Setting a scroll bar's value runs its change event: the loaded intervals rewrite their
  // labels.
  for (const std::string& bar : scheduler::MainEventTimer::IntervalScrollBars()) {
    timer_.IntervalChanged(bar);
  }
  server::UpdateSendEnabled(controls_);
}

void MainWindow::StartServerAtStartUp() {
  controls_.SetText("cmdToggleServer", server::kStopServerCaption);
  status_.Set(server::kCheckingServerStatus);
  server::CommandResult result =
      channel_.Run(server::kStartServerCommand, server::kOperatorReplySize);
  if (result.successful) {
    logs_.Append(logs::LogId::kServerActivity, ": Helmsman loaded successfully and good to go!");
    status_.Set(kGoodToGo);
    controls_.SetEnabled("tmrMainEventTimer", true);
    timer_.counters().online_update = scheduler::kStartUpOnlineUpdateCounter;
    for (const std::string& name : StartUpControls()) controls_.SetEnabled(name, true);
    server::UpdateSendEnabled(controls_);
    return;
  }
  if (result.went_through()) {
    logs_.Append(logs::LogId::kServerActivity, ": Helmsman could not start QVServer.exe!");
    status_.Set(server::kErrorStartingServer);
  }
  // The server is not running: the toggle says so and stays usable, so that the operator
  // can start the server once the cause is mended.
  controls_.SetText("cmdToggleServer", server::kStartServerCaption);
  controls_.SetEnabled("cmdToggleServer", true);
}

void MainWindow::ShutDown() {
  if (shut_down_) return;
  shut_down_ = true;
  channel_.Release();
  if (!loaded_) return;
  settings::SaveAllSettings(program_folder_, files_, *settings_, status_, logs_);
  if (!player_list_unreadable_) {
    players::SavePlayerList(files_, program_folder_, status_, *players_);
  }
}

}  // namespace helmsman::ui
