// helmsman-settings: sets fields of the console's settings files from a shell, by the names
// of their controls, so that scripts (the demo, end-to-end tests) prepare a program folder
// the way an operator would with the window.
//
//   helmsman-settings --home DIR NAME=VALUE...
//
// The four fixed-layout files of DIR ("Helmsman.ini", "HelmsmanBanners.ini",
// "HelmsmanQVStat.ini", "HelmsmanWebOutput.ini") are read, the named fields set and all four
// written again. Element NAMEs of arrays carry their index: "txtTimedBanner_3". Numeric
// fields take whole numbers; the console clamps them into range when it reads the file.
// Exit status: 0 written, 1 a file could not be written, 2 usage or an unknown name.
#include <iostream>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/settings/settings.h"
#include "console/settings/settings_files.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"

namespace {

using namespace helmsman;
using settings::SettingsFile;

constexpr SettingsFile kFiles[] = {SettingsFile::kProgram, SettingsFile::kBanners,
                                   SettingsFile::kQVStat, SettingsFile::kWebOutput};

std::string FieldName(const settings::FieldSpec& field) {
  const bool array = field.text_array != nullptr || field.number_array != nullptr;
  return array ? std::string(field.name) + "_" + std::to_string(field.index) : field.name;
}

// Sets the field called name; false when no file has it.
bool Set(settings::Settings& s, const std::string& name, const std::string& value) {
  for (SettingsFile file : kFiles) {
    for (const settings::FieldSpec& field : settings::FileLayout(file)) {
      if (FieldName(field) != name) continue;
      if (field.kind == settings::FieldKind::kText) {
        settings::TextField(field, s) = value;
      } else {
        settings::NumberField(field, s) = settings::ParseNumber(value);
      }
      return true;
    }
  }
  return false;
}

int Usage() {
  std::cerr << "usage: helmsman-settings --home DIR NAME=VALUE...\n";
  return 2;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  if (args.size() < 2 || args[0] != "--home") return Usage();
  const std::string home = args[1];
  platform::FileSystem& files = platform::DiskFileSystem();
  if (!files.DirectoryExists(home)) {
    std::cerr << "helmsman-settings: " << home << " is not a folder\n";
    return 2;
  }
  platform::PictureLocaleTexts locale("M/d/yyyy", "h:mm:ss tt");
  logs::Logs logs(platform::SystemClock(), locale);
  settings::Settings s;
  settings::LoadAllSettings(home, files, &s, logs);
  for (size_t i = 2; i < args.size(); ++i) {
    const size_t equals = args[i].find('=');
    if (equals == std::string::npos ||
        !Set(s, args[i].substr(0, equals), args[i].substr(equals + 1))) {
      std::cerr << "helmsman-settings: not a setting: " << args[i] << "\n";
      return 2;
    }
  }
  for (const std::string& line : logs.lines(logs::LogId::kHelmError)) std::cerr << line << "\n";
  int status = 0;
  for (SettingsFile file : kFiles) {
    std::string error;
    if (!settings::SaveSettingsFile(file, home, files, s, &error)) {
      std::cerr << "helmsman-settings: " << error << "\n";
      status = 1;
    }
  }
  return status;
}
