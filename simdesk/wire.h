// What the processes of the simulated desktop say to each other over their sockets: one
// request frame per WindowService call, one response frame per request. Everything here is
// plain data and byte strings, so the encoding and the mapping of calls onto it are tested
// without a socket; simdesk/socket_desktop.h moves the frames.
//
// A frame is an 8-byte header (the magic kFrameMagic, then the payload length, both 32-bit
// little-endian) followed by the payload. Payloads are at most kMaxPayloadBytes; a longer
// length, a wrong magic or a payload that does not decode exactly (short, over-long, with a
// string running past its end, an unknown call) makes the frame malformed. Integers are
// little-endian of fixed width; a string is its 32-bit length followed by its bytes.
//
//   request:  id u32, call u32, deadline i64, first u32, second u32, number i32,
//             window u32, message u32, wparam u64, lparam i64,
//             has_text u8, text str, text_out_capacity u32
//   response: id u32, value i64, flag u8, timed_out u8, text str
//
// The deadline is a reading of the machine's monotonic clock in milliseconds (shared by all
// processes of the machine): a host does not carry out a request whose sender has given up.
#ifndef HELMSMAN_SIMDESK_WIRE_H_
#define HELMSMAN_SIMDESK_WIRE_H_

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "simdesk/messages.h"
#include "simdesk/window_service.h"

namespace helmsman::simdesk::wire {

inline constexpr uint32_t kFrameMagic = 0x31444D53;  // "SMD1"
inline constexpr size_t kHeaderBytes = 8;
inline constexpr uint32_t kMaxPayloadBytes = 1u << 20;
// The longest text an answer carries; a send whose answer would be longer fails.
inline constexpr size_t kMaxAnswerText = kMaxPayloadBytes - 64;

// One per WindowService call.
enum class CallKind : uint32_t {
  kFindTopLevel = 1,
  kIsWindow,
  kShowWindow,
  kGetMenu,
  kGetMenuItemCount,
  kGetSubMenu,
  kGetMenuItemId,
  kPostMessage,
  kSendMessage,
  kGetNextDlgTabItem,
  kGetClassName,
  kGetDlgCtrlID,
  kGetDlgItem,
};
inline constexpr uint32_t kLastCallKind = static_cast<uint32_t>(CallKind::kGetDlgItem);

// The arguments of a call. first and second are the handles of the call (window, menu,
// dialog, control), number its integer (show command, position, control id); the message
// and the text (the title of kFindTopLevel, the text_in of a send) travel in send.
struct Request {
  uint32_t id = 0;
  CallKind call = CallKind::kFindTopLevel;
  int64_t deadline_millis = 0;
  Handle first = 0;
  Handle second = 0;
  int32_t number = 0;
  SendRequest send;
};

// The answer: value is the handle, count, id or message result; flag is the bool of the
// call (IsWindow, ShowWindow, PostMessage, the ok of a send) or "a value is present" for
// the calls that answer an optional; text is the class name or the send's text_out.
struct Response {
  uint32_t id = 0;
  int64_t value = 0;
  bool flag = false;
  bool timed_out = false;
  std::string text;
};

// Whole frames, header included.
std::string EncodeRequest(const Request& request);
std::string EncodeResponse(const Response& response);
// Payloads (without the header). False and *error when the payload is malformed.
bool DecodeRequest(std::string_view payload, Request* request, std::string* error);
bool DecodeResponse(std::string_view payload, Response* response, std::string* error);

// Cuts frames out of a byte stream. It holds at most one header and one payload: a header
// that announces more than kMaxPayloadBytes is refused before any of the payload arrives.
class FrameReader {
 public:
  enum class Status { kFrame, kNeedMore, kBad };
  void Append(const char* data, size_t size) { buffer_.append(data, size); }
  // The next complete payload. After kBad the stream is lost: nothing more comes out.
  Status Next(std::string* payload, std::string* error);
  // How many bytes the reader could take now without holding more than one frame.
  size_t Room() const;

 private:
  std::string buffer_;
  bool bad_ = false;
};

// Carries out a request on service (the host's side).
Response Serve(WindowService& service, const Request& request);

// A WindowService whose every call becomes a request handed to exchange, which returns the
// response or nothing when the peer could not be reached or did not answer in time. A call
// without an answer reports what a missing window would: 0, false, -1 or nothing; a send
// also says timed_out when the exchange gave up waiting.
class RemoteWindowService : public WindowService {
 public:
  enum class Outcome { kAnswered, kUnreachable, kTimedOut };
  // The transport sets the request's deadline; a response whose id differs from the
  // request's counts as no answer.
  using Exchange = std::function<Outcome(Request* request, Response* response)>;
  explicit RemoteWindowService(Exchange exchange) : exchange_(std::move(exchange)) {}

  Handle FindTopLevel(const std::string& title) override;
  bool IsWindow(Handle window) override;
  bool ShowWindow(Handle window, int show_command) override;
  Handle GetMenu(Handle window) override;
  int GetMenuItemCount(Handle menu) override;
  Handle GetSubMenu(Handle menu, int position) override;
  std::optional<uint32_t> GetMenuItemId(Handle menu, int position) override;
  bool PostMessage(const Message& message) override;
  SendReply SendMessage(const SendRequest& request) override;
  Handle GetNextDlgTabItem(Handle dialog, Handle control) override;
  std::optional<std::string> GetClassName(Handle window) override;
  int GetDlgCtrlID(Handle window) override;
  Handle GetDlgItem(Handle dialog, int id) override;

 private:
  std::optional<Response> Call(CallKind call, Handle first, Handle second = 0, int32_t number = 0,
                               const SendRequest* send = nullptr, bool* timed_out = nullptr);
  Handle HandleOf(const std::optional<Response>& response) const;

  Exchange exchange_;
  uint32_t next_id_ = 1;
};

}  // namespace helmsman::simdesk::wire

#endif  // HELMSMAN_SIMDESK_WIRE_H_
