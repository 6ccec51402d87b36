#include "console/publishing/statistics_run.h"

#include <algorithm>

#include "console/settings/text_lines.h"
#include "platform/process.h"

namespace helmsman::publishing {

namespace {

struct StatOption {
  int settings::Settings::*checked;
  int settings::Settings::*value;  // nullptr: an option without a value
  const char* option;
};

const StatOption kOptions[] = {
    {&settings::Settings::chkQVStatShowTopNPlayers, &settings::Settings::vscQVStatShowTopNPlayers,
     " -top "},
    {&settings::Settings::chkQVStatShowPlayersAtRankN,
     &settings::Settings::vscQVStatShowPlayersAtRankN, " -rank "},
    {&settings::Settings::chkQVStatShowPlayersPlayedWithinNDays,
     &settings::Settings::vscQVStatShowPlayersPlayedWithinNDays, " -days "},
    {&settings::Settings::chkQVStatHighlightPlayersWithinLastNHours,
     &settings::Settings::vscQVStatHighlightPlayersWithinLastNHours, " -active "},
    {&settings::Settings::chkQVStatHighlightCheatersSensitivity,
     &settings::Settings::vscQVStatHighlightCheatersSensitivity, " -cheats "},
    {&settings::Settings::chkQVStatSaveCPUCyclesPauseDuration,
     &settings::Settings::vscQVStatSaveCPUCyclesPauseDuration, " -nice "},
    {&settings::Settings::chkQVStatShowPlayerPOS, nullptr, " -pos "},
};

// The value as the window holds it: a 16-bit integer.
std::string Value16(int value) { return std::to_string(static_cast<int16_t>(value)); }

std::string TrimRight(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::vector<std::string> BatchLines(const settings::Settings& s,
                                    const std::string& program_folder) {
  const std::string folder = TrimRight(platform::ShortPath(program_folder));
  const std::string middle = BatchQuote(platform::JoinPath(folder, kStatisticsOutputName));
  return {
      "@" + BatchQuote(s.txtQVStatExePath) + QVStatOptions(s, ScriptForm::kBatch) + ">" + middle,
      "@copy /B " + BatchQuote(platform::ShortPath(s.txtQVStatHeaderPath)) + "+" + middle + "+" +
          BatchQuote(platform::ShortPath(s.txtQVStatFooterPath)) + " " +
          BatchQuote(s.txtQVStatOutputPath),
  };
}

std::vector<std::string> ShellLines(const settings::Settings& s,
                                    const std::string& program_folder) {
  const std::string middle = ShellQuote(platform::JoinPath(program_folder, kStatisticsOutputName));
  const std::string bound = "timeout -k " + std::to_string(kStepKillGraceSeconds) + " " +
                            std::to_string(std::max(1, s.vscStatsGenerationInterval) * 60) + " ";
  // The mode a file made by ">" gets (0666 less the umask): mktemp makes its file 0600.
  const std::string new_file_mode = "\"$(printf %o $((0666 & ~0$(umask))))\"";
  return {
      bound + ShellQuote(s.txtQVStatExePath) + QVStatOptions(s, ScriptForm::kPosixShell) + " >" +
          middle + " || exit 1",
      "part=$(mktemp " + ShellQuote(s.txtQVStatOutputPath + kPartialPageTemplate) + ") || exit 1",
      bound + "cat " + ShellQuote(s.txtQVStatHeaderPath) + " " + middle + " " +
          ShellQuote(s.txtQVStatFooterPath) + " >\"$part\" && chmod " + new_file_mode +
          " \"$part\" && mv -f \"$part\" " + ShellQuote(s.txtQVStatOutputPath) +
          " || { rm -f \"$part\"; exit 1; }",
  };
}

// The header or footer is read as the player pages read theirs: only a regular file, and
// not one too large for a page. False and *error when it is refused.
bool IsTemplateFile(platform::FileSystem& files, const std::string& path, std::string* error) {
  if (files.FileSize(path) > kMaxTemplateBytes) {
    *error = path + " is larger than " + std::to_string(kMaxTemplateBytes) + " bytes";
    return false;
  }
  std::string text;
  return files.ReadFile(path, &text, error);
}

}  // namespace

std::string QVStatOptions(const settings::Settings& s, ScriptForm form) {
  std::string options;
  for (const StatOption& stat : kOptions) {
    if (s.*stat.checked == 0) continue;
    if (stat.value != nullptr) {
      options += stat.option + Value16(s.*stat.value);
    } else {
      options += form == ScriptForm::kBatch ? stat.option : " -pos";
    }
  }
  return options;
}

std::string BatchQuote(const std::string& path) {
  std::string quoted = "\"";
  for (char c : path) {
    if (c == '%') quoted.push_back('%');
    quoted.push_back(c);
  }
  return quoted + "\"";
}

std::string ShellQuote(const std::string& path) {
  std::string quoted = "'";
  for (char c : path) {
    if (c == '\'') {
      quoted += "'\\''";
    } else {
      quoted.push_back(c);
    }
  }
  return quoted + "'";
}

std::vector<std::string> StatisticsScriptLines(const settings::Settings& settings,
                                               const std::string& program_folder, ScriptForm form) {
  return form == ScriptForm::kBatch ? BatchLines(settings, program_folder)
                                    : ShellLines(settings, program_folder);
}

void RunStatistics(PublishingServices& services, const settings::Settings& s, ScriptForm form) {
  platform::FileSystem& files = services.files;
  if (!files.FileExists(s.txtQVStatExePath) || !files.FileExists(s.txtQVStatHeaderPath) ||
      !files.FileExists(s.txtQVStatFooterPath) || s.txtQVStatOutputPath.empty()) {
    services.logs.Append(logs::LogId::kHelmError, kQVStatMissingFilesLog);
    services.status.Set(kQVStatMissingFilesStatus);
    return;
  }
  std::string error;
  if (!IsTemplateFile(files, s.txtQVStatHeaderPath, &error) ||
      !IsTemplateFile(files, s.txtQVStatFooterPath, &error)) {
    services.logs.Append(logs::LogId::kHelmError, ": QVStat is not run - " + error);
    return;
  }
  services.status.Set(kRunningQVStatStatus);
  services.logs.Append(logs::LogId::kServerActivity, kQVStatExecutedLog);
  std::vector<std::string> lines = StatisticsScriptLines(s, services.program_folder, form);
  std::string follow_up;
  if (!s.txtPostStatsGenerationScriptFile.empty() &&
      files.FileExists(s.txtPostStatsGenerationScriptFile) &&
      files.ReadFile(s.txtPostStatsGenerationScriptFile, &follow_up, &error)) {
    settings::LineReader reader(follow_up);
    for (std::string_view line; reader.Next(&line);) lines.emplace_back(line);
  }
  // /bin/sh takes a carriage return for part of the line, so the shell form ends its lines
  // in LF alone; the batch form keeps the CR LF of the program's other files.
  const char* line_end = form == ScriptForm::kBatch ? "\r\n" : "\n";
  std::string script;
  for (const std::string& line : lines) script += line + line_end;
  const std::string path = platform::JoinPath(services.program_folder, kStatisticsScriptName);
  if (!files.WriteFileDurably(path, script, &error)) {
    services.logs.Append(logs::LogId::kHelmError, ": Unable to write " + path + " - " + error);
    services.status.Set(ui::kGoodToGo);
    return;
  }
  if (!services.start_script(path, services.program_folder, &error)) {
    services.logs.Append(logs::LogId::kHelmError,
                         ": Unable to start the script " + path + " - " + error);
    services.status.Set(ui::kGoodToGo);
    return;
  }
  services.status.Set(kQVStatExecutedStatus);
}

}  // namespace helmsman::publishing
