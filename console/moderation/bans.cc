#include "console/moderation/bans.h"

#include <algorithm>
#include <charconv>

#include "console/logs/regional_checks.h"
#include "console/moderation/operator_actions.h"
#include "console/players/player_screen_lists.h"
#include "console/server/supervision.h"
#include "console/settings/text_lines.h"

namespace helmsman::moderation {

namespace {

constexpr const char* kMonths[] = {"January",   "February", "March",    "April",
                                   "May",       "June",     "July",     "August",
                                   "September", "October",  "November", "December"};
constexpr char kIndefinitely[] = "Player Banned Indefinitely";

// A whole decimal number, blanks around it allowed; nullopt otherwise.
std::optional<int> Number(const std::string& text) {
  size_t begin = text.find_first_not_of(' ');
  size_t end = text.find_last_not_of(' ');
  if (begin == std::string::npos) return std::nullopt;
  int value = 0;
  const char* first = text.data() + begin;
  const char* last = text.data() + end + 1;
  const auto [stop, error] = std::from_chars(first, last, value);
  if (error != std::errc() || stop != last) return std::nullopt;
  return value;
}

players::PlayerRecord* Record(const BanParts& parts, const std::string& name) {
  if (name.empty()) return nullptr;
  return parts.players.At(parts.players.FindByName(name));
}

void ClearBanData(players::PlayerRecord& record, bool reason_too) {
  record.ban_until_hour.clear();
  record.ban_until_month.clear();
  record.ban_until_day.clear();
  record.ban_until_year.clear();
  if (reason_too) record.ban_reason.clear();
}

// The until-display text of what the controls show now.
std::string ControlsUntilText(const ui::Controls& controls) {
  const platform::CivilTime date = CalendarDate(controls.Get("calBanUntilDate").value());
  return UntilText(controls.Get("cmbBanUntilTime").selected(), date.month, date.day, date.year);
}

// A command that did not go through: the action's failure text, and why in the HELM log.
void ReportNotThrough(const BanParts& parts, const std::string& status, const std::string& what) {
  parts.status.Set(status);
  parts.logs.Append(
      logs::LogId::kHelmError,
      ": " + what + " did not go through: " + server::RefusalReason(parts.channel.result_text()));
}

// The list of pending edit unbans could not be written: this run still tries them, a
// restart would not.
void ReportPendingNotWritten(logs::Logs& logs, const std::string& error) {
  logs.Append(logs::LogId::kHelmError,
              ": Could not write " + std::string(kPendingEditUnbansFileName) + ": " + error);
}

// The operator's ban or unban, or the unban check's, took the place of an edit ban that was
// still to be lifted: trying that unban again would lift the new ban or repeat the old one.
void NoLongerPending(const BanParts& parts, const std::string& name) {
  PendingEditUnbans* pending = parts.pending_edit_unbans;
  std::string error;
  if (pending == nullptr || !pending->Contains(name) || pending->Remove(name, &error)) return;
  ReportPendingNotWritten(parts.logs, error);
}

// The edit bans whose unban failed when the editor closed, each tried once more.
void RetryEditUnbans(const BanParts& parts) {
  if (parts.pending_edit_unbans == nullptr) return;
  // A copy: a success takes the name out of the list.
  const std::vector<std::string> names = parts.pending_edit_unbans->names();
  for (const std::string& name : names) {
    parts.status.Set("Auto-unbanning player " + name);
    const players::PlayerRecord* record = Record(parts, name);
    if (!LiftEditBan(parts.channel, parts.logs, parts.pending_edit_unbans, name, parts.journal,
                     kUnbanCheckActor, record ? record->account_folder : "")) {
      parts.status.Set("Unable to unban player!");
    }
  }
}

void Unban(const BanParts& parts, const std::string& name) {
  if (name.empty()) return;
  if (!parts.frontend().AskOkCancel("Unban Confirmation", "Unban player " + name + "?")) return;
  ui::Controls& controls = parts.controls;
  controls.SetEnabled("tmrMainEventTimer", false);
  parts.status.Set("Unbanning player...");
  const server::CommandResult result =
      parts.channel.Run("unban " + name, server::kOperatorReplySize);
  if (!result.went_through()) {
    ReportNotThrough(parts, "Unable to unban player!", "The unban of player " + name);
  } else if (!result.successful) {
    parts.status.Set("Unable to unban player!");
  } else {
    parts.logs.Append(logs::LogId::kServerActivity, ": Player " + name + " unbanned by helmsman");
    parts.status.Set(ui::kGoodToGo);
    NoLongerPending(parts, name);
    players::PlayerRecord* record = Record(parts, name);
    JournalAction(parts.journal, "unban", ActorName(parts.actor),
                  record ? record->account_folder : "", name,
                  {{"end", record ? BanEndText(*record) : ""},
                   {"reason", record ? record->ban_reason : ""}});
    if (record != nullptr) ClearBanData(*record, true);
    parts.rebuild_lists();
  }
  ResumeTimer(controls);
}

void Ban(const BanParts& parts, const std::string& name) {
  if (name.empty()) return;
  if (!parts.frontend().AskOkCancel("Ban Confirmation", "Ban player " + name + "?")) return;
  ui::Controls& controls = parts.controls;
  controls.SetEnabled("tmrMainEventTimer", false);
  parts.status.Set("Banning player...");
  const server::CommandResult result = parts.channel.Run("ban " + name, server::kOperatorReplySize);
  if (!result.went_through()) {
    ReportNotThrough(parts, "Unable to ban player!", "The ban of player " + name);
  } else if (!result.successful) {
    parts.status.Set("Unable to ban player!");
  } else {
    parts.logs.Append(logs::LogId::kServerActivity, ": Player " + name + " banned by helmsman");
    NoLongerPending(parts, name);
    const players::PlayerRecord* record = Record(parts, name);
    JournalAction(parts.journal, "ban", ActorName(parts.actor),
                  record ? record->account_folder : "", name,
                  {{"end", record ? BanEndText(*record) : "indefinite"}});
    parts.rebuild_lists();
    parts.status.Set(ui::kGoodToGo);
    controls.SetText("cmdBanToggle", "Unban Player");
  }
  ResumeTimer(controls);
}

// A change of a banned record's ban data (its end, its reason), journaled when it changed.
void JournalBanData(const BanParts& parts, const players::PlayerRecord& record,
                    const std::string& action, const std::string& key, const std::string& before,
                    const std::string& after) {
  if (before == after) return;
  JournalAction(parts.journal, action, ActorName(parts.actor), record.account_folder, record.name,
                {{key, before + " -> " + after}});
}

void ShowUntil(const BanParts& parts, const players::PlayerRecord* record) {
  ui::Controls& controls = parts.controls;
  const std::optional<int> hour = record ? Number(record->ban_until_hour) : std::nullopt;
  controls.Select("cmbBanUntilTime", hour && *hour >= 0 && *hour < 24 ? *hour : 0);
  const platform::CivilTime today = parts.logs.clock().NowLocal();
  auto field = [&](const std::string players::PlayerRecord::*member, int fallback) {
    const std::optional<int> value = record ? Number(record->*member) : std::nullopt;
    return value ? *value : fallback;
  };
  controls.SetValue("calBanUntilDate",
                    CalendarValue(field(&players::PlayerRecord::ban_until_year, today.year),
                                  field(&players::PlayerRecord::ban_until_month, today.month),
                                  field(&players::PlayerRecord::ban_until_day, today.day)));
  controls.SetText("lblPlayerBannedUntil", ControlsUntilText(controls));
}

}  // namespace

PendingEditUnbans::PendingEditUnbans(platform::FileSystem& files, std::string program_folder)
    : files_(files), path_(platform::JoinPath(program_folder, kPendingEditUnbansFileName)) {}

bool PendingEditUnbans::Load(std::string* error) {
  names_.clear();
  if (!files_.FileExists(path_) && !files_.DirectoryExists(path_)) return true;
  std::string data;
  if (!files_.ReadFile(path_, &data, error)) return false;
  for (std::string& name : settings::SplitLines(data)) {
    if (!name.empty() && !Contains(name)) names_.push_back(std::move(name));
  }
  return true;
}

bool PendingEditUnbans::Contains(const std::string& name) const {
  return std::find(names_.begin(), names_.end(), name) != names_.end();
}

bool PendingEditUnbans::Add(const std::string& name, std::string* error) {
  if (Contains(name)) return true;
  names_.push_back(name);
  return Save(error);
}

bool PendingEditUnbans::Remove(const std::string& name, std::string* error) {
  const auto it = std::find(names_.begin(), names_.end(), name);
  if (it == names_.end()) return true;
  names_.erase(it);
  return Save(error);
}

bool PendingEditUnbans::Save(std::string* error) {
  if (names_.empty()) {
    if (!files_.FileExists(path_) || files_.RemoveFile(path_)) return true;
    *error = "cannot remove " + path_;
    return false;
  }
  std::string data;
  for (const std::string& name : names_) data += name + "\r\n";
  return files_.WriteFileDurably(path_, data, error);
}

bool LiftEditBan(server::CommandChannel& channel, logs::Logs& logs, PendingEditUnbans* pending,
                 const std::string& name, safety::Journal* journal, const std::string& actor,
                 const std::string& account_folder) {
  const server::CommandResult result = channel.Run("unban " + name, server::kOperatorReplySize);
  std::string error;
  if (result.successful) {
    logs.Append(logs::LogId::kServerActivity,
                ": Player " + name + " unbanned by helmsman after edit");
    JournalAction(journal, "unban", actor.empty() ? "operator" : actor, account_folder, name,
                  {{"ban", "edit"}});
    if (pending != nullptr && !pending->Remove(name, &error)) ReportPendingNotWritten(logs, error);
    return true;
  }
  logs.Append(logs::LogId::kHelmError,
              ": The edit ban of player " + name + " is still in place, its unban failed: " +
                  server::RefusalReason(channel.result_text()) +
                  (pending != nullptr ? "; the next unban check tries again" : ""));
  if (pending != nullptr && !pending->Add(name, &error)) ReportPendingNotWritten(logs, error);
  return false;
}

std::string UntilText(int hour_index, int month, int day, int year) {
  if (hour_index < 0 || hour_index > 23 || month < 1 || month > 12) return "";
  const int twelve = hour_index % 12 == 0 ? 12 : hour_index % 12;
  return std::to_string(twelve) + (hour_index < 12 ? "AM" : "PM") + ", " + kMonths[month - 1] +
         " " + std::to_string(day) + ", " + std::to_string(year);
}

std::string BanEndText(const players::PlayerRecord& record) {
  if (record.ban_until_hour.empty()) return "indefinite";
  const std::optional<int> hour = Number(record.ban_until_hour);
  const std::optional<int> month = Number(record.ban_until_month);
  const std::optional<int> day = Number(record.ban_until_day);
  const std::optional<int> year = Number(record.ban_until_year);
  const std::string text =
      hour && month && day && year ? UntilText(*hour, *month, *day, *year) : std::string();
  if (!text.empty()) return text;
  return record.ban_until_hour + " " + record.ban_until_month + "/" + record.ban_until_day + "/" +
         record.ban_until_year;
}

int CalendarValue(int year, int month, int day) { return year * 10000 + month * 100 + day; }

platform::CivilTime CalendarDate(int value) {
  platform::CivilTime date;
  date.year = value / 10000;
  date.month = value / 100 % 100;
  date.day = value % 100;
  return date;
}

bool BanIsDue(const players::PlayerRecord& record, const platform::CivilTime& now) {
  const std::optional<int> hour = Number(record.ban_until_hour);
  const std::optional<int> month = Number(record.ban_until_month);
  const std::optional<int> day = Number(record.ban_until_day);
  const std::optional<int> year = Number(record.ban_until_year);
  if (!hour || !month || !day || !year) return false;
  if (now.year != *year) return now.year > *year;
  if (now.month != *month) return now.month > *month;
  if (now.day != *day) return now.day > *day;
  return *hour <= now.hour;
}

void BanToggle(const BanParts& parts) {
  const std::string name = SelectedRow(parts.controls, "lstPlayers");
  if (parts.controls.Get("cmdBanToggle").text() == "Unban Player") {
    Unban(parts, name);
  } else {
    Ban(parts, name);
  }
}

void UnbanBannedPlayer(const BanParts& parts) {
  Unban(parts, SelectedRow(parts.controls, "lstBannedPlayers"));
}

void ViewBannedPlayerInfo(const BanParts& parts) {
  ui::Controls& controls = parts.controls;
  const std::string name = SelectedRow(controls, "lstBannedPlayers");
  if (name.empty()) return;
  const std::vector<std::string>& rows = controls.Get("lstPlayers").rows();
  size_t row = 0;
  while (row < rows.size() && rows[row] != name) ++row;
  if (row == rows.size()) {
    parts.frontend().ShowMessage("View Player's Info",
                                 "Unable to find player [" + name +
                                     "] in the player list!  The player lists will refresh, "
                                     "please try again.");
    parts.rebuild_lists();
    return;
  }
  controls.Select("SSTab1", 1);
  controls.Fire("SSTab1", ui::ControlEvent::kChange);
  controls.Select("lstPlayers", static_cast<int>(row));
  controls.Fire("lstPlayers", ui::ControlEvent::kClick);
  controls.SetValue("chkDisplayOnlyNamesForThisBannedPlayer", 0);
  controls.SetText("txtBannedPlayerListFilter", "");
  controls.Fire("txtBannedPlayerListFilter", ui::ControlEvent::kChange);
}

void BannedPlayerSelected(const BanParts& parts) {
  ui::Controls& controls = parts.controls;
  const std::string name = SelectedRow(controls, "lstBannedPlayers");
  if (name.empty()) {
    players::ClearBanInformation(controls);
    return;
  }
  controls.SetEnabled("cmdUnbanPlayer", controls.Get("tmrMainEventTimer").enabled());
  controls.SetEnabled("cmdViewBannedPlayerInfo", true);
  controls.SetEnabled("chkDisplayOnlyNamesForThisBannedPlayer", true);
  controls.SetText("txtBanReason", "");
  controls.SetEnabled("txtBanReason", true);
  const players::PlayerRecord* record = Record(parts, name);
  if (record == nullptr) {
    // The list on screen is older than the records: there is no ban data to show.
    for (const char* control : {"optBanDuration_0", "optBanDuration_1", "cmdSetUnbanTime",
                                "cmbBanUntilTime", "calBanUntilDate"}) {
      controls.SetEnabled(control, false);
    }
    controls.SetText("lblPlayerBannedUntil", "");
    return;
  }
  controls.SetEnabled("optBanDuration_0", true);
  controls.SetEnabled("optBanDuration_1", true);
  const std::string reason = record->ban_reason;
  if (record->ban_until_hour.empty()) {
    controls.SetValue("optBanDuration_0", 1);
    BanDurationChosen(parts, 0);
  } else {
    controls.SetValue("optBanDuration_1", 1);
    BanDurationChosen(parts, 1);
  }
  controls.SetText("txtBanReason", reason);
}

void BanDurationChosen(const BanParts& parts, int index) {
  ui::Controls& controls = parts.controls;
  players::PlayerRecord* record = Record(parts, SelectedRow(controls, "lstBannedPlayers"));
  const bool until = index == 1;
  controls.SetEnabled("cmdSetUnbanTime", until);
  controls.SetEnabled("cmbBanUntilTime", until);
  controls.SetEnabled("calBanUntilDate", until);
  if (!until) {
    controls.SetText("lblPlayerBannedUntil", kIndefinitely);
    if (record != nullptr) {
      const std::string before = BanEndText(*record);
      ClearBanData(*record, false);
      JournalBanData(parts, *record, "ban-end", "end", before, BanEndText(*record));
    }
    return;
  }
  ShowUntil(parts, record);
}

void SetUnbanTime(const BanParts& parts) {
  ui::Controls& controls = parts.controls;
  // Without a banned row (the lists were rebuilt) there is nobody to give the end to.
  players::PlayerRecord* record = Record(parts, SelectedRow(controls, "lstBannedPlayers"));
  if (record == nullptr) return;
  controls.SetText("lblPlayerBannedUntil", ControlsUntilText(controls));
  const std::string before = BanEndText(*record);
  const int hour = controls.Get("cmbBanUntilTime").selected();
  const platform::CivilTime date = CalendarDate(controls.Get("calBanUntilDate").value());
  record->ban_until_hour = std::to_string(hour < 0 ? 0 : hour);
  record->ban_until_month = std::to_string(date.month);
  record->ban_until_day = std::to_string(date.day);
  record->ban_until_year = std::to_string(date.year);
  JournalBanData(parts, *record, "ban-end", "end", before, BanEndText(*record));
}

void SetBanReason(const BanParts& parts) {
  players::PlayerRecord* record = Record(parts, SelectedRow(parts.controls, "lstBannedPlayers"));
  if (record == nullptr) return;
  const std::string before = record->ban_reason;
  record->ban_reason = parts.controls.Get("txtBanReason").text();
  JournalBanData(parts, *record, "ban-reason", "reason", before, record->ban_reason);
}

void UnbanDuePlayers(const BanParts& parts) {
  parts.status.Set("Getting current time to check for unban player times...");
  platform::CivilTime now = parts.logs.clock().NowLocal();
  now.hour = logs::CurrentHourIndex(parts.logs, parts.settings.optRegionalTimeSetting);
  for (int i = 0;; ++i) {
    players::PlayerRecord* record = parts.players.At(i);
    if (record == nullptr || record->is_free()) break;
    parts.status.Set("Scanning for players to unban (player " + std::to_string(i) + ")");
    if (record->ban_until_hour.empty() || !BanIsDue(*record, now)) continue;
    const std::string name = record->name;
    // What the ban was, for the journal: the record may move while the command waits.
    const std::string account_folder = record->account_folder;
    const std::string end = BanEndText(*record);
    const std::string reason = record->ban_reason;
    parts.status.Set("Auto-unbanning player " + name);
    const server::CommandResult result =
        parts.channel.Run("unban " + name, server::kOperatorReplySize);
    if (!result.went_through()) continue;
    if (!result.successful) {
      parts.status.Set("Unable to unban player!");
      continue;
    }
    parts.logs.Append(logs::LogId::kServerActivity,
                      ": Player " + name + " unbanned by automated unban check");
    JournalAction(parts.journal, "unban", kUnbanCheckActor, account_folder, name,
                  {{"end", end}, {"reason", reason}});
    NoLongerPending(parts, name);
    // The record may have moved while the command let events run: look it up again.
    if (players::PlayerRecord* again = Record(parts, name)) ClearBanData(*again, true);
  }
  RetryEditUnbans(parts);
  parts.status.Set(ui::kGoodToGo);
}

void WireBans(const BanParts& parts) {
  ui::Controls& controls = parts.controls;
  controls.Get("optBanDuration_0").BindOption(&parts.ban_duration, 0);
  controls.Get("optBanDuration_1").BindOption(&parts.ban_duration, 1);
  controls.On("cmdBanToggle", ui::ControlEvent::kClick, [parts] { BanToggle(parts); });
  controls.On("cmdUnbanPlayer", ui::ControlEvent::kClick, [parts] { UnbanBannedPlayer(parts); });
  controls.On("cmdViewBannedPlayerInfo", ui::ControlEvent::kClick,
              [parts] { ViewBannedPlayerInfo(parts); });
  controls.On("lstBannedPlayers", ui::ControlEvent::kClick,
              [parts] { BannedPlayerSelected(parts); });
  for (int i = 0; i < 2; ++i) {
    controls.On("optBanDuration_" + std::to_string(i), ui::ControlEvent::kClick,
                [parts, i] { BanDurationChosen(parts, i); });
  }
  controls.On("cmdSetUnbanTime", ui::ControlEvent::kClick, [parts] { SetUnbanTime(parts); });
  controls.On("cmdSetBanReason", ui::ControlEvent::kClick, [parts] { SetBanReason(parts); });
  controls.On("txtBanReason", ui::ControlEvent::kChange,
              [c = &parts.controls] { c->SetEnabled("cmdSetBanReason", true); });
}

}  // namespace helmsman::moderation
