#include "console/safety/journal.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <random>

namespace helmsman::safety {
namespace {

using logs::LogId;

JournalEntry Ban() {
  return JournalEntry{"2026-12-10T21:04:05",
                      "autoban",
                      "rule:cheaters log",
                      "acct-0042",
                      "J\xf6rn \"Sparks\" \\ Vell",
                      {{"rule", "Ship capacity exceeded"},
                       {"evidence", "12/10/2026 21:04:01\tcargo\x01 over \xa3"},
                       {"until", ""}}};
}

TEST(JournalLineTest, AnEntryComesBackAsItWasWrittenAndDamageIsRefused) {
  const JournalEntry entry = Ban();
  const std::string line = JournalLine(entry);
  ASSERT_EQ(line.back(), '\n');
  EXPECT_EQ(line.find('\n'), line.size() - 1);  // one line, whatever the texts hold
  EXPECT_NE(line.find("J\xc3\xb6rn"), std::string::npos);  // UTF-8 in the file
  EXPECT_NE(line.find("\\t"), std::string::npos);
  EXPECT_NE(line.find("\\u0001"), std::string::npos);
  const std::string_view body(line.data(), line.size() - 1);
  EXPECT_EQ(ParseJournalLine(body), entry);
  EXPECT_EQ(ParseJournalLine(" " + std::string(body) + " \r"), entry);

  // A crash may cut a line anywhere: no part of a line is read as an entry.
  for (size_t n = 0; n < body.size(); ++n) {
    EXPECT_FALSE(ParseJournalLine(body.substr(0, n))) << n;
  }
  for (const char* bad :
       {"{}", "[]", "{\"time\":\"t\"}", "{\"time\":\"t\",\"action\":5}",
        "{\"time\":\"t\",\"action\":\"a\"} x", "{\"time\":\"t\",\"action\":\"a\",}",
        "{\"time\":\"t\",\"action\":\"a\\q\"}", "{\"time\":\"t\",\"action\":\"\\ud800\"}",
        "{\"time\":\"t\",\"action\":\"\\udc00x\"}", "{\"time\":\"t\",\"action\":\"a\x01\"}",
        "{\"time\":\"t\",\"action\":\"a\",\"details\":{\"k\":{\"deeper\":\"x\"}}}",
        "{\"time\":\"t\",\"action\":\"a\",\"other\":{}}"}) {
    EXPECT_FALSE(ParseJournalLine(bad)) << bad;
  }
  const std::optional<JournalEntry> other =
      ParseJournalLine("{\"action\":\"kick\",\"time\":\"t\",\"note\":\"\\u00e9\\ud83d\\ude80\"}");
  ASSERT_TRUE(other);  // members in another order, one unknown: still an entry
  EXPECT_EQ(other->action, "kick");
}

class JournalTest : public ::testing::Test {
 protected:
  JournalTest() {
    std::random_device seed;
    folder_ = (std::filesystem::temp_directory_path() /
               ("helmsman_journal_" + std::to_string(seed()) + std::to_string(seed())))
                  .string();
    std::filesystem::create_directory(folder_);
    clock_.Set(platform::CivilTime{2026, 12, 10, 21, 0, 0});
  }
  ~JournalTest() override { std::filesystem::remove_all(folder_); }

  JournalEntry Kick(const std::string& character, const std::string& account) {
    return JournalEntry{"", "kick", "operator", account, character, {{"reason", "ugly"}}};
  }
  std::vector<std::string> Characters(const std::vector<JournalEntry>& entries) {
    std::vector<std::string> names;
    for (const JournalEntry& e : entries) names.push_back(e.character);
    return names;
  }
  size_t Errors() { return logs_.lines(LogId::kHelmError).size(); }

  std::string folder_;
  platform::FakeClock clock_;
  platform::PictureLocaleTexts locale_{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs_{clock_, locale_};
};

TEST_F(JournalTest, EntriesAreReadBackByPlayerAccountAndTimeAfterACutLine) {
  {
    Journal journal(platform::DiskFileSystem(), folder_, logs_);
    journal.Append(Kick("Ada", "a1"));
    clock_.Advance(3600);
    journal.Append(Kick("Borin", "b2"));
    ASSERT_TRUE(journal.Flush());
  }
  // The process died while writing the next line.
  std::string error;
  ASSERT_TRUE(platform::DiskFileSystem().AppendFile(
      platform::JoinPath(folder_, kJournalFileName), "{\"time\":\"2026-12-10T22:0", &error));
  clock_.Set(platform::CivilTime{2026, 12, 10, 20, 30, 0});  // and the clock went back
  Journal journal(platform::DiskFileSystem(), folder_, logs_);
  journal.Append(Kick("Ada", "a1"));

  const std::vector<JournalEntry> all = journal.Read({});
  EXPECT_EQ(Characters(all), (std::vector<std::string>{"Ada", "Borin", "Ada"}));  // as written
  EXPECT_EQ(all[0].time, "2026-12-10T21:00:00");
  EXPECT_EQ(all[2].time, "2026-12-10T20:30:00");
  EXPECT_EQ(all[0].Detail("reason"), "ugly");
  EXPECT_EQ(journal.Read({"Ada", "", "", 0}).size(), 2u);
  EXPECT_EQ(Characters(journal.Read({"", "b2", "", 0})), std::vector<std::string>{"Borin"});
  EXPECT_EQ(Characters(journal.Read({"", "", "2026-12-10T21:30", 0})),
            std::vector<std::string>{"Borin"});
  EXPECT_EQ(journal.Read({"", "", "", 1}).back().time, "2026-12-10T20:30:00");
  EXPECT_EQ(Errors(), 0u);
}

TEST_F(JournalTest, FilesRotateBySizeAndTheOldestGo) {
  Journal journal(platform::DiskFileSystem(), folder_, logs_, 400, 2);
  const size_t line = JournalLine(Kick("Player 00", "acct")).size() + 20;  // with a time
  for (int i = 0; i < 20; ++i) {
    clock_.Advance(1);
    journal.Append(Kick("Player " + std::to_string(100 + i), "acct"));
    ASSERT_TRUE(journal.Flush());
  }
  EXPECT_TRUE(std::filesystem::exists(journal.FilePath(1)));
  EXPECT_TRUE(std::filesystem::exists(journal.FilePath(2)));
  EXPECT_FALSE(std::filesystem::exists(journal.FilePath(3)));
  for (int rotation = 0; rotation <= 2; ++rotation) {
    EXPECT_LE(std::filesystem::file_size(journal.FilePath(rotation)), 400u) << rotation;
  }
  const std::vector<JournalEntry> kept = journal.Read({});
  ASSERT_GE(kept.size(), 3 * (400 / line));
  ASSERT_LT(kept.size(), 20u);
  for (size_t i = 0; i < kept.size(); ++i) {  // the newest, in order
    EXPECT_EQ(kept[i].character, "Player " + std::to_string(120 - kept.size() + i));
  }
  // The newest few come from the end, across the rotated files, still oldest first.
  const std::vector<JournalEntry> last = journal.Read({"", "", "", kept.size() - 1});
  ASSERT_EQ(last.size(), kept.size() - 1);
  EXPECT_EQ(last.front().character, kept[1].character);
  EXPECT_EQ(last.back().character, "Player 119");
  const std::vector<JournalEntry> one = journal.Read({kept[2].character, "", "", 1});
  ASSERT_EQ(one.size(), 1u);
  EXPECT_EQ(one[0], kept[2]);
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenIsReportedOnceAndNeverFollowsALink) {
  const std::string elsewhere = platform::JoinPath(folder_, "elsewhere.txt");
  std::filesystem::create_symlink(elsewhere, platform::JoinPath(folder_, kJournalFileName));
  Journal journal(platform::DiskFileSystem(), folder_, logs_);
  journal.Append(Kick("Ada", "a1"));
  EXPECT_FALSE(journal.Flush());
  journal.Append(Kick("Borin", "b2"));
  EXPECT_FALSE(journal.Flush());
  EXPECT_FALSE(std::filesystem::exists(elsewhere));
  ASSERT_EQ(Errors(), 1u);
  EXPECT_NE(logs_.lines(LogId::kHelmError)[0].find(": The action journal "), std::string::npos);

  std::filesystem::remove(platform::JoinPath(folder_, kJournalFileName));
  journal.Append(Kick("Cato", "c3"));
  EXPECT_TRUE(journal.Flush());  // what waited goes first
  EXPECT_EQ(Characters(journal.Read({})), (std::vector<std::string>{"Ada", "Borin", "Cato"}));
  std::filesystem::create_symlink(elsewhere, platform::JoinPath(folder_, "HelmsmanJournal.jsonl.x"));
  std::filesystem::remove(platform::JoinPath(folder_, kJournalFileName));
  std::filesystem::rename(platform::JoinPath(folder_, "HelmsmanJournal.jsonl.x"),
                          platform::JoinPath(folder_, kJournalFileName));
  journal.Append(Kick("Dara", "d4"));
  EXPECT_FALSE(journal.Flush());
  EXPECT_EQ(Errors(), 2u);  // failing again after a success is told again
}

}  // namespace
}  // namespace helmsman::safety
