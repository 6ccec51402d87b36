// The "list online" reply as the online player tracking takes it: any reply gives at most
// 1,001 names, none of them empty (an empty one would end the online names early), and the
// online names table takes them as they are.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "console/scheduler/online_tracking.h"
#include "console/server/online_names.h"
#include "tools/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using helmsman::server::kMaxOnlineNames;
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  const helmsman::scheduler::OnlineReply parsed = helmsman::scheduler::ParseOnlineReply(reply);
  FUZZ_CHECK(static_cast<int>(parsed.names.size()) <= kMaxOnlineNames);
  FUZZ_CHECK(parsed.dropped == 0 || static_cast<int>(parsed.names.size()) == kMaxOnlineNames);
  for (const std::string& name : parsed.names) {
    FUZZ_CHECK(!name.empty());
    FUZZ_CHECK(helmsman::scheduler::FoldCase(name).size() == name.size());
  }
  static helmsman::server::OnlineNames online;
  FUZZ_CHECK(online.Assign(parsed.names));
  FUZZ_CHECK(online.InUse() == parsed.names);
  // A name field on its own: one character per group of four, never more.
  FUZZ_CHECK(helmsman::scheduler::DecodeOnlineName(reply).size() <= (size + 1) / 4 + 1);
  return 0;
}
