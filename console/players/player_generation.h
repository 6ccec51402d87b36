// Keeping the player list in step with the character files on disk: full generation, the
// refresh for missing and new files, removal of one record with its entry in the removal
// log, and the "Players" tab's buttons (delete character, update all, update one).
//
// The account root is the folder of the server's configuration file `txtQVServercfgPath`;
// each of its subfolders is one account folder, and the character files are the files whose
// names end in ".qv" (letter case ignored: "X.QV" is one, as on Windows). Folders and files
// are visited in name order, byte for byte, so the list comes out the same on every
// platform and run.
//
// Texts on the way: the status line ("Folder 3 of 40, player 11", "Checking for missing .qv
// files (2 missing)", "Finding and decoding new player files...", "Checking folder 3 of 40
// for new player files", "New file found, decoding (folder ...)", "Updating information for
// player ...", "Good to go"), the progress bar `prgProgress` (range 0..folders or 0..players,
// back to 0 at the end), the server activity log (": Playerlist generation begun",
// ": Playerlist generation completed") and the HELM error log (folders with more than 5
// character files, missing files, and what the reader reports).
//
// Generation and update-all stop the main event timer (`tmrMainEventTimer` disabled) for
// their whole run and restore it afterwards, unless the server was stopped meanwhile
// (`cmdToggleServer` no longer reads "Stop Server"); they let pending events run on the way
// (generation after every 50th file of a folder, update-all before every character), and a
// second generation or update-all asked for meanwhile is ignored.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PLAYER_GENERATION_H_
#define HELMSMAN_CONSOLE_PLAYERS_PLAYER_GENERATION_H_

#include <functional>
#include <string>
#include <vector>

#include "console/players/player_file_reader.h"
#include "console/players/player_list.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"

namespace helmsman::safety {
class Journal;
class Quarantine;
}  // namespace helmsman::safety

namespace helmsman::players {

inline constexpr char kRemovalLogFileName[] = "playersremovedlogfile.log";
inline constexpr char kGenerationTitle[] = "Player List Generation";
inline constexpr char kRegenerateQuestion[] =
    "Re-generating the player list will lose ALL of your preset BAN DURATIONS and REASONS.  "
    "Continue?";
inline constexpr char kDeleteTitle[] = "Delete Player Confirmation";
// An account folder with more of them is reported (the server may not read them all).
inline constexpr int kCharacterFilesPerAccount = 5;
// Generation lets pending events run after this many files of one folder.
inline constexpr int kFilesBetweenEvents = 50;

// The folder of the configuration file: path up to its last separator.
std::string AccountRoot(const std::string& qvserver_cfg_path);
// The account folders (full paths) of root in name order; false when root cannot be read.
// A link in the root (a symbolic link, a junction) is never an account and is passed over;
// with logs, each one is reported once in the HELM error log.
bool ListAccountFolders(platform::FileSystem& files, const std::string& root,
                        std::vector<std::string>* folders, logs::Logs* logs = nullptr);
// The character files (names) of an account folder in name order; false when the folder
// cannot be read. A link named like a character file is passed over (reported as above).
bool ListCharacterFiles(platform::FileSystem& files, const std::string& folder,
                        std::vector<std::string>* names, logs::Logs* logs = nullptr);
// Whether the account root can tell which character files have gone: it can be read and,
// while the list holds records, lists at least one account folder (a share that is not
// mounted yet lists nothing, and every file behind it would look gone).
bool AccountRootCanTellMissing(platform::FileSystem& files, const std::string& root,
                               const PlayerList& list);
// Whether the character file is there, reached without a link: neither the account folder
// nor the file itself may be one.
bool CharacterFileExists(platform::FileSystem& files, const std::string& account_folder,
                         const std::string& file_name);
// Deletes a character file relative to its account folder without following a link; true
// when it is gone (or was not there), false with *error when it stays (a link in the
// folder's or the file's place is never deleted through).
bool DeleteCharacterFile(platform::FileSystem& files, const std::string& account_folder,
                         const std::string& file_name, std::string* error);
// Reports, once per run, a link met where an account folder or a character file could be.
void ReportLinkInAccountRoot(logs::Logs& logs, const std::string& path);
// The last 11 characters of a path (all of a shorter one), as the warnings show folders.
std::string PathTail(const std::string& path);

class PlayerDatabase {
 public:
  // Everything must outlive the database. The reader brings the file system, the logs and
  // the program folder.
  PlayerDatabase(PlayerFileReader& reader, PlayerList& list, const settings::Settings& settings,
                 ui::Controls& controls, ui::StatusLine& status);

  // Questions, messages and "let pending events run"; without one, every question is
  // answered Cancel.
  void set_frontend(ui::Frontend* frontend) { frontend_ = frontend; }
  // Where "Delete Player" moves the character file, with its record, instead of deleting it
  // (a quarantine that returns nullptr: deleted at once), and where it records the removal
  // and who made it.
  void set_safety(std::function<safety::Quarantine*()> quarantine, safety::Journal* journal,
                  std::function<std::string()> actor) {
    quarantine_ = std::move(quarantine);
    journal_ = journal;
    actor_ = std::move(actor);
  }

  // `cmdRegeneratePlayerList`: asks kRegenerateQuestion (OK/Cancel, title
  // kGenerationTitle), then empties every record in use (first seen kept, though the reader
  // stamps a new one as the names are empty), runs the generation core, saves the player
  // list file and fills the screen lists. False when cancelled or already running; false
  // too, with the list, its file and the timer left as they were, when the account root
  // cannot be listed (a vanished mount is not an empty root): a message box and a HELM
  // error log line say so.
  bool Regenerate();
  // The first start-up's generation over an empty list: ": Playerlist generation begun",
  // the core, ": Playerlist generation complete", status "Good to go...".
  void GenerateAtFirstStart();
  // The generation core: reads every character file of every account folder into records
  // 0, 1, 2 ...; a file that cannot be read does not get a record (its record is used for
  // the next file). Returns the number of characters read. A folder that cannot be listed
  // (removed meanwhile) is reported and skipped; when the table is full the remaining files
  // are reported and not read.
  int GenerateCore();

  // The refresh: RemoveMissing, then AddNewFiles, then status "Good to go" and progress 0.
  void Refresh();
  // Removes every record whose file is gone (with its removal-log entry); reports the count
  // in the HELM error log when it is not 0, and returns it. When the account root cannot be
  // listed, nothing is removed (files behind a vanished mount only look gone) and the HELM
  // error log says so.
  int RemoveMissing();
  // Reads every character file that no record names (same account folder and file name)
  // into the first record with an empty file name. Returns the number of records filled.
  int AddNewFiles();

  // Writes the record's removal-log entry at the top of "playersremovedlogfile.log" and
  // removes the record, closing the gap. False, changing nothing, for an index not in use.
  // A log that cannot be written is reported in the HELM error log; the record still goes.
  bool RemoveRecord(int index);

  // Rebuilds `lstPlayers` and `lstBannedPlayers` (player_screen_lists.h).
  void FillScreenLists();

  // `cmdDeletePlayer`: asks "DELETE player " + name + "?" (title kDeleteTitle) for the row
  // selected in `lstPlayers`, deletes the character file when it exists, removes the record
  // and fills the screen lists. A file that exists but cannot be deleted is reported and
  // the record is kept (it would come back with the next refresh). Refused while a
  // generation or update-all runs. False when nothing was removed.
  bool DeleteCharacter();
  // `cmdUpdateAllPlayerInformation`: nothing when `lstPlayers` is empty; else the refresh,
  // then every record read again from its file. False when nothing was done.
  bool UpdateAll();
  // `cmdUpdatePlayerInfo`: reads the record of the row selected in `lstPlayers` again and
  // shows it in the summary. Returns its index, or kNoPlayer.
  int UpdateOne();

  PlayerList& list() { return list_; }
  platform::FileSystem& files();

 private:
  class TimerPause;
  logs::Logs& logs();
  ui::Frontend* frontend() { return frontend_; }
  void ReportMoreThanFive(const std::string& folder, int files, const char* activity);
  void SetProgress(int value, int maximum);
  void SaveList();
  std::string RemovalLogEntry(int index);

  PlayerFileReader& reader_;
  PlayerList& list_;
  const settings::Settings& settings_;
  ui::Controls& controls_;
  ui::StatusLine& status_;
  ui::Frontend* frontend_ = nullptr;
  bool busy_ = false;
  std::function<safety::Quarantine*()> quarantine_;
  safety::Journal* journal_ = nullptr;
  std::function<std::string()> actor_;
};

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PLAYER_GENERATION_H_
