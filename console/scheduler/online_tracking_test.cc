#include "console/scheduler/online_tracking.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "console/server/test_bench.h"

namespace helmsman::scheduler {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::EndsWith;
using ::testing::IsEmpty;
using ::testing::Not;

// Records what the tracking asks for; a refresh adds the records queued in newcomers.
class RecordingCallouts : public TrackingCallouts {
 public:
  explicit RecordingCallouts(players::PlayerList& list) : list_(list) {}
  void RefreshPlayerList() override {
    journal.push_back("refresh");
    for (const players::PlayerRecord& record : newcomers) list_.Add(record);
    newcomers.clear();
  }
  void SavePlayerList() override { journal.push_back("save"); }
  void GenerateOnlinePlayersPage() override { journal.push_back("page"); }
  void RereadPlayerFile(int record) override {
    journal.push_back("read " + list_.At(record)->name);
    if (!system_after_read.empty()) list_.At(record)->system = system_after_read;
  }
  bool NameFilter(int record) override { return Rule("name", record); }
  bool EquipmentFilter(int record) override { return Rule("equipment", record); }
  bool UnknownEquipmentRule(int record) override { return Rule("unknown", record); }
  bool CharacterLimit(int record) override { return Rule("limit", record); }

  std::vector<std::string> journal;
  std::vector<players::PlayerRecord> newcomers;
  std::string system_after_read;
  // The rule that acts, on the player of that name.
  std::string acting_rule;
  std::string acting_on;

 private:
  bool Rule(const std::string& rule, int record) {
    journal.push_back(rule);
    return rule == acting_rule && list_.At(record)->name == acting_on;
  }
  players::PlayerList& list_;
};

players::PlayerRecord Record(const std::string& name, const std::string& system = "Tessary",
                             const std::string& rank = "7") {
  players::PlayerRecord record;
  record.name = name;
  record.system = system;
  record.rank = rank;
  record.account_folder = "/srv/accts/" + name;
  record.file_name = name + ".qv";
  return record;
}

// "1: " + hex name + CR LF per name, then the status line.
std::string Reply(const std::vector<std::string>& names) {
  std::string reply;
  for (const std::string& name : names)
    reply += "1: " + server::FakeQVAdmin::HexName(name) + "\r\n";
  return reply + "list online SUCCESSFUL\r\n";
}

class OnlineTrackingTest : public ::testing::Test {
 protected:
  OnlineTrackingTest() {
    bench_.windows.Open(server::kServerTitle);
    bench_.clock.Set(platform::CivilTime{2025, 6, 1, 14, 5, 9});
    tracking_.WireListHandlers();
  }
  void UpdateWith(const std::vector<std::string>& names) {
    bench_.admin.set_online(names);
    tracking_.Update();
  }
  std::vector<std::string> PlayerLog() { return bench_.Messages(logs::LogId::kPlayerActivity); }
  const std::vector<std::string>& Rows(const std::string& list) {
    return bench_.controls.Get(list).rows();
  }
  int Selected(const std::string& list) { return bench_.controls.Get(list).selected(); }
  void Click(const std::string& list, int row) {
    bench_.controls.Select(list, row);
    bench_.controls.Fire(list, ui::ControlEvent::kClick);
  }
  int ReadsIn(const std::vector<std::string>& journal) {
    int reads = 0;
    for (const std::string& entry : journal) reads += entry.rfind("read ", 0) == 0 ? 1 : 0;
    return reads;
  }

  server::TestBench bench_;
  players::PlayerList players_;
  int16_t position_ = 0;
  RecordingCallouts callouts_{players_};
  OnlineTracking tracking_{bench_.controls, bench_.settings, bench_.status,
                           bench_.channel,  bench_.logs,     bench_.online,
                           players_,        position_,       callouts_};
};

TEST(DecodeOnlineNameTest, TakesTheLowByteOfEveryGroup) {
  struct Row {
    const char* field;
    std::string name;
  } rows[] = {
      {"004100420043", "ABC"},
      {"", ""},
      {"00", ""},
      {"00E9006C", "\xE9l"},                // a code-page letter
      {"0141", "A"},                        // only the last two digits of a group count
      {"0041004", "A\x04"},                 // a cut group gives the digit it has
      {"00zz0042", std::string("\0B", 2)},  // no hexadecimal number: code 0
  };
  for (const Row& row : rows) EXPECT_EQ(DecodeOnlineName(row.field), row.name) << row.field;
}

TEST(ParseOnlineReplyTest, ReadsThePlayerLinesUpToTheStatusLine) {
  struct Row {
    std::string reply;
    std::vector<std::string> names;
  } rows[] = {
      {"4294967295: 004100420043\r\n198: 00420062\r\nlist online SUCCESSFUL\r\n", {"ABC", "Bb"}},
      {"No players online\r\nlist online SUCCESSFUL\r\n", {}},
      {"", {}},
      // A reply cut short after its last player line still gives that player.
      {"1: 00410042\r\n2: 0043", {"AB", "C"}},
      // A line with an empty name field is left out rather than ending the names early.
      {"1: \r\n2: 0043\r\nlist online SUCCESSFUL\r\n", {"C"}},
      // A line without a colon before a player line does not shift the field.
      {"header\r\n1: 0044\r\nlist online SUCCESSFUL\r\n", {"D"}},
  };
  for (const Row& row : rows) {
    OnlineReply parsed = ParseOnlineReply(row.reply);
    EXPECT_EQ(parsed.names, row.names) << row.reply;
    EXPECT_EQ(parsed.dropped, 0);
  }
}

TEST(ParseOnlineReplyTest, KeepsAtMost1001Names) {
  for (int lines : {1001, 1500}) {
    std::string reply;
    for (int i = 0; i < lines; ++i)
      reply += "1: " + server::FakeQVAdmin::HexName("P" + std::to_string(i)) + "\r\n";
    OnlineReply parsed = ParseOnlineReply(reply + "list online SUCCESSFUL\r\n");
    ASSERT_EQ(parsed.names.size(), 1001u) << lines;
    EXPECT_EQ(parsed.names.back(), "P1000");
    EXPECT_EQ(parsed.dropped, lines - 1001);
  }
}

TEST(FoldCaseTest, PairsTheCodePageLetters) {
  EXPECT_EQ(FoldCase("AbC \xC9\x8A\x9F\xD7"), "abc \xE9\x9A\xFF\xD7");
}

TEST_F(OnlineTrackingTest, FirstUpdateFindsEverybodyAndFillsTheColumns) {
  players_.Add(Record("Ann", "Tessary", "12"));
  players_.Add(Record("Bob", "Vell Reach", "3"));
  UpdateWith({"Ann", "Bob"});
  EXPECT_THAT(bench_.admin.calls().back().command, "list online");
  EXPECT_EQ(bench_.admin.calls().back().size, server::kListOnlineReplySize);
  EXPECT_THAT(PlayerLog(),
              ElementsAre(": Player Ann found on the server", ": Player Bob found on the server"));
  EXPECT_THAT(Rows("lstPlayersOnline"), ElementsAre("Ann", "Bob"));
  EXPECT_THAT(Rows("lstPlayersOnlineSystems"), ElementsAre("Tessary", "Vell Reach"));
  EXPECT_THAT(Rows("lstPlayersOnlineRank"), ElementsAre("12", "3"));
  EXPECT_THAT(bench_.online.InUse(), ElementsAre("Ann", "Bob"));
  EXPECT_THAT(tracking_.previous_names().InUse(), ElementsAre("Ann", "Bob"));
  EXPECT_THAT(bench_.statuses, ElementsAre("Updating players online...", "Good to go"));
  EXPECT_THAT(callouts_.journal, ElementsAre("save"));
  EXPECT_TRUE(bench_.Enabled("cmdUpdatePlayersOnline"));
  EXPECT_EQ(bench_.Text("fraPlayersOnline"), "2 Players Online, Updated 2:05:09 PM");
  EXPECT_THAT(bench_.ServerLog(), IsEmpty());  // nobody is new
}

TEST_F(OnlineTrackingTest, ArrivalsAreLoggedBeforeDepartures) {
  for (const char* name : {"Ann", "Bob", "Cy"}) players_.Add(Record(name));
  UpdateWith({"Ann", "Bob"});
  UpdateWith({"Bob", "Ann"});  // the same players: nothing to log
  EXPECT_EQ(PlayerLog().size(), 2u);
  UpdateWith({"Bob", "Cy"});
  EXPECT_THAT(
      PlayerLog(),
      ElementsAre(": Player Ann found on the server", ": Player Bob found on the server",
                  ": Player Cy found on the server", ": Player Ann no longer found on the server"));
  EXPECT_EQ(bench_.logs.selected(logs::LogId::kPlayerActivity), 3);
}

TEST_F(OnlineTrackingTest, RefusedCommandKeepsTheOnlineNames) {
  for (const char* name : {"Ann", "Bob", "Cy"}) players_.Add(Record(name));
  UpdateWith({"Ann", "Bob"});
  bench_.admin.SetAnswer("list online",
                         {0, "QVAdmin is busy processing a command. Please try again.\r\n"});
  callouts_.journal.clear();
  bench_.statuses.clear();
  tracking_.Update();
  EXPECT_EQ(bench_.Text("lblStatus"), "ERROR: Unable to update the players online list!");
  EXPECT_THAT(Rows("lstPlayersOnline"), IsEmpty());
  EXPECT_THAT(bench_.online.InUse(), ElementsAre("Ann", "Bob"));
  EXPECT_THAT(callouts_.journal, IsEmpty());  // not even saved
  EXPECT_EQ(bench_.Text("fraPlayersOnline"), "0 Players Online, Updated 2:05:09 PM");
  EXPECT_TRUE(bench_.Enabled("cmdUpdatePlayersOnline"));

  bench_.admin.ClearAnswer("list online");
  UpdateWith({"Bob", "Cy"});  // only the real changes are logged
  EXPECT_THAT(
      PlayerLog(),
      ElementsAre(": Player Ann found on the server", ": Player Bob found on the server",
                  ": Player Cy found on the server", ": Player Ann no longer found on the server"));
}

TEST_F(OnlineTrackingTest, ReplyWithoutSuccessfulKeepsTheNamesAndLogsNothing) {
  players_.Add(Record("Ann"));
  UpdateWith({"Ann"});
  bench_.admin.SetAnswer("list online", {1, "1: 0042\r\nlist online FAILED\r\n"});
  bench_.statuses.clear();
  tracking_.Update();
  EXPECT_THAT(bench_.statuses, ElementsAre("Updating players online...",
                                           "Error getting player list!", "Good to go"));
  EXPECT_THAT(bench_.online.InUse(), ElementsAre("Ann"));
  EXPECT_THAT(Rows("lstPlayersOnline"), IsEmpty());
  EXPECT_EQ(PlayerLog().size(), 1u);
  EXPECT_THAT(callouts_.journal, ElementsAre("save", "save"));
}

TEST_F(OnlineTrackingTest, NewCharactersAreAnnouncedRefreshedOnceAndGreeted) {
  players_.Add(Record("ann"));
  callouts_.newcomers = {Record("Zed", "Vell Reach", "0"), Record("Kit", "Tessary", "1")};
  bench_.settings.txtNewPlayerBannerPart2 = "welcome!|Fly safe";
  UpdateWith({"ANN", "Zed", "Kit", "Ghost"});
  // "ANN" differs only in letter case from the record "ann": known.
  EXPECT_THAT(bench_.ServerLog(),
              ElementsAre(": New player Zed has joined the server!",
                          ": New player Kit has joined the server!",
                          ": New player Ghost has joined the server!",
                          ": Message [New player [Zed], welcome!/Fly safe] broadcast to universe",
                          ": Message [New player [Kit], welcome!/Fly safe] broadcast to universe"));
  EXPECT_THAT(bench_.admin.chat_lines(), ElementsAre("New player [Zed], welcome!/Fly safe",
                                                     "New player [Kit], welcome!/Fly safe"));
  EXPECT_THAT(bench_.admin.calls().back().size, 16000u);
  EXPECT_THAT(callouts_.journal, ElementsAre("refresh", "save"));
  EXPECT_THAT(Rows("lstPlayersOnlineSystems"),
              ElementsAre("Tessary", "Vell Reach", "Tessary", "PLAYER NOT FOUND :("));
  EXPECT_THAT(Rows("lstPlayersOnlineRank"), ElementsAre("7", "0", "1", "?"));
  EXPECT_THAT(bench_.statuses, Contains("Broadcasting new player banner"));
  EXPECT_THAT(bench_.statuses, Contains("New player banner broadcast successfully"));
  EXPECT_EQ(bench_.statuses.back(), "Good to go");
}

// Regression: a new character whose file could not be read has no record after the refresh,
// so every update announced it again, refreshed the list again (the reader logging its error
// each time) and would have greeted it again.
TEST_F(OnlineTrackingTest, AnUnreadableNewcomerIsAnnouncedOnceAndRetriedOnceAMinute) {
  bench_.settings.txtNewPlayerBannerPart2 = "welcome!";
  const int64_t start = bench_.clock.NowSeconds();
  auto refreshes = [this] {
    return std::count(callouts_.journal.begin(), callouts_.journal.end(), "refresh");
  };
  for (int second = 0; second <= 60; second += 5) {
    bench_.clock.Set(start + second);
    UpdateWith({"Ghost"});
    EXPECT_EQ(refreshes(), second < 60 ? 1 : 2) << second;
  }
  EXPECT_THAT(bench_.admin.chat_lines(), IsEmpty());
  // Its file is readable at last: known from the next retry on, greeted then, once.
  callouts_.newcomers = {Record("Ghost", "Vell Reach", "0")};
  bench_.clock.Set(start + 115);
  UpdateWith({"Ghost"});
  EXPECT_EQ(refreshes(), 2);
  bench_.clock.Set(start + 120);
  UpdateWith({"Ghost"});
  UpdateWith({"Ghost"});
  EXPECT_EQ(refreshes(), 3);
  EXPECT_THAT(Rows("lstPlayersOnlineSystems"), ElementsAre("Vell Reach"));
  EXPECT_THAT(bench_.admin.chat_lines(), ElementsAre("New player [Ghost], welcome!"));
  // The announcement carries the stamp of its own time.
  EXPECT_THAT(bench_.ServerLog(), ElementsAre(EndsWith(": New player Ghost has joined the server!"),
                                              ": Message [New player [Ghost], welcome!] "
                                              "broadcast to universe"));

  // A character that leaves and comes back unread is new to this stay.
  UpdateWith({"Wisp"});
  UpdateWith({"Wisp"});
  UpdateWith({});
  UpdateWith({"Wisp"});
  const std::vector<std::string> log = bench_.ServerLog();
  EXPECT_THAT(std::vector<std::string>(log.begin() + 2, log.end()),
              ElementsAre(": New player Wisp has joined the server!",
                          ": New player Wisp has joined the server!"));
}

TEST_F(OnlineTrackingTest, GreetingRules) {
  struct Row {
    std::string rank;
    std::string banner;
    int answer;  // what "message " returns
    bool greeted;
    bool logged;
  } rows[] = {
      {"0", "hello", 1, true, true},
      {"UNKNOWN RANK", "hello", 1, true, true},  // no number reads as 0
      {"1.9", "hello", 1, true, true},
      {"2", "hello", 1, false, false},
      {"0", "", 1, false, false},  // no greeting text: no greeting
      {"0", "hello", 0, true, false},
  };
  for (const Row& row : rows) {
    server::TestBench bench;
    bench.windows.Open(server::kServerTitle);
    players::PlayerList list;
    RecordingCallouts callouts(list);
    callouts.newcomers = {Record("Neo", "Tessary", row.rank)};
    bench.settings.txtNewPlayerBannerPart2 = row.banner;
    if (row.answer == 0) bench.admin.SetAnswer("message ", {0, ""});
    int16_t position = 0;
    OnlineTracking tracking(bench.controls, bench.settings, bench.status, bench.channel, bench.logs,
                            bench.online, list, position, callouts);
    bench.admin.set_online({"Neo"});
    tracking.Update();
    const std::vector<std::string> commands = bench.admin.commands();
    EXPECT_EQ(commands.size() == 2, row.greeted) << row.rank << " " << row.banner;
    EXPECT_EQ(bench.ServerLog().size(), row.logged ? 2u : 1u) << row.rank;
  }
}

TEST_F(OnlineTrackingTest, OnlinePageOnlyWhenTicked) {
  UpdateWith({});
  bench_.settings.chkEnableOnlinePlayerWebOutput = 1;
  UpdateWith({});
  EXPECT_THAT(callouts_.journal, ElementsAre("save", "save", "page"));
}

TEST_F(OnlineTrackingTest, AtMost1001PlayersAreTrackedWithoutOverflow) {
  struct Row {
    int lines;
    bool reported;
  } rows[] = {{1001, false}, {1500, true}};
  for (const Row& row : rows) {
    // One-letter names keep 1,500 lines within the 16,000 bytes of the reply.
    std::vector<std::string> names;
    for (int i = 0; i < row.lines; ++i)
      names.push_back(std::string(1, static_cast<char>('A' + i % 26)));
    bench_.admin.SetAnswer("list online", {1, Reply(names)});
    tracking_.Update();
    tracking_.Update();  // the second time it is not reported again
    EXPECT_EQ(Rows("lstPlayersOnline").size(), 1001u) << row.lines;
    EXPECT_EQ(Rows("lstPlayersOnlineSystems").size(), 1001u);
    EXPECT_EQ(bench_.online.At(1000), names[1000]);
    EXPECT_EQ(bench_.online.InUse().size(), 1001u);
    const std::vector<std::string> errors = bench_.Messages(logs::LogId::kHelmError);
    if (row.reported) {
      EXPECT_THAT(errors,
                  ElementsAre(": More than 1001 players online; 499 of them are not tracked"));
    } else {
      EXPECT_THAT(errors, IsEmpty());
    }
  }
}

// Regression: the reply was read into 16,000 bytes, which hold the rows of only a few
// hundred players; the others were never tracked or scanned.
TEST_F(OnlineTrackingTest, AThousandAndOnePlayersWithTheLongestRowsAreAllTracked) {
  std::vector<std::string> names;
  for (int i = 0; i < server::kMaxOnlineNames; ++i) {
    // 127 characters: 508 in hexadecimal groups, the longest whole row a 512-byte buffer
    // takes.
    std::string name = "Pilot " + std::to_string(i) + " ";
    names.push_back(name + std::string(127 - name.size(), 'x'));
    players_.Add(Record(names.back()));
  }
  bench_.admin.set_online(names);
  tracking_.Update();
  ASSERT_GT(bench_.channel.result_text().size(), 500'000u);
  EXPECT_EQ(Rows("lstPlayersOnline"), names);
  EXPECT_EQ(bench_.online.InUse(), names);
  EXPECT_THAT(Rows("lstPlayersOnlineSystems"), Not(Contains(kPlayerNotFound)));
  EXPECT_EQ(PlayerLog().size(), names.size());
  EXPECT_THAT(bench_.Messages(logs::LogId::kHelmError), IsEmpty());
  EXPECT_EQ(bench_.Text("fraPlayersOnline"), "1001 Players Online, Updated 2:05:09 PM");
}

// Inline scan.

TEST_F(OnlineTrackingTest, ScanRereadsThePlayerAndRefreshesItsRow) {
  players_.Add(Record("Ann"));
  players_.Add(Record("Bob"));
  UpdateWith({"Ann", "Bob"});
  callouts_.journal.clear();
  callouts_.system_after_read = "Vell Reach";
  bench_.statuses.clear();
  tracking_.InlineScan();
  EXPECT_THAT(callouts_.journal, ElementsAre("read Ann", "limit"));  // the filters are off
  EXPECT_THAT(bench_.statuses, ElementsAre("Performing inline player scan on Ann"));
  EXPECT_THAT(Rows("lstPlayersOnlineSystems"), ElementsAre("Vell Reach", "Tessary"));
  EXPECT_EQ(position_, 1);
  tracking_.InlineScan();
  tracking_.InlineScan();  // past the last name: back to the first
  EXPECT_THAT(callouts_.journal,
              ElementsAre("read Ann", "limit", "read Bob", "limit", "read Ann", "limit"));
  EXPECT_EQ(position_, 1);
}

TEST_F(OnlineTrackingTest, ScanComparesNamesExactly) {
  players_.Add(Record("ann"));
  UpdateWith({"ANN"});  // known to the update, letter case ignored ...
  EXPECT_THAT(bench_.ServerLog(), IsEmpty());
  callouts_.journal.clear();
  tracking_.InlineScan();  // ... but not to the scan
  EXPECT_THAT(callouts_.journal, IsEmpty());
  EXPECT_EQ(position_, 1);
}

TEST_F(OnlineTrackingTest, NobodyOnlineScansNothing) {
  tracking_.InlineScan();
  EXPECT_EQ(position_, 1);
  tracking_.InlineScan();
  EXPECT_EQ(position_, 1);
  EXPECT_THAT(callouts_.journal, IsEmpty());
  EXPECT_THAT(bench_.statuses, IsEmpty());
}

TEST_F(OnlineTrackingTest, MorePlayersOnlineMeanMoreStepsPerTick) {
  struct Row {
    int online;
    int steps;
  } rows[] = {{1, 1}, {15, 1}, {16, 2}, {30, 2}, {31, 3}, {40, 3}};
  for (const Row& row : rows) {
    players_.Clear();
    std::vector<std::string> names;
    for (int i = 0; i < row.online; ++i) {
      names.push_back("P" + std::to_string(i));
      players_.Add(Record(names.back()));
    }
    UpdateWith(names);
    position_ = 0;
    callouts_.journal.clear();
    tracking_.InlineScan();
    EXPECT_EQ(ReadsIn(callouts_.journal), row.steps) << row.online;
    EXPECT_EQ(position_, row.steps) << row.online;
  }
}

TEST_F(OnlineTrackingTest, FiltersRunInOrderWhenSwitchedOn) {
  players_.Add(Record("Ann"));
  UpdateWith({"Ann"});
  struct Row {
    std::vector<std::string> name_filters;
    int specified;
    std::vector<std::string> equipment_filters;
    int unknown;
    std::vector<std::string> rules;
  } rows[] = {
      {{}, 0, {}, 0, {"limit"}},
      {{"bad"}, 1, {"Ion Lance"}, 1, {"name", "equipment", "unknown", "limit"}},
      {{}, 1, {}, 0, {"limit"}},  // the equipment filter needs entries too
      {{}, 0, {"Ion Lance"}, 1, {"unknown", "limit"}},
  };
  for (const Row& row : rows) {
    bench_.settings.lstNameScanFilters = row.name_filters;
    bench_.settings.chkAutoBanPlayersWithSpecifiedEquipment = row.specified;
    bench_.settings.lstEquipmentScanFilters = row.equipment_filters;
    bench_.settings.chkAutoBanPlayersWithUnknownEquipment = row.unknown;
    callouts_.journal.clear();
    tracking_.InlineScanStep();
    std::vector<std::string> expected = {"read Ann"};
    expected.insert(expected.end(), row.rules.begin(), row.rules.end());
    EXPECT_EQ(callouts_.journal, expected);
  }
}

TEST_F(OnlineTrackingTest, PunishedPlayerLeavesTheListsAndTheNextMovesUp) {
  for (const char* name : {"Ann", "Bob", "Cy"}) players_.Add(Record(name));
  UpdateWith({"Ann", "Bob", "Cy"});
  bench_.settings.lstNameScanFilters = {"o"};
  callouts_.acting_rule = "name";
  callouts_.acting_on = "Bob";
  Click("lstPlayersOnline", 2);
  position_ = 1;
  callouts_.journal.clear();
  tracking_.InlineScanStep();
  // Every rule still runs after one has acted.
  EXPECT_THAT(callouts_.journal, ElementsAre("read Bob", "name", "limit"));
  EXPECT_THAT(bench_.online.InUse(), ElementsAre("Ann", "Cy"));
  EXPECT_THAT(Rows("lstPlayersOnline"), ElementsAre("Ann", "Cy"));
  EXPECT_THAT(Rows("lstPlayersOnlineSystems"), ElementsAre("Tessary", "Tessary"));
  EXPECT_THAT(Rows("lstPlayersOnlineRank"), ElementsAre("7", "7"));
  EXPECT_EQ(Selected("lstPlayersOnline"), 1);  // Cy stays selected
  EXPECT_EQ(position_, 1);
  callouts_.journal.clear();
  tracking_.InlineScanStep();
  EXPECT_THAT(callouts_.journal, ElementsAre("read Cy", "name", "limit"));
  // The next update finds Bob gone from the server.
  UpdateWith({"Ann", "Cy"});
  EXPECT_EQ(PlayerLog().back(), ": Player Bob no longer found on the server");
}

TEST_F(OnlineTrackingTest, ScanAfterAFailedUpdateLeavesTheEmptyListsAlone) {
  players_.Add(Record("Ann"));
  UpdateWith({"Ann"});
  bench_.admin.SetAnswer("list online", {0, ""});
  tracking_.Update();
  callouts_.acting_rule = "limit";
  callouts_.acting_on = "Ann";
  tracking_.InlineScanStep();
  EXPECT_THAT(bench_.online.InUse(), IsEmpty());
  EXPECT_THAT(Rows("lstPlayersOnline"), IsEmpty());
}

// List selection.

TEST_F(OnlineTrackingTest, ClickingAnOnlinePlayerSelectsTheRowEverywhere) {
  players_.Add(Record("Ann", "Tessary"));
  UpdateWith({"Ghost", "Ann"});
  Click("lstPlayersOnline", 1);
  for (const char* list : {"lstPlayersOnlineSystems", "lstPlayersOnlineRank"})
    EXPECT_EQ(Selected(list), 1);
  for (const char* button :
       {"cmdKickPlayer", "cmdKickAndBan", "cmdKickAllInSystem", "cmdViewInfo"}) {
    EXPECT_TRUE(bench_.Enabled(button)) << button;
  }
  EXPECT_EQ(bench_.Text("lblKickMessagePart1"), "Ann is being kicked");

  Click("lstPlayersOnline", 0);  // a character without a record has nothing to view
  EXPECT_FALSE(bench_.Enabled("cmdViewInfo"));
  EXPECT_TRUE(bench_.Enabled("cmdKickPlayer"));
  EXPECT_EQ(bench_.Text("lblKickMessagePart1"), "Ghost is being kicked");

  tracking_.Update();  // a new update selects nothing and switches the buttons off
  for (const char* button :
       {"cmdKickPlayer", "cmdKickAndBan", "cmdKickAllInSystem", "cmdViewInfo"}) {
    EXPECT_FALSE(bench_.Enabled(button)) << button;
  }
  EXPECT_EQ(Selected("lstPlayersOnline"), -1);
}

TEST_F(OnlineTrackingTest, ClickingASystemOrARank) {
  players_.Add(Record("Ann", "Tessary"));
  UpdateWith({"Ann", "Ghost"});
  Click("lstPlayersOnlineSystems", 1);  // "PLAYER NOT FOUND :(": selects only
  EXPECT_EQ(Selected("lstPlayersOnline"), 1);
  EXPECT_EQ(Selected("lstPlayersOnlineRank"), 1);
  EXPECT_FALSE(bench_.Enabled("cmdKickAllInSystem"));
  EXPECT_EQ(bench_.Text("lblKickMessagePart1"), "Player is being kicked");

  Click("lstPlayersOnlineSystems", 0);
  EXPECT_TRUE(bench_.Enabled("cmdKickAllInSystem"));
  EXPECT_FALSE(bench_.Enabled("cmdKickPlayer"));
  EXPECT_EQ(bench_.Text("lblKickMessagePart1"), "Players in Tessary are being kicked");

  Click("lstPlayersOnlineRank", 1);
  EXPECT_EQ(Selected("lstPlayersOnline"), 1);
  EXPECT_EQ(Selected("lstPlayersOnlineSystems"), 1);
}

}  // namespace
}  // namespace helmsman::scheduler
