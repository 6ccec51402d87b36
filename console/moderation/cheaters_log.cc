#include "console/moderation/cheaters_log.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <unordered_map>
#include <vector>

#include "console/moderation/operator_actions.h"
#include "console/players/player_screen_lists.h"
#include "console/settings/text_lines.h"

namespace helmsman::moderation {

namespace {

constexpr char kByMarker[] = ") by ";
constexpr size_t kTrailingCharacters = 37;
constexpr char kLineEnd[] = "\r\n";
// The names tried for an unreadable aside file: kUnreadableCheatersLogName + ".1" on.
constexpr int kUnreadableNames = 1000;

struct CheatKind {
  int settings::Settings::*enabled;
  const char* marker;
  const char* words;  // "a Ship Related cheat!" ...
};

constexpr CheatKind kKinds[] = {
    {&settings::Settings::chkAutoBanShipRelatedCheaters, "(Ship Related)", "a Ship Related cheat!"},
    {&settings::Settings::chkAutoBanShipCapacityExceededCheats, "(Ship capacity exceeded)",
     "a Ship capacity exceeded cheat!"},
    {&settings::Settings::chkAutoBanEquipmentExceedsShipSpecsCheats,
     "(Equipment exceeds ship specs)", "an Equipment exceeds ship specs cheat!"},
    {&settings::Settings::chkAutoBanShipOrEquipmentNotSoldOnBaseCheats,
     "(Ship or Equipment not sold on base)", "a Ship or Equipment not sold on base cheat!"},
};

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

size_t FindIgnoreCase(const std::string& text, const std::string& wanted) {
  const auto at = std::search(text.begin(), text.end(), wanted.begin(), wanted.end(),
                              [](char a, char b) { return Lower(a) == Lower(b); });
  return at == text.end() ? std::string::npos : static_cast<size_t>(at - text.begin());
}

std::string Quoted(const std::string& line) {
  return line.size() > kQuotedLineLength ? line.substr(0, kQuotedLineLength) + "..." : line;
}

uint64_t Fingerprint(uint64_t hash, std::string_view bytes) {
  for (const char c : bytes) hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211u;
  return hash;
}

// Whether path is a regular file, told without reading from anything else: a named pipe
// opened for reading would wait for a writer, a device might never end. Only a regular
// file has a size; an empty one is read (nothing) by ReadFile, which refuses the others.
bool IsRegularFile(platform::FileSystem& files, const std::string& path, std::string* why) {
  if (files.DirectoryExists(path)) {
    *why = path + " is a folder";
    return false;
  }
  if (files.FileSize(path) > 0) return true;
  std::string nothing;
  return files.ReadFile(path, &nothing, why);
}

}  // namespace

class CheatersLogScan::PieceReader {
 public:
  virtual ~PieceReader() = default;
  // Starts reading path from its beginning. Only a regular file is opened: anything else
  // fails at once. False and *error on failure.
  virtual bool Open(const std::string& path, std::string* error) = 0;
  // Replaces *piece with the next at most max_bytes; an empty piece at the end of the file.
  // False and *error when reading fails.
  virtual bool Read(size_t max_bytes, std::string* piece, std::string* error) = 0;
};

namespace {

// The machine's own files, read straight from the file, a piece at a time.
class DiskPieces : public CheatersLogScan::PieceReader {
 public:
  bool Open(const std::string& path, std::string* error) override {
    in_.close();
    in_.clear();
    path_ = path;
    // The file is looked at first, so that a named pipe is never opened (the open would
    // wait for a writer). Only a pipe swapped in between the look and the open could.
    if (!IsRegularFile(platform::DiskFileSystem(), path, error)) return false;
    errno = 0;
    in_.open(path, std::ios::binary);
    if (!in_.is_open()) {
      *error = "cannot open " + path + (errno != 0 ? ": " + std::string(std::strerror(errno)) : "");
      return false;
    }
    return true;
  }
  bool Read(size_t max_bytes, std::string* piece, std::string* error) override {
    piece->resize(max_bytes);
    in_.read(piece->data(), static_cast<std::streamsize>(max_bytes));
    if (in_.bad()) {
      *error = "cannot read " + path_;
      piece->clear();
      return false;
    }
    piece->resize(static_cast<size_t>(in_.gcount()));
    return true;
  }

 private:
  std::ifstream in_;
  std::string path_;
};

// Any other file system (a test's, held in memory): read whole through its ReadFile and
// handed out in pieces.
class WholeFilePieces : public CheatersLogScan::PieceReader {
 public:
  explicit WholeFilePieces(platform::FileSystem& files) : files_(files) {}
  bool Open(const std::string& path, std::string* error) override {
    at_ = 0;
    return files_.ReadFile(path, &data_, error);
  }
  bool Read(size_t max_bytes, std::string* piece, std::string*) override {
    *piece = data_.substr(at_, max_bytes);
    at_ += piece->size();
    return true;
  }

 private:
  platform::FileSystem& files_;
  std::string data_;
  size_t at_ = 0;
};

}  // namespace

struct CheatersLogScan::Paths {
  std::string folder, input, aside, cumulative;
};

void LogLines::Take(std::string_view piece, std::string* moved, std::vector<Line>* lines) {
  size_t at = 0;
  while (at < piece.size()) {
    const size_t end = settings::FindLineEnd(piece, at);
    if (end == std::string_view::npos) {
      Extend(piece.substr(at), moved);
      return;
    }
    Extend(piece.substr(at, end - at), moved);
    EndLine(moved, lines);
    // The LF of a CR LF ends an empty line, which is dropped: a CR LF cut between two
    // pieces is one line end as well.
    at = end + 1;
  }
}

void LogLines::Finish(std::string* moved, std::vector<Line>* lines) { EndLine(moved, lines); }

void LogLines::Extend(std::string_view bytes, std::string* moved) {
  if (overlong_) {
    moved->append(bytes);
    return;
  }
  held_.append(bytes);
  if (held_.size() <= kMaxHeldLineBytes) return;
  overlong_ = true;
  quote_ = held_.substr(0, kQuotedLineLength + 1);
  moved->append(held_);
  held_.clear();
  held_.shrink_to_fit();
}

void LogLines::EndLine(std::string* moved, std::vector<Line>* lines) {
  if (overlong_) {
    moved->append(kLineEnd);
    lines->push_back({std::move(quote_), true});
    quote_.clear();
    overlong_ = false;
  } else if (!held_.empty()) {
    moved->append(held_).append(kLineEnd);
    lines->push_back({std::move(held_), false});
    held_.clear();
  }
}

// The first record of each name, for one scan; checked at each use, since a command lets
// the operator's events run and they may remove records.
class CheatersLogScan::NameIndex {
 public:
  explicit NameIndex(players::PlayerList& players) : players_(players) { Build(); }
  void Build() {
    first_.clear();
    const std::span<const players::PlayerRecord> in_use = players_.InUse();
    for (size_t i = 0; i < in_use.size(); ++i)
      first_.try_emplace(in_use[i].name, static_cast<int>(i));
  }
  int Find(const std::string& name) {
    auto it = first_.find(name);
    if (it != first_.end()) {
      const players::PlayerRecord* record = players_.At(it->second);
      if (record != nullptr && record->name == name) return it->second;
    }
    // Not there, or the records moved: the walk decides, and the index follows it.
    const int index = players_.FindByName(name);
    if (index != players::kNoPlayer && (it == first_.end() || it->second != index)) Build();
    return index;
  }

 private:
  players::PlayerList& players_;
  std::unordered_map<std::string, int> first_;
};

CheatersLogScan::CheatersLogScan(CheatersLogParts parts) : parts_(std::move(parts)) {
  if (&parts_.files == &platform::DiskFileSystem()) {
    reader_ = std::make_unique<DiskPieces>();
  } else {
    reader_ = std::make_unique<WholeFilePieces>(parts_.files);
  }
}
CheatersLogScan::~CheatersLogScan() = default;

std::optional<std::string> CheaterName(const std::string& line) {
  const size_t by = FindIgnoreCase(line, kByMarker);
  if (by == std::string::npos) return std::nullopt;
  const size_t start = by + sizeof kByMarker - 1;
  if (line.size() < start + kTrailingCharacters + 1) return std::nullopt;
  const size_t length = line.size() - start - kTrailingCharacters;
  if (length > kMaxCheaterNameLength) return std::nullopt;
  return line.substr(start, length);
}

std::string ConfigurationFolder(const std::string& cfg_path) {
  const std::string wanted = std::string(1, platform::kPathSeparator) + "qvserver.cfg";
  const size_t at = FindIgnoreCase(cfg_path, wanted);
  return at == std::string::npos ? "" : cfg_path.substr(0, at + 1);
}

void CheatersLogScan::ReportOnce(const std::string& message) {
  if (reported_.insert(message).second) parts_.logs.Append(logs::LogId::kHelmError, message);
}

void CheatersLogScan::Run() {
  const std::string folder = ConfigurationFolder(parts_.settings.txtQVServercfgPath);
  if (folder.empty()) return;
  const Paths paths{folder, folder + kCheatersLogName, folder + kCheatersLogAsideName,
                    folder + kCumulativeCheatersLogName};
  refreshed_ = false;
  damaged_ = missing_ = 0;
  damaged_quotes_.clear();
  banned_.clear();
  index_.reset();
  const bool left_aside =
      parts_.files.FileExists(paths.aside) || parts_.files.DirectoryExists(paths.aside);
  if (!left_aside) progress_.reset();
  // An aside file left behind first; the log is taken aside only once that one is gone.
  if ((!left_aside || ScanAside(paths)) && TakeAside(paths)) ScanAside(paths);
  ReportSummary();
}

bool CheatersLogScan::TakeAside(const Paths& paths) {
  if (!parts_.files.FileExists(paths.input) && !parts_.files.DirectoryExists(paths.input)) {
    return false;
  }
  std::string error;
  if (!IsRegularFile(parts_.files, paths.input, &error)) {
    ReportOnce(": " + paths.input + " cannot be scanned (" + error +
               "); it is left where it is, and the scans go on once a regular file is there");
    return false;
  }
  if (parts_.files.RenameFile(paths.input, paths.aside, &error)) return true;
  ReportOnce(": " + paths.input + " cannot be moved aside to be scanned (" + error +
             "); the cheaters log is not scanned until it can be");
  return false;
}

bool CheatersLogScan::MoveAway(const Paths& paths, const std::string& why) {
  progress_.reset();
  for (int n = 1; n <= kUnreadableNames; ++n) {
    const std::string target = paths.folder + kUnreadableCheatersLogName + "." + std::to_string(n);
    if (parts_.files.FileExists(target) || parts_.files.DirectoryExists(target)) continue;
    std::string error;
    if (!parts_.files.RenameFile(paths.aside, target, &error)) break;
    parts_.logs.Append(logs::LogId::kHelmError, ": " + paths.aside + " cannot be read (" + why +
                                                    "); it is moved to " + target +
                                                    " and the scans go on without it");
    return true;
  }
  ReportOnce(": " + paths.aside + " cannot be read (" + why +
             ") nor moved out of the way; the cheaters log is not scanned until it can be");
  return false;
}

bool CheatersLogScan::Resume(const Progress& saved) {
  Progress read;
  std::string piece, error;
  while (read.offset < saved.offset) {
    const size_t left = static_cast<size_t>(saved.offset - read.offset);
    if (!reader_->Read(std::min(parts_.piece_bytes, left), &piece, &error) || piece.empty()) {
      return false;
    }
    read.offset += static_cast<int64_t>(piece.size());
    read.fingerprint = Fingerprint(read.fingerprint, piece);
  }
  return read.fingerprint == saved.fingerprint;
}

bool CheatersLogScan::ScanAside(const Paths& paths) {
  std::string error;
  if (!reader_->Open(paths.aside, &error)) return MoveAway(paths, error);
  Progress progress;
  if (progress_) {
    // The file stayed after a scan stopped in it: what was handled then is not again.
    if (Resume(*progress_)) {
      progress = *progress_;
    } else if (!reader_->Open(paths.aside, &error)) {
      return MoveAway(paths, error);
    }
    progress_.reset();
  }
  parts_.status.Set("Parsing cheaters.log looking for players to auto-ban (as configured)...");
  std::string piece, moved;
  std::vector<LogLines::Line> lines;
  do {
    if (!reader_->Read(parts_.piece_bytes, &piece, &error)) {
      parts_.status.Set(ui::kGoodToGo);
      return MoveAway(paths, error);
    }
    Progress before = progress;
    moved.clear();
    lines.clear();
    if (piece.empty()) {
      progress.lines.Finish(&moved, &lines);
    } else {
      progress.lines.Take(piece, &moved, &lines);
    }
    if (!moved.empty() && !parts_.files.AppendFile(paths.cumulative, moved, &error)) {
      parts_.status.Set(ui::kGoodToGo);
      progress_ = std::move(before);
      ReportOnce(": " + paths.cumulative + " cannot be written (" + error + "); " + paths.aside +
                 " is kept for the next scan");
      return false;
    }
    progress.offset += static_cast<int64_t>(piece.size());
    progress.fingerprint = Fingerprint(progress.fingerprint, piece);
    for (const LogLines::Line& line : lines) HandleLine(line);
  } while (!piece.empty());
  parts_.status.Set(ui::kGoodToGo);
  if (!parts_.files.RemoveFile(paths.aside)) {
    progress_ = std::move(progress);
    ReportOnce(": " + paths.aside + " cannot be deleted; its lines have been handled");
    return false;
  }
  reported_.clear();
  return true;
}

void CheatersLogScan::ReportSummary() {
  if (damaged_ == 1) {
    parts_.logs.Append(logs::LogId::kHelmError,
                       ": A cheaters.log line names no character: [" + damaged_quotes_[0] + "]");
  } else if (damaged_ > 1) {
    std::string message = ": " + std::to_string(damaged_) + " cheaters.log lines name no character";
    if (damaged_ > kQuotedDamagedLines) {
      message += "; the first " + std::to_string(kQuotedDamagedLines);
    }
    for (size_t i = 0; i < damaged_quotes_.size(); ++i) {
      message += (i == 0 ? ": [" : ", [") + damaged_quotes_[i] + "]";
    }
    parts_.logs.Append(logs::LogId::kHelmError, message);
  }
  if (missing_ > kMaxMissingPlayersListed) {
    parts_.logs.Append(logs::LogId::kServerActivity,
                       ": " + std::to_string(missing_ - kMaxMissingPlayersListed) +
                           " more players listed in the cheaters.log file no longer exist in "
                           "the database to be banned.");
  }
}

int CheatersLogScan::Find(const std::string& name) {
  if (!index_) index_ = std::make_unique<NameIndex>(parts_.players);
  return index_->Find(name);
}

bool CheatersLogScan::Banned(const std::string& account_folder) {
  auto it = banned_.find(account_folder);
  if (it != banned_.end()) return it->second;
  const bool banned = players::IsBannedAccount(parts_.files, account_folder);
  banned_.emplace(account_folder, banned);
  return banned;
}

void CheatersLogScan::CountDamaged(const std::string& line) {
  ++damaged_;
  if (damaged_quotes_.size() < static_cast<size_t>(kQuotedDamagedLines)) {
    damaged_quotes_.push_back(Quoted(line));
  }
}

void CheatersLogScan::HandleLine(const LogLines::Line& line) {
  const std::optional<std::string> found_name =
      line.overlong ? std::nullopt : CheaterName(line.text);
  if (!found_name) {
    CountDamaged(line.text);
    return;
  }
  const std::string& name = *found_name;
  int index = Find(name);
  if (index == players::kNoPlayer && !refreshed_) {
    refreshed_ = true;
    parts_.refresh_player_list();
    index_.reset();
    index = Find(name);
  }
  const players::PlayerRecord* record = parts_.players.At(index);
  if (record == nullptr) {
    if (++missing_ <= kMaxMissingPlayersListed) {
      parts_.logs.Append(logs::LogId::kServerActivity,
                         ": Player " + name +
                             " is listed in the cheaters.log file, but no longer exists in the "
                             "database to be banned.");
    }
    return;
  }
  const std::string account = record->account_folder;
  if (Banned(account)) return;
  const CheatKind* kind = nullptr;
  for (const CheatKind& candidate : kKinds) {
    if (parts_.settings.*candidate.enabled != 0 &&
        FindIgnoreCase(line.text, candidate.marker) != std::string::npos) {
      kind = &candidate;
      break;
    }
  }
  if (kind == nullptr) return;
  const std::string words = kind->words;
  parts_.status.Set("CHEATERS.LOG: " + name + " is being auto-banned for " + words);
  const std::string announcement =
      "KALDERON AutoBan - Player " + name + " automatically banned for " + words;
  std::string message = "message " + announcement;
  std::replace(message.begin(), message.end(), '|', '/');
  const server::CommandResult notice = parts_.channel.Run(message, server::kTrackingReplySize);
  if (notice.went_through()) {
    if (notice.successful) parts_.status.Set("Message sent successfully");
    parts_.logs.Append(logs::LogId::kServerActivity,
                       ": Message [" + announcement + "] broadcast to universe");
  }
  if (!parts_.channel.Run("ban " + name, server::kTrackingReplySize).successful) return;
  parts_.logs.Append(logs::LogId::kServerActivity, ": Player " + name + " autobanned for " + words);
  const std::string reason = "Autobanned by KALDERON for " + words;
  JournalAction(parts_.journal, "autoban", "rule:cheaters log", account, name,
                {{"cheat", kind->marker}, {"evidence", line.text}, {"reason", reason}});
  if (players::PlayerRecord* banned = parts_.players.At(Find(name))) banned->ban_reason = reason;
  banned_[account] = true;
}

}  // namespace helmsman::moderation
