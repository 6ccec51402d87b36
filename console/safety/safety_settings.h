// The settings of what keeps player data safe, in their own file "HelmsmanSafety.ini" in the
// program folder, beside the six settings files (whose fixed layout they stay out of). Lines
// "Key=Value", CR LF; unknown keys and lines are ignored, a value out of range is clamped.
// A missing file gives the defaults and is written with them at start-up, so the operator
// finds the keys to change.
//
//   QuarantineDays=30   days a quarantine entry is kept before the maintenance cycle purges
//                       it; 0 = character files and folders are deleted at once, as before
//   CrashBudget=5       crashes within CrashBudgetMinutes after which the server is not
//                       restarted (restarts before it back off); 0 = every crash restarts
//                       the server at once
//   CrashBudgetMinutes=15
#ifndef HELMSMAN_CONSOLE_SAFETY_SAFETY_SETTINGS_H_
#define HELMSMAN_CONSOLE_SAFETY_SAFETY_SETTINGS_H_

#include <string>
#include <string_view>

#include "platform/file_system.h"

namespace helmsman::safety {

inline constexpr char kSafetySettingsFileName[] = "HelmsmanSafety.ini";
inline constexpr int kDefaultQuarantineDays = 30;
inline constexpr int kMaxQuarantineDays = 36500;

inline constexpr int kDefaultCrashBudget = 5;
inline constexpr int kDefaultCrashBudgetMinutes = 15;
inline constexpr int kMaxCrashBudget = 1000;
inline constexpr int kMaxCrashBudgetMinutes = 10080;  // a week

struct SafetySettings {
  int quarantine_days = kDefaultQuarantineDays;
  int crash_budget = kDefaultCrashBudget;
  int crash_budget_minutes = kDefaultCrashBudgetMinutes;
};

// The settings of a file's text.
SafetySettings ParseSafetySettings(std::string_view text);
std::string SafetySettingsText(const SafetySettings& settings);

enum class SafetyLoad { kLoaded, kNoFile, kUnreadable };
// Reads the file in program_folder into *settings (the defaults when there is none).
SafetyLoad LoadSafetySettings(platform::FileSystem& files, const std::string& program_folder,
                              SafetySettings* settings, std::string* error);
bool SaveSafetySettings(platform::FileSystem& files, const std::string& program_folder,
                        const SafetySettings& settings, std::string* error);

}  // namespace helmsman::safety

#endif  // HELMSMAN_CONSOLE_SAFETY_SAFETY_SETTINGS_H_
