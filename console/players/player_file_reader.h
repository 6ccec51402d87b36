// The player file reader: turns one of the game server's scrambled character files into the
// fields of one record of the player list, translating the game's identifiers into display
// names through the game data catalogue and reporting damaged or suspicious files in the
// HELM error log.
//
// One read, in this order:
//  1. The codec decodes the file into the temporary file "Helmsman" + index + ".tmp" in the
//     program folder (one per record index, so two records never share one).
//  2. The temporary file is read whole and deleted; its lines are taken as WorkingText does
//     (CR LF or LF ends a line, empty lines dropped, text after the last line break
//     dropped) and the end marker is added.
//  3. Fewer than 49 lines: the file is not loaded.
//  4. The record is prepared: first seen is stamped when its name is empty, and the fields
//     the file fills are emptied (the ban fields are never touched).
//  5. The keys are searched in this order: "description = ", "name = ", "rank = ",
//     "money = ", "system = ", "base = " or "pos = ", "ship_archetype = ", "equip = ". Each
//     search starts at the line where the previous one found its key, or at line 0 when the
//     previous one found nothing; so a key standing before an earlier key that was found is
//     missed and takes its not-found text ("NEW PLAYER", "UNKNOWN NAME", "UNKNOWN RANK",
//     "UNKNOWN MONEY", "UNKNOWN SYSTEM", "UNKNOWN LOCATION", "UNKNOWN PLAYER SHIP").
//  6. Description and name are hex-decoded (the low byte of every four-digit group); the
//     description's day and month are swapped when the operator's date format is
//     "DD/MM/YYYY"; the game's default name is taken as it is. A name that decodes to
//     nothing ("name = " with fewer than four digits) is "UNKNOWN NAME", like a missing
//     one: an empty name would free the record and end the list there.
//  7. A name with a line feed or carriage return is never stored: the file is not loaded,
//     and it is deleted when `chkDeletePlayersWithLinefeedCharactersInName` is checked.
//  8. System, base and ship become display names, or "UNKNOWN SYSTEM (" + nickname + ")",
//     "UNKNOWN BASE (" ...")", "UNKNOWN SHIP (" ...")"; a position is kept as it stands.
//  9. The equipment from the first "equip = " line to the first line holding "last_base":
//     guns, turrets and projectiles fill weapon slots 0..19, and every weapon past the
//     twentieth lands in slot 20 with a report; shields and power generators are stored;
//     the other equipment tables only make an item known; an item no table knows becomes
//     the unknown equipment code (the last one of the file) with a report.
// 10. More than 100 "cargo = " lines are reported; kills are the sum of the first run of
//     "ship_type_killed = " lines; time played is the seconds before the "." of
//     "total_time_played = " as "H hours, M minutes, S seconds".
// 11. File name, account folder and last read are stored; the result is 1.
//
// Result 0 (file not loaded), each with one HELM error-log line ": Error decoding file " +
// file name + " - " + why: a codec error (" - QVCodec error number was " + hex number),
// fewer than 49 lines (" - too few lines in this file to be an .qv file!"), and, with texts
// of this reader's own, a character file larger than kMaxCharacterFileBytes, more than
// 19,999 lines, a "ship_type_killed = " line without ",", a "total_time_played = " value
// without ".", a temporary file that cannot be read, an index outside the table. All of
// these leave the record unchanged; a name with a line break leaves it prepared (step 4)
// with last saved set and its name unchanged.
//
// Every read empties weapon slots 0..20, not only the slots it fills: a weapon of an earlier
// read of the same record must not linger in slot 20 (or, when the file has no equipment,
// in slots 1..20), where the equipment filter would still see it.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYER_FILE_READER_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYER_FILE_READER_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "console/gamedata/catalogue.h"
#include "console/logs/logs.h"
#include "console/players/player_list.h"
#include "console/players/working_text.h"
#include "console/settings/settings.h"
#include "platform/file_system.h"

namespace helmsman::players {

// The largest character file the console decodes; a real one is a few kilobytes.
inline constexpr int64_t kMaxCharacterFileBytes = 16 * 1024 * 1024;
inline constexpr int kMinimumFileLines = 49;
inline constexpr int kMaxWeaponsStored = 20;
inline constexpr int kCargoWarningLimit = 100;

// What every operation on character files needs. All references must outlive their user.
struct CharacterFileServices {
  platform::FileSystem& files;
  CodecFn codec;
  const gamedata::Catalogue& catalogue;
  const settings::Settings& settings;  // read at the moment of use
  logs::Logs& logs;                    // its clock and locale texts stamp the record too
  std::string program_folder;
};

// "Helmsman" + index + ".tmp" in the program folder.
std::string DecodeTempPath(const std::string& program_folder, int index);
// The current date and time as text (the general date-and-time form of the log stamps).
std::string NowText(logs::Logs& logs);
// The low byte of every four-digit group of a hex text: the characters at positions 3-4,
// 7-8 ... (counted from 1) while the position is below the text's length, each pair read as
// a hexadecimal byte (reading stops at a character that is no hex digit; none gives 0).
std::string DecodeHexText(std::string_view value);
// "1/2/2005 10:00:00" -> "2/1/2005 10:00:00": the texts before the first "/" and between
// the first and second "/" change places. A text with fewer than two "/" is unchanged.
std::string SwapDayAndMonth(std::string_view date);
// Seconds as "H hours, M minutes, S seconds".
std::string TimePlayedText(double seconds);

// Steps 1-2 of a read for every operation on character files: decodes account folder + "\"
// + file name through the per-index temporary file into *text, deleting the temporary file.
// On failure reports the file in the HELM error log as described above and returns false.
bool LoadCharacterText(CharacterFileServices& services, int index,
                       const std::string& account_folder, const std::string& file_name,
                       WorkingText* text);

class PlayerFileReader {
 public:
  explicit PlayerFileReader(CharacterFileServices services) : services_(std::move(services)) {}

  // Reads the file into record index (0..20000) of list; 1 when the record was filled, 0
  // when the file was not loaded (see the file comment).
  int Read(PlayerList& list, int index, const std::string& account_folder,
           const std::string& file_name);

  CharacterFileServices& services() { return services_; }

 private:
  struct Scan;
  bool CheckRuns(const std::string& file_name, Scan* scan);
  bool StoreName(PlayerRecord& record, std::string_view line, const std::string& account_folder,
                 const std::string& file_name);
  void StorePlace(PlayerRecord& record, const Scan& scan);
  void StoreEquipment(PlayerRecord& record, int first_equip_line);
  void StoreCounts(PlayerRecord& record, const Scan& scan);
  const gamedata::Entry* Lookup(gamedata::Table table, std::string_view code, bool by_nickname);
  void Report(const std::string& message);

  CharacterFileServices services_;
  WorkingText text_;
  std::string key_;  // scratch for catalogue lookups, reused so that lookups do not allocate
};

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYER_FILE_READER_H_
