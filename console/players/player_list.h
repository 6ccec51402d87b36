// The player list: a fixed table of 20,001 player records (indexes 0..20000), allocated once
// at its full size when the list is made and never grown.
//
// The records in use are those from index 0 up to, not including, the first record whose
// name is empty; that record ends the list and the records after it are never looked at.
// The list is kept packed: Add fills the first free record and Remove closes the gap.
// An index names a record for the duration of one operation only; operations on a selected
// name look it up again with FindByName.
//
// Count, FindFirstFree and FindByName walk the table from index 0 (callers may empty a name
// through At, so no count is cached): hoist them out of loops.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYER_LIST_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYER_LIST_H_

#include <span>
#include <string_view>
#include <vector>

#include "console/players/player_record.h"

namespace helmsman::players {

inline constexpr int kMaxPlayers = 20001;
// The index returned when there is no such record.
inline constexpr int kNoPlayer = -1;

class PlayerList {
 public:
  // Allocates all kMaxPlayers records, every one free.
  PlayerList();
  // A full table is about 46 MB of strings before any text: never copied by accident.
  PlayerList(const PlayerList&) = delete;
  PlayerList& operator=(const PlayerList&) = delete;

  static constexpr int capacity() { return kMaxPlayers; }

  // The number of records in use (the index of the record that ends the list).
  int Count() const;
  // The records in use, in list order.
  std::span<PlayerRecord> InUse();
  std::span<const PlayerRecord> InUse() const;

  // The index of the first free record, or kNoPlayer when all 20,001 are in use.
  int FindFirstFree() const;
  // The index of the first record in use whose name equals name exactly (case and blanks
  // count), or kNoPlayer.
  int FindByName(std::string_view name) const;

  // Puts record into the first free record and returns its index. Returns kNoPlayer, and
  // changes nothing, when the table is full or the record has no name (a nameless record
  // would be free at once).
  int Add(PlayerRecord record);
  // Removes the record in use at index: every following record in use moves down one place
  // with all its fields, and the former last record in use is emptied completely. Returns
  // false, changing nothing, when index is not a record in use.
  bool Remove(int index);
  // Empties every record.
  void Clear();

  // The record at index 0..20000 (in use or not), or nullptr outside the table.
  PlayerRecord* At(int index);
  const PlayerRecord* At(int index) const;

 private:
  std::vector<PlayerRecord> records_;
};

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYER_LIST_H_
