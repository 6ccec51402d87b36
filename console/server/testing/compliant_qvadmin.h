// QVAdmin that carries out every command at once: the reply is the command + " SUCCESSFUL"
// and CR LF, cut to the caller's buffer. For benchmarks and fuzz targets, which measure or
// exercise the console's side alone (tests that check what was sent use FakeQVAdmin).
#ifndef HELMSMAN_CONSOLE_SERVER_TESTING_COMPLIANT_QVADMIN_H_
#define HELMSMAN_CONSOLE_SERVER_TESTING_COMPLIANT_QVADMIN_H_

#include <algorithm>
#include <cstring>
#include <string>

#include "console/server/qvadmin_api.h"

namespace helmsman::server {

class CompliantQVAdmin : public QVAdminApi {
 public:
  int32_t Initialize(int32_t, const std::string&, const std::string&, const std::string&,
                     std::string*) override {
    return 1;
  }
  int32_t DoCommand(const std::string& command, char* result_text, uint32_t result_size,
                    std::string*) override {
    if (result_text == nullptr || result_size == 0) return 1;
    const std::string reply = command + " SUCCESSFUL\r\n";
    const size_t n = std::min<size_t>(reply.size(), result_size - 1);
    std::memcpy(result_text, reply.data(), n);
    result_text[n] = '\0';
    return 1;
  }
  int32_t Release(int32_t, std::string*) override { return 1; }
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_TESTING_COMPLIANT_QVADMIN_H_
