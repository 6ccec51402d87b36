// End to end: the built libqvadmin.so, loaded by its file name as the console loads it,
// starts the real qvserver program from its server directory and works its console window
// in another process over the simulated desktop's sockets; qvserver-ctl plays the players.
// Every command waits whole seconds by design, so each path is taken once, and the groups
// run as separate test processes (ctest -j2 runs two at a time). Each process has a desktop
// folder of its own.
#include <fcntl.h>
#include <glib.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "admin/qvadmin_exports.h"
#include "admin/testing/loaded_exports.h"
#include "gamefiles/character_sheet.h"
#include "gamefiles/universe.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "platform/shared_library.h"
#include "simdesk/socket_desktop.h"

namespace helmsman {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr char kBinDir[] = HELMSMAN_BIN_DIR;
constexpr char kTitle[] = "QVServer - Version 1.0 Build 11 - QVServer";
constexpr int32_t kOwner = 0x4E2E;

QVAdmin_InitializeFn Initialize = nullptr;
QVAdmin_DoCommandFn DoCommand = nullptr;
QVAdmin_ReleaseFn Release = nullptr;

// One desktop folder per test process, set before the library is loaded (it keeps its
// shared fields there).
class LibraryEnvironment : public ::testing::Environment {
 public:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_e2e_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    base_ = pattern;
    ::setenv("HELMSMAN_DESKTOP", (base_ + "/desktop").c_str(), 1);
    ::setenv("QVSERVER_ERROR_LOG", (base_ + "/qv-server-errors.log").c_str(), 1);
    std::string error;
    ASSERT_TRUE(admin::testing::LoadExports(kBinDir, &exports_, &error)) << error;
    Initialize = exports_.Initialize;
    DoCommand = exports_.DoCommand;
    Release = exports_.Release;
  }
  void TearDown() override {
    exports_ = {};
    std::error_code ignored;  // a server killed a moment ago may still be letting go
    fs::remove_all(base_, ignored);
  }
  static std::string base() { return base_; }

 private:
  static inline std::string base_;
  admin::testing::LoadedExports exports_;
};

::testing::Environment* const kEnvironment =
    ::testing::AddGlobalTestEnvironment(new LibraryEnvironment);

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

// Runs a program of the build's bin folder and collects what it prints.
Outcome RunTool(const std::string& tool, const std::vector<std::string>& arguments) {
  std::string base = LibraryEnvironment::base();
  std::string out_path = base + "/tool.out", err_path = base + "/tool.err";
  pid_t child = ::fork();
  if (child == 0) {
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = ::open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(out, 1);
    ::dup2(err, 2);
    std::string program = std::string(kBinDir) + "/" + tool;
    std::vector<char*> argv = {program.data()};
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  int status = 0;
  ::waitpid(child, &status, 0);
  Outcome outcome;
  outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  std::ifstream out(out_path), err(err_path);
  std::stringstream out_text, err_text;
  out_text << out.rdbuf();
  err_text << err.rdbuf();
  outcome.out = out_text.str();
  outcome.err = err_text.str();
  return outcome;
}

// A process counts as ended once it is gone or only a zombie waiting for a parent that
// does not reap.
bool ProcessEnded(pid_t pid) {
  if (::kill(pid, 0) != 0) return true;
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  size_t close = text.rfind(')');
  return close != std::string::npos && close + 2 < text.size() && text[close + 2] == 'Z';
}

// Whether the process ends within a few seconds: its windows go first, then it winds down.
bool EndsSoon(pid_t pid) {
  for (int tries = 0; tries < 100; ++tries) {
    if (ProcessEnded(pid)) return true;
    ::usleep(50'000);
  }
  return false;
}

// The first window of this title in any process of the desktop.
bool WindowShown(const std::string& title) {
  for (simdesk::WindowService* peer : simdesk::SystemPeers().AllPeers())
    if (peer->FindTopLevel(title)) return true;
  return false;
}

class EndToEndTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(Initialize);
    server_dir_ = LibraryEnvironment::base() + "/" +
                  ::testing::UnitTest::GetInstance()->current_test_info()->name();
    root_ = server_dir_ + "/Accts/MultiPlayer";
    fs::create_directories(server_dir_);
    // Installed under another case than the library asks for ("qvserver.exe").
    fs::create_symlink(std::string(kBinDir) + "/qvserver", server_dir_ + "/QVServer.exe");
    gamefiles::AccountsOptions accounts;
    accounts.seed = 21;
    accounts.accounts = 4;
    accounts.root = root_;
    accounts.now_seconds = 1'780'000'000;
    accounts.characters_per_account = 2;
    accounts.banned_percent = 0;
    gamefiles::AccountsSummary summary;
    std::string error;
    ASSERT_TRUE(gamefiles::GenerateAccounts(gamefiles::MakeCatalogue(2026), accounts,
                                            platform::DiskFileSystem(), &summary, &error))
        << error;
    ASSERT_EQ(Initialize(kOwner, kTitle, server_dir_.c_str(), "--seed 4 --save-interval 600"), 1);
  }
  void TearDown() override {
    Release(kOwner);
    // Also any server a command started behind the test's back (from this test's folder).
    for (const auto& entry : fs::directory_iterator("/proc")) {
      pid_t pid = std::atoi(entry.path().filename().c_str());
      std::error_code unreadable;
      fs::path cwd = fs::read_symlink(entry.path() / "cwd", unreadable);
      if (pid > 0 && pid != ::getpid() && !unreadable && cwd.string().rfind(server_dir_, 0) == 0)
        servers_.insert(pid);
    }
    for (pid_t pid : servers_) ::kill(pid, SIGKILL);
    for (pid_t pid : servers_) EndsSoon(pid);
  }

  std::pair<int32_t, std::string> Command(const std::string& command) {
    std::vector<char> buffer(8000, '\0');
    int32_t result = DoCommand(command.c_str(), buffer.data(), 8000);
    return {result, buffer.data()};
  }
  Outcome Ctl(const std::vector<std::string>& arguments) {
    return RunTool("qvserver-ctl", arguments);
  }
  // Starts the server through the library and notes its process.
  pid_t StartServer() {
    auto [result, reply] = Command("start qvserver");
    EXPECT_EQ(result, 1) << reply;
    Outcome status = Ctl({"status"});
    EXPECT_EQ(status.code, 0) << status.err;
    pid_t pid = std::atoi(status.out.c_str() + status.out.find("pid ") + 4);
    servers_.insert(pid);
    return pid;
  }
  std::vector<std::string> Characters() {
    std::vector<std::string> names;
    for (const auto& account : fs::directory_iterator(root_)) {
      if (!account.is_directory()) continue;
      std::ifstream name_file(account.path() / "name");
      std::string name;
      std::getline(name_file, name);
      names.push_back(name.substr(0, name.size() - 1));  // without its CR
    }
    std::sort(names.begin(), names.end());
    return names;
  }
  std::string AccountOf(const std::string& name) {
    for (const auto& account : fs::directory_iterator(root_)) {
      std::ifstream name_file(account.path() / "name");
      std::string first;
      std::getline(name_file, first);
      if (first == name + "\r") return account.path().string();
    }
    return "";
  }
  static uint32_t PlayerId(const std::string& name) {
    uint32_t id = 0;
    for (char c : gamefiles::HexEncodeText(name))
      id += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
    return id;
  }
  static std::string ListLine(const std::string& name, bool selected = false) {
    return std::to_string(PlayerId(name)) + ": " + gamefiles::HexEncodeText(name) +
           (selected ? " <-- SELECTED\r\n" : "\r\n");
  }
  static int Seconds(Clock::time_point since) {
    return static_cast<int>(
        std::chrono::duration_cast<std::chrono::seconds>(Clock::now() - since).count());
  }

  std::string server_dir_, root_;
  std::set<pid_t> servers_;
};

TEST_F(EndToEndTest, StartListKickAndStop) {
  pid_t pid = StartServer();
  // Started from its folder with the options and "/c".
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd").string(), server_dir_);
  std::ifstream cmdline("/proc/" + std::to_string(pid) + "/cmdline");
  std::string arguments((std::istreambuf_iterator<char>(cmdline)),
                        std::istreambuf_iterator<char>());
  EXPECT_NE(arguments.find(std::string("--save-interval\0"
                                       "600\0/c",
                                       22)),
            std::string::npos);

  std::vector<std::string> names = Characters();
  ASSERT_EQ(Ctl({"join", names[0]}).code, 0);
  ASSERT_EQ(Ctl({"join", names[1]}).code, 0);
  auto [listed, list] = Command("list online");
  EXPECT_EQ(listed, 1);
  EXPECT_EQ(list, ListLine(names[0]) + ListLine(names[1]) + "list online SUCCESSFUL\r\n");

  EXPECT_EQ(Command("kick " + names[0]), std::make_pair(1, "kick " + names[0] + " SUCCESSFUL\r\n"));
  EXPECT_EQ(Command("list online").second, ListLine(names[1]) + "list online SUCCESSFUL\r\n");

  EXPECT_EQ(Command("stop qvserver"),
            std::make_pair(
                1, std::string("\r\nShutting down qvserver...\r\nstop qvserver SUCCESSFUL\r\n")));
  EXPECT_TRUE(EndsSoon(pid));
  EXPECT_FALSE(WindowShown(kTitle));
}

TEST_F(EndToEndTest, BanAndUnbanMarkTheAccountFolder) {
  StartServer();
  std::string name = Characters()[2];
  std::string banned = AccountOf(name) + "/banned";
  ASSERT_EQ(Ctl({"join", name}).code, 0);
  EXPECT_EQ(Command("ban " + name).first, 1);
  EXPECT_TRUE(fs::exists(banned));
  EXPECT_EQ(Ctl({"online"}).out, "");  // kicked with the ban
  Outcome refused = Ctl({"join", name});
  EXPECT_EQ(refused.code, 1);
  EXPECT_NE(refused.out.find("is banned"), std::string::npos) << refused.out;
  EXPECT_EQ(Command("unban " + name).first, 1);
  EXPECT_FALSE(fs::exists(banned));
  EXPECT_EQ(Ctl({"join", name}).code, 0);
}

TEST_F(EndToEndTest, KickOnlineAndBanOnlineActOnTheNameTheListShowsInHex) {
  StartServer();
  std::vector<std::string> names = Characters();
  ASSERT_EQ(Ctl({"join", names[0]}).code, 0);
  ASSERT_EQ(Ctl({"join", names[1]}).code, 0);
  ASSERT_NE(PlayerId(names[0]), PlayerId(names[1]));
  std::string kick = "kickonline " + std::to_string(PlayerId(names[0]));
  EXPECT_EQ(Command(kick), std::make_pair(1, ListLine(names[0], true) + ListLine(names[1]) + kick +
                                                 " SUCCESSFUL\r\n"));
  EXPECT_EQ(Ctl({"online"}).out, names[1] + "\n");
  EXPECT_FALSE(fs::exists(AccountOf(names[0]) + "/banned"));

  std::string ban = "banonline " + std::to_string(PlayerId(names[1]));
  EXPECT_EQ(Command(ban), std::make_pair(1, ListLine(names[1], true) + ban + " SUCCESSFUL\r\n"));
  EXPECT_EQ(Ctl({"online"}).out, "");
  EXPECT_TRUE(fs::exists(AccountOf(names[1]) + "/banned"));
}

TEST_F(EndToEndTest, ChatLinesAndSearches) {
  StartServer();
  EXPECT_EQ(Command("message a|b|").first, 1);
  std::ifstream chat(server_dir_ + "/chat.log");
  std::vector<std::string> lines;
  for (std::string line; std::getline(chat, line);) lines.push_back(line.substr(20));
  EXPECT_EQ(lines, (std::vector<std::string>{"Universe: a\r", "Universe: b\r", "Universe: \r"}));

  // A name without blanks: the search text of "searchban " ends at the first blank.
  std::string name;
  for (const std::string& candidate : Characters())
    if (candidate.find(' ') == std::string::npos) name = candidate;
  ASSERT_FALSE(name.empty());
  std::string lower = platform::LowerCodePage(name);
  auto [found, reply] = Command("search " + lower.substr(0, 3));
  EXPECT_EQ(found, 1);
  EXPECT_NE(reply.find(": " + lower + "\r\n"), std::string::npos) << reply;
  EXPECT_EQ(Command("searchban " + lower + " 1"),
            std::make_pair(1, "1: " + lower + "\r\nsearchban " + lower + " 1 SUCCESSFUL\r\n"));
  EXPECT_TRUE(fs::exists(AccountOf(name) + "/banned"));
}

TEST_F(EndToEndTest, AfterACrashStartClosesTheFailureDialogAndStartsAnew) {
  pid_t crashed = StartServer();
  ASSERT_EQ(Ctl({"crash"}).code, 0);
  EXPECT_TRUE(WindowShown("Quorvane-Server"));
  EXPECT_FALSE(WindowShown(kTitle));
  EXPECT_EQ(Command("list online"), std::make_pair(0, std::string("list online FAILED\r\n")));
  std::ifstream errors(LibraryEnvironment::base() + "/qv-server-errors.log");
  std::string error_line;
  std::getline(errors, error_line);
  EXPECT_NE(error_line.find(": Quorvane-Server failure: "), std::string::npos) << error_line;

  auto [result, reply] = Command("start qvserver");
  EXPECT_EQ(result, 1);
  EXPECT_EQ(reply, "Starting up qvserver...\r\nstart qvserver SUCCESSFUL\r\n");
  EXPECT_TRUE(EndsSoon(crashed));
  EXPECT_FALSE(WindowShown("Quorvane-Server"));
  Outcome status = Ctl({"status"});
  EXPECT_NE(status.out.find("state running\n"), std::string::npos) << status.out;
  servers_.insert(std::atoi(status.out.c_str() + 4));
}

TEST_F(EndToEndTest, AServerKilledInTheMiddleOfACommandFailsItWithoutHanging) {
  pid_t pid = StartServer();
  std::string name = Characters()[0];
  ASSERT_EQ(Ctl({"join", name}).code, 0);
  // The library keeps this process's events flowing while it waits: the kill comes from them.
  g_timeout_add(
      1500,
      [](gpointer data) -> gboolean {
        ::kill(static_cast<pid_t>(reinterpret_cast<intptr_t>(data)), SIGKILL);
        return G_SOURCE_REMOVE;
      },
      reinterpret_cast<gpointer>(static_cast<intptr_t>(pid)));
  auto start = Clock::now();
  EXPECT_EQ(Command("kick " + name), std::make_pair(0, "kick " + name + " FAILED\r\n"));
  // The dialog it waited for never came: 30 one-second looks at most, then it gave up.
  EXPECT_LE(Seconds(start), 40);
  EXPECT_TRUE(EndsSoon(pid));
  // The dead server's socket is no obstacle to the next one.
  pid_t next = StartServer();
  EXPECT_NE(next, pid);
}

TEST_F(EndToEndTest, AHungServerFailsTheCommandWithinTheSendBound) {
  StartServer();
  ASSERT_EQ(Ctl({"hang", "8"}).code, 0);
  auto start = Clock::now();
  EXPECT_EQ(Command("list online"), std::make_pair(0, std::string("list online FAILED\r\n")));
  EXPECT_LE(Seconds(start), 7);
  // Once it answers again, so does everything else.
  Outcome status = Ctl({"status"});
  EXPECT_EQ(status.code, 0) << status.err;
  EXPECT_EQ(Command("list online").second, "No players online\r\nlist online SUCCESSFUL\r\n");
}

// Regression: a stopped (not dead) server held "list online" for two minutes, every look
// for a dialog waiting out a send time-out of its own. Once one send has timed out, the
// command fails at once: one time-out (5 s) and the command's own few waits at most.
TEST_F(EndToEndTest, AStoppedServerFailsEveryCommandAfterOneTimeOut) {
  pid_t pid = StartServer();
  std::string name = Characters()[0];
  ASSERT_EQ(Ctl({"join", name}).code, 0);
  struct Resume {
    pid_t pid;
    ~Resume() { ::kill(pid, SIGCONT); }
  } resume{pid};
  ASSERT_EQ(::kill(pid, SIGSTOP), 0);
  for (const std::string& command :
       {std::string("list online"), "kick " + name, std::string("message anyone there?"),
        std::string("stop qvserver"), std::string("start qvserver")}) {
    auto start = Clock::now();
    auto [result, reply] = Command(command);
    EXPECT_EQ(result, 0) << command;
    EXPECT_EQ(reply, command + " FAILED\r\n");  // nothing started, nothing shut down
    EXPECT_LE(Seconds(start), 12) << command;
  }
  ::kill(pid, SIGCONT);
  // Running again, it answers as before.
  EXPECT_EQ(Command("list online").second, ListLine(name) + "list online SUCCESSFUL\r\n");

  // Stopped while the command waits for its dialog (the stop comes from this process's
  // events, which the library keeps flowing).
  g_timeout_add(
      1500,
      [](gpointer data) -> gboolean {
        ::kill(static_cast<pid_t>(reinterpret_cast<intptr_t>(data)), SIGSTOP);
        return G_SOURCE_REMOVE;
      },
      reinterpret_cast<gpointer>(static_cast<intptr_t>(pid)));
  auto start = Clock::now();
  EXPECT_EQ(Command("list online"), std::make_pair(0, std::string("list online FAILED\r\n")));
  EXPECT_LE(Seconds(start), 12);
}

// Regression: a server folder whose path holds a blank was split at the blank, and the
// server never came up.
TEST_F(EndToEndTest, AServerFolderWithABlankInItsPathStarts) {
  Release(kOwner);
  std::string folder = server_dir_ + "/Space Games";
  fs::create_directories(folder);
  fs::create_symlink(std::string(kBinDir) + "/qvserver", folder + "/QVServer.exe");
  ASSERT_EQ(Initialize(kOwner, kTitle, folder.c_str(), "--seed 4"), 1);
  auto start = Clock::now();
  pid_t pid = StartServer();
  EXPECT_LE(Seconds(start), 20);
  EXPECT_EQ(fs::read_symlink("/proc/" + std::to_string(pid) + "/cwd").string(), folder);
}

TEST_F(EndToEndTest, BadFramesAreRefusedAndTheServerGoesOnServing) {
  StartServer();
  std::string socket_path;
  for (const auto& entry : fs::directory_iterator(LibraryEnvironment::base() + "/desktop"))
    if (entry.path().extension() == ".sock") socket_path = entry.path().string();
  ASSERT_FALSE(socket_path.empty());
  auto send_and_wait_for_close = [&socket_path](const std::string& bytes) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socket_path.c_str());
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    timeval bound = {5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &bound, sizeof bound);
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &bound, sizeof bound);
    ssize_t sent = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    char byte;
    ssize_t got = ::recv(fd, &byte, 1, 0);
    ::close(fd);
    return std::make_pair(sent, got);
  };
  auto [garbage_sent, garbage_answer] = send_and_wait_for_close("HELO qvserver\r\n");
  EXPECT_EQ(garbage_sent, 15);
  EXPECT_LE(garbage_answer, 0);  // closed without an answer
  std::string huge("SMD1\x00\x00\xA0\x00", 8);
  huge.resize(8 + 10 * 1024 * 1024, 'x');
  auto [huge_sent, huge_answer] = send_and_wait_for_close(huge);
  EXPECT_LT(huge_sent, static_cast<ssize_t>(huge.size()));  // cut off long before the end
  EXPECT_LE(huge_answer, 0);

  EXPECT_EQ(Command("list online").second, "No players online\r\nlist online SUCCESSFUL\r\n");
  std::ifstream log(server_dir_ + "/qvserver.log");
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_NE(text.find("desktop: rejected a frame from process " + std::to_string(::getpid()) +
                      ": a frame does not begin with the desktop's magic"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(": a frame announces 10485760 bytes, more than the 1048576 allowed"),
            std::string::npos)
      << text;
}

TEST_F(EndToEndTest, ADesktopFolderOpenToOthersIsRefusedWithAClearMessage) {
  std::string desktop = LibraryEnvironment::base() + "/desktop";
  fs::create_directories(desktop);
  ASSERT_EQ(::chmod(desktop.c_str(), 0755), 0);
  std::string expected =
      "the desktop folder " + desktop + " is open to other users (its mode must be 0700)";
  Outcome server = RunTool("qvserver", {"--server-dir", server_dir_, "/c"});
  EXPECT_EQ(server.code, 1);
  EXPECT_EQ(server.err, "qvserver: cannot join the desktop: " + expected + "\n");
  Outcome control = Ctl({"status"});
  EXPECT_EQ(control.code, 3);
  EXPECT_EQ(control.err, "qvserver-ctl: " + expected + "\n");
  ASSERT_EQ(::chmod(desktop.c_str(), 0700), 0);
}

}  // namespace
}  // namespace helmsman
