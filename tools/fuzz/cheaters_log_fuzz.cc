// The server's "cheaters.log" as the console's auto-ban scan takes it: any bytes as the log
// beside the server's configuration, scanned with every kind of cheat switched on over a
// small player list (one account banned already) and a library that carries out every
// command, read in pieces of 1 to 13 bytes (chosen by the input's length) so that pieces end
// anywhere in a line. Whatever the log holds, the scan names no character longer than the
// game allows, keeps every non-empty line in the cumulative log, sums up the lines that name
// nobody in one HELM error-log line at most, and leaves neither the log nor its aside copy
// behind.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "console/logs/logs.h"
#include "console/moderation/cheaters_log.h"
#include "console/players/player_list.h"
#include "console/server/command_channel.h"
#include "console/server/qvadmin_api.h"
#include "console/server/testing/compliant_qvadmin.h"
#include "console/settings/settings.h"
#include "console/settings/text_lines.h"
#include "console/ui/frontend.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"
#include "tools/fuzz/fuzz_check.h"
#include "tools/fuzz/memory_file_system.h"

namespace {

namespace moderation = helmsman::moderation;
namespace players = helmsman::players;
constexpr char kRoot[] = "/fuzz/server/Accts/MultiPlayer";
const char* const kPilots[][2] = {
    {"Kess Orrin", "0A-1234ABCD"}, {"Vael Dun", "0B-00C0FFEE"}, {"Brune Tael", "0C-0BADF00D"}};

struct World {
  World() {
    settings.txtQVServercfgPath = std::string(kRoot) + "/QVServer.cfg";
    settings.chkAutoBanShipRelatedCheaters = 1;
    settings.chkAutoBanShipCapacityExceededCheats = 1;
    settings.chkAutoBanEquipmentExceedsShipSpecsCheats = 1;
    settings.chkAutoBanShipOrEquipmentNotSoldOnBaseCheats = 1;
  }
  helmsman::platform::FakeClock clock;
  helmsman::platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  helmsman::ui::StatusLine status;
  helmsman::server::CompliantQVAdmin library;
  helmsman::settings::Settings settings;
  players::PlayerList list;
};

std::string Account(const char* folder) { return std::string(kRoot) + "/" + folder; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Made once: the 20,001 records are too costly to make for every input.
  static World* world = new World();
  helmsman::fuzz::MemoryFileSystem files;
  files.Put(std::string(kRoot) + "/QVServer.cfg", "[Server]\r\n");
  for (int i = 0; i < 3; ++i) {
    players::PlayerRecord record;
    record.name = kPilots[i][0];
    record.account_folder = Account(kPilots[i][1]);
    record.file_name = "00c0ffee.qv";
    *world->list.At(i) = record;
    files.Put(record.account_folder + "/00c0ffee.qv", "QVS1");
  }
  files.Put(Account(kPilots[2][1]) + "/banned", "");
  const std::string log(reinterpret_cast<const char*>(data), size);
  files.Put(std::string(kRoot) + "/" + moderation::kCheatersLogName, log);

  helmsman::logs::Logs logs(world->clock, world->locale);
  helmsman::server::CommandChannel channel(world->library, logs, world->status);
  moderation::CheatersLogParts parts{world->status,   channel, logs, world->list,
                                     world->settings, files,   [] {}};
  parts.piece_bytes = 1 + size % 13;
  moderation::CheatersLogScan scan(parts);
  scan.Run();

  const std::string folder = std::string(kRoot) + "/";
  FUZZ_CHECK(!files.FileExists(folder + moderation::kCheatersLogName));
  FUZZ_CHECK(!files.FileExists(folder + moderation::kCheatersLogAsideName));
  std::string kept, error;
  files.ReadFile(folder + moderation::kCumulativeCheatersLogName, &kept, &error);
  std::string expected;
  for (const std::string& line : helmsman::settings::SplitLines(log)) {
    if (!line.empty()) expected += line + "\r\n";
    const std::optional<std::string> name = moderation::CheaterName(line);
    FUZZ_CHECK(!name || name->size() <= moderation::kMaxCheaterNameLength);
  }
  FUZZ_CHECK(kept == expected);
  FUZZ_CHECK(logs.lines(helmsman::logs::LogId::kHelmError).size() <= 1);
  FUZZ_CHECK(world->list.Count() == 3);
  return 0;
}
