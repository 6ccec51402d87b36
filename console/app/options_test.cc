#include "console/app/options.h"

#include <gtest/gtest.h>

namespace helmsman::app {
namespace {

TEST(OptionsTest, AcceptedCommandLines) {
  struct Row {
    std::vector<std::string> arguments;
    bool headless;
    std::string home;
    int run_for;
    ui::HeadlessAnswers answers;
    std::string web_address = "";
    int web_port = 0;
  } rows[] = {
      {{}, false, "", 0, ui::HeadlessAnswers::kUnattended},
      {{"--headless", "--home", "/srv/helm", "--run-for", "30", "--no", "--web", "[::1]:8471"},
       true,
       "/srv/helm",
       30,
       ui::HeadlessAnswers::kNo,
       "::1",
       8471},
      {{"--home=/srv/helm dir", "--run-for=86400", "--yes", "--web=127.0.0.1:8470"},
       false,
       "/srv/helm dir",
       86400,
       ui::HeadlessAnswers::kYes,
       "127.0.0.1",
       8470},
  };
  for (const Row& row : rows) {
    Options options;
    std::string error;
    ASSERT_TRUE(ParseOptions(row.arguments, &options, &error)) << error;
    EXPECT_EQ(options.headless, row.headless);
    EXPECT_EQ(options.home, row.home);
    EXPECT_EQ(options.run_for_seconds, row.run_for);
    EXPECT_EQ(options.answers, row.answers);
    EXPECT_EQ(options.web_address, row.web_address);
    EXPECT_EQ(options.web_port, row.web_port);
  }
}

TEST(OptionsTest, RefusedCommandLines) {
  struct Row {
    std::vector<std::string> arguments;
    const char* error;
  } rows[] = {
      {{"--home"}, "--home needs a value"},
      {{"--home="}, "--home needs a value"},
      {{"--run-for", "0"}, "--run-for takes a whole number of seconds from 1 to 86400, not \"0\""},
      {{"--run-for", "86401"},
       "--run-for takes a whole number of seconds from 1 to 86400, not \"86401\""},
      {{"--run-for", "5s"},
       "--run-for takes a whole number of seconds from 1 to 86400, not \"5s\""},
      {{"--yes", "--no"}, "--yes and --no exclude each other"},
      {{"--headles"}, "unknown option \"--headles\""},
      {{"--homework"}, "unknown option \"--homework\""},
      {{"--web"}, "--web needs a value"},
      {{"--web", "::1:8470"},
       "--web: an IPv6 address goes in brackets, as in [::1]:8470, not \"::1:8470\""},
  };
  for (const Row& row : rows) {
    Options options;
    std::string error;
    EXPECT_FALSE(ParseOptions(row.arguments, &options, &error)) << row.error;
    EXPECT_EQ(error, row.error);
  }
}

TEST(OptionsTest, ProgramFolderFromAPathArgument) {
  EXPECT_EQ(ExecutableFolder("/opt/helmsman/bin/helmsman"), "/opt/helmsman/bin");
  EXPECT_FALSE(ExecutableFolder("helmsman").empty());
}

}  // namespace
}  // namespace helmsman::app
