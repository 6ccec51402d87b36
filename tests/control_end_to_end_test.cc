// End to end: the helmsman program runs headless over a small universe and starts the real
// qvserver; from "another shell" helmsman-ctl finds an online player, selects it and clicks
// "Kick" with --answer ok, and the player leaves the server. A second console on the same
// program folder refuses to start, a follower of the server log sees the kick, and another
// user cannot reach the control socket. A banned row chosen before a ban toggle rebuilt the
// lists gives nobody a ban end afterwards. A character is opened in the player editor,
// changed, saved and closed through helmsman-ctl alone.
#include <pwd.h>

#include <algorithm>
#include <cstdlib>

#include "codec/scramble.h"
#include "console/ui/control/control_protocol.h"
#include "platform/process.h"
#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

namespace control = ui::control;

// A program run in the background with its output in a file.
struct Child {
  pid_t pid = -1;
  std::string out_path;
  int code = -1;

  std::string Output() const {
    std::ifstream out(out_path);
    return std::string(std::istreambuf_iterator<char>(out), std::istreambuf_iterator<char>());
  }
  // Waits for it to end; false when it is still running after the bound (it is killed then).
  bool Wait(std::chrono::seconds bound) {
    const auto deadline = SteadyClock::now() + bound;
    for (;;) {
      int status = 0;
      const pid_t ended = ::waitpid(pid, &status, WNOHANG);
      if (ended == pid) {
        code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return true;
      }
      if (SteadyClock::now() > deadline) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &status, 0);
        return false;
      }
      ::usleep(20'000);
    }
  }
};

// Starts program with arguments; as user (a name) when not empty.
Child Start(const std::string& program, std::vector<std::string> arguments,
            const std::string& out_path, const std::string& user = "") {
  Child child;
  child.out_path = out_path;
  child.pid = ::fork();
  if (child.pid == 0) {
    const int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ::dup2(out, 1);
    ::dup2(out, 2);
    if (!user.empty()) {
      const struct passwd* entry = ::getpwnam(user.c_str());
      if (entry == nullptr || ::setgid(entry->pw_gid) != 0 || ::setuid(entry->pw_uid) != 0) {
        ::_exit(126);
      }
    }
    std::vector<char*> argv;
    std::string copy = program;
    argv.push_back(copy.data());
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    ::execv(program.c_str(), argv.data());
    ::_exit(127);
  }
  return child;
}

class ControlEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings*) override {
    accounts->seed = 41;
    accounts->accounts = 3;
    accounts->characters_per_account = 2;
  }
  void TearDown() override {
    if (console_.pid > 0 && ::kill(console_.pid, 0) == 0) {
      ::kill(console_.pid, SIGTERM);
      console_.Wait(std::chrono::seconds(30));
    }
    window_.reset();  // the console ran as a program of its own
    ConsoleFixture::TearDown();
  }

  // Runs helmsman-ctl --home program_ with the words and waits for it.
  CtlOutcome HelmsmanCtl(const std::vector<std::string>& words, const std::string& user = "") {
    std::vector<std::string> arguments = {"--home", program_};
    arguments.insert(arguments.end(), words.begin(), words.end());
    Child ctl = Start(std::string(kBinDir) + "/helmsman-ctl", arguments,
                      ConsoleTestFolder::base() + "/helmsman-ctl.out", user);
    EXPECT_TRUE(ctl.Wait(std::chrono::seconds(120)));
    return CtlOutcome{ctl.code, ctl.Output()};
  }
  template <typename Predicate>
  bool Eventually(Predicate done, std::chrono::seconds bound) {
    const auto deadline = SteadyClock::now() + bound;
    while (!done()) {
      if (SteadyClock::now() > deadline) return false;
      ::usleep(200'000);
    }
    return true;
  }
  std::vector<std::string> Rows(const std::string& list) {
    std::vector<std::string> rows;
    std::istringstream lines(HelmsmanCtl({"get", list}).out);
    for (std::string line; std::getline(lines, line);) {
      const size_t colon = line.find(": ");
      if (line.rfind("  ", 0) == 0 && colon != std::string::npos)
        rows.push_back(line.substr(colon + 2));
    }
    return rows;
  }
  // A field of "get NAME" ("text", "enabled" ...).
  std::string Field(const std::string& control, const std::string& field) {
    std::istringstream lines(HelmsmanCtl({"get", control}).out);
    for (std::string line; std::getline(lines, line);) {
      if (line.rfind(field + ": ", 0) == 0) return line.substr(field.size() + 2);
    }
    return "";
  }
  void WaitUntilRunning() {
    ASSERT_TRUE(Eventually(
        [&] { return HelmsmanCtl({"status"}).out.find("server: running") != std::string::npos; },
        std::chrono::seconds(90)))
        << console_.Output();
  }
  Child StartConsole(const std::string& out_name) {
    return Start(std::string(kBinDir) + "/helmsman",
                 {"--headless", "--home", program_, "--run-for", "300"},
                 ConsoleTestFolder::base() + "/" + out_name);
  }

  Child console_;
};

TEST_F(ControlEndToEndTest, AnOnlinePlayerIsKickedFromAnotherShell) {
  console_ = StartConsole("helmsman.out");
  ASSERT_TRUE(Eventually(
      [&] { return HelmsmanCtl({"status"}).out.find("server: running") != std::string::npos; },
      std::chrono::seconds(90)))
      << console_.Output();

  // One console per program folder.
  Child second = StartConsole("second.out");
  ASSERT_TRUE(second.Wait(std::chrono::seconds(30)));
  EXPECT_EQ(second.code, 1);
  EXPECT_NE(second.Output().find("another console is already running on the program folder"),
            std::string::npos)
      << second.Output();

  const std::vector<std::string> players = Rows("lstPlayers");
  ASSERT_EQ(players.size(), 6u);
  const std::string name = players[1];
  ASSERT_EQ(Ctl({"join", name}).code, 0);
  ASSERT_EQ(HelmsmanCtl({"click", "cmdUpdatePlayersOnline"}).code, 0);
  ASSERT_TRUE(Eventually(
      [&] {
        const std::vector<std::string> online = Rows("lstPlayersOnline");
        return std::find(online.begin(), online.end(), name) != online.end();
      },
      std::chrono::seconds(30)));

  Child follower = Start(std::string(kBinDir) + "/helmsman-ctl",
                         {"--home", program_, "log", "--follow", "server"},
                         ConsoleTestFolder::base() + "/follower.out");
  const CtlOutcome selected = HelmsmanCtl({"select", "lstPlayersOnline", "=" + name});
  EXPECT_EQ(selected.code, 0) << selected.out;
  const CtlOutcome kicked = HelmsmanCtl({"click", "cmdKickPlayer", "--answer", "ok"});
  EXPECT_EQ(kicked.code, 0) << kicked.out;
  EXPECT_NE(
      kicked.out.find("[question] Kick Confirmation: Kick player " + name + "? -> OK (--answer)"),
      std::string::npos)
      << kicked.out;

  // The server no longer has the player, and the console says so.
  EXPECT_EQ(Ctl({"online"}).out.find(name), std::string::npos);
  EXPECT_NE(HelmsmanCtl({"log", "server"}).out.find(": Player " + name + " kicked by helmsman"),
            std::string::npos);
  // The journal names the request's user as the one who kicked.
  const std::string journal = HelmsmanCtl({"journal", "--player", name}).out;
  EXPECT_NE(journal.find(" kick helmsman-ctl:" + platform::CurrentUserName() + " "),
            std::string::npos)
      << journal;
  // Refusals: the kick button is greyed out again, a name the console does not have.
  EXPECT_EQ(HelmsmanCtl({"click", "cmdKickPlayer"}).code, control::kExitRefused);
  EXPECT_EQ(HelmsmanCtl({"click", "cmdNoSuchButton"}).code, control::kExitBadRequest);

  ::kill(console_.pid, SIGTERM);
  ASSERT_TRUE(console_.Wait(std::chrono::seconds(60)));
  EXPECT_EQ(console_.code, 0);
  EXPECT_FALSE(fs::exists(control::ControlSocketPath(program_)));
  // The follower saw the kick as it happened and ended with the console.
  ASSERT_TRUE(follower.Wait(std::chrono::seconds(10)));
  EXPECT_EQ(follower.code, 0);
  EXPECT_NE(follower.Output().find(": Player " + name + " kicked by helmsman"), std::string::npos)
      << follower.Output();
  // Nothing is left to talk to.
  EXPECT_EQ(HelmsmanCtl({"status"}).code, control::kExitUnreachable);
}

// The banned list kept its selected index across the rebuild that a ban toggle makes, with
// "Set Unban Time" enabled: the click gave a ban end to whoever had moved into that row.
TEST_F(ControlEndToEndTest, SetUnbanTimeAfterABanToggleRebuildActsOnNobody) {
  console_ = StartConsole("helmsman-bans.out");
  WaitUntilRunning();
  const std::vector<std::string> players = Rows("lstPlayers");
  ASSERT_EQ(players.size(), 6u);
  auto ban = [&](const std::string& name) {
    ASSERT_EQ(HelmsmanCtl({"select", "lstPlayers", "=" + name}).code, 0);
    const CtlOutcome banned = HelmsmanCtl({"click", "cmdBanToggle", "--answer", "ok"});
    ASSERT_EQ(banned.code, 0) << banned.out;
    ASSERT_NE(banned.out.find("Ban player " + name + "? -> OK"), std::string::npos) << banned.out;
  };
  ban(players.back());
  const std::vector<std::string> before = Rows("lstBannedPlayers");
  ASSERT_FALSE(before.empty());
  ASSERT_EQ(std::find(before.begin(), before.end(), players.front()), before.end());

  ASSERT_EQ(HelmsmanCtl({"select", "lstBannedPlayers", "0"}).code, 0);
  ASSERT_EQ(HelmsmanCtl({"check", "optBanDuration_1", "1"}).code, 0);
  ASSERT_EQ(Field("cmdSetUnbanTime", "enabled"), "yes");

  // The first player's account is banned now and listed first: the row chosen above holds
  // another player than before.
  ban(players.front());
  const std::vector<std::string> after = Rows("lstBannedPlayers");
  ASSERT_EQ(after.front(), players.front());
  EXPECT_EQ(Field("lstBannedPlayers", "selected"), "-1");
  EXPECT_EQ(Field("cmdSetUnbanTime", "enabled"), "no");
  const CtlOutcome set = HelmsmanCtl({"click", "cmdSetUnbanTime"});
  EXPECT_EQ(set.code, control::kExitRefused) << set.out;

  for (const std::string& name : after) {
    ASSERT_EQ(HelmsmanCtl({"select", "lstBannedPlayers", "=" + name}).code, 0);
    EXPECT_EQ(Field("lblPlayerBannedUntil", "text"), "Player Banned Indefinitely") << name;
  }
}

// The decoded lines of a character file ({} when it cannot be read or decoded).
std::vector<std::string> DecodedLines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  const std::string scrambled((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
  std::string plain;
  std::vector<std::string> lines;
  if (!codec::DecodeText(scrambled, &plain)) return lines;
  for (size_t start = 0, end; (end = plain.find("\r\n", start)) != std::string::npos;
       start = end + 2) {
    if (end > start) lines.push_back(plain.substr(start, end - start));
  }
  return lines;
}

// Without a window, the editor is opened, edited, saved and closed by helmsman-ctl; its
// inactivity count runs meanwhile, and the console goes on by itself afterwards.
TEST_F(ControlEndToEndTest, ACharacterIsEditedAndSavedFromAnotherShell) {
  console_ = StartConsole("helmsman-editor.out");
  WaitUntilRunning();
  const std::string name = Rows("lstPlayers").front();
  ASSERT_EQ(HelmsmanCtl({"select", "lstPlayers", "=" + name}).code, 0);
  EXPECT_EQ(HelmsmanCtl({"get", "frmEditPlayer.txtPlayerMoney"}).code, control::kExitRefused);
  const CtlOutcome opened =
      HelmsmanCtl({"click", "cmdEditPlayer", "--answer", "ok", "--answer", "ok"});
  ASSERT_EQ(opened.code, 0) << opened.out;
  const std::string status = HelmsmanCtl({"status"}).out;
  EXPECT_NE(status.find("\ntimer: stopped\n"), std::string::npos) << status;
  EXPECT_NE(status.find("\neditor: frmEditPlayer editing " + name + ", idle "), std::string::npos)
      << status;
  EXPECT_NE(HelmsmanCtl({"list"}).out.find("\nfrmEditPlayer.cmdSave "), std::string::npos);

  const std::string path = Field("frmEditPlayer.txtPlayerFileName", "text");
  const std::vector<std::string> before = DecodedLines(path);
  ASSERT_FALSE(before.empty()) << path;
  EXPECT_EQ(Field("frmEditPlayer.txtPlayerName", "text"), name);
  ASSERT_EQ(HelmsmanCtl({"set", "frmEditPlayer.txtPlayerMoney", "4242"}).code, 0);
  const std::vector<std::string> shields = Rows("frmEditPlayer.cmbPlayerShield");
  const int fitted = std::atoi(Field("frmEditPlayer.cmbPlayerShield", "selected").c_str());
  ASSERT_GE(fitted, 0);
  ASSERT_GE(shields.size(), 2u);
  const std::string other = shields[(fitted + 1) % shields.size()];
  ASSERT_EQ(HelmsmanCtl({"select", "frmEditPlayer.cmbPlayerShield", "=" + other}).code, 0);
  ASSERT_EQ(HelmsmanCtl({"click", "frmEditPlayer.cmdRefreshFileView"}).code, 0);
  const std::vector<std::string> edited = Rows("frmEditPlayer.lstFileView");

  // The console's loop counts the editor's idle seconds as its window would.
  ::sleep(3);
  const std::string idle = HelmsmanCtl({"status"}).out;
  EXPECT_EQ(idle.find("idle 0 s"), std::string::npos) << idle;

  const CtlOutcome saved =
      HelmsmanCtl({"click", "frmEditPlayer.cmdSave", "--answer", "ok", "--answer", "ok"});
  EXPECT_EQ(saved.code, 0) << saved.out;
  EXPECT_NE(saved.out.find("[message] Helmsman: File successfully re-encoded with new changes"),
            std::string::npos)
      << saved.out;
  EXPECT_NE(saved.out.find("Unban player " + name + "? -> OK (--answer)"), std::string::npos)
      << saved.out;

  // The file holds the money and the other shield, and nothing else changed.
  const std::vector<std::string> after = DecodedLines(path);
  EXPECT_EQ(after, edited);
  ASSERT_EQ(after.size(), before.size());
  std::vector<std::string> changed;
  for (size_t i = 0; i < after.size(); ++i) {
    if (after[i] != before[i]) changed.push_back(before[i] + " -> " + after[i]);
  }
  std::sort(changed.begin(), changed.end());  // "equip = " before "money = "
  ASSERT_EQ(changed.size(), 2u) << ::testing::PrintToString(changed);
  EXPECT_EQ(changed[0].rfind("equip = ", 0), 0u) << changed[0];
  EXPECT_NE(changed[1].find(" -> money = 4242"), std::string::npos) << changed[1];

  const std::string closed = HelmsmanCtl({"status"}).out;
  EXPECT_EQ(closed.find("editor:"), std::string::npos) << closed;
  EXPECT_NE(closed.find("\ntimer: running"), std::string::npos) << closed;
  EXPECT_EQ(HelmsmanCtl({"get", "frmEditPlayer.txtPlayerMoney"}).code, control::kExitRefused);
  const std::string log = HelmsmanCtl({"log", "server"}).out;
  EXPECT_NE(log.find(": Player " + name + " banned by helmsman for edit"), std::string::npos);
  EXPECT_NE(log.find(": Player " + name + " unbanned by helmsman after edit"), std::string::npos);
  // The journal has the save with both changed fields, between the edit ban and its unban.
  const std::string journal = HelmsmanCtl({"journal", "--player", name, "--json"}).out;
  const size_t edit = journal.find("\"action\":\"edit\"");
  EXPECT_LT(journal.find("\"action\":\"ban\""), edit) << journal;
  EXPECT_NE(journal.find(" -> 4242\"", edit), std::string::npos) << journal;
  EXPECT_NE(journal.find("\"equip\":\"", edit), std::string::npos) << journal;
  EXPECT_NE(journal.find("\"action\":\"unban\"", edit), std::string::npos) << journal;
}

TEST_F(ControlEndToEndTest, AnotherUserCannotReachTheConsole) {
  if (::geteuid() != 0 || std::system("command -v useradd >/dev/null 2>&1") != 0) {
    GTEST_SKIP() << "creating a user needs root and useradd";
  }
  const std::string user = "helmsmanctl-e2e";
  const bool created = ::getpwnam(user.c_str()) == nullptr;
  if (created) {
    ASSERT_EQ(std::system(("useradd --system --no-create-home --shell /usr/sbin/nologin " + user +
                           " >/dev/null 2>&1")
                              .c_str()),
              0);
  }
  console_ = StartConsole("helmsman-user.out");
  ASSERT_TRUE(
      Eventually([&] { return HelmsmanCtl({"status"}).code == 0; }, std::chrono::seconds(90)))
      << console_.Output();
  // Let the other user run the client and see the folder's outer parts, as on a shared
  // machine; the control folder itself stays closed.
  ::chmod(ConsoleTestFolder::base().c_str(), 0755);
  const CtlOutcome refused = HelmsmanCtl({"status"}, user);
  EXPECT_EQ(refused.code, control::kExitUnreachable) << refused.out;
  EXPECT_NE(refused.out.find("permission denied"), std::string::npos) << refused.out;
  EXPECT_EQ(refused.out.find("server:"), std::string::npos);
  ::chmod(ConsoleTestFolder::base().c_str(), 0700);
  if (created) std::system(("userdel " + user + " >/dev/null 2>&1").c_str());
}

}  // namespace
}  // namespace helmsman::e2e
