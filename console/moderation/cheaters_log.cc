#include "console/moderation/cheaters_log.h"

#include <algorithm>
#include <unordered_map>
#include <vector>

#include "console/players/player_screen_lists.h"
#include "console/settings/text_lines.h"

namespace helmsman::moderation {

namespace {

constexpr char kByMarker[] = ") by ";
constexpr size_t kTrailingCharacters = 37;
constexpr size_t kQuotedLineLength = 200;

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

}  // namespace

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

CheatersLogScan::CheatersLogScan(CheatersLogParts parts) : parts_(std::move(parts)) {}
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
  if (reported_) return;
  reported_ = true;
  parts_.logs.Append(logs::LogId::kHelmError, message);
}

bool CheatersLogScan::TakeAside(const std::string& input, const std::string& aside) {
  std::string error;
  if (parts_.files.RenameFile(input, aside, &error)) return true;
  ReportOnce(": " + input + " cannot be moved aside to be scanned (" + error +
             "); the cheaters log is not scanned until it can be");
  return false;
}

void CheatersLogScan::Run() {
  const std::string folder = ConfigurationFolder(parts_.settings.txtQVServercfgPath);
  if (folder.empty()) return;
  const std::string input = folder + kCheatersLogName;
  const std::string aside = folder + kCheatersLogAsideName;
  const std::string cumulative = folder + kCumulativeCheatersLogName;
  if (!parts_.files.FileExists(aside)) {
    if (!parts_.files.FileExists(input) || !TakeAside(input, aside)) return;
  }
  std::string data, error;
  if (!parts_.files.ReadFile(aside, &data, &error)) {
    ReportOnce(": " + aside + " cannot be read (" + error + "); it is kept for the next scan");
    return;
  }
  // Handled already; only its deletion failed. (An empty file is never held back: it would
  // stay aside for good and keep every later log from being scanned.)
  if (!undeletable_.empty() && data == undeletable_) return;
  parts_.status.Set("Parsing cheaters.log looking for players to auto-ban (as configured)...");
  std::vector<std::string> lines = settings::SplitLines(data);
  lines.erase(std::remove(lines.begin(), lines.end(), std::string()), lines.end());
  std::string moved;
  for (const std::string& line : lines) moved += line + "\r\n";
  if (!moved.empty() && !parts_.files.AppendFile(cumulative, moved, &error)) {
    parts_.status.Set(ui::kGoodToGo);
    ReportOnce(": " + cumulative + " cannot be written (" + error + "); " + aside +
               " is kept for the next scan");
    return;
  }
  bool refreshed = false;
  banned_.clear();
  index_.reset();
  for (const std::string& line : lines) HandleLine(line, &refreshed);
  parts_.status.Set(ui::kGoodToGo);
  if (!parts_.files.RemoveFile(aside)) {
    undeletable_ = data;
    ReportOnce(": " + aside + " cannot be deleted; its lines have been handled");
    return;
  }
  undeletable_.clear();
  reported_ = false;
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

void CheatersLogScan::HandleLine(const std::string& line, bool* refreshed) {
  const std::optional<std::string> found_name = CheaterName(line);
  if (!found_name) {
    parts_.logs.Append(logs::LogId::kHelmError,
                       ": A cheaters.log line names no character: [" + Quoted(line) + "]");
    return;
  }
  const std::string& name = *found_name;
  int index = Find(name);
  if (index == players::kNoPlayer && !*refreshed) {
    *refreshed = true;
    parts_.refresh_player_list();
    index_.reset();
    index = Find(name);
  }
  const players::PlayerRecord* record = parts_.players.At(index);
  if (record == nullptr) {
    parts_.logs.Append(logs::LogId::kServerActivity,
                       ": Player " + name +
                           " is listed in the cheaters.log file, but no longer exists in the "
                           "database to be banned.");
    return;
  }
  const std::string account = record->account_folder;
  if (Banned(account)) return;
  const CheatKind* kind = nullptr;
  for (const CheatKind& candidate : kKinds) {
    if (parts_.settings.*candidate.enabled != 0 &&
        FindIgnoreCase(line, candidate.marker) != std::string::npos) {
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
  if (players::PlayerRecord* banned = parts_.players.At(Find(name))) {
    banned->ban_reason = "Autobanned by KALDERON for " + words;
  }
  banned_[account] = true;
}

}  // namespace helmsman::moderation
