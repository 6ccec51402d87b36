// The game data catalogue: the game's equipment, ships, star systems, bases and factions,
// read once at start-up from the "GAMEDATA_" files in the program folder and read-only
// afterwards.
//
// Each table is a fixed array of kTableCapacity entries, filled from index 0 in file
// order; the entry after the last real one holds the table's end marker in `nickname`.
// Lookups compare whole fields exactly (case-sensitive) and give the first matching entry
// in file order; entries at or past the end marker are never found. An index per field
// makes lookups cheap without changing which entry is found.
//
// Loading rules: a line ends at CR LF or LF; empty lines are skipped; nothing is trimmed.
// Three-column line: `hashCode` before the first "=", `nickname` up to the first "," after
// it, `displayName` the rest (further "," and "=" included). Two-column line: `nickname`
// before the first "=", `displayName` after it.
//
// Damaged data never stops the program; each problem is one HELM error-log line:
// - a line that cannot be split (no "=", or in three-column files no "," after it) is
//   skipped: ": GAMEDATA_guns.txt line 7 cannot be split into its fields and was skipped";
// - a line whose nickname is the table's end marker would end the table early, so it is
//   skipped too: ": GAMEDATA_guns.txt line 9 holds the end marker END GUNS and was skipped";
// - of a file with more than 1000 entries the first 1000 are kept: ": GAMEDATA_guns.txt
//   holds more than 1000 entries; line 1003 and all after it were ignored";
// - a file that cannot be read leaves its table empty: ": Error reading game data file
//   <path>: <reason>".
#ifndef HELMSMAN_CONSOLE_GAMEDATA_CATALOGUE_H_
#define HELMSMAN_CONSOLE_GAMEDATA_CATALOGUE_H_

#include <array>
#include <span>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "console/gamedata/tables.h"
#include "console/logs/logs.h"
#include "platform/file_system.h"

namespace helmsman::gamedata {

struct Entry {
  std::string hashCode;
  std::string nickname;
  std::string displayName;
};

class Catalogue {
 public:
  // All tables allocated at full size and empty (entry 0 holds the end marker).
  Catalogue();
  Catalogue(const Catalogue&) = delete;
  Catalogue& operator=(const Catalogue&) = delete;

  // Loads the nineteen tables in load order from the program folder. Run the presence
  // check (presence.h) first; a file missing here just leaves its table empty and is
  // reported like an unreadable one.
  void LoadAll(const std::string& program_folder, platform::FileSystem& fs, logs::Logs& logs);
  // Replaces one table with the entries of a file's text.
  void LoadTable(Table table, std::string_view text, logs::Logs& logs);

  // The first entry whose field equals the text exactly, or nullptr.
  const Entry* FindByHashCode(Table table, const std::string& code) const;
  const Entry* FindByNickname(Table table, const std::string& nickname) const;
  const Entry* FindByDisplayName(Table table, const std::string& name) const;

  // The real entries in file order (not including the end marker).
  std::span<const Entry> Enumerate(Table table) const;
  // The number of real entries; the end marker sits at this index.
  int size(Table table) const { return At(table).count; }
  // Any slot 0..kTableCapacity-1 as it is held (slot size(table) is the end marker).
  const Entry& slot(Table table, int index) const { return At(table).entries[index]; }

 private:
  using Index = std::unordered_map<std::string, int>;
  struct TableData {
    std::vector<Entry> entries;  // kTableCapacity slots, allocated once
    int count = 0;
    Index by_hash_code, by_nickname, by_display_name;  // text -> first index
  };
  TableData& At(Table table) { return tables_[static_cast<int>(table)]; }
  const TableData& At(Table table) const { return tables_[static_cast<int>(table)]; }
  const Entry* Find(const TableData& data, const Index& index, const std::string& key) const;
  void Reset(Table table);
  void Store(Table table, Entry entry);

  std::array<TableData, kTableCount> tables_;
};

// The display names of all bases in file order: the rows of `cmbAvailableBases`.
std::vector<std::string> AvailableBases(const Catalogue& catalogue);
// The display names of guns, shields, power generators, turrets, projectiles, ships and
// miscellaneous equipment, in that order: the rows of `cmdAllEquippableEquipment`.
std::vector<std::string> AllEquippableEquipment(const Catalogue& catalogue);

}  // namespace helmsman::gamedata

#endif  // HELMSMAN_CONSOLE_GAMEDATA_CATALOGUE_H_
