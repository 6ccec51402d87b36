#include "platform/process.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/file_system.h"
#include "simdesk/window_system.h"

namespace helmsman::platform {
namespace {

class ProcessTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/helmsman_proc_XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    simdesk::WindowSystem::Local().Reset();
  }
  void TearDown() override {
    simdesk::WindowSystem::Local().Reset();
    std::filesystem::remove_all(dir_);
  }
  std::string Write(const std::string& name, const std::string& content, mode_t mode) {
    std::string path = JoinPath(dir_, name);
    std::ofstream(path) << content;
    ::chmod(path.c_str(), mode);
    return path;
  }
  std::string dir_;
};

TEST(SplitCommandLineTest, BlanksSeparateAndNothingIsQuoted) {
  using Tokens = std::vector<std::string>;
  EXPECT_EQ(SplitCommandLine("/srv/qvserver.exe  /c"), (Tokens{"/srv/qvserver.exe", "/c"}));
  EXPECT_EQ(SplitCommandLine(" a\t\"b c\" "), (Tokens{"a", "\"b", "c\""}));
  EXPECT_EQ(SplitCommandLine("   "), Tokens{});
}

TEST_F(ProcessTest, ProgramFilesAreFoundWithoutRegardToCase) {
  Write("QVServer.exe", "", 0755);
  EXPECT_EQ(FindProgramFile(JoinPath(dir_, "qvserver.exe")), JoinPath(dir_, "QVServer.exe"));
  EXPECT_EQ(FindProgramFile(JoinPath(dir_, "QVServer.exe")), JoinPath(dir_, "QVServer.exe"));
  std::filesystem::remove(JoinPath(dir_, "QVServer.exe"));
  Write("qvserver", "", 0755);
  EXPECT_EQ(FindProgramFile(JoinPath(dir_, "qvserver.exe")), JoinPath(dir_, "qvserver"));
  std::filesystem::create_directory(JoinPath(dir_, "other.exe"));
  EXPECT_EQ(FindProgramFile(JoinPath(dir_, "OTHER.EXE")), "");  // a folder is no program
  EXPECT_EQ(FindProgramFile(JoinPath(dir_, "missing.exe")), "");
}

TEST_F(ProcessTest, ALaunchedProgramRunsInItsDirectoryWithTheTokensAsArguments) {
  std::string fifo = JoinPath(dir_, "report");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string program =
      Write("QVServer.exe", "#!/bin/sh\necho \"$(pwd) $# $1 $2\" > " + fifo + "\n", 0755);
  std::string work = JoinPath(dir_, "work");
  std::filesystem::create_directory(work);
  std::string error;
  std::string requested = JoinPath(dir_, "qvserver.exe");
  ASSERT_TRUE(SystemProcessLauncher().Launch({requested, requested + "  /c", work}, &error))
      << error;
  // Opening the fifo waits for the program to open it: no sleeping needed.
  std::ifstream report(fifo);
  std::string line;
  std::getline(report, line);
  EXPECT_EQ(line, work + " 1 /c ");
}

TEST_F(ProcessTest, LaunchFailuresAreReported) {
  std::string error;
  EXPECT_FALSE(
      SystemProcessLauncher().Launch({JoinPath(dir_, "none.exe"), "none.exe /c", dir_}, &error));
  EXPECT_EQ(error, "cannot find the program " + JoinPath(dir_, "none.exe"));
  std::string plain = Write("plain.exe", "not a program", 0644);
  EXPECT_FALSE(SystemProcessLauncher().Launch({plain, plain, dir_}, &error));
  EXPECT_EQ(error, "cannot start " + plain + ": Permission denied");
  std::string script = Write("script.exe", "#!/bin/sh\n", 0755);
  EXPECT_FALSE(SystemProcessLauncher().Launch({script, script, dir_ + "/gone"}, &error));
  EXPECT_EQ(error, "cannot start " + script + " in " + dir_ + "/gone: no such folder");
}

TEST_F(ProcessTest, AProgramRegisteredWithTheSimulatedDesktopRunsInProcess) {
  std::string program = Write("QVSERVER.EXE", "", 0644);  // never executed
  std::vector<simdesk::ProgramLaunch> launches;
  simdesk::WindowSystem::Local().RegisterProgram(
      program, [&](const simdesk::ProgramLaunch& launch) { launches.push_back(launch); });
  std::string error;
  std::string requested = JoinPath(dir_, "qvserver.exe");
  ASSERT_TRUE(SystemProcessLauncher().Launch({requested, requested + " -x  /c", dir_}, &error));
  ASSERT_EQ(launches.size(), 1u);
  EXPECT_EQ(launches[0].program, program);
  EXPECT_EQ(launches[0].arguments, (std::vector<std::string>{requested, "-x", "/c"}));
  EXPECT_EQ(launches[0].directory, dir_);
}

// Regression: a server folder whose path held a blank was split into two arguments, and the
// server never came up.
TEST_F(ProcessTest, AProgramPathWithBlanksStaysOneArgument) {
  std::string folder = JoinPath(dir_, "Space Games");
  std::filesystem::create_directory(folder);
  std::string fifo = JoinPath(dir_, "report");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  std::string program = JoinPath(folder, "QVServer.exe");
  std::ofstream(program) << "#!/bin/sh\necho \"$# $1 $2\" > '" << fifo << "'\n";
  ::chmod(program.c_str(), 0755);
  std::string error;
  std::string requested = JoinPath(folder, "qvserver.exe");
  ASSERT_TRUE(
      SystemProcessLauncher().Launch({requested, requested + " -port 4010 /c", folder}, &error))
      << error;
  std::ifstream report(fifo);
  std::string line;
  std::getline(report, line);
  EXPECT_EQ(line, "3 -port 4010");
}

TEST(LaunchArgumentsTest, TheProgramPathAtTheFrontIsKeptWhole) {
  using Tokens = std::vector<std::string>;
  struct Row {
    const char* program;
    const char* command_line;
    Tokens arguments;
  } rows[] = {
      {"/srv/My Games/qvserver.exe",
       "/srv/My Games/qvserver.exe  /c",
       {"/srv/My Games/qvserver.exe", "/c"}},
      {"/srv/My Games/qvserver.exe", "/srv/My Games/qvserver.exe", {"/srv/My Games/qvserver.exe"}},
      {"/srv/a b/x", "/srv/a b/xy -z", {"/srv/a", "b/xy", "-z"}},  // not the program: split
      {"/srv/x", "other -z", {"other", "-z"}},
      {"", "/srv/x -z", {"/srv/x", "-z"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(LaunchArguments({row.program, row.command_line, "/"}), row.arguments)
        << row.command_line;
  }
}

TEST(ShortPathTest, IsThePathItselfOnPosix) {
  EXPECT_EQ(ShortPath("/tmp"), "/tmp");
  EXPECT_EQ(ShortPath("/no/such/folder"), "/no/such/folder");
}

}  // namespace
}  // namespace helmsman::platform
