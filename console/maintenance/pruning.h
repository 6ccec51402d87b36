// Pruning the server's character files: characters that have not played for a number of
// days (inactive), characters that played only a few minutes in all (uninterested), and
// account folders without a character file (empty folders), each for all accounts or only
// for those not banned. The six buttons of the "Manual Maintenance" group run them after a
// regional check and a question; the automated maintenance cycle runs the same walks.
//
// Safety rules that hold for every kind:
//  - A folder is never removed recursively. Of its contents only the name file "name" and,
//    for the all-accounts kind, the ban marker "banned" are deleted; then the folder is
//    removed only if that left it empty. A folder holding anything else stays and is
//    reported ("Unable to delete folder ...  It may contain subfolders!") before anything
//    in it is touched.
//  - A character whose player is online (the console's online list, while the server runs)
//    is never deleted: the server holds it in memory. It is counted as kept.
//  - Unreadable last saved or time played texts never make a candidate (prune_rules.h).
//  - A character file that exists but cannot be deleted keeps its record (it would come
//    back with the next refresh); the HELM error log says so.
//
// The records of deleted characters are removed in one go at the end of the walk
// (bulk_removal.h), with the removal log the one-by-one removal would write.
#ifndef HELMSMAN_CONSOLE_MAINTENANCE_PRUNING_H_
#define HELMSMAN_CONSOLE_MAINTENANCE_PRUNING_H_

#include <functional>
#include <set>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_list.h"
#include "console/server/sleeper.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace helmsman::safety {
class Journal;
class Quarantine;
}  // namespace helmsman::safety

namespace helmsman::maintenance {

inline constexpr char kDeletePlayersTitle[] = "Delete Players Confirmation";
inline constexpr char kDeleteFoldersTitle[] = "Delete Folders Confirmation";
inline constexpr char kNameFile[] = "name";
// How often and how long the removal of a folder waits for its name file to go.
inline constexpr int kNameFileLooks = 10000;
inline constexpr int kNameFileLookMilliseconds = 10;

enum class PruneKind { kInactive, kUninterested, kEmptyFolders };

struct PruneOperation {
  const char* button;
  PruneKind kind;
  bool non_banned_only;
  const char* name;  // as the log lines name it
};

// The six buttons, in the order of the group.
const std::vector<PruneOperation>& PruneOperations();

struct PruneParts {
  ui::Controls& controls;
  ui::StatusLine& status;
  logs::Logs& logs;  // its clock and locale give today and the system's forms
  const settings::Settings& settings;
  players::PlayerList& list;
  players::PlayerFileReader& reader;
  platform::FileSystem& files;
  std::string program_folder;
  server::Sleeper& sleeper;
  std::function<ui::Frontend&()> frontend;
  // Whether the character's player is online now; never deleted when so.
  std::function<bool(const std::string& name)> is_online;
  // Rebuilds the player lists on screen after records went.
  std::function<void()> fill_screen_lists;
  // Where the files a walk removes go instead of being deleted, each character with its
  // record; nullptr deletes them at once. A walk opens an entry for itself unless one is
  // open (the maintenance cycle's, for all its steps); an entry that cannot be opened
  // removes nothing.
  safety::Quarantine* quarantine = nullptr;
  // Where each removal is recorded, with the actor; nullptr records nothing.
  safety::Journal* journal = nullptr;
  std::string actor = "operator";
};

// What one walk did.
struct PruneResult {
  int deleted = 0;
  int kept_online = 0;
};

// The rule names of the kinds, as previews, the quarantine and the journal give them.
const char* RuleName(PruneKind kind);

// Reports a folder that could not be cleared or removed (the manual buttons show a box).
using FolderProblem = std::function<void(const std::string& text)>;

// The character walk of an inactive or uninterested kind with limit N (days or minutes).
// Each deletion appends line_prefix + " deleted player " ... to the server activity log;
// status_prefix goes in front of every status text ("MAINTENANCE: " for the cycle).
PruneResult PruneCharacters(const PruneParts& parts, PruneKind kind, bool non_banned_only,
                            int limit, const std::string& line_prefix,
                            const std::string& status_prefix = "");
// The empty-folder walk; returns the number of folders removed.
int PruneEmptyFolders(const PruneParts& parts, bool non_banned_only, const FolderProblem& problem,
                      const std::string& status_prefix = "");

// One thing a run would remove, and why.
struct PreviewItem {
  std::string character;       // "" for a folder
  std::string account_folder;  // its path
  std::string file;            // the character file, "" for a folder
  std::string rule;            // "inactive", "uninterested" or "empty folder"
  std::string value;           // "23 days", the time played, "NEW PLAYER", "name file", ...
  bool operator==(const PreviewItem&) const = default;
};

// What PruneCharacters with the same arguments would delete now, in list order, decided by
// the same code (every candidate read again from its file, its record put back after), with
// nothing deleted, logged or shown. Characters whose file then cannot be deleted are listed
// too: the run keeps them and says so.
// The records at the indices in skip are passed over, and the indices listed are added to
// *taken (the maintenance cycle's steps, each after the one before).
std::vector<PreviewItem> PreviewCharacters(const PruneParts& parts, PruneKind kind,
                                           bool non_banned_only, int limit,
                                           const std::set<int>& skip = {},
                                           std::set<int>* taken = nullptr);
// What PruneEmptyFolders would remove now, in the order of the folder list; folders that
// hold more than a name file and a ban marker are not listed (the run reports them). The
// character files in gone (their paths) count as deleted already.
std::vector<PreviewItem> PreviewEmptyFolders(const PruneParts& parts, bool non_banned_only,
                                             const std::set<std::string>& gone = {});

// Wires the six buttons and the two scroll bars' labels (`lblDeletePlayerDays`,
// `lblDeletePlayerMinutes`), which it adds with the buttons.
void AddPruneControls(ui::Controls& controls);
void WirePruning(ui::Controls& controls, std::function<PruneParts()> parts);
// One button's run: regional check, question, walk, summary.
// Shows the two limits in their labels, as the scroll bars' change events do.
void ShowLimitLabels(ui::Controls& controls);
void RunPruneOperation(const PruneParts& parts, const PruneOperation& operation);

}  // namespace helmsman::maintenance

#endif  // HELMSMAN_CONSOLE_MAINTENANCE_PRUNING_H_
