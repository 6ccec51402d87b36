// End to end: the console's publishing over the real qvserver. The online players page after
// a players-online update lists exactly the players the server reports; the banned players
// page after an unban check lists the banned accounts with their ban data; a statistics run
// started with "Generate Now" leaves the finished page at its output path, made by the real
// qvstat through the generated script, started detached.
#include <algorithm>
#include <thread>

#include "console/publishing/statistics_run.h"
#include "console/publishing/web_pages.h"
#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

using Strings = std::vector<std::string>;

std::string ReadAll(const std::string& path) {
  std::string text;
  platform::DiskFileSystem().ReadFile(path, &text, nullptr);
  return text;
}

// The texts of the cells of a CSS class, in page order.
Strings Cells(const std::string& page, const std::string& css_class) {
  Strings cells;
  const std::string open = "<TD CLASS=" + css_class + ">";
  for (size_t at = 0; (at = page.find(open, at)) != std::string::npos;) {
    at += open.size();
    cells.push_back(page.substr(at, page.find("</TD>", at) - at));
  }
  return cells;
}

class PublishingEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings*) override {
    accounts->seed = 41;
    accounts->accounts = 4;
    accounts->characters_per_account = 2;
  }

  void Start() {
    frontend_.QueueAnswer(true);  // the first run's generation
    ASSERT_TRUE(window_->StartUp());
    ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning)
        << controls().Get("lblStatus").text();
    ASSERT_EQ(window_->players().Count(), 8);
    Write("head.htt", "<TABLE>");
    Write("foot.htt", "</TABLE>");
  }
  std::string Path(const std::string& name) { return program_ + "/" + name; }
  std::string Write(const std::string& name, const std::string& text) {
    platform::DiskFileSystem().WriteFile(Path(name), text, nullptr);
    return Path(name);
  }
};

TEST_F(PublishingEndToEndTest, OnlinePageListsExactlyThePlayersTheServerReports) {
  Start();
  settings::Settings& s = window_->settings();
  s.chkEnableOnlinePlayerWebOutput = 1;
  s.txtOnlinePlayersWebOutputHeaderPath = Path("head.htt");
  s.txtOnlinePlayersWebOutputFooterPath = Path("foot.htt");
  s.txtOnlinePlayersWebOutputOutputPath = Path("online.html");
  const std::string ann = window_->players().At(0)->name;
  const std::string bob = window_->players().At(3)->name;
  ASSERT_EQ(Ctl({"join", ann}).code, 0);
  ASSERT_EQ(Ctl({"join", bob}).code, 0);
  controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
  Tick();
  std::string page = ReadAll(Path("online.html"));
  EXPECT_EQ(controls().Get("lstPlayersOnline").rows(), (Strings{ann, bob}));
  EXPECT_EQ(Cells(page, "name"),
            (Strings{publishing::EscapeCell(ann), publishing::EscapeCell(bob)}));
  EXPECT_EQ(Cells(page, "system"),
            (Strings{window_->players().At(0)->system, window_->players().At(3)->system}));
  EXPECT_NE(page.find(" 2 players online, updated <B>"), std::string::npos);

  ASSERT_EQ(Ctl({"leave", ann}).code, 0);
  controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
  Tick();
  page = ReadAll(Path("online.html"));
  EXPECT_EQ(Cells(page, "name"), (Strings{publishing::EscapeCell(bob)}));
  EXPECT_EQ(Messages(logs::LogId::kHelmError), Strings{});
}

TEST_F(PublishingEndToEndTest, BannedPageAfterTheUnbanCheckListsTheBannedAccounts) {
  Start();
  // Two accounts banned by the server (its "banned" file in the account folder), as the
  // console's lists show them after a refresh.
  for (int record : {0, 5}) {
    const std::string folder = window_->players().At(record)->account_folder;
    platform::DiskFileSystem().WriteFile(folder + "/banned", "", nullptr);
  }
  window_->player_database().FillScreenLists();
  const Strings banned = controls().Get("lstBannedPlayers").rows();
  ASSERT_EQ(banned.size(), 4u);
  const int first = window_->players().FindByName(banned[0]);
  window_->players().At(first)->ban_reason = "ramming the <station>";
  settings::Settings& s = window_->settings();
  s.chkEnableBannedPlayersWebOutput = 1;
  s.txtBannedPlayersWebOutputHeaderPath = Path("head.htt");
  s.txtBannedPlayersWebOutputFooterPath = Path("foot.htt");
  s.txtBannedPlayersWebOutputFilePath = Path("banned.html");
  controls().Fire("cmdCheckForPlayersToUnban", ui::ControlEvent::kClick);
  Tick();
  const std::string page = ReadAll(Path("banned.html"));
  Strings escaped;
  for (const std::string& name : banned) escaped.push_back(publishing::EscapeCell(name));
  EXPECT_EQ(Cells(page, "name"), escaped);
  EXPECT_EQ(Cells(page, "banneduntil"), Strings(banned.size(), "Indefinite"));
  const Strings reasons = Cells(page, "banreason");
  ASSERT_EQ(reasons.size(), banned.size());
  EXPECT_EQ(reasons[0], "ramming the &lt;station&gt;");
  EXPECT_TRUE(std::all_of(reasons.begin() + 1, reasons.end(),
                          [](const std::string& r) { return r == "Reason Unspecified"; }));
  EXPECT_NE(page.find(" " + std::to_string(banned.size()) + " banned players, updated <B>"),
            std::string::npos);
}

// The operator's installation: the statistics tool beside the console (a link named
// QVStat.exe) with its qvstat.ini naming the account root; the GAMEDATA files are the
// console's own, in the folder the script runs in.
TEST_F(PublishingEndToEndTest, GenerateNowLeavesTheStatisticsPageMadeByQVStat) {
  Start();
  fs::create_symlink(std::string(kBinDir) + "/qvstat", Path("QVStat.exe"));
  Write("qvstat.ini", "root = " + server_ + "/Accts/MultiPlayer\r\n");
  settings::Settings& s = window_->settings();
  s.chkEnableQVStat = 1;
  s.txtQVStatExePath = Path("QVStat.exe");
  s.txtQVStatHeaderPath = Path("head.htt");
  s.txtQVStatFooterPath = Path("foot.htt");
  s.txtQVStatOutputPath = Path("stats.html");
  s.chkQVStatShowPlayerPOS = 1;
  controls().Fire("cmdGenerateQVStats", ui::ControlEvent::kClick);
  Tick();
  const auto deadline = SteadyClock::now() + std::chrono::seconds(30);
  while (!fs::exists(Path("stats.html")) && SteadyClock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  const std::string page = ReadAll(Path("stats.html"));
  ASSERT_EQ(page.rfind("<TABLE>", 0), 0u) << page;
  EXPECT_EQ(page.substr(page.size() - 8), "</TABLE>");
  Strings names = Cells(page, "name");
  Strings expected;
  for (const players::PlayerRecord& r : window_->players().InUse())
    expected.push_back(publishing::EscapeCell(r.name));
  std::sort(names.begin(), names.end());
  std::sort(expected.begin(), expected.end());
  EXPECT_EQ(names, expected);
  EXPECT_EQ(Cells(page, "pos").size(), expected.size());
  const Strings activity = Messages(logs::LogId::kServerActivity);
  EXPECT_NE(std::find(activity.begin(), activity.end(), ": QVStat executed"), activity.end());
  EXPECT_TRUE(fs::exists(Path(publishing::kStatisticsScriptName)));
}

}  // namespace
}  // namespace helmsman::e2e
