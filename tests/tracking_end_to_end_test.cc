// End to end: the console's online player tracking over the real qvserver with a full server,
// 1,001 players online from the start. The players-online update must take every one of them
// from QVAdmin's "list online" reply: all 1,001 rows, each with its record's system, and each
// logged as found.
#include <algorithm>
#include <sstream>

#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

constexpr int kOnline = 1001;

class TrackingEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings* stored) override {
    accounts->seed = 41;
    // More characters than go online: some share a name (the game's default name among
    // them), and a name is online only once.
    accounts->accounts = 560;
    accounts->characters_per_account = 2;
    stored->txtQVServerCommandLineOptions =
        "--seed 5 --save-interval 600 --online " + std::to_string(kOnline);
  }
};

TEST_F(TrackingEndToEndTest, AThousandAndOnePlayersOnlineAreAllTracked) {
  frontend_.QueueAnswer(true);  // the first run's generation over every character
  ASSERT_TRUE(window_->StartUp());
  ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning)
      << controls().Get("lblStatus").text();
  const CtlOutcome online = Ctl({"online"});
  ASSERT_EQ(online.code, 0);
  std::vector<std::string> names;
  std::istringstream lines(online.out);
  for (std::string line; std::getline(lines, line);) names.push_back(line);
  ASSERT_EQ(names.size(), static_cast<size_t>(kOnline));

  controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
  controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer);

  EXPECT_EQ(controls().Get("lstPlayersOnline").rows(), names);
  const std::vector<std::string>& systems = controls().Get("lstPlayersOnlineSystems").rows();
  EXPECT_EQ(systems.size(), names.size());
  EXPECT_EQ(std::count(systems.begin(), systems.end(), "PLAYER NOT FOUND :("), 0);
  const std::vector<std::string> found = Messages(logs::LogId::kPlayerActivity);
  EXPECT_EQ(found.size(), names.size());
  EXPECT_EQ(found.back(), ": Player " + names.back() + " found on the server");
  EXPECT_EQ(controls().Get("fraPlayersOnline").text().rfind("1001 Players Online, Updated ", 0),
            0u);
  EXPECT_TRUE(Messages(logs::LogId::kHelmError).empty())
      << ::testing::PrintToString(Messages(logs::LogId::kHelmError));
}

}  // namespace
}  // namespace helmsman::e2e
