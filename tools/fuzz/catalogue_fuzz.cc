// A GAMEDATA file: the first byte picks the table, the rest is the file's text. Whatever the
// text, the table holds at most 1,000 entries before its end marker, and every entry is found
// again by each of its fields (the first entry with that field, as lookups promise).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "console/gamedata/catalogue.h"
#include "console/gamedata/tables.h"
#include "console/logs/logs.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"
#include "tools/fuzz/fuzz_check.h"

namespace gamedata = helmsman::gamedata;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // Allocated once: nineteen tables of 1,001 entries.
  static auto* catalogue = new gamedata::Catalogue();
  const gamedata::Table table = gamedata::LoadOrder()[data[0] % gamedata::kTableCount];
  helmsman::platform::FakeClock clock;
  helmsman::platform::PictureLocaleTexts locale("M/d/yyyy", "h:mm:ss tt");
  helmsman::logs::Logs logs(clock, locale);
  catalogue->LoadTable(table, std::string_view(reinterpret_cast<const char*>(data) + 1, size - 1),
                       logs);
  const int count = catalogue->size(table);
  FUZZ_CHECK(count >= 0 && count <= gamedata::kMaxEntries);
  FUZZ_CHECK(catalogue->slot(table, count).nickname == gamedata::EndMarker(table));
  const std::span<const gamedata::Entry> entries = catalogue->Enumerate(table);
  FUZZ_CHECK(static_cast<int>(entries.size()) == count);
  for (const gamedata::Entry& entry : entries) {
    FUZZ_CHECK(entry.nickname != gamedata::EndMarker(table));
    const gamedata::Entry* by_nickname = catalogue->FindByNickname(table, entry.nickname);
    FUZZ_CHECK(by_nickname != nullptr && by_nickname->nickname == entry.nickname);
    FUZZ_CHECK(by_nickname <= &entry);
    const gamedata::Entry* by_name = catalogue->FindByDisplayName(table, entry.displayName);
    FUZZ_CHECK(by_name != nullptr && by_name->displayName == entry.displayName);
    if (gamedata::HasHashCodes(table)) {
      const gamedata::Entry* by_code = catalogue->FindByHashCode(table, entry.hashCode);
      FUZZ_CHECK(by_code != nullptr && by_code->hashCode == entry.hashCode);
    }
  }
  return 0;
}
