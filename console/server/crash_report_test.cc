#include "console/server/crash_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <random>

namespace helmsman::server {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(CrashReportTest, LastLinesOfALog) {
  EXPECT_EQ(LastLines("", 3), "");
  EXPECT_EQ(LastLines("a\r\nb\nc", 2), "b\r\nc\r\n");
  EXPECT_EQ(LastLines("a\nb\n", 5), "a\r\nb\r\n");
}

TEST(CrashReportTest, TheReportSaysWhatWasKnown) {
  CrashFacts facts;
  facts.time = "2026-12-11T05:20:07";
  facts.ran_seconds = 4325;
  facts.online = "  Ann  Bob";
  facts.dialog_text = "Quorvane-Server has stopped working.";
  facts.error_log_path = "/tmp/qv-server-errors.log";
  facts.error_log_tail = "fault in sector 7\r\n";
  facts.commands = {{"2026-12-11T05:19:58", "list online", 1, "Ann\r\nBob\r\n"}};
  const std::string text = CrashReportText(facts);
  EXPECT_THAT(text, HasSubstr("Time: 2026-12-11T05:20:07\r\nServer ran: 1 h 12 min 5 s\r\n"));
  EXPECT_THAT(text, HasSubstr("Players online: \"  Ann  Bob\"\r\n"));
  EXPECT_THAT(text, HasSubstr("Failure dialog: Quorvane-Server has stopped working.\r\n"));
  EXPECT_THAT(text, HasSubstr("(/tmp/qv-server-errors.log) ---\r\nfault in sector 7\r\n"));
  EXPECT_THAT(text, HasSubstr("The end of the cheaters log (not known) ---\r\n(nothing to show)"));
  EXPECT_THAT(text, HasSubstr("2026-12-11T05:19:58 list online -> 1: Ann | Bob\r\n"));
}

TEST(CrashReportTest, ReportsAreNamedByTimeAndOnlyTheNewestAreKept) {
  const std::string folder =
      (std::filesystem::temp_directory_path() /
       ("helmsman_crashes_" + std::to_string(std::random_device()())))
          .string();
  std::filesystem::create_directory(folder);
  platform::FileSystem& files = platform::DiskFileSystem();
  CrashFacts facts;
  facts.time = "2026-12-11T05:20:07";
  std::string name, error;
  ASSERT_TRUE(WriteCrashReport(files, folder, facts, &name, &error)) << error;
  EXPECT_EQ(name, "HelmsmanCrash-20261211-052007.txt");
  ASSERT_TRUE(WriteCrashReport(files, folder, facts, &name, &error));
  EXPECT_EQ(name, "HelmsmanCrash-20261211-052007-2.txt");
  // Other files, and a link named like a report, are neither listed nor removed.
  std::filesystem::create_symlink("/etc/hostname",
                                  folder + "/HelmsmanCrash-20261211-000000.txt");
  files.WriteFile(folder + "/Helmsman.ini", "x", &error);
  for (int i = 0; i < 105; ++i) {
    char time[32];
    std::snprintf(time, sizeof time, "2026-12-12T00:%02d:%02d", i / 60, i % 60);
    facts.time = time;
    ASSERT_TRUE(WriteCrashReport(files, folder, facts, &name, &error)) << error;
  }
  const std::vector<std::string> kept = ListCrashReports(files, folder);
  EXPECT_EQ(kept.size(), kCrashReportsKept);
  EXPECT_EQ(kept.front(), name);
  EXPECT_TRUE(std::filesystem::is_symlink(folder + "/HelmsmanCrash-20261211-000000.txt"));
  EXPECT_TRUE(std::filesystem::exists(folder + "/Helmsman.ini"));
  EXPECT_FALSE(std::filesystem::exists(folder + "/HelmsmanCrash-20261211-052007.txt"));

  // A folder that cannot take it: false and why.
  EXPECT_FALSE(WriteCrashReport(files, folder + "/missing", facts, &name, &error));
  EXPECT_FALSE(error.empty());
  std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace helmsman::server
