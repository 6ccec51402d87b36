// A line of the action journal as the journal reads it back: anything either is no entry or
// an entry that, written again, is one line that reads back as the same entry.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "console/safety/journal.h"
#include "tools/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace helmsman::safety;
  const std::string_view line(reinterpret_cast<const char*>(data), size);
  const std::optional<JournalEntry> entry = ParseJournalLine(line);
  if (!entry) return 0;
  const std::string again = JournalLine(*entry);
  FUZZ_CHECK(!again.empty() && again.back() == '\n');
  FUZZ_CHECK(again.find('\n') == again.size() - 1);
  const std::optional<JournalEntry> back =
      ParseJournalLine(std::string_view(again).substr(0, again.size() - 1));
  FUZZ_CHECK(back && *back == *entry);
  return 0;
}
