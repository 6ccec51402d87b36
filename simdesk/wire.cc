#include "simdesk/wire.h"

#include <cstring>

namespace helmsman::simdesk::wire {

namespace {

class Writer {
 public:
  void U8(uint8_t value) { bytes_.push_back(static_cast<char>(value)); }
  void U32(uint32_t value) { Little(value, 4); }
  void U64(uint64_t value) { Little(value, 8); }
  void I32(int32_t value) { U32(static_cast<uint32_t>(value)); }
  void I64(int64_t value) { U64(static_cast<uint64_t>(value)); }
  void Str(const std::string& text) {
    U32(static_cast<uint32_t>(text.size()));
    bytes_ += text;
  }
  // The frame: header, then the payload written so far.
  std::string Frame() const {
    Writer header;
    header.U32(kFrameMagic);
    header.U32(static_cast<uint32_t>(bytes_.size()));
    return header.bytes_ + bytes_;
  }

 private:
  void Little(uint64_t value, int size) {
    for (int i = 0; i < size; ++i) bytes_.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
  }
  std::string bytes_;
};

// Reads a payload; every read fails once the payload runs short, and stays failed.
class Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}
  bool U8(uint8_t* value) {
    uint64_t wide = 0;
    if (!Little(1, &wide)) return false;
    *value = static_cast<uint8_t>(wide);
    return true;
  }
  bool Bool(bool* value) {
    uint8_t byte = 0;
    if (!U8(&byte) || byte > 1) return Fail();
    *value = byte == 1;
    return true;
  }
  bool U32(uint32_t* value) {
    uint64_t wide = 0;
    if (!Little(4, &wide)) return false;
    *value = static_cast<uint32_t>(wide);
    return true;
  }
  bool U64(uint64_t* value) { return Little(8, value); }
  bool I32(int32_t* value) {
    uint32_t raw = 0;
    if (!U32(&raw)) return false;
    *value = static_cast<int32_t>(raw);
    return true;
  }
  bool I64(int64_t* value) {
    uint64_t raw = 0;
    if (!U64(&raw)) return false;
    *value = static_cast<int64_t>(raw);
    return true;
  }
  bool Str(std::string* text) {
    uint32_t size = 0;
    if (!U32(&size) || size > bytes_.size() - position_) return Fail();
    text->assign(bytes_.substr(position_, size));
    position_ += size;
    return true;
  }
  bool AtEnd() const { return ok_ && position_ == bytes_.size(); }

 private:
  bool Little(size_t size, uint64_t* value) {
    if (!ok_ || bytes_.size() - position_ < size) return Fail();
    *value = 0;
    for (size_t i = 0; i < size; ++i)
      *value |= static_cast<uint64_t>(static_cast<unsigned char>(bytes_[position_ + i])) << (8 * i);
    position_ += size;
    return true;
  }
  bool Fail() {
    ok_ = false;
    return false;
  }
  std::string_view bytes_;
  size_t position_ = 0;
  bool ok_ = true;
};

uint32_t ReadHeaderWord(std::string_view bytes, size_t offset) {
  uint32_t value = 0;
  for (size_t i = 0; i < 4; ++i)
    value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[offset + i])) << (8 * i);
  return value;
}

}  // namespace

std::string EncodeRequest(const Request& request) {
  Writer out;
  out.U32(request.id);
  out.U32(static_cast<uint32_t>(request.call));
  out.I64(request.deadline_millis);
  out.U32(request.first);
  out.U32(request.second);
  out.I32(request.number);
  const Message& message = request.send.message;
  out.U32(message.window);
  out.U32(message.message);
  out.U64(message.wparam);
  out.I64(message.lparam);
  out.U8(request.send.has_text_in ? 1 : 0);
  out.Str(request.send.text_in);
  out.U32(request.send.text_out_capacity);
  return out.Frame();
}

std::string EncodeResponse(const Response& response) {
  Writer out;
  out.U32(response.id);
  out.I64(response.value);
  out.U8(response.flag ? 1 : 0);
  out.U8(response.timed_out ? 1 : 0);
  out.Str(response.text);
  return out.Frame();
}

bool DecodeRequest(std::string_view payload, Request* request, std::string* error) {
  Reader in(payload);
  Request decoded;
  uint32_t call = 0;
  Message& message = decoded.send.message;
  bool read = in.U32(&decoded.id) && in.U32(&call) && in.I64(&decoded.deadline_millis) &&
              in.U32(&decoded.first) && in.U32(&decoded.second) && in.I32(&decoded.number) &&
              in.U32(&message.window) && in.U32(&message.message) && in.U64(&message.wparam) &&
              in.I64(&message.lparam) && in.Bool(&decoded.send.has_text_in) &&
              in.Str(&decoded.send.text_in) && in.U32(&decoded.send.text_out_capacity);
  if (!read || !in.AtEnd()) {
    *error = "a request of " + std::to_string(payload.size()) + " bytes does not decode";
    return false;
  }
  if (call == 0 || call > kLastCallKind) {
    *error = "a request names the unknown call " + std::to_string(call);
    return false;
  }
  decoded.call = static_cast<CallKind>(call);
  *request = std::move(decoded);
  return true;
}

bool DecodeResponse(std::string_view payload, Response* response, std::string* error) {
  Reader in(payload);
  Response decoded;
  bool read = in.U32(&decoded.id) && in.I64(&decoded.value) && in.Bool(&decoded.flag) &&
              in.Bool(&decoded.timed_out) && in.Str(&decoded.text);
  if (!read || !in.AtEnd()) {
    *error = "a response of " + std::to_string(payload.size()) + " bytes does not decode";
    return false;
  }
  *response = std::move(decoded);
  return true;
}

FrameReader::Status FrameReader::Next(std::string* payload, std::string* error) {
  if (bad_) {
    *error = "the stream was already refused";
    return Status::kBad;
  }
  if (buffer_.size() < kHeaderBytes) return Status::kNeedMore;
  uint32_t magic = ReadHeaderWord(buffer_, 0);
  uint32_t length = ReadHeaderWord(buffer_, 4);
  if (magic != kFrameMagic) {
    *error = "a frame does not begin with the desktop's magic";
  } else if (length > kMaxPayloadBytes) {
    *error = "a frame announces " + std::to_string(length) + " bytes, more than the " +
             std::to_string(kMaxPayloadBytes) + " allowed";
  } else {
    if (buffer_.size() - kHeaderBytes < length) return Status::kNeedMore;
    payload->assign(buffer_, kHeaderBytes, length);
    buffer_.erase(0, kHeaderBytes + length);
    return Status::kFrame;
  }
  bad_ = true;
  buffer_.clear();
  return Status::kBad;
}

size_t FrameReader::Room() const {
  size_t limit = kHeaderBytes + kMaxPayloadBytes;
  return buffer_.size() >= limit ? 0 : limit - buffer_.size();
}

// --- The host's side ---

namespace {

Response Answer(const Request& request, int64_t value, bool flag = false) {
  Response response;
  response.id = request.id;
  response.value = value;
  response.flag = flag;
  return response;
}

Response AnswerOptional(const Request& request, const std::optional<uint32_t>& value) {
  return Answer(request, value.value_or(0), value.has_value());
}

Response AnswerSend(WindowService& service, const Request& request) {
  SendReply reply = service.SendMessage(request.send);
  Response response = Answer(request, reply.result, reply.ok);
  response.timed_out = reply.timed_out;
  response.text = std::move(reply.text_out);
  if (response.text.size() > kMaxAnswerText) {
    // It could not travel in one frame: the sender learns the send failed, as for a text
    // that does not fit its buffer.
    response.flag = false;
    response.text.clear();
  }
  return response;
}

}  // namespace

Response Serve(WindowService& service, const Request& request) {
  const Handle first = request.first;
  const int32_t number = request.number;
  switch (request.call) {
    case CallKind::kFindTopLevel:
      return Answer(request, service.FindTopLevel(request.send.text_in));
    case CallKind::kIsWindow:
      return Answer(request, 0, service.IsWindow(first));
    case CallKind::kShowWindow:
      return Answer(request, 0, service.ShowWindow(first, number));
    case CallKind::kGetMenu:
      return Answer(request, service.GetMenu(first));
    case CallKind::kGetMenuItemCount:
      return Answer(request, service.GetMenuItemCount(first));
    case CallKind::kGetSubMenu:
      return Answer(request, service.GetSubMenu(first, number));
    case CallKind::kGetMenuItemId:
      return AnswerOptional(request, service.GetMenuItemId(first, number));
    case CallKind::kPostMessage:
      return Answer(request, 0, service.PostMessage(request.send.message));
    case CallKind::kSendMessage:
      return AnswerSend(service, request);
    case CallKind::kGetNextDlgTabItem:
      return Answer(request, service.GetNextDlgTabItem(first, request.second));
    case CallKind::kGetClassName: {
      std::optional<std::string> name = service.GetClassName(first);
      Response response = Answer(request, 0, name.has_value());
      if (name) response.text = std::move(*name);
      return response;
    }
    case CallKind::kGetDlgCtrlID:
      return Answer(request, service.GetDlgCtrlID(first));
    case CallKind::kGetDlgItem:
      return Answer(request, service.GetDlgItem(first, number));
  }
  return Answer(request, 0);
}

// --- The client's side ---

std::optional<Response> RemoteWindowService::Call(CallKind call, Handle first, Handle second,
                                                  int32_t number, const SendRequest* send,
                                                  bool* timed_out) {
  Request request;
  request.id = next_id_++;
  request.call = call;
  request.first = first;
  request.second = second;
  request.number = number;
  if (send) request.send = *send;
  Response response;
  Outcome outcome = exchange_(&request, &response);
  if (outcome == Outcome::kTimedOut) CountTimedOutCall();
  if (timed_out) *timed_out = outcome == Outcome::kTimedOut;
  if (outcome != Outcome::kAnswered || response.id != request.id) return std::nullopt;
  return response;
}

Handle RemoteWindowService::HandleOf(const std::optional<Response>& response) const {
  // A handle is 32 bits; anything else is no handle at all.
  if (!response || response->value < 0 || response->value > UINT32_MAX) return 0;
  return static_cast<Handle>(response->value);
}

Handle RemoteWindowService::FindTopLevel(const std::string& title) {
  SendRequest send;
  send.has_text_in = true;
  send.text_in = title;
  return HandleOf(Call(CallKind::kFindTopLevel, 0, 0, 0, &send));
}

bool RemoteWindowService::IsWindow(Handle window) {
  std::optional<Response> response = Call(CallKind::kIsWindow, window);
  return response && response->flag;
}

bool RemoteWindowService::ShowWindow(Handle window, int show_command) {
  std::optional<Response> response = Call(CallKind::kShowWindow, window, 0, show_command);
  return response && response->flag;
}

Handle RemoteWindowService::GetMenu(Handle window) {
  return HandleOf(Call(CallKind::kGetMenu, window));
}

int RemoteWindowService::GetMenuItemCount(Handle menu) {
  std::optional<Response> response = Call(CallKind::kGetMenuItemCount, menu);
  if (!response || response->value < -1 || response->value > INT32_MAX) return -1;
  return static_cast<int>(response->value);
}

Handle RemoteWindowService::GetSubMenu(Handle menu, int position) {
  return HandleOf(Call(CallKind::kGetSubMenu, menu, 0, position));
}

std::optional<uint32_t> RemoteWindowService::GetMenuItemId(Handle menu, int position) {
  std::optional<Response> response = Call(CallKind::kGetMenuItemId, menu, 0, position);
  if (!response || !response->flag || response->value < 0 || response->value > UINT32_MAX)
    return std::nullopt;
  return static_cast<uint32_t>(response->value);
}

bool RemoteWindowService::PostMessage(const Message& message) {
  SendRequest send;
  send.message = message;
  std::optional<Response> response = Call(CallKind::kPostMessage, message.window, 0, 0, &send);
  return response && response->flag;
}

SendReply RemoteWindowService::SendMessage(const SendRequest& request) {
  SendReply reply;
  bool timed_out = false;
  std::optional<Response> response =
      Call(CallKind::kSendMessage, request.message.window, 0, 0, &request, &timed_out);
  if (!response) {
    reply.timed_out = timed_out;
    return reply;
  }
  reply.ok = response->flag;
  reply.timed_out = response->timed_out;
  reply.result = response->value;
  reply.text_out = std::move(response->text);
  return reply;
}

Handle RemoteWindowService::GetNextDlgTabItem(Handle dialog, Handle control) {
  return HandleOf(Call(CallKind::kGetNextDlgTabItem, dialog, control));
}

std::optional<std::string> RemoteWindowService::GetClassName(Handle window) {
  std::optional<Response> response = Call(CallKind::kGetClassName, window);
  if (!response || !response->flag) return std::nullopt;
  return std::move(response->text);
}

int RemoteWindowService::GetDlgCtrlID(Handle window) {
  std::optional<Response> response = Call(CallKind::kGetDlgCtrlID, window);
  if (!response || response->value < INT32_MIN || response->value > INT32_MAX) return 0;
  return static_cast<int>(response->value);
}

Handle RemoteWindowService::GetDlgItem(Handle dialog, int id) {
  return HandleOf(Call(CallKind::kGetDlgItem, dialog, 0, id));
}

}  // namespace helmsman::simdesk::wire
