#include "console/players/player_record.h"

namespace helmsman::players {

void PlayerRecord::Clear() {
  // Clearing rather than assigning a fresh record keeps each string's buffer for the next
  // character that takes this record.
  for (std::string* field :
       {&name, &unknown_equipment_code, &file_name, &account_folder, &ban_until_hour,
        &ban_until_month, &ban_until_day, &ban_until_year, &ban_reason, &system, &location,
        &money, &rank, &kills, &time_played, &ship, &last_saved, &last_read, &shield,
        &power_generator, &first_seen}) {
    field->clear();
  }
  for (std::string& weapon : weapons) weapon.clear();
}

}  // namespace helmsman::players
