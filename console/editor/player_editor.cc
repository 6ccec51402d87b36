#include "console/editor/player_editor.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <unordered_map>

#include "console/gamedata/tables.h"
#include "console/players/punishments.h"
#include "console/players/working_text.h"

namespace helmsman::editor {

namespace {

using gamedata::Table;
using players::kBaseKey;
using players::kCargoKey;
using players::kEquipKey;
using players::kLastBaseKey;
using players::kMoneyKey;
using players::kNameKey;
using players::kPosKey;
using players::kShipKey;
using players::kSystemKey;
using players::NumberText;
using players::ReadNumber;
using players::StartsWith;
using players::ValueOf;
using ui::ControlEvent;
using ui::ControlKind;

constexpr std::string_view kHouseKey = "house = ";
constexpr std::string_view kVisitKey = "visit = ";
constexpr std::string_view kLockedGateKey = "locked_gate = ";
constexpr size_t kHashLength = 10;
constexpr size_t kEquipRestFrom = 18;    // the 19th character: what follows the hash code
constexpr size_t kCargoAmountFrom = 20;  // "cargo = " + hash code + ", "

const std::string kAddress = players::kBugReportAddress;

std::string Report(const std::string& start) {
  return start + "  Please report this bug (and send this .qv file) to " + kAddress + "!";
}

// The ten characters after "= " of an "equip = " or "cargo = " line.
std::string HashOf(std::string_view line) {
  return line.size() > 8 ? std::string(line.substr(8, kHashLength)) : std::string();
}

std::string Trim(std::string_view text) {
  size_t begin = text.find_first_not_of(' ');
  if (begin == std::string_view::npos) return "";
  size_t end = text.find_last_not_of(' ');
  return std::string(text.substr(begin, end - begin + 1));
}

// The faction nickname of a "house = " line: the text after its first ",", blanks trimmed.
std::string HouseNickname(std::string_view line) {
  size_t comma = line.find(',');
  return comma == std::string_view::npos ? "" : Trim(line.substr(comma + 1));
}

int IndexOf(const gamedata::Catalogue& catalogue, Table table, const gamedata::Entry* entry) {
  return entry == nullptr ? -1 : static_cast<int>(entry - catalogue.Enumerate(table).data());
}

struct CatalogueList {
  const char* control;
  std::vector<Table> tables;
};

const std::vector<CatalogueList>& CatalogueLists() {
  static const std::vector<CatalogueList> lists = {
      {"lstSystems", {Table::kSystems}},
      {"cmbAvailableCargo",
       {Table::kCargo, Table::kAmmo, Table::kGuns, Table::kProjectiles, Table::kTurrets,
        Table::kShields, Table::kThrusters, Table::kCountermeasures, Table::kMines}},
      {"cmbAvailableForwardHardpoints", {Table::kGuns, Table::kProjectiles}},
      {"cmbAvailableTurrets", {Table::kTurrets}},
      {"cmbAvailableLights", {Table::kLights}},
      {"cmbPlayerShip", {Table::kShips}},
      {"cmbPlayerEngine", {Table::kEngines}},
      {"cmbPlayerShield", {Table::kShields}},
      {"cmbAvailableEquipment",
       {Table::kThrusters, Table::kCountermeasures, Table::kMines, Table::kMiscEquipment,
        Table::kTractorBeams, Table::kScanners}},
      {"cmbPlayerPowerGenerator", {Table::kPowerGenerators}},
  };
  return lists;
}

// Where an "equip = " line's item is shown, in the order the tables are asked.
enum class Shown { kForward, kTurrets, kLights, kEquipment, kShield, kEngine, kPower };
const std::vector<std::pair<Table, Shown>>& EquipLookups() {
  static const std::vector<std::pair<Table, Shown>> order = {
      {Table::kProjectiles, Shown::kForward},    {Table::kCountermeasures, Shown::kEquipment},
      {Table::kLights, Shown::kLights},          {Table::kShields, Shown::kShield},
      {Table::kGuns, Shown::kForward},           {Table::kTurrets, Shown::kTurrets},
      {Table::kEngines, Shown::kEngine},         {Table::kThrusters, Shown::kEquipment},
      {Table::kPowerGenerators, Shown::kPower},  {Table::kMines, Shown::kEquipment},
      {Table::kTractorBeams, Shown::kEquipment}, {Table::kScanners, Shown::kEquipment},
      {Table::kMiscEquipment, Shown::kEquipment}};
  return order;
}

const std::vector<Table> kCargoTables = {
    Table::kAmmo,    Table::kCargo,     Table::kCountermeasures, Table::kGuns, Table::kProjectiles,
    Table::kShields, Table::kThrusters, Table::kTurrets,         Table::kMines};

}  // namespace

std::string ReputationText(double reputation) {
  if (reputation == -1 || reputation == 0 || reputation == 1) {
    return std::to_string(static_cast<int>(reputation));
  }
  // to_chars ignores the locale: the game reads "0,5" as 0.
  char text[32];
  auto [end, error] =
      std::to_chars(text, text + sizeof text, reputation, std::chars_format::general, 15);
  return error == std::errc() ? std::string(text, end) : std::string("0");
}

std::vector<std::pair<std::string, std::string>> ChangedFields(
    const std::vector<std::string>& before, const std::vector<std::string>& after) {
  struct Field {
    std::string key;
    std::vector<std::string> before, after;  // the values of its lines
  };
  std::vector<Field> fields;
  std::unordered_map<std::string, size_t> index;
  // A working line may hold several of the file's lines (the revealed map): each counts.
  auto add = [&](const std::vector<std::string>& lines, bool is_after) {
    for (const std::string& working : lines) {
      size_t start = 0;
      while (start < working.size()) {
        size_t end = working.find('\n', start);
        if (end == std::string::npos) end = working.size();
        std::string line = working.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty()) continue;
        const size_t equals = line.find(" = ");
        std::string key = equals == std::string::npos ? line : line.substr(0, equals);
        std::string value = equals == std::string::npos ? line : line.substr(equals + 3);
        if (key == "name") value = players::DecodeHexText(value);
        auto [at, added] = index.emplace(key, fields.size());
        if (added) fields.push_back(Field{std::move(key), {}, {}});
        (is_after ? fields[at->second].after : fields[at->second].before).push_back(value);
      }
    }
  };
  add(before, false);
  add(after, true);
  // What one side has beyond the other, a value counted as often as it comes.
  auto beyond = [](const std::vector<std::string>& mine, const std::vector<std::string>& theirs) {
    std::unordered_map<std::string, int> left;
    for (const std::string& value : theirs) ++left[value];
    std::vector<std::string> extra;
    for (const std::string& value : mine) {
      int& count = left[value];
      if (count > 0) {
        --count;
      } else {
        extra.push_back(value);
      }
    }
    return extra;
  };
  auto side = [](const std::vector<std::string>& values) -> std::string {
    if (values.empty()) return "(none)";
    if (values.size() > kMaxFieldValuesShown) return std::to_string(values.size()) + " lines";
    std::string text;
    for (const std::string& value : values) text += (text.empty() ? "" : "; ") + value;
    return text;
  };
  std::vector<std::pair<std::string, std::string>> changed;
  for (const Field& field : fields) {
    const std::vector<std::string> gone = beyond(field.before, field.after);
    const std::vector<std::string> come = beyond(field.after, field.before);
    if (gone.empty() && come.empty()) continue;
    changed.emplace_back(field.key, side(gone) + " -> " + side(come));
  }
  return changed;
}

std::string NameLine(std::string_view name) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string line(kNameKey);
  for (unsigned char c : name) {
    line += "00";
    line += kDigits[c >> 4];
    line += kDigits[c & 0xF];
  }
  return line;
}

int ClampUnits(std::string_view text) {
  double value = std::trunc(ReadNumber(text));
  if (!(value >= kMinUnits)) return kMinUnits;  // NaN too
  return value > kMaxUnits ? kMaxUnits : static_cast<int>(value);
}

PlayerEditor::PlayerEditor(players::CharacterFileServices services, ui::Frontend& frontend,
                           Closer closer, EditorMode mode)
    : PlayerEditor(
          std::move(services), [&frontend]() -> ui::Frontend& { return frontend; },
          std::move(closer), mode) {}

PlayerEditor::PlayerEditor(players::CharacterFileServices services, FrontendSource frontend,
                           Closer closer, EditorMode mode)
    : services_(std::move(services)),
      frontend_(std::move(frontend)),
      closer_(std::move(closer)),
      mode_(mode),
      caption_(mode == EditorMode::kEdit ? kEditCaption : kViewCaption) {
  items_ = {
      {"lstPlayerForwardHardpoints",
       "cmbAvailableForwardHardpoints",
       "cmdChangeForwardHardpoint",
       "cmdDeleteForwardHardpoint",
       {Table::kGuns, Table::kProjectiles},
       false,
       {}},
      {"lstPlayerTurrets",
       "cmbAvailableTurrets",
       "cmdChangeTurret",
       "cmdDeleteTurret",
       {Table::kTurrets},
       false,
       {}},
      {"lstPlayerLights",
       "cmbAvailableLights",
       "cmdChangeLight",
       "cmdDeleteLight",
       {Table::kLights},
       false,
       {}},
      {"lstPlayerEquipment",
       "cmbAvailableEquipment",
       "cmdChangeEquipment",
       "cmdDeleteEquipment",
       {Table::kThrusters, Table::kCountermeasures, Table::kMines, Table::kMiscEquipment,
        Table::kTractorBeams, Table::kScanners},
       true,
       {}},
      {"lstPlayerCargo", "", "cmdModifyCargo", "cmdDeleteSelectedCargo", kCargoTables, false, {}},
  };
  AddControls();
  controls_.SetEnabled("cmdSave", mode_ == EditorMode::kEdit);
  Wire();
}

void PlayerEditor::AddControls() {
  const std::pair<const char*, ControlKind> controls[] = {
      {"txtPlayerFileName", ControlKind::kText},
      {"txtPlayerName", ControlKind::kText},
      {"fraPlayerName", ControlKind::kFrame},
      {"txtPlayerMoney", ControlKind::kText},
      {"lstSystems", ControlKind::kList},
      {"lstBases", ControlKind::kList},
      {"lblPlayerLocation", ControlKind::kLabel},
      {"cmbPlayerShip", ControlKind::kComboBox},
      {"cmbPlayerEngine", ControlKind::kComboBox},
      {"cmbPlayerShield", ControlKind::kComboBox},
      {"cmbPlayerPowerGenerator", ControlKind::kComboBox},
      {"lstPlayerForwardHardpoints", ControlKind::kList},
      {"lstPlayerTurrets", ControlKind::kList},
      {"lstPlayerLights", ControlKind::kList},
      {"lstPlayerEquipment", ControlKind::kList},
      {"cmbAvailableForwardHardpoints", ControlKind::kComboBox},
      {"cmbAvailableTurrets", ControlKind::kComboBox},
      {"cmbAvailableLights", ControlKind::kComboBox},
      {"cmbAvailableEquipment", ControlKind::kComboBox},
      {"cmbAvailableCargo", ControlKind::kComboBox},
      {"cmdChangeForwardHardpoint", ControlKind::kButton},
      {"cmdDeleteForwardHardpoint", ControlKind::kButton},
      {"cmdChangeTurret", ControlKind::kButton},
      {"cmdDeleteTurret", ControlKind::kButton},
      {"cmdChangeLight", ControlKind::kButton},
      {"cmdDeleteLight", ControlKind::kButton},
      {"cmdChangeEquipment", ControlKind::kButton},
      {"cmdDeleteEquipment", ControlKind::kButton},
      {"lstPlayerCargo", ControlKind::kList},
      {"lstPlayerCargoAmounts", ControlKind::kList},
      {"cmdAddCargo", ControlKind::kButton},
      {"txtCargoAddNumberUnits", ControlKind::kText},
      {"vscCargoAddNumberUnits", ControlKind::kScrollBar},
      {"cmdModifyCargo", ControlKind::kButton},
      {"txtCargoModify", ControlKind::kText},
      {"txtCargoModifyNumberUnits", ControlKind::kText},
      {"vscCargoModifyNumberUnits", ControlKind::kScrollBar},
      {"cmdDeleteSelectedCargo", ControlKind::kButton},
      {"cmdDeleteAllCargo", ControlKind::kButton},
      {"lstFactions", ControlKind::kList},
      {"fraSelectedFaction", ControlKind::kFrame},
      {"sldFactionPopularity", ControlKind::kScrollBar},
      {"sldAllFactionPopularity", ControlKind::kScrollBar},
      {"lstFileView", ControlKind::kList},
      {"cmdDeleteSelectedLine", ControlKind::kButton},
      {"cmdRefreshFileView", ControlKind::kButton},
      {"lstFileLoadErrors", ControlKind::kList},
      {"cmdSaveFileLoadErrors", ControlKind::kButton},
      {"chkRevealEntireMap", ControlKind::kCheckBox},
      {"chkUnlockJumpgates", ControlKind::kCheckBox},
      {"cmdSave", ControlKind::kButton},
      {"cmdClose", ControlKind::kButton},
      {"lblStatus", ControlKind::kLabel},
      {"ProgressBar", ControlKind::kProgress},
      {"tmrInactivityTimer", ControlKind::kTimer},
  };
  for (const auto& [name, kind] : controls) controls_.Add(name, kind);
  const std::pair<const char*, const char*> captions[] = {
      {"fraPlayerName", "Name"},
      {"fraSelectedFaction", "Set Faction"},
      {"cmdChangeForwardHardpoint", "Change"},
      {"cmdDeleteForwardHardpoint", "Delete"},
      {"cmdChangeTurret", "Change"},
      {"cmdDeleteTurret", "Delete"},
      {"cmdChangeLight", "Change"},
      {"cmdDeleteLight", "Delete"},
      {"cmdChangeEquipment", "Change"},
      {"cmdDeleteEquipment", "Delete"},
      {"cmdAddCargo", "Add Cargo"},
      {"cmdModifyCargo", "Modify"},
      {"cmdDeleteSelectedCargo", "Delete Selected"},
      {"cmdDeleteAllCargo", "Delete All Cargo"},
      {"cmdDeleteSelectedLine", "Delete Selected Line"},
      {"cmdRefreshFileView", "Refresh"},
      {"cmdSaveFileLoadErrors", "Save Errors"},
      {"chkRevealEntireMap", "Reveal Entire Map"},
      {"chkUnlockJumpgates", "Unlock Jumpgates/holes"},
      {"cmdSave", "SAVE CHANGES"},
      {"cmdClose", "Close"},
      {"txtCargoAddNumberUnits", "1"},
  };
  for (const auto& [name, caption] : captions) controls_.SetText(name, caption);
  for (const char* bar : {"vscCargoAddNumberUnits", "vscCargoModifyNumberUnits"}) {
    controls_.Get(bar).set_range(kMinUnits, kMaxUnits);
    controls_.SetValue(bar, kMinUnits);
  }
  for (const char* slider : {"sldFactionPopularity", "sldAllFactionPopularity"}) {
    controls_.Get(slider).set_range(-100, 100);
  }
  controls_.Get("ProgressBar").set_range(0, 100);
  controls_.SetValue("tmrInactivityTimer", 1000);
  controls_.SetEnabled("tmrInactivityTimer", false);
  for (const ItemList& list : items_) {
    controls_.SetEnabled(list.change, false);
    controls_.SetEnabled(list.remove, false);
    if (!list.available.empty()) controls_.SetEnabled(list.available, false);
  }
  for (const char* name :
       {"txtCargoModify", "txtCargoModifyNumberUnits", "vscCargoModifyNumberUnits",
        "cmdDeleteAllCargo", "cmdDeleteSelectedLine"}) {
    controls_.SetEnabled(name, false);
  }
}

void PlayerEditor::Wire() {
  auto on = [this](const std::string& name, ControlEvent event, std::function<void()> handler) {
    controls_.On(name, event, std::move(handler));
  };
  on("lstSystems", ControlEvent::kClick, [this] { SystemSelected(); });
  on("lstFactions", ControlEvent::kClick, [this] { FactionSelected(); });
  on("lstPlayerCargo", ControlEvent::kClick, [this] { CargoSelected("lstPlayerCargo"); });
  on("lstPlayerCargoAmounts", ControlEvent::kClick,
     [this] { CargoSelected("lstPlayerCargoAmounts"); });
  for (ItemList& list : items_) {
    if (list.available.empty()) continue;
    on(list.control, ControlEvent::kClick, [this, &list] { ItemSelected(list); });
    on(list.change, ControlEvent::kClick, [this, &list] { ChangeItem(list, list.asks); });
    on(list.remove, ControlEvent::kClick, [this, &list] { DeleteItem(list, list.asks); });
  }
  on("lstFileView", ControlEvent::kClick,
     [this] { controls_.SetEnabled("cmdDeleteSelectedLine", SelectedRow("lstFileView") >= 0); });
  on("txtPlayerName", ControlEvent::kChange, [this] { NameChanged(); });
  on("txtPlayerMoney", ControlEvent::kChange, [this] { MoneyChanged(); });
  // A choice in the four lists of the ship and its parts arrives as a click or as a change,
  // depending on who reports it (the window reports a combo box's new entry as a change);
  // either takes effect, and the second of the two finds the line already written.
  const std::pair<const char*, std::function<void()>> chosen[] = {
      {"cmbPlayerShip", [this] { ShipChosen(); }},
      {"cmbPlayerEngine",
       [this] { FittedPartChosen("cmbPlayerEngine", Table::kEngines, &engine_, "engine"); }},
      {"cmbPlayerShield",
       [this] { FittedPartChosen("cmbPlayerShield", Table::kShields, &shield_, "shield"); }},
      {"cmbPlayerPowerGenerator",
       [this] {
         FittedPartChosen("cmbPlayerPowerGenerator", Table::kPowerGenerators, &power_generator_,
                          "power generator");
       }},
  };
  for (const auto& [combo, handler] : chosen) {
    on(combo, ControlEvent::kClick, handler);
    on(combo, ControlEvent::kChange, handler);
  }
  on("cmdAddCargo", ControlEvent::kClick, [this] { AddCargo(); });
  on("cmdModifyCargo", ControlEvent::kClick, [this] { ModifyCargo(); });
  on("cmdDeleteSelectedCargo", ControlEvent::kClick, [this] { DeleteSelectedCargo(); });
  on("cmdDeleteAllCargo", ControlEvent::kClick, [this] { DeleteAllCargo(); });
  on("cmdDeleteSelectedLine", ControlEvent::kClick, [this] { DeleteSelectedLine(); });
  on("cmdRefreshFileView", ControlEvent::kClick, [this] { RefreshFileView(); });
  on("txtCargoAddNumberUnits", ControlEvent::kChange,
     [this] { UnitsTyped("txtCargoAddNumberUnits", "vscCargoAddNumberUnits"); });
  on("txtCargoModifyNumberUnits", ControlEvent::kChange,
     [this] { UnitsTyped("txtCargoModifyNumberUnits", "vscCargoModifyNumberUnits"); });
  on("vscCargoAddNumberUnits", ControlEvent::kChange,
     [this] { UnitsScrolled("vscCargoAddNumberUnits", "txtCargoAddNumberUnits"); });
  on("vscCargoModifyNumberUnits", ControlEvent::kChange, [this] {
    UnitsScrolled("vscCargoModifyNumberUnits", "txtCargoModifyNumberUnits");
    controls_.SetEnabled("cmdModifyCargo", true);
  });
  on("txtCargoModify", ControlEvent::kChange, [this] {
    controls_.SetEnabled("vscCargoModifyNumberUnits", true);
    controls_.SetEnabled("txtCargoModifyNumberUnits", true);
  });
  on("chkRevealEntireMap", ControlEvent::kClick, [this] {
    OptionClicked("chkRevealEntireMap", "Reveal Full Map Confirmation",
                  "If your server is modded and has different map information than the standard "
                  "Quorvane, this option WILL NOT WORK.  Continue?");
  });
  on("chkUnlockJumpgates", ControlEvent::kClick, [this] {
    OptionClicked("chkUnlockJumpgates", "Remove Jumpgates/holes Confirmation",
                  "Unlocking a players' jumpgates/holes may have unexpected results (or might not "
                  "work at all) on your server, continue?");
  });
  on("lstBases", ControlEvent::kClick, [this] { BaseChosen(); });
  on("sldFactionPopularity", ControlEvent::kChange, [this] { FactionPopularityChanged(); });
  on("sldAllFactionPopularity", ControlEvent::kChange, [this] { AllFactionPopularityChanged(); });
  on("cmdSave", ControlEvent::kClick, [this] { Save(); });
  on("cmdClose", ControlEvent::kClick, [this] { Close(CloseReason::kOperator); });
  on("cmdSaveFileLoadErrors", ControlEvent::kClick, [this] {
    std::string path =
        frontend_().SaveFileDialog("Save File Load Errors", "Text file (*.txt)|*.txt");
    if (path.empty()) return;
    std::string text, error;
    for (const std::string& row : controls_.Get("lstFileLoadErrors").rows()) text += row + "\r\n";
    if (!services_.files.WriteFileDurably(path, text, &error))
      Show("Error writing " + path + " (" + error + ")!");
  });
  on("tmrInactivityTimer", ControlEvent::kTimer, [this] {
    if (closed_ || !controls_.Get("tmrInactivityTimer").enabled()) return;
    if (inactivity_ < UINT16_MAX) ++inactivity_;
    if (inactivity_ >= kInactivityLimit) Close(CloseReason::kTimeOut);
  });
}

// ---- Loading ----

bool PlayerEditor::Load(const std::string& account_folder, const std::string& file_name) {
  loading_ = true;
  account_folder_ = account_folder;
  file_name_ = file_name;
  FillCatalogueLists();
  controls_.SetText("txtPlayerFileName", platform::JoinPath(account_folder, file_name));
  Progress("Loading Playerfile...", 60);
  if (!Decode(account_folder, file_name)) {
    loading_ = false;
    Close(CloseReason::kNotLoaded);
    return false;
  }
  Progress("Interpreting Playerfile...", 70);
  Interpret();
  Progress("Sorting Out Factions...", 90);
  SortOutFactions();
  controls_.SetEnabled("cmdDeleteSelectedLine", false);
  RefreshFileView();
  Progress(ui::kGoodToGo, 100);
  loading_ = false;
  inactivity_ = 0;
  controls_.SetEnabled("tmrInactivityTimer", true);
  return true;
}

void PlayerEditor::Progress(const std::string& status, int value) {
  controls_.SetText("lblStatus", status);
  controls_.SetValue("ProgressBar", value);
  frontend_().Repaint("lblStatus");
}

void PlayerEditor::FillCatalogueLists() {
  Progress("Loading Datafiles...", 0);
  const std::vector<CatalogueList>& lists = CatalogueLists();
  int done = 0;
  for (const CatalogueList& list : lists) {
    std::vector<std::string> rows;
    for (Table table : list.tables) {
      for (const gamedata::Entry& entry : services_.catalogue.Enumerate(table)) {
        rows.push_back(entry.displayName);
      }
    }
    controls_.SetRows(list.control, std::move(rows));
    controls_.Select(list.control, -1);
    controls_.SetValue("ProgressBar", ++done * 50 / static_cast<int>(lists.size()));
  }
}

bool PlayerEditor::Decode(const std::string& account_folder, const std::string& file_name) {
  platform::FileSystem& files = services_.files;
  const std::string character = platform::JoinPath(account_folder, file_name);
  const std::string temp = platform::JoinPath(services_.program_folder, kEditorDecodeFileName);
  auto bad_file = [&](const std::string& first) {
    Show(first);
    Show("Bad file was " + character);
    return false;
  };
  // A file of gigabytes would be decoded into memory whole; a character file is kilobytes.
  const int64_t size = files.FileSize(character);
  if (size > players::kMaxCharacterFileBytes) {
    return bad_file("The file is " + std::to_string(size) +
                    " bytes long, more than a character "
                    "file can be; it was not opened.");
  }
  const int32_t code = services_.codec(players::kCodecDecode, character, temp);
  if (code != 0) {
    files.RemoveFile(temp);
    return bad_file(
        "Error Decoding File!  May not be a proper Quorvane character file.  Error number " +
        players::HexErrorNumber(code));
  }
  std::string text, error;
  const bool read = files.ReadFile(temp, &text, &error);
  files.RemoveFile(temp);
  if (!read) return bad_file("Error reading the decoded file " + temp + " (" + error + ")!");
  players::WorkingText working;
  if (!working.Load(std::move(text))) {
    return bad_file("The file holds more than " + std::to_string(players::kMaxFileLines) +
                    " lines, more than the editor can hold; it was not opened.");
  }
  lines_.clear();
  lines_.reserve(static_cast<size_t>(players::kMaxWorkingLines) + 1);
  for (int i = 0; i <= working.end_line(); ++i) lines_.emplace_back(working.line(i));
  if (journal_ != nullptr) loaded_lines_ = WorkingLines();
  return true;
}

void PlayerEditor::LoadError(const std::string& text) {
  controls_.AddRow("lstFileLoadErrors", text);
}

void PlayerEditor::Interpret() {
  int name = Find(0, kNameKey);
  if (name < 0) {
    controls_.SetText("txtPlayerName", "UNKNOWN NAME");
    LoadError("Unable to find the name line in the file!");
  } else {
    controls_.SetText("txtPlayerName", players::DecodeHexText(ValueOf(lines_[name])));
  }
  InterpretFactionRun();
  InterpretPlace();
  int ship = Find(0, kShipKey);
  if (ship < 0) {
    LoadError("Unable to find the ship_archetype line in the file!");
  } else {
    const std::string code(ValueOf(lines_[ship]));
    const gamedata::Entry* entry = services_.catalogue.FindByHashCode(Table::kShips, code);
    if (entry == nullptr) {
      LoadError("Unable to find ship [" + code + "], was it added to GAMEDATA_ships.txt?");
    }
    controls_.Select("cmbPlayerShip", IndexOf(services_.catalogue, Table::kShips, entry));
  }
  InterpretEquipment();
  InterpretCargo();
}

void PlayerEditor::InterpretFactionRun() {
  factions_.clear();
  int money_from = 0;
  int line = Find(0, kHouseKey);
  if (line >= 0) {
    for (; line < EndLine() && (lines_[line].empty() || StartsWith(lines_[line], kHouseKey));
         ++line) {
      if (lines_[line].empty()) continue;
      if (static_cast<int>(factions_.size()) == kMaxFactions) {
        LoadError("More than " + std::to_string(kMaxFactions) +
                  " factions in the file; the ones after the first " +
                  std::to_string(kMaxFactions) + " are not shown.");
        while (line < EndLine() && (lines_[line].empty() || StartsWith(lines_[line], kHouseKey))) {
          ++line;
        }
        break;
      }
      factions_.push_back(
          Faction{"", HouseNickname(lines_[line]), ReadNumber(ValueOf(lines_[line]))});
    }
    money_from = line;
  }
  int money = Find(money_from, kMoneyKey);
  if (money < 0) {
    controls_.SetText("txtPlayerMoney", "UNKNOWN MONEY");
    LoadError("Unable to find the money line in the file!");
  } else {
    controls_.SetText("txtPlayerMoney", std::string(ValueOf(lines_[money])));
  }
}

void PlayerEditor::InterpretPlace() {
  const gamedata::Catalogue& catalogue = services_.catalogue;
  int system = Find(0, kSystemKey);
  std::string location;
  if (system < 0) {
    LoadError("Unable to find the system line in the file!");
  } else {
    const std::string nickname(ValueOf(lines_[system]));
    const gamedata::Entry* entry = catalogue.FindByNickname(Table::kSystems, nickname);
    if (entry == nullptr) {
      LoadError("Unable to find system [" + nickname + "], was it added to GAMEDATA_systems.txt?");
    } else {
      controls_.Select("lstSystems", IndexOf(catalogue, Table::kSystems, entry));
      SystemSelected();
      location = entry->displayName;
    }
  }
  int place = Find(0, kBaseKey, kPosKey);
  if (place < 0) {
    controls_.SetText("lblPlayerLocation", "UNKNOWN LOCATION");
    LoadError("Unable to find the base or pos lines in the file!");
    return;
  }
  const std::string value(ValueOf(lines_[place]));
  if (StartsWith(lines_[place], kPosKey)) {
    controls_.SetText("lblPlayerLocation", location + ", " + value);
    return;
  }
  const gamedata::Entry* base = catalogue.FindByNickname(Table::kBases, value);
  const std::vector<std::string>& rows = controls_.Get("lstBases").rows();
  auto row = base == nullptr ? rows.end() : std::find(rows.begin(), rows.end(), base->displayName);
  if (row == rows.end()) {
    controls_.SetText("lblPlayerLocation", location);
    LoadError("Unable to find base [" + value + "], was it added to GAMEDATA_bases.txt?");
    return;
  }
  // The row is selected as a click would select it; loading changes no line, so only the
  // location text follows.
  controls_.Select("lstBases", static_cast<int>(row - rows.begin()));
  controls_.SetText("lblPlayerLocation", location + ", " + base->displayName);
}

void PlayerEditor::InterpretEquipment() {
  const gamedata::Catalogue& catalogue = services_.catalogue;
  int line = Find(0, kEquipKey);
  if (line < 0) {
    LoadError("Unable to find any equip lines in the file!");
    return;
  }
  for (; line < EndLine() && lines_[line].find("last_base") == std::string::npos; ++line) {
    if (!StartsWith(lines_[line], kEquipKey)) continue;
    const std::string code = HashOf(lines_[line]);
    bool found = false;
    for (const auto& [table, shown] : EquipLookups()) {
      const gamedata::Entry* entry = catalogue.FindByHashCode(table, code);
      if (entry == nullptr) continue;
      found = true;
      auto list = [&](int index) {
        controls_.AddRow(items_[index].control, entry->displayName);
        items_[index].lines.push_back(line);
      };
      auto fitted = [&, table = table](const char* combo, std::string* current) {
        controls_.Select(combo, IndexOf(catalogue, table, entry));
        *current = code;
      };
      switch (shown) {
        case Shown::kForward:
          list(0);
          break;
        case Shown::kTurrets:
          list(1);
          break;
        case Shown::kLights:
          list(2);
          break;
        case Shown::kEquipment:
          list(3);
          break;
        case Shown::kShield:
          fitted("cmbPlayerShield", &shield_);
          break;
        case Shown::kEngine:
          fitted("cmbPlayerEngine", &engine_);
          break;
        case Shown::kPower:
          fitted("cmbPlayerPowerGenerator", &power_generator_);
          break;
      }
      break;
    }
    if (!found) LoadError(lines_[line] + ": Unknown hashcode!");
  }
}

void PlayerEditor::InterpretCargo() {
  int line = Find(0, kCargoKey);
  if (line < 0) {
    LoadError("Unable to find any cargo lines in the file!");
    return;
  }
  ItemList& cargo = items_[4];
  for (; line < EndLine() && lines_[line].find("last_base") == std::string::npos; ++line) {
    if (!StartsWith(lines_[line], kCargoKey)) continue;
    const gamedata::Entry* entry = nullptr;
    for (Table table : kCargoTables) {
      if ((entry = services_.catalogue.FindByHashCode(table, HashOf(lines_[line]))) != nullptr)
        break;
    }
    if (entry == nullptr) {
      LoadError(lines_[line] + ": Unknown hashcode!");
      continue;
    }
    const std::string& text = lines_[line];
    std::string amount;
    if (text.size() > kCargoAmountFrom) {
      amount = text.substr(kCargoAmountFrom, text.find(',', kCargoAmountFrom) - kCargoAmountFrom);
    }
    controls_.AddRow("lstPlayerCargo", entry->displayName);
    controls_.AddRow("lstPlayerCargoAmounts", amount);
    cargo.lines.push_back(line);
  }
  controls_.SetEnabled("cmdDeleteAllCargo", !cargo.lines.empty());
}

void PlayerEditor::SortOutFactions() {
  std::vector<std::string> rows;
  for (Faction& faction : factions_) {
    const gamedata::Entry* entry =
        services_.catalogue.FindByNickname(Table::kFactions, faction.nickname);
    if (entry == nullptr) {
      faction.display_name = "UNKNOWN FACTION";
      LoadError("Unknown faction found in .qv file (id = " + faction.nickname +
                ")  you MUST add new factions to the factions.txt file!");
    } else {
      faction.display_name = entry->displayName;
    }
    rows.push_back(faction.display_name);
  }
  controls_.SetRows("lstFactions", std::move(rows));
}

void PlayerEditor::RefreshFileView() {
  std::vector<std::string> rows;
  rows.reserve(lines_.size());
  for (int i = 1; i < EndLine(); ++i) {
    if (!lines_[i].empty()) rows.push_back(lines_[i]);
  }
  controls_.SetRows("lstFileView", std::move(rows));
  controls_.Select("lstFileView", -1);
  controls_.SetEnabled("cmdDeleteSelectedLine", false);
}

// ---- Views ----

void PlayerEditor::SystemSelected() {
  const int row = SelectedRow("lstSystems");
  std::vector<std::string> rows;
  if (row >= 0 && row < services_.catalogue.size(Table::kSystems)) {
    const std::string& system = services_.catalogue.slot(Table::kSystems, row).nickname;
    for (const gamedata::Entry& base : services_.catalogue.Enumerate(Table::kBases)) {
      if (base.nickname.compare(0, system.size(), system) == 0) rows.push_back(base.displayName);
    }
  }
  controls_.SetRows("lstBases", std::move(rows));
  controls_.Select("lstBases", -1);
}

void PlayerEditor::FactionSelected() {
  // Rows and factions correspond one to one; two factions the catalogue lacks share the
  // display name "UNKNOWN FACTION", so the row, not the name, tells them apart.
  const int row = SelectedRow("lstFactions");
  if (row < 0 || row >= static_cast<int>(factions_.size())) return;
  const Faction& faction = factions_[row];
  controls_.SetValue("sldFactionPopularity",
                     static_cast<int>(std::lround(faction.reputation * 100)));
  ShowFactionCaption(faction);
}

void PlayerEditor::ShowFactionCaption(const Faction& faction) {
  controls_.SetText("fraSelectedFaction", "Set Faction '" + faction.display_name + "' (currently " +
                                              ReputationText(faction.reputation) + ")");
}

void PlayerEditor::CargoSelected(const std::string& list) {
  const int row = SelectedRow(list);
  if (row < 0) return;
  controls_.Select("lstPlayerCargo", row);
  controls_.Select("lstPlayerCargoAmounts", row);
  const std::string amount = controls_.Get("lstPlayerCargoAmounts").rows()[row];
  controls_.SetText("txtCargoModify", controls_.Get("lstPlayerCargo").rows()[row]);
  controls_.SetValue("vscCargoModifyNumberUnits", ClampUnits(amount));
  controls_.SetText("txtCargoModifyNumberUnits",
                    std::to_string(controls_.Get("vscCargoModifyNumberUnits").value()));
  for (const char* name : {"txtCargoModifyNumberUnits", "vscCargoModifyNumberUnits",
                           "cmdDeleteSelectedCargo", "cmdModifyCargo"}) {
    controls_.SetEnabled(name, true);
  }
}

void PlayerEditor::ItemSelected(const ItemList& list) {
  const std::string name = SelectedText(list.control);
  if (name.empty()) return;
  const std::vector<std::string>& rows = controls_.Get(list.available).rows();
  auto row = std::find(rows.begin(), rows.end(), name);
  controls_.Select(list.available, row == rows.end() ? -1 : static_cast<int>(row - rows.begin()));
  controls_.SetEnabled(list.available, true);
  controls_.SetEnabled(list.change, true);
  controls_.SetEnabled(list.remove, true);
}

// ---- Edits ----

void PlayerEditor::NameChanged() {
  if (loading_) return;
  const std::string name = controls_.Get("txtPlayerName").text();
  // A line break inside the name would split the "name = " line and every line after it
  // would be read one place off: the game could not load the character any more.
  if (name.find_first_of("\r\n") != std::string::npos) {
    Show("A character name cannot hold a line break; the name was not changed.");
    return;
  }
  if (!name_warned_) {
    name_warned_ = true;
    Show("Changing player names can REALLY screw up your server!  SAVE WITH CAUTION");
    controls_.SetText("fraPlayerName", "Name - MUST restart QVServer after change!!!");
  }
  if (name.empty()) return;
  const int line = Find(0, kNameKey);
  if (line < 0) {
    Show("Unable to find the name line in the file!");
    return;
  }
  lines_[line] = NameLine(name);
}

void PlayerEditor::MoneyChanged() {
  if (loading_) return;
  const std::string money = NumberText(ReadNumber(controls_.Get("txtPlayerMoney").text()));
  controls_.SetText("txtPlayerMoney", money);
  const int line = Find(0, kMoneyKey);
  if (line < 0) {
    Show("Error, cannot find money line!  Please report this bug (and send this .qv file) to " +
         kAddress + "!");
    return;
  }
  lines_[line] = std::string(kMoneyKey) + money;
}

void PlayerEditor::ShipChosen() {
  const gamedata::Entry* ship =
      services_.catalogue.FindByDisplayName(Table::kShips, SelectedText("cmbPlayerShip"));
  if (ship == nullptr) return;
  const int line = Find(0, kShipKey);
  if (line < 0) {
    Show(
        "Cannot find ship_archetype line in memory! Please report this bug (and send your .qv "
        "file) to " +
        kAddress);
    return;
  }
  lines_[line] = std::string(kShipKey) + ship->hashCode;
}

void PlayerEditor::FittedPartChosen(const std::string& combo, Table table, std::string* current,
                                    const std::string& what) {
  const gamedata::Entry* part = services_.catalogue.FindByDisplayName(table, SelectedText(combo));
  if (part == nullptr) return;
  // Without a part found at loading there is no line of it: "equip = " alone would match
  // the first equipment line, whatever it holds.
  const int line = current->empty() ? -1 : Find(0, std::string(kEquipKey) + *current);
  if (line < 0) {
    Show("Cannot find the original " + what +
         " line in memory! Please report this bug (and send your .qv file) to " + kAddress);
    return;
  }
  const std::string& old = lines_[line];
  lines_[line] = std::string(kEquipKey) + part->hashCode +
                 (old.size() > kEquipRestFrom ? old.substr(kEquipRestFrom) : "");
  *current = part->hashCode;
}

void PlayerEditor::ChangeItem(ItemList& list, bool ask) {
  const int row = SelectedRow(list.control);
  if (row < 0) return;
  if (ask && Warnings() &&
      !Ask("Modify Equipment Confirmation",
           "Changing a player's equipment (ie, putting a thruster where a dropper is) may cause "
           "unexpected results, continue?")) {
    return;
  }
  const std::string name = SelectedText(list.available);
  const gamedata::Entry* item = FindByDisplayName(list.tables, name);
  if (item == nullptr) {
    Show(Report("Equipment not found in inputfile?!"));
    return;
  }
  const int line = list.lines[row];
  if (!StartsWith(lines_[line], kEquipKey)) {
    Show(Report("Can't find equipment line to modify!"));
    return;
  }
  const std::string& old = lines_[line];
  lines_[line] = std::string(kEquipKey) + item->hashCode +
                 (old.size() > kEquipRestFrom ? old.substr(kEquipRestFrom) : "");
  std::vector<std::string> rows = controls_.Get(list.control).rows();
  rows[row] = name;
  controls_.SetRows(list.control, std::move(rows));
  controls_.Select(list.control, row);
}

void PlayerEditor::DeleteItem(ItemList& list, bool ask) {
  const int row = SelectedRow(list.control);
  if (row < 0) return;
  if (ask && Warnings() &&
      !Ask("Modify Equipment Confirmation",
           "Changing a player's equipment (ie, removing a scanner) may cause unexpected results, "
           "continue?")) {
    return;
  }
  const int line = list.lines[row];
  if (!StartsWith(lines_[line], kEquipKey)) {
    Show(Report("Can't find equipment line to modify!"));
    return;
  }
  lines_[line].clear();
  std::vector<std::string> rows = controls_.Get(list.control).rows();
  rows.erase(rows.begin() + row);
  list.lines.erase(list.lines.begin() + row);
  controls_.SetRows(list.control, std::move(rows));
  controls_.Select(list.control, -1);
  controls_.SetEnabled(list.change, false);
  controls_.SetEnabled(list.remove, false);
}

void PlayerEditor::AddCargo() {
  const gamedata::Entry* item = FindByDisplayName(kCargoTables, SelectedText("cmbAvailableCargo"));
  if (item == nullptr) {
    Show(Report("Cargo not found in inputfile?!"));
    return;
  }
  const int last_base = Find(0, kLastBaseKey);
  if (last_base < 0) {
    Show(Report("Cannot find the last_base line, so the cargo has no place in the file!"));
    return;
  }
  const int units = ClampUnits(controls_.Get("txtCargoAddNumberUnits").text());
  if (!InsertLine(last_base, std::string(kCargoKey) + item->hashCode + ", " +
                                 std::to_string(units) + ", , , 0")) {
    return;
  }
  items_[4].lines.push_back(last_base);
  controls_.AddRow("lstPlayerCargo", item->displayName);
  controls_.AddRow("lstPlayerCargoAmounts", std::to_string(units));
  controls_.SetEnabled("cmdDeleteAllCargo", true);
}

void PlayerEditor::ModifyCargo() {
  const int row = SelectedRow("lstPlayerCargo");
  if (row < 0) return;
  const int line = items_[4].lines[row];
  const std::string& old = lines_[line];
  if (!StartsWith(old, kCargoKey)) {
    Show(Report("Cannot find cargo line to edit!"));
    return;
  }
  const std::string units = std::to_string(controls_.Get("vscCargoModifyNumberUnits").value());
  const size_t rest =
      old.size() > kCargoAmountFrom - 1 ? old.find(',', kCargoAmountFrom - 1) : std::string::npos;
  lines_[line] =
      old.substr(0, kCargoAmountFrom) + units + (rest == std::string::npos ? "" : old.substr(rest));
  std::vector<std::string> amounts = controls_.Get("lstPlayerCargoAmounts").rows();
  amounts[row] = units;
  controls_.SetRows("lstPlayerCargoAmounts", std::move(amounts));
  controls_.Select("lstPlayerCargoAmounts", row);  // the same cargo, beside its name's row
  controls_.SetText("txtCargoModify", "");
  controls_.SetText("txtCargoModifyNumberUnits", "");
  for (const char* name : {"txtCargoModify", "txtCargoModifyNumberUnits",
                           "vscCargoModifyNumberUnits", "cmdModifyCargo"}) {
    controls_.SetEnabled(name, false);
  }
}

void PlayerEditor::DeleteSelectedCargo() {
  const int row = SelectedRow("lstPlayerCargo");
  if (row < 0) return;
  ItemList& cargo = items_[4];
  const int line = cargo.lines[row];
  if (!StartsWith(lines_[line], kCargoKey)) {
    Show(Report("Cannot find cargo line to edit!"));
    return;
  }
  lines_[line].clear();
  for (const char* list : {"lstPlayerCargo", "lstPlayerCargoAmounts"}) {
    std::vector<std::string> rows = controls_.Get(list).rows();
    rows.erase(rows.begin() + row);
    controls_.SetRows(list, std::move(rows));
    controls_.Select(list, -1);
  }
  cargo.lines.erase(cargo.lines.begin() + row);
  controls_.SetText("txtCargoModify", "");
  for (const char* name :
       {"txtCargoModify", "txtCargoModifyNumberUnits", "vscCargoModifyNumberUnits",
        "cmdModifyCargo", "cmdDeleteSelectedCargo"}) {
    controls_.SetEnabled(name, false);
  }
  if (cargo.lines.empty()) controls_.SetEnabled("cmdDeleteAllCargo", false);
}

void PlayerEditor::DeleteAllCargo() {
  if (!Ask("Delete Cargo Confirmation",
           "DELETE all cargo for player " + controls_.Get("txtPlayerName").text() + "?")) {
    return;
  }
  for (int line = 1; line < EndLine() && lines_[line].find("last_base") == std::string::npos;
       ++line) {
    if (StartsWith(lines_[line], kCargoKey)) lines_[line].clear();
  }
  items_[4].lines.clear();
  controls_.ClearRows("lstPlayerCargo");
  controls_.ClearRows("lstPlayerCargoAmounts");
  for (const char* name :
       {"txtCargoModify", "txtCargoModifyNumberUnits", "vscCargoModifyNumberUnits",
        "cmdModifyCargo", "cmdDeleteSelectedCargo", "cmdDeleteAllCargo"}) {
    controls_.SetEnabled(name, false);
  }
}

void PlayerEditor::DeleteSelectedLine() {
  const std::string text = SelectedText("lstFileView");
  if (text.empty()) return;
  if (!Ask("Delete Line Confirmation",
           "DELETE line [" + text + "] ?  Note that this can REALLY mess things up!")) {
    return;
  }
  for (int line = 1; line < EndLine(); ++line) {
    if (lines_[line] != text) continue;
    lines_[line].clear();
    Show("You must save the file now for changes to take effect.");
    return;
  }
  Show(
      "Cannot find line in inputfile, you may need to refresh the file view before using the "
      "delete option");
}

void PlayerEditor::UnitsTyped(const std::string& text, const std::string& bar) {
  const int units = ClampUnits(controls_.Get(text).text());
  controls_.SetText(text, std::to_string(units));
  controls_.SetValue(bar, units);
}

void PlayerEditor::UnitsScrolled(const std::string& bar, const std::string& text) {
  controls_.SetText(text, std::to_string(controls_.Get(bar).value()));
}

void PlayerEditor::OptionClicked(const std::string& check, const std::string& title,
                                 const std::string& text) {
  if (controls_.Get(check).value() != 0 && !Ask(title, text)) controls_.SetValue(check, 0);
}

void PlayerEditor::BaseChosen() {
  const std::string base_name = SelectedText("lstBases");
  const std::string system_name = SelectedText("lstSystems");
  if (base_name.empty()) return;
  const gamedata::Catalogue& catalogue = services_.catalogue;
  const gamedata::Entry* system = catalogue.FindByDisplayName(Table::kSystems, system_name);
  if (system == nullptr) {
    Show("Unknown system name [" + system_name +
         "], please report bug (and send this .qv file) to " + kAddress + "!");
    return;
  }
  const gamedata::Entry* base = catalogue.FindByDisplayName(Table::kBases, base_name);
  if (base == nullptr) {
    Show("Unknown base name [" + base_name + "], please report bug (and send this .qv file) to " +
         kAddress + "!");
    return;
  }
  auto refuse = [&](const std::string& what) {
    Show(what + "!  Please report bug (and send this .qv file) to " + kAddress + "!");
  };
  // Every line is found before any is written: a move that stops halfway would leave the
  // character in one system and docked at a base of another.
  const int place = Find(0, kBaseKey, kPosKey);
  if (place < 0) return refuse("Unable to find base or pos line in inputfile");
  const int last_base = Find(0, kLastBaseKey);
  if (last_base < 0) return refuse("Unable to find the last_base line in inputfile");
  const int system_line = Find(0, kSystemKey);
  if (system_line < 0) return refuse("Unable to find system line in inputfile");
  if (StartsWith(lines_[place], kPosKey) && place + 1 < EndLine()) lines_[place + 1].clear();
  lines_[place] = std::string(kBaseKey) + base->nickname;
  lines_[last_base] = std::string(kLastBaseKey) + base->nickname;
  lines_[system_line] = std::string(kSystemKey) + system->nickname;
  controls_.SetText("lblPlayerLocation", system->displayName + ", " + base->displayName);
}

bool PlayerEditor::WriteFactionLine(const Faction& faction) {
  for (int line = Find(0, kHouseKey); line >= 0; line = Find(line + 1, kHouseKey)) {
    // The nickname after the comma, whole: a search for the text anywhere in the line would
    // take "fc_gate" for the line of "fc_gate_wardens".
    if (HouseNickname(lines_[line]) != faction.nickname) continue;
    lines_[line] =
        std::string(kHouseKey) + ReputationText(faction.reputation) + ", " + faction.nickname;
    return true;
  }
  Show("Cannot find house line for faction [" + faction.nickname +
       "], please report bug (and send .qv file) to " + kAddress);
  return false;
}

void PlayerEditor::FactionPopularityChanged() {
  const int row = SelectedRow("lstFactions");
  if (row < 0 || row >= static_cast<int>(factions_.size())) return;
  Faction& faction = factions_[row];
  faction.reputation = controls_.Get("sldFactionPopularity").value() / 100.0;
  WriteFactionLine(faction);
  ShowFactionCaption(faction);
}

void PlayerEditor::AllFactionPopularityChanged() {
  const double value = controls_.Get("sldAllFactionPopularity").value() / 100.0;
  if (!Ask("Change all faction values?", "Set factions for character " +
                                             controls_.Get("txtPlayerName").text() +
                                             " to a value of " + ReputationText(value) + "?")) {
    return;
  }
  // A faction without its line is said and skipped; the others are still set.
  for (Faction& faction : factions_) {
    faction.reputation = value;
    WriteFactionLine(faction);
  }
}

// ---- Save ----

void PlayerEditor::Save() {
  if (!controls_.Get("cmdSave").enabled()) return;
  if (!Ask("File Modification Confirmation",
           "Are you SURE you want to modify this player's .qv file?  The modified file can be "
           "viewed in the file view tab (refresh to see changes).")) {
    return;
  }
  if (controls_.Get("chkRevealEntireMap").value() != 0) RevealMap();
  if (controls_.Get("chkUnlockJumpgates").value() != 0) UnlockGates();
  if (services_.settings.chkServerIsModded == 0) {
    Repair("cmbPlayerPowerGenerator", Table::kPowerGenerators, "Fix Power Generator Confirmation",
           "No power generator!  If your server is UNMODDED, this needs to be fixed before the "
           "player can launch!  Insert one?");
    Repair("cmbPlayerEngine", Table::kEngines, "Fix Engine Confirmation",
           "No engine!  If your server is UNMODDED, this needs to be fixed before the player can "
           "launch!  Insert one?");
  }
  if (WriteFile()) {
    if (journal_ != nullptr) {
      safety::JournalEntry entry;
      entry.action = "edit";
      entry.actor = actor_ ? actor_() : "operator";
      entry.account = platform::BaseName(account_folder_);
      entry.character = character_;
      entry.details = ChangedFields(loaded_lines_, WorkingLines());
      journal_->Append(std::move(entry));
    }
    Show("File successfully re-encoded with new changes");
  }
  // A file that could not be written stays as it was; the console goes on supervising the
  // server, so only the editor closes.
  Close(CloseReason::kSaved);
}

// Empties every line directly after `line` that begins with key or is empty.
static void EmptyRun(std::vector<std::string>& lines, int line, int end, std::string_view key) {
  for (++line; line < end && (lines[line].empty() || StartsWith(lines[line], key)); ++line) {
    lines[line].clear();
  }
}

void PlayerEditor::RevealMap() {
  const int line = Find(0, kVisitKey);
  if (line < 0) return;  // nothing to replace: the character's map stays as it is
  std::string map, error;
  const std::string path = platform::JoinPath(services_.program_folder, gamedata::kMapInfoFileName);
  if (!services_.files.ReadFile(path, &map, &error)) {
    Show("Error reading " + path + " (" + error + ")!  The map was not revealed.");
    return;
  }
  lines_[line] = std::move(map);
  EmptyRun(lines_, line, EndLine(), kVisitKey);
}

void PlayerEditor::UnlockGates() {
  const int line = Find(0, kLockedGateKey);
  if (line < 0) return;
  lines_[line].clear();
  EmptyRun(lines_, line, EndLine(), kLockedGateKey);
}

void PlayerEditor::Repair(const std::string& combo, Table table, const std::string& title,
                          const std::string& question) {
  if (controls_.Get(combo).selected() >= 0) return;
  if (services_.catalogue.size(table) == 0) return;  // nothing to insert
  if (!Ask(title, question)) return;
  const int equip = Find(0, kEquipKey);
  if (equip < 0) {
    Show("Cannot find any equip lines!");
    return;
  }
  InsertLine(equip, std::string(kEquipKey) + services_.catalogue.slot(table, 0).hashCode + ", , 1");
}

bool PlayerEditor::WriteFile() {
  std::string text;
  for (int line = 1; line < EndLine(); ++line) {
    if (lines_[line].empty()) continue;
    text += lines_[line];
    text += "\r\n";
  }
  players::WorkingText working;
  if (!working.Load(std::move(text))) {
    Show("The changed file would hold more than " + std::to_string(players::kMaxFileLines) +
         " lines; it was not saved.");
    return false;
  }
  return players::RewriteCharacterFile(services_, &frontend_(), working, account_folder_,
                                       file_name_);
}

void PlayerEditor::Close(CloseReason reason) {
  if (closed_) return;
  closed_ = true;
  controls_.SetEnabled("tmrInactivityTimer", false);
  if (closer_) closer_(reason);
}

// ---- Helpers ----

std::vector<std::string> PlayerEditor::WorkingLines() const {
  if (lines_.size() < 2) return {};
  return std::vector<std::string>(lines_.begin() + 1, lines_.end() - 1);
}

int PlayerEditor::Find(int start, std::string_view key, std::string_view key2) const {
  for (int line = std::max(start, 0); line < EndLine(); ++line) {
    if (StartsWith(lines_[line], key) || (!key2.empty() && StartsWith(lines_[line], key2))) {
      return line;
    }
  }
  return -1;
}

bool PlayerEditor::InsertLine(int before, std::string text) {
  if (EndLine() >= players::kMaxWorkingLines) {
    Show("The file already holds " + std::to_string(players::kMaxFileLines) +
         " lines; no line can be added.");
    return false;
  }
  lines_.insert(lines_.begin() + before, std::move(text));
  for (ItemList& list : items_) {
    for (int& line : list.lines) {
      if (line >= before) ++line;
    }
  }
  return true;
}

const gamedata::Entry* PlayerEditor::FindByDisplayName(const std::vector<Table>& tables,
                                                       const std::string& name) const {
  for (Table table : tables) {
    if (const gamedata::Entry* entry = services_.catalogue.FindByDisplayName(table, name)) {
      return entry;
    }
  }
  return nullptr;
}

int PlayerEditor::SelectedRow(const std::string& list) const {
  const ui::Control& control = controls_.Get(list);
  const int row = control.selected();
  return row >= 0 && row < static_cast<int>(control.rows().size()) ? row : -1;
}

std::string PlayerEditor::SelectedText(const std::string& list) const {
  const int row = SelectedRow(list);
  return row < 0 ? "" : controls_.Get(list).rows()[row];
}

bool PlayerEditor::Ask(const std::string& title, const std::string& text) {
  return frontend_().AskOkCancel(title, text);
}

void PlayerEditor::Show(const std::string& text) {
  frontend_().ShowMessage(kEditorMessageTitle, text);
}

bool PlayerEditor::Warnings() const { return services_.settings.chkDisableEditWarnings == 0; }

}  // namespace helmsman::editor
