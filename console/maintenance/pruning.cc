#include "console/maintenance/pruning.h"

#include <optional>

#include "console/logs/regional_checks.h"
#include "console/maintenance/bulk_removal.h"
#include "console/maintenance/prune_rules.h"
#include "console/players/player_generation.h"
#include "console/players/player_list_file.h"
#include "console/players/player_screen_lists.h"
#include "console/players/players_tab.h"
#include "console/ui/main_window_controls.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"
#include "console/ui/startup.h"

namespace helmsman::maintenance {

namespace {

using logs::LogId;

constexpr char kProgress[] = "prgProgress";
constexpr int kConfigurationTab = 5;  // of SSTab1

void SetProgress(ui::Controls& controls, int value, int maximum) {
  ui::Control& bar = controls.Get(kProgress);
  if (bar.maximum() != maximum) bar.set_range(0, maximum);
  controls.SetValue(kProgress, value);
}

void EndRun(const PruneParts& p) {
  p.status.Set(ui::kGoodToGo);
  p.controls.SetValue(kProgress, 0);
}

std::string N(int64_t value) { return std::to_string(value); }

std::string Question(const PruneOperation& op, int limit) {
  const std::string not_banned = op.non_banned_only ? " and ARE NOT BANNED?" : "?";
  switch (op.kind) {
    case PruneKind::kInactive:
      return "DELETE players who haven't played within the last " + N(limit) + " days" + not_banned;
    case PruneKind::kUninterested:
      return "DELETE players who have played for less than " + N(limit) + " minutes" + not_banned;
    case PruneKind::kEmptyFolders:
      return op.non_banned_only
                 ? "Delete all non-banned empty player folders?"
                 : "Are you sure you want to scan for and delete ALL empty player folders?  This "
                   "will removed banned account ID's that don't have any players!";
  }
  return "";
}

// The regional check of a character kind; false (with the message and the settings tab in
// view) when the operator's choice does not match the system's form.
bool RegionalCheck(const PruneParts& p, PruneKind kind) {
  const platform::CivilTime now = p.logs.clock().NowLocal();
  std::string message;
  if (kind == PruneKind::kInactive) {
    if (logs::DateOrderCheck(p.logs, p.settings.optRegionalDateSetting) == 1) return true;
    message = "Date configuration is incorrect.  Current system date is " +
              p.logs.locale().ShortDate(now) + ". Verify your settings in the configuration tab.";
  } else {
    if (logs::TimeFormatCheck(p.logs, p.settings.optRegionalTimeSetting) == 1) return true;
    message = "Time configuration is incorrect.  Current system time is " +
              p.logs.locale().LongTime(now) + ". Verify your settings in the configuration tab.";
  }
  p.controls.Select("SSTab1", kConfigurationTab);
  if (p.controls.Has("tabsConfiguration")) p.controls.Select("tabsConfiguration", 0);
  p.frontend().ShowMessage(ui::kMessageBoxTitle, message);
  return false;
}

// Removes the character file relative to its account folder, never through a link: into
// the quarantine with its record (*where its place there), or deleted when there is none;
// false when it exists and stays.
bool RemoveCharacterFile(const PruneParts& p, const players::PlayerRecord& record,
                         std::string* where) {
  std::string error;
  if (p.quarantine != nullptr) {
    const std::string path = platform::JoinPath(record.account_folder, record.file_name);
    if (!p.files.FileExists(path) && !p.files.IsLink(path)) return true;
    // The quarantine says in the HELM error log why a file stayed.
    return p.quarantine->Take(record.account_folder, record.file_name,
                              players::EncodePlayerRecord(record), where);
  }
  if (players::DeleteCharacterFile(p.files, record.account_folder, record.file_name, &error)) {
    return true;
  }
  p.logs.Append(LogId::kHelmError, ": Could not delete the character file " +
                                       platform::JoinPath(record.account_folder,
                                                          record.file_name) +
                                       " (" + error + "), player " + record.name + " was kept");
  return false;
}

// Characters whose last saved date cannot be read (or lies after today), summarised in one
// HELM line per run: a server whose dates all went wrong must not flood the log.
class UnreadableDates {
 public:
  void Add(const players::PlayerRecord& record) {
    if (++count_ <= 3) {
      std::string example = record.name + " (" + record.last_saved + ")";
      if (example.size() > 200) example.resize(200);
      examples_ += (examples_.empty() ? "" : ", ") + example;
    }
  }
  void Report(logs::Logs& logs, const std::string& operation) const {
    if (count_ == 0) return;
    logs.Append(LogId::kHelmError,
                operation + ": " + std::to_string(count_) +
                    " players have a last saved date that cannot be read or lies in the future "
                    "and were not deleted for inactivity, the first: " +
                    examples_);
  }

 private:
  int count_ = 0;
  std::string examples_;
};

// Whether the record (read again from its file) is still a candidate; *detail gets the
// text its log line ends with, *value what made it one ("23 days", the time played).
bool StillCandidate(const PruneParts& p, PruneKind kind, int limit, int64_t today,
                    const players::PlayerRecord& record, std::string* detail, std::string* value) {
  if (kind == PruneKind::kInactive) {
    std::optional<int64_t> days =
        InactiveDays(record.last_saved, p.settings.optRegionalDateSetting, today, limit);
    if (!days) return false;
    *detail = ", last login " + record.last_saved + ", (" + N(*days) + " days)";
    *value = N(*days) + " days";
    return true;
  }
  if (!IsUninterested(record.last_saved, record.time_played, limit)) return false;
  *detail = ", time online: " + record.time_played;
  *value = record.time_played;
  return true;
}

}  // namespace

const char* RuleName(PruneKind kind) {
  switch (kind) {
    case PruneKind::kInactive:
      return "inactive";
    case PruneKind::kUninterested:
      return "uninterested";
    case PruneKind::kEmptyFolders:
      return "empty folder";
  }
  return "";
}

namespace {

// What a removal adds to its log line: where the file went.
std::string WentTo(const std::string& where) {
  return where.empty() ? "" : " (moved to the quarantine: " + where + ")";
}

void JournalRemoval(const PruneParts& p, const std::string& character, const std::string& folder,
                    PruneKind kind, const std::string& value, const std::string& where) {
  if (p.journal == nullptr) return;
  // A folder's entry names the folder's removal; its files went where "moved to" says.
  const char* action = kind == PruneKind::kEmptyFolders ? "remove-folder"
                       : where.empty()                  ? "delete"
                                                        : "quarantine";
  safety::JournalEntry entry{"", action, p.actor,
                             platform::BaseName(folder), character,
                             {{"rule", RuleName(kind)}, {"value", value}}};
  if (!where.empty()) entry.details.emplace_back("moved to", where);
  p.journal->Append(std::move(entry));
}

// Opens a quarantine entry for a walk when none is open; closes it when it goes.
class WalkEntry {
 public:
  WalkEntry(const PruneParts& p, const std::string& action, PruneKind kind,
            const std::string& limit)
      : quarantine_(p.quarantine) {
    if (quarantine_ == nullptr || quarantine_->is_open()) return;
    opened_ = quarantine_->Begin(action, RuleName(kind), limit, p.actor);
    failed_ = !opened_;
  }
  ~WalkEntry() {
    if (opened_) quarantine_->End();
  }
  WalkEntry(const WalkEntry&) = delete;
  WalkEntry& operator=(const WalkEntry&) = delete;
  // The entry could not be opened: nothing may be removed.
  bool failed() const { return failed_; }

 private:
  safety::Quarantine* quarantine_;
  bool opened_ = false;
  bool failed_ = false;
};

// "Delete Inactive Players" of ": Delete Inactive Players" or ": MAINTENANCE: ...".
std::string ActionName(const std::string& line_prefix) {
  std::string name = line_prefix;
  while (!name.empty() && (name.front() == ':' || name.front() == ' ')) name.erase(0, 1);
  return name;
}

bool FirstLook(const PruneParts& p, PruneKind kind, int limit, int64_t today,
               const players::PlayerRecord& record) {
  if (kind == PruneKind::kInactive) {
    return InactiveDays(record.last_saved, p.settings.optRegionalDateSetting, today, limit)
        .has_value();
  }
  return IsUninterested(record.last_saved, record.time_played, limit);
}

}  // namespace

const std::vector<PruneOperation>& PruneOperations() {
  static const std::vector<PruneOperation> operations = {
      {"cmdDeleteInactivePlayers", PruneKind::kInactive, false, "Delete Inactive Players"},
      {"cmdDeleteNonBannedInactivePlayers", PruneKind::kInactive, true,
       "Delete Non-Banned Inactive Players"},
      {"cmdDeleteUninterestedPlayers", PruneKind::kUninterested, false,
       "Delete Uninterested Players"},
      {"cmdDeleteNonBannedUninterestedPlayers", PruneKind::kUninterested, true,
       "Delete Non-Banned Uninterested Players"},
      {"cmdDeleteEmptyPlayerFolders", PruneKind::kEmptyFolders, false,
       "Delete All Empty Player Folders"},
      {"cmdDeleteNonBannedEmptyPlayerFolders", PruneKind::kEmptyFolders, true,
       "Delete All Non-Banned Empty Player Folders"},
  };
  return operations;
}

namespace {

// The character walk, deleting as it goes; or, with preview set, the same decisions with
// nothing deleted, logged or shown: each candidate's record is read again from its file as
// the run reads it, and put back as it was.
PruneResult WalkCharacters(const PruneParts& p, PruneKind kind, bool non_banned_only, int limit,
                           const std::string& line_prefix, const std::string& status_prefix,
                           std::vector<PreviewItem>* preview, const std::set<int>* skip = nullptr,
                           std::set<int>* taken = nullptr) {
  PruneResult result;
  const int count = p.list.Count();
  if (count == 0) return result;
  std::optional<WalkEntry> entry;
  if (!preview) {
    entry.emplace(p, ActionName(line_prefix), kind,
                  N(limit) + (kind == PruneKind::kInactive ? " days" : " minutes"));
    if (entry->failed()) return result;
  }
  const int64_t today = DayOf(p.logs.clock().NowLocal());
  players::BanMarkers bans(p.files);
  std::vector<int> doomed;
  UnreadableDates unreadable;
  if (!preview) SetProgress(p.controls, 0, count);
  for (int i = 0; i < count; ++i) {
    if (!preview) SetProgress(p.controls, i, count);
    players::PlayerRecord& record = *p.list.At(i);
    if (skip != nullptr && skip->count(i) != 0) continue;
    if (non_banned_only && bans.IsBanned(record.account_folder)) continue;
    if (kind == PruneKind::kInactive &&
        IsUnreadableLastSaved(record.last_saved, p.settings.optRegionalDateSetting, today)) {
      unreadable.Add(record);
      continue;
    }
    if (!FirstLook(p, kind, limit, today, record)) continue;
    // An account folder that became a link is never followed, not even to read.
    if (p.files.IsLink(record.account_folder)) {
      if (!preview) players::ReportLinkInAccountRoot(p.logs, record.account_folder);
      continue;
    }
    if (p.is_online && p.is_online(record.name)) {
      ++result.kept_online;
      continue;
    }
    // Every candidate is read again first, a "NEW PLAYER" too: it may have played and been
    // saved since the list last read it.
    std::string detail, value;
    if (!preview) p.status.Set(status_prefix + "Checking last login of " + record.name + "...");
    // Copies: the read rewrites the record that holds them.
    const std::string folder = record.account_folder;
    const std::string file = record.file_name;
    if (preview) {
      const players::PlayerRecord before = record;
      const bool still = p.reader.Read(p.list, i, folder, file) == 1 &&
                         StillCandidate(p, kind, limit, today, record, &detail, &value);
      if (still) {
        preview->push_back({record.name, folder, file, RuleName(kind), value});
        if (taken != nullptr) taken->insert(i);
      }
      *p.list.At(i) = before;
      continue;
    }
    if (p.reader.Read(p.list, i, folder, file) != 1) continue;
    if (!StillCandidate(p, kind, limit, today, record, &detail, &value)) continue;
    std::string where;
    if (!RemoveCharacterFile(p, record, &where)) continue;
    p.logs.Append(LogId::kServerActivity,
                  line_prefix + " deleted player " + record.name + detail + WentTo(where));
    JournalRemoval(p, record.name, folder, kind, value, where);
    p.status.Set(status_prefix + "Deleting player " + record.name + ", updating saved info");
    doomed.push_back(i);
  }
  if (preview) return result;
  unreadable.Report(p.logs, line_prefix);
  result.deleted = RemoveRecordsInBulk(p.list, doomed, p.files, p.program_folder, p.logs);
  if (result.deleted > 0 && p.fill_screen_lists) p.fill_screen_lists();
  return result;
}

// What the empty-folder walk makes of one account folder.
struct FolderLook {
  bool readable = false;
  bool has_character = false;
  bool holds_more = false;  // anything but a name file and a ban marker, a link included
  std::string name_file, ban_file;
};

FolderLook LookAtFolder(platform::FileSystem& files, const std::string& folder,
                        const std::set<std::string>* gone = nullptr) {
  FolderLook look;
  std::vector<platform::DirEntry> entries;
  // A folder that cannot be read is not known to be empty.
  look.readable = files.ListDirectory(folder, &entries);
  for (const platform::DirEntry& entry : entries) {
    if (entry.is_link) {
      look.holds_more = true;  // never ours to delete, and never followed
    } else if (!entry.is_directory && platform::EndsWithIgnoreCase(entry.name, ".qv")) {
      if (gone == nullptr || gone->count(platform::JoinPath(folder, entry.name)) == 0) {
        look.has_character = true;
      }
    } else if (!entry.is_directory && platform::EqualsIgnoreCase(entry.name, kNameFile)) {
      look.name_file = entry.name;
    } else if (!entry.is_directory &&
               platform::EqualsIgnoreCase(entry.name, players::kBanMarkerName)) {
      look.ban_file = entry.name;
    } else {
      look.holds_more = true;
    }
  }
  return look;
}

}  // namespace

PruneResult PruneCharacters(const PruneParts& p, PruneKind kind, bool non_banned_only, int limit,
                            const std::string& line_prefix, const std::string& status_prefix) {
  return WalkCharacters(p, kind, non_banned_only, limit, line_prefix, status_prefix, nullptr);
}

std::vector<PreviewItem> PreviewCharacters(const PruneParts& p, PruneKind kind,
                                           bool non_banned_only, int limit,
                                           const std::set<int>& skip, std::set<int>* taken) {
  std::vector<PreviewItem> items;
  WalkCharacters(p, kind, non_banned_only, limit, "", "", &items, &skip, taken);
  return items;
}

std::vector<PreviewItem> PreviewEmptyFolders(const PruneParts& p, bool non_banned_only,
                                             const std::set<std::string>& gone) {
  std::vector<PreviewItem> items;
  std::vector<std::string> folders;
  const std::string root = players::AccountRoot(p.settings.txtQVServercfgPath);
  if (!players::ListAccountFolders(p.files, root, &folders, nullptr)) return items;
  for (const std::string& folder : folders) {
    const FolderLook look = LookAtFolder(p.files, folder, &gone);
    if (!look.readable || look.has_character || (non_banned_only && !look.ban_file.empty()) ||
        look.holds_more) {
      continue;
    }
    std::string value = look.name_file.empty() ? "" : "name file";
    if (!look.ban_file.empty()) value += value.empty() ? "ban marker" : " and ban marker";
    if (value.empty()) value = "empty";
    items.push_back({"", folder, "", RuleName(PruneKind::kEmptyFolders), value});
  }
  return items;
}

int PruneEmptyFolders(const PruneParts& p, bool non_banned_only, const FolderProblem& problem,
                      const std::string& status_prefix) {
  std::vector<std::string> folders;
  const std::string root = players::AccountRoot(p.settings.txtQVServercfgPath);
  if (!players::ListAccountFolders(p.files, root, &folders, &p.logs)) {
    p.logs.Append(LogId::kHelmError,
                  ": Could not list the account folders in " + root + ", no folder was removed");
    return 0;
  }
  const WalkEntry entry(p,
                        non_banned_only ? "Delete All Non-Banned Empty Player Folders"
                                        : "Delete All Empty Player Folders",
                        PruneKind::kEmptyFolders, "");
  if (entry.failed()) return 0;
  const int n = static_cast<int>(folders.size());
  SetProgress(p.controls, 0, n);
  int removed = 0;
  for (int i = 0; i < n; ++i) {
    const std::string& folder = folders[static_cast<size_t>(i)];
    SetProgress(p.controls, i + 1, n);
    p.status.Set(status_prefix + "Checking folder " + N(i + 1) + " of " + N(n));
    const FolderLook look = LookAtFolder(p.files, folder);
    if (!look.readable) continue;
    const std::string& name_file = look.name_file;
    const std::string& ban_file = look.ban_file;
    const bool holds_more = look.holds_more;
    if (look.has_character || (non_banned_only && !ban_file.empty())) continue;
    // Nothing is deleted from a folder that cannot go: it would lose its name file, or
    // worse its ban marker, and stay.
    if (holds_more) {
      problem("Unable to delete folder " + folder + "!  It may contain subfolders!");
      continue;
    }
    // Relative to the open folder and never through a link: a folder swapped for a link
    // since it was listed keeps everything, here and where the link leads.
    const std::string name_path = platform::JoinPath(folder, name_file);
    std::string error, where;
    // Into the quarantine when there is one (it says in the HELM error log why a file
    // stayed), deleted otherwise.
    auto clear = [&](const std::string& file) {
      if (p.quarantine == nullptr) return p.files.RemoveFileInFolder(folder, file, &error);
      error = "see the line before";
      return p.quarantine->Take(folder, file, "", &where);
    };
    bool cleared = name_file.empty() || clear(name_file);
    if (cleared && !non_banned_only && !ban_file.empty()) cleared = clear(ban_file);
    if (!cleared) {
      p.logs.Append(LogId::kHelmError,
                    ": Could not clear the player folder " + folder + " (" + error + ")");
      problem("Unable to clear folder " + folder +
              " for delete!  It may contain a file that is currently in use!");
      continue;
    }
    p.status.Set(status_prefix + "Deleting player folder " + folder);
    int looks = 0;
    while (!name_file.empty() && p.files.FileExists(name_path) && ++looks < kNameFileLooks) {
      p.sleeper.Sleep(kNameFileLookMilliseconds);
    }
    if (!name_file.empty() && looks >= kNameFileLooks) {
      problem("Unable to clear folder " + folder +
              " for delete!  It may contain a file that is currently in use!");
      continue;
    }
    if (!p.files.RemoveEmptyDirectory(folder)) {
      problem("Unable to delete folder " + folder + "!  It may contain subfolders!");
      continue;
    }
    const std::string went = where.empty() ? "" : platform::DirName(where);
    if (!went.empty()) {
      p.logs.Append(LogId::kServerActivity,
                    ": Removed the empty player folder " + folder + WentTo(went));
    }
    JournalRemoval(p, "", folder, PruneKind::kEmptyFolders,
                   name_file.empty() ? "empty" : "name file", went);
    ++removed;
  }
  // The folder browser lists what is left (once, not after each of thousands of folders).
  if (removed > 0) players::ShowAccountFolders(p.controls, p.files, root);
  return removed;
}

void RunPruneOperation(const PruneParts& p, const PruneOperation& op) {
  const bool characters = op.kind != PruneKind::kEmptyFolders;
  const int limit =
      op.kind == PruneKind::kInactive ? p.settings.vscDaysInactive : p.settings.vscMinutesInactive;
  if (characters && !RegionalCheck(p, op.kind)) return;
  ui::Frontend& frontend = p.frontend();
  const char* title = characters ? kDeletePlayersTitle : kDeleteFoldersTitle;
  // What the walk would remove now, shown with the question.
  const std::vector<PreviewItem> preview =
      characters ? PreviewCharacters(p, op.kind, op.non_banned_only, limit)
                 : PreviewEmptyFolders(p, op.non_banned_only);
  if (!frontend.AskOkCancelWithList(title, Question(op, limit), ui::RemovalList(preview))) return;
  std::string began = ": Helmsman began maintenance process - " + std::string(op.name);
  if (op.kind == PruneKind::kInactive) began += " (more than " + N(limit) + " days)";
  if (op.kind == PruneKind::kUninterested) began += " (less than " + N(limit) + " minutes)";
  p.logs.Append(LogId::kServerActivity, began);
  if (characters) {
    const PruneResult result =
        PruneCharacters(p, op.kind, op.non_banned_only, limit, ": " + std::string(op.name));
    p.logs.Append(LogId::kServerActivity,
                  ": " + std::string(op.name) + " deleted " + N(result.deleted) + " players");
    if (result.kept_online > 0) {
      p.logs.Append(LogId::kServerActivity, ": " + std::string(op.name) + " kept " +
                                                N(result.kept_online) +
                                                " players who are online now");
    }
    frontend.ShowMessage(ui::kMessageBoxTitle, "Deleted " + N(result.deleted) + " players.");
  } else {
    players::EmptyPlayerListFilter(p.controls, p.list);
    players::ClearDisplayOnlyNamesForThisPlayer(p.controls, p.list);
    const int removed = PruneEmptyFolders(p, op.non_banned_only, [&](const std::string& text) {
      frontend.ShowMessage(ui::kMessageBoxTitle, text);
    });
    p.logs.Append(LogId::kServerActivity,
                  ": " + std::string(op.name) + " removed " + N(removed) + " folders");
    frontend.ShowMessage(ui::kMessageBoxTitle, "Deleted " + N(removed) + " empty player folders.");
  }
  EndRun(p);
}

void AddPruneControls(ui::Controls& controls) {
  for (const PruneOperation& op : PruneOperations()) {
    controls.Add(op.button, ui::ControlKind::kButton);
    controls.SetText(op.button, op.name);
  }
  controls.Add("lblDeletePlayerDays", ui::ControlKind::kLabel);
  controls.Add("lblDeletePlayerMinutes", ui::ControlKind::kLabel);
}

void ShowLimitLabels(ui::Controls& controls) {
  controls.SetText("lblDeletePlayerDays", "Delete Players Inactive > " +
                                              N(controls.Get("vscDaysInactive").value()) + " Days");
  controls.SetText(
      "lblDeletePlayerMinutes",
      "Delete Players Online < " + N(controls.Get("vscMinutesInactive").value()) + " Minutes");
}

void WirePruning(ui::Controls& controls, std::function<PruneParts()> parts) {
  for (const PruneOperation& op : PruneOperations()) {
    controls.On(op.button, ui::ControlEvent::kClick,
                [parts, op] { RunPruneOperation(parts(), op); });
  }
  for (const char* bar : {"vscDaysInactive", "vscMinutesInactive"}) {
    controls.On(bar, ui::ControlEvent::kChange, [&controls] { ShowLimitLabels(controls); });
  }
  ShowLimitLabels(controls);
}

}  // namespace helmsman::maintenance
