#include "console/players/player_record.h"

namespace helmsman::players {

void PlayerRecord::Clear() {
  // Clearing rather than assigning a fresh record keeps each string's buffer for the next
  // character that takes this record. Only fields that hold text are written: a table of
  // mostly free records is then cleared by reading it, without dirtying all of its memory.
  auto clear = [](std::string& field) {
    if (!field.empty()) field.clear();
  };
  for (std::string* field : {&name,           &unknown_equipment_code,
                             &file_name,      &account_folder,
                             &ban_until_hour, &ban_until_month,
                             &ban_until_day,  &ban_until_year,
                             &ban_reason,     &system,
                             &location,       &money,
                             &rank,           &kills,
                             &time_played,    &ship,
                             &last_saved,     &last_read,
                             &shield,         &power_generator,
                             &first_seen}) {
    clear(*field);
  }
  for (std::string& weapon : weapons) clear(weapon);
}

}  // namespace helmsman::players
