#include "console/safety/quarantine.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "console/safety/journal.h"
#include "platform/hash.h"

namespace helmsman::safety {

namespace {

using logs::LogId;

constexpr char kHeadAction[] = "quarantine";
constexpr char kFileAction[] = "file";
constexpr char kEndAction[] = "end";

std::string Number(int64_t n) { return std::to_string(n); }

std::optional<int64_t> ReadInteger(const std::string& text) {
  int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc() || end != text.data() + text.size() || value < 0) return std::nullopt;
  return value;
}

// Days since 1970-01-01 of a local date.
int64_t DayNumber(int year, int month, int day) {
  return platform::SecondsFromCivil(platform::CivilTime{year, month, day}) / 86400;
}

// The day of an entry from its id "YYYYMMDD-...", nullopt for a folder that is not an entry.
std::optional<int64_t> EntryDay(const std::string& id) {
  if (id.size() < 9 || id[8] != '-') return std::nullopt;
  for (int i = 0; i < 8; ++i) {
    if (id[static_cast<size_t>(i)] < '0' || id[static_cast<size_t>(i)] > '9') return std::nullopt;
  }
  const int y = std::stoi(id.substr(0, 4)), m = std::stoi(id.substr(4, 2)),
            d = std::stoi(id.substr(6, 2));
  if (m < 1 || m > 12 || d < 1 || d > 31) return std::nullopt;
  return DayNumber(y, m, d);
}

JournalEntry FileLine(const QuarantinedFile& file) {
  return JournalEntry{"-",
                      kFileAction,
                      "",
                      file.account,
                      "",
                      {{"name", file.name},
                       {"original", file.original},
                       {"size", Number(file.size)},
                       {"sha256", file.sha256},
                       {"record", file.record}}};
}

}  // namespace

std::string QuarantineRoot(const std::string& account_root, const std::string& program_folder) {
  const std::string parent = platform::DirName(account_root);
  if (parent.empty() || parent == account_root) {
    return platform::JoinPath(program_folder, kQuarantineFolderName);
  }
  return platform::JoinPath(parent, kQuarantineFolderName);
}

Quarantine::Quarantine(platform::FileSystem& files, std::string root, logs::Logs& logs)
    : files_(files), root_(std::move(root)), logs_(logs) {}

bool Quarantine::AppendManifest(const std::string& line, bool durably) {
  std::string error;
  const std::string path = platform::JoinPath(platform::JoinPath(root_, open_), kManifestName);
  if (durably ? files_.AppendFileDurably(path, line, &error) : files_.AppendFile(path, line, &error)) {
    return true;
  }
  logs_.Append(LogId::kHelmError, ": The quarantine's manifest " + path +
                                      " could not be written (" + error + ")");
  return false;
}

bool Quarantine::Begin(const std::string& action, const std::string& rule,
                       const std::string& limit, const std::string& actor) {
  End();
  const platform::CivilTime now = logs_.clock().NowLocal();
  if (!files_.DirectoryExists(root_) && !files_.MakeDirectory(root_)) {
    logs_.Append(LogId::kHelmError, ": The quarantine folder " + root_ +
                                        " could not be made; nothing was removed");
    return false;
  }
  char stamp_text[32];
  std::snprintf(stamp_text, sizeof stamp_text, "%04d%02d%02d-%02d%02d%02d", now.year, now.month,
                now.day, now.hour, now.minute, now.second);
  // A clock moved back would name the new entry before older ones, and "the last entry"
  // would be another: the new one takes the newest name's stamp instead (its head keeps the
  // clock's time).
  std::string stamp = stamp_text;
  std::vector<platform::DirEntry> found;
  files_.ListDirectory(root_, &found);
  for (const platform::DirEntry& item : found) {
    if (EntryDay(item.name) && item.name.size() > 15 && item.name.substr(0, 15) > stamp) {
      stamp = item.name.substr(0, 15);
    }
  }
  for (int n = 1; n < 1000 && open_.empty(); ++n) {
    const std::string id = stamp + "-" + Number(n);
    const std::string folder = platform::JoinPath(root_, id);
    if (files_.DirectoryExists(folder) || files_.IsLink(folder) || files_.FileExists(folder)) {
      continue;
    }
    if (files_.MakeDirectory(folder)) open_ = id;
  }
  if (open_.empty()) {
    logs_.Append(LogId::kHelmError, ": No quarantine entry could be made in " + root_ +
                                        "; nothing was removed");
    return false;
  }
  taken_ = 0;
  const JournalEntry head{JournalTime(now), kHeadAction, actor, "", "",
                          {{"action", action}, {"rule", rule}, {"limit", limit}}};
  if (!AppendManifest(JournalLine(head), true) || !files_.FlushFolder(root_, nullptr)) {
    RemoveEntry(open_);
    open_.clear();
    return false;
  }
  return true;
}

bool Quarantine::Take(const std::string& account_folder, const std::string& name,
                      const std::string& record, std::string* where) {
  if (open_.empty()) return false;
  const std::string account = platform::BaseName(account_folder);
  const std::string entry_folder = platform::JoinPath(root_, open_);
  const std::string holder = platform::JoinPath(entry_folder, account);
  std::string error;
  if (!files_.DirectoryExists(holder) && !files_.MakeDirectory(holder)) {
    error = "cannot make " + holder;
  } else if (files_.MoveFileBetweenFolders(account_folder, name, holder, name, &error,
                                             platform::FileSystem::MoveFlush::kByCaller)) {
    QuarantinedFile file{account, name, platform::JoinPath(account_folder, name), 0, "", record};
    std::string data;
    const std::string moved = platform::JoinPath(holder, name);
    if (files_.ReadFile(moved, &data, nullptr)) {
      file.size = static_cast<int64_t>(data.size());
      file.sha256 = platform::Sha256Hex(data);
    }
    // A manifest line that cannot be written would leave the file where nobody looks for
    // it: it goes back at once.
    // Written, not yet flushed: End flushes the manifest and the folders once for the whole
    // action (a flush per file would make a prune of thousands take minutes).
    if (AppendManifest(JournalLine(FileLine(file)), false)) {
      ++taken_;
      touched_.insert(account_folder);
      touched_.insert(holder);
      if (where != nullptr) *where = moved;
      return true;
    }
    std::string back_error;
    if (!files_.MoveFileBetweenFolders(holder, name, account_folder, name, &back_error,
                                       platform::FileSystem::MoveFlush::kNow)) {
      logs_.Append(LogId::kHelmError, ": " + moved + " could not be put back to " +
                                          account_folder + " (" + back_error + ")");
    }
    error = "its manifest line could not be written";
  }
  logs_.Append(LogId::kHelmError, ": " + platform::JoinPath(account_folder, name) +
                                      " was not moved to the quarantine (" + error +
                                      ") and stays where it is");
  return false;
}

void Quarantine::End() {
  if (open_.empty()) return;
  if (taken_ == 0) {
    RemoveEntry(open_);
  } else {
    // The end line flushes every line before it; then the moves are flushed, folder by folder.
    AppendManifest(
        JournalLine(JournalEntry{"-", kEndAction, "", "", "", {{"files", Number(taken_)}}}),
        true);
    touched_.insert(platform::JoinPath(root_, open_));
    // A few folders are flushed one by one; the thousands of a large prune in one step for
    // each file system (the account root's and the quarantine's, which are mostly one).
    std::vector<std::string> flush(touched_.begin(), touched_.end());
    const bool whole = flush.size() > kFoldersFlushedOneByOne;
    if (whole) flush = {root_, *touched_.begin()};
    for (const std::string& folder : flush) {
      std::string error;
      if (!(whole ? files_.FlushFileSystem(folder, &error) : files_.FlushFolder(folder, &error))) {
        logs_.Append(LogId::kHelmError, ": The quarantine could not flush " + folder + " (" +
                                            error + ")");
      }
    }
  }
  open_.clear();
  taken_ = 0;
  touched_.clear();
}

QuarantineEntry Quarantine::ReadEntry(const std::string& id) {
  QuarantineEntry entry;
  entry.id = id;
  std::string text;
  const std::string path = platform::JoinPath(platform::JoinPath(root_, id), kManifestName);
  if (files_.IsLink(path) || !files_.ReadFile(path, &text, nullptr)) return entry;
  bool head = false, end = false, sound = true;
  size_t at = 0;
  while (at < text.size() && sound) {
    size_t line_end = text.find('\n', at);
    if (line_end == std::string::npos) line_end = text.size();
    const std::optional<JournalEntry> line =
        ParseJournalLine(std::string_view(text).substr(at, line_end - at));
    at = line_end + 1;
    if (!line || end) {
      sound = false;
    } else if (!head) {
      sound = line->action == kHeadAction;
      head = true;
      entry.time = line->time;
      entry.actor = line->actor;
      entry.action = line->Detail("action");
      entry.rule = line->Detail("rule");
      entry.limit = line->Detail("limit");
    } else if (line->action == kFileAction) {
      const std::optional<int64_t> size = ReadInteger(line->Detail("size"));
      QuarantinedFile file{line->account, line->Detail("name"), line->Detail("original"),
                           size.value_or(0), line->Detail("sha256"), line->Detail("record")};
      sound = size.has_value() && !file.account.empty() && !file.name.empty() &&
              file.sha256.size() == 64;
      entry.files.push_back(std::move(file));
    } else if (line->action == kEndAction) {
      end = true;
      sound = line->Detail("files") == Number(static_cast<int64_t>(entry.files.size()));
    } else {
      sound = false;
    }
  }
  entry.readable = sound && head && end;
  return entry;
}

std::vector<QuarantineEntry> Quarantine::List() {
  std::vector<platform::DirEntry> found;
  std::vector<QuarantineEntry> entries;
  if (!files_.ListDirectory(root_, &found)) return entries;
  for (const platform::DirEntry& item : found) {
    if (!item.is_directory || item.is_link || !EntryDay(item.name) || item.name == open_) continue;
    entries.push_back(ReadEntry(item.name));
  }
  return entries;  // the names sort by time
}

bool Quarantine::WriteManifest(const QuarantineEntry& entry,
                               const std::vector<QuarantinedFile>& files) {
  std::string text = JournalLine(JournalEntry{
      entry.time, kHeadAction, entry.actor, "", "",
      {{"action", entry.action}, {"rule", entry.rule}, {"limit", entry.limit}}});
  for (const QuarantinedFile& file : files) text += JournalLine(FileLine(file));
  text += JournalLine(JournalEntry{"-", kEndAction, "", "", "",
                                   {{"files", Number(static_cast<int64_t>(files.size()))}}});
  std::string error;
  return files_.WriteFileDurably(
      platform::JoinPath(platform::JoinPath(root_, entry.id), kManifestName), text, &error);
}

RestoreReport Quarantine::Restore(
    const std::string& id, const std::string& only_account, const std::string& account_root,
    const std::function<std::string(const QuarantinedFile&)>& refuse) {
  RestoreReport report;
  const QuarantineEntry entry = ReadEntry(id);
  if (!EntryDay(id) || !entry.readable) {
    report.problems.push_back("quarantine entry " + id +
                              " has no whole manifest: nothing was restored from it");
    return report;
  }
  const std::string entry_folder = platform::JoinPath(root_, id);
  std::vector<QuarantinedFile> kept;
  for (const QuarantinedFile& file : entry.files) {
    if (!only_account.empty() && file.account != only_account) {
      kept.push_back(file);
      continue;
    }
    const std::string holder = platform::JoinPath(entry_folder, file.account);
    const std::string held = platform::JoinPath(holder, file.name);
    const std::string target_folder = platform::JoinPath(account_root, file.account);
    std::string data, error;
    if (files_.IsLink(held) || !files_.ReadFile(held, &data, nullptr)) {
      report.problems.push_back(held + " is no longer in the quarantine");
      continue;  // gone by hand: nothing to keep
    }
    if (platform::Sha256Hex(data) != file.sha256) {
      report.problems.push_back(held + " differs from its manifest and stays in the quarantine");
      kept.push_back(file);
      continue;
    }
    if (const std::string why = refuse ? refuse(file) : ""; !why.empty()) {
      report.problems.push_back(held + " stays in the quarantine: " + why);
      kept.push_back(file);
      continue;
    }
    if (!files_.DirectoryExists(target_folder) && !files_.IsLink(target_folder)) {
      files_.MakeDirectory(target_folder);
    }
    if (!files_.MoveFileBetweenFolders(holder, file.name, target_folder, file.name, &error,
                                       platform::FileSystem::MoveFlush::kNow)) {
      report.problems.push_back(platform::JoinPath(target_folder, file.name) +
                                " was not restored (" + error + ")");
      kept.push_back(file);
      continue;
    }
    report.restored.push_back(file);
  }
  if (kept.empty()) {
    RemoveEntry(id);
  } else if (kept.size() != entry.files.size() && !WriteManifest(entry, kept)) {
    report.problems.push_back("the manifest of " + id + " could not be rewritten");
  }
  return report;
}

bool Quarantine::RemoveEntry(const std::string& id) {
  const std::string folder = platform::JoinPath(root_, id);
  std::vector<platform::DirEntry> items;
  if (files_.IsLink(folder) || !files_.ListDirectory(folder, &items)) return false;
  bool ok = true;
  for (const platform::DirEntry& item : items) {
    std::string error;
    if (item.is_directory && !item.is_link) {
      const std::string holder = platform::JoinPath(folder, item.name);
      std::vector<platform::DirEntry> held;
      if (files_.ListDirectory(holder, &held)) {
        for (const platform::DirEntry& file : held) {
          ok = files_.RemoveFileInFolder(holder, file.name, &error) && ok;
        }
      }
      ok = files_.RemoveEmptyDirectory(holder) && ok;
    } else {
      ok = files_.RemoveFileInFolder(folder, item.name, &error) && ok;
    }
  }
  return files_.RemoveEmptyDirectory(folder) && ok;
}

std::vector<std::string> Quarantine::Purge(int days, const platform::CivilTime& now) {
  std::vector<std::string> purged;
  const int64_t today = DayNumber(now.year, now.month, now.day);
  for (const QuarantineEntry& entry : List()) {
    const std::optional<int64_t> day = EntryDay(entry.id);
    if (!day || today - *day <= days) continue;
    if (RemoveEntry(entry.id)) {
      purged.push_back(entry.id);
    } else {
      logs_.Append(LogId::kHelmError,
                   ": The quarantine entry " + platform::JoinPath(root_, entry.id) +
                       " could not be removed whole");
    }
  }
  return purged;
}

}  // namespace helmsman::safety
