#include "console/editor/editor_session.h"

#include "console/moderation/operator_actions.h"
#include "console/players/player_screen_lists.h"

namespace helmsman::editor {

namespace {

constexpr char kEditWarning[] =
    "Editing your players may have adverse effects on their files, and they may be rendered "
    "inoperable!  USE AT YOUR OWN RISK.  No changes will be made to their file until you press "
    "the SAVE CHANGES button.";

}  // namespace

void EditorSession::Open(EditorMode mode) {
  // An editor that is closing is still inside its handler: replacing it now would delete it
  // under its own feet.
  if (editor() != nullptr || busy()) return;
  ui::Controls& main = parts_.main_controls;
  const std::string name = moderation::SelectedRow(main, "lstPlayers");
  const players::PlayerRecord* record = parts_.players.At(parts_.players.FindByName(name));
  if (name.empty() || record == nullptr) return;
  ui::Frontend& frontend = parts_.frontend();
  const bool was_running = main.Get("tmrMainEventTimer").enabled();
  main.SetEnabled("tmrMainEventTimer", false);
  auto give_up = [&] { main.SetEnabled("tmrMainEventTimer", was_running); };
  bool banned_for_edit = false;
  if (mode == EditorMode::kEdit) {
    if (!frontend.AskOkCancel("Player Edit Confirmation", kEditWarning)) return give_up();
    if (was_running && !players::IsBannedAccount(parts_.files.files, record->account_folder)) {
      if (!frontend.AskOkCancel("Kick/Ban Confirmation",
                                "Player " + name +
                                    " will be banned for the duration of the edit.  If they are "
                                    "online, they will be kicked.  Proceed?")) {
        return give_up();
      }
      banned_for_edit = BanForEdit(*record);
      lists_changed_ = banned_for_edit || lists_changed_;
    }
  }
  name_ = name;
  banned_for_edit_ = banned_for_edit;
  timer_was_running_ = was_running;
  // Copies: the ban's list rebuild and the editor's reads must not hold on to the record.
  const std::string folder = record->account_folder;
  const std::string file = record->file_name;
  // The editor asks for the frontend anew each time: a control request that opened it
  // brings a frontend that lasts only as long as the request.
  open_ = std::make_unique<PlayerEditor>(
      parts_.files, parts_.frontend, [this](CloseReason reason) { Closed(reason); }, mode);
  open_->set_journal(parts_.journal, parts_.actor, name);
  if (listener_) listener_(open_.get());
  open_->Load(folder, file);
}

bool EditorSession::BanForEdit(const players::PlayerRecord& record) {
  const std::string name = record.name;
  const std::string account_folder = record.account_folder;
  parts_.status.Set("Banning player...");
  const server::CommandResult result =
      parts_.channel.Run("ban " + name, server::kOperatorReplySize);
  if (!result.successful) {
    parts_.status.Set("Unable to ban player!");
    return false;
  }
  parts_.logs.Append(logs::LogId::kServerActivity,
                     ": Player " + name + " banned by helmsman for edit");
  moderation::JournalAction(parts_.journal, "ban", moderation::ActorName(parts_.actor),
                            account_folder, name, {{"ban", "edit"}});
  parts_.main_controls.SetText("cmdBanToggle", "Unban Player");
  parts_.status.Set(ui::kGoodToGo);
  return true;
}

void EditorSession::Closed(CloseReason reason) {
  // Only the ban this editor placed: an operator's ban of the account stays.
  if (banned_for_edit_) Unban(reason != CloseReason::kTimeOut);
  banned_for_edit_ = false;
  players::PlayerList& list = parts_.players;
  const int index = list.FindByName(name_);
  if (const players::PlayerRecord* record = list.At(index)) {
    const std::string folder = record->account_folder;
    const std::string file = record->file_name;
    parts_.reader.Read(list, index, folder, file);
  }
  if (lists_changed_ && parts_.rebuild_lists) parts_.rebuild_lists();
  lists_changed_ = false;
  if (timer_was_running_) moderation::ResumeTimer(parts_.main_controls);
  if (listener_) listener_(nullptr);
}

void EditorSession::Unban(bool ask) {
  if (ask && !parts_.frontend().AskOkCancel("Unban Confirmation", "Unban player " + name_ + "?")) {
    return;
  }
  parts_.status.Set("Unbanning player...");
  const players::PlayerRecord* record = parts_.players.At(parts_.players.FindByName(name_));
  if (!moderation::LiftEditBan(parts_.channel, parts_.logs, parts_.pending_edit_unbans, name_,
                               parts_.journal, moderation::ActorName(parts_.actor),
                               record ? record->account_folder : "")) {
    parts_.status.Set("Unable to unban player!");
    return;
  }
  parts_.main_controls.SetText("cmdBanToggle", "Ban Player");
  parts_.status.Set(ui::kGoodToGo);
  lists_changed_ = true;
}

void WireEditorButtons(ui::Controls& main_controls, EditorSession& session) {
  main_controls.On("cmdEditPlayer", ui::ControlEvent::kClick,
                   [&session] { session.Open(EditorMode::kEdit); });
  main_controls.On("cmdViewPlayer", ui::ControlEvent::kClick,
                   [&session] { session.Open(EditorMode::kView); });
}

}  // namespace helmsman::editor
