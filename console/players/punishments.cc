#include "console/players/punishments.h"
#include <algorithm>
#include <cmath>
#include <limits>

#include "console/players/working_text.h"

namespace helmsman::players {

namespace {

using logs::LogId;

std::string PleaseReport() {
  return std::string("!  Please report bug (and send this .qv file) to ") + kBugReportAddress + "!";
}

void Show(ui::Frontend* frontend, const std::string& text) {
  if (frontend) frontend->ShowMessage(kPunishmentMessageTitle, text);
}

// The selected base of `cmbAvailableBases`, "" when none.
std::string SelectedBase(const ui::Controls& controls) {
  const ui::Control& bases = controls.Get("cmbAvailableBases");
  int index = bases.selected();
  if (index < 0 || index >= static_cast<int>(bases.rows().size())) return "";
  return bases.rows()[static_cast<size_t>(index)];
}

double FineValue(const ui::Controls& controls) {
  return ReadNumber(controls.Get("txtKickedPlayersFine").text());
}

bool TimerRunning(const ui::Controls& controls) {
  return controls.Get("tmrMainEventTimer").enabled();
}

}  // namespace

bool RewriteCharacterFile(CharacterFileServices& services, ui::Frontend* frontend,
                          const WorkingText& text, const std::string& account_folder,
                          const std::string& file_name) {
  platform::FileSystem& files = services.files;
  std::string output = platform::JoinPath(services.program_folder, kRewriteTempFileName);
  std::string character = platform::JoinPath(account_folder, file_name);
  std::string encoded = output + kEncodeTempSuffix;
  std::string error;
  if (files.IsLink(account_folder) || files.IsLink(character)) {
    Show(frontend, "Error replacing " + character +
                       " (it is reached through a link, which is never written through)!  The "
                       "character file was not changed.");
    return false;
  }
  // Encoding a half-written text would put a damaged character into the file.
  if (!files.WriteFile(output, text.RewrittenText(), &error)) {
    files.RemoveFile(output);
    Show(frontend, "Error writing " + output + " (" + error + ")!  The character file " +
                       character + " was not changed.");
    return false;
  }
  int32_t code = services.codec(kCodecEncode, output, encoded);
  bool ok = code == 0;
  std::string bytes;
  if (!ok) {
    Show(frontend,
         "Error Re-encoding File! Voxbrine can't code! Error number " + HexErrorNumber(code));
  } else if (!(ok = files.ReadFile(encoded, &bytes, &error) &&
                    files.WriteFileDurably(character, bytes, &error))) {
    Show(frontend, "Error replacing " + character + " (" + error +
                       ")!  The character file was "
                       "not changed.");
  }
  files.RemoveFile(encoded);
  files.RemoveFile(output);
  return ok;
}

bool Punishments::FinePlayer(PlayerList& list, int index, int32_t fine) {
  PlayerRecord* record = list.At(index);
  if (record == nullptr || record->is_free()) return false;
  Log(": Helmsman punishing player " + record->name + " by deducting " + std::to_string(fine) +
      " credits.");
  if (!Load(*record, index)) return false;
  int line = text_.Find(0, kMoneyKey);
  if (line < 0) {
    Show(frontend_, std::string("Error, cannot find money line!  Please report this bug (and "
                                "send this .qv file) to ") +
                        kBugReportAddress + "!");
    return false;
  }
  const std::string before(ValueOf(text_.line(line)));
  double money = ReadNumber(before);
  std::string left = NumberText(money < fine ? 0 : money - fine);
  text_.Replace(line, std::string(kMoneyKey) + left);
  Log(": Player " + record->name + " now has " + left + " credits.");
  if (!RewriteCharacterFile(services_, frontend_, text_, record->account_folder,
                            record->file_name)) {
    return false;
  }
  // Only now: a record showing money the file does not hold would mislead the operator.
  record->money = left;
  JournalChange(*record, "fine",
                {{"fine", std::to_string(fine)}, {"money", before + " -> " + left}});
  return true;
}

bool Punishments::MovePlayerToBase(PlayerList& list, int index,
                                   const std::string& base_display_name) {
  PlayerRecord* record = list.At(index);
  if (record == nullptr || record->is_free()) return false;
  Log(": Helmsman moving player " + record->name + " to base " + base_display_name + ".");
  if (!Load(*record, index)) return false;
  const gamedata::Entry* base =
      services_.catalogue.FindByDisplayName(gamedata::Table::kBases, base_display_name);
  if (base == nullptr) {
    Show(frontend_, "Unknown base name [" + base_display_name +
                        "], please report bug (and send this .qv file) to " + kBugReportAddress +
                        "!");
    return false;
  }
  const std::string& nickname = base->nickname;
  int place = text_.Find(0, kBaseKey, kPosKey);
  if (place < 0) return Refuse("Unable to find base or pos line in inputfile");
  bool in_space = StartsWith(text_.line(place), kPosKey);
  // Where it was, for the journal: the base's nickname, or "pos " and the position.
  const std::string from = (in_space ? "pos " : "") + std::string(ValueOf(text_.line(place)));
  text_.Replace(place, std::string(kBaseKey) + nickname);
  if (in_space) text_.Replace(place + 1, "");  // the line after the position goes too
  int last_base = text_.Find(0, kLastBaseKey);
  if (last_base < 0) return Refuse("Unable to find the last_base line in inputfile");
  text_.Replace(last_base, std::string(kLastBaseKey) + nickname);
  int system = text_.Find(0, kSystemKey);
  if (system < 0) return Refuse("Unable to find system line in inputfile");
  size_t underscore = nickname.find('_');
  // The base's system is the prefix of its nickname; without one there is no system to set.
  if (underscore == std::string::npos) {
    return Refuse("Unable to find the system of base " + nickname + " in its nickname");
  }
  text_.Replace(system, std::string(kSystemKey) + nickname.substr(0, underscore));
  Log(": Player " + record->name + " was moved to base " + base_display_name + ".");
  if (!RewriteCharacterFile(services_, frontend_, text_, record->account_folder,
                            record->file_name)) {
    return false;
  }
  JournalChange(*record, "move", {{"base", base_display_name}, {"from", from}});
  return true;
}

bool Punishments::Load(const PlayerRecord& record, int index) {
  return LoadCharacterText(services_, index, record.account_folder, record.file_name, &text_);
}

void Punishments::JournalChange(const PlayerRecord& record, const std::string& action,
                          std::vector<std::pair<std::string, std::string>> details) {
  if (journal_ == nullptr) return;
  safety::JournalEntry entry;
  entry.action = action;
  entry.actor = actor_ ? actor_() : "operator";
  entry.account = platform::BaseName(record.account_folder);
  entry.character = record.name;
  entry.details = std::move(details);
  journal_->Append(std::move(entry));
}

bool Punishments::Refuse(const std::string& what) {
  Show(frontend_, what + PleaseReport());
  return false;
}

void Punishments::Log(const std::string& message) {
  services_.logs.Append(LogId::kServerActivity, message);
}

void RebuildKickMessagePart2(ui::Controls& controls) {
  std::string fine = controls.Get("txtKickedPlayersFine").text();
  std::string base = SelectedBase(controls);
  bool fine_active = controls.Get("chkFineKickedPlayers").value() != 0 && FineValue(controls) > 0;
  bool transfer_active = controls.Get("chkSendKickedPlayersToBase").value() != 0 && !base.empty();
  std::string text;
  if (transfer_active) text = "and is being sent to " + base;
  if (fine_active) text += (transfer_active ? " and fined " : "and fined ") + fine + " credits ";
  controls.SetText("txtKickMessagePart2", text);
}

void FineKickedPlayersClicked(ui::Controls& controls, ui::Frontend& frontend) {
  if (controls.Get("chkFineKickedPlayers").value() != 0 && FineValue(controls) <= 0) {
    controls.SetValue("chkFineKickedPlayers", 0);
    frontend.ShowMessage(kPunishmentMessageTitle, "Input the fine value to enable this setting");
  }
  RebuildKickMessagePart2(controls);
}

void SendKickedPlayersToBaseClicked(ui::Controls& controls, ui::Frontend& frontend) {
  if (controls.Get("chkSendKickedPlayersToBase").value() != 0 && SelectedBase(controls).empty()) {
    controls.SetValue("chkSendKickedPlayersToBase", 0);
    frontend.ShowMessage(kPunishmentMessageTitle, "Pick a base to enable this setting!");
  }
  RebuildKickMessagePart2(controls);
}

void AvailableBasesChosen(ui::Controls& controls, ui::Frontend& frontend) {
  if (!TimerRunning(controls)) return;
  controls.SetValue("chkSendKickedPlayersToBase", 0);
  SendKickedPlayersToBaseClicked(controls, frontend);
  controls.SetValue("chkSendKickedPlayersToBase", 1);
  SendKickedPlayersToBaseClicked(controls, frontend);
}

void KickedPlayersFineChanged(ui::Controls& controls, ui::Frontend& frontend) {
  double value = FineValue(controls);
  controls.SetText("txtKickedPlayersFine", NumberText(value));
  controls.SetValue("chkFineKickedPlayers", 0);
  FineKickedPlayersClicked(controls, frontend);
  if (value >= 1 && !TimerRunning(controls)) {
    controls.SetValue("chkFineKickedPlayers", 1);
    FineKickedPlayersClicked(controls, frontend);
  }
}

void WireKickSettings(ui::Controls& controls, std::function<ui::Frontend&()> frontend) {
  using ui::ControlEvent;
  controls.On("chkFineKickedPlayers", ControlEvent::kClick,
              [&controls, frontend] { FineKickedPlayersClicked(controls, frontend()); });
  controls.On("chkSendKickedPlayersToBase", ControlEvent::kClick,
              [&controls, frontend] { SendKickedPlayersToBaseClicked(controls, frontend()); });
  for (ControlEvent event : {ControlEvent::kChange, ControlEvent::kClick}) {
    controls.On("cmbAvailableBases", event,
                [&controls, frontend] { AvailableBasesChosen(controls, frontend()); });
  }
  controls.On("txtKickedPlayersFine", ControlEvent::kChange,
              [&controls, frontend] { KickedPlayersFineChanged(controls, frontend()); });
}

void ApplyKickPunishments(Punishments& punishments, ui::Controls& controls, ui::StatusLine& status,
                          PlayerList& list, int index) {
  const PlayerRecord* record = list.At(index);
  if (record == nullptr || record->is_free()) return;
  std::string name = record->name;
  if (controls.Get("chkFineKickedPlayers").value() != 0) {
    status.Set("Changing money for player " + name);
    double fine = std::clamp(std::floor(FineValue(controls)), 0.0,
                             static_cast<double>(std::numeric_limits<int32_t>::max()));
    punishments.FinePlayer(list, index, static_cast<int32_t>(fine));
  }
  std::string base = SelectedBase(controls);
  if (controls.Get("chkSendKickedPlayersToBase").value() != 0 && !base.empty()) {
    status.Set("Changing location of player " + name);
    punishments.MovePlayerToBase(list, index, base);
  }
}

}  // namespace helmsman::players
