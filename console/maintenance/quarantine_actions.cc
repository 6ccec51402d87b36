#include "console/maintenance/quarantine_actions.h"

#include "console/players/player_list_file.h"

namespace helmsman::maintenance {

namespace {

using logs::LogId;

std::string N(int64_t value) { return std::to_string(value); }

// The index of the record of a character file, or kNoPlayer.
int FindByFile(const players::PlayerList& list, const std::string& path) {
  const int count = list.Count();
  for (int i = 0; i < count; ++i) {
    const players::PlayerRecord& r = *list.At(i);
    if (platform::JoinPath(r.account_folder, r.file_name) == path) return i;
  }
  return players::kNoPlayer;
}

void CopyBanData(const players::PlayerRecord& from, players::PlayerRecord* to) {
  to->ban_until_hour = from.ban_until_hour;
  to->ban_until_month = from.ban_until_month;
  to->ban_until_day = from.ban_until_day;
  to->ban_until_year = from.ban_until_year;
  to->ban_reason = from.ban_reason;
  to->first_seen = from.first_seen;
}

}  // namespace

RestoreOutcome RestoreFromQuarantine(const QuarantineParts& q, const std::string& entry,
                                     const std::string& only_account) {
  RestoreOutcome outcome;
  const std::vector<safety::QuarantineEntry> entries = q.quarantine.List();
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    if (entry == kLastEntry ? it->readable : it->id == entry) {
      outcome.entry = it->id;
      outcome.found = true;
      break;
    }
  }
  if (!outcome.found) return outcome;
  // A character of the same name in the list again (a new one, made since) is not put
  // beside it: the server would hold two of one name.
  auto refuse = [&](const safety::QuarantinedFile& file) -> std::string {
    players::PlayerRecord record;
    if (file.record.empty() || !players::DecodePlayerRecord(file.record, &record)) return "";
    const int same = q.list.FindByName(record.name);
    if (same == players::kNoPlayer) return "";
    const players::PlayerRecord& there = *q.list.At(same);
    const std::string path = platform::JoinPath(there.account_folder, there.file_name);
    if (path == platform::JoinPath(platform::JoinPath(q.account_root, file.account), file.name)) {
      return "";  // its own record, still in the list
    }
    return "a character named " + record.name + " is in the player list again (" + path + ")";
  };
  outcome.report = q.quarantine.Restore(outcome.entry, only_account, q.account_root, refuse);
  for (const safety::QuarantinedFile& file : outcome.report.restored) {
    const std::string folder = platform::JoinPath(q.account_root, file.account);
    players::PlayerRecord record;
    std::string character;
    if (!file.record.empty() && players::DecodePlayerRecord(file.record, &record)) {
      character = record.name;
      const std::string path = platform::JoinPath(folder, file.name);
      int index = FindByFile(q.list, path);
      if (index != players::kNoPlayer) {
        CopyBanData(record, q.list.At(index));
      } else {
        record.account_folder = folder;
        record.file_name = file.name;
        index = q.list.Add(record);
        // Read again from the file, as a refresh reads a new one; the ban data stay.
        if (index != players::kNoPlayer && q.reader.Read(q.list, index, folder, file.name) != 1) {
          q.logs.Append(LogId::kHelmError, ": The restored character file " + path +
                                               " could not be read; its record is as it was "
                                               "kept");
        }
      }
      if (index != players::kNoPlayer) ++outcome.records;
    }
    if (q.journal != nullptr) {
      q.journal->Append(safety::JournalEntry{"", "restore", q.actor, file.account, character,
                                             {{"file", file.name},
                                              {"entry", outcome.entry},
                                              {"to", platform::JoinPath(folder, file.name)}}});
    }
  }
  q.logs.Append(LogId::kServerActivity,
                ": Helmsman restored " + N(static_cast<int64_t>(outcome.report.restored.size())) +
                    " files from the quarantine entry " + outcome.entry +
                    (only_account.empty() ? "" : " (account " + only_account + ")"));
  for (const std::string& problem : outcome.report.problems) {
    q.logs.Append(LogId::kHelmError, ": Restore: " + problem);
  }
  if (outcome.records > 0 && q.fill_screen_lists) q.fill_screen_lists();
  return outcome;
}

std::vector<std::string> PurgeQuarantine(const QuarantineParts& q, int days,
                                         const std::string& line_prefix) {
  const std::vector<std::string> purged = q.quarantine.Purge(days, q.logs.clock().NowLocal());
  if (purged.empty()) return purged;
  std::string ids;
  for (const std::string& id : purged) ids += (ids.empty() ? "" : ", ") + id;
  q.logs.Append(LogId::kServerActivity,
                line_prefix + "Purged " + N(static_cast<int64_t>(purged.size())) +
                    " quarantine entries older than " + N(days) + " days: " + ids);
  if (q.journal != nullptr) {
    q.journal->Append(safety::JournalEntry{
        "", "quarantine-purge", q.actor, "", "",
        {{"entries", ids}, {"older than", N(days) + " days"}}});
  }
  return purged;
}

}  // namespace helmsman::maintenance
