// Start-up and shut-down of the main window on a scripted frontend, over a real folder with
// character files read by the real codec; and the online tracking as the window wires it.
#include "console/ui/startup.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <random>

#include "codec/codec.h"
#include "codec/scramble.h"
#include "console/gamedata/tables.h"
#include "console/players/player_files_testing.h"
#include "console/players/player_list_file.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings_files.h"
#include "console/ui/main_window.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"

namespace helmsman::ui {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr char kTitle[] = "Quorvane Start-up Test";

// The codec itself, over the disk.
class DiskCodec : public server::CodecApi {
 public:
  int32_t Convert(int32_t type, const std::string& source, const std::string& target,
                  std::string*) override {
    return codec::Convert(type, source.c_str(), target.c_str(), platform::DiskFileSystem());
  }
};

class StartUpTest : public ::testing::Test {
 protected:
  StartUpTest() {
    std::random_device seed;
    base_ = (std::filesystem::temp_directory_path() /
             ("helmsman_startup_" + std::to_string(seed()) + std::to_string(seed())))
                .string();
    program_ = base_ + "/program";
    exe_ = base_ + "/Quorvane/exe/QVServer.exe";
    root_ = base_ + "/Accts/MultiPlayer";
    cfg_ = root_ + "/QVServer.cfg";
    for (const std::string& folder : {program_, base_ + "/Quorvane/exe", root_}) {
      std::filesystem::create_directories(folder);
    }
    Write(exe_, "");
    Write(cfg_, "[Server]\r\n");
    WriteGameData();
    stored_.txtQVServerexePath = exe_;
    stored_.txtQVServercfgPath = cfg_;
    stored_.txtQVServerWindowName = kTitle;
    clock_.Set(platform::CivilTime{2025, 6, 1, 14, 5, 9});
  }
  ~StartUpTest() override {
    window_.reset();
    std::filesystem::remove_all(base_);
  }

  static void Write(const std::string& path, const std::string& data) {
    std::string error;
    ASSERT_TRUE(platform::DiskFileSystem().WriteFile(path, data, &error)) << error;
  }
  void WriteGameData() {
    for (const char* name : gamedata::PresenceOrder()) Write(program_ + "/" + name, "");
    Write(program_ + "/GAMEDATA_bases.txt",
          "tessa_ring=Tessary Ring Station\r\nvell=Vell Foundry\r\n");
    Write(program_ + "/GAMEDATA_systems.txt", "tessa=Tessary\r\n");
    Write(program_ + "/GAMEDATA_guns.txt", "GUN0000001=gun_ion,Ion Lance\r\n");
    Write(program_ + "/GAMEDATA_ships.txt", "SHP0000001=sh_wren,Wren Skiff\r\n");
  }
  // A character file of the given name in an account folder; returns its path.
  std::string Character(const std::string& account, const std::string& file,
                        const std::string& name, int rank = 12) {
    std::filesystem::create_directories(root_ + "/" + account);
    const std::string path = root_ + "/" + account + "/" + file;
    std::vector<std::string> lines =
        players::testing::CharacterLines(players::testing::HexName(name));
    lines[4] = "rank = " + std::to_string(rank);
    Write(path, codec::EncodeText(players::testing::JoinLines(lines)));
    return path;
  }
  void SaveSettings() {
    std::string error;
    for (auto file : {settings::SettingsFile::kProgram, settings::SettingsFile::kBanners}) {
      ASSERT_TRUE(
          settings::SaveSettingsFile(file, program_, platform::DiskFileSystem(), stored_, &error))
          << error;
    }
  }
  MainWindow& Open(platform::FileSystem* files = &platform::DiskFileSystem()) {
    Environment environment;
    environment.program_folder = program_;
    environment.clock = &clock_;
    environment.locale = &locale_;
    environment.files = files;
    environment.qvadmin = &admin_;
    environment.codec = &codec_;
    environment.server_windows = &windows_;
    environment.sleeper = &sleeper_;
    environment.owner = 31;
    environment.documents_folder = [this] { return documents_; };
    window_ = std::make_unique<MainWindow>(environment);
    window_->set_frontend(&frontend_);
    return *window_;
  }
  std::vector<std::string> Log(logs::LogId log) {
    return players::testing::Messages(window_->logs().lines(log));
  }
  const Control& Get(const std::string& name) { return window_->controls().Get(name); }
  bool Exists(const std::string& path) { return std::filesystem::exists(path); }

  std::string base_, program_, exe_, root_, cfg_;
  std::optional<std::string> documents_;
  settings::Settings stored_;
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  server::FakeServerWindows windows_;
  server::FakeQVAdmin admin_{&windows_};
  DiskCodec codec_;
  server::FakeSleeper sleeper_;
  ScriptedFrontend frontend_;
  std::unique_ptr<MainWindow> window_;
};

TEST_F(StartUpTest, FirstRunWithNoFilesAsksForEverythingAndGenerates) {
  Character("acct1", "a.qv", "Ann");
  Character("acct2", "b.qv", "Bob");
  frontend_.QueueFileName(exe_);
  frontend_.QueueFileName(cfg_);
  frontend_.QueueAnswer(true);  // generation
  frontend_.QueueAnswer(true);  // permission
  MainWindow& window = Open();
  EXPECT_TRUE(window.StartUp());
  EXPECT_EQ(window.start_up_outcome(), StartUpOutcome::kRunning);
  const std::vector<std::string>& shown = frontend_.shown();
  ASSERT_EQ(shown.size(), 7u);
  EXPECT_EQ(shown[0], std::string("message [Helmsman] ") + kDisclaimer);
  EXPECT_EQ(shown[1], std::string("message [Helmsman] ") + kLocateServerMessage);
  EXPECT_EQ(shown[2],
            "open [Please Double-Click QVServer.exe (in Quorvane\\exe)] QVServer.exe|QVServer.exe "
            "-> " +
                exe_);
  EXPECT_EQ(shown[3], std::string("message [Helmsman] ") + kLocateConfigMessage);
  EXPECT_EQ(shown[4],
            "open [Please Double-Click QVServer.cfg (in Accts\\MultiPlayer)] "
            "QVServer.cfg|QVServer.cfg -> " +
                cfg_);
  EXPECT_EQ(shown[5],
            "ask [Player List Generation] Decoding of all player files required (first program "
            "run).  This may take some time and the program may become non-responsive while it "
            "works.  Continue? -> OK");
  EXPECT_THAT(shown[6], ::testing::StartsWith("ask [Permission to control QVServer] "));

  EXPECT_EQ(window.settings().txtQVServerexePath, exe_);
  EXPECT_EQ(window.settings().txtQVServercfgPath, cfg_);
  EXPECT_EQ(window.players().Count(), 2);
  EXPECT_THAT(Get("lstPlayers").rows(), ElementsAre("Ann", "Bob"));
  EXPECT_THAT(Log(logs::LogId::kServerActivity),
              ElementsAre(": Playerlist generation begun", ": Playerlist generation complete",
                          ": Helmsman loaded successfully and good to go!"));
  EXPECT_TRUE(Exists(program_ + "/HelmsmanPlayerList.ini"));  // saved at once
  ASSERT_EQ(admin_.initialize_calls().size(), 1u);
  EXPECT_EQ(admin_.initialize_calls()[0].server_directory, base_ + "/Quorvane/exe/");
}

// At the first run an account root that cannot be listed is not an empty one: no empty
// list file is written, so that the next start generates the list.
TEST_F(StartUpTest, FirstRunWithAnUnreadableAccountRootWritesNoPlayerList) {
  struct UnlistableRoot : platform::ForwardingFileSystem {
    bool ListDirectory(const std::string& path, std::vector<platform::DirEntry>* entries) override {
      if (path == root) return false;
      return ForwardingFileSystem::ListDirectory(path, entries);
    }
    std::string root;
  } files;
  files.root = root_;
  Character("acct1", "a.qv", "Ann");
  stored_.chkRunHELMUnattended = 1;
  SaveSettings();
  MainWindow& window = Open(&files);
  ASSERT_TRUE(window.StartUp());
  EXPECT_THAT(frontend_.shown(), IsEmpty());
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              Contains(": Playerlist generation failed: the account folders in " + root_ +
                       " cannot be read; no player list file was written"));
  window.ShutDown();
  EXPECT_FALSE(Exists(program_ + "/HelmsmanPlayerList.ini"));
  window_.reset();  // before the file system it uses
}

TEST_F(StartUpTest, CancelAtGenerationClosesAndWritesAllButThePlayerList) {
  Character("acct1", "a.qv", "Ann");
  SaveSettings();
  frontend_.QueueAnswer(false);
  MainWindow& window = Open();
  EXPECT_FALSE(window.StartUp());
  EXPECT_EQ(window.start_up_outcome(), StartUpOutcome::kUnloaded);
  EXPECT_THAT(frontend_.shown(),
              ElementsAre(::testing::StartsWith("ask [Player List Generation]")));
  EXPECT_THAT(admin_.initialize_calls(), IsEmpty());
  std::filesystem::remove(program_ + "/Helmsman.ini");
  window.ShutDown();
  EXPECT_TRUE(Exists(program_ + "/Helmsman.ini"));  // the server program was found
  EXPECT_TRUE(Exists(program_ + "/HelmsmanWebOutput.ini"));
  // No player list file: the next start asks again instead of reading every file unasked.
  EXPECT_FALSE(Exists(program_ + "/HelmsmanPlayerList.ini"));
}

TEST_F(StartUpTest, NotNamingTheServerProgramClosesWithoutWritingItsSettings) {
  stored_.txtQVServerexePath = base_ + "/gone/QVServer.exe";
  SaveSettings();
  std::string before;
  platform::DiskFileSystem().ReadFile(program_ + "/Helmsman.ini", &before, nullptr);
  frontend_.QueueFileName(base_ + "/Quorvane/exe/notepad.exe");
  MainWindow& window = Open();
  EXPECT_FALSE(window.StartUp());
  EXPECT_THAT(frontend_.shown(),
              ElementsAre(std::string("message [Helmsman] ") + kDisclaimer,
                          std::string("message [Helmsman] ") + kLocateServerMessage,
                          ::testing::StartsWith("open [Please Double-Click QVServer.exe"),
                          "message [Helmsman] Program will not run until it knows where "
                          "qvserver.exe is located!"));
  window.ShutDown();
  std::string after;
  platform::DiskFileSystem().ReadFile(program_ + "/Helmsman.ini", &after, nullptr);
  EXPECT_EQ(after, before);
  EXPECT_TRUE(Exists(program_ + "/HelmsmanQVStat.ini"));
}

TEST_F(StartUpTest, ConfigFileIsFoundInTheDocumentsFolder) {
  stored_.txtQVServercfgPath.clear();
  stored_.chkRunHELMUnattended = 1;
  SaveSettings();
  const std::string documents = base_ + "/home/Documents";
  const std::string cfg = ConfigFileInDocuments(documents);
  EXPECT_EQ(cfg, documents + "/My Games/Quorvane/Accts/MultiPlayer/QVServer.cfg");
  std::filesystem::create_directories(platform::DirName(cfg));
  Write(cfg, "");
  documents_ = documents + std::string(1, '\0') + "garbage";  // cut at the first NUL
  MainWindow& window = Open();
  EXPECT_TRUE(window.StartUp());
  EXPECT_EQ(window.settings().txtQVServercfgPath, cfg);
  // The disclaimer only: the configuration path was not an existing file when it was shown.
  EXPECT_THAT(frontend_.shown(), ElementsAre(std::string("message [Helmsman] ") + kDisclaimer));
}

TEST_F(StartUpTest, ConfigFileNotInTheDocumentsFolderIsAskedFor) {
  stored_.txtQVServercfgPath = base_ + "/nowhere/QVServer.cfg";
  SaveSettings();
  documents_ = base_ + "/home/Documents";
  MainWindow& window = Open();
  EXPECT_FALSE(window.StartUp());  // the dialog is cancelled
  EXPECT_THAT(frontend_.shown(),
              ElementsAre(std::string("message [Helmsman] ") + kDisclaimer,
                          std::string("message [Helmsman] ") + kLocateConfigMessage,
                          ::testing::StartsWith("open [Please Double-Click QVServer.cfg"),
                          "message [Helmsman] Program will not run until it knows where "
                          "qvserver.cfg is located!"));
}

TEST_F(StartUpTest, UnattendedRefreshesTheListWithoutAnyQuestion) {
  const std::string ann = Character("acct1", "a.qv", "Ann");
  const std::string bob = Character("acct1", "b.qv", "Bob");
  Character("acct2", "c.qv", "Cy");
  stored_.chkRunHELMUnattended = 1;
  stored_.cmbAvailableBases = 1;
  SaveSettings();
  {
    MainWindow& first = Open();
    frontend_.QueueAnswer(true);
    ASSERT_TRUE(first.StartUp());
    first.ShutDown();
  }
  // Two adjacent records lose their files, and a new character appears.
  std::filesystem::remove(ann);
  std::filesystem::remove(bob);
  Character("acct3", "d.qv", "Dee");
  frontend_.ClearShown();
  MainWindow& window = Open();
  EXPECT_TRUE(window.StartUp());
  EXPECT_THAT(frontend_.shown(), IsEmpty());
  EXPECT_EQ(window.start_up_outcome(), StartUpOutcome::kRunning);
  EXPECT_THAT(Get("lstPlayers").rows(), ElementsAre("Cy", "Dee"));
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              Contains(": 2 .qv files are missing from database, players were removed from list"));
  EXPECT_THAT(Get("cmbAvailableBases").rows(), ElementsAre("Tessary Ring Station", "Vell Foundry"));
  EXPECT_EQ(Get("cmbAvailableBases").selected(), 1);
  EXPECT_THAT(Get("cmdAllEquippableEquipment").rows(), ElementsAre("Ion Lance", "Wren Skiff"));
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
  EXPECT_EQ(window.timer().counters().online_update, -60);
  std::string saved;
  platform::DiskFileSystem().ReadFile(program_ + "/HelmsmanPlayerList.ini", &saved, nullptr);
  EXPECT_THAT(saved, ::testing::HasSubstr("\r\nDee\r\n"));
  EXPECT_THAT(saved, Not(::testing::HasSubstr("\r\nAnn\r\n")));
}

TEST_F(StartUpTest, NewFilesAreLeftAloneWhenTheOptionSaysSo) {
  stored_.chkRunHELMUnattended = 1;
  stored_.chkDontCheckForNewQvFilesOnRun = 1;
  SaveSettings();
  Write(program_ + "/HelmsmanPlayerList.ini", "4.1\r\n");
  Character("acct1", "a.qv", "Ann");
  MainWindow& window = Open();
  EXPECT_TRUE(window.StartUp());
  EXPECT_EQ(window.players().Count(), 0);
}

// An out-of-date list was saved over at start-up and again at shut-down, so after one run
// neither the file nor its backup held the old list with its bans.
TEST_F(StartUpTest, OutOfDatePlayerListIsKeptUnderANameNoSaveTouches) {
  Character("acct1", "a.qv", "Ann");
  stored_.chkRunHELMUnattended = 1;
  SaveSettings();
  const std::string old_list = "4.0\r\nBanned Bob\r\nb.qv\r\n";
  Write(program_ + "/HelmsmanPlayerList.ini", old_list);
  MainWindow& window = Open();
  ASSERT_TRUE(window.StartUp());
  EXPECT_THAT(frontend_.shown(), ElementsAre(std::string("message [Helmsman] ") +
                                             players::kPlayerListOutOfDateMessage));
  window.ShutDown();
  const std::string kept = program_ + "/HelmsmanPlayerList.ini.unloaded-20250601-140509";
  std::string data;
  ASSERT_TRUE(platform::DiskFileSystem().ReadFile(kept, &data, nullptr));
  EXPECT_EQ(data, old_list);
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              Contains(": The player list file could not be loaded; it was kept as " + kept));
  // The list itself was rebuilt from the character files, as before.
  EXPECT_THAT(Get("lstPlayers").rows(), ElementsAre("Ann"));

  // A second run in the same second keeps its own out-of-date list under a name of its own.
  Write(program_ + "/HelmsmanPlayerList.ini", "abc\r\n");
  MainWindow& second = Open();
  ASSERT_TRUE(second.StartUp());
  second.ShutDown();
  ASSERT_TRUE(platform::DiskFileSystem().ReadFile(kept, &data, nullptr));
  EXPECT_EQ(data, old_list);
  ASSERT_TRUE(platform::DiskFileSystem().ReadFile(kept + "-2", &data, nullptr));
  EXPECT_EQ(data, "abc\r\n");
}

// A named pipe or a device where a file is expected hung start-up for ever; an unreadable
// settings file was then overwritten with defaults at shut-down. Each is now reported like
// an unreadable file and kept as it is.
TEST_F(StartUpTest, PipesAndDevicesInsteadOfFilesAreReportedAndKept) {
  stored_.chkRunHELMUnattended = 1;
  SaveSettings();
  Character("acct1", "b.qv", "Bob");
  std::filesystem::create_directories(root_ + "/acct1");
  const std::string settings_pipe = program_ + "/HelmsmanQVStat.ini";
  const std::string list_pipe = program_ + "/HelmsmanPlayerList.ini";
  const std::string character_pipe = root_ + "/acct1/a.qv";
  for (const std::string& path :
       {settings_pipe, list_pipe, character_pipe, program_ + "/GAMEDATA_ships.txt"}) {
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0644), 0) << path;
  }
  const std::string device_link = program_ + "/HelmsmanWebOutput.ini";
  std::filesystem::create_symlink("/dev/zero", device_link);
  MainWindow& window = Open();
  ASSERT_TRUE(window.StartUp());
  EXPECT_THAT(Get("lstPlayers").rows(), ElementsAre("Bob"));
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              Contains(": Error reading settings file " + settings_pipe + ": cannot read " +
                       settings_pipe + ": not a regular file"));
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              Contains(": Unable to read the player list file - cannot read " + list_pipe +
                       ": not a regular file"));
  window.ShutDown();
  for (const std::string& path : {settings_pipe, list_pipe, character_pipe}) {
    EXPECT_TRUE(std::filesystem::is_fifo(path)) << path;
  }
  EXPECT_TRUE(std::filesystem::is_symlink(device_link));
  EXPECT_TRUE(Exists(program_ + "/HelmsmanNameFilterAutoBan.ini"));  // the others are saved
}

// Saves killed between writing their temporary file and the rename left those files for
// ever (20 of them, 99 MB, after 220 kills). Start-up removes them, and nothing else.
TEST_F(StartUpTest, LeftoversOfInterruptedSavesAreRemovedAtStartUp) {
  stored_.chkRunHELMUnattended = 1;
  SaveSettings();
  const std::vector<std::string> leftovers = {
      "Helmsman.ini.new77", "HelmsmanPlayerList.ini.bak.new9", "HelmsmanPlayerList.ini.new4242"};
  const std::vector<std::string> others = {"HelmsmanPlayerList.ini.new", "notes.ini.new12",
                                           "HelmsmanPlayerList.ini.new12.txt"};
  for (const std::string& name : leftovers) Write(program_ + "/" + name, "4.1\r\n");
  for (const std::string& name : others) Write(program_ + "/" + name, "mine");
  MainWindow& window = Open();
  ASSERT_TRUE(window.StartUp());
  for (const std::string& name : leftovers) EXPECT_FALSE(Exists(program_ + "/" + name)) << name;
  for (const std::string& name : others) EXPECT_TRUE(Exists(program_ + "/" + name)) << name;
  EXPECT_THAT(Log(logs::LogId::kHelmError),
              Contains(": Removed 3 temporary files left by interrupted saves: Helmsman.ini.new77, "
                       "HelmsmanPlayerList.ini.bak.new9, HelmsmanPlayerList.ini.new4242"));
}

// The loaded fine went straight into the record, so after every restart fines were off.
// Loading it is a change of the fine's text: the fine is switched on again and the kick
// message rebuilt, while the timer is not running yet.
TEST_F(StartUpTest, SavedKickFineIsSwitchedOnAgainAtStartUp) {
  stored_.chkRunHELMUnattended = 1;
  stored_.txtKickedPlayersFine = "250";
  SaveSettings();
  MainWindow& window = Open();
  ASSERT_TRUE(window.StartUp());
  EXPECT_EQ(Get("chkFineKickedPlayers").value(), 1);
  EXPECT_EQ(Get("txtKickedPlayersFine").text(), "250");
  EXPECT_EQ(Get("txtKickMessagePart2").text(), "and fined 250 credits ");
  EXPECT_THAT(frontend_.shown(), IsEmpty());

  // No fine saved: nothing changes, the kick message keeps its default.
  window.ShutDown();
  stored_.txtKickedPlayersFine.clear();
  SaveSettings();
  MainWindow& second = Open();
  ASSERT_TRUE(second.StartUp());
  EXPECT_EQ(Get("chkFineKickedPlayers").value(), 0);
  EXPECT_EQ(Get("txtKickMessagePart2").text(), "because they're ugly!");
}

TEST_F(StartUpTest, OfflineModeShowsTheConfigurationTabAndRunsNothing) {
  stored_.txtTimedBanner[11] = "Old last banner";
  SaveSettings();
  frontend_.QueueAnswer(false);
  MainWindow& window = Open();
  EXPECT_TRUE(window.StartUp());
  EXPECT_EQ(window.start_up_outcome(), StartUpOutcome::kOffline);
  EXPECT_EQ(Get("SSTab1").selected(), 5);
  EXPECT_EQ(Get("SSTab1").rows()[5], "Configuration");
  EXPECT_FALSE(Get("tmrMainEventTimer").enabled());
  for (const std::string& name : StartUpControls()) EXPECT_FALSE(Get(name).enabled()) << name;
  EXPECT_THAT(admin_.commands(), IsEmpty());
  EXPECT_EQ(Get("txtTimedBanner_11").text(), "This server is running Helmsman mk.V -- Voxbrine");
}

TEST_F(StartUpTest, MissingGameDataEndsStartUpBeforeAnythingIsLoaded) {
  SaveSettings();
  std::filesystem::remove(program_ + "/GAMEDATA_mapinfo.txt");
  std::filesystem::remove(program_ + "/GAMEDATA_tractorbeams.txt");
  std::filesystem::remove(program_ + "/HelmsmanBanners.ini");
  MainWindow& window = Open();
  EXPECT_FALSE(window.StartUp());
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("message [Helmsman] GAMEDATA_mapinfo.txt missing, please re-install "
                          "the program!"));
  window.ShutDown();
  EXPECT_FALSE(Exists(program_ + "/HelmsmanBanners.ini"));  // defaults never overwrite files
}

// The online tracking as the window runs it: from the timer, over the real player files.
TEST_F(StartUpTest, TimerUpdatesTheOnlinePlayersAndGreetsANewCharacter) {
  Character("acct1", "a.qv", "Ann");
  stored_.chkRunHELMUnattended = 1;
  stored_.chkAutoUpdatePlayersOnline = 1;
  SaveSettings();
  Write(program_ + "/HelmsmanPlayerList.ini", "4.1\r\n");
  MainWindow& window = Open();
  ASSERT_TRUE(window.StartUp());
  ASSERT_EQ(window.players().Count(), 1);
  window.timer().counters().online_update = 5;  // due on the next tick
  Character("acct9", "n.qv", "Neo", 0);
  admin_.set_online({"Ann", "Neo"});
  window.controls().Fire("tmrMainEventTimer", ControlEvent::kTimer);
  EXPECT_THAT(Log(logs::LogId::kPlayerActivity),
              ElementsAre(": Player Ann found on the server", ": Player Neo found on the server"));
  const std::vector<std::string> server_log = Log(logs::LogId::kServerActivity);
  ASSERT_EQ(server_log.size(), 3u);
  EXPECT_EQ(server_log[1], ": New player Neo has joined the server!");
  EXPECT_EQ(server_log[2],
            ": Message [New player [Neo], welcome to the server!  Cheating and begging for money "
            "is NOT tolerated.] broadcast to universe");
  EXPECT_THAT(admin_.chat_lines(),
              ElementsAre("New player [Neo], welcome to the server!  Cheating and begging for "
                          "money is NOT tolerated."));
  EXPECT_THAT(Get("lstPlayers").rows(), ElementsAre("Ann", "Neo"));
  EXPECT_THAT(Get("lstPlayersOnlineSystems").rows(), ElementsAre("Tessary", "Tessary"));
  EXPECT_EQ(Get("fraPlayersOnline").text(), "2 Players Online, Updated 2:05:09 PM");
  std::string saved;
  platform::DiskFileSystem().ReadFile(program_ + "/HelmsmanPlayerList.ini", &saved, nullptr);
  EXPECT_THAT(saved, ::testing::HasSubstr("\r\nNeo\r\n"));

  // The next tick scans the first player's file.
  window.controls().Fire("tmrMainEventTimer", ControlEvent::kTimer);
  EXPECT_EQ(window.timer().counters().inline_scan_position, 1);
  EXPECT_EQ(Get("lblStatus").text(), "Good to go");
}

}  // namespace
}  // namespace helmsman::ui
