// One character's record in the player list: 72 text fields. Numbers, dates and times are
// held as the text that was read or formatted; an empty text means "not set". A record whose
// name is empty is free, and the first free record ends the list.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYER_RECORD_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYER_RECORD_H_

#include <array>
#include <string>

namespace helmsman::players {

// Weapon slots of a record. The reader fills slots 0..20 (slot 20 takes every weapon past the
// twentieth); only slots 0..19 go into the player list file.
inline constexpr int kWeaponSlots = 51;
inline constexpr int kStoredWeaponSlots = 20;

struct PlayerRecord {
  std::string name;                    // the character's name; empty = free record
  std::string unknown_equipment_code;  // last equipped code the catalogue lacks; not stored
  std::string file_name;               // the character file, without folder
  std::string account_folder;          // folder holding the file, without a trailing separator
  std::string ban_until_hour;          // 0..23 as text; empty = no timed ban
  std::string ban_until_month;         // 1..12 as text
  std::string ban_until_day;
  std::string ban_until_year;
  std::string ban_reason;  // free text, blanks kept
  std::string system;
  std::string location;
  std::string money;
  std::string rank;
  std::string kills;
  std::string time_played;
  std::string ship;
  std::string last_saved;
  std::string last_read;
  std::array<std::string, kWeaponSlots> weapons;
  std::string shield;
  std::string power_generator;
  std::string first_seen;

  bool is_free() const { return name.empty(); }
  bool operator==(const PlayerRecord&) const = default;
  // Empties every field, so that a record given out again carries nothing of its former
  // character (the reader leaves the ban fields alone, so stale ones would be inherited).
  void Clear();
};

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYER_RECORD_H_
