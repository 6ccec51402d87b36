#include "console/moderation/kicks.h"

#include <algorithm>
#include <cstdint>
#include <vector>

#include "console/moderation/operator_actions.h"
#include "console/players/working_text.h"
#include "console/server/supervision.h"

namespace helmsman::moderation {

namespace {

constexpr char kConfirmationTitle[] = "Kick Confirmation";
constexpr char kKickingStatus[] = "Kicking player...";
constexpr char kUnableToKickStatus[] = "Unable to kick player!";
constexpr char kOnlineList[] = "lstPlayersOnline";
constexpr const char* kOnlineLists[] = {"lstPlayersOnline", "lstPlayersOnlineSystems",
                                        "lstPlayersOnlineRank"};
constexpr const char* kSelectionButtons[] = {"cmdKickPlayer", "cmdKickAndBan", "cmdViewInfo",
                                             "cmdKickAllInSystem"};

int32_t WholeFine(const ui::Controls& controls) {
  const double value = players::ReadNumber(controls.Get("txtKickedPlayersFine").text());
  return static_cast<int32_t>(std::clamp(value, -2147483648.0, 2147483647.0));
}

// The kick settings' punishments of one kicked player, by its record; a name without a
// record is neither fined nor moved.
void Punish(const KickParts& parts, const std::string& name, int record) {
  ui::Controls& controls = parts.controls;
  if (controls.Get("chkFineKickedPlayers").value() != 0) {
    parts.status.Set("Changing money for player " + name);
    if (record != players::kNoPlayer)
      parts.punishments.FinePlayer(parts.players, record, WholeFine(controls));
  }
  if (controls.Get("chkSendKickedPlayersToBase").value() != 0) {
    parts.status.Set("Changing location of player " + name);
    const std::string base = SelectedRow(controls, "cmbAvailableBases");
    if (record != players::kNoPlayer)
      parts.punishments.MovePlayerToBase(parts.players, record, base);
  }
}

void ShowOnlineCount(const KickParts& parts) {
  const platform::CivilTime now = parts.logs.clock().NowLocal();
  parts.controls.SetText("fraPlayersOnline",
                         std::to_string(parts.controls.Get(kOnlineList).rows().size()) +
                             " Players Online Updated " + parts.logs.locale().LongTime(now));
}

// A kick that did not go through: the failure text instead of a progress text that would
// look as though the kick were still running, and why in the HELM error log.
void ReportNotThrough(const KickParts& parts, const std::string& name) {
  parts.status.Set(kUnableToKickStatus);
  parts.logs.Append(logs::LogId::kHelmError,
                    ": The kick of player " + name + " did not go through: " +
                        server::RefusalReason(parts.channel.result_text()));
}

// Takes the kicked player's row out of the three online lists (the row that holds the name
// now: the operator may have clicked another one while the command waited).
void RemoveOnlineRow(ui::Controls& controls, const std::string& name) {
  const std::vector<std::string>& names = controls.Get(kOnlineList).rows();
  const auto found = std::find(names.begin(), names.end(), name);
  if (found == names.end()) return;
  const size_t row = static_cast<size_t>(found - names.begin());
  for (const char* list : kOnlineLists) {
    std::vector<std::string> rows = controls.Get(list).rows();
    if (row < rows.size()) rows.erase(rows.begin() + static_cast<long>(row));
    controls.SetRows(list, std::move(rows));
    controls.Select(list, -1);
  }
}

void KickOne(const KickParts& parts, bool ban) {
  ui::Controls& controls = parts.controls;
  const std::string name = SelectedRow(controls, kOnlineList);
  if (name.empty()) return;
  if (!ban) controls.SetText("lblKickMessagePart1", name + " is being kicked");
  const std::string prompt = (ban ? "Kick and ban player " : "Kick player ") + name + "?";
  if (!parts.frontend().AskOkCancel(kConfirmationTitle, prompt)) return;

  controls.SetEnabled(ban ? "cmdKickAndBan" : "cmdKickPlayer", false);
  controls.SetEnabled("tmrMainEventTimer", false);
  std::string notice_text;
  if (controls.Get("chkEnableKickChatNotice").value() != 0) {
    parts.status.Set("Broadcasting kick reason...");
    // A notice that went through is logged as every broadcast is, whether or not it succeeded.
    const server::CommandResult notice =
        parts.channel.Broadcast(KickNotice(controls), server::kOperatorReplySize, "");
    if (notice.successful) notice_text = KickNotice(controls);
    if (ban && notice.went_through()) parts.status.Set("Broadcasting ban/kick reason...");
    if (notice.successful) parts.status.Set(ban ? "Kicking & banning player..." : kKickingStatus);
  }
  if (!ban) parts.status.Set(kKickingStatus);
  const server::CommandResult result =
      parts.channel.Run((ban ? "ban " : "kick ") + name, server::kOperatorReplySize);
  if (!result.went_through()) ReportNotThrough(parts, name);
  if (result.went_through() && !result.successful) parts.status.Set(kUnableToKickStatus);
  if (result.successful) {
    parts.logs.Append(
        logs::LogId::kServerActivity,
        ": Player " + name + (ban ? " kicked and banned by helmsman" : " kicked by helmsman"));
    const int index = parts.players.FindByName(name);
    const players::PlayerRecord* record = parts.players.At(index);
    std::vector<std::pair<std::string, std::string>> details;
    if (ban) details = {{"kicked", "yes"}, {"end", "indefinite"}};
    if (!notice_text.empty()) details.emplace_back("notice", notice_text);
    JournalAction(parts.journal, ban ? "ban" : "kick", ActorName(parts.actor),
                  record ? record->account_folder : "", name, std::move(details));
    Punish(parts, name, index);
    RemoveOnlineRow(controls, name);
    for (const char* button : kSelectionButtons) controls.SetEnabled(button, false);
    parts.status.Set(ui::kGoodToGo);
    ShowOnlineCount(parts);
  }
  ResumeTimer(controls);
}

}  // namespace

std::string KickNotice(const ui::Controls& controls) {
  std::string line =
      controls.Get("lblKickMessagePart1").text() + " " + controls.Get("txtKickMessagePart2").text();
  std::replace(line.begin(), line.end(), '|', '/');
  return line;
}

void KickPlayer(const KickParts& parts) { KickOne(parts, false); }

void KickAndBanPlayer(const KickParts& parts) { KickOne(parts, true); }

void KickAllInSystem(const KickParts& parts) {
  ui::Controls& controls = parts.controls;
  const std::string system = SelectedRow(controls, "lstPlayersOnlineSystems");
  if (system.empty()) return;
  controls.SetText("lblKickMessagePart1", "Players in " + system + " are being kicked");
  if (!parts.frontend().AskOkCancel(kConfirmationTitle, "Kick players in system " + system + "?")) {
    return;
  }
  controls.SetEnabled("tmrMainEventTimer", false);
  controls.SetEnabled("cmdKickAllInSystem", false);
  parts.status.Set("Kicking players in " + system);
  if (controls.Get("chkEnableKickChatNotice").value() != 0) {
    parts.status.Set("Broadcasting kick reason...");
    parts.channel.Broadcast(KickNotice(controls), server::kOperatorReplySize,
                            "Message sent successfully");
  }
  parts.logs.Append(logs::LogId::kServerActivity,
                    ": Kick all players in " + system + " command issued by helmsman");
  // The row count is read anew each time: rows stay in place during the loop.
  for (size_t k = 0; k < controls.Get(kOnlineList).rows().size(); ++k) {
    const std::string name = controls.Get(kOnlineList).rows()[k];
    const int index = parts.players.FindByName(name);
    const players::PlayerRecord* record = parts.players.At(index);
    // The record's system counts, not the row of the systems list.
    if (record == nullptr || record->system != system) continue;
    const std::string character = record->name;
    parts.status.Set(kKickingStatus);
    const server::CommandResult result =
        parts.channel.Run("kick " + name, server::kOperatorReplySize);
    if (!result.went_through()) {
      ReportNotThrough(parts, name);
      continue;
    }
    if (!result.successful) {
      parts.status.Set(kUnableToKickStatus);
      continue;
    }
    parts.logs.Append(
        logs::LogId::kServerActivity,
        ": Player " + character + " kicked by helmsman (in specified system " + system + ")");
    // Looked up again: the command let events run meanwhile.
    const players::PlayerRecord* kicked = parts.players.At(index);
    JournalAction(parts.journal, "kick", ActorName(parts.actor),
                  kicked ? kicked->account_folder : "", character, {{"system", system}});
    Punish(parts, character, index);
    parts.status.Set(ui::kGoodToGo);
    ShowOnlineCount(parts);
  }
  parts.update_players_online();
  parts.status.Set(ui::kGoodToGo);
  ResumeTimer(controls);
}

void WireKicks(const KickParts& parts) {
  parts.controls.On("cmdKickPlayer", ui::ControlEvent::kClick, [parts] { KickPlayer(parts); });
  parts.controls.On("cmdKickAndBan", ui::ControlEvent::kClick,
                    [parts] { KickAndBanPlayer(parts); });
  parts.controls.On("cmdKickAllInSystem", ui::ControlEvent::kClick,
                    [parts] { KickAllInSystem(parts); });
}

}  // namespace helmsman::moderation
