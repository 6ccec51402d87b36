#include "console/players/player_file_reader.h"

#include <cmath>
#include <utility>

#include "console/players/working_text.h"
#include "gamefiles/default_name.h"

namespace helmsman::players {

namespace {

using gamedata::Table;
using logs::LogId;

constexpr std::string_view kDescriptionKey = "description = ";
constexpr std::string_view kRankKey = "rank = ";
constexpr std::string_view kKillsKey = "ship_type_killed = ";
constexpr std::string_view kTimeKey = "total_time_played = ";
constexpr std::string_view kEquipmentEnd = "last_base";
constexpr size_t kHashCodeLength = 10;

constexpr char kNoEquipment[] = "NO EQUIPMENT FOUND IN FILE";

// Tables whose items are weapons, and those that only make an item known.
constexpr Table kWeaponTables[] = {Table::kGuns, Table::kTurrets, Table::kProjectiles};
constexpr Table kKnownOnlyTables[] = {Table::kTractorBeams, Table::kCountermeasures, Table::kLights,
                                      Table::kScanners,     Table::kThrusters,       Table::kMines,
                                      Table::kEngines,      Table::kMiscEquipment};

std::string DecodeError(const std::string& file_name, const std::string& why) {
  return ": Error decoding file " + file_name + " - " + why;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A pair of characters as a hexadecimal byte; reading stops at the first non-digit.
char HexPair(char high, char low) {
  int value = 0;
  for (char c : {high, low}) {
    int digit = HexDigit(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return static_cast<char>(value);
}

// The 10 characters after "= " of an "equip = " line (fewer when the line ends first).
std::string_view HashCodeOf(std::string_view line) {
  std::string_view value = ValueOf(line);
  return value.substr(0, std::min(kHashCodeLength, value.size()));
}

std::string Text(std::string_view view) { return std::string(view); }

}  // namespace

// Where the keys were found (-1: not found) and what the kill and time lines hold.
struct PlayerFileReader::Scan {
  int description = -1, name = -1, rank = -1, money = -1, system = -1, place = -1, ship = -1,
      equip = -1;
  bool has_kills = false;
  double kills = 0;
  int time = -1;
  double seconds = 0;
};

std::string DecodeTempPath(const std::string& program_folder, int index) {
  return platform::JoinPath(program_folder, "Helmsman" + std::to_string(index) + ".tmp");
}

std::string NowText(logs::Logs& logs) {
  return logs.locale().GeneralDateTime(logs.clock().NowLocal());
}

std::string DecodeHexText(std::string_view value) {
  std::string text;
  text.reserve(value.size() / 4 + 1);
  // Position p counts from 1; its pair is at 0-based p - 1 and p.
  for (size_t p = 3; p < value.size(); p += 4) text += HexPair(value[p - 1], value[p]);
  return text;
}

std::string SwapDayAndMonth(std::string_view date) {
  size_t first = date.find('/');
  if (first == std::string_view::npos) return Text(date);
  size_t second = date.find('/', first + 1);
  if (second == std::string_view::npos) return Text(date);
  std::string swapped(date.substr(first + 1, second - first - 1));
  swapped += '/';
  swapped.append(date.substr(0, first));
  swapped.append(date.substr(second));
  return swapped;
}

std::string TimePlayedText(double seconds) {
  double hours = std::floor(seconds / 3600);
  double minutes = std::floor(seconds / 60 - hours * 60);
  double rest = std::floor(seconds - std::floor(seconds / 60) * 60);
  return NumberText(hours) + " hours, " + NumberText(minutes) + " minutes, " + NumberText(rest) +
         " seconds";
}

bool LoadCharacterText(CharacterFileServices& services, int index,
                       const std::string& account_folder, const std::string& file_name,
                       WorkingText* text) {
  auto fail = [&](const std::string& why) {
    services.logs.Append(LogId::kHelmError, DecodeError(file_name, why));
    return false;
  };
  std::string source = platform::JoinPath(account_folder, file_name);
  // A character file is a few kilobytes; a huge one is not decoded into the program folder.
  if (services.files.FileSize(source) > kMaxCharacterFileBytes) {
    return fail("too large to be an .qv file!");
  }
  std::string temp = DecodeTempPath(services.program_folder, index);
  int32_t code = services.codec(kCodecDecode, source, temp);
  if (code != 0) {
    services.files.RemoveFile(temp);  // a failed write may have left part of it
    return fail("QVCodec error number was " + HexErrorNumber(code));
  }
  std::string data, error;
  bool read = services.files.ReadFile(temp, &data, &error);
  services.files.RemoveFile(temp);
  if (!read) return fail("the decoded text could not be read back (" + error + ")");
  if (!text->Load(std::move(data))) return fail("too many lines in this file to be an .qv file!");
  return true;
}

int PlayerFileReader::Read(PlayerList& list, int index, const std::string& account_folder,
                           const std::string& file_name) {
  PlayerRecord* record = list.At(index);
  if (record == nullptr) {
    Report(DecodeError(file_name, "no player record " + std::to_string(index) + "!"));
    return 0;
  }
  if (!LoadCharacterText(services_, index, account_folder, file_name, &text_)) return 0;
  if (text_.end_line() <= kMinimumFileLines) {
    Report(DecodeError(file_name, "too few lines in this file to be an .qv file!"));
    return 0;
  }
  Scan scan;
  if (!CheckRuns(file_name, &scan)) return 0;

  std::string now = NowText(services_.logs);
  if (record->name.empty()) record->first_seen = now;
  for (std::string* field :
       {&record->unknown_equipment_code, &record->kills, &record->location, &record->money,
        &record->power_generator, &record->rank, &record->shield, &record->ship, &record->system,
        &record->last_saved, &record->time_played}) {
    field->clear();
  }

  auto from = [](int found) { return found >= 0 ? found : 0; };
  scan.description = text_.Find(0, kDescriptionKey);
  scan.name = text_.Find(from(scan.description), kNameKey);
  scan.rank = text_.Find(from(scan.name), kRankKey);
  scan.money = text_.Find(from(scan.rank), kMoneyKey);
  scan.system = text_.Find(from(scan.money), kSystemKey);
  scan.place = text_.Find(from(scan.system), kBaseKey, kPosKey);
  scan.ship = text_.Find(from(scan.place), kShipKey);
  scan.equip = text_.Find(from(scan.ship), kEquipKey);

  if (scan.description < 0) {
    record->last_saved = "NEW PLAYER";
  } else {
    record->last_saved = DecodeHexText(ValueOf(text_.line(scan.description)));
    if (services_.settings.optRegionalDateSetting == 1) {
      record->last_saved = SwapDayAndMonth(record->last_saved);
    }
  }
  if (!StoreName(*record, scan.name < 0 ? std::string_view() : text_.line(scan.name),
                 account_folder, file_name)) {
    return 0;
  }
  record->rank = scan.rank < 0 ? "UNKNOWN RANK" : Text(ValueOf(text_.line(scan.rank)));
  record->money = scan.money < 0 ? "UNKNOWN MONEY" : Text(ValueOf(text_.line(scan.money)));
  StorePlace(*record, scan);
  StoreEquipment(*record, scan.equip);
  StoreCounts(*record, scan);

  record->file_name = file_name;
  record->account_folder = account_folder;
  record->last_read = std::move(now);
  return 1;
}

// The kill run and the time value are checked before the record is touched, so that a file
// whose lines have no defined meaning leaves the record as it was.
bool PlayerFileReader::CheckRuns(const std::string& file_name, Scan* scan) {
  int line = text_.Find(0, kKillsKey);
  if (line >= 0) {
    scan->has_kills = true;
    for (; line < text_.end_line() && StartsWith(text_.line(line), kKillsKey); ++line) {
      std::string_view text = text_.line(line);
      size_t comma = text.find(',');
      if (comma == std::string_view::npos) {
        Report(DecodeError(file_name, "a ship_type_killed line without \",\" in this file!"));
        return false;
      }
      scan->kills += ReadNumber(text.substr(std::min(comma + 2, text.size())));
    }
  }
  scan->time = text_.Find(scan->has_kills ? line : 0, kTimeKey);
  if (scan->time >= 0) {
    std::string_view value = ValueOf(text_.line(scan->time));
    size_t dot = value.find('.');
    if (dot == std::string_view::npos) {
      Report(DecodeError(file_name, "a total_time_played value without \".\" in this file!"));
      return false;
    }
    scan->seconds = ReadNumber(value.substr(0, dot));
  }
  return true;
}

bool PlayerFileReader::StoreName(PlayerRecord& record, std::string_view line,
                                 const std::string& account_folder, const std::string& file_name) {
  if (line.empty()) {
    record.name = "UNKNOWN NAME";
    return true;
  }
  std::string_view value = ValueOf(line);
  std::string name = value == gamefiles::kDefaultCharacterName ? Text(value) : DecodeHexText(value);
  if (name.empty()) {
    // An empty name would make the record free and end the list there, hiding every
    // character after it: such a file counts as one without a name.
    record.name = "UNKNOWN NAME";
    return true;
  }
  if (name.find_first_of("\r\n") == std::string::npos) {
    record.name = std::move(name);
    return true;
  }
  std::string prefix = ": Linefeed character encountered in loading player [" + name + "], ";
  if (!services_.settings.chkDeletePlayersWithLinefeedCharactersInName) {
    Report(prefix + "file not loaded.");
  } else if (services_.files.RemoveFile(platform::JoinPath(account_folder, file_name))) {
    Report(prefix + "deleted file [" + file_name + "] as per HELM configuration.");
  } else {
    // Saying "deleted" for a file that is still there would mislead the operator.
    Report(prefix + "could not delete file [" + file_name + "], file not loaded.");
  }
  return false;
}

void PlayerFileReader::StorePlace(PlayerRecord& record, const Scan& scan) {
  if (scan.system < 0) {
    record.system = "UNKNOWN SYSTEM";
  } else {
    std::string_view nickname = ValueOf(text_.line(scan.system));
    const gamedata::Entry* system = Lookup(Table::kSystems, nickname, true);
    record.system = system ? system->displayName : "UNKNOWN SYSTEM (" + Text(nickname) + ")";
  }
  if (scan.place < 0) {
    record.location = "UNKNOWN LOCATION";
  } else if (std::string_view line = text_.line(scan.place); StartsWith(line, kBaseKey)) {
    std::string_view nickname = ValueOf(line);
    const gamedata::Entry* base = Lookup(Table::kBases, nickname, true);
    record.location = base ? base->displayName : "UNKNOWN BASE (" + Text(nickname) + ")";
  } else {
    record.location = Text(ValueOf(line));  // in space: the position as it stands
  }
  if (scan.ship < 0) {
    record.ship = "UNKNOWN PLAYER SHIP";
  } else {
    std::string_view code = ValueOf(text_.line(scan.ship));
    const gamedata::Entry* ship = Lookup(Table::kShips, code, false);
    record.ship = ship ? ship->displayName : "UNKNOWN SHIP (" + Text(code) + ")";
  }
}

void PlayerFileReader::StoreEquipment(PlayerRecord& record, int first_equip_line) {
  for (int slot = 0; slot <= kMaxWeaponsStored; ++slot) record.weapons[slot].clear();
  if (first_equip_line < 0) {
    record.weapons[0] = record.shield = record.power_generator = kNoEquipment;
    return;
  }
  record.shield.clear();
  int weapons = 0;
  for (int i = first_equip_line; i < text_.end_line(); ++i) {
    std::string_view line = text_.line(i);
    if (line.find(kEquipmentEnd) != std::string_view::npos) break;
    if (!StartsWith(line, kEquipKey)) continue;
    std::string_view code = HashCodeOf(line);
    const gamedata::Entry* item = nullptr;
    for (Table table : kWeaponTables) {
      if ((item = Lookup(table, code, false)) != nullptr) break;
    }
    if (item != nullptr) {
      record.weapons[weapons] = item->displayName;
      if (weapons < kMaxWeaponsStored) {
        ++weapons;
      } else {
        Report(":  During file load: Player " + record.name +
               " has equipped more than 20 weapons?!");
      }
    } else if ((item = Lookup(Table::kShields, code, false)) != nullptr) {
      record.shield = item->displayName;
    } else if ((item = Lookup(Table::kPowerGenerators, code, false)) != nullptr) {
      record.power_generator = item->displayName;
    } else {
      bool known = false;
      for (Table table : kKnownOnlyTables) {
        if ((known = Lookup(table, code, false) != nullptr)) break;
      }
      if (known) continue;
      record.unknown_equipment_code = Text(code);
      Report(": Unknown EQUIPPED item found for player [" + record.name +
             "] - unknown hashcode was [" + record.unknown_equipment_code + "]");
    }
  }
}

void PlayerFileReader::StoreCounts(PlayerRecord& record, const Scan& scan) {
  int cargo = 0;
  for (int i = 1; i < text_.end_line(); ++i) {
    if (StartsWith(text_.line(i), kCargoKey)) ++cargo;
  }
  if (cargo > kCargoWarningLimit) {
    Report(": More than 100 cargo items found on player [" + record.name +
           "]!  Excess cargo in player files can cause problems!");
  }
  record.kills = scan.has_kills ? NumberText(scan.kills) : "0";
  record.time_played = scan.time >= 0 ? TimePlayedText(scan.seconds) : "NEW PLAYER";
}

const gamedata::Entry* PlayerFileReader::Lookup(Table table, std::string_view code,
                                                bool by_nickname) {
  key_.assign(code);
  return by_nickname ? services_.catalogue.FindByNickname(table, key_)
                     : services_.catalogue.FindByHashCode(table, key_);
}

void PlayerFileReader::Report(const std::string& message) {
  services_.logs.Append(LogId::kHelmError, message);
}

}  // namespace helmsman::players
