// The action journal: one line for every action that changes a player or the server (kick,
// ban, unban, automatic bans with their evidence, editor saves, fines and moves, quarantines
// and restores, server start, stop, crash and restart, maintenance cycles), with its time,
// its actor and its target. JSON Lines in the program folder ("HelmsmanJournal.jsonl"),
// appended and flushed to the disk within a tick of the timer, and rotated by size; the journal is read back by helmsman-ctl and the
// player summary. A journal that cannot be written is reported once in the HELM error log and
// never stops what it records.
#ifndef HELMSMAN_CONSOLE_SAFETY_JOURNAL_H_
#define HELMSMAN_CONSOLE_SAFETY_JOURNAL_H_

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/logs/logs.h"
#include "platform/file_system.h"

namespace helmsman::safety {

inline constexpr char kJournalFileName[] = "HelmsmanJournal.jsonl";

// Texts are in the console's code page (Windows-1252); the file holds them as UTF-8.
struct JournalEntry {
  std::string time;       // local time "YYYY-MM-DDTHH:MM:SS"; Append fills it when empty
  std::string action;     // "kick", "ban", "unban", "autoban", "edit", "server-crash", ...
  std::string actor;      // "operator", "ctl:USER", "rule:NAME"
  std::string account;    // the account folder's name, "" when none
  std::string character;  // the character's name, "" when none
  std::vector<std::pair<std::string, std::string>> details;  // in the order given

  // The value of a detail, "" when it has none.
  std::string Detail(std::string_view key) const;
  bool operator==(const JournalEntry&) const = default;
};

// One line of the file, ended by "\n".
std::string JournalLine(const JournalEntry& entry);
// The entry of one line (without its line end); nullopt for a line that is not one (cut short
// by a crash, damaged, or written by something else).
std::optional<JournalEntry> ParseJournalLine(std::string_view line);

// "YYYY-MM-DDTHH:MM:SS" of a local time.
std::string JournalTime(const platform::CivilTime& time);

struct JournalFilter {
  std::string character;  // exact name, "" for all
  std::string account;    // exact folder name, "" for all
  std::string since;      // entries at or after this time ("YYYY-MM-DD" or a full time)
  size_t last = 0;        // only the newest this many (0: all)
};

class Journal {
 public:
  // The journal in folder; files are rotated once the current one would pass rotate_bytes,
  // and the `keep` rotated files after the current one are kept
  // ("HelmsmanJournal.1.jsonl" the newest of them).
  Journal(platform::FileSystem& files, std::string folder, logs::Logs& logs,
          int64_t rotate_bytes = int64_t{8} << 20, int keep = 8);

  // Takes the entry for the next Flush, which the console runs at the end of every tick of
  // its timer and at shut-down (a flush to the disk takes milliseconds; taking an entry,
  // microseconds). A burst of entries over kFlushBytes is flushed at once.
  void Append(JournalEntry entry);
  // Writes the entries taken since the last flush and flushes them to the disk. False when
  // they could not be written: they are kept for the next flush (up to kKeptBytes, the oldest
  // dropped beyond), and the first failure since the last success is reported in the HELM
  // error log.
  bool Flush();
  size_t pending_bytes() const { return pending_.size(); }

  // The entries that pass the filter, oldest first (in the order written), from the rotated
  // files and the current one, after a flush; lines that are not entries are passed over.
  std::vector<JournalEntry> Read(const JournalFilter& filter);

  // Calls listener with every entry Append takes from now on, until RemoveListener (the web
  // console's event stream tells its clients of bans and unbans as they happen).
  int AddListener(std::function<void(const JournalEntry&)> listener);
  void RemoveListener(int id);

  static constexpr size_t kFlushBytes = 64 * 1024;
  static constexpr size_t kKeptBytes = 4 * 1024 * 1024;

  std::string FilePath(int rotation = 0) const;

 private:
  bool Rotate(std::string* error);

  platform::FileSystem& files_;
  std::string folder_;
  logs::Logs& logs_;
  int64_t rotate_bytes_;
  int keep_;
  int64_t size_ = -1;  // of the current file; -1 until looked at
  std::string pending_;  // whole lines not written yet
  bool failing_ = false;
  std::map<int, std::function<void(const JournalEntry&)>> listeners_;
  int next_listener_ = 1;
};

}  // namespace helmsman::safety

#endif  // HELMSMAN_CONSOLE_SAFETY_JOURNAL_H_
