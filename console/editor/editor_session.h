// Opening the player editor from the main window and the steps that run when it closes.
//
// cmdEditPlayer and cmdViewPlayer open the editor on the character selected in `lstPlayers`
// (the first record with that name). Both remember whether the main event timer was running
// and stop it: while the editor is open no standing job reads or rewrites the file.
//
// Edit asks "Player Edit Confirmation"; with the timer running (the console operates the
// server) and the account not banned, it asks "Kick/Ban Confirmation" and bans the character
// for the duration of the edit ("ban " + name, the command path of the operator's ban).
// Closing then offers the unban ("Unban Confirmation"; after the inactivity time-out it is
// sent without asking), reads the character's file again into its record and switches the
// main event timer back on when it was running at the opening and the server is still the
// console's.
//
// Only a ban this editor placed is lifted: an account that was banned already, or whose
// edit ban the server refused, keeps its ban when the editor closes. An unban that fails
// (the character's file vanished while the editor was open) is said in the HELM error log
// and left to the unban check, which tries it again until it goes through (see
// moderation::PendingEditUnbans). An operator who answers Cancel keeps the ban.
//
// One editor is open at a time: a second opening while one is open does nothing. A closed
// editor is kept until the next opening or the session's end, because it closes from inside
// its own handlers.
#ifndef HELMSMAN_CONSOLE_EDITOR_EDITOR_SESSION_H_
#define HELMSMAN_CONSOLE_EDITOR_EDITOR_SESSION_H_

#include <functional>
#include <memory>
#include <string>

#include "console/editor/player_editor.h"
#include "console/logs/logs.h"
#include "console/moderation/bans.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_list.h"
#include "console/server/command_channel.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"

namespace helmsman::editor {

struct EditorParts {
  ui::Controls& main_controls;  // lstPlayers, cmdBanToggle, tmrMainEventTimer, cmdToggleServer
  ui::StatusLine& status;       // the main window's status line
  server::CommandChannel& channel;
  logs::Logs& logs;
  players::PlayerList& players;
  players::PlayerFileReader& reader;
  players::CharacterFileServices files;
  std::function<ui::Frontend&()> frontend;
  // Rebuilds the main window's player lists after a ban or an unban.
  std::function<void()> rebuild_lists;
  // Where an edit ban whose unban failed is left for the unban check; nullptr = nowhere
  // (the failure is still logged).
  moderation::PendingEditUnbans* pending_edit_unbans = nullptr;
  // The action journal (nullptr = none kept) and who acts ("operator" when empty): the edit
  // ban and its unban, and the editor's saves.
  safety::Journal* journal = nullptr;
  std::function<std::string()> actor = nullptr;
};

class EditorSession {
 public:
  // Called with the editor when it opens and with nullptr when it has closed.
  using Listener = std::function<void(PlayerEditor*)>;

  explicit EditorSession(EditorParts parts) : parts_(std::move(parts)) {}

  // The handlers of cmdEditPlayer and cmdViewPlayer.
  void Open(EditorMode mode);
  // The open editor, nullptr when none is open.
  PlayerEditor* editor() { return open_ && !open_->closed() ? open_.get() : nullptr; }
  // The character of the open (or last) editor: the name selected when it opened.
  const std::string& player() const { return name_; }
  // A handler of the editor still runs, perhaps waiting for the server in its closing steps:
  // no other editor may open, and nothing else may act on this one, until it returns.
  bool busy() const { return open_ && open_->controls().firing() > 0; }
  void set_listener(Listener listener) { listener_ = std::move(listener); }

 private:
  bool BanForEdit(const players::PlayerRecord& record);
  void Closed(CloseReason reason);
  void Unban(bool ask);

  EditorParts parts_;
  Listener listener_;
  std::unique_ptr<PlayerEditor> open_;
  std::string name_;
  bool timer_was_running_ = false;
  bool banned_for_edit_ = false;  // this editor's "ban " + name went through
  bool lists_changed_ = false;
};

// Wires cmdEditPlayer and cmdViewPlayer to the session.
void WireEditorButtons(ui::Controls& main_controls, EditorSession& session);

}  // namespace helmsman::editor

#endif  // HELMSMAN_CONSOLE_EDITOR_EDITOR_SESSION_H_
