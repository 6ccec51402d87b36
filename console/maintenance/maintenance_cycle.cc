#include "console/maintenance/maintenance_cycle.h"

#include "console/logs/regional_checks.h"
#include "console/maintenance/bulk_removal.h"
#include "console/players/player_generation.h"
#include "console/players/player_screen_lists.h"
#include "console/safety/journal.h"
#include "console/safety/quarantine.h"

namespace helmsman::maintenance {

namespace {

using logs::LogId;

constexpr char kPrefix[] = ": MAINTENANCE: ";
constexpr char kStatusPrefix[] = "MAINTENANCE: ";
constexpr char kInactive[] = "Delete Non-Banned Inactive Players";
constexpr char kUninterested[] = "Delete Non-Banned Uninterested Players";

std::string N(int64_t value) { return std::to_string(value); }

// Stops the server and waits for its window to go; false when it is still there.
bool StopServer(const CycleParts& c) {
  const PruneParts& p = c.prune;
  p.status.Set("MAINTENANCE: Shutting down QVServer...");
  c.channel.Run(server::kStopServerCommand, server::kTrackingReplySize);
  p.logs.Append(LogId::kServerActivity,
                std::string(kPrefix) + "QVServer.exe stopped for maintenance");
  if (p.journal != nullptr) {
    p.journal->Append(
        safety::JournalEntry{"", "server-stop", p.actor, "", "", {{"for", "maintenance"}}});
  }
  const std::string& title = p.settings.txtQVServerWindowName;
  for (int look = 1; c.windows.Find(title) != 0; ++look) {
    if (look >= kServerWindowLooks) {
      p.logs.Append(LogId::kHelmError, std::string(kPrefix) + "QVServer.exe window \"" + title +
                                           "\" still open after " +
                                           N(kServerWindowLooks * 100 / 1000) +
                                           " seconds; nothing was deleted in this maintenance");
      return false;
    }
    p.sleeper.Sleep(kServerWindowLookMilliseconds);
  }
  p.status.Set("MAINTENANCE: Server stopped successfully");
  return true;
}

void RemoveMissing(const CycleParts& c) {
  const PruneParts& p = c.prune;
  // Behind an account root that cannot be read (moved away, a share not mounted yet) every
  // file looks gone; removing them all would lose every ban end, reason and first seen.
  const std::string root = players::AccountRoot(p.settings.txtQVServercfgPath);
  if (!players::AccountRootCanTellMissing(p.files, root, p.list)) {
    p.logs.Append(LogId::kHelmError, std::string(kPrefix) + "The account folders in " + root +
                                         " cannot be read; no player was removed from the list "
                                         "as missing");
    return;
  }
  std::vector<int> missing;
  const int count = p.list.Count();
  for (int i = 0; i < count; ++i) {
    const players::PlayerRecord& r = *p.list.At(i);
    if (players::CharacterFileExists(p.files, r.account_folder, r.file_name)) continue;
    missing.push_back(i);
    p.status.Set("MAINTENANCE: Checking for missing .qv files (" + N(missing.size()) + " missing)");
  }
  if (missing.empty()) return;
  RemoveRecordsInBulk(p.list, missing, p.files, p.program_folder, p.logs);
  p.logs.Append(LogId::kHelmError, std::string(kPrefix) + N(missing.size()) +
                                       " .qv files are missing from database, players were "
                                       "removed from list");
}

int PruneKindStep(const CycleParts& c, PruneKind kind) {
  const PruneParts& p = c.prune;
  const bool inactive = kind == PruneKind::kInactive;
  const char* name = inactive ? kInactive : kUninterested;
  const int limit = inactive ? p.settings.vscDaysInactive : p.settings.vscMinutesInactive;
  p.logs.Append(LogId::kServerActivity, std::string(kPrefix) + name +
                                            (inactive ? " (more than " + N(limit) + " days)"
                                                      : " (less than " + N(limit) + " minutes)"));
  const PruneResult result =
      PruneCharacters(p, kind, true, limit, std::string(kPrefix) + name, kStatusPrefix);
  p.logs.Append(LogId::kServerActivity,
                std::string(kPrefix) + name + " deleted " + N(result.deleted) + " players");
  if (result.kept_online > 0) {
    p.logs.Append(LogId::kServerActivity, std::string(kPrefix) + name + " kept " +
                                              N(result.kept_online) +
                                              " players who are online now");
  }
  p.controls.SetValue("prgProgress", 0);
  return result.deleted;
}

// The quarantine entry of the whole cycle, which every step's removals go into.
std::string CycleLimits(const settings::Settings& s) {
  std::string limits;
  if (s.chkDeleteNonBannedInactivePlayers != 0) {
    limits = "inactive " + N(s.vscDaysInactive) + " days";
  }
  if (s.chkDeleteNonBannedUninterestedPlayers != 0) {
    limits += (limits.empty() ? "" : ", ") + std::string("uninterested ") +
              N(s.vscMinutesInactive) + " minutes";
  }
  if (s.chkDeleteNonBannedEmptyPlayerFolders != 0) {
    limits += (limits.empty() ? "" : ", ") + std::string("empty folders");
  }
  return limits;
}

void CleanUp(const CycleParts& c) {
  const PruneParts& p = c.prune;
  if (p.settings.chkDeleteQVServerErrorsLogfile != 0 && p.files.FileExists(c.server_error_log)) {
    p.files.RemoveFile(c.server_error_log);
  }
  RemoveMissing(c);
  c.refresh_list();
  const bool prunes = p.settings.chkDeleteNonBannedInactivePlayers != 0 ||
                      p.settings.chkDeleteNonBannedUninterestedPlayers != 0 ||
                      p.settings.chkDeleteNonBannedEmptyPlayerFolders != 0;
  if (prunes && p.quarantine != nullptr &&
      !p.quarantine->Begin("Maintenance", "maintenance cycle", CycleLimits(p.settings),
                           p.actor)) {
    p.logs.Append(LogId::kHelmError, std::string(kPrefix) +
                                         "The quarantine could not take this maintenance's "
                                         "removals; no player or folder was deleted");
    return;
  }
  int inactive = 0, uninterested = 0, folders = 0;
  if (logs::DateOrderCheck(p.logs, p.settings.optRegionalDateSetting) == 1) {
    if (p.settings.chkDeleteNonBannedInactivePlayers != 0) {
      inactive = PruneKindStep(c, PruneKind::kInactive);
    }
  } else {
    p.logs.Append(LogId::kHelmError,
                  std::string(kPrefix) + kInactive +
                      " did not execute as the date setting in the configuration tab may be "
                      "incorrect");
  }
  if (logs::TimeFormatCheck(p.logs, p.settings.optRegionalTimeSetting) == 1) {
    if (p.settings.chkDeleteNonBannedUninterestedPlayers != 0) {
      uninterested = PruneKindStep(c, PruneKind::kUninterested);
      p.status.Set(ui::kGoodToGo);
    }
  } else {
    p.logs.Append(LogId::kHelmError,
                  std::string(kPrefix) + kUninterested +
                      " did not execute as the time setting in the configuration tab may be "
                      "incorrect");
  }
  if (p.settings.chkDeleteNonBannedEmptyPlayerFolders != 0) {
    players::EmptyPlayerListFilter(p.controls, p.list);
    folders = PruneEmptyFolders(
        p, true,
        [&](const std::string& text) {
          p.logs.Append(LogId::kServerActivity, std::string(kPrefix) + text);
        },
        kStatusPrefix);
    p.logs.Append(LogId::kServerActivity,
                  std::string(kPrefix) + "Delete All Non-Banned Empty Player Folders removed " +
                      N(folders) + " folders");
    p.controls.SetValue("prgProgress", 0);
    p.status.Set(ui::kGoodToGo);
  }
  if (p.quarantine != nullptr) p.quarantine->End();
  if (p.journal != nullptr && prunes) {
    p.journal->Append(safety::JournalEntry{"", "maintenance", p.actor, "", "",
                                           {{"inactive deleted", N(inactive)},
                                            {"uninterested deleted", N(uninterested)},
                                            {"folders removed", N(folders)},
                                            {"quarantined", p.quarantine ? "yes" : "no"}}});
  }
}

// True when the server runs again; the cycle ends at once otherwise.
bool StartServer(const CycleParts& c) {
  const PruneParts& p = c.prune;
  p.status.Set("MAINTENANCE: Starting up QVServer...");
  const server::CommandResult result =
      c.channel.Run(server::kStartServerCommand, server::kTrackingReplySize);
  if (!result.went_through()) return false;
  if (!result.successful) {
    p.status.Set("MAINTENANCE: Error starting server!");
    return false;
  }
  p.logs.Append(LogId::kServerActivity,
                std::string(kPrefix) + "QVServer.exe started after maintenance");
  if (p.journal != nullptr) {
    p.journal->Append(
        safety::JournalEntry{"", "server-start", p.actor, "", "", {{"after", "maintenance"}}});
  }
  p.sleeper.Sleep(kAfterStartMilliseconds);
  c.reset_counters();
  p.status.Set(ui::kGoodToGo);
  return true;
}

}  // namespace

std::vector<PreviewItem> PreviewMaintenanceCycle(const CycleParts& c) {
  PruneParts p = c.prune;
  // A cycle that restarts the server prunes while it is down: nobody is online then.
  if (p.settings.chkRestartQVServer != 0) p.is_online = nullptr;
  std::vector<PreviewItem> items;
  const std::string root = players::AccountRoot(p.settings.txtQVServercfgPath);
  // The refresh: records whose file is gone drop out...
  std::set<int> skip;
  const int count = p.list.Count();
  if (players::AccountRootCanTellMissing(p.files, root, p.list)) {
    for (int i = 0; i < count; ++i) {
      const players::PlayerRecord& r = *p.list.At(i);
      if (!players::CharacterFileExists(p.files, r.account_folder, r.file_name)) skip.insert(i);
    }
  }
  // ... and new files come in at the end of the list, for this look only.
  std::set<std::string> known;
  for (const players::PlayerRecord& r : p.list.InUse()) {
    known.insert(platform::JoinPath(r.account_folder, r.file_name));
  }
  std::vector<std::string> folders, names;
  players::ListAccountFolders(p.files, root, &folders);
  for (const std::string& folder : folders) {
    if (!players::ListCharacterFiles(p.files, folder, &names)) continue;
    for (const std::string& name : names) {
      const int free = p.list.FindFirstFree();
      if (known.count(platform::JoinPath(folder, name)) != 0 || free == players::kNoPlayer) {
        continue;
      }
      if (p.reader.Read(p.list, free, folder, name) != 1) p.list.At(free)->Clear();
    }
  }
  std::set<int> taken;
  const bool dates = logs::DateOrderCheck(p.logs, p.settings.optRegionalDateSetting) == 1;
  if (dates && p.settings.chkDeleteNonBannedInactivePlayers != 0) {
    const std::vector<PreviewItem> inactive = PreviewCharacters(
        p, PruneKind::kInactive, true, p.settings.vscDaysInactive, skip, &taken);
    items.insert(items.end(), inactive.begin(), inactive.end());
    skip.insert(taken.begin(), taken.end());
  }
  const bool times = logs::TimeFormatCheck(p.logs, p.settings.optRegionalTimeSetting) == 1;
  if (times && p.settings.chkDeleteNonBannedUninterestedPlayers != 0) {
    const std::vector<PreviewItem> uninterested = PreviewCharacters(
        p, PruneKind::kUninterested, true, p.settings.vscMinutesInactive, skip, &taken);
    items.insert(items.end(), uninterested.begin(), uninterested.end());
  }
  if (p.settings.chkDeleteNonBannedEmptyPlayerFolders != 0) {
    std::set<std::string> gone;
    for (const PreviewItem& item : items) {
      gone.insert(platform::JoinPath(item.account_folder, item.file));
    }
    const std::vector<PreviewItem> empty = PreviewEmptyFolders(p, true, gone);
    items.insert(items.end(), empty.begin(), empty.end());
  }
  while (p.list.Count() > count) p.list.Remove(p.list.Count() - 1);
  return items;
}

void RunMaintenanceCycle(const CycleParts& parts) {
  const bool restart = parts.prune.settings.chkRestartQVServer != 0;
  if (restart && !StopServer(parts)) {
    parts.reset_counters();
    parts.prune.status.Set(ui::kGoodToGo);
    return;
  }
  if (restart) {
    // The server is down: nobody is online, whatever the last update of the list said.
    CycleParts stopped = parts;
    stopped.prune.is_online = nullptr;
    CleanUp(stopped);
    if (parts.purge_quarantine) parts.purge_quarantine();
    if (!StartServer(parts)) return;
  } else {
    CleanUp(parts);
    if (parts.purge_quarantine) parts.purge_quarantine();
  }
  parts.prune.status.Set(ui::kGoodToGo);
}

std::string BringForwardQuestion(const std::string& button) {
  const char* when = nullptr;
  if (button == "cmdExecuteAutomatedMaintenance") when = "NOW";
  if (button == "cmdExecuteAutoMaintenanceIn1Minutes") when = "in 1 minute";
  if (button == "cmdExecuteAutoMaintenanceIn5Minutes") when = "in 5 minutes";
  if (button == "cmdExecuteAutoMaintenanceIn10Minutes") when = "in 10 minutes";
  if (when == nullptr) return "";
  return std::string("Preform auto-maintenance ") + when +
         "?  If set, this will shut down QVServer temporarily!";
}

}  // namespace helmsman::maintenance
