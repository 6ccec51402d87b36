// The nineteen tables of the game's data and the twenty "GAMEDATA_" files that hold them:
// file names, end markers, line forms and the orders in which the console loads the tables
// and checks the files' presence. The console's catalogue and the invented universe both
// name the tables from this one list.
#ifndef HELMSMAN_GAMEFILES_TABLES_H_
#define HELMSMAN_GAMEFILES_TABLES_H_

#include <span>

namespace helmsman::gamefiles {

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

}  // namespace helmsman::gamefiles

#endif  // HELMSMAN_GAMEFILES_TABLES_H_
