// The player list file "HelmsmanPlayerList.ini" in the program folder, and its backup
// "HelmsmanPlayerList.ini.bak". The list is read at start-up and written at shut-down and
// after every change that must survive the run.
//
// Format: text lines ending in CR LF, in the system's single-byte code page. Line 1 is the
// version "4.1". Then one block of 40 lines per record in use, in list order:
//   name, file name, account folder, last read, ban-until hour, ban-until month, ban-until
//   day, ban-until year, ban reason, system, location, money, rank, kills, time played,
//   ship, last saved, weapons 0..19, shield, power generator, first seen.
// Fields stand exactly as held, one per line, empty ones as empty lines. There is no count
// line and no end marker. The unknown equipment code and weapon slots 20..50 are not stored.
// The format cannot escape a line break inside a field; see SavePlayerList.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYER_LIST_FILE_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYER_LIST_FILE_H_

#include <string>
#include <string_view>
#include <vector>

#include "console/players/player_list.h"
#include "console/ui/frontend.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace helmsman::players {

inline constexpr char kPlayerListFileName[] = "HelmsmanPlayerList.ini";
inline constexpr char kPlayerListBackupFileName[] = "HelmsmanPlayerList.ini.bak";
inline constexpr char kPlayerListVersion[] = "4.1";
inline constexpr int kLinesPerPlayer = 40;

inline constexpr char kPlayerListMessageTitle[] = "Helmsman";
inline constexpr char kPlayerListOutOfDateMessage[] =
    "Your playerlist.ini file is out of date and must be re-generated with this newer version "
    "of HELM.  The list will not be loaded.";
inline constexpr char kSavingPlayersStatus[] = "Saving players to disk...";
inline constexpr char kSavePlayersFailedStatus[] = "Unable to save players to disk!";

// What a load did. Warnings are messages for the HELM error log, each beginning with ": "
// (the caller puts the log stamp in front).
struct LoadReport {
  enum class Outcome {
    kLoaded,      // the file was read; players_loaded may be 0
    kNoFile,      // no file, or an empty one: the list is empty, nothing is shown
    kOutOfDate,   // line 1 is not version 4.1: the message was shown, the list is empty
    kUnreadable,  // the file exists but cannot be read: the list is empty, error says why
  };
  Outcome outcome = Outcome::kNoFile;
  int players_loaded = 0;
  // Blocks past the table's last record (index 20000) that held a name; not loaded.
  int players_dropped = 0;
  // Blocks whose name line is empty; skipped so that the list stays packed.
  int nameless_blocks = 0;
  // The file ended inside a block (other than with empty lines only).
  bool ended_inside_block = false;
  std::string error;
  std::vector<std::string> warnings;
};

// What a save did. Warnings as in LoadReport.
struct SaveReport {
  bool ok = false;
  int players_written = 0;
  // Records left out because their name holds a line break.
  int players_skipped = 0;
  std::string error;  // why the file could not be written, when !ok
  std::vector<std::string> warnings;
};

std::string PlayerListPath(const std::string& program_folder);
std::string PlayerListBackupPath(const std::string& program_folder);

// Replaces the list's contents with the file in program_folder.
// - No file, or an empty one: the list is empty, no message (kNoFile).
// - A file that cannot be read: the list is empty, the reason is reported (kUnreadable).
// - The number at the start of line 1 (blanks before it skipped, compared as a number, so
//   "4.10" is current; a UTF-8 byte-order mark before it is skipped) is not 4.1: shows
//   kPlayerListOutOfDateMessage with OK only, the list stays empty (kOutOfDate).
// - Otherwise blocks fill indexes 0, 1, 2 ... Lines end at CR LF, a lone LF or a lone CR
//   (text_lines.h), as an editor may have re-saved the file; a text after
//   the last line end is a line too. A block whose name line is empty is skipped and
//   reported. A file that ends inside a block: the block's missing fields stay empty, the
//   record is kept when its name was read, and loading stops there (reported). Blocks past
//   index 20000 are counted as dropped and reported. Trailing empty lines are ignored.
LoadReport LoadPlayerList(platform::FileSystem& file_system, const std::string& program_folder,
                          ui::Frontend& frontend, PlayerList* list);

// Copies the player list file, which was not loaded (out of date), to
// "HelmsmanPlayerList.ini.unloaded-" + now as "YYYYMMDD-HHMMSS", with "-2", "-3" ... after it
// when that name is taken. No save ever writes such a name, so the list and its bans
// survive the saves that follow. On success sets *kept_path; on failure (the copy failed,
// or 100 names of that second are taken) returns false and sets *error.
bool KeepUnloadedPlayerList(platform::FileSystem& file_system, const std::string& program_folder,
                            const platform::CivilTime& now, std::string* kept_path,
                            std::string* error);

// Writes the records in use to the file in program_folder:
// status "Saving players to disk...", an existing file copied to the backup (which replaces
// the old backup), then the whole file written durably (temporary file in the same folder,
// flushed, renamed over the old one), status "Good to go".
// A failing write leaves the old file as it was, sets the status kSavePlayersFailedStatus
// and returns ok = false with the reason. A failing backup copy is a warning only: the
// previous backup stays as it was (the copy is durable), and the new file is still written,
// as the old one stays intact until the rename.
// A record whose name holds a line break (CR or LF) is left out and reported, so that it
// cannot shift the blocks of the records after it; a line break in any other stored field
// is written as a blank and reported.
SaveReport SavePlayerList(platform::FileSystem& file_system, const std::string& program_folder,
                          ui::StatusLine& status, const PlayerList& list);

// The file's text for the records in use (what SavePlayerList writes). Fills the counts and
// warnings of *report; leaves ok and error alone.
std::string EncodePlayerList(const PlayerList& list, SaveReport* report);
// One record as its block in the file (kLinesPerPlayer lines, each ended by CR LF; a line
// break inside a field written as a blank), to keep a removed character's record elsewhere.
std::string EncodePlayerRecord(const PlayerRecord& record);
// The record of such a block (lines may end at CR LF, LF or CR). False, and *record
// unchanged, when the text is not one whole block with a name.
bool DecodePlayerRecord(std::string_view text, PlayerRecord* record);
// Replaces the list's contents with the records of a file's text, by the rules of
// LoadPlayerList; shows nothing (kOutOfDate is only reported).
LoadReport DecodePlayerList(std::string_view text, PlayerList* list);

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYER_LIST_FILE_H_
