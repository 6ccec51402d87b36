#include "gamefiles/tables.h"

namespace helmsman::gamefiles {

namespace {

struct TableInfo {
  const char* file_name;
  const char* end_marker;
  bool has_hash_codes;
};

// Indexed by Table.
constexpr TableInfo kTables[kTableCount] = {
    {"GAMEDATA_ammo.txt", "END AMMO", true},
    {"GAMEDATA_bases.txt", "END BASES", false},
    {"GAMEDATA_cargo.txt", "END CARGO", true},
    {"GAMEDATA_countermeasures.txt", "END COUNTERMEASURES", true},
    {"GAMEDATA_engines.txt", "END ENGINES", true},
    {"GAMEDATA_factions.txt", "END FACTIONS", false},
    {"GAMEDATA_guns.txt", "END GUNS", true},
    {"GAMEDATA_projectiles.txt", "END PROJECTILES", true},
    {"GAMEDATA_lights.txt", "END LIGHTS", true},
    {"GAMEDATA_scanners.txt", "END SCANNERS", true},
    {"GAMEDATA_shields.txt", "END SHIELDS", true},
    {"GAMEDATA_ships.txt", "END SHIPS", true},
    {"GAMEDATA_systems.txt", "END SYSTEMS", false},
    {"GAMEDATA_thrusters.txt", "END THRUSTERS", true},
    {"GAMEDATA_turrets.txt", "END TURRETS", true},
    {"GAMEDATA_mines.txt", "END MINES", true},
    {"GAMEDATA_powergenerators.txt", "END POWERGENERATORS", true},
    {"GAMEDATA_tractorbeams.txt", "END TRACTORBEAMS", true},
    {"GAMEDATA_miscequipment.txt", "END MISCEQUIPMENT", true},
};

constexpr Table kLoadOrder[kTableCount] = {
    Table::kAmmo,
    Table::kBases,
    Table::kCargo,
    Table::kCountermeasures,
    Table::kEngines,
    Table::kFactions,
    Table::kGuns,
    Table::kProjectiles,
    Table::kLights,
    Table::kScanners,
    Table::kShields,
    Table::kShips,
    Table::kSystems,
    Table::kThrusters,
    Table::kTurrets,
    Table::kMines,
    Table::kPowerGenerators,
    Table::kTractorBeams,
    Table::kMiscEquipment,
};

// The presence check looks for mines right after guns, and for mapinfo between the power
// generators and the tractor beams.
constexpr const char* kPresenceOrder[kTableCount + 1] = {
    "GAMEDATA_ammo.txt",
    "GAMEDATA_bases.txt",
    "GAMEDATA_cargo.txt",
    "GAMEDATA_countermeasures.txt",
    "GAMEDATA_engines.txt",
    "GAMEDATA_factions.txt",
    "GAMEDATA_guns.txt",
    "GAMEDATA_mines.txt",
    "GAMEDATA_projectiles.txt",
    "GAMEDATA_lights.txt",
    "GAMEDATA_scanners.txt",
    "GAMEDATA_shields.txt",
    "GAMEDATA_ships.txt",
    "GAMEDATA_systems.txt",
    "GAMEDATA_thrusters.txt",
    "GAMEDATA_turrets.txt",
    "GAMEDATA_powergenerators.txt",
    kMapInfoFileName,
    "GAMEDATA_tractorbeams.txt",
    "GAMEDATA_miscequipment.txt",
};

const TableInfo& Info(Table table) { return kTables[static_cast<int>(table)]; }

}  // namespace

const char* FileName(Table table) { return Info(table).file_name; }
const char* EndMarker(Table table) { return Info(table).end_marker; }
bool HasHashCodes(Table table) { return Info(table).has_hash_codes; }

std::span<const Table> LoadOrder() { return kLoadOrder; }
std::span<const char* const> PresenceOrder() { return kPresenceOrder; }

}  // namespace helmsman::gamefiles
