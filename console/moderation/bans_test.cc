#include "console/moderation/bans.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "console/safety/journal_testing.h"
#include "console/ui/started_console_testing.h"

namespace helmsman::moderation {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

class BansTest : public ui::testing::StartedConsole {
 protected:
  BansTest() {
    ada_folder_ = AddRecord("Ada Quill", "acct1");
    borin_folder_ = AddRecord("Borin Vex", "acct2");
    model_->player_database().FillScreenLists();
  }
  // A record whose account folder exists on disk.
  std::string AddRecord(const std::string& name, const std::string& account) {
    const std::string folder = folder_ + "/accts/" + account;
    std::filesystem::create_directories(folder);
    players::PlayerRecord record;
    record.name = name;
    record.account_folder = folder;
    record.file_name = "a.qv";
    model_->players().Add(record);
    return folder;
  }
  void MarkBanned(const std::string& folder) {
    std::string error;
    platform::DiskFileSystem().WriteFile(folder + "/banned", "", &error);
    model_->player_database().FillScreenLists();
  }
  void SelectRow(const std::string& list, const std::string& row) {
    const std::vector<std::string>& rows = controls().Get(list).rows();
    const auto it = std::find(rows.begin(), rows.end(), row);
    ASSERT_NE(it, rows.end()) << row;
    controls().Select(list, static_cast<int>(it - rows.begin()));
    Click(list);
  }
  void SetTimedBan(const std::string& name, int hour, int month, int day, int year) {
    players::PlayerRecord& r = Record(name);
    r.ban_until_hour = std::to_string(hour);
    r.ban_until_month = std::to_string(month);
    r.ban_until_day = std::to_string(day);
    r.ban_until_year = std::to_string(year);
    r.ban_reason = "spamming the lanes";
  }
  // The journal's entries about the character.
  std::vector<std::string> Journaled(const std::string& name) {
    return safety::testing::JournalLines(model_->journal(), name);
  }

  std::string ada_folder_, borin_folder_;
  int duration_ = 0;
};

TEST_F(BansTest, BanToggleBansAndTheCaptionTurns) {
  SelectRow("lstPlayers", "Ada Quill");
  ASSERT_EQ(Get("cmdBanToggle").text(), "Ban Player");
  frontend_.QueueAnswer(true);
  Click("cmdBanToggle");
  EXPECT_THAT(frontend_.shown(), ElementsAre("ask [Ban Confirmation] Ban player Ada Quill? -> OK"));
  EXPECT_THAT(Commands(), ElementsAre("ban Ada Quill"));
  EXPECT_THAT(Messages(logs::LogId::kServerActivity),
              Contains(": Player Ada Quill banned by helmsman"));
  EXPECT_EQ(Get("cmdBanToggle").text(), "Unban Player");
  EXPECT_EQ(Get("lblStatus").text(), "Good to go");
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
  EXPECT_THAT(Journaled("Ada Quill"), ElementsAre("ban operator acct1/Ada Quill end=indefinite"));
}

TEST_F(BansTest, UnbanFromEitherListEmptiesTheBanData) {
  MarkBanned(ada_folder_);
  SetTimedBan("Ada Quill", 15, 3, 7, 2005);
  SelectRow("lstBannedPlayers", "Ada Quill");
  EXPECT_TRUE(Get("cmdUnbanPlayer").enabled());  // the timer runs
  frontend_.QueueAnswer(true);
  Click("cmdUnbanPlayer");
  EXPECT_THAT(frontend_.shown(),
              ElementsAre("ask [Unban Confirmation] Unban player Ada Quill? -> OK"));
  EXPECT_THAT(Commands(), ElementsAre("unban Ada Quill"));
  EXPECT_THAT(Messages(logs::LogId::kServerActivity),
              Contains(": Player Ada Quill unbanned by helmsman"));
  EXPECT_EQ(Record("Ada Quill").ban_until_hour, "");
  EXPECT_EQ(Record("Ada Quill").ban_reason, "");
  EXPECT_THAT(Journaled("Ada Quill"),
              ElementsAre("unban operator acct1/Ada Quill end=3PM, March 7, 2005, "
                          "reason=spamming the lanes"));

  MarkBanned(borin_folder_);
  SelectRow("lstPlayers", "Borin Vex");
  ASSERT_EQ(Get("cmdBanToggle").text(), "Unban Player");
  frontend_.QueueAnswer(false);
  Click("cmdBanToggle");  // Cancel: nothing sent, timer untouched
  EXPECT_THAT(Commands(), ElementsAre("unban Ada Quill"));
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
}

TEST_F(BansTest, ACommandThatDidNotGoThroughSaysSoInsteadOfLookingBusy) {
  MarkBanned(ada_folder_);
  SelectRow("lstBannedPlayers", "Ada Quill");
  admin_.SetAnswer("unban", {0, server::kBusyReply});
  frontend_.QueueAnswer(true);
  Click("cmdUnbanPlayer");
  EXPECT_EQ(Get("lblStatus").text(), "Unable to unban player!");
  EXPECT_THAT(
      Messages(logs::LogId::kHelmError),
      Contains(HasSubstr("The unban of player Ada Quill did not go through: QVAdmin is busy")));
  EXPECT_THAT(Messages(logs::LogId::kServerActivity),
              ::testing::Not(Contains(HasSubstr("unbanned by helmsman"))));
  EXPECT_TRUE(Get("tmrMainEventTimer").enabled());
}

TEST_F(BansTest, SelectingABannedPlayerShowsItsBanData) {
  MarkBanned(ada_folder_);
  MarkBanned(borin_folder_);
  SetTimedBan("Ada Quill", 15, 3, 7, 2005);
  SelectRow("lstBannedPlayers", "Ada Quill");
  EXPECT_EQ(Get("optBanDuration_1").value(), 1);
  EXPECT_EQ(Get("cmbBanUntilTime").selected(), 15);
  EXPECT_EQ(Get("calBanUntilDate").value(), 20050307);
  EXPECT_EQ(Get("lblPlayerBannedUntil").text(), "3PM, March 7, 2005");
  EXPECT_EQ(Get("txtBanReason").text(), "spamming the lanes");

  Record("Borin Vex").ban_reason = "rude";
  SelectRow("lstBannedPlayers", "Borin Vex");
  EXPECT_EQ(Get("optBanDuration_0").value(), 1);
  EXPECT_EQ(Get("lblPlayerBannedUntil").text(), "Player Banned Indefinitely");
  EXPECT_FALSE(Get("cmdSetUnbanTime").enabled());
  EXPECT_FALSE(Get("calBanUntilDate").enabled());
  EXPECT_EQ(Get("txtBanReason").text(), "rude");

  // "Until:" offers today (the fake clock's) at 12AM until the time is set.
  controls().SetValue("optBanDuration_1", 1);
  Click("optBanDuration_1");
  const platform::CivilTime today = clock_.NowLocal();
  EXPECT_EQ(Get("calBanUntilDate").value(), CalendarValue(today.year, today.month, today.day));
  EXPECT_EQ(Get("cmbBanUntilTime").selected(), 0);
  EXPECT_EQ(Record("Borin Vex").ban_until_hour, "");  // not before Set Unban Time
  controls().Select("cmbBanUntilTime", 21);
  controls().SetValue("calBanUntilDate", 20270101);
  Click("cmdSetUnbanTime");
  EXPECT_EQ(Record("Borin Vex").ban_until_hour, "21");
  EXPECT_EQ(Record("Borin Vex").ban_until_month, "1");
  EXPECT_EQ(Record("Borin Vex").ban_until_day, "1");
  EXPECT_EQ(Record("Borin Vex").ban_until_year, "2027");
  EXPECT_EQ(Get("lblPlayerBannedUntil").text(), "9PM, January 1, 2027");

  controls().SetText("txtBanReason", "very rude");
  controls().Fire("txtBanReason", ui::ControlEvent::kChange);
  EXPECT_TRUE(Get("cmdSetBanReason").enabled());
  Click("cmdSetBanReason");
  EXPECT_EQ(Record("Borin Vex").ban_reason, "very rude");

  // "Indefinitely" empties the end at once; the reason stays.
  controls().SetValue("optBanDuration_0", 1);
  Click("optBanDuration_0");
  EXPECT_EQ(Record("Borin Vex").ban_until_year, "");
  EXPECT_EQ(Record("Borin Vex").ban_reason, "very rude");
  // Each change of the ban data is journaled; showing it is none.
  EXPECT_THAT(Journaled("Borin Vex"),
              ElementsAre("ban-end operator acct2/Borin Vex end=indefinite -> 9PM, January 1, "
                          "2027",
                          "ban-reason operator acct2/Borin Vex reason=rude -> very rude",
                          "ban-end operator acct2/Borin Vex end=9PM, January 1, 2027 -> "
                          "indefinite"));
  EXPECT_THAT(Journaled("Ada Quill"), ::testing::IsEmpty());
}

// The timed branch of the selection marked "Until:" without its click handling, so its
// button, hour list and calendar stayed disabled after an indefinite ban had been shown.
TEST_F(BansTest, SelectingATimedBanEnablesTheControlsOfItsEnd) {
  MarkBanned(ada_folder_);
  MarkBanned(borin_folder_);
  SetTimedBan("Ada Quill", 15, 3, 7, 2005);
  SelectRow("lstBannedPlayers", "Borin Vex");  // indefinite: the end's controls are off
  ASSERT_FALSE(Get("cmdSetUnbanTime").enabled());
  SelectRow("lstBannedPlayers", "Ada Quill");
  for (const char* control : {"cmdSetUnbanTime", "cmbBanUntilTime", "calBanUntilDate"}) {
    EXPECT_TRUE(Get(control).enabled()) << control;
  }
  EXPECT_EQ(Get("lblPlayerBannedUntil").text(), "3PM, March 7, 2005");
  controls().Select("cmbBanUntilTime", 20);
  Click("cmdSetUnbanTime");
  EXPECT_EQ(Record("Ada Quill").ban_until_hour, "20");
  EXPECT_EQ(Record("Ada Quill").ban_until_day, "7");
  EXPECT_EQ(Record("Borin Vex").ban_until_hour, "");
}

// In the demo window a banned row stayed selected by its index across a rebuild, on the
// player who had moved into it, with "Set Unban Time" enabled: one click gave that player
// a ban end. A rebuild after a ban (of a player listed before the selected one) and after
// an unban (of the selected one) now leaves no row selected and the end's controls off, and
// a click that arrives all the same gives nobody an end.
TEST_F(BansTest, AfterARebuildSetUnbanTimeActsOnNobody) {
  const std::string cyra_folder = AddRecord("Cyra Holt", "acct3");
  // The server's part: the mark comes and goes with the command.
  admin_.set_on_command([&](const std::string& command) {
    if (command == "ban Ada Quill") std::ofstream(ada_folder_ + "/banned").close();
    if (command == "unban Borin Vex") std::filesystem::remove(borin_folder_ + "/banned");
  });
  struct Case {
    const char* what;
    const char* selected;  // the banned row chosen before the rebuild, row 0
    std::function<void()> rebuild;
  };
  const Case cases[] = {
      {"ban toggle", "Borin Vex",
       [&] {
         SelectRow("lstPlayers", "Ada Quill");
         frontend_.QueueAnswer(true);
         Click("cmdBanToggle");
       }},
      {"unban", "Borin Vex",
       [&] {
         frontend_.QueueAnswer(true);
         Click("cmdUnbanPlayer");
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    MarkBanned(borin_folder_);
    MarkBanned(cyra_folder);
    SelectRow("lstBannedPlayers", c.selected);
    controls().SetValue("optBanDuration_1", 1);
    Click("optBanDuration_1");
    ASSERT_TRUE(Get("cmdSetUnbanTime").enabled());
    c.rebuild();
    ASSERT_NE(Get("lstBannedPlayers").rows().at(0), c.selected);  // another player's row now
    EXPECT_EQ(Get("lstBannedPlayers").selected(), -1);
    for (const char* control : {"cmdSetUnbanTime", "cmbBanUntilTime", "calBanUntilDate",
                                "optBanDuration_0", "optBanDuration_1"}) {
      EXPECT_FALSE(Get(control).enabled()) << control;
    }
    Click("cmdSetUnbanTime");
    for (const char* name : {"Ada Quill", "Borin Vex", "Cyra Holt"}) {
      EXPECT_EQ(Record(name).ban_until_hour, "") << name;
    }
    std::filesystem::remove(ada_folder_ + "/banned");
  }
}

TEST_F(BansTest, ABannedNameWhoseRecordHasGoneShowsNoBanData) {
  MarkBanned(ada_folder_);
  model_->players().Remove(model_->players().FindByName("Ada Quill"));
  SelectRow("lstBannedPlayers", "Ada Quill");  // the list on screen is older
  EXPECT_FALSE(Get("optBanDuration_0").enabled());
  EXPECT_EQ(Get("lblPlayerBannedUntil").text(), "");
  Click("cmdSetUnbanTime");
  Click("cmdSetBanReason");  // nothing to write to, nothing breaks
}

TEST_F(BansTest, ViewBannedPlayerJumpsToThePlayerOrRefreshesTheLists) {
  MarkBanned(borin_folder_);
  SelectRow("lstBannedPlayers", "Borin Vex");
  Click("cmdViewBannedPlayerInfo");
  EXPECT_EQ(Get("SSTab1").selected(), 1);
  ASSERT_GE(Get("lstPlayers").selected(), 0);
  EXPECT_EQ(Get("lstPlayers").rows()[Get("lstPlayers").selected()], "Borin Vex");

  controls().SetRows("lstPlayers", {"Ada Quill"});  // out of date
  SelectRow("lstBannedPlayers", "Borin Vex");
  Click("cmdViewBannedPlayerInfo");
  EXPECT_THAT(frontend_.shown(),
              Contains(HasSubstr("Unable to find player [Borin Vex] in the player list!  The "
                                 "player lists will refresh, please try again.")));
  EXPECT_THAT(Get("lstPlayers").rows(), Contains("Borin Vex"));  // rebuilt
}

TEST(BanIsDueTest, ComparesYearMonthDayThenHour) {
  auto record = [](const char* hour, const char* month, const char* day, const char* year) {
    players::PlayerRecord r;
    r.ban_until_hour = hour;
    r.ban_until_month = month;
    r.ban_until_day = day;
    r.ban_until_year = year;
    return r;
  };
  const platform::CivilTime october_10{2026, 10, 10, 8};
  EXPECT_TRUE(BanIsDue(record("23", "9", "9", "2026"), october_10));  // 9 September
  EXPECT_FALSE(BanIsDue(record("0", "11", "1", "2026"), october_10));
  EXPECT_TRUE(BanIsDue(record("0", "10", "10", "2026"), october_10));  // today 12AM
  EXPECT_TRUE(BanIsDue(record("8", "10", "10", "2026"), october_10));  // this hour
  EXPECT_FALSE(BanIsDue(record("9", "10", "10", "2026"), october_10));
  EXPECT_TRUE(BanIsDue(record("23", "12", "31", "2025"), october_10));  // any gap
  // 31 September from a hand-edited list: compared as numbers, due once October comes.
  EXPECT_TRUE(BanIsDue(record("0", "9", "31", "2026"), october_10));
  EXPECT_FALSE(BanIsDue(record("0", "9", "31", "2026"), {2026, 9, 30, 23}));
  // Unreadable data never lifts a ban.
  EXPECT_FALSE(BanIsDue(record("x", "9", "9", "2020"), october_10));
  EXPECT_FALSE(BanIsDue(record("1", "", "9", "2020"), october_10));
  EXPECT_EQ(UntilText(0, 9, 31, 2026), "12AM, September 31, 2026");
}

TEST_F(BansTest, TheUnbanCheckLiftsDueBansOnly) {
  SetTimedBan("Ada Quill", 0, 1, 1, 2000);  // long past
  SetTimedBan("Borin Vex", 0, 1, 1, 2999);  // far ahead
  AddRecord("Cyra Holt", "acct3");
  SetTimedBan("Cyra Holt", 0, 1, 1, 2001);  // past, but the server refuses
  admin_.SetAnswer("unban Cyra", {1, "unban Cyra Holt FAILED\r\n"});
  UnbanDuePlayers(BanParts{controls(), model_->status(), model_->channel(), model_->logs(),
                           model_->players(), [] {}, model_->settings(), platform::DiskFileSystem(),
                           [this]() -> ui::Frontend& { return frontend_; }, duration_, nullptr,
                           &model_->journal()});
  EXPECT_THAT(Commands(), ElementsAre("unban Ada Quill", "unban Cyra Holt"));
  EXPECT_THAT(Journaled("Ada Quill"),
              ElementsAre("unban rule:unban check acct1/Ada Quill end=12AM, January 1, 2000, "
                          "reason=spamming the lanes"));
  EXPECT_THAT(Journaled("Cyra Holt"), ::testing::IsEmpty());  // refused: nothing happened
  EXPECT_THAT(Messages(logs::LogId::kServerActivity),
              Contains(": Player Ada Quill unbanned by automated unban check"));
  EXPECT_EQ(Record("Ada Quill").ban_until_year, "");
  EXPECT_EQ(Record("Ada Quill").ban_reason, "");
  EXPECT_EQ(Record("Borin Vex").ban_until_year, "2999");
  EXPECT_EQ(Record("Cyra Holt").ban_until_year, "2001");  // tried again at the next check
  EXPECT_EQ(Get("lblStatus").text(), "Good to go");
}

// A full disk keeps the pending edit unban out of its file: the HELM error log says so, and
// the unban check of this run still lifts the ban.
TEST_F(BansTest, AnEditUnbanThatCannotBeWrittenDownIsStillRetriedInThisRun) {
  struct FullDisk : platform::ForwardingFileSystem {
    bool WriteFileDurably(const std::string&, const std::string&, std::string* error) override {
      *error = "no space left on device";
      return false;
    }
  } full;
  PendingEditUnbans pending(full, folder_);
  admin_.SetAnswer("unban", {1, "unban Ada Quill FAILED\r\n"});
  EXPECT_FALSE(LiftEditBan(model_->channel(), model_->logs(), &pending, "Ada Quill"));
  EXPECT_THAT(Messages(logs::LogId::kHelmError),
              Contains(": Could not write HelmsmanPendingEditUnbans.txt: no space left on device"));
  EXPECT_THAT(pending.names(), ElementsAre("Ada Quill"));

  admin_.ClearAnswer("unban");
  UnbanDuePlayers(BanParts{controls(), model_->status(), model_->channel(), model_->logs(),
                           model_->players(), [] {}, model_->settings(), full,
                           [this]() -> ui::Frontend& { return frontend_; }, duration_, &pending});
  EXPECT_THAT(Commands(), ElementsAre("unban Ada Quill", "unban Ada Quill"));
  EXPECT_THAT(Messages(logs::LogId::kServerActivity),
              Contains(": Player Ada Quill unbanned by helmsman after edit"));
  EXPECT_TRUE(pending.names().empty());
  EXPECT_FALSE(std::filesystem::exists(folder_ + "/" + kPendingEditUnbansFileName));
}

}  // namespace
}  // namespace helmsman::moderation
