#include "console/scheduler/online_tracking.h"

#include <algorithm>
#include <unordered_set>

namespace helmsman::scheduler {

namespace {

constexpr char kOnlineList[] = "lstPlayersOnline";
constexpr char kSystemsList[] = "lstPlayersOnlineSystems";
constexpr char kRankList[] = "lstPlayersOnlineRank";
constexpr const char* kOnlineLists[] = {kOnlineList, kSystemsList, kRankList};
// Nothing is selected in the lists once they are rebuilt, so these act on nobody.
constexpr const char* kSelectionButtons[] = {"cmdKickPlayer", "cmdKickAndBan", "cmdViewInfo",
                                             "cmdKickAllInSystem"};
// More rows than these make a tick scan a second and a third player.
constexpr int kSecondStepRows = 15;
constexpr int kThirdStepRows = 30;
// A character announced as new whose file could not be read is tried again at most this
// often.
constexpr int64_t kUnreadRetrySeconds = 60;
// Ranks below this get the new-player greeting.
constexpr double kGreetedRankBelow = 2;

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// A hexadecimal number of one or two digits; reading stops at the first other character.
char HexByte(std::string_view pair) {
  int value = 0;
  for (char c : pair) {
    int digit = HexDigit(c);
    if (digit < 0) break;
    value = value * 16 + digit;
  }
  return static_cast<char>(value);
}

// The number at the start of a text, as the game's texts are read: blanks skipped, an
// optional sign, digits with an optional fraction; no number reads as 0.
double LeadingNumber(std::string_view text) {
  size_t i = text.find_first_not_of(" \t");
  if (i == std::string_view::npos) return 0;
  double sign = 1;
  if (text[i] == '-' || text[i] == '+') sign = text[i++] == '-' ? -1 : 1;
  double value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
    value = value * 10 + (text[i] - '0');
  if (i < text.size() && text[i] == '.') {
    double scale = 0.1;
    for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, scale /= 10) {
      value += (text[i] - '0') * scale;
    }
  }
  return sign * value;
}

unsigned char FoldByte(unsigned char c) {
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  // Windows-1252: À..Þ (without the multiplication sign) and Š Œ Ž Ÿ.
  if (c >= 0xC0 && c <= 0xDE && c != 0xD7) return c + 0x20;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 0x10;
  if (c == 0x9F) return 0xFF;
  return c;
}

}  // namespace

std::string DecodeOnlineName(std::string_view field) {
  std::string digits;
  // Positions 3, 7, 11 ... counted from 1, while they lie within the field.
  for (size_t i = 2; i < field.size(); i += 4) digits.append(field.substr(i, 2));
  std::string name;
  for (size_t i = 0; i < digits.size(); i += 2)
    name += HexByte(std::string_view(digits).substr(i, 2));
  return name;
}

OnlineReply ParseOnlineReply(std::string_view reply) {
  OnlineReply result;
  size_t start = 0;
  while (true) {
    const size_t colon = reply.find(':', start);
    if (colon == std::string_view::npos) break;
    // The line ends at the first carriage return after the colon (or with the reply).
    size_t end = reply.find('\r', colon);
    if (end == std::string_view::npos) end = reply.size();
    const size_t field_start = std::min(colon + 2, end);
    std::string name = DecodeOnlineName(reply.substr(field_start, end - field_start));
    if (!name.empty()) {
      if (static_cast<int>(result.names.size()) < server::kMaxOnlineNames) {
        result.names.push_back(std::move(name));
      } else {
        ++result.dropped;
      }
    }
    if (end == reply.size()) break;
    start = end + 1;
  }
  return result;
}

std::string FoldCase(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) c = static_cast<char>(FoldByte(static_cast<unsigned char>(c)));
  return folded;
}

OnlineTracking::OnlineTracking(ui::Controls& controls, const settings::Settings& settings,
                               ui::StatusLine& status, server::CommandChannel& channel,
                               logs::Logs& logs, server::OnlineNames& online,
                               players::PlayerList& players, int16_t& scan_position,
                               TrackingCallouts& callouts)
    : controls_(controls),
      settings_(settings),
      status_(status),
      channel_(channel),
      logs_(logs),
      online_(online),
      players_(players),
      scan_position_(scan_position),
      callouts_(callouts) {}

void OnlineTracking::Update() {
  BeginUpdate();
  const server::CommandResult result =
      channel_.Run(kListOnlineCommand, server::kListOnlineReplySize);
  if (!result.went_through()) {
    status_.Set(kUnableToUpdateStatus);
    EndUpdate();
    return;
  }
  if (result.successful) {
    TakeReply(channel_.result_text());
  } else {
    status_.Set(kErrorGettingListStatus);
  }
  LogArrivalsAndDepartures();
  FillColumns();
  callouts_.SavePlayerList();
  if (settings_.chkEnableOnlinePlayerWebOutput != 0) callouts_.GenerateOnlinePlayersPage();
  status_.Set(ui::kGoodToGo);
  EndUpdate();
}

void OnlineTracking::BeginUpdate() {
  updating_ = true;
  controls_.SetEnabled("cmdUpdatePlayersOnline", false);
  status_.Set(kUpdatingStatus);
  for (const char* list : kOnlineLists) controls_.ClearRows(list);
  for (const char* button : kSelectionButtons) controls_.SetEnabled(button, false);
}

void OnlineTracking::TakeReply(const std::string& reply) {
  for (const char* list : kOnlineLists) controls_.ClearRows(list);
  OnlineReply parsed = ParseOnlineReply(reply);
  if (parsed.dropped > 0 && dropped_reported_ == 0) {
    logs_.Append(logs::LogId::kHelmError, ": More than " + std::to_string(server::kMaxOnlineNames) +
                                              " players online; " + std::to_string(parsed.dropped) +
                                              " of them are not tracked");
  }
  dropped_reported_ = parsed.dropped;
  // A character that left may be announced again when it comes back still unread.
  const std::unordered_set<std::string> online(parsed.names.begin(), parsed.names.end());
  std::erase_if(announced_, [&online](const std::string& name) { return !online.count(name); });
  online_.Assign(parsed.names);
  controls_.SetRows(kOnlineList, std::move(parsed.names));
}

void OnlineTracking::LogArrivalsAndDepartures() {
  const std::vector<std::string> online = online_.InUse();
  const std::vector<std::string> previous = previous_.InUse();
  const std::unordered_set<std::string> online_set(online.begin(), online.end());
  const std::unordered_set<std::string> previous_set(previous.begin(), previous.end());
  for (const std::string& name : online) {
    if (!previous_set.count(name)) {
      logs_.Append(logs::LogId::kPlayerActivity, ": Player " + name + " found on the server");
    }
  }
  for (const std::string& name : previous) {
    if (!online_set.count(name)) {
      logs_.Append(logs::LogId::kPlayerActivity,
                   ": Player " + name + " no longer found on the server");
    }
  }
}

void OnlineTracking::IndexRecordsByFoldedName() {
  by_folded_name_.clear();
  for (int i = 0; const players::PlayerRecord& record : players_.InUse()) {
    by_folded_name_.emplace(FoldCase(record.name), i++);  // the first record keeps the name
  }
}

void OnlineTracking::FillColumns() {
  const std::vector<std::string> rows = controls_.Get(kOnlineList).rows();
  if (rows.empty()) return;
  IndexRecordsByFoldedName();
  // All new characters are found before the refresh: once it has run they have records,
  // and a second newcomer of the same update would go unannounced. Those announced at an
  // earlier update and still without a record have files that could not be read; they are
  // greeted once a refresh gives them one.
  std::vector<std::string> unknown;
  bool announced = false;
  for (const std::string& name : rows) {
    if (by_folded_name_.count(FoldCase(name))) continue;
    unknown.push_back(name);
    if (!announced_.insert(name).second) continue;
    logs_.Append(logs::LogId::kServerActivity, ": New player " + name + " has joined the server!");
    announced = true;
  }
  // Each try at an unreadable file logs an error, so it is tried again only now and then.
  const int64_t now = logs_.clock().NowSeconds();
  if (announced || (!unknown.empty() && now - last_refresh_ >= kUnreadRetrySeconds)) {
    callouts_.RefreshPlayerList();
    last_refresh_ = now;
    IndexRecordsByFoldedName();
    if (!settings_.txtNewPlayerBannerPart2.empty()) {
      for (const std::string& name : unknown) GreetNewPlayer(name);
    }
  }
  std::vector<std::string> systems, ranks;
  systems.reserve(rows.size());
  ranks.reserve(rows.size());
  for (const std::string& name : rows) {
    auto it = by_folded_name_.find(FoldCase(name));
    const players::PlayerRecord* record =
        it == by_folded_name_.end() ? nullptr : players_.At(it->second);
    systems.push_back(record ? record->system : kPlayerNotFound);
    ranks.push_back(record ? record->rank : kRankNotFound);
  }
  controls_.SetRows(kSystemsList, std::move(systems));
  controls_.SetRows(kRankList, std::move(ranks));
}

void OnlineTracking::GreetNewPlayer(const std::string& name) {
  const int index = players_.FindByName(name);
  if (index == players::kNoPlayer) return;
  if (LeadingNumber(players_.At(index)->rank) >= kGreetedRankBelow) return;
  status_.Set(kGreetingStatus);
  std::string line = "New player [" + name + "], " + settings_.txtNewPlayerBannerPart2;
  std::replace(line.begin(), line.end(), '|', '/');
  const server::CommandResult result =
      channel_.Run(server::kMessageCommand + line, server::kTrackingReplySize);
  if (!result.successful) return;
  status_.Set(kGreetingSentStatus);
  logs_.Append(logs::LogId::kServerActivity, ": Message [" + line + "] broadcast to universe");
}

void OnlineTracking::EndUpdate() {
  updating_ = false;
  previous_.Assign(online_.InUse());
  controls_.SetEnabled("cmdUpdatePlayersOnline", true);
  const platform::CivilTime now = logs_.clock().NowLocal();
  controls_.SetText("fraPlayersOnline", std::to_string(controls_.Get(kOnlineList).rows().size()) +
                                            " Players Online, Updated " +
                                            logs_.locale().LongTime(now));
}

void OnlineTracking::InlineScan() {
  const int rows = static_cast<int>(controls_.Get(kOnlineList).rows().size());
  const int steps = 1 + (rows > kSecondStepRows ? 1 : 0) + (rows > kThirdStepRows ? 1 : 0);
  for (int i = 0; i < steps; ++i) InlineScanStep();
}

void OnlineTracking::InlineScanStep() {
  int16_t& position = scan_position_;
  if (online_.At(position).empty()) position = 0;
  const std::string name = online_.At(position);
  if (name.empty()) {
    ++position;
    return;
  }
  status_.Set(kInlineScanStatus + name);
  const int record = players_.FindByName(name);
  if (record == players::kNoPlayer) {
    ++position;
    return;
  }
  callouts_.RereadPlayerFile(record);
  if (!RunFilters(record)) {
    RefreshRow(position, record);
    ++position;
    return;
  }
  online_.RemoveAt(position);
  RemoveRow(position);
}

bool OnlineTracking::RunFilters(int record) {
  // Every rule runs, whatever the earlier ones did.
  bool acted = false;
  if (!settings_.lstNameScanFilters.empty()) acted |= callouts_.NameFilter(record);
  if (settings_.chkAutoBanPlayersWithSpecifiedEquipment != 0 &&
      !settings_.lstEquipmentScanFilters.empty()) {
    acted |= callouts_.EquipmentFilter(record);
  }
  if (settings_.chkAutoBanPlayersWithUnknownEquipment != 0) {
    acted |= callouts_.UnknownEquipmentRule(record);
  }
  acted |= callouts_.CharacterLimit(record);
  return acted;
}

void OnlineTracking::RefreshRow(int row, int record) {
  // The filters may have emptied the record's place; then there is nothing to show.
  const players::PlayerRecord* r = players_.At(record);
  if (r == nullptr || r->is_free()) return;
  for (auto [list, text] : {std::pair{kSystemsList, &r->system}, std::pair{kRankList, &r->rank}}) {
    std::vector<std::string> rows = controls_.Get(list).rows();
    // After a failed update the lists are empty while the names remain.
    if (row >= static_cast<int>(rows.size()) || rows[row] == *text) continue;
    const int selected = controls_.Get(list).selected();
    rows[row] = *text;
    controls_.SetRows(list, std::move(rows));
    controls_.Select(list, selected);
  }
}

void OnlineTracking::RemoveRow(int row) {
  for (const char* list : kOnlineLists) {
    std::vector<std::string> rows = controls_.Get(list).rows();
    if (row >= static_cast<int>(rows.size())) continue;
    int selected = controls_.Get(list).selected();
    if (selected == row) selected = -1;
    if (selected > row) --selected;
    rows.erase(rows.begin() + row);
    controls_.SetRows(list, std::move(rows));
    controls_.Select(list, selected);
  }
}

void OnlineTracking::SelectRowEverywhere(int row) {
  for (const char* list : kOnlineLists) controls_.Select(list, row);
}

void OnlineTracking::OnlineListClicked() {
  const ui::Control& names = controls_.Get(kOnlineList);
  const int row = names.selected();
  if (row < 0) return;
  controls_.SetEnabled("cmdKickPlayer", true);
  controls_.SetEnabled("cmdKickAndBan", true);
  controls_.SetEnabled("cmdKickAllInSystem", true);
  SelectRowEverywhere(row);
  const std::vector<std::string>& systems = controls_.Get(kSystemsList).rows();
  const bool known = row < static_cast<int>(systems.size()) && systems[row] != kPlayerNotFound;
  controls_.SetEnabled("cmdViewInfo", known);
  controls_.SetText("lblKickMessagePart1", names.rows()[row] + " is being kicked");
}

void OnlineTracking::RankListClicked() {
  const int row = controls_.Get(kRankList).selected();
  if (row >= 0) SelectRowEverywhere(row);
}

void OnlineTracking::SystemsListClicked() {
  const ui::Control& systems = controls_.Get(kSystemsList);
  const int row = systems.selected();
  if (row < 0) return;
  SelectRowEverywhere(row);
  const std::string& system = systems.rows()[row];
  if (system == kPlayerNotFound) return;
  controls_.SetEnabled("cmdKickAllInSystem", true);
  controls_.SetText("lblKickMessagePart1", "Players in " + system + " are being kicked");
}

void OnlineTracking::WireListHandlers() {
  controls_.On(kOnlineList, ui::ControlEvent::kClick, [this] { OnlineListClicked(); });
  controls_.On(kRankList, ui::ControlEvent::kClick, [this] { RankListClicked(); });
  controls_.On(kSystemsList, ui::ControlEvent::kClick, [this] { SystemsListClicked(); });
}

}  // namespace helmsman::scheduler
