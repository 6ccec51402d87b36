// Punishments written into a kicked character's file: a fine, which takes credits from the
// character, and a transfer, which docks the character at a chosen base. Both decode the
// file as the reader does (no line-count check), change a few lines and write the text back
// through the shared output file "QVCharEditorTempFile.txt" in the program folder.
//
// Writing back never leaves a damaged or empty character file: the text is encoded into a
// temporary file in the program folder ("QVCharEditorTempFile.txt" + ".enc"), and only a
// complete encode replaces the character file, through the durable write (a temporary file
// beside it created exclusively under a random name, flushed, renamed over it, the folder
// flushed). An account folder or character file that is a link is never written through. A
// failed write of the output file, a failed encode or a failed replace shows its message
// and leaves the character file as it was; the temporary files are deleted in every case.
//
// Reports: the activity lines go to the server activity log, decoding failures to the HELM
// error log (as the reader reports them), everything else is a message box with OK (title
// kPunishmentMessageTitle). The four "please report" messages end with kBugReportAddress.
//
// Also here: the kick settings `chkFineKickedPlayers`, `txtKickedPlayersFine`,
// `chkSendKickedPlayersToBase`, `cmbAvailableBases` and the kick message's second half
// `txtKickMessagePart2` that they maintain.
#ifndef HELMSMAN_CONSOLE_PLAYERS_PUNISHMENTS_H_
#define HELMSMAN_CONSOLE_PLAYERS_PUNISHMENTS_H_

#include <cstdint>
#include <functional>
#include <string>

#include "console/players/player_file_reader.h"
#include "console/players/player_list.h"
#include "console/players/working_text.h"
#include "console/safety/journal.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"

namespace helmsman::players {

inline constexpr char kRewriteTempFileName[] = "QVCharEditorTempFile.txt";
inline constexpr char kEncodeTempSuffix[] = ".enc";
inline constexpr char kBugReportAddress[] = "helmsman-bugs@voxbrine.example";
inline constexpr char kPunishmentMessageTitle[] = "Helmsman";

// Writes text's lines (line 1 up to the end marker, empty ones left out, CR LF after each)
// to "QVCharEditorTempFile.txt", encodes that into "QVCharEditorTempFile.txt.enc" and
// writes the result durably over the character file. On failure shows one message (for a failed
// encode "Error Re-encoding File! Voxbrine can't code! Error number " + hex number) and
// returns false with the character file untouched (frontend may be null: no message).
// Shared with the player editor.
bool RewriteCharacterFile(CharacterFileServices& services, ui::Frontend* frontend,
                          const WorkingText& text, const std::string& account_folder,
                          const std::string& file_name);

class Punishments {
 public:
  explicit Punishments(CharacterFileServices services) : services_(std::move(services)) {}
  // Message boxes; without one they are not shown (the outcome is the same).
  void set_frontend(ui::Frontend* frontend) { frontend_ = frontend; }
  // The action journal that gets every fine ("fine") and move ("move") written to a file,
  // with who acts ("operator" when actor is empty); nullptr = none kept.
  void set_journal(safety::Journal* journal, std::function<std::string()> actor) {
    journal_ = journal;
    actor_ = std::move(actor);
  }

  // Takes fine credits from the character of record index: money below the fine becomes 0,
  // else money - fine. Logs ": Helmsman punishing player " + name + " by deducting " + fine
  // + " credits." and ": Player " + name + " now has " + money + " credits."; the record's
  // money shows the new amount once the file holds it. Without a "money = " line shows
  // "Error, cannot find money line!  Please report this bug (and send this .qv file) to " ...
  // True when the file was rewritten.
  bool FinePlayer(PlayerList& list, int index, int32_t fine);

  // Docks the character at the base with that display name: "base = " (or a "pos = " line,
  // whose following line is dropped) and "last_base = " become the base's nickname, and
  // "system = " the nickname up to its first "_". Logs ": Helmsman moving player " + name +
  // " to base " + base + "." and ": Player " + name + " was moved to base " + base + ".".
  // Refused with a message, nothing written, for an unknown base, a file without a base or
  // pos line, a last_base line or a system line, and a base nickname without "_". The record
  // is not changed (the next read shows the new place). True when the file was rewritten.
  bool MovePlayerToBase(PlayerList& list, int index, const std::string& base_display_name);

 private:
  bool Load(const PlayerRecord& record, int index);
  void JournalChange(const PlayerRecord& record, const std::string& action,
               std::vector<std::pair<std::string, std::string>> details);
  bool Refuse(const std::string& what);
  void Log(const std::string& message);

  CharacterFileServices services_;
  ui::Frontend* frontend_ = nullptr;
  safety::Journal* journal_ = nullptr;
  std::function<std::string()> actor_;
  WorkingText text_;
};

// The kick settings. `txtKickMessagePart2` by the fine and transfer that are active:
//   neither: ""; fine: "and fined " + fine + " credits "; transfer: "and is being sent to " +
//   base; both: "and is being sent to " + base + " and fined " + fine + " credits ".
// The fine is active when `chkFineKickedPlayers` is checked and the numeric value of
// `txtKickedPlayersFine` is above 0; the transfer when `chkSendKickedPlayersToBase` is
// checked and `cmbAvailableBases` has a base selected.
void RebuildKickMessagePart2(ui::Controls& controls);
// `chkFineKickedPlayers` clicked: checked while the fine is 0 or less unchecks it and shows
// "Input the fine value to enable this setting"; then the message is rebuilt.
void FineKickedPlayersClicked(ui::Controls& controls, ui::Frontend& frontend);
// `chkSendKickedPlayersToBase` clicked: checked without a base unchecks it and shows "Pick a
// base to enable this setting!"; then the message is rebuilt.
void SendKickedPlayersToBaseClicked(ui::Controls& controls, ui::Frontend& frontend);
// A base chosen in `cmbAvailableBases` (change and click): while the main event timer runs,
// the transfer check box is unchecked and checked again, each with its click rule.
void AvailableBasesChosen(ui::Controls& controls, ui::Frontend& frontend);
// `txtKickedPlayersFine` changed: its text becomes the text of its numeric value ("250abc"
// gives "250"), the fine check box is unchecked, and checked again only when the value is at
// least 1 and the main event timer is not running (settings being loaded at start-up).
void KickedPlayersFineChanged(ui::Controls& controls, ui::Frontend& frontend);
// Registers the four rules above as the controls' handlers.
void WireKickSettings(ui::Controls& controls, std::function<ui::Frontend&()> frontend);

// What a kick runs after the kick itself: with `chkFineKickedPlayers` checked, status
// "Changing money for player " + name and the fine of `txtKickedPlayersFine` (its whole
// number); then with `chkSendKickedPlayersToBase` checked and a base selected, status
// "Changing location of player " + name and the move, in a second decode and encode.
void ApplyKickPunishments(Punishments& punishments, ui::Controls& controls, ui::StatusLine& status,
                          PlayerList& list, int index);

}  // namespace helmsman::players

#endif  // HELMSMAN_CONSOLE_PLAYERS_PUNISHMENTS_H_
