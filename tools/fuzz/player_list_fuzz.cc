// The player list file "HelmsmanPlayerList.ini", loaded from the program folder as start-up
// loads it. Whatever it held, the list stays packed within its 20,001 records, and the file
// written from it loads back into the same records.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "console/players/player_list.h"
#include "console/players/player_list_file.h"
#include "console/ui/scripted_frontend.h"
#include "tools/fuzz/fuzz_check.h"
#include "tools/fuzz/memory_file_system.h"

namespace {

namespace players = helmsman::players;
constexpr char kFolder[] = "/fuzz/program";

// The records in use, field by field, as the file keeps them.
std::string Fields(const players::PlayerList& list) {
  players::SaveReport report;
  return players::EncodePlayerList(list, &report);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Allocated once: 20,001 records are too many to make for every input.
  static auto* list = new players::PlayerList();
  helmsman::fuzz::MemoryFileSystem files;
  files.MakeDirectory(kFolder);
  files.Put(players::PlayerListPath(kFolder),
            std::string(reinterpret_cast<const char*>(data), size));
  helmsman::ui::ScriptedFrontend frontend;
  const players::LoadReport report = players::LoadPlayerList(files, kFolder, frontend, list);
  const int count = list->Count();
  FUZZ_CHECK(count == report.players_loaded);
  FUZZ_CHECK(count <= players::PlayerList::capacity());
  for (int i = 0; i < count; ++i) FUZZ_CHECK(!list->At(i)->name.empty());
  if (count > 0 && count < players::PlayerList::capacity()) FUZZ_CHECK(list->At(count)->is_free());

  const std::string written = Fields(*list);
  const players::LoadReport reread = players::DecodePlayerList(written, list);
  FUZZ_CHECK(list->Count() == count);
  FUZZ_CHECK(count == 0 || reread.outcome == players::LoadReport::Outcome::kLoaded);
  FUZZ_CHECK(Fields(*list) == written);
  return 0;
}
