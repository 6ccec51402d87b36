#include "console/ui/main_window.h"

#include <chrono>
#include <cstdlib>
#include <random>

#include "console/banners/banners.h"
#include "console/editor/editor_session.h"
#include "console/logs/log_actions.h"
#include "console/logs/regional_checks.h"
#include "console/maintenance/maintenance_cycle.h"
#include "console/maintenance/pruning.h"
#include "console/maintenance/quarantine_actions.h"
#include "console/moderation/bans.h"
#include "console/moderation/cheaters_log.h"
#include "console/moderation/filters.h"
#include "console/moderation/kicks.h"
#include "console/players/player_list_file.h"
#include "console/players/players_tab.h"
#include "console/publishing/statistics_run.h"
#include "console/publishing/web_output_tab.h"
#include "console/publishing/web_pages.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"
#include "console/safety/safety_settings.h"
#include "console/server/chat_box.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/version_window.h"
#include "platform/documents_folder.h"
#include "platform/process.h"

namespace helmsman::ui {

namespace {

// The settings QVAdmin_Initialize hands to the library, which has fixed buffers for them.
const char* const kQVAdminTextControls[] = {"txtQVServerWindowName",
                                            "txtQVServerCommandLineOptions"};

int32_t ChooseOwner(int32_t given) {
  if (given != 0) return given;
  std::random_device random;
  std::uniform_int_distribution<int32_t> pick(1, INT32_MAX);
  return pick(random);
}

}  // namespace

// The jobs of the main event timer that exist so far.
class MainWindow::WindowJobs : public scheduler::Jobs {
 public:
  explicit WindowJobs(MainWindow& window) : window_(window) {}
  void UpdatePlayersOnline() override { window_.tracking_->Update(); }
  void InlineScan() override { window_.tracking_->InlineScan(); }
  void CheckServer() override { window_.supervision_.CheckServer(); }
  std::string TickEndStatus() override {
    const std::string& held = window_.supervision_.held_status();
    return held.empty() ? kGoodToGo : held;
  }
  void GenerateStatistics() override {
    publishing::PublishingServices services = Publishing(window_);
    publishing::RunStatistics(services, *window_.settings_);
  }
  void GenerateBannedPlayersPage() override {
    publishing::PublishingServices services = Publishing(window_);
    publishing::GenerateBannedPlayersPage(services, *window_.settings_, *window_.players_,
                                          window_.controls_);
  }
  // The pages and the statistics run write through the window's files and start their
  // scripts detached in the program folder.
  static publishing::PublishingServices Publishing(MainWindow& window) {
    return publishing::PublishingServices{window.files_, window.logs_, window.status_,
                                          window.program_folder_, platform::StartScriptDetached};
  }
  void CheckCheatersLog() override { window_.cheaters_log_->Run(); }
  void UnbanDuePlayers() override { moderation::UnbanDuePlayers(window_.BanParts()); }
  void ShowNextTimedBanner() override { window_.banners_->ShowNextTimedBanner(); }
  void CheckDailyBanners() override { window_.banners_->CheckDailyBanners(); }
  void RunMaintenanceCycle() override {
    maintenance::RunMaintenanceCycle(CycleParts(window_));
  }
  static maintenance::CycleParts CycleParts(MainWindow& w) {
    maintenance::CycleParts parts{w.PruneParts(), w.channel_, w.server_windows_,
                                  [&w] {
                                    w.player_database_->Refresh();
                                    w.player_database_->FillScreenLists();
                                  },
                                  [&w] { w.timer_.ResetAfterMaintenance(); }};
    parts.prune.actor = maintenance::kCycleActor;
    parts.purge_quarantine = [&w] { w.PurgeQuarantine(); };
    return parts;
  }

 private:
  MainWindow& window_;
};

// What the online player tracking calls out to that exists so far.
class MainWindow::WindowCallouts : public scheduler::TrackingCallouts {
 public:
  explicit WindowCallouts(MainWindow& window) : window_(window) {}
  void RefreshPlayerList() override {
    players::PlayerDatabase& database = *window_.player_database_;
    const int removed = database.RemoveMissing();
    const int added = database.AddNewFiles();
    window_.status_.Set(kGoodToGo);
    window_.controls_.SetValue("prgProgress", 0);
    // Only a list that changed is shown again: filling the lists clears the operator's
    // filter and selection on the "Players" tab.
    if (removed + added > 0) database.FillScreenLists();
  }
  void SavePlayerList() override { SavePlayerListIfAllowed(window_.Parts(), window_.life_cycle_); }
  void GenerateOnlinePlayersPage() override {
    publishing::PublishingServices services = WindowJobs::Publishing(window_);
    const std::vector<std::string> names = window_.online_names_.InUse();
    publishing::GenerateOnlinePlayersPage(services, *window_.settings_, names, *window_.players_);
  }
  bool NameFilter(int record) override {
    return moderation::NameFilter(window_.FilterParts(), record);
  }
  bool EquipmentFilter(int record) override {
    return moderation::EquipmentFilter(window_.FilterParts(), record);
  }
  bool UnknownEquipmentRule(int record) override {
    return moderation::UnknownEquipmentRule(window_.FilterParts(), record);
  }
  bool CharacterLimit(int record) override {
    return moderation::CharacterLimit(window_.FilterParts(), record);
  }
  void RereadPlayerFile(int record) override {
    const players::PlayerRecord* r = window_.players_->At(record);
    if (r == nullptr || r->is_free()) return;
    // Copies: the read rewrites the record that holds them.
    const std::string folder = r->account_folder;
    const std::string file = r->file_name;
    window_.player_reader_->Read(*window_.players_, record, folder, file);
  }

 private:
  MainWindow& window_;
};

MainWindow::MainWindow(const Environment& environment)
    : program_folder_(environment.program_folder),
      clock_(*environment.clock),
      files_(*environment.files),
      qvadmin_(*environment.qvadmin),
      codec_(*environment.codec),
      sleeper_(*environment.sleeper),
      server_windows_(*environment.server_windows),
      owner_(ChooseOwner(environment.owner)),
      settings_(std::make_unique<settings::Settings>()),
      players_(std::make_unique<players::PlayerList>()),
      logs_(*environment.clock, *environment.locale),
      no_frontend_(std::make_unique<SilentFrontend>()),
      status_(nullptr),
      catalogue_(std::make_unique<gamedata::Catalogue>()),
      channel_(*environment.qvadmin, logs_, status_),
      supervision_(controls_, *settings_, channel_, *environment.server_windows,
                   *environment.sleeper, logs_, status_, online_names_),
      jobs_(std::make_unique<WindowJobs>(*this)),
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
  callouts_ = std::make_unique<WindowCallouts>(*this);
  tracking_ = std::make_unique<scheduler::OnlineTracking>(
      controls_, *settings_, status_, channel_, logs_, online_names_, *players_,
      timer_.counters().inline_scan_position, *callouts_);
  documents_folder_ = environment.documents_folder ? environment.documents_folder
                                                   : [] { return platform::DocumentsFolder(); };
  pending_edit_unbans_ = std::make_unique<moderation::PendingEditUnbans>(files_, program_folder_);
  safety_settings_ = std::make_unique<safety::SafetySettings>();
  journal_ = std::make_unique<safety::Journal>(files_, program_folder_, logs_);
  punishments_->set_journal(journal_.get(), [this] { return actor_; });
  supervision_.set_journal(journal_.get(), [this] { return actor_; });
  supervision_.set_crash_reporter([this](server::CrashFacts facts) { return ReportCrash(facts); });
  player_database_->set_safety([this] { return quarantine(); }, journal_.get(),
                               [this] { return actor_; });
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
  // A copy: a listener may remove itself (a follower that went away).
  const std::map<int, logs::LogObserver> listeners = more_log_listeners_;
  for (const auto& [id, listener] : listeners) listener(log, change, line);
}

int MainWindow::AddLogListener(logs::LogObserver listener) {
  more_log_listeners_[next_log_listener_] = std::move(listener);
  return next_log_listener_++;
}

void MainWindow::RemoveLogListener(int id) { more_log_listeners_.erase(id); }

void MainWindow::WireHandlers() {
  controls_.On("cmdToggleServer", ControlEvent::kClick, [this] { supervision_.ToggleServer(); });
  controls_.On("cmdSend", ControlEvent::kClick, [this] { server::SendChat(controls_, channel_); });
  controls_.On("txtChatText", ControlEvent::kChange,
               [this] { server::UpdateSendEnabled(controls_); });
  // Enter in the chat box is the Send button, under the same rule for when it may send.
  controls_.On("txtChatText", ControlEvent::kEnter, [this] {
    if (controls_.Get("cmdSend").enabled()) server::SendChat(controls_, channel_);
  });
  controls_.On("cmdVersionInformation", ControlEvent::kClick, [this] { ShowVersionWindow(); });
  controls_.On("tmrMainEventTimer", ControlEvent::kTimer, [this] {
    // A timer event that was already queued when the timer was switched off is dropped.
    if (controls_.Get("tmrMainEventTimer").enabled()) timer_.Tick();
    // What the tick and the operator did since the last one goes to the disk once.
    journal_->Flush();
    if (alerts_) alerts_->ReportFailures();
  });
  for (const std::string& button : scheduler::MainEventTimer::NowRequestButtons()) {
    controls_.On(button, ControlEvent::kClick, [this, button] {
      // The maintenance buttons ask first: the cycle may stop the server.
      const std::string question = maintenance::BringForwardQuestion(button);
      if (!question.empty() &&
          !frontend().AskOkCancelWithList(maintenance::kMaintenanceTitle, question,
                                          RemovalList(PreviewMaintenance()))) {
        return;
      }
      timer_.RequestNow(button);
    });
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
  players::WirePlayersTab(controls_, *player_database_, journal_.get());
  players::WireFolderBrowser(
      controls_, files_, [this] { return players::AccountRoot(settings_->txtQVServercfgPath); });
  tracking_->WireListHandlers();
  players::WireKickSettings(controls_, [this]() -> Frontend& { return frontend(); });
  publishing::WireWebOutputTab(controls_, [this]() -> Frontend& { return frontend(); });
  cheaters_log_ = std::make_unique<moderation::CheatersLogScan>(
      moderation::CheatersLogParts{status_, channel_, logs_, *players_, *settings_, files_,
                                   [this] { callouts_->RefreshPlayerList(); },
                                   moderation::kCheatersLogPieceBytes, journal_.get()});
  moderation::WireBans(BanParts());
  editor_session_ = std::make_unique<editor::EditorSession>(editor::EditorParts{
      controls_, status_, channel_, logs_, *players_, *player_reader_, player_reader_->services(),
      [this]() -> Frontend& { return frontend(); }, [this] { player_database_->FillScreenLists(); },
      pending_edit_unbans_.get(), journal_.get(), [this] { return actor_; }});
  editor::WireEditorButtons(controls_, *editor_session_);
  moderation::WireFilterControls(FilterParts());
  moderation::WireKicks(moderation::KickParts{
      controls_, status_, channel_, logs_, *players_, *punishments_,
      [this]() -> Frontend& { return frontend(); }, [this] { tracking_->Update(); },
      journal_.get(), [this] { return actor_; }});
  for (const char* control : kQVAdminTextControls) {
    controls_.On(control, ControlEvent::kChange, [this, control] { CheckQVAdminText(control); });
  }
  banners_ = std::make_unique<banners::Banners>(
      banners::BannerParts{controls_, status_, channel_, logs_, *settings_, files_, program_folder_,
                           life_cycle_.unreadable_settings});
  banners_->Wire();
  maintenance::AddPruneControls(controls_);
  maintenance::WirePruning(controls_, [this] { return PruneParts(); });
}

void MainWindow::ShowVersionWindow() {
  std::vector<LibraryFile> libraries;
  std::string problem;
  std::string path = qvadmin_.LibraryPath(&problem);
  libraries.push_back(DescribeLibrary(server::kQVAdminLibraryName, path, problem, files_));
  problem.clear();
  path = codec_.LibraryPath(&problem);
  libraries.push_back(DescribeLibrary(server::kQVCodecLibraryName, path, problem, files_));
  frontend().ShowVersionWindow(kVersionWindowTitle, VersionLines(ThisBuild(), toolkit_, libraries));
}

void MainWindow::CheckQVAdminText(const std::string& control) {
  const std::string problem = server::QVAdminTextProblem(control, controls_.Get(control).text());
  if (problem.empty()) {
    accepted_qvadmin_texts_[control] = controls_.Get(control).text();
    return;
  }
  // Before start-up has loaded the settings nothing was accepted yet: keep what fits.
  auto accepted = accepted_qvadmin_texts_.find(control);
  controls_.SetText(control,
                    accepted != accepted_qvadmin_texts_.end()
                        ? accepted->second
                        : controls_.Get(control).text().substr(0, server::kMaxQVAdminTextLength));
  frontend().ShowMessage(kMessageBoxTitle, problem + ". The change was not kept.");
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

moderation::BanParts MainWindow::BanParts() {
  return moderation::BanParts{controls_,
                              status_,
                              channel_,
                              logs_,
                              *players_,
                              [this] { player_database_->FillScreenLists(); },
                              *settings_,
                              files_,
                              [this]() -> Frontend& { return frontend(); },
                              ban_duration_,
                              pending_edit_unbans_.get(),
                              journal_.get(),
                              [this] { return actor_; }};
}

moderation::FilterParts MainWindow::FilterParts() {
  return moderation::FilterParts{
      controls_, status_,    channel_, logs_,
      *players_, *settings_, sleeper_, [this]() -> Frontend& { return frontend(); },
      journal_.get()};
}

maintenance::PruneParts MainWindow::PruneParts() {
  maintenance::PruneParts parts{
      controls_, status_, logs_, *settings_, *players_, *player_reader_, files_, program_folder_,
      sleeper_, [this]() -> Frontend& { return frontend(); },
      // The server holds an online player's character in memory: deleting its file would
      // not end it, and the server would write it back or lose it.
      [this](const std::string& name) {
        if (controls_.Get("cmdToggleServer").text() != server::kStopServerCaption) return false;
        for (const std::string& online : online_names_.InUse()) {
          if (platform::EqualsIgnoreCase(online, name)) return true;
        }
        return false;
      },
      [this] { player_database_->FillScreenLists(); }};
  parts.quarantine = quarantine();
  parts.journal = journal_.get();
  parts.actor = actor_;
  return parts;
}

std::vector<maintenance::PreviewItem> MainWindow::PreviewPruning(
    const maintenance::PruneOperation& op, std::string* refusal) {
  using maintenance::PruneKind;
  if (op.kind == PruneKind::kEmptyFolders) {
    return maintenance::PreviewEmptyFolders(PruneParts(), op.non_banned_only);
  }
  const bool inactive = op.kind == PruneKind::kInactive;
  const bool regional_ok =
      inactive ? logs::DateOrderCheck(logs_, settings_->optRegionalDateSetting) == 1
               : logs::TimeFormatCheck(logs_, settings_->optRegionalTimeSetting) == 1;
  if (!regional_ok) {
    *refusal = std::string(inactive ? "the date" : "the time") +
               " setting in the configuration tab does not match the system's: " + op.name +
               " would stop before its question and remove nothing";
    return {};
  }
  return maintenance::PreviewCharacters(
      PruneParts(), op.kind, op.non_banned_only,
      inactive ? settings_->vscDaysInactive : settings_->vscMinutesInactive);
}

std::vector<maintenance::PreviewItem> MainWindow::PreviewMaintenance() {
  return maintenance::PreviewMaintenanceCycle(WindowJobs::CycleParts(*this));
}

LifeCycleParts MainWindow::Parts() {
  return LifeCycleParts{program_folder_, files_,  frontend(),  controls_,        *settings_,
                        logs_,           status_, *catalogue_, *players_,        *player_database_,
                        channel_,        timer_,  owner_,      documents_folder_};
}

safety::Quarantine& MainWindow::quarantine_folder() {
  const std::string root = safety::QuarantineRoot(
      players::AccountRoot(settings_->txtQVServercfgPath), program_folder_);
  if (!quarantine_ || quarantine_->root() != root) {
    quarantine_ = std::make_unique<safety::Quarantine>(files_, root, logs_);
  }
  return *quarantine_;
}

safety::Quarantine* MainWindow::quarantine() {
  if (safety_settings_->quarantine_days <= 0) return nullptr;
  return &quarantine_folder();
}

maintenance::QuarantineParts MainWindow::QuarantineParts() {
  return maintenance::QuarantineParts{quarantine_folder(),
                                      logs_,
                                      *players_,
                                      *player_reader_,
                                      journal_.get(),
                                      actor_,
                                      players::AccountRoot(settings_->txtQVServercfgPath),
                                      [this] { player_database_->FillScreenLists(); }};
}

maintenance::RestoreOutcome MainWindow::RestoreQuarantine(const std::string& entry,
                                                          const std::string& only_account) {
  return maintenance::RestoreFromQuarantine(QuarantineParts(), entry, only_account);
}

void MainWindow::PurgeQuarantine() {
  maintenance::QuarantineParts parts = QuarantineParts();
  parts.actor = maintenance::kCycleActor;
  maintenance::PurgeQuarantine(parts, safety_settings_->quarantine_days, ": MAINTENANCE: ");
}

std::string MainWindow::ReportCrash(server::CrashFacts& facts) {
  std::string tail;
  // Where the server writes its error log; the substitute server can be told another place.
  const char* error_log = std::getenv("QVSERVER_ERROR_LOG");
  facts.error_log_path =
      error_log != nullptr && *error_log != '\0' ? error_log : maintenance::kServerErrorLog;
  if (files_.ReadFileTail(facts.error_log_path, server::kCrashReportTailBytes, &tail, nullptr)) {
    facts.error_log_tail = server::LastLines(tail, server::kCrashReportLogLines);
  }
  // The cumulative cheaters log, then the lines the scan has not taken yet.
  const std::string folder = moderation::ConfigurationFolder(settings_->txtQVServercfgPath);
  if (!folder.empty()) {
    std::string lines;
    for (const char* name : {moderation::kCumulativeCheatersLogName, moderation::kCheatersLogName}) {
      if (!files_.ReadFileTail(folder + name, server::kCrashReportTailBytes, &tail, nullptr)) {
        continue;
      }
      lines += tail;
      if (!lines.empty() && lines.back() != '\n') lines += "\r\n";
    }
    facts.cheaters_log_path = folder + moderation::kCumulativeCheatersLogName;
    facts.cheaters_log_tail = server::LastLines(lines, server::kCrashReportLogLines);
  }
  std::string name, error;
  if (!server::WriteCrashReport(files_, program_folder_, facts, &name, &error)) {
    logs_.Append(logs::LogId::kHelmError, ": Could not write the crash report: " + error);
    return "";
  }
  return name;
}

void MainWindow::LoadSafetySettings() {
  std::string error;
  switch (safety::LoadSafetySettings(files_, program_folder_, safety_settings_.get(), &error)) {
    case safety::SafetyLoad::kLoaded:
      break;
    case safety::SafetyLoad::kNoFile:
      // Written with the defaults, so the operator finds the keys to change.
      if (!safety::SaveSafetySettings(files_, program_folder_, *safety_settings_, &error)) {
        logs_.Append(logs::LogId::kHelmError, ": Could not write " +
                                                  std::string(safety::kSafetySettingsFileName) +
                                                  ": " + error);
      }
      break;
    case safety::SafetyLoad::kUnreadable:
      logs_.Append(logs::LogId::kHelmError,
                   ": Could not read " + std::string(safety::kSafetySettingsFileName) + ": " +
                       error + "; the quarantine keeps entries " +
                       std::to_string(safety_settings_->quarantine_days) + " days");
      break;
  }
  supervision_.set_crash_budget(
      {safety_settings_->crash_budget, safety_settings_->crash_budget_minutes}, &clock_);
}

void MainWindow::LoadAlerts() {
  const std::string path = platform::JoinPath(program_folder_, alerts::kAlertSettingsFileName);
  if (!files_.FileExists(path)) return;
  std::string text, error;
  if (!files_.ReadFile(path, &text, &error)) {
    logs_.Append(logs::LogId::kHelmError, ": Could not read " +
                                              std::string(alerts::kAlertSettingsFileName) +
                                              ": " + error + "; no alerts are sent");
    return;
  }
  std::vector<std::string> problems;
  alerts::AlertSettings settings = alerts::ParseAlertSettings(text, &problems);
  for (const std::string& problem : problems) {
    logs_.Append(logs::LogId::kHelmError,
                 ": " + std::string(alerts::kAlertSettingsFileName) + ": " + problem);
  }
  if (settings.webhooks.empty()) return;
  const bool titled = !settings.server_title.empty();
  alerts_ = std::make_unique<alerts::Alerts>(
      std::move(settings), logs_,
      [](const std::string& url, const std::string& type, const std::string& body) {
        return platform::HttpPost(url, type, body);
      });
  journal_->AddListener([this, titled](const safety::JournalEntry& entry) {
    // Without a title of their own, the alerts name the server by its window title, which
    // start-up reads with the settings.
    if (!titled) {
      alerts_->set_server_title(server::TrimTrailingSpaces(settings_->txtQVServerWindowName));
    }
    alerts_->Take(entry);
  });
}

bool MainWindow::StartUp() {
  LoadSafetySettings();
  LoadAlerts();
  start_up_outcome_ = RunStartUp(Parts(), &life_cycle_);
  if (start_up_outcome_ == StartUpOutcome::kRunning) {
    journal_->Append(
        safety::JournalEntry{"", "server-start", actor_, "", "", {{"at", "start-up"}}});
  }
  // Edit bans a former run could not lift: the unban check goes on trying.
  std::string error;
  if (!pending_edit_unbans_->Load(&error)) {
    logs_.Append(
        logs::LogId::kHelmError,
        ": Could not read " + std::string(moderation::kPendingEditUnbansFileName) + ": " + error);
  }
  // The loaded texts enable and select the timed options and arm the daily slots.
  banners_->SettingsLoaded();
  maintenance::ShowLimitLabels(controls_);
  // The loaded option values, as their scroll bars' change events would show them.
  publishing::ShowOptionCaptions(controls_);
  // The settings name the account root only now.
  players::ShowAccountFolders(controls_, files_,
                              players::AccountRoot(settings_->txtQVServercfgPath));
  for (const char* control : kQVAdminTextControls) {
    accepted_qvadmin_texts_[control] = controls_.Get(control).text();
  }
  operating_ = start_up_outcome_ != StartUpOutcome::kUnloaded;
  return operating_;
}

void MainWindow::ShutDown() {
  // An editor still open closes first, while QVAdmin is bound: its edit ban is offered for
  // lifting and the record is read again before the player list is saved.
  if (editor::PlayerEditor* open = editor_session_->editor()) {
    open->Close(editor::CloseReason::kOperator);
  }
  operating_ = false;
  RunShutDown(Parts(), &life_cycle_);
  journal_->Flush();
  if (alerts_) {
    // The last alerts (the server stopped) get a moment to go out.
    alerts_->Drain(std::chrono::seconds(3));
    alerts_->ReportFailures();
  }
}

}  // namespace helmsman::ui
