// The nineteen tables of the game data catalogue and the twenty "GAMEDATA_" files next to
// the program: file names, end markers, line forms and the orders the start-up uses.
#ifndef HELMSMAN_CONSOLE_GAMEDATA_TABLES_H_
#define HELMSMAN_CONSOLE_GAMEDATA_TABLES_H_

#include <span>

namespace helmsman::gamedata {

// In load order.
enum class Table {
  kAmmo,
  kBases,
  kCargo,
  kCountermeasures,
  kEngines,
  kFactions,
  kGuns,
  kProjectiles,
  kLights,
  kScanners,
  kShields,
  kShips,
  kSystems,
  kThrusters,
  kTurrets,
  kMines,
  kPowerGenerators,
  kTractorBeams,
  kMiscEquipment,
};
inline constexpr int kTableCount = 19;

// Each table is a fixed array of this many entries; the entry after the last real one
// holds the end marker, so at most kMaxEntries are real.
inline constexpr int kTableCapacity = 1001;
inline constexpr int kMaxEntries = kTableCapacity - 1;

// "GAMEDATA_ammo.txt" ...
const char* FileName(Table table);
// "END AMMO" ...
const char* EndMarker(Table table);
// Three columns (hashCode=nickname,displayName) for every table but bases, factions and
// systems, which have two (nickname=displayName) and no hash codes.
bool HasHashCodes(Table table);

// The file that must be present but is not loaded into a table: the player editor copies
// its whole text into a character file to reveal the entire map.
inline constexpr char kMapInfoFileName[] = "GAMEDATA_mapinfo.txt";

// The nineteen tables in the order they are loaded.
std::span<const Table> LoadOrder();
// The twenty file names in the order their presence is checked (mapinfo among them).
std::span<const char* const> PresenceOrder();

}  // namespace helmsman::gamedata

#endif  // HELMSMAN_CONSOLE_GAMEDATA_TABLES_H_
