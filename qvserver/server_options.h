// How the substitute server is set up: its command line, over the settings file
// "qvserver.ini" of its server directory.
//
// Command line (tokens as the library's launch gives them: split at blanks, no quoting):
//   --title WORDS...       the console window's title; takes every following token up to the
//                          next one that starts with "--" or is "/c", joined by one blank
//   --accounts DIR         the account root, the folder of "QVServer.cfg"
//                          (default: Accts/MultiPlayer in the server directory)
//   --gamedata DIR         read the catalogue from the GAMEDATA_ files in DIR
//                          (default: the demo universe's invented catalogue of --catalogue-seed)
//   --catalogue-seed N     seed of that invented catalogue (default 2026, the demo's)
//   --seed N               seed of every random change and of the autonomous mode (default 1)
//   --autonomous           players join, leave, are saved, are created and cheat by themselves
//   --tick MS              time between two autonomous events (default 4000, 100..3600000)
//   --save-interval S      seconds between two saves of the online characters (default 60)
//   --online N             the first N characters that can join (by account folder, then
//                          file) come online at start, for a full server at once (default 0)
//   --server-dir DIR       the server directory (default: the current directory)
//   /c                     accepted and ignored, as the library always passes it
// "qvserver.ini" holds "key = value" lines with the keys title, accounts, gamedata,
// catalogue_seed, seed, autonomous (0 or 1), tick, save_interval and online, read before the
// command line, whose options win. Values there may hold blanks.
#ifndef HELMSMAN_QVSERVER_SERVER_OPTIONS_H_
#define HELMSMAN_QVSERVER_SERVER_OPTIONS_H_

#include <cstdint>
#include <string>
#include <vector>

namespace helmsman::qvserver {

inline constexpr char kSettingsFileName[] = "qvserver.ini";
inline constexpr char kDefaultAccountFolder[] = "Accts/MultiPlayer";
inline constexpr int64_t kMaxOnlineAtStart = 100000;

struct ServerOptions {
  std::string title;  // empty: the default title
  std::string server_directory;
  std::string account_root;
  std::string gamedata_folder;
  uint64_t catalogue_seed = 2026;
  uint64_t seed = 1;
  bool autonomous = false;
  int64_t tick_millis = 4000;
  int64_t save_interval_seconds = 60;
  int64_t online_at_start = 0;
};

// Applies the command-line arguments (without the program name). False and *error on an
// unknown option or a bad value.
bool ParseArguments(const std::vector<std::string>& arguments, ServerOptions* options,
                    std::string* error);
// Applies the text of "qvserver.ini". False and *error (naming the line) on a bad line.
bool ApplySettingsText(const std::string& text, ServerOptions* options, std::string* error);

std::string UsageText();

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_SERVER_OPTIONS_H_
