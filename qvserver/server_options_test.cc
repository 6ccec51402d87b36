#include "qvserver/server_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace helmsman::qvserver {
namespace {

std::string Describe(const ServerOptions& o) {
  return o.title + "|" + o.account_root + "|" + o.gamedata_folder + "|" +
         std::to_string(o.catalogue_seed) + "|" + std::to_string(o.seed) + "|" +
         (o.autonomous ? "auto" : "manual") + "|" + std::to_string(o.tick_millis) + "|" +
         std::to_string(o.save_interval_seconds) + "|" + o.server_directory + "|" +
         std::to_string(o.online_at_start);
}

TEST(ServerOptionsTest, CommandLinesAsTheLibraryGivesThem) {
  struct Row {
    std::vector<std::string> arguments;
    std::string expect;
  };
  for (const Row& row : std::vector<Row>{
           {{"/c"}, "|||2026|1|manual|4000|60||0"},
           // The library splits the options at blanks: a title's words come one by one.
           {{"--title", "Test", "Server", "One", "--seed", "5", "/c"},
            "Test Server One|||2026|5|manual|4000|60||0"},
           {{"--title", "Solo", "/C"}, "Solo|||2026|1|manual|4000|60||0"},
           {{"--accounts", "/srv/a", "--gamedata", "/srv/g", "--catalogue-seed", "7",
             "--autonomous", "--tick", "250", "--save-interval", "5", "--server-dir", "/srv",
             "--online", "1001", "/c"},
            "|/srv/a|/srv/g|7|1|auto|250|5|/srv|1001"},
       }) {
    ServerOptions options;
    std::string error;
    ASSERT_TRUE(ParseArguments(row.arguments, &options, &error)) << error;
    EXPECT_EQ(Describe(options), row.expect);
  }
}

TEST(ServerOptionsTest, BadCommandLinesSayWhatIsWrong) {
  struct Row {
    std::vector<std::string> arguments;
    std::string error;
  };
  for (const Row& row : std::vector<Row>{
           {{"--colour", "red"}, "unknown option --colour"},
           {{"--seed"}, "--seed needs a value"},
           {{"--tick", "50"}, "bad value for tick: \"50\""},
           {{"--seed", "-1"}, "bad value for seed: \"-1\""},
           {{"--online", "100001"}, "bad value for online: \"100001\""},
           {{"--title", "/c"}, "bad value for title: \"\""},
           {{"stray"}, "unexpected argument stray"},
       }) {
    ServerOptions options;
    std::string error;
    EXPECT_FALSE(ParseArguments(row.arguments, &options, &error));
    EXPECT_EQ(error, row.error);
  }
}

TEST(ServerOptionsTest, TheSettingsFileMayHoldBlanksAndTheCommandLineWins) {
  ServerOptions options;
  std::string error;
  ASSERT_TRUE(ApplySettingsText(
      "# demo server\r\ntitle = My Server\r\naccounts = /home/op/My Games/Accts\r\n\r\n"
      "autonomous = 1\r\n; quiet\r\nseed=8\r\n",
      &options, &error))
      << error;
  ASSERT_TRUE(ParseArguments({"--seed", "9", "/c"}, &options, &error)) << error;
  EXPECT_EQ(Describe(options), "My Server|/home/op/My Games/Accts||2026|9|auto|4000|60||0");
  EXPECT_FALSE(ApplySettingsText("seed = 1\ntitle My Server\n", &options, &error));
  EXPECT_EQ(error, "qvserver.ini line 2: no \"=\"");
  EXPECT_FALSE(ApplySettingsText("\nspeed = 3\n", &options, &error));
  EXPECT_EQ(error, "qvserver.ini line 2: unknown setting speed");
}

}  // namespace
}  // namespace helmsman::qvserver
