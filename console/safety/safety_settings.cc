#include "console/safety/safety_settings.h"

#include <algorithm>
#include <charconv>

#include "console/settings/text_lines.h"

namespace helmsman::safety {

namespace {

// A whole number clamped into [low, high]; false (value unchanged) when the text is none.
bool ReadClamped(std::string_view text, int low, int high, int* value) {
  long long number = 0;
  auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), number);
  if (end != text.data() + text.size() || text.empty()) return false;
  if (ec == std::errc::result_out_of_range) {
    number = text.starts_with('-') ? low : high;
  } else if (ec != std::errc()) {
    return false;
  }
  *value = static_cast<int>(std::clamp<long long>(number, low, high));
  return true;
}

}  // namespace

SafetySettings ParseSafetySettings(std::string_view text) {
  SafetySettings settings;
  settings::ForEachKeyValue(text, [&](std::string_view key, std::string_view value) {
    if (key == "QuarantineDays") {
      ReadClamped(value, 0, kMaxQuarantineDays, &settings.quarantine_days);
    } else if (key == "CrashBudget") {
      ReadClamped(value, 0, kMaxCrashBudget, &settings.crash_budget);
    } else if (key == "CrashBudgetMinutes") {
      ReadClamped(value, 1, kMaxCrashBudgetMinutes, &settings.crash_budget_minutes);
    }
  });
  return settings;
}

std::string SafetySettingsText(const SafetySettings& settings) {
  return "QuarantineDays=" + std::to_string(settings.quarantine_days) +
         "\r\nCrashBudget=" + std::to_string(settings.crash_budget) +
         "\r\nCrashBudgetMinutes=" + std::to_string(settings.crash_budget_minutes) + "\r\n";
}

SafetyLoad LoadSafetySettings(platform::FileSystem& files, const std::string& program_folder,
                              SafetySettings* settings, std::string* error) {
  *settings = SafetySettings();
  const std::string path = platform::JoinPath(program_folder, kSafetySettingsFileName);
  if (!files.FileExists(path)) return SafetyLoad::kNoFile;
  std::string text;
  if (!files.ReadFile(path, &text, error)) return SafetyLoad::kUnreadable;
  *settings = ParseSafetySettings(text);
  return SafetyLoad::kLoaded;
}

bool SaveSafetySettings(platform::FileSystem& files, const std::string& program_folder,
                        const SafetySettings& settings, std::string* error) {
  return files.WriteFileDurably(platform::JoinPath(program_folder, kSafetySettingsFileName),
                                SafetySettingsText(settings), error);
}

}  // namespace helmsman::safety
