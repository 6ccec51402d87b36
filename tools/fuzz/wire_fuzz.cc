// The simulated desktop's frames: any bytes as the stream a peer sends, cut into frames as
// the socket transport cuts them (taken in pieces of the sizes the transport allows), each
// payload decoded as a request and as a response. A decoded frame encodes to a frame that
// decodes to the same again, and the reader never holds more than one frame.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "simdesk/wire.h"
#include "tools/fuzz/fuzz_check.h"

namespace {

namespace wire = helmsman::simdesk::wire;

// The payload of a whole frame.
std::string Payload(const std::string& frame) { return frame.substr(wire::kHeaderBytes); }

void CheckPayload(const std::string& payload) {
  std::string error;
  wire::Request request;
  if (wire::DecodeRequest(payload, &request, &error)) {
    const std::string frame = wire::EncodeRequest(request);
    FUZZ_CHECK(frame.size() == wire::kHeaderBytes + payload.size());
    wire::Request again;
    FUZZ_CHECK(wire::DecodeRequest(Payload(frame), &again, &error));
    FUZZ_CHECK(wire::EncodeRequest(again) == frame);
  }
  wire::Response response;
  if (wire::DecodeResponse(payload, &response, &error)) {
    const std::string frame = wire::EncodeResponse(response);
    FUZZ_CHECK(frame.size() == wire::kHeaderBytes + payload.size());
    wire::Response again;
    FUZZ_CHECK(wire::DecodeResponse(Payload(frame), &again, &error));
    FUZZ_CHECK(wire::EncodeResponse(again) == frame);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  wire::FrameReader reader;
  const char* bytes = reinterpret_cast<const char*>(data);
  size_t at = 0;
  // Pieces of varying size, as reads from a socket come.
  for (size_t piece = 1; at < size; piece = piece * 3 + 1) {
    const size_t room = reader.Room();
    if (room == 0) break;
    const size_t take = std::min({piece, size - at, room});
    reader.Append(bytes + at, take);
    at += take;
    std::string payload, error;
    wire::FrameReader::Status status;
    while ((status = reader.Next(&payload, &error)) == wire::FrameReader::Status::kFrame) {
      FUZZ_CHECK(payload.size() <= wire::kMaxPayloadBytes);
      CheckPayload(payload);
    }
    if (status == wire::FrameReader::Status::kBad) {
      FUZZ_CHECK(!error.empty());
      break;
    }
  }
  return 0;
}
