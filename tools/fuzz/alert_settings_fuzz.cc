// HelmsmanAlerts.ini: any text. Every webhook taken is an http:// or https:// address of
// printable characters without blanks, at most 16 of them; every event switched on is a known
// one; and the alert bodies made for every event, with the text itself as a detail, are
// whole JSON objects of their form.
#include <cstddef>
#include <cstdint>
#include <string>

#include "console/alerts/alerts.h"
#include "tools/fuzz/fuzz_check.h"

namespace alerts = helmsman::alerts;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const alerts::AlertSettings settings = alerts::ParseAlertSettings(text, nullptr);
  FUZZ_CHECK(settings.webhooks.size() <= alerts::kMaxWebhooks);
  for (const alerts::Webhook& webhook : settings.webhooks) {
    FUZZ_CHECK(webhook.url.rfind("http://", 0) == 0 || webhook.url.rfind("https://", 0) == 0);
    FUZZ_CHECK(webhook.url.size() <= alerts::kMaxUrlBytes);
    for (char c : webhook.url) FUZZ_CHECK(c > ' ' && c < 0x7f);
    FUZZ_CHECK(alerts::SchemeAndHost(webhook.url).size() <= webhook.url.size());
  }
  for (const std::string& event : settings.events) {
    bool known = false;
    for (const alerts::EventKind& kind : alerts::EventKinds()) known = known || event == kind.name;
    FUZZ_CHECK(known);
  }
  // The file's own text as an entry's details: the bodies stay whole JSON objects.
  helmsman::safety::JournalEntry entry{"2026-12-11T05:40:00", "server-crash", "rule:x", "", "",
                                       {{"online", text}}};
  for (const alerts::EventKind& kind : alerts::EventKinds()) {
    const std::string chat = alerts::ContentBody(settings.server_title, kind, entry);
    FUZZ_CHECK(chat.rfind("{\"content\":\"", 0) == 0 && chat.back() == '}');
    const std::string generic = alerts::GenericBody(settings.server_title, kind, entry);
    FUZZ_CHECK(generic.rfind("{\"event\":\"", 0) == 0 && generic.back() == '}');
  }
  return 0;
}
