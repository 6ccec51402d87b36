#include "gamefiles/universe.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "gamefiles/default_name.h"
#include "gamefiles/names.h"

namespace helmsman::gamefiles {

namespace {

using platform::FileSystem;
using platform::JoinPath;

constexpr int64_t kDay = 86400;
constexpr int64_t kYear = 365 * kDay;

std::string Numbered(const char* prefix, int64_t n) {
  char text[64];
  std::snprintf(text, sizeof text, "%s%02lld", prefix, static_cast<long long>(n));
  return text;
}

std::string Coordinate(SplitMix64& rng) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(rng.Between(-500000, 500000)) / 10);
  return text;
}

bool StartsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

// The part of a visit value before its first ",".
std::string VisitNickname(const std::string& visit) { return visit.substr(0, visit.find(',')); }

// count distinct items of items, in their order.
std::vector<std::string> PickSome(SplitMix64& rng, const std::vector<std::string>& items,
                                  size_t count) {
  std::vector<std::string> picked;
  for (size_t i = 0; i < items.size() && picked.size() < count; ++i) {
    // Take item i with the chance of the places still to fill among the items still left.
    if (rng.Below(items.size() - i) < count - picked.size()) picked.push_back(items[i]);
  }
  return picked;
}

void AddOne(SplitMix64& rng, const DemoCatalogue& catalogue, Table table,
            const std::string& hardpoint, CharacterSheet* sheet) {
  const std::vector<CatalogueEntry>& entries = catalogue[table];
  if (entries.empty()) return;
  sheet->equipment.push_back({rng.Pick(entries).hash_code, hardpoint, 1});
}

void AddSeveral(SplitMix64& rng, const DemoCatalogue& catalogue, Table table, const char* hardpoint,
                int64_t count, CharacterSheet* sheet) {
  for (int64_t i = 1; i <= count; ++i) {
    AddOne(rng, catalogue, table, hardpoint[0] ? Numbered(hardpoint, i) : "", sheet);
  }
}

// A ten-character hash code that none of known is.
std::string UnknownHashCode(SplitMix64& rng, const std::set<std::string>& known) {
  for (;;) {
    std::string code = std::to_string(100000000 + rng.Below(900000000));
    code.insert(code.begin(), 'X');
    if (!known.count(code)) return code;
  }
}

}  // namespace

CharacterFactory::CharacterFactory(const DemoCatalogue& catalogue) : catalogue_(catalogue) {
  for (const CatalogueEntry& system : catalogue[Table::kSystems]) {
    systems_.push_back(system.nickname);
  }
  for (const CatalogueEntry& base : catalogue[Table::kBases]) {
    all_bases_.push_back(base.nickname);
    bases_by_system_[base.nickname.substr(0, base.nickname.find('_'))].push_back(base.nickname);
  }
  for (const auto& table : catalogue.tables) {
    for (const CatalogueEntry& entry : table) known_codes_.insert(entry.hash_code);
  }
  visits_ = MapVisits(catalogue.mapinfo);
  for (const std::string& visit : visits_) {
    if (visit.find("_gate_") != std::string::npos) gates_.push_back(VisitNickname(visit));
  }
}

bool CharacterFactory::Usable(std::string* error) const {
  for (Table table :
       {Table::kSystems, Table::kShips, Table::kGuns, Table::kShields, Table::kPowerGenerators,
        Table::kEngines, Table::kScanners, Table::kTractorBeams}) {
    if (catalogue_[table].empty()) {
      *error = std::string("the catalogue has no entries in ") + FileName(table);
      return false;
    }
  }
  return true;
}

CharacterSheet CharacterFactory::Make(SplitMix64& rng, int64_t now_seconds,
                                      int unknown_equipment_percent) const {
  CharacterSheet sheet;
  sheet.last_saved = platform::CivilFromSeconds(now_seconds - rng.Below(kYear));
  if (rng.Percent(3)) {
    sheet.name = kDefaultCharacterName;
    sheet.name_in_plain_text = true;
  } else {
    sheet.name = CharacterName(rng);
  }
  sheet.rank = static_cast<int>(std::min(rng.Between(1, 40), rng.Between(1, 40)));
  for (const CatalogueEntry& faction : catalogue_[Table::kFactions]) {
    sheet.houses.push_back(
        {static_cast<double>(rng.Between(-1000, 1000)) / 1000, faction.nickname});
  }
  sheet.voice = Numbered(rng.Percent(50) ? "pilot_voice_f" : "pilot_voice_m", rng.Between(1, 6));
  sheet.portrait = Numbered("face_", rng.Between(1, 40));
  sheet.money = static_cast<int64_t>(rng.Below(static_cast<uint64_t>(
      std::vector<int64_t>{1000, 50000, 400000, 2000000, 9000000}[rng.Below(5)])));
  sheet.system = rng.Pick(systems_);
  auto bases = bases_by_system_.find(sheet.system);
  if (bases != bases_by_system_.end() && rng.Percent(88)) {
    sheet.base = rng.Pick(bases->second);
  } else {
    sheet.position = Coordinate(rng) + ", " + Coordinate(rng) + ", " + Coordinate(rng);
  }
  sheet.ship_hash_code = rng.Pick(catalogue_[Table::kShips]).hash_code;
  Equip(rng, &sheet);
  if (rng.Percent(unknown_equipment_percent)) {
    sheet.equipment.push_back({UnknownHashCode(rng, known_codes_), "", 1});
  }
  FillHold(rng, &sheet);
  FillHistory(rng, &sheet);
  return sheet;
}

void CharacterFactory::Equip(SplitMix64& rng, CharacterSheet* sheet) const {
  const DemoCatalogue& c = catalogue_;
  AddSeveral(rng, c, Table::kGuns, "HpGun", rng.Between(2, 6), sheet);
  AddSeveral(rng, c, Table::kTurrets, "HpTurret", rng.Between(0, 2), sheet);
  AddSeveral(rng, c, Table::kProjectiles, "HpLauncher", rng.Between(0, 2), sheet);
  AddOne(rng, c, Table::kShields, "HpShield01", sheet);
  AddOne(rng, c, Table::kPowerGenerators, "", sheet);
  AddOne(rng, c, Table::kEngines, "", sheet);
  AddOne(rng, c, Table::kScanners, "", sheet);
  AddOne(rng, c, Table::kTractorBeams, "", sheet);
  if (rng.Percent(60)) AddOne(rng, c, Table::kThrusters, "HpThruster01", sheet);
  if (rng.Percent(50)) AddOne(rng, c, Table::kLights, "HpLight01", sheet);
  if (rng.Percent(50)) AddOne(rng, c, Table::kCountermeasures, "HpCM01", sheet);
  if (rng.Percent(30)) AddOne(rng, c, Table::kMines, "HpMine01", sheet);
  AddSeveral(rng, c, Table::kMiscEquipment, "", rng.Between(0, 2), sheet);
}

void CharacterFactory::FillHold(SplitMix64& rng, CharacterSheet* sheet) const {
  const std::vector<CatalogueEntry>& ammo = catalogue_[Table::kAmmo];
  const std::vector<CatalogueEntry>& goods = catalogue_[Table::kCargo];
  for (int64_t i = 0, n = rng.Between(0, 2); i < n && !ammo.empty(); ++i) {
    sheet->cargo.push_back({rng.Pick(ammo).hash_code, static_cast<int>(rng.Between(10, 100))});
  }
  for (int64_t i = 0, n = rng.Between(1, 5); i < n && !goods.empty(); ++i) {
    sheet->cargo.push_back({rng.Pick(goods).hash_code, static_cast<int>(rng.Between(1, 200))});
  }
  if (!sheet->base.empty()) {
    sheet->last_base = sheet->base;
  } else {
    auto bases = bases_by_system_.find(sheet->system);
    sheet->last_base = bases != bases_by_system_.end() ? rng.Pick(bases->second)
                       : all_bases_.empty()            ? std::string()
                                                       : rng.Pick(all_bases_);
  }
}

void CharacterFactory::FillHistory(SplitMix64& rng, CharacterSheet* sheet) const {
  // Every place of the home system, and a share of the rest of the map.
  int share = static_cast<int>(rng.Between(15, 100));
  for (const std::string& visit : visits_) {
    if (StartsWith(visit, sheet->system + ",") || StartsWith(visit, sheet->system + "_") ||
        rng.Percent(share)) {
      sheet->visits.push_back(visit);
    }
  }
  sheet->locked_gates = PickSome(rng, gates_, static_cast<size_t>(rng.Between(1, 4)));
  sheet->statistics = {{"missions_flown", std::to_string(rng.Between(0, 400))},
                       {"bases_docked", std::to_string(rng.Between(1, 900))},
                       {"jumps_made", std::to_string(rng.Between(0, 1500))},
                       {"trade_runs", std::to_string(rng.Between(0, 300))}};
  if (!rng.Percent(10)) {
    std::vector<std::string> ships;
    for (const CatalogueEntry& ship : catalogue_[Table::kShips]) ships.push_back(ship.hash_code);
    for (const std::string& ship : PickSome(rng, ships, static_cast<size_t>(rng.Between(1, 8)))) {
      sheet->kills.push_back({ship, static_cast<int>(rng.Between(1, 60))});
    }
  }
  sheet->total_time_played =
      static_cast<double>(rng.Between(60, 3000000)) + static_cast<double>(rng.Below(8)) / 8;
  // A small catalogue gives short files; the console refuses files under its minimum.
  for (int n = 1; CharacterLineCount(*sheet) < kMinimumCharacterLines; ++n) {
    sheet->statistics.push_back({Numbered("log_page_", n), std::to_string(rng.Between(0, 99))});
  }
}

int64_t DefaultReferenceTime(uint64_t seed) {
  platform::CivilTime start;
  start.year = 2025;
  start.hour = 12;
  return platform::SecondsFromCivil(start) + static_cast<int64_t>(seed % 365) * kDay;
}

bool ParseReferenceTime(const std::string& text, int64_t* seconds) {
  platform::CivilTime t;
  char tail = 0;
  int fields = std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &t.year, &t.month, &t.day,
                           &t.hour, &t.minute, &t.second, &tail);
  if (fields != 3 && fields != 6) return false;
  if (fields == 3 && text.size() != 10) return false;
  if (t.year < 1971 || t.year > 9999 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
      t.hour > 23 || t.minute > 59 || t.second > 59 || t.hour < 0 || t.minute < 0 || t.second < 0) {
    return false;
  }
  *seconds = platform::SecondsFromCivil(t);
  return true;
}

std::string ServerConfigText(uint64_t seed) {
  SplitMix64 rng(seed ^ 0xC0F1C0F1C0F1ull);
  std::string world = InventedWord(rng);
  std::string text;
  text += "[Server]\r\n";
  text += "name = " + world + " Frontier (demo universe, seed " + std::to_string(seed) + ")\r\n";
  text += "description = An invented universe for trying Helmsman out\r\n";
  text += "port = " + std::to_string(2300 + seed % 100) + "\r\n";
  text += "max_players = 128\r\n";
  text += "password = \r\n";
  text += "allow_new_accounts = 1\r\n";
  text += "save_interval = 300\r\n";
  return text;
}

bool GenerateAccounts(const DemoCatalogue& catalogue, const AccountsOptions& options,
                      FileSystem& files, AccountsSummary* summary, std::string* error) {
  CharacterFactory factory(catalogue);
  if (!factory.Usable(error)) return false;
  if (options.accounts < 0 || options.accounts > kMaxAccounts) {
    *error = "the number of accounts must be 0 to " + std::to_string(kMaxAccounts);
    return false;
  }
  if (options.characters_per_account < 0 || options.characters_per_account > 5) {
    *error = "an account holds 1 to 5 characters";
    return false;
  }
  if (!MakeDirectories(files, options.root)) {
    *error = "cannot create folder " + options.root;
    return false;
  }
  if (!files.WriteFile(JoinPath(options.root, "QVServer.cfg"), ServerConfigText(options.seed),
                       error)) {
    return false;
  }
  SplitMix64 rng(options.seed ^ 0xACC0ACC0ACC0ACC0ull);
  std::set<std::string> folders;
  *summary = AccountsSummary();
  while (summary->accounts < options.accounts) {
    char name[32];
    std::snprintf(name, sizeof name, "%02X-%08X", static_cast<unsigned>(rng.Below(256)),
                  static_cast<unsigned>(rng.Below(0x100000000ull)));
    if (!folders.insert(name).second) continue;
    std::string folder = JoinPath(options.root, name);
    if (!files.MakeDirectory(folder)) {
      *error = "cannot create folder " + folder;
      return false;
    }
    int64_t characters = rng.Between(1, 5);
    if (options.characters_per_account != 0) characters = options.characters_per_account;
    for (int64_t c = 0; c < characters; ++c) {
      CharacterSheet sheet =
          factory.Make(rng, options.now_seconds, options.unknown_equipment_percent);
      if (c == 0 && !files.WriteFile(JoinPath(folder, "name"), sheet.name + "\r\n", error)) {
        return false;
      }
      char file_name[32];
      std::snprintf(file_name, sizeof file_name, "%02x%08llx.qv", static_cast<unsigned>(c),
                    static_cast<unsigned long long>(rng.Below(0x100000000ull)));
      if (!WriteCharacterFile(files, JoinPath(folder, file_name), sheet, error,
                              WriteMode::kInPlace)) {
        return false;
      }
      ++summary->characters;
    }
    if (rng.Percent(options.banned_percent)) {
      if (!files.WriteFile(JoinPath(folder, "banned"), "", error)) return false;
      ++summary->banned;
    }
    ++summary->accounts;
  }
  return true;
}

}  // namespace helmsman::gamefiles
