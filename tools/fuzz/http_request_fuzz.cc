// The web console's HTTP request reader with the server's limits, and the JSON of a request's
// body. A request read whole stays inside the bytes given and the body limit, and reads again
// alike from the bytes it took; a refusal is 400, 413 or 431. A body that parses as JSON
// writes out to text that parses back to the same value.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "console/web/http_server.h"
#include "tools/fuzz/fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const helmsman::web::HttpLimits limits;
  helmsman::web::HttpRequest request;
  size_t used = 0;
  const int result = helmsman::web::ReadHttpRequest(bytes, limits, &request, &used);
  FUZZ_CHECK(result == 0 || result == -1 || result == 400 || result == 413 || result == 431);
  if (result != 0) return 0;
  FUZZ_CHECK(used <= size);
  FUZZ_CHECK(request.body.size() <= limits.body_bytes);
  FUZZ_CHECK(!request.method.empty() && !request.target.empty());
  helmsman::web::HttpRequest again;
  size_t used_again = 0;
  FUZZ_CHECK(helmsman::web::ReadHttpRequest(bytes.substr(0, used), limits, &again,
                                            &used_again) == 0);
  FUZZ_CHECK(used_again == used && again.target == request.target &&
             again.body == request.body && again.headers == request.headers);

  const nlohmann::json value = nlohmann::json::parse(request.body, nullptr, false);
  if (value.is_discarded()) return 0;
  const std::string text = value.dump();
  const nlohmann::json back = nlohmann::json::parse(text, nullptr, false);
  FUZZ_CHECK(!back.is_discarded());
  FUZZ_CHECK(back.dump() == text);
  return 0;
}
