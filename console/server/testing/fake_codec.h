// A codec for tests: answers every conversion with a scripted result code and records the
// calls; it touches no file.
#ifndef HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_CODEC_H_
#define HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_CODEC_H_

#include <string>
#include <vector>

#include "console/server/codec_api.h"

namespace helmsman::server {

class FakeCodec : public CodecApi {
 public:
  struct Call {
    int32_t type;
    std::string source;
    std::string target;
  };
  void set_result(int32_t result) { result_ = result; }
  int32_t Convert(int32_t type, const std::string& source_path, const std::string& target_path,
                  std::string* /*error*/) override {
    calls_.push_back({type, source_path, target_path});
    return result_;
  }
  const std::vector<Call>& calls() const { return calls_; }

 private:
  int32_t result_ = 0;
  std::vector<Call> calls_;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_CODEC_H_
