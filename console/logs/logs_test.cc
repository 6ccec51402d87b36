#include "console/logs/logs.h"

#include <gtest/gtest.h>

namespace helmsman::logs {
namespace {

using platform::CivilTime;

class LogsTest : public ::testing::Test {
 protected:
  LogsTest() { clock_.Set(CivilTime{2004, 9, 30, 1, 19, 48}); }
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  Logs logs_{clock_, locale_};
};

TEST_F(LogsTest, AppendToEmptyLogGivesOneSelectedStampedLine) {
  logs_.Append(LogId::kServerActivity, ":  While generating playerlist: Folder ");
  ASSERT_EQ(logs_.lines(LogId::kServerActivity).size(), 1u);
  EXPECT_EQ(logs_.lines(LogId::kServerActivity)[0],
            "9/30/2004 1:19:48 AM:  While generating playerlist: Folder ");
  EXPECT_EQ(logs_.selected(LogId::kServerActivity), 0);
  EXPECT_TRUE(logs_.lines(LogId::kPlayerActivity).empty());
  EXPECT_EQ(logs_.selected(LogId::kPlayerActivity), -1);
}

TEST_F(LogsTest, EachAppendStampsWithTheTimeOfThatAppendAndSelectsTheNewest) {
  logs_.Append(LogId::kPlayerActivity, ": a");
  clock_.Advance(61);
  logs_.Append(LogId::kPlayerActivity, ": b");
  const auto& lines = logs_.lines(LogId::kPlayerActivity);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0], "9/30/2004 1:19:48 AM: a");
  EXPECT_EQ(lines[1], "9/30/2004 1:20:49 AM: b");
  EXPECT_EQ(logs_.selected(LogId::kPlayerActivity), 1);
}

TEST_F(LogsTest, ObserverMirrorsAppendsAndClears) {
  std::vector<std::string> seen;
  logs_.set_observer([&](LogId log, LogChange change, const std::string& line) {
    seen.push_back(std::string(ListControlName(log)) +
                   (change == LogChange::kAppended ? " + " + line : " cleared"));
  });
  logs_.Append(LogId::kHelmError, ": e");
  logs_.Erase(LogId::kHelmError);
  EXPECT_EQ(seen, (std::vector<std::string>{"lstHELMErrorLog + 9/30/2004 1:19:48 AM: e",
                                            "lstHELMErrorLog cleared"}));
  EXPECT_EQ(logs_.selected(LogId::kHelmError), -1);
}

TEST_F(LogsTest, SelectKeepsToExistingRows) {
  logs_.Append(LogId::kServerActivity, ": a");
  logs_.Append(LogId::kServerActivity, ": b");
  logs_.Select(LogId::kServerActivity, 0);
  EXPECT_EQ(logs_.selected(LogId::kServerActivity), 0);
  logs_.Select(LogId::kServerActivity, 2);
  EXPECT_EQ(logs_.selected(LogId::kServerActivity), -1);
}

}  // namespace
}  // namespace helmsman::logs
