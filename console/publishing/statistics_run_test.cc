#include "console/publishing/statistics_run.h"

#include <errno.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "console/players/player_files_testing.h"
#include "platform/process.h"

namespace helmsman::publishing {
namespace {

using players::testing::Messages;
using Strings = std::vector<std::string>;

class StatisticsRunTest : public ::testing::Test {
 protected:
  StatisticsRunTest() {
    s_.txtQVStatExePath = WriteProgram("qvstat.exe", "#!/bin/sh\necho '<TR><TD>row</TD></TR>'\n");
    s_.txtQVStatHeaderPath = Write("head.htt", "<TABLE>\n");
    s_.txtQVStatFooterPath = Write("foot.htt", "</TABLE>\n");
    s_.txtQVStatOutputPath = Path("stats.html");
  }
  std::string Path(const std::string& name) {
    return platform::JoinPath(world_.program_folder, name);
  }
  std::string Write(const std::string& name, const std::string& text) {
    world_.files.WriteFile(Path(name), text, nullptr);
    return Path(name);
  }
  std::string WriteProgram(const std::string& name, const std::string& text) {
    Write(name, text);
    std::filesystem::permissions(Path(name), std::filesystem::perms::owner_exec,
                                 std::filesystem::perm_options::add);
    return Path(name);
  }
  std::string Read(const std::string& path) {
    std::string text;
    world_.files.ReadFile(path, &text, nullptr);
    return text;
  }
  // Waits (at most 20 s) for a file a detached script writes last.
  void WaitFor(const std::string& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!world_.files.FileExists(path) && std::chrono::steady_clock::now() < deadline) {
      std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
  }
  void CheckAll() {
    s_.chkQVStatShowTopNPlayers = s_.chkQVStatShowPlayersAtRankN = 1;
    s_.chkQVStatShowPlayersPlayedWithinNDays = s_.chkQVStatHighlightPlayersWithinLastNHours = 1;
    s_.chkQVStatHighlightCheatersSensitivity = s_.chkQVStatSaveCPUCyclesPauseDuration = 1;
    s_.chkQVStatShowPlayerPOS = 1;
  }

  players::testing::TestWorld world_;
  settings::Settings s_;
  ui::StatusLine status_;
  Strings started_;
  PublishingServices services_{
      world_.files, world_.logs, status_, world_.program_folder,
      [this](const std::string& script, const std::string& directory, std::string*) {
        started_.push_back(script + " in " + directory);
        return true;
      }};
};

// Every path in double quotes, so that a tool under a folder with a blank runs (unquoted,
// cmd.exe ran "C:\Program" and the page got an empty table), and a "%" doubled, so that the
// batch file does not expand it.
TEST_F(StatisticsRunTest, BatchFormQuotesEveryPathOfTheToolsCommandLineAndCopy) {
  s_.txtQVStatExePath = "C:\\Program Files\\Stat Tools\\QVStat.exe";
  s_.txtQVStatHeaderPath = "C:\\Web Parts\\head.htt";
  s_.txtQVStatFooterPath = "C:\\Web Parts\\100%foot.htt";
  s_.txtQVStatOutputPath = "C:\\www\\stats.html";
  const std::string middle =
      "\"" + platform::JoinPath(world_.program_folder, "QVStatMiddle.txt") + "\"";
  EXPECT_EQ(StatisticsScriptLines(s_, world_.program_folder, ScriptForm::kBatch),
            (Strings{"@\"C:\\Program Files\\Stat Tools\\QVStat.exe\">" + middle,
                     "@copy /B \"C:\\Web Parts\\head.htt\"+" + middle +
                         "+\"C:\\Web Parts\\100%%foot.htt\" \"C:\\www\\stats.html\""}));
  CheckAll();
  EXPECT_EQ(StatisticsScriptLines(s_, world_.program_folder, ScriptForm::kBatch)[0],
            "@\"C:\\Program Files\\Stat Tools\\QVStat.exe\" -top 50 -rank 10 -days 7 -active 2 "
            "-cheats 30 -nice 50 -pos >" +
                middle);
}

TEST_F(StatisticsRunTest, ShellFormQuotesEveryPathBoundsEachStepAndReplacesThePageWhole) {
  s_.txtQVStatExePath = "/opt/it's here/qvstat";
  s_.txtQVStatOutputPath = "/www/$HOME/stats.html";
  s_.chkQVStatShowPlayersAtRankN = 1;
  s_.vscQVStatShowPlayersAtRankN = 12;
  s_.chkQVStatShowPlayerPOS = 1;
  s_.vscStatsGenerationInterval = 5;
  const std::string middle =
      "'" + platform::JoinPath(world_.program_folder, "QVStatMiddle.txt") + "'";
  EXPECT_EQ(
      StatisticsScriptLines(s_, world_.program_folder, ScriptForm::kPosixShell),
      (Strings{
          "timeout -k 10 300 '/opt/it'\\''s here/qvstat' -rank 12 -pos >" + middle + " || exit 1",
          "part=$(mktemp '/www/$HOME/stats.html.XXXXXX') || exit 1",
          "timeout -k 10 300 cat '" + s_.txtQVStatHeaderPath + "' " + middle + " '" +
              s_.txtQVStatFooterPath +
              "' >\"$part\" && chmod \"$(printf %o $((0666 & ~0$(umask))))\" \"$part\" && "
              "mv -f \"$part\" '/www/$HOME/stats.html' || { rm -f \"$part\"; exit 1; }"}));
}

TEST_F(StatisticsRunTest, MissingPathsStopTheRunWithTheirLogLine) {
  const std::pair<std::string settings::Settings::*, std::string> breaks[] = {
      {&settings::Settings::txtQVStatExePath, Path("nothing.exe")},
      {&settings::Settings::txtQVStatHeaderPath, ""},
      {&settings::Settings::txtQVStatFooterPath, world_.program_folder},
      {&settings::Settings::txtQVStatOutputPath, ""}};
  for (const auto& [field, value] : breaks) {
    settings::Settings broken = s_;
    broken.*field = value;
    RunStatistics(services_, broken);
    EXPECT_EQ(status_.text(), kQVStatMissingFilesStatus);
  }
  EXPECT_EQ(Messages(world_.Errors()), Strings(4, kQVStatMissingFilesLog));
  EXPECT_TRUE(world_.Activity().empty());
  EXPECT_EQ(started_, Strings{});
  EXPECT_FALSE(world_.files.FileExists(Path("QVStatUpdate.cmd")));
}

TEST_F(StatisticsRunTest, RunWritesTheScriptWithTheFollowUpLinesAndStartsIt) {
  s_.txtPostStatsGenerationScriptFile = Write("after.cmd", "echo one\r\necho two\r\n");
  std::vector<std::string> statuses;
  status_.set_observer([&](const std::string& text) { statuses.push_back(text); });
  RunStatistics(services_, s_, ScriptForm::kPosixShell);
  std::string script;
  for (const std::string& line :
       StatisticsScriptLines(s_, world_.program_folder, ScriptForm::kPosixShell)) {
    script += line + "\n";
  }
  EXPECT_EQ(Read(Path("QVStatUpdate.cmd")), script + "echo one\necho two\n");
  EXPECT_EQ(started_, Strings{Path("QVStatUpdate.cmd") + " in " + world_.program_folder});
  EXPECT_EQ(statuses, (Strings{kRunningQVStatStatus, kQVStatExecutedStatus}));
  EXPECT_EQ(Messages(world_.Activity()), Strings{kQVStatExecutedLog});

  // A follow-up script that is gone is skipped; the batch form keeps CR LF.
  s_.txtPostStatsGenerationScriptFile = Path("gone.cmd");
  RunStatistics(services_, s_, ScriptForm::kBatch);
  const Strings batch = StatisticsScriptLines(s_, world_.program_folder, ScriptForm::kBatch);
  EXPECT_EQ(Read(Path("QVStatUpdate.cmd")), batch[0] + "\r\n" + batch[1] + "\r\n");
  EXPECT_TRUE(world_.Errors().empty());
}

// The program folder's entries, sorted.
Strings Entries(const std::string& folder) {
  Strings names;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The generated script run for real by /bin/sh, started detached: the page is the header,
// the tool's output and the footer, made with the mode a new file gets, with no temporary
// file left beside it, and the console is left with no child to reap.
TEST_F(StatisticsRunTest, GeneratedScriptProducesThePageDetached) {
  s_.txtPostStatsGenerationScriptFile =
      Write("after.cmd", "echo done > '" + Path("after.txt") + "'\n");
  services_.start_script = platform::StartScriptDetached;
  RunStatistics(services_, s_);
  ASSERT_TRUE(world_.Errors().empty()) << world_.Errors()[0];
  WaitFor(Path("after.txt"));
  EXPECT_EQ(Read(Path("stats.html")), "<TABLE>\n<TR><TD>row</TD></TR>\n</TABLE>\n");
  const mode_t mask = ::umask(0);
  ::umask(mask);
  EXPECT_EQ(std::filesystem::status(Path("stats.html")).permissions(),
            static_cast<std::filesystem::perms>(0666 & ~mask));
  EXPECT_EQ(Entries(world_.program_folder),
            (Strings{"QVStatMiddle.txt", "QVStatUpdate.cmd", "after.cmd", "after.txt", "foot.htt",
                     "head.htt", "qvstat.exe", "stats.html"}));
  errno = 0;
  EXPECT_EQ(::waitpid(-1, nullptr, WNOHANG), -1);
  EXPECT_EQ(errno, ECHILD);
}

// Regression: the script built the page in "<page>.part", a name anyone could know in
// advance, so a link planted there had the page written into the file it pointed at, and
// then the link itself renamed over the page.
TEST_F(StatisticsRunTest, ALinkPlantedBesideThePageDoesNotRedirectIt) {
  const std::string victim = Write("victim.txt", "not to be touched\n");
  std::filesystem::create_symlink(victim, Path("stats.html.part"));
  s_.txtPostStatsGenerationScriptFile =
      Write("after.cmd", "echo done > '" + Path("after.txt") + "'\n");
  services_.start_script = platform::StartScriptDetached;
  RunStatistics(services_, s_);
  WaitFor(Path("after.txt"));
  EXPECT_EQ(Read(victim), "not to be touched\n");
  EXPECT_FALSE(std::filesystem::is_symlink(Path("stats.html")));
  EXPECT_EQ(Read(Path("stats.html")), "<TABLE>\n<TR><TD>row</TD></TR>\n</TABLE>\n");
}

// Regression: a named pipe as the header or footer left a /bin/sh and its cat waiting on it
// for good at every run. What is no regular file is refused before the script is written.
TEST_F(StatisticsRunTest, AHeaderOrFooterThatIsNoFileIsRefusedBeforeTheScriptIsWritten) {
  const std::string pipe = Path("pipe.htt");
  ASSERT_EQ(::mkfifo(pipe.c_str(), 0644), 0);
  std::filesystem::create_symlink("/dev/zero", Path("zero.htt"));
  const std::pair<std::string settings::Settings::*, std::string> refused[] = {
      {&settings::Settings::txtQVStatHeaderPath, pipe},
      {&settings::Settings::txtQVStatFooterPath, pipe},
      {&settings::Settings::txtQVStatFooterPath, Path("zero.htt")}};
  Strings expected;
  for (const auto& [field, path] : refused) {
    settings::Settings broken = s_;
    broken.*field = path;
    RunStatistics(services_, broken, ScriptForm::kPosixShell);
    expected.push_back(": QVStat is not run - cannot read " + path + ": not a regular file");
  }
  EXPECT_EQ(Messages(world_.Errors()), expected);
  EXPECT_TRUE(world_.Activity().empty());
  EXPECT_EQ(started_, Strings{});
  EXPECT_FALSE(world_.files.FileExists(Path("QVStatUpdate.cmd")));
}

// The script is run to its end here (not detached), so that what it did can be told: the
// tool ran and failed, the script stopped there with its own failure, the follow-up lines
// did not run, and the page before is untouched with no temporary page beside it.
TEST_F(StatisticsRunTest, ToolThatFailsLeavesThePageBefore) {
  s_.txtQVStatExePath = WriteProgram("broken", "echo partial; exit 3\n");
  s_.txtPostStatsGenerationScriptFile =
      Write("after.cmd", "echo done > '" + Path("after.txt") + "'\n");
  Write("stats.html", "the page before");
  int status = -1;
  services_.start_script = [&](const std::string& script, const std::string& directory,
                               std::string*) {
    started_.push_back(script + " in " + directory);
    status = std::system(("cd " + ShellQuote(directory) + " && /bin/sh " + ShellQuote(script))
                             .c_str());
    return true;
  };
  RunStatistics(services_, s_, ScriptForm::kPosixShell);
  EXPECT_EQ(started_, Strings{Path("QVStatUpdate.cmd") + " in " + world_.program_folder});
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 1);
  EXPECT_EQ(Read(Path("QVStatMiddle.txt")), "partial\n");
  EXPECT_EQ(Read(Path("stats.html")), "the page before");
  EXPECT_FALSE(world_.files.FileExists(Path("after.txt")));
  EXPECT_EQ(Entries(world_.program_folder),
            (Strings{"QVStatMiddle.txt", "QVStatUpdate.cmd", "after.cmd", "broken", "foot.htt",
                     "head.htt", "qvstat.exe", "stats.html"}));
}

TEST(StartScriptDetachedTest, RefusesWhatIsNoFileAndRunsAScriptWithoutModeBits) {
  std::string error;
  EXPECT_FALSE(platform::StartScriptDetached("/no/such/script.cmd", "/", &error));
  EXPECT_EQ(error, "cannot start /no/such/script.cmd: not a file");
  EXPECT_FALSE(platform::StartScriptDetached("/tmp", "/", &error));
  players::testing::TestWorld world;
  const std::string script = platform::JoinPath(world.program_folder, "plain.cmd");
  // Mode 0644: /bin/sh reads it as cmd.exe reads a ".cmd" file. Its output goes nowhere.
  world.files.WriteFile(script, "echo visible-only-if-mixed; pwd > here.txt\n", nullptr);
  EXPECT_FALSE(platform::StartScriptDetached(script, "/no/such/folder", &error));
  ASSERT_TRUE(platform::StartScriptDetached(script, world.program_folder, &error)) << error;
  const std::string here = platform::JoinPath(world.program_folder, "here.txt");
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  std::string text;
  while (text.empty() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    world.files.ReadFile(here, &text, nullptr);
  }
  EXPECT_EQ(text, world.program_folder + "\n");
}

}  // namespace
}  // namespace helmsman::publishing
