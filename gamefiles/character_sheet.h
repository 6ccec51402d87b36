// A character of the game as its character file holds it, and the decoded text of that file.
// The demo universe writes its characters with this, and so does the substitute game server.
//
// The text has CR LF line ends and its keys in the order the console's reader searches them:
// "description = ", "name = ", "rank = ", "house = " lines, "money = ", "system = ",
// "base = " (docked) or "pos = " (in space), "ship_archetype = ", "equip = " lines,
// "cargo = " lines, "last_base = ", "visit = " lines, "locked_gate = " lines, further
// "key = value" lines, the "ship_type_killed = " run and "total_time_played = ".
#ifndef HELMSMAN_GAMEFILES_CHARACTER_SHEET_H_
#define HELMSMAN_GAMEFILES_CHARACTER_SHEET_H_

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/clock.h"
#include "platform/file_system.h"

namespace helmsman::gamefiles {

struct Reputation {
  double value = 0;  // -1 hostile .. 1 friendly
  std::string faction;
};

struct EquipItem {
  std::string hash_code;
  std::string hardpoint;  // "HpGun01"; empty for equipment inside the hull
  int count = 1;
};

struct CargoItem {
  std::string hash_code;
  int count = 1;
};

struct KillCount {
  std::string ship_hash_code;
  int count = 0;
};

struct CharacterSheet {
  platform::CivilTime last_saved;   // written hex-encoded, as "3/14/2026 9:12:44 PM"
  std::string name;                 // written hex-encoded unless name_in_plain_text
  bool name_in_plain_text = false;  // the game writes its default name as it is
  int rank = 1;
  std::vector<Reputation> houses;
  std::string voice;
  std::string portrait;
  int64_t money = 0;
  std::string system;    // system nickname
  std::string base;      // base nickname when docked; empty in space
  std::string position;  // "x, y, z" in space (written when base is empty)
  std::string ship_hash_code;
  std::vector<EquipItem> equipment;
  std::vector<CargoItem> cargo;
  std::string last_base;
  std::vector<std::string> visits;  // values of the "visit = " lines ("velmora_dock2, 1")
  std::vector<std::string> locked_gates;
  std::vector<std::pair<std::string, std::string>> statistics;  // further "key = value" lines
  std::vector<KillCount> kills;
  double total_time_played = 0;  // seconds, written with six decimals
};

// "M/D/YYYY h:mm:ss AM" (month first, no leading zeros, 12-hour clock), the form in which
// the game records the last save.
std::string SavedTimeText(const platform::CivilTime& time);

// Each byte as a four-digit group of hex capitals, as the game writes its 16-bit text
// ("A" -> "0041", "\xE9" -> "00E9").
std::string HexEncodeText(std::string_view text);

// The reverse: the low byte of every complete four-digit group. Returns false when the text
// is not made of such groups.
bool HexDecodeText(std::string_view hex, std::string* text);

// The decoded character file.
std::string CharacterText(const CharacterSheet& sheet);

// Reads SavedTimeText's form back. False when text is not in that form.
bool ParseSavedTimeText(std::string_view text, platform::CivilTime* time);

// Reads a decoded character file back into a sheet, so that a server can load a character,
// change it and write it again. As lenient as the game: lines without " = " are passed over,
// keys it does not know become statistics (in file order), a "base = " line wins over a
// "pos = " line, and a key that is missing or unreadable leaves its field as it is in a
// default sheet. A name that is not in hexadecimal groups is taken as plain text. Fails,
// with *error, only when there is no "name = " line. For a text CharacterText wrote,
// CharacterText of the result gives the same text again.
bool ParseCharacterText(std::string_view text, CharacterSheet* sheet, std::string* error);

// The number of lines CharacterText gives, none of them empty.
int CharacterLineCount(const CharacterSheet& sheet);

// How a character file is put on disk: kDurable writes a temporary file and renames it over
// the old one (for a server whose files are precious); kInPlace writes the file directly
// (for generated demo data, where speed counts and nothing is lost).
enum class WriteMode { kDurable, kInPlace };

// Writes the scrambled character file (what "qvcodec encode" makes of CharacterText).
bool WriteCharacterFile(platform::FileSystem& files, const std::string& path,
                        const CharacterSheet& sheet, std::string* error,
                        WriteMode mode = WriteMode::kDurable);

}  // namespace helmsman::gamefiles

#endif  // HELMSMAN_GAMEFILES_CHARACTER_SHEET_H_
