// End to end: the console's main window, with the built libqvadmin.so and libqvcodec.so
// loaded by their file names, comes up unattended over a small universe, starts the real
// qvserver program itself and follows two players whom qvserver-ctl brings in and takes out
// again; the player activity log shows them found and no longer found.
#include <algorithm>

#include "tests/console_fixture.h"

namespace helmsman::e2e {
namespace {

class ConsoleEndToEndTest : public ConsoleFixture {
 protected:
  void Configure(gamefiles::AccountsOptions* accounts, settings::Settings*) override {
    accounts->seed = 33;
    accounts->accounts = 3;
    accounts->characters_per_account = 2;
  }

  // Runs the players-online update as the timer does when it comes due.
  void UpdateNow() {
    window_->controls().Fire("cmdUpdatePlayersOnline", ui::ControlEvent::kClick);
    window_->controls().Fire("tmrMainEventTimer", ui::ControlEvent::kTimer);
  }
};

TEST_F(ConsoleEndToEndTest, TwoPlayersJoinAndLeaveAndTheLogsShowIt) {
  frontend_.QueueAnswer(true);  // the first run's generation over the six characters
  ASSERT_TRUE(window_->StartUp());
  ASSERT_EQ(window_->start_up_outcome(), ui::StartUpOutcome::kRunning)
      << window_->controls().Get("lblStatus").text();
  ASSERT_EQ(window_->players().Count(), 6);
  const std::string ann = window_->players().At(0)->name;
  const std::string bob = window_->players().At(2)->name;  // another account

  ASSERT_EQ(Ctl({"join", ann}).code, 0);
  ASSERT_EQ(Ctl({"join", bob}).code, 0);
  UpdateNow();
  EXPECT_EQ(window_->controls().Get("lstPlayersOnline").rows(),
            (std::vector<std::string>{ann, bob}));
  EXPECT_EQ(window_->controls().Get("lstPlayersOnlineSystems").rows(),
            (std::vector<std::string>{window_->players().At(0)->system,
                                      window_->players().At(2)->system}));

  ASSERT_EQ(Ctl({"leave", ann}).code, 0);
  ASSERT_EQ(Ctl({"leave", bob}).code, 0);
  UpdateNow();
  EXPECT_TRUE(window_->controls().Get("lstPlayersOnline").rows().empty());
  EXPECT_EQ(Messages(logs::LogId::kPlayerActivity),
            (std::vector<std::string>{": Player " + ann + " found on the server",
                                      ": Player " + bob + " found on the server",
                                      ": Player " + ann + " no longer found on the server",
                                      ": Player " + bob + " no longer found on the server"}));
  const std::vector<std::string> server_log = Messages(logs::LogId::kServerActivity);
  EXPECT_NE(std::find(server_log.begin(), server_log.end(),
                      ": Helmsman loaded successfully and good to go!"),
            server_log.end());
  EXPECT_TRUE(Messages(logs::LogId::kHelmError).empty());
}

}  // namespace
}  // namespace helmsman::e2e
