#include "qvserver/universe.h"

#include <algorithm>
#include <cstdio>

#include "codec/scramble.h"
#include "gamefiles/default_name.h"
#include "gamefiles/names.h"

namespace helmsman::qvserver {

using platform::JoinPath;

namespace {

uint32_t Checksum(const std::string& text) {
  uint32_t hash = 2166136261u;  // FNV-1a
  for (char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 16777619u;
  }
  return hash;
}

bool ByFolderThenFile(const Character& a, const Character& b) {
  return a.account != b.account ? a.account < b.account : a.file_name < b.file_name;
}

// The counters the game server keeps for every character, whatever it has done, so that a
// file it writes is never shorter than these lines plus the character's own; the catalogue
// (how many factions, places and gates there are) does not shorten it.
constexpr const char* kServerRecordKeys[] = {
    "shots_fired",      "shots_hit",        "missiles_fired",   "mines_laid",
    "countermeasures",  "shield_breaks",    "hull_repairs",     "ships_destroyed",
    "times_destroyed",  "rescues_made",     "escorts_flown",    "contracts_taken",
    "contracts_done",   "contracts_failed", "bounties_claimed", "bounty_on_head",
    "fines_paid",       "insurance_claims", "cargo_bought",     "cargo_sold",
    "goods_smuggled",   "salvage_taken",    "ore_mined",        "fuel_bought",
    "equipment_bought", "equipment_sold",   "ships_bought",     "ships_sold",
    "distance_flown",   "cruise_seconds",   "docking_requests", "gate_jumps",
    "lane_entries",     "lane_disruptions", "beacons_placed",   "systems_charted",
    "wing_invitations", "wing_flights",     "chat_lines",       "medals_awarded",
};

// Adds every server counter the sheet lacks (as 0), after the character's own lines.
void CompleteRecord(gamefiles::CharacterSheet* sheet) {
  for (const char* key : kServerRecordKeys) {
    const bool present =
        std::any_of(sheet->statistics.begin(), sheet->statistics.end(),
                    [key](const std::pair<std::string, std::string>& s) { return s.first == key; });
    if (!present) sheet->statistics.emplace_back(key, "0");
  }
}

}  // namespace

const char* CheatMarker(CheatKind kind) {
  switch (kind) {
    case CheatKind::kShipRelated:
      return "(Ship Related)";
    case CheatKind::kShipCapacityExceeded:
      return "(Ship capacity exceeded)";
    case CheatKind::kEquipmentExceedsShipSpecs:
      return "(Equipment exceeds ship specs)";
    case CheatKind::kNotSold:
      return "(Ship or Equipment not sold on base)";
  }
  return "";
}

std::optional<CheatKind> CheatKindFromWord(const std::string& word) {
  if (word == "ship") return CheatKind::kShipRelated;
  if (word == "capacity") return CheatKind::kShipCapacityExceeded;
  if (word == "equipment") return CheatKind::kEquipmentExceedsShipSpecs;
  if (word == "notsold") return CheatKind::kNotSold;
  return std::nullopt;
}

std::string CheatLine(const platform::CivilTime& now, CheatKind kind, const std::string& name,
                      const std::string& account) {
  char tail[64];
  std::snprintf(tail, sizeof tail, " on %04d-%02d-%02d %02d:%02d:%02d acct %08X",
                std::clamp(now.year, 0, 9999), now.month % 100, now.day % 100, now.hour % 100,
                now.minute % 100, now.second % 100, Checksum(account));
  return gamefiles::SavedTimeText(now) + ": Cheat detected " + CheatMarker(kind) + " by " + name +
         tail;
}

Universe::Universe(platform::FileSystem& files, platform::Clock& clock,
                   const gamefiles::DemoCatalogue& catalogue, std::string account_root,
                   std::string error_log_path, uint64_t seed, Log log)
    : files_(files),
      clock_(clock),
      factory_(catalogue),
      catalogue_(catalogue),
      account_root_(std::move(account_root)),
      error_log_path_(std::move(error_log_path)),
      rng_(seed),
      log_(std::move(log)) {}

std::string Universe::AccountPath(const std::string& account) const {
  return JoinPath(account_root_, account);
}

std::string Universe::FilePath(const Character& character) const {
  return JoinPath(AccountPath(character.account), character.file_name);
}

void Universe::ReportError(const std::string& text) {
  std::string ignored;
  files_.AppendFile(error_log_path_,
                    gamefiles::SavedTimeText(clock_.NowLocal()) + ": " + text + "\r\n", &ignored);
  log_("error: " + text);
}

bool Universe::Load(std::string* error) {
  if (!factory_.Usable(error)) return false;
  if (!gamefiles::MakeDirectories(files_, account_root_)) {
    *error = "cannot create the account folder " + account_root_;
    return false;
  }
  std::vector<platform::DirEntry> entries;
  if (!files_.ListDirectory(account_root_, &entries)) {
    *error = "cannot read the account folder " + account_root_;
    return false;
  }
  bool configured = std::any_of(entries.begin(), entries.end(), [](const platform::DirEntry& e) {
    return !e.is_directory && platform::EqualsIgnoreCase(e.name, kConfigFileName);
  });
  if (!configured && !files_.WriteFile(JoinPath(account_root_, kConfigFileName),
                                       gamefiles::ServerConfigText(1), error))
    return false;
  Refresh();
  return true;
}

void Universe::Refresh() {
  std::map<std::string, std::string> known;  // "account/file" -> name
  for (const Character& character : characters_)
    known[character.account + "/" + character.file_name] = character.name;
  std::vector<Character> found;
  std::vector<platform::DirEntry> accounts;
  files_.ListDirectory(account_root_, &accounts);
  for (const platform::DirEntry& account : accounts) {
    if (account.is_directory) ScanAccount(account.name, known, &found);
  }
  characters_ = std::move(found);
}

void Universe::ScanAccount(const std::string& account,
                           const std::map<std::string, std::string>& known,
                           std::vector<Character>* found) {
  std::vector<platform::DirEntry> entries;
  files_.ListDirectory(AccountPath(account), &entries);
  for (const platform::DirEntry& entry : entries) {
    if (entry.is_directory || !platform::EndsWithIgnoreCase(entry.name, ".qv")) continue;
    if (found->size() >= kMaxCharacters) return;
    Character character{"", account, entry.name};
    auto it = known.find(account + "/" + entry.name);
    if (it != known.end()) {
      character.name = it->second;
    } else {
      gamefiles::CharacterSheet sheet;
      std::string error;
      if (!ReadSheet(character, &sheet, &error)) {
        ReportError(error);
        continue;
      }
      character.name = sheet.name;
    }
    found->push_back(std::move(character));
  }
}

bool Universe::ReadSheet(const Character& character, gamefiles::CharacterSheet* sheet,
                         std::string* error) {
  std::string path = FilePath(character), scrambled, text;
  if (!files_.ReadFile(path, &scrambled, error)) return false;
  if (!codec::DecodeText(scrambled, &text)) {
    *error = "the character file " + path + " is not scrambled";
    return false;
  }
  if (!gamefiles::ParseCharacterText(text, sheet, error)) {
    *error = "the character file " + path + " cannot be read: " + *error;
    return false;
  }
  return true;
}

bool Universe::WriteSheet(const Character& character, const gamefiles::CharacterSheet& sheet) {
  gamefiles::CharacterSheet complete = sheet;
  CompleteRecord(&complete);
  std::string error;
  if (gamefiles::WriteCharacterFile(files_, FilePath(character), complete, &error)) return true;
  ReportError("cannot save " + character.name + ": " + error);
  return false;
}

std::vector<std::string> Universe::OnlineNames() const {
  std::vector<std::string> names;
  for (const Online& online : online_) names.push_back(online.character.name);
  return names;
}

std::vector<Universe::Online>::iterator Universe::FindOnline(const std::string& name) {
  return std::find_if(online_.begin(), online_.end(),
                      [&name](const Online& online) { return online.character.name == name; });
}

bool Universe::IsOnline(const std::string& name) const {
  return std::any_of(online_.begin(), online_.end(),
                     [&name](const Online& online) { return online.character.name == name; });
}

bool Universe::IsBanned(const std::string& account) {
  std::vector<platform::DirEntry> entries;
  files_.ListDirectory(AccountPath(account), &entries);
  return std::any_of(entries.begin(), entries.end(), [](const platform::DirEntry& entry) {
    return platform::EqualsIgnoreCase(entry.name, kBannedFileName);
  });
}

const Character* Universe::FindCharacter(const std::string& name) const {
  for (const Character& character : characters_)
    if (character.name == name) return &character;
  return nullptr;
}

bool Universe::Join(const std::string& name, std::string* message) {
  const Character* character = FindCharacter(name);
  if (!character) {
    *message = "there is no character named " + name;
    return false;
  }
  if (IsOnline(name)) {
    *message = name + " is online already";
    return false;
  }
  if (IsBanned(character->account)) {
    *message = name + " cannot join: the account " + character->account + " is banned";
    log_(*message);
    return false;
  }
  Online online{*character, {}, clock_.NowSeconds()};
  std::string error;
  if (!ReadSheet(*character, &online.sheet, &error)) {
    ReportError(error);
    *message = name + " cannot join: " + error;
    return false;
  }
  online_.push_back(std::move(online));
  *message = name + " joined";
  log_(*message);
  return true;
}

bool Universe::Leave(const std::string& name, std::string* message) {
  auto online = FindOnline(name);
  if (online == online_.end()) {
    *message = name + " is not online";
    return false;
  }
  SaveOnline(*online);
  online_.erase(online);
  *message = name + " left";
  log_(*message);
  return true;
}

std::string Universe::InventName() {
  for (;;) {
    std::string name = gamefiles::CharacterName(rng_);
    if (!FindCharacter(name) && name != gamefiles::kDefaultCharacterName) return name;
  }
}

std::string Universe::NewAccountFolder() {
  for (;;) {
    char name[32];
    std::snprintf(name, sizeof name, "%02X-%08X", static_cast<unsigned>(rng_.Below(256)),
                  static_cast<unsigned>(rng_.Below(0x100000000ull)));
    if (!files_.DirectoryExists(AccountPath(name)) && !files_.FileExists(AccountPath(name)))
      return name;
  }
}

bool Universe::NewCharacter(const std::string& wanted, std::string* message) {
  if (!wanted.empty() && FindCharacter(wanted)) {
    *message = "a character named " + wanted + " exists already";
    return false;
  }
  if (characters_.size() >= kMaxCharacters) {
    *message = "the universe is full";
    return false;
  }
  std::string name = wanted.empty() ? InventName() : wanted;
  Character character{name, NewAccountFolder(), ""};
  char file_name[32];
  std::snprintf(file_name, sizeof file_name, "00%08llx.qv",
                static_cast<unsigned long long>(rng_.Below(0x100000000ull)));
  character.file_name = file_name;
  gamefiles::CharacterSheet sheet = factory_.Make(rng_, clock_.NowSeconds(), 0);
  sheet.name = name;
  sheet.name_in_plain_text = name == gamefiles::kDefaultCharacterName;
  sheet.last_saved = clock_.NowLocal();
  sheet.money = 2000;
  sheet.rank = 1;  // a brand-new character starts at the first rank (and is greeted as new)
  sheet.kills.clear();
  sheet.total_time_played = 0;
  std::string error;
  if (!files_.MakeDirectory(AccountPath(character.account)) ||
      !files_.WriteFileDurably(JoinPath(AccountPath(character.account), kNameFileName),
                               name + "\r\n", &error) ||
      !WriteSheet(character, sheet)) {
    ReportError("cannot create the character " + name + " in " + character.account +
                (error.empty() ? "" : ": " + error));
    *message = "cannot create the character " + name;
    return false;
  }
  characters_.insert(
      std::upper_bound(characters_.begin(), characters_.end(), character, ByFolderThenFile),
      character);
  online_.push_back({character, std::move(sheet), clock_.NowSeconds()});
  *message = name + " was created in account " + character.account + " and joined";
  log_(*message);
  return true;
}

bool Universe::SaveOnline(Online& online) {
  gamefiles::CharacterSheet& sheet = online.sheet;
  int64_t now = clock_.NowSeconds();
  sheet.total_time_played +=
      static_cast<double>(std::max<int64_t>(0, now - online.last_save_seconds));
  sheet.money = std::max<int64_t>(0, sheet.money + rng_.Between(-200, 2500));
  const std::vector<gamefiles::CatalogueEntry>& ships = catalogue_[gamefiles::Table::kShips];
  if (rng_.Percent(25) && !ships.empty()) {
    std::string ship = rng_.Pick(ships).hash_code;
    auto kill =
        std::find_if(sheet.kills.begin(), sheet.kills.end(),
                     [&ship](const gamefiles::KillCount& k) { return k.ship_hash_code == ship; });
    if (kill != sheet.kills.end()) {
      ++kill->count;
    } else {
      sheet.kills.push_back({ship, 1});
    }
  }
  sheet.last_saved = clock_.NowLocal();
  online.last_save_seconds = now;
  if (!WriteSheet(online.character, sheet)) return false;
  int kills = 0;
  for (const gamefiles::KillCount& kill : sheet.kills) kills += kill.count;
  log_("saved " + online.character.name + ": " + std::to_string(sheet.money) + " credits, " +
       std::to_string(kills) + " kills, " +
       std::to_string(static_cast<int64_t>(sheet.total_time_played)) + " seconds played");
  return true;
}

bool Universe::Save(const std::string& name, std::string* message) {
  if (name.empty()) {
    bool all = true;
    for (Online& online : online_) all = SaveOnline(online) && all;
    *message = "saved " + std::to_string(online_.size()) + " online characters";
    return all;
  }
  auto online = FindOnline(name);
  if (online == online_.end()) {
    *message = name + " is not online";
    return false;
  }
  bool saved = SaveOnline(*online);
  *message = saved ? "saved " + name : "cannot save " + name;
  return saved;
}

bool Universe::Cheat(CheatKind kind, const std::string& name, std::string* message) {
  auto online = name.empty() ? online_.begin() : FindOnline(name);
  if (online == online_.end()) {
    *message = name.empty() ? "nobody is online" : name + " is not online";
    return false;
  }
  std::string line =
      CheatLine(clock_.NowLocal(), kind, online->character.name, online->character.account);
  std::string error;
  if (!files_.AppendFile(JoinPath(account_root_, kCheatLogName), line + "\r\n", &error)) {
    ReportError("cannot write the cheat log: " + error);
    *message = "cannot write the cheat log";
    return false;
  }
  *message = "cheat logged: " + line;
  log_(*message);
  return true;
}

bool Universe::SetBanned(const std::string& account, bool banned) {
  std::string path = AccountPath(account), error;
  if (!files_.DirectoryExists(path)) return false;
  if (banned) {
    if (IsBanned(account)) return true;
    if (!files_.WriteFile(JoinPath(path, kBannedFileName), "", &error)) {
      ReportError("cannot ban the account " + account + ": " + error);
      return false;
    }
    log_("account " + account + " banned");
    return true;
  }
  std::vector<platform::DirEntry> entries;
  files_.ListDirectory(path, &entries);
  bool removed = true;
  for (const platform::DirEntry& entry : entries) {
    if (platform::EqualsIgnoreCase(entry.name, kBannedFileName)) {
      removed = files_.RemoveFile(JoinPath(path, entry.name)) && removed;
      log_("account " + account + " unbanned");
    }
  }
  return removed;
}

std::vector<std::string> Universe::Kick(const std::string& account) {
  std::vector<std::string> kicked;
  for (auto online = online_.begin(); online != online_.end();) {
    if (online->character.account != account) {
      ++online;
      continue;
    }
    SaveOnline(*online);
    kicked.push_back(online->character.name);
    log_(online->character.name + " was kicked");
    online = online_.erase(online);
  }
  return kicked;
}

}  // namespace helmsman::qvserver
