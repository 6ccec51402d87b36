// The web console's acting bodies and page queries. Every input is read as the body of
// POST /api/steps, as the body of POST /api/controls/NAME/VERB (the verb chosen by the
// input's length, among them some that are none), as the query of GET /api/players, and
// percent-decoded.
//
// A body read whole gives 1 to kMaxSteps requests, each with one of the four control verbs
// and the very name, value and answers its JSON step holds, none of them one a viewer may
// make; a refusal says why and gives none. A page query read whole has a limit within the
// page size and, written back with every byte of its filter escaped, reads back the same.
// Decoding never grows a text and undoes an escape of every byte.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "console/web/web_api.h"
#include "tools/fuzz/fuzz_check.h"

namespace {

using helmsman::ui::control::Request;
using json = nlohmann::json;
namespace web = helmsman::web;

constexpr const char* kVerbs[] = {"set", "check", "select", "click", "get", "restore", "Click"};
constexpr char kName[] = "lstPlayersOnline";

bool ControlVerb(const std::string& verb) {
  return verb == "set" || verb == "check" || verb == "select" || verb == "click";
}

std::string Escaped(std::string_view text) {
  static const char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 15];
  }
  return out;
}

// The request holds what the JSON step says: its value as the argument, its answers.
void CheckStep(const Request& request, const json& step, const std::string& verb,
               const std::string& name) {
  FUZZ_CHECK(request.verb == verb && ControlVerb(request.verb));
  FUZZ_CHECK(request.name == name);
  FUZZ_CHECK(web::RequiredPermission(request) != web::Permission::kView);
  if (step.contains("value")) {
    const json& value = step["value"];
    if (value.is_string()) FUZZ_CHECK(request.argument == value.get<std::string>());
    if (value.is_boolean()) FUZZ_CHECK(request.argument == (value.get<bool>() ? "1" : "0"));
    if (value.is_number_integer()) {
      FUZZ_CHECK(request.argument == std::to_string(value.get<long long>()));
    }
  }
  std::vector<bool> answers;
  if (step.contains("answers")) {
    for (const json& answer : step["answers"]) answers.push_back(answer == "ok");
  }
  FUZZ_CHECK(request.answers == answers);
}

void CheckBody(std::string_view body, const std::string& verb) {
  std::vector<Request> steps = {Request()};
  std::string error;
  if (!web::ParseActionBody(body, verb, kName, &steps, &error)) {
    FUZZ_CHECK(steps.empty() && !error.empty());
    return;
  }
  const bool blank = body.find_first_not_of(" \t\r\n") == std::string_view::npos;
  const json parsed = blank ? json::object() : json::parse(body, nullptr, false);
  FUZZ_CHECK(parsed.is_object());
  if (!verb.empty()) {
    FUZZ_CHECK(ControlVerb(verb) && steps.size() == 1);
    CheckStep(steps[0], parsed, verb, kName);
    return;
  }
  const json& list = parsed["steps"];
  FUZZ_CHECK(!steps.empty() && steps.size() <= web::kMaxSteps && steps.size() == list.size());
  for (size_t i = 0; i < steps.size(); ++i) {
    CheckStep(steps[i], list[i], list[i]["verb"].get<std::string>(),
              list[i]["name"].get<std::string>());
  }
}

void CheckQuery(std::string_view query) {
  web::PageQuery page;
  std::string error;
  if (!web::ParsePageQuery(query, &page, &error)) {
    FUZZ_CHECK(!error.empty());
    return;
  }
  FUZZ_CHECK(page.limit <= web::kMaxPageSize);
  const std::string written = "limit=" + std::to_string(page.limit) + "&filter=" +
                              Escaped(page.filter) + "&offset=" + std::to_string(page.offset);
  web::PageQuery again;
  FUZZ_CHECK(web::ParsePageQuery(written, &again, &error));
  FUZZ_CHECK(again.filter == page.filter && again.offset == page.offset &&
             again.limit == page.limit);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  CheckBody(bytes, "");
  CheckBody(bytes, kVerbs[size % std::size(kVerbs)]);
  CheckQuery(bytes);
  FUZZ_CHECK(web::UrlDecode(bytes).size() <= size);
  FUZZ_CHECK(web::UrlDecode(Escaped(bytes)) == bytes);
  return 0;
}
