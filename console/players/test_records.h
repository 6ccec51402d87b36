// Records for the player tests: every one of the 72 fields holds a text of its own, so that a
// field landing in the wrong place shows.
#ifndef HELMSMAN_CONSOLE_PLAYERS_TEST_RECORDS_H_
#define HELMSMAN_CONSOLE_PLAYERS_TEST_RECORDS_H_

#include <string>

#include "console/players/player_record.h"

namespace helmsman::players {

inline PlayerRecord MakeTestRecord(int n) {
  std::string id = std::to_string(n);
  PlayerRecord r;
  r.name = "Pilot " + id;
  r.unknown_equipment_code = "zq" + id;
  r.file_name = "c" + id + ".qv";
  r.account_folder = "/accts/" + id;
  r.ban_until_hour = std::to_string(n % 24);
  r.ban_until_month = std::to_string(n % 12 + 1);
  r.ban_until_day = std::to_string(n % 28 + 1);
  r.ban_until_year = "20" + id;
  r.ban_reason = "reason " + id;
  r.system = "Tessary " + id;
  r.location = "Orlo Dock " + id;
  r.money = id + "00";
  r.rank = "r" + id;
  r.kills = "k" + id;
  r.time_played = id + " hours, 1 minutes, 2 seconds";
  r.ship = "Skiff " + id;
  r.last_saved = "saved " + id;
  r.last_read = "read " + id;
  for (int w = 0; w < kWeaponSlots; ++w) r.weapons[w] = "w" + std::to_string(w) + "-" + id;
  r.shield = "shield " + id;
  r.power_generator = "power " + id;
  r.first_seen = "first " + id;
  return r;
}

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_TEST_RECORDS_H_
