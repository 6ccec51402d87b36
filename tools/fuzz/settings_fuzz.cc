// The six settings files: the first byte picks the file, the rest is its text, loaded from
// the program folder as start-up loads it. Whatever the file held, the file written from the
// record it gives reads back into a record that writes the same file: a damaged file never
// turns into settings that drift from start to start.
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/logs/logs.h"
#include "console/settings/settings_files.h"
#include "platform/clock.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"
#include "tools/fuzz/fuzz_check.h"
#include "tools/fuzz/memory_file_system.h"

namespace {

namespace settings = helmsman::settings;
constexpr char kFolder[] = "/fuzz/program";
constexpr settings::SettingsFile kFiles[] = {
    settings::SettingsFile::kProgram,     settings::SettingsFile::kBanners,
    settings::SettingsFile::kQVStat,      settings::SettingsFile::kWebOutput,
    settings::SettingsFile::kNameFilters, settings::SettingsFile::kEquipmentFilters,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const settings::SettingsFile file = kFiles[data[0] % 6];
  const std::string text(reinterpret_cast<const char*>(data) + 1, size - 1);
  helmsman::fuzz::MemoryFileSystem files;
  files.MakeDirectory(kFolder);
  files.Put(helmsman::platform::JoinPath(kFolder, settings::FileName(file)), text);
  helmsman::platform::FakeClock clock;
  helmsman::platform::PictureLocaleTexts locale("M/d/yyyy", "h:mm:ss tt");
  helmsman::logs::Logs logs(clock, locale);
  settings::Settings loaded;
  settings::LoadSettingsFile(file, kFolder, files, &loaded, logs);

  // The file form is stable: what was saved reads back into settings that save the same.
  // (The record itself may change once: an option pair with no button selected is saved as
  // its second button.)
  const std::string written = settings::EncodeFile(file, loaded);
  settings::Settings reloaded;
  settings::DecodeFile(file, written, &reloaded);
  FUZZ_CHECK(settings::EncodeFile(file, reloaded) == written);
  settings::Settings again = reloaded;
  settings::DecodeFile(file, written, &again);
  FUZZ_CHECK(again == reloaded);
  return 0;
}
