// The player editor `frmEditPlayer`: one character file, decoded into working lines, shown in
// the editor's views and changed by the operator's edits; the character file itself changes
// only when the operator saves.
//
// Working lines: line 0 is empty, lines 1..n are the decoded file's non-empty lines (n at
// most 19,999), and line n + 1 is the end marker "VOXBRINEFILEEND". An edit that removes a
// line empties it (empty lines are never written); an edit that adds one inserts it and moves
// the later lines down. Every search stops at the end marker.
//
// Each row of the player's equipment and cargo lists remembers the working line it was read
// from, so that two rows of the same item change or remove each its own line. A row whose
// line was emptied since (a deleted file-view line) gives the "cannot find" message of its
// edit and changes nothing.
//
// Loading never changes a working line: a view mode editor and an edit that the operator
// leaves unsaved must not differ from the file.
//
// Closing (cmdClose, the window's close box, the inactivity time-out, the end of a save and a
// file that could not be loaded) runs the closer once; the owner runs the closing steps of
// the main window there and discards the editor afterwards, never inside its handlers.
//
// Messages are message boxes titled kEditorMessageTitle; questions carry their own titles.
#ifndef HELMSMAN_CONSOLE_EDITOR_PLAYER_EDITOR_H_
#define HELMSMAN_CONSOLE_EDITOR_PLAYER_EDITOR_H_

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "console/gamedata/catalogue.h"
#include "console/players/player_file_reader.h"
#include "console/safety/journal.h"
#include "console/ui/controls.h"
#include "console/ui/frontend.h"

namespace helmsman::editor {

inline constexpr char kEditorMessageTitle[] = "Helmsman";
inline constexpr char kEditCaption[] = "Helmsman -- Edit Player";
inline constexpr char kViewCaption[] = "Helmsman -- View Player (cannot save changes)";
// "Helmsman" + ".tmp" in the program folder: one editor is open at a time.
inline constexpr char kEditorDecodeFileName[] = "Helmsman.tmp";
inline constexpr int kMaxFactions = 1000;
inline constexpr int kInactivityLimit = 120;  // seconds without mouse movement
inline constexpr int kMinUnits = 1;
inline constexpr int kMaxUnits = 9999;
inline constexpr char kEndFactions[] = "END FACTIONS";

enum class EditorMode { kEdit, kView };

// Why the editor closed: by time-out the edit ban is lifted without asking.
enum class CloseReason { kOperator, kTimeOut, kSaved, kNotLoaded };

struct Faction {
  std::string display_name;
  std::string nickname;
  double reputation = 0;
};

// The reputation as a "house = " line writes it: -1, 0 and 1 as whole numbers, any other
// value as its decimal text with "." whatever the system's separator ("0.65", "-0.3").
std::string ReputationText(double reputation);
// What a save changed, as the journal's details: for every key ("money", "equip"; for a
// line without " = " the line is key and value) whose lines differ, in the order the keys first
// come, "VALUES -> VALUES": the values only the file had and only the saved text has, each
// side's values joined by "; " (the name decoded), "N lines" for more than
// kMaxFieldValuesShown of them, "(none)" for none. The same lines in another order are no
// change.
inline constexpr size_t kMaxFieldValuesShown = 3;
std::vector<std::pair<std::string, std::string>> ChangedFields(
    const std::vector<std::string>& before, const std::vector<std::string>& after);

// "name = " + "00" + two upper-case hexadecimal digits for every character (byte) of name.
std::string NameLine(std::string_view name);
// A cargo count as the unit boxes keep it: the whole number read from text, within 1..9999.
int ClampUnits(std::string_view text);

class PlayerEditor {
 public:
  using Closer = std::function<void(CloseReason)>;

  // services: files, codec, catalogue, settings (chkDisableEditWarnings, chkServerIsModded)
  // and the program folder. All must outlive the editor.
  // The mode gives the caption at once, so that a window made before loading shows it.
  PlayerEditor(players::CharacterFileServices services, ui::Frontend& frontend, Closer closer,
               EditorMode mode);
  // The frontend asked anew for every question, message and dialog: the one the console
  // shows at that moment (a control request brings a frontend of its own for its run).
  using FrontendSource = std::function<ui::Frontend&()>;
  PlayerEditor(players::CharacterFileServices services, FrontendSource frontend, Closer closer,
               EditorMode mode);
  PlayerEditor(const PlayerEditor&) = delete;
  PlayerEditor& operator=(const PlayerEditor&) = delete;

  // The action journal that gets a save that went to the file ("edit", one detail per
  // changed field, see ChangedFields), by who acts ("operator" when actor is empty), for the
  // character of that name; nullptr = none kept. Set before Load, which keeps the lines as
  // the file held them to compare the save with.
  void set_journal(safety::Journal* journal, std::function<std::string()> actor,
                   std::string character) {
    journal_ = journal;
    actor_ = std::move(actor);
    character_ = std::move(character);
  }

  ui::Controls& controls() { return controls_; }
  const ui::Controls& controls() const { return controls_; }
  EditorMode mode() const { return mode_; }
  // The window's caption by mode (kEditCaption, kViewCaption).
  const std::string& caption() const { return caption_; }

  // Fills the catalogue lists and loads account_folder + "\" + file_name. A file that cannot
  // be decoded or read shows its messages and closes the editor (CloseReason::kNotLoaded);
  // returns false then. View mode disables cmdSave.
  bool Load(const std::string& account_folder, const std::string& file_name);

  // Mouse movement over the window's background, its frames or the two file lists.
  void MouseMoved() { inactivity_ = 0; }
  int inactivity() const { return inactivity_; }
  // Runs the closing steps once (the close button, the close box).
  void Close(CloseReason reason);
  bool closed() const { return closed_; }

  // The working lines 1..end marker (exclusive) as they stand, empty ones included.
  std::vector<std::string> WorkingLines() const;
  const std::vector<Faction>& factions() const { return factions_; }

 private:
  // One of the player's equipment or cargo lists, with the working line of each row.
  struct ItemList {
    std::string control;    // lstPlayer...
    std::string available;  // cmbAvailable... (cargo: empty)
    std::string change, remove;
    std::vector<gamedata::Table> tables;  // where its items are looked up by display name
    bool asks = false;                    // the equipment list confirms its changes
    std::vector<int> lines;
  };

  void AddControls();
  void Wire();
  void FillCatalogueLists();
  bool Decode(const std::string& account_folder, const std::string& file_name);
  void Interpret();
  void InterpretFactionRun();
  void InterpretPlace();
  void InterpretEquipment();
  void InterpretCargo();
  void SortOutFactions();
  void RefreshFileView();
  void LoadError(const std::string& text);
  void Progress(const std::string& status, int value);

  // Views.
  void SystemSelected();
  void FactionSelected();
  void CargoSelected(const std::string& list);
  void ItemSelected(const ItemList& list);

  // Edits.
  void NameChanged();
  void MoneyChanged();
  void ShipChosen();
  void FittedPartChosen(const std::string& combo, gamedata::Table table, std::string* current,
                        const std::string& what);
  void ChangeItem(ItemList& list, bool ask);
  void DeleteItem(ItemList& list, bool ask);
  void AddCargo();
  void ModifyCargo();
  void DeleteSelectedCargo();
  void DeleteAllCargo();
  void DeleteSelectedLine();
  void UnitsTyped(const std::string& text, const std::string& bar);
  void UnitsScrolled(const std::string& bar, const std::string& text);
  void OptionClicked(const std::string& check, const std::string& title, const std::string& text);
  void BaseChosen();
  void FactionPopularityChanged();
  void AllFactionPopularityChanged();
  bool WriteFactionLine(const Faction& faction);
  void ShowFactionCaption(const Faction& faction);

  // Save.
  void Save();
  void RevealMap();
  void UnlockGates();
  void Repair(const std::string& combo, gamedata::Table table, const std::string& title,
              const std::string& question);
  bool WriteFile();

  // Lines.
  int Find(int start, std::string_view key, std::string_view key2 = {}) const;
  int EndLine() const { return static_cast<int>(lines_.size()) - 1; }
  bool InsertLine(int before, std::string text);
  // Item lookups by display name over the tables that feed a list; nullptr when none has it.
  const gamedata::Entry* FindByDisplayName(const std::vector<gamedata::Table>& tables,
                                           const std::string& name) const;
  int SelectedRow(const std::string& list) const;
  std::string SelectedText(const std::string& list) const;
  bool Ask(const std::string& title, const std::string& text);
  void Show(const std::string& text);
  bool Warnings() const;

  players::CharacterFileServices services_;
  FrontendSource frontend_;
  Closer closer_;
  ui::Controls controls_;
  EditorMode mode_;
  std::string caption_;
  std::string account_folder_, file_name_;
  std::vector<std::string> lines_;
  std::vector<std::string> loaded_lines_;  // as the file held them, for the journal
  safety::Journal* journal_ = nullptr;
  std::function<std::string()> actor_;
  std::string character_;
  std::vector<Faction> factions_;
  std::vector<ItemList> items_;  // forward hardpoints, turrets, lights, equipment, cargo
  std::string engine_, shield_, power_generator_;  // hash codes of the fitted parts
  uint16_t inactivity_ = 0;
  bool loading_ = false;
  bool name_warned_ = false;
  bool closed_ = false;
};

}  // namespace helmsman::editor

#endif  // HELMSMAN_CONSOLE_EDITOR_PLAYER_EDITOR_H_
