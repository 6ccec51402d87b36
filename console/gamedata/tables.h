// The game data tables as the console holds them: the table list of the game's files, and
// the fixed capacity of the console's tables.
#ifndef HELMSMAN_CONSOLE_GAMEDATA_TABLES_H_
#define HELMSMAN_CONSOLE_GAMEDATA_TABLES_H_

#include "gamefiles/tables.h"

namespace helmsman::gamedata {

using gamefiles::EndMarker;
using gamefiles::FileName;
using gamefiles::HasHashCodes;
using gamefiles::kMapInfoFileName;
using gamefiles::kTableCount;
using gamefiles::LoadOrder;
using gamefiles::PresenceOrder;
using gamefiles::Table;

// Each table is a fixed array of this many entries; the entry after the last real one
// holds the end marker, so at most kMaxEntries are real.
inline constexpr int kTableCapacity = 1001;
inline constexpr int kMaxEntries = kTableCapacity - 1;

}  // namespace helmsman::gamedata

#endif  // HELMSMAN_CONSOLE_GAMEDATA_TABLES_H_
