// The substitute game server's universe: the accounts on disk and who is online.
//
// Disk, under the account root (the folder of "QVServer.cfg"):
//   QVServer.cfg        written with the demo universe's text when the root has none
//   <account>/name      the account's first character name, CR LF
//   <account>/*.qv      up to five scrambled character files, in the demo universe's format
//   <account>/banned    present while the account is banned (any letter case counts)
//   cheaters.log        one line per detected cheat (CheatLine)
// Every character file is written durably (temporary file and rename) and whole: besides the
// character's own lines it holds the forty counters the server keeps for everyone, so that no
// catalogue, however small, and no short file read earlier, makes a file the console would
// refuse as too short. A character's file is read when it joins, so that changes made to it
// while it was offline (a fine, a move to a base) are kept; while online it lives in memory
// and is written at every save and when it leaves or is kicked.
//
// Everything that happens is reported as one line to the event log; failures that concern
// the server itself (an unreadable character file, a save that could not be written) also go
// to the error log file as "<time>: <text>" lines with CR LF.
#ifndef HELMSMAN_QVSERVER_UNIVERSE_H_
#define HELMSMAN_QVSERVER_UNIVERSE_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "gamefiles/catalogue.h"
#include "gamefiles/character_sheet.h"
#include "gamefiles/splitmix.h"
#include "gamefiles/universe.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace helmsman::qvserver {

inline constexpr char kConfigFileName[] = "QVServer.cfg";
inline constexpr char kCheatLogName[] = "cheaters.log";
inline constexpr char kBannedFileName[] = "banned";
inline constexpr char kNameFileName[] = "name";
// The most characters the server keeps track of; further files are passed over.
inline constexpr size_t kMaxCharacters = 100000;

// The four kinds of cheat the server detects, with their markers.
enum class CheatKind { kShipRelated, kShipCapacityExceeded, kEquipmentExceedsShipSpecs, kNotSold };
const char* CheatMarker(CheatKind kind);  // "(Ship Related)" ...
// "ship", "capacity", "equipment", "notsold"; nothing for another word.
std::optional<CheatKind> CheatKindFromWord(const std::string& word);

// A line of the cheat log: the time of detection, the marker and ") by " + name + a tail of
// exactly kCheatTailLength characters: " on YYYY-MM-DD HH:MM:SS acct XXXXXXXX" (the account
// folder's checksum in hexadecimal).
inline constexpr size_t kCheatTailLength = 37;
std::string CheatLine(const platform::CivilTime& now, CheatKind kind, const std::string& name,
                      const std::string& account);

struct Character {
  std::string name;
  std::string account;    // the account folder's name
  std::string file_name;  // the character file's name in it
};

class Universe {
 public:
  using Log = std::function<void(const std::string& line)>;

  // catalogue outlives the universe; seed drives every random change (money, kills, the
  // names and folders of new characters).
  Universe(platform::FileSystem& files, platform::Clock& clock,
           const gamefiles::DemoCatalogue& catalogue, std::string account_root,
           std::string error_log_path, uint64_t seed, Log log);

  // Reads the account root, creating it and its "QVServer.cfg" when missing.
  bool Load(std::string* error);
  // Takes in account folders and character files that appeared since, drops those that are
  // gone. Online characters stay online.
  void Refresh();

  const std::string& account_root() const { return account_root_; }
  // Every character, by account folder and then file name.
  const std::vector<Character>& characters() const { return characters_; }
  // Online characters' names, in the order they joined.
  std::vector<std::string> OnlineNames() const;
  bool IsOnline(const std::string& name) const;
  bool IsBanned(const std::string& account);
  const Character* FindCharacter(const std::string& name) const;

  // Each returns false and says why in *message when it cannot be done; on success *message
  // says what was done.
  bool Join(const std::string& name, std::string* message);
  bool Leave(const std::string& name, std::string* message);
  // A new account folder with one new character (named name, or an invented name when name
  // is empty), which joins at once.
  bool NewCharacter(const std::string& name, std::string* message);
  // Saves one online character, or every online one when name is empty.
  bool Save(const std::string& name, std::string* message);
  // Writes a cheat line for an online character (the first online one when name is empty).
  bool Cheat(CheatKind kind, const std::string& name, std::string* message);

  // The account actions of "Edit Account". SetBanned creates or removes the "banned" file;
  // Kick saves and disconnects the account's online characters and returns their names.
  bool SetBanned(const std::string& account, bool banned);
  std::vector<std::string> Kick(const std::string& account);

  // Writes "<time>: text" to the error log file.
  void ReportError(const std::string& text);

 private:
  struct Online {
    Character character;
    gamefiles::CharacterSheet sheet;
    int64_t last_save_seconds = 0;
  };

  std::string AccountPath(const std::string& account) const;
  std::string FilePath(const Character& character) const;
  bool ReadSheet(const Character& character, gamefiles::CharacterSheet* sheet, std::string* error);
  bool WriteSheet(const Character& character, const gamefiles::CharacterSheet& sheet);
  void ScanAccount(const std::string& account, const std::map<std::string, std::string>& known,
                   std::vector<Character>* found);
  std::string InventName();
  std::string NewAccountFolder();
  bool SaveOnline(Online& online);
  std::vector<Online>::iterator FindOnline(const std::string& name);

  platform::FileSystem& files_;
  platform::Clock& clock_;
  gamefiles::CharacterFactory factory_;
  const gamefiles::DemoCatalogue& catalogue_;
  std::string account_root_;
  std::string error_log_path_;
  gamefiles::SplitMix64 rng_;
  Log log_;
  std::vector<Character> characters_;
  std::vector<Online> online_;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_UNIVERSE_H_
