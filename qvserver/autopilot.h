// The server's autonomous mode: a stream of invented events (players joining and leaving,
// saves, new characters, now and then a cheat), so that a demo has something to watch. The
// choices come from a seeded generator and the state of the universe only, so the same seed
// on the same account folders gives the same events.
#ifndef HELMSMAN_QVSERVER_AUTOPILOT_H_
#define HELMSMAN_QVSERVER_AUTOPILOT_H_

#include <cstdint>
#include <string>

#include "gamefiles/splitmix.h"
#include "qvserver/universe.h"

namespace helmsman::qvserver {

class Autopilot {
 public:
  Autopilot(Universe& universe, uint64_t seed) : universe_(universe), rng_(seed ^ kSalt) {}

  // Carries out one event and says what it was ("join Kessa: Kessa joined", "idle").
  std::string Step();

  // Events that pick a character themselves: a random offline character of an account that
  // is not banned (a few tries), a random online character. Empty when there is none.
  std::string PickOffline();
  std::string PickOnline();

 private:
  static constexpr uint64_t kSalt = 0xA170A170A170A170ull;
  std::string Describe(const std::string& event, bool done, const std::string& message);

  Universe& universe_;
  gamefiles::SplitMix64 rng_;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_AUTOPILOT_H_
