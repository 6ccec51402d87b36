#include "gamefiles/catalogue.h"

#include <cstdio>
#include <set>

#include "gamefiles/names.h"
#include "gamefiles/splitmix.h"

namespace helmsman::gamefiles {

namespace {

using platform::FileSystem;
using platform::JoinPath;

// How an equipment (three-column) table is invented: its nickname prefix, its size and the
// nouns its display names are made of.
struct EquipmentRecipe {
  Table table;
  const char* prefix;
  int count;
  std::vector<std::string> nouns;
};

const std::vector<EquipmentRecipe>& EquipmentRecipes() {
  static const std::vector<EquipmentRecipe> recipes = {
      {Table::kGuns,
       "gn",
       64,
       {"Pulse Lance", "Ion Needle", "Arc Repeater", "Slag Cannon", "Photon Driver", "Shard Caster",
        "Flux Bolter", "Coil Rifle"}},
      {Table::kTurrets,
       "tu",
       20,
       {"Twin Turret", "Point Defence Turret", "Flak Mount", "Beam Cupola"}},
      {Table::kProjectiles,
       "pj",
       18,
       {"Seeker Launcher", "Stinger Torpedo Tube", "Cluster Rocket Pod", "Nova Charge Rack"}},
      {Table::kShields, "sh", 20, {"Deflector", "Bulwark Screen", "Aegis Lattice"}},
      {Table::kPowerGenerators, "pg", 16, {"Fusion Core", "Reactor Cell", "Plasma Heart"}},
      {Table::kEngines, "en", 16, {"Ion Drive", "Sunsail Engine", "Vortex Drive"}},
      {Table::kThrusters, "th", 10, {"Afterburner", "Vector Thruster"}},
      {Table::kScanners, "sc", 10, {"Survey Array", "Long Eye Scanner"}},
      {Table::kLights, "lt", 8, {"Running Lights", "Beacon Lamp"}},
      {Table::kTractorBeams, "tb", 6, {"Salvage Tractor", "Cargo Tether"}},
      {Table::kCountermeasures, "cm", 8, {"Chaff Dispenser", "Ghost Flare Launcher"}},
      {Table::kMines, "mn", 8, {"Drift Mine Layer", "Spider Mine Dropper"}},
      {Table::kMiscEquipment,
       "mx",
       24,
       {"Cloak Veil", "Repair Drone Bay", "Jump Stabiliser", "Cargo Pod Extension",
        "Armour Plating"}},
      {Table::kAmmo,
       "am",
       30,
       {"Seeker Missile", "Stinger Torpedo", "Cluster Rocket", "Nova Charge", "Drift Mine",
        "Spider Mine", "Chaff Canister", "Ghost Flare"}},
  };
  return recipes;
}

const std::vector<std::string> kCommodities = {
    "Lumen Ore",       "Hydroponic Grain",  "Coolant Gel",     "Starglass",
    "Medical Kits",    "Quorvium Ingots",   "Luxury Textiles", "Reactor Fuel Rods",
    "Drone Parts",     "Water Ice",         "Spice Resin",     "Data Cores",
    "Polymer Sheets",  "Colonist Supplies", "Scrap Alloy",     "Antimatter Flasks",
    "Sensor Crystals", "Cellar Wine",       "Machine Parts",   "Soil Culture"};
const std::vector<std::string> kShipClasses = {
    "Light Fighter", "Heavy Fighter", "Gunboat", "Freighter", "Hauler",
    "Interceptor",   "Corvette",      "Scout",   "Bomber",    "Transport"};
const std::vector<std::string> kSystemKinds = {"",       "",      " Reach", " Expanse",
                                               " Drift", " Deep", " Verge"};
const std::vector<std::string> kBaseKinds = {"Station",  "Port",    "Dock",    "Shipyard",
                                             "Refinery", "Outpost", "Habitat", "Citadel"};
const std::vector<std::string> kMarks = {"Mk I", "Mk II", "Mk III", "Mk IV", "Mk V"};
const std::vector<std::string> kRefits = {", Refitted", ", Salvaged", ", Guild Issue",
                                          ", Type 2, Long Range"};

// The ten characters of hash codes: digits and capitals without I, L, O and U.
constexpr char kHashAlphabet[] = "0123456789ABCDEFGHJKMNPQRSTVWXYZ";

std::string Slug(const std::string& text) {
  std::string slug;
  for (char c : LowerCase(text)) {
    if (c >= 'a' && c <= 'z') {
      slug += c;
    } else if (!slug.empty() && slug.back() != '_') {
      slug += '_';
    }
  }
  while (!slug.empty() && slug.back() == '_') slug.pop_back();
  return slug;
}

std::string TwoDigits(int n) {
  char text[16];
  std::snprintf(text, sizeof text, "%02d", n);
  return text;
}

// Hands out hash codes that no table uses yet.
class HashCodes {
 public:
  explicit HashCodes(SplitMix64& rng) : rng_(rng) {}
  std::string Next() {
    for (;;) {
      std::string code(10, '0');
      for (char& c : code) c = kHashAlphabet[rng_.Below(sizeof kHashAlphabet - 1)];
      if (used_.insert(code).second) return code;
    }
  }

 private:
  SplitMix64& rng_;
  std::set<std::string> used_;
};

std::string EquipmentName(SplitMix64& rng, const std::string& noun) {
  std::string name = rng.Percent(70) ? InventedWord(rng) + " " + noun : noun;
  if (rng.Percent(60)) name += " " + rng.Pick(kMarks);
  if (rng.Percent(8)) name += rng.Pick(kRefits);
  if (rng.Percent(2)) name += " =Prototype=";
  return name;
}

void AddEquipment(SplitMix64& rng, HashCodes& codes, const EquipmentRecipe& recipe,
                  DemoCatalogue* catalogue) {
  for (int i = 0; i < recipe.count; ++i) {
    const std::string& noun = recipe.nouns[static_cast<size_t>(i) % recipe.nouns.size()];
    (*catalogue)[recipe.table].push_back(
        {codes.Next(), std::string(recipe.prefix) + "_" + Slug(noun) + "_" + TwoDigits(i + 1),
         EquipmentName(rng, noun)});
  }
}

void AddCargo(SplitMix64& rng, HashCodes& codes, DemoCatalogue* catalogue) {
  int index = 0;
  for (const std::string& commodity : kCommodities) {
    int grades = static_cast<int>(rng.Between(2, 6));
    for (int grade = 0; grade < grades; ++grade) {
      std::string name =
          grade == 0 ? commodity : commodity + ", Grade " + std::string(1, 'A' + grade - 1);
      (*catalogue)[Table::kCargo].push_back(
          {codes.Next(), "cg_" + Slug(commodity) + "_" + TwoDigits(++index), name});
    }
  }
}

void AddShips(SplitMix64& rng, HashCodes& codes, DemoCatalogue* catalogue) {
  for (int i = 0; i < 30; ++i) {
    std::string word = InventedWord(rng);
    const std::string& kind = kShipClasses[static_cast<size_t>(i) % kShipClasses.size()];
    (*catalogue)[Table::kShips].push_back(
        {codes.Next(), "sp_" + Slug(word) + "_" + TwoDigits(i + 1), word + " " + kind});
  }
}

void AddFactions(SplitMix64& rng, DemoCatalogue* catalogue) {
  const std::vector<std::string> forms = {"% Compact",         "House %",    "The % Syndicate",
                                          "% Free Traders",    "Order of %", "% Salvage Guild",
                                          "% Navy, Home Fleet"};
  std::set<std::string> used;
  while (used.size() < 14) {
    std::string word = InventedWord(rng);
    if (!used.insert(word).second) continue;
    std::string name = rng.Pick(forms);
    name.replace(name.find('%'), 1, word);
    (*catalogue)[Table::kFactions].push_back({"", "fc_" + LowerCase(word), name});
  }
}

// Systems, their bases, and the map text: every system, base, jump gate and field.
void AddPlaces(SplitMix64& rng, DemoCatalogue* catalogue) {
  std::vector<std::string> systems;
  std::set<std::string> used;
  while (systems.size() < 24) {
    std::string word = InventedWord(rng);
    std::string nickname = LowerCase(word);
    if (!used.insert(nickname).second) continue;
    systems.push_back(nickname);
    (*catalogue)[Table::kSystems].push_back({"", nickname, word + rng.Pick(kSystemKinds)});
  }
  std::string map;
  auto visit = [&map](const std::string& nickname) { map += "visit = " + nickname + ", 1\r\n"; };
  for (size_t s = 0; s < systems.size(); ++s) {
    const std::string& system = systems[s];
    const std::string& system_name = (*catalogue)[Table::kSystems][s].display_name;
    visit(system);
    int bases = static_cast<int>(rng.Between(2, 5));
    for (int b = 1; b <= bases; ++b) {
      std::string kind = rng.Pick(kBaseKinds);
      std::string word = InventedWord(rng);
      std::string name = rng.Percent(50) ? word + " " + kind : kind + " " + word;
      if (rng.Percent(20)) name += ", " + system_name;
      std::string nickname = system + "_" + LowerCase(kind) + std::to_string(b);
      (*catalogue)[Table::kBases].push_back({"", nickname, name});
      visit(nickname);
    }
    // A ring of gates, and a chord across the map from every third system.
    visit(system + "_gate_" + systems[(s + 1) % systems.size()]);
    visit(system + "_gate_" + systems[(s + systems.size() - 1) % systems.size()]);
    if (s % 3 == 0) visit(system + "_gate_" + systems[(s + systems.size() / 2) % systems.size()]);
    for (int f = 1, fields = static_cast<int>(rng.Between(1, 3)); f <= fields; ++f) {
      visit(system + "_field" + std::to_string(f));
    }
  }
  catalogue->mapinfo = map;
}

// Splits text into lines at LF, dropping a CR before it.
std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

bool ParseLine(const std::string& line, bool three_columns, CatalogueEntry* entry) {
  size_t equals = line.find('=');
  if (equals == std::string::npos) return false;
  if (!three_columns) {
    *entry = {"", line.substr(0, equals), line.substr(equals + 1)};
    return true;
  }
  size_t comma = line.find(',', equals + 1);
  if (comma == std::string::npos) return false;
  *entry = {line.substr(0, equals), line.substr(equals + 1, comma - equals - 1),
            line.substr(comma + 1)};
  return true;
}

}  // namespace

DemoCatalogue MakeCatalogue(uint64_t seed) {
  SplitMix64 rng(seed ^ 0x51A7E0C0DEC0FFEEull);
  HashCodes codes(rng);
  DemoCatalogue catalogue;
  AddPlaces(rng, &catalogue);
  AddFactions(rng, &catalogue);
  AddShips(rng, codes, &catalogue);
  for (const EquipmentRecipe& recipe : EquipmentRecipes()) {
    AddEquipment(rng, codes, recipe, &catalogue);
  }
  AddCargo(rng, codes, &catalogue);
  return catalogue;
}

std::string TableText(const DemoCatalogue& catalogue, Table table) {
  std::string text;
  for (const CatalogueEntry& entry : catalogue[table]) {
    if (HasHashCodes(table)) text += entry.hash_code + "=";
    text += entry.nickname;
    text += HasHashCodes(table) ? "," : "=";
    text += entry.display_name + "\r\n";
  }
  return text;
}

std::vector<std::string> MapVisits(const std::string& mapinfo) {
  static constexpr std::string_view kKey = "visit = ";
  std::vector<std::string> visits;
  for (const std::string& line : Lines(mapinfo)) {
    if (line.compare(0, kKey.size(), kKey) == 0) visits.push_back(line.substr(kKey.size()));
  }
  return visits;
}

bool MakeDirectories(FileSystem& files, const std::string& folder) {
  if (folder.empty() || files.DirectoryExists(folder)) return true;
  std::string parent = platform::DirName(folder);
  if (!parent.empty() && parent != folder && !MakeDirectories(files, parent)) return false;
  return files.MakeDirectory(folder);
}

bool WriteGamedata(const DemoCatalogue& catalogue, const std::string& folder, FileSystem& files,
                   std::string* error) {
  if (!MakeDirectories(files, folder)) {
    *error = "cannot create folder " + folder;
    return false;
  }
  for (Table table : LoadOrder()) {
    if (!files.WriteFile(JoinPath(folder, FileName(table)), TableText(catalogue, table), error)) {
      return false;
    }
  }
  return files.WriteFile(JoinPath(folder, kMapInfoFileName), catalogue.mapinfo, error);
}

bool ReadGamedata(const std::string& folder, FileSystem& files, DemoCatalogue* catalogue,
                  std::string* error) {
  DemoCatalogue read;
  for (Table table : LoadOrder()) {
    std::string name = FileName(table);
    std::string text;
    if (!files.ReadFile(JoinPath(folder, name), &text, error)) return false;
    std::vector<std::string> lines = Lines(text);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (lines[i].empty()) continue;
      CatalogueEntry entry;
      if (!ParseLine(lines[i], HasHashCodes(table), &entry)) {
        *error = name + " line " + std::to_string(i + 1) + ": missing separator";
        return false;
      }
      read[table].push_back(entry);
    }
  }
  if (!files.ReadFile(JoinPath(folder, kMapInfoFileName), &read.mapinfo, error)) return false;
  *catalogue = std::move(read);
  return true;
}

}  // namespace helmsman::gamefiles
