// A Cookie header as the web console reads it: anything either holds no session cookie or a
// value found inside the header, with no ';' in it; a value fit for a cookie, set and sent
// back, reads back as itself. Input after the first '\n' is also read for a cookie named by
// the text before it.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "console/web/sessions.h"
#include "tools/fuzz/fuzz_check.h"

namespace {

void Check(std::string_view header, std::string_view name) {
  using namespace helmsman::web;
  const std::optional<std::string> value = CookieValue(header, name);
  if (header.size() > kMaxCookieHeaderBytes) FUZZ_CHECK(!value);
  if (!value) return;
  FUZZ_CHECK(value->size() <= header.size());
  FUZZ_CHECK(value->find(';') == std::string::npos);
  FUZZ_CHECK(header.find(*value) != std::string_view::npos);
  if (name != kSessionCookieName) return;
  const std::string cookie = SessionCookie(*value, true);
  if (cookie.empty()) return;
  FUZZ_CHECK(CookieValue("theme=dark; " + cookie, name) == value);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Check(input, helmsman::web::kSessionCookieName);
  const size_t newline = input.find('\n');
  if (newline != std::string_view::npos) Check(input.substr(newline + 1), input.substr(0, newline));
  return 0;
}
