#include "console/maintenance/bulk_removal.h"

#include <unordered_map>

#include "console/players/player_file_reader.h"
#include "console/players/player_generation.h"
#include "console/settings/text_lines.h"

namespace helmsman::maintenance {

namespace {

// For each removed record (by position in `removed`), its entry.
std::vector<std::string> Entries(players::PlayerList& list, const std::vector<int>& removed,
                                 const std::string& now) {
  // The indices of each account's records, in list order, and whether each is removed.
  std::unordered_map<std::string, std::vector<int>> accounts;
  const int count = list.Count();
  for (int i = 0; i < count; ++i) accounts[list.At(i)->account_folder].push_back(i);
  std::vector<char> gone(static_cast<size_t>(count), 0);
  std::vector<std::string> entries;
  entries.reserve(removed.size());
  for (int index : removed) {
    const players::PlayerRecord& record = *list.At(index);
    std::string entry =
        "Player " + record.name + " is being removed from the playerlist at " + now + "\r\n";
    entry += "The player's folder is " + record.account_folder + "\r\n";
    entry += "Other characters on this account are: \r\n";
    for (int other : accounts[record.account_folder]) {
      if (!gone[static_cast<size_t>(other)]) entry += list.At(other)->name + "\r\n";
    }
    entry += "\r\n";
    gone[static_cast<size_t>(index)] = 1;
    entries.push_back(std::move(entry));
  }
  return entries;
}

void CloseGaps(players::PlayerList& list, const std::vector<int>& removed) {
  const int count = list.Count();
  size_t next_removed = 0;
  int kept = 0;
  for (int i = 0; i < count; ++i) {
    if (next_removed < removed.size() && removed[next_removed] == i) {
      ++next_removed;
      continue;
    }
    if (kept != i) *list.At(kept) = std::move(*list.At(i));
    ++kept;
  }
  for (int i = kept; i < count; ++i) *list.At(i) = players::PlayerRecord{};
}

}  // namespace

int RemoveRecordsInBulk(players::PlayerList& list, const std::vector<int>& indices,
                        platform::FileSystem& files, const std::string& program_folder,
                        logs::Logs& logs) {
  const int count = list.Count();
  std::vector<int> removed;
  removed.reserve(indices.size());
  for (int index : indices) {
    if (index < 0 || index >= count) continue;
    if (!removed.empty() && index <= removed.back()) continue;
    removed.push_back(index);
  }
  if (removed.empty()) return 0;
  const std::vector<std::string> entries = Entries(list, removed, players::NowText(logs));

  const std::string log_path = platform::JoinPath(program_folder, players::kRemovalLogFileName);
  size_t size = 0;
  for (const std::string& entry : entries) size += entry.size();
  std::string old_log, error;
  if (files.FileExists(log_path)) files.ReadFile(log_path, &old_log, &error);
  std::string text;
  text.reserve(size + old_log.size() + old_log.size() / 16);
  // Newest on top. Every rewrite one by one puts the old log below line by line, each line
  // ended in CR LF; the entries already end their lines so, so splitting once is the same.
  for (auto entry = entries.rbegin(); entry != entries.rend(); ++entry) {
    if (entry == entries.rbegin()) {
      text += *entry;
      continue;
    }
    for (const std::string& line : settings::SplitLines(*entry)) text += line + "\r\n";
  }
  for (const std::string& line : settings::SplitLines(old_log)) text += line + "\r\n";
  // A durable write: its temporary file is made exclusively under a name nobody can plant
  // a link at, and renamed over the log.
  const bool written = error.empty() && files.WriteFileDurably(log_path, text, &error);
  if (!written) {
    for (int index : removed) {
      logs.Append(logs::LogId::kHelmError, ": Could not write the removal log " +
                                               std::string(players::kRemovalLogFileName) + " (" +
                                               error + "), player " + list.At(index)->name +
                                               " was removed from the list without its entry");
    }
  }
  CloseGaps(list, removed);
  return static_cast<int>(removed.size());
}

}  // namespace helmsman::maintenance
