#include "gamefiles/character_sheet.h"

#include <cstdio>
#include <cstdlib>

#include "codec/scramble.h"
#include "gamefiles/default_name.h"

namespace helmsman::gamefiles {

namespace {

std::string Format(const char* format, double value) {
  char text[64];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

void Line(std::string* text, std::string_view key, std::string_view value) {
  text->append(key);
  text->append(" = ");
  text->append(value);
  text->append("\r\n");
}

void WriteWhereabouts(const CharacterSheet& sheet, std::string* text) {
  Line(text, "money", std::to_string(sheet.money));
  Line(text, "system", sheet.system);
  if (!sheet.base.empty()) {
    Line(text, "base", sheet.base);
  } else {
    Line(text, "pos", sheet.position);
    Line(text, "rotate", "0, 0, 0");
  }
  Line(text, "ship_archetype", sheet.ship_hash_code);
}

void WriteHold(const CharacterSheet& sheet, std::string* text) {
  for (const EquipItem& item : sheet.equipment) {
    Line(text, "equip", item.hash_code + ", " + item.hardpoint + ", " + std::to_string(item.count));
  }
  for (const CargoItem& item : sheet.cargo) {
    Line(text, "cargo", item.hash_code + ", " + std::to_string(item.count));
  }
  Line(text, "last_base", sheet.last_base);
}

void WriteHistory(const CharacterSheet& sheet, std::string* text) {
  for (const std::string& visit : sheet.visits) Line(text, "visit", visit);
  for (const std::string& gate : sheet.locked_gates) Line(text, "locked_gate", gate);
  for (const auto& [key, value] : sheet.statistics) Line(text, key, value);
  for (const KillCount& kill : sheet.kills) {
    Line(text, "ship_type_killed", kill.ship_hash_code + ", " + std::to_string(kill.count));
  }
  Line(text, "total_time_played", Format("%.6f", sheet.total_time_played));
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

std::string Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return "";
  size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(begin, end - begin + 1));
}

// "a, b, c" -> {"a", "b", "c"}, each part without its surrounding blanks.
std::vector<std::string> SplitFields(std::string_view value) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (;;) {
    size_t comma = value.find(',', start);
    fields.push_back(
        Trim(value.substr(start, comma == std::string_view::npos ? value.npos : comma - start)));
    if (comma == std::string_view::npos) return fields;
    start = comma + 1;
  }
}

int64_t Integer(const std::string& text, int64_t fallback) {
  char* end = nullptr;
  long long value = std::strtoll(text.c_str(), &end, 10);
  return end == text.c_str() ? fallback : value;
}

int ToInt(const std::string& text, int fallback) {
  return static_cast<int>(Integer(text, fallback));
}

// Applies one "key = value" line; false when the key is not one of the sheet's own.
bool ApplyField(const std::string& key, const std::string& value, CharacterSheet* sheet) {
  std::vector<std::string> fields = SplitFields(value);
  auto field = [&fields](size_t i) { return i < fields.size() ? fields[i] : std::string(); };
  if (key == "description") {
    std::string saved;
    if (HexDecodeText(value, &saved)) ParseSavedTimeText(saved, &sheet->last_saved);
  } else if (key == "tstamp" || key == "rotate") {
    // Both follow from other fields when the text is written again.
  } else if (key == "rank") {
    sheet->rank = ToInt(value, sheet->rank);
  } else if (key == "house") {
    sheet->houses.push_back({std::strtod(field(0).c_str(), nullptr), field(1)});
  } else if (key == "voice") {
    sheet->voice = value;
  } else if (key == "portrait") {
    sheet->portrait = value;
  } else if (key == "money") {
    sheet->money = Integer(value, sheet->money);
  } else if (key == "system") {
    sheet->system = value;
  } else if (key == "base") {
    sheet->base = value;
  } else if (key == "pos") {
    sheet->position = value;
  } else if (key == "ship_archetype") {
    sheet->ship_hash_code = value;
  } else if (key == "equip") {
    sheet->equipment.push_back({field(0), field(1), ToInt(field(2), 1)});
  } else if (key == "cargo") {
    sheet->cargo.push_back({field(0), ToInt(field(1), 1)});
  } else if (key == "last_base") {
    sheet->last_base = value;
  } else if (key == "visit") {
    sheet->visits.push_back(value);
  } else if (key == "locked_gate") {
    sheet->locked_gates.push_back(value);
  } else if (key == "ship_type_killed") {
    sheet->kills.push_back({field(0), ToInt(field(1), 0)});
  } else if (key == "total_time_played") {
    sheet->total_time_played = std::strtod(value.c_str(), nullptr);
  } else {
    return false;
  }
  return true;
}

}  // namespace

bool ParseSavedTimeText(std::string_view text, platform::CivilTime* time) {
  platform::CivilTime t;
  char half[3] = {};
  int end = 0;
  std::string copy(text);
  if (std::sscanf(copy.c_str(), "%d/%d/%d %d:%d:%d %2[APM]%n", &t.month, &t.day, &t.year, &t.hour,
                  &t.minute, &t.second, half, &end) != 7 ||
      static_cast<size_t>(end) != copy.size()) {
    return false;
  }
  std::string am_pm = half;
  if ((am_pm != "AM" && am_pm != "PM") || t.hour < 1 || t.hour > 12 || t.month < 1 ||
      t.month > 12 || t.day < 1 || t.day > 31 || t.minute < 0 || t.minute > 59 || t.second < 0 ||
      t.second > 59) {
    return false;
  }
  t.hour = t.hour % 12 + (am_pm == "PM" ? 12 : 0);
  t.weekday = platform::CivilFromSeconds(platform::SecondsFromCivil(t)).weekday;
  *time = t;
  return true;
}

bool ParseCharacterText(std::string_view text, CharacterSheet* sheet, std::string* error) {
  CharacterSheet parsed;
  bool named = false;
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    std::string_view line = text.substr(start, end == text.npos ? text.npos : end - start);
    start = end == text.npos ? text.size() : end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t equals = line.find(" = ");
    if (equals == text.npos) continue;
    std::string key(line.substr(0, equals));
    std::string value(line.substr(equals + 3));
    if (key == "name") {
      named = true;
      parsed.name_in_plain_text =
          value == kDefaultCharacterName || !HexDecodeText(value, &parsed.name) || value.empty();
      if (parsed.name_in_plain_text) parsed.name = value;
    } else if (!ApplyField(key, value, &parsed)) {
      parsed.statistics.emplace_back(key, value);
    }
  }
  if (!named) {
    *error = "the character text has no name line";
    return false;
  }
  if (!parsed.base.empty()) parsed.position.clear();
  *sheet = std::move(parsed);
  return true;
}

std::string SavedTimeText(const platform::CivilTime& time) {
  int hour = time.hour % 12 == 0 ? 12 : time.hour % 12;
  char text[64];
  std::snprintf(text, sizeof text, "%d/%d/%d %d:%02d:%02d %s", time.month, time.day, time.year,
                hour, time.minute, time.second, time.hour < 12 ? "AM" : "PM");
  return text;
}

std::string HexEncodeText(std::string_view text) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  hex.reserve(text.size() * 4);
  for (char c : text) {
    auto byte = static_cast<unsigned char>(c);
    hex += "00";
    hex += kDigits[byte >> 4];
    hex += kDigits[byte & 0xF];
  }
  return hex;
}

bool HexDecodeText(std::string_view hex, std::string* text) {
  if (hex.size() % 4 != 0) return false;
  std::string decoded;
  for (size_t i = 0; i < hex.size(); i += 4) {
    int digits[4];
    for (int d = 0; d < 4; ++d) {
      digits[d] = HexDigit(hex[i + static_cast<size_t>(d)]);
      if (digits[d] < 0) return false;
    }
    decoded += static_cast<char>(digits[2] * 16 + digits[3]);
  }
  *text = decoded;
  return true;
}

std::string CharacterText(const CharacterSheet& sheet) {
  std::string text;
  text.reserve(4096);
  text += "[Player]\r\n";
  Line(&text, "description", HexEncodeText(SavedTimeText(sheet.last_saved)));
  Line(&text, "tstamp", std::to_string(platform::SecondsFromCivil(sheet.last_saved)));
  Line(&text, "name", sheet.name_in_plain_text ? sheet.name : HexEncodeText(sheet.name));
  Line(&text, "rank", std::to_string(sheet.rank));
  for (const Reputation& house : sheet.houses) {
    Line(&text, "house", Format("%.6f", house.value) + ", " + house.faction);
  }
  Line(&text, "voice", sheet.voice);
  Line(&text, "portrait", sheet.portrait);
  WriteWhereabouts(sheet, &text);
  WriteHold(sheet, &text);
  WriteHistory(sheet, &text);
  return text;
}

int CharacterLineCount(const CharacterSheet& sheet) {
  // [Player], description, tstamp, name, rank, voice, portrait, money, system, base (or pos
  // and rotate), ship_archetype, last_base, total_time_played.
  size_t fixed = sheet.base.empty() ? 14 : 13;
  return static_cast<int>(fixed + sheet.houses.size() + sheet.equipment.size() +
                          sheet.cargo.size() + sheet.visits.size() + sheet.locked_gates.size() +
                          sheet.statistics.size() + sheet.kills.size());
}

bool WriteCharacterFile(platform::FileSystem& files, const std::string& path,
                        const CharacterSheet& sheet, std::string* error, WriteMode mode) {
  std::string scrambled = codec::EncodeText(CharacterText(sheet));
  return mode == WriteMode::kDurable ? files.WriteFileDurably(path, scrambled, error)
                                     : files.WriteFile(path, scrambled, error);
}

}  // namespace helmsman::gamefiles
