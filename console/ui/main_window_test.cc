#include "console/ui/main_window.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "console/players/player_list_file.h"
#include "console/server/testing/fake_codec.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"
#include "console/ui/startup_testing.h"

namespace helmsman::ui {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::StartsWith;

constexpr char kTitle[] = "Quorvane Test Host";

// The disk, except that the player list file cannot be read.
class UnreadablePlayerList : public platform::ForwardingFileSystem {
 public:
  bool ReadFile(const std::string& path, std::string* data, std::string* error) override {
    if (platform::BaseName(path) == players::kPlayerListFileName) {
      *error = "Input/output error";
      return false;
    }
    return disk_.ReadFile(path, data, error);
  }

 private:
  platform::FileSystem& disk_ = platform::DiskFileSystem();
};

class MainWindowTest : public ::testing::Test {
 protected:
  MainWindowTest() {
    std::random_device seed;
    folder_ = (std::filesystem::temp_directory_path() /
               ("helmsman_main_window_" + std::to_string(seed()) + std::to_string(seed())))
                  .string();
    std::filesystem::create_directory(folder_);
    stored_.txtQVServerWindowName = kTitle;
    testing::PrepareStartUpFolder(folder_, &stored_);
    stored_.txtQVServerCommandLineOptions = "-port 26000";
    stored_.chkRunHELMUnattended = 1;
  }
  ~MainWindowTest() override { std::filesystem::remove_all(folder_); }

  // Writes the settings files from stored_ and opens the window on them.
  MainWindow& Open(server::QVAdminApi* qvadmin = nullptr, server::CodecApi* codec = nullptr) {
    std::string error;
    for (auto file : {settings::SettingsFile::kProgram, settings::SettingsFile::kBanners,
                      settings::SettingsFile::kQVStat, settings::SettingsFile::kWebOutput}) {
      EXPECT_TRUE(settings::SaveSettingsFile(file, folder_, *files_, stored_, &error)) << error;
    }
    Environment environment;
    environment.program_folder = folder_;
    environment.clock = &clock_;
    environment.locale = &locale_;
    environment.files = files_;
    environment.qvadmin = qvadmin ? qvadmin : &admin_;
    environment.codec = codec ? codec : &codec_;
    environment.server_windows = &windows_;
    environment.sleeper = &sleeper_;
    environment.owner = 4711;
    window_ = std::make_unique<MainWindow>(environment);
    window_->set_frontend(&frontend_);
    return *window_;
  }
  std::vector<std::string> Log(logs::LogId log) {
    std::vector<std::string> messages;
    const std::string stamp = locale_.GeneralDateTime(clock_.NowLocal());
    for (const std::string& line : window_->logs().lines(log))
      messages.push_back(line.substr(stamp.size()));
    return messages;
  }
  const Control& Get(const std::string& name) { return window_->controls().Get(name); }
  bool Exists(const std::string& file) { return files_->FileExists(folder_ + "/" + file); }

  std::string folder_;
  settings::Settings stored_;
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  platform::FileSystem* files_ = &platform::DiskFileSystem();
  server::FakeServerWindows windows_;
  server::FakeQVAdmin admin_{&windows_};
  server::FakeCodec codec_;
  server::FakeSleeper sleeper_;
  ScriptedFrontend frontend_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(MainWindowTest, UnattendedStartUpLoadsTheSettingsAndStartsTheServer) {
  stored_.vscServerCheckInterval = 12;
  MainWindow& window = Open();
  EXPECT_TRUE(window.StartUp());
  EXPECT_THAT(frontend_.shown(), IsEmpty());  // no question
  ASSERT_EQ(admin_.initialize_calls().size(), 1u);
  EXPECT_EQ(admin_.initialize_calls()[0].owner, 4711);
  EXPECT_EQ(admin_.initialize_calls()[0].window_title, kTitle);
  EXPECT_EQ(admin_.initialize_calls()[0].server_directory, folder_ + "/exe/");
  EXPECT_EQ(admin_.initialize_calls()[0].options, "-port 26000");
  EXPECT_THAT(admin_.commands(), ElementsAre("start qvserver"));
  EXPECT_TRUE(windows_.IsOpen(kTitle));

  EXPECT_THAT(Log(logs::LogId::kServerActivity),
              ElementsAre(": Helmsman loaded successfully and good to go!"));
  EXPECT_EQ(Get("lstServerActivityLog").rows(), window.logs().lines(logs::LogId::kServerActivity));
  EXPECT_EQ(Get("lstServerActivityLog").selected(), 0);
  EXPECT_EQ(Get("lblStatus").text(), "Good to go");
  EXPECT_EQ(Get("cmdToggleServer").text(), "Stop Server");
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
  for (const std::string& name : StartUpControls()) EXPECT_TRUE(Get(name).enabled()) << name;
  EXPECT_FALSE(Get("cmdKickPlayer").enabled());  // waits for a selected player
  EXPECT_EQ(window.timer().counters().online_update, -60);
  EXPECT_EQ(Get("lblServerCheckInterval").text(), "Every 12 Seconds");
  EXPECT_EQ(Get("txtTimedBanner_11").text(), "This server is running Helmsman mk.V -- Voxbrine");
}

TEST_F(MainWindowTest, PermissionQuestionNamesTheWindowAndTheOptions) {
  stored_.chkRunHELMUnattended = 0;
  stored_.txtQVServerCommandLineOptions = "-lan   ";
  frontend_.QueueAnswer(true);
  Open().StartUp();
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Permission to control QVServer] Begin control of QVServer?  If "
                          "you need to change your command-line options or your QVServer.exe "
                          "window name (or want to run in offline mode to edit players), press "
                          "cancel.  Current window name is [Quorvane Test Host] and current "
                          "command line options are [-lan] -> OK"));
  EXPECT_EQ(Get("cmdToggleServer").text(), "Stop Server");
}

TEST_F(MainWindowTest, RefusedPermissionLeavesTheConsoleOffline) {
  stored_.chkRunHELMUnattended = 0;
  frontend_.QueueAnswer(false);
  EXPECT_TRUE(Open().StartUp());
  EXPECT_THAT(admin_.commands(), IsEmpty());
  EXPECT_FALSE(Get("tmrMainEventTimer").enabled());
  for (const std::string& name : StartUpControls()) EXPECT_FALSE(Get(name).enabled()) << name;
  EXPECT_EQ(Get("lblStatus").text(), "Ready to Start Server!");
  EXPECT_EQ(Get("txtTimedBanner_11").text(), "This server is running Helmsman mk.V -- Voxbrine");
}

TEST_F(MainWindowTest, StartFailureAtStartUpLeavesTheToggleUsable) {
  admin_.SetAnswer("start qvserver", {1, "start qvserver FAILED\r\n"});
  MainWindow& window = Open();
  EXPECT_TRUE(window.StartUp());
  EXPECT_THAT(Log(logs::LogId::kServerActivity),
              ElementsAre(": Helmsman could not start QVServer.exe!"));
  EXPECT_EQ(Get("lblStatus").text(), "Error starting server!");
  EXPECT_FALSE(Get("tmrMainEventTimer").enabled());
  EXPECT_EQ(Get("cmdToggleServer").text(), "Start Server");
  EXPECT_TRUE(Get("cmdToggleServer").enabled());

  admin_.ClearAnswer("start qvserver");
  window.controls().Fire("cmdToggleServer", ControlEvent::kClick);
  EXPECT_EQ(Get("cmdToggleServer").text(), "Stop Server");
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
}

TEST_F(MainWindowTest, MissingQVAdminEndsStartUpWithAClearErrorAndNoCrash) {
  server::QVAdminLibrary missing({folder_}, "QVAdminNowhere.dll");
  MainWindow& window = Open(&missing);
  EXPECT_FALSE(window.StartUp());
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("message [Helmsman] QVAdmin.dll did not properly load!"));
  ASSERT_EQ(Log(logs::LogId::kHelmError).size(), 1u);
  EXPECT_THAT(Log(logs::LogId::kHelmError)[0],
              StartsWith(": QVAdminNowhere.dll cannot be loaded: "));
  EXPECT_EQ(Get("lstHELMErrorLog").rows().size(), 1u);
  window.ShutDown();  // as the closing window runs it
  EXPECT_TRUE(Exists("Helmsman.ini"));
}

TEST_F(MainWindowTest, TitleTooLongForQVAdminEndsStartUpNamingTheCause) {
  stored_.txtQVServerWindowName = std::string(300, 'Q');
  MainWindow& window = Open();
  EXPECT_FALSE(window.StartUp());
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("message [Helmsman] QVAdmin.dll did not properly load!"));
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              ElementsAre(": The server window title (txtQVServerWindowName) has 300 characters; "
                          "QVAdmin.dll takes at most 255"));
}

TEST_F(MainWindowTest, SettingsRefuseATitleOrOptionsTooLongForQVAdmin) {
  MainWindow& window = Open();
  window.StartUp();
  Controls& c = window.controls();
  c.SetText("txtQVServerWindowName", "Quorvane Night Host");
  c.Fire("txtQVServerWindowName", ControlEvent::kChange);  // fits: kept
  c.SetText("txtQVServerWindowName", std::string(256, 'Q'));
  c.Fire("txtQVServerWindowName", ControlEvent::kChange);
  EXPECT_EQ(Get("txtQVServerWindowName").text(), "Quorvane Night Host");
  EXPECT_EQ(window.settings().txtQVServerWindowName, "Quorvane Night Host");

  c.SetText("txtQVServerCommandLineOptions", std::string(400, 'o'));
  c.Fire("txtQVServerCommandLineOptions", ControlEvent::kChange);
  EXPECT_EQ(window.settings().txtQVServerCommandLineOptions, "-port 26000");  // as loaded
  EXPECT_THAT(
      frontend_.shown(),
      ElementsAre("message [Helmsman] The server window title (txtQVServerWindowName) has 256 "
                  "characters; QVAdmin.dll takes at most 255. The change was not kept.",
                  "message [Helmsman] The server command-line options "
                  "(txtQVServerCommandLineOptions) have 400 characters; QVAdmin.dll takes at "
                  "most 255. The change was not kept."));
}

TEST_F(MainWindowTest, ControlsRunTheirHandlers) {
  MainWindow& window = Open();
  window.StartUp();
  Controls& c = window.controls();

  c.SetText("txtChatText", "Shields up");
  c.Fire("txtChatText", ControlEvent::kChange);
  EXPECT_TRUE(Get("cmdSend").enabled());
  c.Fire("cmdSend", ControlEvent::kClick);
  EXPECT_THAT(admin_.chat_lines(), ElementsAre("Shields up"));
  EXPECT_EQ(Get("lblStatus").text(), "Message sent successfully");
  c.SetText("txtChatText", "Red alert");
  c.Fire("txtChatText", ControlEvent::kChange);
  c.Fire("txtChatText", ControlEvent::kEnter);
  EXPECT_THAT(admin_.chat_lines(), ElementsAre("Shields up", "Red alert"));

  clock_.Advance(30 * 60);
  c.Fire("tmrMainEventTimer", ControlEvent::kTimer);
  EXPECT_EQ(Get("lblProgramRunTime").text(), "Program running for 0.5 hours.");

  c.SetValue("vscPlayerBanCheckInterval", 15);
  c.Fire("vscPlayerBanCheckInterval", ControlEvent::kChange);
  EXPECT_EQ(Get("lblPlayerBanCheckInterval").text(),
            "Check for players due for unban every 15 minutes");

  // The system date 11/9/2004 has a one-digit day: choosing a date order reports it.
  c.SetValue("optRegionalDateSetting_0", 1);
  c.Fire("optRegionalDateSetting_0", ControlEvent::kClick);
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              ElementsAre(": Error verifying date format. Month = 11, Day = 09, and current date "
                          "is 11/9/2004"));

  std::filesystem::create_directories(folder_ + "/accounts/lonely");
  c.SetText("txtQVServercfgPath", folder_ + "/accounts/QVServer.cfg");
  c.SetValue("chkDeleteNonBannedEmptyPlayerFolders", 1);
  frontend_.QueueAnswer(true);  // "Preform auto-maintenance in 10 minutes?  ..."
  c.Fire("cmdExecuteAutoMaintenanceIn10Minutes", ControlEvent::kClick);
  EXPECT_EQ(window.timer().counters().maintenance, 24 * 3600 - 600);
  // The question came with what the cycle would remove now.
  ASSERT_EQ(frontend_.lists().size(), 1u);
  EXPECT_EQ(frontend_.lists()[0].summary, "1 folder would be removed");
  EXPECT_EQ(frontend_.lists()[0].rows,
            (std::vector<std::vector<std::string>>{{"", "lonely", "empty folder", "empty"}}));

  c.Select("lstServerActivityLog", 0);
  c.Fire("lstServerActivityLog", ControlEvent::kClick);
  EXPECT_EQ(window.logs().selected(logs::LogId::kServerActivity), 0);
  frontend_.QueueAnswer(true);
  c.Fire("cmdClearServerActivityLog", ControlEvent::kClick);
  EXPECT_THAT(Get("lstServerActivityLog").rows(), IsEmpty());

  c.Fire("cmdToggleServer", ControlEvent::kClick);
  EXPECT_EQ(Get("cmdToggleServer").text(), "Start Server");
  EXPECT_FALSE(Get("cmdSend").enabled());
  // Enter in the chat box sends only while Send may: not with the server stopped.
  c.Fire("txtChatText", ControlEvent::kEnter);
  EXPECT_THAT(admin_.chat_lines(), ElementsAre("Shields up", "Red alert"));
  const size_t ticks_before = admin_.calls().size();
  c.Fire("tmrMainEventTimer", ControlEvent::kTimer);  // a late event of a stopped timer
  EXPECT_EQ(admin_.calls().size(), ticks_before);
  EXPECT_THAT(c.missing(), IsEmpty());
}

TEST_F(MainWindowTest, PlayersTabAndKickSettingsRunTheirHandlers) {
  stored_.txtQVServercfgPath = folder_ + "/accounts/QVServer.cfg";
  std::filesystem::create_directories(folder_ + "/accounts/acct1");
  std::string error;
  ASSERT_TRUE(files_->WriteFile(folder_ + "/accounts/acct1/c1.qv", "QVS1", &error));
  MainWindow& window = Open();
  window.StartUp();
  Controls& c = window.controls();

  // The fake codec writes no text: the file is reported and the list stays empty, but the
  // button ran the generation through the window's codec and logs.
  frontend_.QueueAnswer(true);
  c.Fire("cmdRegeneratePlayerList", ControlEvent::kClick);
  ASSERT_FALSE(codec_.calls().empty());
  EXPECT_EQ(codec_.calls().back().type, server::kCodecDecode);
  EXPECT_EQ(codec_.calls().back().source, folder_ + "/accounts/acct1/c1.qv");
  EXPECT_EQ(codec_.calls().back().target, folder_ + "/Helmsman0.tmp");
  EXPECT_THAT(Log(logs::LogId::kServerActivity), Contains(": Playerlist generation completed"));
  EXPECT_EQ(Get("fraPlayerList").text(), "Player List (0 players)");

  c.SetText("txtPlayerListFilter", "x");
  c.Fire("txtPlayerListFilter", ControlEvent::kChange);
  EXPECT_EQ(Get("fraPlayerList").text(), "Player List (0 players - FILTERED) ");

  c.SetText("txtKickedPlayersFine", "250abc");
  c.Fire("txtKickedPlayersFine", ControlEvent::kChange);
  EXPECT_EQ(Get("txtKickedPlayersFine").text(), "250");
  EXPECT_THAT(c.missing(), IsEmpty());
}

// The summary shows the selected character's newest journal entries, in its account or in
// none, and goes with the summary.
TEST_F(MainWindowTest, PlayerSummaryShowsTheSelectedPlayersLastJournalEntries) {
  MainWindow& window = Open();
  window.StartUp();
  Controls& c = window.controls();
  players::PlayerRecord& record = *window.players().At(0);
  record.name = "Orin Vael";
  record.account_folder = folder_ + "/accounts/orin01";
  for (int i = 0; i < 11; ++i) {
    window.journal().Append({"2026-03-0" + std::to_string(1 + i / 2) + "T10:00:0" +
                                 std::to_string(i % 2),
                             "fine", "operator", "orin01", "Orin Vael",
                             {{"credits", std::to_string(100 + i)}}});
  }
  window.journal().Append({"2026-03-07T09:00:00", "kick", "rule:name filter", "", "Orin Vael", {}});
  window.journal().Append({"2026-03-07T09:30:00", "ban", "operator", "other02", "Orin Vael", {}});
  window.journal().Append({"2026-03-07T10:00:00", "ban", "operator", "orin01", "Sela Brin", {}});
  c.SetRows("lstPlayers", {"Orin Vael"});
  c.Select("lstPlayers", 0);
  c.Fire("lstPlayers", ControlEvent::kClick);
  const std::vector<std::string>& rows = Get("lstPlayerJournal").rows();
  ASSERT_EQ(rows.size(), 10u);
  EXPECT_EQ(rows[0], "2026-03-07 09:00:00 kick by rule:name filter");
  EXPECT_EQ(rows[1], "2026-03-06 10:00:00 fine by operator: credits=110");
  EXPECT_EQ(rows[9], "2026-03-02 10:00:00 fine by operator: credits=102");
  EXPECT_TRUE(Get("lstPlayerJournal").enabled());

  c.SetText("txtPlayerListFilter", "x");
  c.Fire("txtPlayerListFilter", ControlEvent::kChange);
  EXPECT_THAT(Get("lstPlayerJournal").rows(), IsEmpty());
  EXPECT_FALSE(Get("lstPlayerJournal").enabled());
}

// A codec "loaded" from a file of the test's folder.
class CodecFromFile : public server::FakeCodec {
 public:
  explicit CodecFromFile(std::string path) : path_(std::move(path)) {}
  std::string LibraryPath(std::string*) override { return path_; }

 private:
  std::string path_;
};

TEST_F(MainWindowTest, VersionInfoShowsTheVersionWindowWithBothLibraries) {
  const std::string library = folder_ + "/libqvcodec.so";
  ASSERT_TRUE(files_->WriteFile(library, "0123456789", nullptr));
  CodecFromFile codec(library);
  MainWindow& window = Open(nullptr, &codec);
  window.set_toolkit("Qt 6.4.2");

  window.controls().Fire("cmdVersionInformation", ControlEvent::kClick);
  ASSERT_EQ(frontend_.shown().size(), 1u);
  const std::string& shown = frontend_.shown()[0];
  EXPECT_THAT(shown,
              StartsWith("message [Helmsman -- Version Information] Helmsman mk.V, version "));
  EXPECT_THAT(shown, ::testing::HasSubstr("\nWindow toolkit: Qt 6.4.2\n"
                                          "QVAdmin.dll: not loaded (not loaded from a file)\n"
                                          "QVCodec.dll: loaded from " +
                                          library + "\n    10 bytes"));
}

TEST_F(MainWindowTest, ServerChecksFromTheTimerRestartAServerClosedByHand) {
  stored_.chkServerCheckDelay = 1;
  stored_.vscServerCheckInterval = 1;
  MainWindow& window = Open();
  window.StartUp();
  windows_.Close(kTitle);
  window.controls().Fire("tmrMainEventTimer", ControlEvent::kTimer);
  EXPECT_TRUE(windows_.IsOpen(kTitle));
  EXPECT_THAT(Log(logs::LogId::kServerActivity),
              ElementsAre(": Helmsman loaded successfully and good to go!"));
  EXPECT_EQ(Get("lblStatus").text(), "Good to go");
}

TEST_F(MainWindowTest, ShutDownReleasesAndSavesButLeavesTheServerRunning) {
  MainWindow& window = Open();
  window.StartUp();
  std::filesystem::remove(folder_ + "/HelmsmanBanners.ini");
  window.settings().txtTimedBanner[0] = "Fly safe";
  window.ShutDown();
  window.ShutDown();
  EXPECT_THAT(admin_.released_owners(), ElementsAre(4711));
  EXPECT_THAT(admin_.commands(), ElementsAre("start qvserver"));  // no stop
  EXPECT_TRUE(windows_.IsOpen(kTitle));
  settings::Settings reread;
  logs::Logs logs(clock_, locale_);
  settings::LoadAllSettings(folder_, *files_, &reread, logs);
  EXPECT_EQ(reread.txtTimedBanner[0], "Fly safe");
  EXPECT_TRUE(Exists("HelmsmanPlayerList.ini"));
}

TEST_F(MainWindowTest, ShutDownBeforeStartUpWritesNothing) {
  MainWindow& window = Open();
  std::filesystem::remove(folder_ + "/HelmsmanBanners.ini");
  window.ShutDown();
  EXPECT_FALSE(Exists("HelmsmanBanners.ini"));  // defaults never overwrite the files
  EXPECT_FALSE(Exists("HelmsmanPlayerList.ini"));
}

TEST_F(MainWindowTest, PlayerListThatCouldNotBeReadIsNotOverwritten) {
  std::string error;
  ASSERT_TRUE(files_->WriteFile(players::PlayerListPath(folder_), "4.1\r\nAnn\r\n", &error));
  UnreadablePlayerList unreadable;
  files_ = &unreadable;
  MainWindow& window = Open();
  window.StartUp();
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              Contains(": Unable to read the player list file - Input/output error"));
  window.ShutDown();
  std::string data;
  ASSERT_TRUE(platform::DiskFileSystem().ReadFile(players::PlayerListPath(folder_), &data, &error));
  EXPECT_EQ(data, "4.1\r\nAnn\r\n");
}

}  // namespace
}  // namespace helmsman::ui
