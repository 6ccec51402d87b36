// A character file as the console reads it: the first byte sets the two settings the reader
// looks at (bit 0 deletes files whose name holds a line break, bit 1 reads dates as
// DD/MM/YYYY), the rest is the decoded text, scrambled into the account folder and read into
// a record through the real codec over the demo universe's invented catalogue. Whatever the
// text, the read ends in 1 or 0, leaves no temporary file and never loads a name with a
// line break.
#include <cstddef>
#include <cstdint>
#include <string>

#include "codec/codec.h"
#include "codec/scramble.h"
#include "console/gamedata/catalogue.h"
#include "console/logs/logs.h"
#include "console/players/player_file_reader.h"
#include "console/players/player_list.h"
#include "console/settings/settings.h"
#include "gamefiles/catalogue.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"
#include "tools/fuzz/fuzz_check.h"
#include "tools/fuzz/memory_file_system.h"

namespace {

namespace players = helmsman::players;
constexpr char kProgram[] = "/fuzz/program";
constexpr char kAccount[] = "/fuzz/accounts/01-0000ABCD";
constexpr char kFile[] = "00c0ffee.qv";

struct World {
  World() {
    files.MakeDirectory(kProgram);
    files.MakeDirectory(kAccount);
    std::string error;
    FUZZ_CHECK(helmsman::gamefiles::WriteGamedata(helmsman::gamefiles::MakeCatalogue(2026),
                                                  kProgram, files, &error));
    catalogue.LoadAll(kProgram, files, logs);
  }
  helmsman::fuzz::MemoryFileSystem files;
  helmsman::platform::FakeClock clock;
  helmsman::platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  helmsman::logs::Logs logs{clock, locale};
  helmsman::gamedata::Catalogue catalogue;
  helmsman::settings::Settings settings;
  players::PlayerList list;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Made once: the catalogue and the 20,001 records are too costly to make for every input.
  static World* world = new World();
  world->settings.chkDeletePlayersWithLinefeedCharactersInName = data[0] & 1;
  world->settings.optRegionalDateSetting = (data[0] >> 1) & 1;
  const std::string path = helmsman::platform::JoinPath(kAccount, kFile);
  world->files.Put(path, helmsman::codec::EncodeText(
                             std::string(reinterpret_cast<const char*>(data) + 1, size - 1)));
  helmsman::logs::Logs logs(world->clock, world->locale);
  players::CharacterFileServices services{
      world->files,
      [&files = world->files](int32_t type, const std::string& source, const std::string& target) {
        return helmsman::codec::Convert(type, source.c_str(), target.c_str(), files);
      },
      world->catalogue,
      world->settings,
      logs,
      kProgram};
  players::PlayerFileReader reader(services);
  *world->list.At(0) = players::PlayerRecord();
  const int result = reader.Read(world->list, 0, kAccount, kFile);
  FUZZ_CHECK(result == 0 || result == 1);
  FUZZ_CHECK(!world->files.FileExists(players::DecodeTempPath(kProgram, 0)));
  const std::string& name = world->list.At(0)->name;
  FUZZ_CHECK(name.find('\n') == std::string::npos && name.find('\r') == std::string::npos);
  if (result == 1) {
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(world->list.At(0)->file_name == kFile);
  }
  return 0;
}
