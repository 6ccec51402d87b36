#include "console/settings/settings_files.h"

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

#include "console/settings/text_lines.h"

namespace helmsman::settings {

namespace {

// The field's name and member, so that a layout line always names the field it holds.
#define HELMSMAN_FIELD(member) #member, &Settings::member

FieldSpec Text(const char* name, std::string Settings::*member) {
  FieldSpec field{name, FieldKind::kText};
  field.text = member;
  return field;
}

FieldSpec Numeric(const char* name, int Settings::*member, FieldKind kind, int min, int max) {
  FieldSpec field{name, kind, min, max};
  field.number = member;
  return field;
}

FieldSpec Switch(const char* name, int Settings::*member) {
  return Numeric(name, member, FieldKind::kSwitch, 0, 1);
}

FieldSpec Number(const char* name, int Settings::*member, int min, int max) {
  return Numeric(name, member, FieldKind::kNumber, min, max);
}

FieldSpec Option(const char* name, int Settings::*member) {
  return Numeric(name, member, FieldKind::kOption, 0, 1);
}

// The base list holds at most the 1000 bases of the game data catalogue.
FieldSpec ListIndex(const char* name, int Settings::*member, int max) {
  return Numeric(name, member, FieldKind::kListIndex, -1, max);
}

std::vector<FieldSpec> ProgramLayout() {
  return {
      Text(HELMSMAN_FIELD(txtQVServerexePath)),
      Text(HELMSMAN_FIELD(txtQVServerWindowName)),
      Switch(HELMSMAN_FIELD(chkAutoUpdatePlayersOnline)),
      Number(HELMSMAN_FIELD(vscAutoUpdateInterval), 5, 300),
      Text(HELMSMAN_FIELD(txtQVServercfgPath)),
      Text(HELMSMAN_FIELD(txtQVServerCommandLineOptions)),
      Number(HELMSMAN_FIELD(vscDaysInactive), 5, 600),
      Number(HELMSMAN_FIELD(vscMinutesInactive), 1, 30),
      Switch(HELMSMAN_FIELD(chkServerCheckDelay)),
      Number(HELMSMAN_FIELD(vscServerCheckInterval), 1, 30),
      Switch(HELMSMAN_FIELD(chkClearChatAfterSend)),
      Switch(HELMSMAN_FIELD(chkDontCheckForNewQvFilesOnRun)),
      Number(HELMSMAN_FIELD(vscPlayerBanCheckInterval), 1, 60),
      Switch(HELMSMAN_FIELD(chkDeletePlayersWithLinefeedCharactersInName)),
      Switch(HELMSMAN_FIELD(chkEnableAutomatedMaintenance)),
      Number(HELMSMAN_FIELD(vscAutoMaintenanceInterval), 6, 48),
      Switch(HELMSMAN_FIELD(chkRestartQVServer)),
      Switch(HELMSMAN_FIELD(chkDeleteNonBannedInactivePlayers)),
      Switch(HELMSMAN_FIELD(chkDeleteNonBannedUninterestedPlayers)),
      Switch(HELMSMAN_FIELD(chkDeleteNonBannedEmptyPlayerFolders)),
      Switch(HELMSMAN_FIELD(chkAutoBanPlayersWithSpecifiedEquipment)),
      Switch(HELMSMAN_FIELD(chkServerIsModded)),
      Switch(HELMSMAN_FIELD(chkDisableEditWarnings)),
      Text(HELMSMAN_FIELD(txtKickedPlayersFine)),
      ListIndex(HELMSMAN_FIELD(cmbAvailableBases), 999),
      Option(HELMSMAN_FIELD(optRegionalDateSetting)),
      Option(HELMSMAN_FIELD(optRegionalTimeSetting)),
      Switch(HELMSMAN_FIELD(chkRunHELMUnattended)),
      Switch(HELMSMAN_FIELD(chkAutoBanPlayersWithUnknownEquipment)),
      Option(HELMSMAN_FIELD(optPlayerWithBadNamePunishment)),
      Switch(HELMSMAN_FIELD(chkDeleteQVServerErrorsLogfile)),
      Switch(HELMSMAN_FIELD(chkCheckCheaterLog)),
      Switch(HELMSMAN_FIELD(chkAutoBanShipRelatedCheaters)),
      Switch(HELMSMAN_FIELD(chkAutoBanEquipmentExceedsShipSpecsCheats)),
      Switch(HELMSMAN_FIELD(chkAutoBanShipOrEquipmentNotSoldOnBaseCheats)),
      Switch(HELMSMAN_FIELD(chkAutoBanShipCapacityExceededCheats)),
      Number(HELMSMAN_FIELD(vscPlayerCharacterNumberLimit), 1, 5),
      Switch(HELMSMAN_FIELD(lblPlayerCharacterNumberLimit)),
  };
}

std::vector<FieldSpec> BannerLayout() {
  std::vector<FieldSpec> layout = {
      Number(HELMSMAN_FIELD(vscBannerDisplayInterval), 5, 120),
      Switch(HELMSMAN_FIELD(chkEnableTimedBanners)),
  };
  for (int i = 0; i < kTimedBannerCount; ++i) {
    FieldSpec field{"txtTimedBanner", FieldKind::kText};
    field.text_array = &Settings::txtTimedBanner;
    field.index = i;
    layout.push_back(field);
  }
  for (int i = 0; i < kDailyBannerCount; ++i) {
    FieldSpec text{"txtDailyBanner", FieldKind::kText};
    text.text_array = &Settings::txtDailyBanner;
    text.index = i;
    FieldSpec day{"cmbDailyBannerDay", FieldKind::kListIndex, -1, 6};  // "Sunday".."Saturday"
    day.number_array = &Settings::cmbDailyBannerDay;
    day.index = i;
    FieldSpec time{"cmbDailyBannerTime", FieldKind::kListIndex, -1, 23};  // "12AM".."11PM"
    time.number_array = &Settings::cmbDailyBannerTime;
    time.index = i;
    layout.insert(layout.end(), {text, day, time});
  }
  layout.insert(layout.end(), {
                                  Text(HELMSMAN_FIELD(txtNewPlayerBannerPart2)),
                                  Text(HELMSMAN_FIELD(txt5MinuteShutdownWarningBanner)),
                                  Text(HELMSMAN_FIELD(txt1MinuteShutdownWarningBanner)),
                                  Text(HELMSMAN_FIELD(txtShutdownWarningBanner)),
                              });
  return layout;
}

std::vector<FieldSpec> QVStatLayout() {
  return {
      Switch(HELMSMAN_FIELD(chkEnableQVStat)),
      Number(HELMSMAN_FIELD(vscStatsGenerationInterval), 1, 120),
      Text(HELMSMAN_FIELD(txtQVStatExePath)),
      Text(HELMSMAN_FIELD(txtQVStatHeaderPath)),
      Text(HELMSMAN_FIELD(txtQVStatFooterPath)),
      Text(HELMSMAN_FIELD(txtQVStatOutputPath)),
      Switch(HELMSMAN_FIELD(chkQVStatShowTopNPlayers)),
      Number(HELMSMAN_FIELD(vscQVStatShowTopNPlayers), 10, 400),
      Switch(HELMSMAN_FIELD(chkQVStatShowPlayersAtRankN)),
      Number(HELMSMAN_FIELD(vscQVStatShowPlayersAtRankN), 1, 50),
      Switch(HELMSMAN_FIELD(chkQVStatShowPlayersPlayedWithinNDays)),
      Number(HELMSMAN_FIELD(vscQVStatShowPlayersPlayedWithinNDays), 1, 30),
      Switch(HELMSMAN_FIELD(chkQVStatHighlightPlayersWithinLastNHours)),
      Number(HELMSMAN_FIELD(vscQVStatHighlightPlayersWithinLastNHours), 1, 24),
      Switch(HELMSMAN_FIELD(chkQVStatHighlightCheatersSensitivity)),
      Number(HELMSMAN_FIELD(vscQVStatHighlightCheatersSensitivity), 1, 60),
      Switch(HELMSMAN_FIELD(chkQVStatSaveCPUCyclesPauseDuration)),
      Number(HELMSMAN_FIELD(vscQVStatSaveCPUCyclesPauseDuration), 10, 100),
      Switch(HELMSMAN_FIELD(chkQVStatShowPlayerPOS)),
      Text(HELMSMAN_FIELD(txtPostStatsGenerationScriptFile)),
  };
}

std::vector<FieldSpec> WebOutputLayout() {
  return {
      Switch(HELMSMAN_FIELD(chkEnableOnlinePlayerWebOutput)),
      Text(HELMSMAN_FIELD(txtOnlinePlayersWebOutputHeaderPath)),
      Text(HELMSMAN_FIELD(txtOnlinePlayersWebOutputFooterPath)),
      Text(HELMSMAN_FIELD(txtOnlinePlayersWebOutputOutputPath)),
      Text(HELMSMAN_FIELD(txtOnlinePlayersWebOutputPostGenerationScript)),
      Switch(HELMSMAN_FIELD(chkEnableBannedPlayersWebOutput)),
      Text(HELMSMAN_FIELD(txtBannedPlayersWebOutputHeaderPath)),
      Text(HELMSMAN_FIELD(txtBannedPlayersWebOutputFooterPath)),
      Text(HELMSMAN_FIELD(txtBannedPlayersWebOutputFilePath)),
      Text(HELMSMAN_FIELD(txtBannedPlayersWebOutputPostGenerationScript)),
  };
}

#undef HELMSMAN_FIELD

bool IsFilterFile(SettingsFile file) {
  return file == SettingsFile::kNameFilters || file == SettingsFile::kEquipmentFilters;
}

std::vector<std::string>& FilterList(SettingsFile file, Settings& s) {
  return file == SettingsFile::kNameFilters ? s.lstNameScanFilters : s.lstEquipmentScanFilters;
}

const std::vector<std::string>& FilterList(SettingsFile file, const Settings& s) {
  return file == SettingsFile::kNameFilters ? s.lstNameScanFilters : s.lstEquipmentScanFilters;
}

// A text holding a line break (a paste into a text box can bring one) would shift every
// later line of the file on the next load, so only the part before it is written.
void AppendTextLine(std::string_view text, std::string* out) {
  size_t end = FindLineEnd(text, 0);
  if (end != std::string_view::npos) text = text.substr(0, end);
  out->append(text);
  out->append("\r\n");
}

void ApplyLine(const FieldSpec& field, std::string_view line, bool banner_file, Settings* s) {
  if (field.kind == FieldKind::kText) {
    TextField(field, *s) = std::string(banner_file ? line : TrimTrailingBlanks(line));
  } else {
    NumberField(field, *s) = std::clamp(ParseNumber(line), field.min, field.max);
  }
}

void DecodeFixed(SettingsFile file, std::string_view text, Settings* s) {
  bool banner_file = file == SettingsFile::kBanners;
  LineReader reader(text);
  for (const FieldSpec& field : FileLayout(file)) {
    std::string_view line;
    if (!reader.Next(&line)) return;
    // Banner lines 3 on never clear a field: an empty one keeps what the field holds.
    if (banner_file && reader.line_number() >= 3 && line.empty()) continue;
    ApplyLine(field, line, banner_file, s);
  }
}

}  // namespace

const char* FileName(SettingsFile file) {
  switch (file) {
    case SettingsFile::kProgram:
      return "Helmsman.ini";
    case SettingsFile::kBanners:
      return "HelmsmanBanners.ini";
    case SettingsFile::kQVStat:
      return "HelmsmanQVStat.ini";
    case SettingsFile::kWebOutput:
      return "HelmsmanWebOutput.ini";
    case SettingsFile::kNameFilters:
      return "HelmsmanNameFilterAutoBan.ini";
    case SettingsFile::kEquipmentFilters:
      return "HelmsmanEquipmentFilterAutoBan.ini";
  }
  return "";
}

std::span<const FieldSpec> FileLayout(SettingsFile file) {
  static const std::vector<FieldSpec> kProgram = ProgramLayout();
  static const std::vector<FieldSpec> kBanners = BannerLayout();
  static const std::vector<FieldSpec> kQVStat = QVStatLayout();
  static const std::vector<FieldSpec> kWebOutput = WebOutputLayout();
  switch (file) {
    case SettingsFile::kProgram:
      return kProgram;
    case SettingsFile::kBanners:
      return kBanners;
    case SettingsFile::kQVStat:
      return kQVStat;
    case SettingsFile::kWebOutput:
      return kWebOutput;
    case SettingsFile::kNameFilters:
    case SettingsFile::kEquipmentFilters:
      break;
  }
  return {};
}

std::string& TextField(const FieldSpec& field, Settings& s) {
  return field.text ? s.*field.text : (s.*field.text_array)[field.index];
}

const std::string& TextField(const FieldSpec& field, const Settings& s) {
  return field.text ? s.*field.text : (s.*field.text_array)[field.index];
}

int& NumberField(const FieldSpec& field, Settings& s) {
  return field.number ? s.*field.number : (s.*field.number_array)[field.index];
}

int NumberField(const FieldSpec& field, const Settings& s) {
  return field.number ? s.*field.number : (s.*field.number_array)[field.index];
}

int ParseNumber(std::string_view line) {
  // Far beyond any int, yet far from overflowing the accumulator.
  constexpr int64_t kSaturation = int64_t{1} << 40;
  size_t at = 0;
  while (at < line.size() && (line[at] == ' ' || line[at] == '\t')) ++at;
  bool negative = false;
  if (at < line.size() && (line[at] == '-' || line[at] == '+')) negative = line[at++] == '-';
  int64_t magnitude = 0;
  for (; at < line.size() && line[at] >= '0' && line[at] <= '9'; ++at)
    magnitude = std::min(magnitude * 10 + (line[at] - '0'), kSaturation);
  // Only the first decimal decides the rounding: halves go away from zero.
  if (at + 1 < line.size() && line[at] == '.' && line[at + 1] >= '5' && line[at + 1] <= '9')
    ++magnitude;
  int64_t value = negative ? -magnitude : magnitude;
  return static_cast<int>(
      std::clamp<int64_t>(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}

std::string FormatNumber(int value) {
  std::string text = value < 0 ? "" : " ";
  text += std::to_string(value);
  text += ' ';
  return text;
}

std::string EncodeFile(SettingsFile file, const Settings& s) {
  std::string out;
  if (IsFilterFile(file)) {
    for (const std::string& entry : FilterList(file, s)) AppendTextLine(entry, &out);
    return out;
  }
  for (const FieldSpec& field : FileLayout(file)) {
    if (field.kind == FieldKind::kText) {
      AppendTextLine(TextField(field, s), &out);
    } else {
      int value = NumberField(field, s);
      if (field.kind == FieldKind::kOption) value = value == 0 ? 0 : 1;
      out += FormatNumber(value);
      out += "\r\n";
    }
  }
  return out;
}

void DecodeFile(SettingsFile file, std::string_view text, Settings* s) {
  if (!IsFilterFile(file)) {
    DecodeFixed(file, text, s);
    return;
  }
  std::vector<std::string>& list = FilterList(file, *s);
  list.clear();
  LineReader reader(text);
  std::string_view line;
  while (reader.Next(&line)) list.emplace_back(TrimTrailingBlanks(line));
}

bool LoadSettingsFile(SettingsFile file, const std::string& program_folder,
                      platform::FileSystem& fs, Settings* s, logs::Logs& logs) {
  std::string path = platform::JoinPath(program_folder, FileName(file));
  if (!fs.FileExists(path)) return true;
  std::string text, error;
  if (!fs.ReadFile(path, &text, &error)) {
    logs.Append(logs::LogId::kHelmError, ": Error reading settings file " + path + ": " + error);
    return false;
  }
  DecodeFile(file, text, s);
  return true;
}

namespace {

void LoadGroup(std::initializer_list<SettingsFile> files, const std::string& program_folder,
               platform::FileSystem& fs, Settings* s, logs::Logs& logs,
               SettingsFileSet* unreadable) {
  for (SettingsFile file : files) {
    if (!LoadSettingsFile(file, program_folder, fs, s, logs) && unreadable != nullptr)
      unreadable->insert(file);
  }
}

}  // namespace

void LoadProgramAndBannerSettings(const std::string& program_folder, platform::FileSystem& fs,
                                  Settings* s, logs::Logs& logs, SettingsFileSet* unreadable) {
  LoadGroup({SettingsFile::kProgram, SettingsFile::kBanners}, program_folder, fs, s, logs,
            unreadable);
}

void LoadRemainingSettings(const std::string& program_folder, platform::FileSystem& fs, Settings* s,
                           logs::Logs& logs, SettingsFileSet* unreadable) {
  LoadGroup({SettingsFile::kQVStat, SettingsFile::kWebOutput, SettingsFile::kNameFilters,
             SettingsFile::kEquipmentFilters},
            program_folder, fs, s, logs, unreadable);
}

void LoadAllSettings(const std::string& program_folder, platform::FileSystem& fs, Settings* s,
                     logs::Logs& logs, SettingsFileSet* unreadable) {
  LoadProgramAndBannerSettings(program_folder, fs, s, logs, unreadable);
  LoadRemainingSettings(program_folder, fs, s, logs, unreadable);
}

bool SaveSettingsFile(SettingsFile file, const std::string& program_folder,
                      platform::FileSystem& fs, const Settings& s, std::string* error) {
  return fs.WriteFileDurably(platform::JoinPath(program_folder, FileName(file)),
                             EncodeFile(file, s), error);
}

namespace {

// The status texts of one file's save step.
struct StepTexts {
  const char* saving;
  const char* saved;
};

StepTexts TextsOf(SettingsFile file) {
  switch (file) {
    case SettingsFile::kProgram:
      return {"Saving HELM configuration settings...", "HELM configuration settings saved"};
    case SettingsFile::kBanners:
      return {"Saving HELM banner settings...", "HELM banner settings saved"};
    case SettingsFile::kQVStat:
      return {"Saving HELM QVStat settings...", "HELM QVStat settings saved"};
    case SettingsFile::kWebOutput:
      return {"Saving HELM WebOutput settings...", "HELM WebOutput settings saved"};
    case SettingsFile::kNameFilters:
      return {"Saving HELM name autoban settings...", "HELM name autoban settings saved"};
    case SettingsFile::kEquipmentFilters:
      return {"Saving HELM equipment autoban settings...", "HELM equipment autoban settings saved"};
  }
  return {"", ""};
}

// Runs the save steps of one operation and remembers the files that failed.
class SaveRun {
 public:
  SaveRun(const std::string& folder, platform::FileSystem& fs, const Settings& s,
          ui::StatusLine& status, logs::Logs& logs, const SettingsFileSet& keep)
      : folder_(folder), fs_(fs), s_(s), status_(status), logs_(logs), keep_(keep) {}

  void Step(SettingsFile file) {
    if (keep_.count(file) != 0) {
      logs_.Append(logs::LogId::kHelmError,
                   ": Settings file " + platform::JoinPath(folder_, FileName(file)) +
                       " was not saved: it could not be read at start-up and is kept as it is");
      return;
    }
    StepTexts texts = TextsOf(file);
    status_.Set(texts.saving);
    std::string error;
    if (SaveSettingsFile(file, folder_, fs_, s_, &error)) {
      status_.Set(texts.saved);
      return;
    }
    std::string path = platform::JoinPath(folder_, FileName(file));
    logs_.Append(logs::LogId::kHelmError, ": Error saving settings file " + path + ": " + error);
    if (!failed_.empty()) failed_ += ", ";
    failed_ += FileName(file);
  }

  bool Finish() {
    if (failed_.empty()) return true;
    status_.Set("Unable to save " + failed_ + " (see HELM Error Log)");
    return false;
  }

 private:
  const std::string& folder_;
  platform::FileSystem& fs_;
  const Settings& s_;
  ui::StatusLine& status_;
  logs::Logs& logs_;
  const SettingsFileSet& keep_;
  std::string failed_;
};

}  // namespace

bool SaveAllSettings(const std::string& program_folder, platform::FileSystem& fs, const Settings& s,
                     ui::StatusLine& status, logs::Logs& logs, const SettingsFileSet& keep) {
  SaveRun run(program_folder, fs, s, status, logs, keep);
  if (!s.txtQVServerexePath.empty() && fs.FileExists(s.txtQVServerexePath))
    run.Step(SettingsFile::kProgram);
  for (SettingsFile file : {SettingsFile::kBanners, SettingsFile::kQVStat, SettingsFile::kWebOutput,
                            SettingsFile::kNameFilters, SettingsFile::kEquipmentFilters})
    run.Step(file);
  return run.Finish();
}

bool SaveBannerSettings(const std::string& program_folder, platform::FileSystem& fs,
                        const Settings& s, ui::StatusLine& status, logs::Logs& logs,
                        const SettingsFileSet& keep) {
  SaveRun run(program_folder, fs, s, status, logs, keep);
  run.Step(SettingsFile::kBanners);
  return run.Finish();
}

bool SaveWebOutputSettings(const std::string& program_folder, platform::FileSystem& fs,
                           const Settings& s, ui::StatusLine& status, logs::Logs& logs,
                           const SettingsFileSet& keep) {
  SaveRun run(program_folder, fs, s, status, logs, keep);
  run.Step(SettingsFile::kQVStat);
  run.Step(SettingsFile::kWebOutput);
  return run.Finish();
}

}  // namespace helmsman::settings
