#include "tools/demo_universe/character_sheet.h"

#include <cstdio>

#include "codec/scramble.h"

namespace helmsman::demo {

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

}  // namespace

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

}  // namespace helmsman::demo
