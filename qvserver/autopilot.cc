#include "qvserver/autopilot.h"

#include <vector>

namespace helmsman::qvserver {

namespace {

constexpr int kOfflineTries = 5;
constexpr CheatKind kKinds[] = {CheatKind::kShipRelated, CheatKind::kShipCapacityExceeded,
                                CheatKind::kEquipmentExceedsShipSpecs, CheatKind::kNotSold};

}  // namespace

std::string Autopilot::PickOffline() {
  const std::vector<Character>& characters = universe_.characters();
  for (int tries = 0; tries < kOfflineTries && !characters.empty(); ++tries) {
    const Character& character = characters[rng_.Below(characters.size())];
    if (!universe_.IsOnline(character.name) && !universe_.IsBanned(character.account))
      return character.name;
  }
  return "";
}

std::string Autopilot::PickOnline() {
  std::vector<std::string> online = universe_.OnlineNames();
  return online.empty() ? "" : online[rng_.Below(online.size())];
}

std::string Autopilot::Describe(const std::string& event, bool done, const std::string& message) {
  return event + (done ? ": " : " (not done): ") + message;
}

std::string Autopilot::Step() {
  std::string message;
  bool nobody_online = universe_.OnlineNames().empty();
  uint64_t roll = rng_.Below(100);
  if (nobody_online) roll = roll < 85 ? 0 : 65;  // join or a new character
  if (roll < 30) {
    std::string name = PickOffline();
    if (name.empty()) return "idle: nobody to join";
    return Describe("join " + name, universe_.Join(name, &message), message);
  }
  if (roll < 50) {
    std::string name = PickOnline();
    return Describe("leave " + name, universe_.Leave(name, &message), message);
  }
  if (roll < 65) {
    std::string name = PickOnline();
    return Describe("save " + name, universe_.Save(name, &message), message);
  }
  if (roll < 72) return Describe("new", universe_.NewCharacter("", &message), message);
  if (roll < 75) {
    std::string name = PickOnline();
    CheatKind kind = kKinds[rng_.Below(4)];
    return Describe("cheat " + name, universe_.Cheat(kind, name, &message), message);
  }
  return "idle";
}

}  // namespace helmsman::qvserver
