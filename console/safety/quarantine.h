// The quarantine: what the console removes from the account root (characters and account
// folders' files) is moved here instead of being deleted, one entry per action, and can be put
// back. An entry is a folder "YYYYMMDD-HHMMSS-N" holding the files under their account
// folders' names and a manifest ("manifest.jsonl": a head line with the action, its rule and
// limit and its actor; a line per file with its original path, size, SHA-256 and the
// player-list record it had; an end line). The quarantine sits beside the account root, never
// in it, so the server can never read an entry as an account, and on the same file system
// when it can be, so that a move is a rename.
#ifndef HELMSMAN_CONSOLE_SAFETY_QUARANTINE_H_
#define HELMSMAN_CONSOLE_SAFETY_QUARANTINE_H_

#include <cstdint>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "platform/clock.h"
#include "platform/file_system.h"

namespace helmsman::safety {

inline constexpr char kQuarantineFolderName[] = "HelmsmanQuarantine";
inline constexpr char kManifestName[] = "manifest.jsonl";

// The quarantine's folder for an account root: beside it in its parent folder, or in the
// program folder when the account root has no parent to hold it.
std::string QuarantineRoot(const std::string& account_root, const std::string& program_folder);

struct QuarantinedFile {
  std::string account;   // the account folder's name
  std::string name;      // the file's name
  std::string original;  // the path it had
  int64_t size = 0;
  std::string sha256;
  std::string record;  // the player-list record it had, as the list file writes it ("" if none)
};

struct QuarantineEntry {
  std::string id;      // the entry's folder name
  std::string time;    // "YYYY-MM-DDTHH:MM:SS"
  std::string action;  // "Delete Inactive Players", "Delete Player", "maintenance", ...
  std::string rule;    // "inactive", "uninterested", "empty folder", "operator", ...
  std::string limit;   // "15 days", "5 minutes", ""
  std::string actor;   // as in the action journal
  std::vector<QuarantinedFile> files;
  bool readable = false;  // a manifest whole and sound, ended by its end line
};

struct RestoreReport {
  std::vector<QuarantinedFile> restored;  // back in place
  std::vector<std::string> problems;      // one line for each file left where it was, or why none
};

class Quarantine {
 public:
  Quarantine(platform::FileSystem& files, std::string root, logs::Logs& logs);

  // Opens an entry for one action. False (said in the HELM error log) when it cannot be
  // made: the caller then removes nothing.
  bool Begin(const std::string& action, const std::string& rule, const std::string& limit,
             const std::string& actor);
  // Moves account_folder/name into the open entry and notes it in the manifest, with the
  // record it had. False when it did not move (said in the HELM error log): the file is where
  // it was. *where is its place in the quarantine.
  bool Take(const std::string& account_folder, const std::string& name, const std::string& record,
            std::string* where);
  // Closes the open entry, flushing its manifest and every folder its moves changed to the
  // disk (Take only writes them); an entry that took nothing is removed.
  void End();

  // Every entry, oldest first; one whose manifest cannot be read is listed as not readable.
  std::vector<QuarantineEntry> List();

  // Puts the files of entry id (all, or only those of the account folder named only_account)
  // back into their account folders under account_root, creating a folder that is gone. A
  // file is never put over one that exists again, nor through a link, nor when its bytes
  // differ from the manifest: it stays in the quarantine and a problem says why. An entry
  // whose manifest is damaged or cut short restores nothing. What is left of the entry keeps
  // its manifest; an emptied entry is removed.
  // refuse, when set, may keep a file back: it returns why ("" lets it go).
  RestoreReport Restore(const std::string& id, const std::string& only_account,
                        const std::string& account_root,
                        const std::function<std::string(const QuarantinedFile&)>& refuse = {});

  // Removes the entries older than days whole days; returns their ids.
  std::vector<std::string> Purge(int days, const platform::CivilTime& now);

  const std::string& root() const { return root_; }
  static constexpr size_t kFoldersFlushedOneByOne = 16;
  // Whether an entry is open (between a Begin that succeeded and its End).
  bool is_open() const { return !open_.empty(); }

 private:
  bool AppendManifest(const std::string& line, bool durably);
  bool WriteManifest(const QuarantineEntry& entry, const std::vector<QuarantinedFile>& files);
  QuarantineEntry ReadEntry(const std::string& id);
  bool RemoveEntry(const std::string& id);

  platform::FileSystem& files_;
  std::string root_;
  logs::Logs& logs_;
  std::string open_;  // the open entry's id, "" when none
  int taken_ = 0;
  std::set<std::string> touched_;  // the folders the open entry's moves changed
};

}  // namespace helmsman::safety

#endif  // HELMSMAN_CONSOLE_SAFETY_QUARANTINE_H_
