// The six settings files in the program folder, one value per line in a fixed order and
// without keys, and the three save operations of the configuration buttons.
//
// Line encoding: lines end in CR LF. Texts are written exactly as held. Switches, numbers,
// options and list indices are written in the console's numeric print form: a blank in
// place of the sign for a value that is not negative, a minus otherwise, and one trailing
// blank (" 1 ", "-1 "). Option pairs are written as 0 when button 0 is selected and as 1
// otherwise (so "no date order selected" is written as 1).
//
// Reading: a line ends at CR LF, a lone LF or a lone CR (text_lines.h). A file that ends early
// leaves the remaining fields as they were (the defaults at start-up); lines after the last field
// are ignored. Numeric lines take the whole number at the start of the line (leading
// blanks skipped, a line that does not start with a number gives 0, a fraction rounded to
// the nearest whole number, halves away from zero; "99999999999999999999" saturates) and
// are then clamped into the field's range: a damaged file can never put an out-of-range
// value into the record. Numbers use their scroll bar's range (the character limit 1..5,
// so a 9 reads as 5), switches and options 0..1 (a file cannot select "no button"),
// list indices -1 up to the last entry of their list.
// Texts of the program, statistics and web output files lose their trailing blanks;
// banner lines 3 to 54 are applied only when not empty and are not trimmed; every line of
// a filter file, trailing blanks removed, is one entry, empty lines included.
//
// Every file is written durably (temporary file in the same folder, renamed over the old
// one), so a crash or a full disk mid-save leaves the previous file intact.
#ifndef HELMSMAN_CONSOLE_SETTINGS_SETTINGS_FILES_H_
#define HELMSMAN_CONSOLE_SETTINGS_SETTINGS_FILES_H_

#include <set>
#include <span>
#include <string>
#include <string_view>

#include "console/logs/logs.h"
#include "console/settings/settings.h"
#include "console/ui/frontend.h"
#include "platform/file_system.h"

namespace helmsman::settings {

enum class SettingsFile {
  kProgram,           // "Helmsman.ini", 38 lines
  kBanners,           // "HelmsmanBanners.ini", 54 lines
  kQVStat,            // "HelmsmanQVStat.ini", 20 lines
  kWebOutput,         // "HelmsmanWebOutput.ini", 10 lines
  kNameFilters,       // "HelmsmanNameFilterAutoBan.ini", one entry a line
  kEquipmentFilters,  // "HelmsmanEquipmentFilterAutoBan.ini", one entry a line
};

// The file's name in the program folder.
const char* FileName(SettingsFile file);

enum class FieldKind { kText, kSwitch, kNumber, kOption, kListIndex };

// One line of a fixed-layout file: which field it holds and, for numeric kinds, the range
// a loaded value is clamped to. Exactly one of the four member pointers is set; the array
// ones use `index`.
struct FieldSpec {
  const char* name;  // the control's name, e.g. "vscAutoUpdateInterval", "txtTimedBanner"
  FieldKind kind;
  int min = 0;
  int max = 0;
  std::string Settings::*text = nullptr;
  int Settings::*number = nullptr;
  std::array<std::string, kTimedBannerCount> Settings::*text_array = nullptr;
  std::array<int, kDailyBannerCount> Settings::*number_array = nullptr;
  int index = 0;
};

// The lines of a fixed-layout file in file order (empty for the two filter files).
std::span<const FieldSpec> FileLayout(SettingsFile file);

// The record member a layout line names.
std::string& TextField(const FieldSpec& field, Settings& s);
const std::string& TextField(const FieldSpec& field, const Settings& s);
int& NumberField(const FieldSpec& field, Settings& s);
int NumberField(const FieldSpec& field, const Settings& s);

// The whole number at the start of a line as described above, saturated to int.
int ParseNumber(std::string_view line);
// The numeric print form: " 5 ", "-1 ".
std::string FormatNumber(int value);

// The file's text from the record, and the record from a file's text.
std::string EncodeFile(SettingsFile file, const Settings& s);
void DecodeFile(SettingsFile file, std::string_view text, Settings* s);

// Settings files that could not be read. The saves leave them alone, so that a file the
// console could not read (no read permission, a pipe) is never replaced with defaults.
using SettingsFileSet = std::set<SettingsFile>;

// Reads one file from the program folder when it exists; a missing file changes nothing.
// A file that exists but cannot be read changes nothing, puts ": Error reading settings
// file <path>: <reason>" into the HELM error log and returns false.
bool LoadSettingsFile(SettingsFile file, const std::string& program_folder,
                      platform::FileSystem& fs, Settings* s, logs::Logs& logs);
// Start-up reads the settings in two groups around the player list file:
// program and banner settings first ...
// Each adds the files that could not be read to *unreadable, when given.
void LoadProgramAndBannerSettings(const std::string& program_folder, platform::FileSystem& fs,
                                  Settings* s, logs::Logs& logs,
                                  SettingsFileSet* unreadable = nullptr);
// ... then statistics, web output, name filter and equipment filter settings.
void LoadRemainingSettings(const std::string& program_folder, platform::FileSystem& fs, Settings* s,
                           logs::Logs& logs, SettingsFileSet* unreadable = nullptr);
// Both groups in order.
void LoadAllSettings(const std::string& program_folder, platform::FileSystem& fs, Settings* s,
                     logs::Logs& logs, SettingsFileSet* unreadable = nullptr);

// Writes one file durably. On failure the old file is untouched, *error says why.
bool SaveSettingsFile(SettingsFile file, const std::string& program_folder,
                      platform::FileSystem& fs, const Settings& s, std::string* error);

// The save operations. Each file is announced on the status line ("Saving HELM banner
// settings...") and confirmed after it is written ("HELM banner settings saved"). A file
// that cannot be written keeps its old contents, puts ": Error saving settings file
// <path>: <reason>" into the HELM error log, and the save goes on with the next file; at
// the end the status line then reads "Unable to save <names> (see HELM Error Log)" and
// the result is false. A file in `keep` (one that could not be read at start-up) is not
// written: ": Settings file <path> was not saved: it could not be read at start-up and is
// kept as it is" goes into the HELM error log instead, and the save goes on (not a
// failure).
//
// "Save Program Configuration" and shut-down: all six files. The program file is written
// only while txtQVServerexePath names an existing file, so a console that has not yet
// located the server does not overwrite a good file with empty paths (silently skipped;
// not a failure).
bool SaveAllSettings(const std::string& program_folder, platform::FileSystem& fs, const Settings& s,
                     ui::StatusLine& status, logs::Logs& logs, const SettingsFileSet& keep = {});
// "Save Banner Configuration": the banner file.
bool SaveBannerSettings(const std::string& program_folder, platform::FileSystem& fs,
                        const Settings& s, ui::StatusLine& status, logs::Logs& logs,
                        const SettingsFileSet& keep = {});
// "Save Web Output Configuration": the statistics file, then the web output file.
bool SaveWebOutputSettings(const std::string& program_folder, platform::FileSystem& fs,
                           const Settings& s, ui::StatusLine& status, logs::Logs& logs,
                           const SettingsFileSet& keep = {});

}  // namespace helmsman::settings

#endif  // HELMSMAN_CONSOLE_SETTINGS_SETTINGS_FILES_H_
