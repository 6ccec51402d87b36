#include "console/players/player_screen_lists.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace helmsman::players {

namespace {

using ui::Controls;

bool ContainsIgnoreCase(std::string_view text, std::string_view part) {
  if (part.empty()) return true;
  auto lower = [](char c) { return std::tolower(static_cast<unsigned char>(c)); };
  auto it = std::search(text.begin(), text.end(), part.begin(), part.end(),
                        [&](char a, char b) { return lower(a) == lower(b); });
  return it != text.end();
}

std::string Count(size_t count) { return std::to_string(count); }

// The names of the records in use that pass keep, in list order.
template <typename Keep>
std::vector<std::string> NamesWhere(const PlayerList& list, Keep keep) {
  std::vector<std::string> names;
  for (const PlayerRecord& record : list.InUse()) {
    if (keep(record)) names.push_back(record.name);
  }
  return names;
}

}  // namespace

bool IsBannedAccount(platform::FileSystem& files, const std::string& account_folder) {
  // The exact name is the common case and needs no listing.
  if (files.FileExists(platform::JoinPath(account_folder, kBanMarkerName))) return true;
  std::vector<platform::DirEntry> entries;
  if (!files.ListDirectory(account_folder, &entries)) return false;
  return std::any_of(entries.begin(), entries.end(), [](const platform::DirEntry& e) {
    return !e.is_directory && platform::EqualsIgnoreCase(e.name, kBanMarkerName);
  });
}

bool BanMarkers::IsBanned(const std::string& account_folder) {
  auto it = known_.find(account_folder);
  if (it != known_.end()) return it->second;
  bool banned = IsBannedAccount(files_, account_folder);
  known_.emplace(account_folder, banned);
  return banned;
}

const std::vector<std::string>& PlayerSummaryLabels() {
  static const std::vector<std::string> labels = {
      "lblPlayerName",   "lblPlayerRank",       "lblPlayerMoney",      "lblPlayerLocation",
      "lblPlayerKills",  "lblPlayerTimePlayed", "lblPlayerLastOnline", "lblPlayerShip",
      "lblPlayerShield", "lblPlayerGenerator",  "lblPlayerCreated",    "lblPlayerLastUpdate"};
  return labels;
}

const std::vector<std::string>& PlayerSelectionButtons() {
  static const std::vector<std::string> buttons = {
      "cmdBanToggle", "cmdUpdatePlayerInfo", "cmdEditPlayer", "cmdViewPlayer", "cmdDeletePlayer"};
  return buttons;
}

void ClearPlayerSummary(Controls& controls) {
  for (const std::string& label : PlayerSummaryLabels()) {
    controls.SetText(label, "");
    controls.SetEnabled(label, false);
  }
  for (const char* list : {"lstPlayerGuns", "lstPlayerJournal"}) {
    controls.ClearRows(list);
    controls.SetEnabled(list, false);
  }
  for (const std::string& button : PlayerSelectionButtons()) controls.SetEnabled(button, false);
  // Without a selection the check box can only be cleared again.
  controls.SetEnabled("chkDisplayOnlyNamesForThisPlayer",
                      controls.Get("chkDisplayOnlyNamesForThisPlayer").value() != 0);
}

void ClearBanInformation(Controls& controls) {
  controls.SetText("lblPlayerBannedUntil", "");
  controls.SetText("txtBanReason", "");
  for (const char* name : {"txtBanReason", "cmdViewBannedPlayerInfo", "cmdUnbanPlayer",
                           "optBanDuration_0", "optBanDuration_1", "cmdSetBanReason",
                           "cmdSetUnbanTime", "cmbBanUntilTime", "calBanUntilDate"}) {
    controls.SetEnabled(name, false);
  }
  controls.SetEnabled("chkDisplayOnlyNamesForThisBannedPlayer",
                      controls.Get("chkDisplayOnlyNamesForThisBannedPlayer").value() != 0);
}

void ShowPlayerSummary(Controls& controls, const PlayerRecord& record, bool banned) {
  const std::pair<const char*, std::string> texts[] = {
      {"lblPlayerName", record.name},
      {"lblPlayerRank", record.rank},
      {"lblPlayerMoney", record.money},
      {"lblPlayerLocation", record.location + ", " + record.system},
      {"lblPlayerKills", record.kills},
      {"lblPlayerTimePlayed", record.time_played},
      {"lblPlayerLastOnline", record.last_saved},
      {"lblPlayerShip", record.ship},
      {"lblPlayerShield", record.shield},
      {"lblPlayerGenerator", record.power_generator},
      {"lblPlayerCreated", record.first_seen},
      {"lblPlayerLastUpdate", record.last_read},
  };
  for (const auto& [label, text] : texts) {
    controls.SetText(label, text);
    controls.SetEnabled(label, true);
  }
  std::vector<std::string> guns;
  for (const std::string& weapon : record.weapons) {
    if (weapon.empty()) break;
    guns.push_back(weapon);
  }
  controls.SetRows("lstPlayerGuns", std::move(guns));
  controls.SetEnabled("lstPlayerGuns", true);
  for (const std::string& button : PlayerSelectionButtons()) controls.SetEnabled(button, true);
  controls.SetEnabled("chkDisplayOnlyNamesForThisPlayer", true);
  controls.SetText("cmdBanToggle", banned ? "Unban Player" : "Ban Player");
}

std::string PlayerJournalLine(const safety::JournalEntry& entry) {
  std::string time = entry.time;
  if (time.size() > 10 && time[10] == 'T') time[10] = ' ';
  std::string line = time + " " + entry.action + " by " + entry.actor;
  for (size_t i = 0; i < entry.details.size(); ++i) {
    line += (i == 0 ? ": " : ", ") + entry.details[i].first + "=" + entry.details[i].second;
  }
  return line;
}

void ShowPlayerJournal(Controls& controls, safety::Journal& journal, const PlayerRecord& record,
                       size_t last) {
  const std::string account = platform::BaseName(record.account_folder);
  const std::vector<safety::JournalEntry> entries = journal.Read({record.name, "", "", 0});
  std::vector<std::string> lines;
  for (auto it = entries.rbegin(); it != entries.rend() && lines.size() < last; ++it) {
    if (it->account.empty() || it->account == account) lines.push_back(PlayerJournalLine(*it));
  }
  controls.SetRows("lstPlayerJournal", std::move(lines));
  controls.SetEnabled("lstPlayerJournal", true);
}

void FillScreenLists(Controls& controls, const PlayerList& list, platform::FileSystem& files) {
  controls.SetText("txtPlayerListFilter", "");
  controls.SetText("txtBannedPlayerListFilter", "");
  controls.SetValue("chkDisplayOnlyNamesForThisPlayer", 0);
  controls.SetValue("chkDisplayOnlyNamesForThisBannedPlayer", 0);
  ClearPlayerSummary(controls);
  ClearBanInformation(controls);

  BanMarkers markers(files);
  std::vector<std::string> players = NamesWhere(list, [](const PlayerRecord&) { return true; });
  std::vector<std::string> banned =
      NamesWhere(list, [&](const PlayerRecord& r) { return markers.IsBanned(r.account_folder); });
  controls.SetText("fraPlayerList", "Player List (" + Count(players.size()) + " players)");
  controls.SetText("fraBannedPlayers", "Banned Players (" + Count(banned.size()) + " players)");
  controls.SetRows("lstPlayers", std::move(players));
  controls.SetRows("lstBannedPlayers", std::move(banned));
}

void FilterPlayerList(Controls& controls, const PlayerList& list) {
  ClearPlayerSummary(controls);
  std::string filter = controls.Get("txtPlayerListFilter").text();
  std::vector<std::string> names =
      NamesWhere(list, [&](const PlayerRecord& r) { return ContainsIgnoreCase(r.name, filter); });
  controls.SetText("fraPlayerList", "Player List (" + Count(names.size()) + " players" +
                                        (filter.empty() ? ") " : " - FILTERED) "));
  controls.SetRows("lstPlayers", std::move(names));
}

void EmptyPlayerListFilter(Controls& controls, const PlayerList& list) {
  if (controls.Get("txtPlayerListFilter").text().empty()) return;
  controls.SetText("txtPlayerListFilter", "");
  FilterPlayerList(controls, list);
}

void ClearDisplayOnlyNamesForThisPlayer(Controls& controls, const PlayerList& list) {
  if (controls.Get("chkDisplayOnlyNamesForThisPlayer").value() == 0) return;
  controls.SetValue("chkDisplayOnlyNamesForThisPlayer", 0);
  DisplayOnlyNamesForThisPlayer(controls, list);
}

void FilterBannedPlayerList(Controls& controls, const PlayerList& list,
                            platform::FileSystem& files) {
  ClearBanInformation(controls);
  std::string filter = controls.Get("txtBannedPlayerListFilter").text();
  BanMarkers markers(files);
  std::vector<std::string> names = NamesWhere(list, [&](const PlayerRecord& r) {
    return ContainsIgnoreCase(r.name, filter) && markers.IsBanned(r.account_folder);
  });
  controls.SetText("fraBannedPlayers", "Banned Players (" + Count(names.size()) + " players" +
                                           (filter.empty() ? ")" : " - FILTERED)"));
  controls.SetRows("lstBannedPlayers", std::move(names));
}

int SelectPlayer(Controls& controls, const PlayerList& list, platform::FileSystem& files) {
  int index = list.FindByName(SelectedRow(controls, "lstPlayers"));
  if (index == kNoPlayer) {
    ClearPlayerSummary(controls);
    return kNoPlayer;
  }
  const PlayerRecord& record = *list.At(index);
  ShowPlayerSummary(controls, record, IsBannedAccount(files, record.account_folder));
  return index;
}

namespace {

// A "display only this account" check box was checked: the list shows the characters whose
// records have the selected record's account folder, and the frame says whose they are. (A
// ban covers the whole account, so on the bans tab these are all banned too.)
void ShowOnlyTheAccount(Controls& controls, const PlayerList& list, const char* list_control,
                        const char* frame, const std::string& caption) {
  int index = list.FindByName(SelectedRow(controls, list_control));
  if (index == kNoPlayer) return;
  const PlayerRecord& selected = *list.At(index);
  std::vector<std::string> names = NamesWhere(
      list, [&](const PlayerRecord& r) { return r.account_folder == selected.account_folder; });
  controls.SetText(frame, caption + selected.name);
  controls.SetRows(list_control, std::move(names));
}

}  // namespace

void DisplayOnlyNamesForThisPlayer(Controls& controls, const PlayerList& list) {
  if (controls.Get("chkDisplayOnlyNamesForThisPlayer").value() == 0) {
    // Going through "1" makes sure the filter changes, which rebuilds the whole list.
    controls.SetText("txtPlayerListFilter", "1");
    controls.SetText("txtPlayerListFilter", "");
    FilterPlayerList(controls, list);
    return;
  }
  ShowOnlyTheAccount(controls, list, "lstPlayers", "fraPlayerList", "Player List - ");
  ClearPlayerSummary(controls);
}

void DisplayOnlyNamesForThisBannedPlayer(Controls& controls, const PlayerList& list,
                                         platform::FileSystem& files) {
  if (controls.Get("chkDisplayOnlyNamesForThisBannedPlayer").value() == 0) {
    controls.SetText("txtBannedPlayerListFilter", "1");
    controls.SetText("txtBannedPlayerListFilter", "");
    FilterBannedPlayerList(controls, list, files);
    return;
  }
  ShowOnlyTheAccount(controls, list, "lstBannedPlayers", "fraBannedPlayers", "Banned Players  - ");
  ClearBanInformation(controls);
}

std::string SelectedRow(const Controls& controls, const std::string& list_control) {
  const ui::Control& control = controls.Get(list_control);
  int row = control.selected();
  if (row < 0 || row >= static_cast<int>(control.rows().size())) return "";
  return control.rows()[static_cast<size_t>(row)];
}

}  // namespace helmsman::players
