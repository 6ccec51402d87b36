#include "console/moderation/filters.h"

#include <algorithm>
#include <utility>

#include "console/moderation/operator_actions.h"

namespace helmsman::moderation {

namespace {

constexpr char kMessageSent[] = "Message sent successfully";
constexpr char kLoadingStatus[] = "Loading configuration settings...";
constexpr char kUnknownEquipmentQuestion[] =
    "If your server is modded, you MUST ensure ALL the information in your equipment GAMEDATA "
    "files matches your server's configuration, otherwise this option may improperly ban "
    "players!  Continue?";

// Upper case in the system's code page (Windows-1252), as names are compared.
char Upper(char c) {
  const unsigned char u = static_cast<unsigned char>(c);
  if (u >= 'a' && u <= 'z') return static_cast<char>(u - 32);
  if (u >= 0xE0 && u <= 0xFE && u != 0xF7) return static_cast<char>(u - 32);
  if (u == 0x9A || u == 0x9C || u == 0x9E) return static_cast<char>(u - 16);
  if (u == 0xFF) return static_cast<char>(0x9F);
  return c;
}

std::string UpperCase(std::string text) {
  std::transform(text.begin(), text.end(), text.begin(), Upper);
  return text;
}

struct RuleAction {
  std::string status;
  std::string announcement;
  bool ban = false;
  std::string log;     // after a successful kick or ban
  std::string reason;  // bans only
  bool character_limit = false;
  // For the journal: the rule ("rule:name filter") and the account folder of the character,
  // what matched.
  std::string actor;
  std::string account_folder;
  std::vector<std::pair<std::string, std::string>> details;
};

// Announce, then kick or ban; true when the kick or ban succeeded.
bool Act(const FilterParts& parts, const std::string& name, const RuleAction& action) {
  parts.status.Set(action.status);
  std::string line = "message " + action.announcement;
  std::replace(line.begin(), line.end(), '|', '/');
  const server::CommandResult notice = parts.channel.Run(line, server::kTrackingReplySize);
  if (notice.went_through() && (!action.character_limit || notice.successful)) {
    if (notice.successful && !action.character_limit) parts.status.Set(kMessageSent);
    parts.logs.Append(logs::LogId::kServerActivity,
                      ": Message [" + line.substr(8) + "] broadcast to universe");
  }
  if (action.character_limit) parts.sleeper.Sleep(kCharacterLimitPauseMilliseconds);
  const server::CommandResult result = parts.channel.Run(
      (action.ban ? "ban " : "kick ") + name,
      action.character_limit ? server::kCharacterLimitReplySize : server::kTrackingReplySize);
  if (!result.successful) return false;
  parts.logs.Append(logs::LogId::kServerActivity, action.log);
  std::vector<std::pair<std::string, std::string>> details = action.details;
  if (action.ban) details.emplace_back("reason", action.reason);
  JournalAction(parts.journal, action.ban ? "autoban" : "autokick", action.actor,
                action.account_folder, name, std::move(details));
  if (action.ban) {
    // Looked up again: the command let events run meanwhile.
    if (players::PlayerRecord* record = parts.players.At(parts.players.FindByName(name))) {
      record->ban_reason = action.reason;
    }
  }
  return true;
}

const players::PlayerRecord* Scanned(const FilterParts& parts, int record) {
  const players::PlayerRecord* r = parts.players.At(record);
  return r == nullptr || r->is_free() ? nullptr : r;
}

// Keeps a filter list's rows and its setting the same.
void ShowFilterList(ui::Controls& controls, const std::string& list,
                    const std::vector<std::string>& entries) {
  controls.SetRows(list, entries);
}

void AddEntry(ui::Controls& controls, const std::string& list, std::vector<std::string>& entries,
              const std::string& entry) {
  if (entry.empty() || std::find(entries.begin(), entries.end(), entry) != entries.end()) return;
  entries.push_back(entry);
  ShowFilterList(controls, list, entries);
}

void RemoveSelected(ui::Controls& controls, const std::string& list,
                    std::vector<std::string>& entries, const std::string& button) {
  const int row = controls.Get(list).selected();
  if (row >= 0 && row < static_cast<int>(entries.size())) {
    entries.erase(entries.begin() + row);
    ShowFilterList(controls, list, entries);
  }
  controls.SetEnabled(button, false);
}

}  // namespace

std::string MatchNameFilter(const std::vector<std::string>& filters, const std::string& name) {
  const std::string upper = UpperCase(name);
  for (const std::string& filter : filters) {
    // An empty entry (a hand-edited filter file) would match every name: it matches none.
    if (!filter.empty() && upper.find(UpperCase(filter)) != std::string::npos) return filter;
  }
  return "";
}

std::string MatchEquipmentFilter(const std::vector<std::string>& filters,
                                 const players::PlayerRecord& record) {
  for (const std::string& filter : filters) {
    if (filter.empty()) continue;
    if (filter == record.ship || filter == record.shield || filter == record.power_generator) {
      return filter;
    }
  }
  for (const std::string& weapon : record.weapons) {
    if (weapon.empty()) break;
    for (const std::string& filter : filters) {
      if (filter == weapon) return filter;
    }
  }
  return "";
}

int OtherCharactersOfAccount(const players::PlayerList& players, int record) {
  const players::PlayerRecord* own = players.At(record);
  if (own == nullptr) return 0;
  int count = 0;
  const std::span<const players::PlayerRecord> in_use = players.InUse();
  for (size_t i = 0; i < in_use.size(); ++i) {
    if (static_cast<int>(i) != record && in_use[i].account_folder == own->account_folder) ++count;
  }
  return count;
}

bool NameFilter(const FilterParts& parts, int record) {
  const players::PlayerRecord* r = Scanned(parts, record);
  const int punishment = parts.settings.optPlayerWithBadNamePunishment;
  if (r == nullptr || (punishment != 0 && punishment != 1)) return false;
  const std::string filter = MatchNameFilter(parts.settings.lstNameScanFilters, r->name);
  if (filter.empty()) return false;
  const std::string name = r->name;
  RuleAction action;
  action.actor = "rule:name filter";
  action.account_folder = r->account_folder;
  action.details = {{"filter", filter}};
  if (punishment == 0) {
    action.announcement = "KALDERON AutoKick - Player " + name +
                          " automatically kicked for having text [" + filter + "] in their name!";
    action.log = ": Player " + name + " autokicked for having specified filter [" + filter +
                 "] in their name";
  } else {
    action.ban = true;
    action.announcement = "KALDERON AutoBan - Player " + name +
                          " automatically banned for having text [" + filter + "] in their name!";
    action.log = ": Player " + name + " autobanned for having specified filter [" + filter +
                 "] in their name";
    action.reason = "Autobanned by KALDERON for having specified filter [" + filter + "] in name";
  }
  action.status = action.announcement;
  return Act(parts, name, action);
}

bool EquipmentFilter(const FilterParts& parts, int record) {
  const players::PlayerRecord* r = Scanned(parts, record);
  if (r == nullptr) return false;
  const std::string filter = MatchEquipmentFilter(parts.settings.lstEquipmentScanFilters, *r);
  if (filter.empty()) return false;
  const std::string name = r->name;
  RuleAction action;
  action.actor = "rule:equipment filter";
  action.account_folder = r->account_folder;
  action.details = {{"equipment", filter}};
  action.ban = true;
  action.announcement =
      "KALDERON AutoBan - Player " + name + " automatically banned for using [" + filter + "]!";
  action.status = action.announcement;
  action.log =
      ": Player " + name + " autobanned for using specified equipment filter [" + filter + "]";
  action.reason = "Autobanned by KALDERON for using specified equipment filter [" + filter + "]";
  return Act(parts, name, action);
}

bool UnknownEquipmentRule(const FilterParts& parts, int record) {
  const players::PlayerRecord* r = Scanned(parts, record);
  if (r == nullptr || r->unknown_equipment_code.empty()) return false;
  const std::string name = r->name;
  const std::string code = r->unknown_equipment_code;
  RuleAction action;
  action.actor = "rule:unknown equipment";
  action.account_folder = r->account_folder;
  action.details = {{"equipment", code}};
  action.ban = true;
  action.announcement = "KALDERON AutoBan - Player " + name +
                        " automatically banned for using unknown equipment [" + code + "]!";
  action.status = action.announcement;
  action.log = ": Player " + name + " autobanned for using unknown equipment [" + code + "]";
  action.reason = "Autobanned by KALDERON for using unknown equipment [" + code + "]";
  return Act(parts, name, action);
}

bool CharacterLimit(const FilterParts& parts, int record) {
  if (parts.settings.lblPlayerCharacterNumberLimit == 0) return false;
  const players::PlayerRecord* r = Scanned(parts, record);
  if (r == nullptr) return false;
  const int limit = parts.settings.vscPlayerCharacterNumberLimit;
  bool acted = false;
  const int others = OtherCharactersOfAccount(parts.players, record);
  if (others > limit - 1) {
    const std::string name = r->name;
    RuleAction action;
    action.actor = "rule:character limit";
    action.account_folder = r->account_folder;
    action.details = {{"limit", std::to_string(limit)}, {"characters", std::to_string(others + 1)}};
    action.character_limit = true;
    action.status = "Kicking player [" + name + "] - over the character limit";
    action.announcement = "ATTENTION [" + name + "], you not allowed to have more than " +
                          std::to_string(limit) +
                          " characters on this server.  Please delete one of your extra "
                          "characters to continue playing!";
    action.log = ": Player " + name + " kicked for being over the character limit";
    acted = Act(parts, name, action);
  }
  parts.status.Set(ui::kGoodToGo);
  return acted;
}

void WireFilterControls(const FilterParts& parts) {
  ui::Controls& c = parts.controls;
  ui::Controls* controls = &parts.controls;
  settings::Settings* s = &parts.settings;
  c.On("txtNameScanFilter", ui::ControlEvent::kChange, [controls] {
    controls->SetEnabled("cmdAddNameScanFilter",
                         !controls->Get("txtNameScanFilter").text().empty());
  });
  c.On("cmdAddNameScanFilter", ui::ControlEvent::kClick, [controls, s] {
    AddEntry(*controls, "lstNameScanFilters", s->lstNameScanFilters,
             controls->Get("txtNameScanFilter").text());
  });
  auto equipment_chosen = [controls] {
    controls->SetEnabled("cmdAddEquipmentScanFilter",
                         controls->Get("cmdAllEquippableEquipment").selected() >= 0);
  };
  c.On("cmdAllEquippableEquipment", ui::ControlEvent::kChange, equipment_chosen);
  c.On("cmdAllEquippableEquipment", ui::ControlEvent::kClick, equipment_chosen);
  c.On("cmdAddEquipmentScanFilter", ui::ControlEvent::kClick, [controls, s] {
    const ui::Control& all = controls->Get("cmdAllEquippableEquipment");
    const int row = all.selected();
    if (row < 0 || row >= static_cast<int>(all.rows().size())) return;
    AddEntry(*controls, "lstEquipmentScanFilters", s->lstEquipmentScanFilters, all.rows()[row]);
  });
  c.On("lstNameScanFilters", ui::ControlEvent::kClick,
       [controls] { controls->SetEnabled("cmdRemoveNameScanFilter", true); });
  c.On("lstEquipmentScanFilters", ui::ControlEvent::kClick,
       [controls] { controls->SetEnabled("cmdRemoveEquipmentScanFilter", true); });
  c.On("cmdRemoveNameScanFilter", ui::ControlEvent::kClick, [controls, s] {
    RemoveSelected(*controls, "lstNameScanFilters", s->lstNameScanFilters,
                   "cmdRemoveNameScanFilter");
  });
  c.On("cmdRemoveEquipmentScanFilter", ui::ControlEvent::kClick, [controls, s] {
    RemoveSelected(*controls, "lstEquipmentScanFilters", s->lstEquipmentScanFilters,
                   "cmdRemoveEquipmentScanFilter");
  });
  c.On("chkAutoBanPlayersWithUnknownEquipment", ui::ControlEvent::kClick, [parts] {
    ui::Controls& controls = parts.controls;
    if (controls.Get("chkAutoBanPlayersWithUnknownEquipment").value() == 0) return;
    if (controls.Get("lblStatus").text() == kLoadingStatus) return;
    if (!parts.frontend().AskOkCancel("Unknown Equipment", kUnknownEquipmentQuestion)) {
      controls.SetValue("chkAutoBanPlayersWithUnknownEquipment", 0);
    }
  });
  c.On("vscPlayerCharacterNumberLimit", ui::ControlEvent::kChange, [controls, s] {
    controls->SetText(
        "lblPlayerCharacterNumberLimit",
        "Limit players to " + std::to_string(s->vscPlayerCharacterNumberLimit) + " characters");
  });
}

}  // namespace helmsman::moderation
