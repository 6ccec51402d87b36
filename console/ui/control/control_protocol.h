// What a running console and `helmsman-ctl` say to each other over the control socket.
//
// A frame is a 4-byte little-endian length followed by that many bytes.
// - The client sends one request frame: its words separated by NUL bytes, the first word
//   the reply format ("text" or "json"), the second the verb, then the verb's arguments
//   ("click", "cmdKickPlayer", "--answer", "ok"). At most kMaxRequestBytes.
// - The console answers with reply frames, each a kind byte and its text: kOut for the
//   client's standard output, kErr for its standard error, and finally kExit with the exit
//   code in decimal, after which it closes the connection. A following log request gets
//   kOut frames as the logs grow, until the console shuts down. A reply frame holds at most
//   kMaxReplyFrameBytes; longer texts are sent as several frames.
// Anything else (a longer frame, a request without a verb) ends the connection.
#ifndef HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_PROTOCOL_H_
#define HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_PROTOCOL_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace helmsman::ui::control {

inline constexpr size_t kMaxRequestBytes = 64 * 1024;
inline constexpr size_t kMaxReplyFrameBytes = 1024 * 1024;

// The control socket of the console whose program folder is given, and its folder. On
// Windows a named pipe whose name ends in a hash of the folder's path (lower-cased, with
// backslashes), so that one console per program folder holds there too.
inline constexpr char kControlFolderName[] = "helmsman-control";
inline constexpr char kControlSocketName[] = "helmsman.sock";
inline constexpr char kControlPipePrefix[] = "\\\\.\\pipe\\helmsman-";
std::string ControlSocketPath(const std::string& program_folder);
std::string ControlPipeName(const std::string& program_folder);

// Exit codes of helmsman-ctl.
inline constexpr int kExitDone = 0;
inline constexpr int kExitRefused = 1;      // a disabled control, nothing to do, shutting down
inline constexpr int kExitBadRequest = 2;   // unknown verb or name, bad or missing argument
inline constexpr int kExitUnreachable = 3;  // no console, refused connection, lost connection

enum class FrameKind : char { kOut = 'o', kErr = 'e', kExit = 'x' };

// The frame that carries payload.
std::string Frame(const std::string& payload);
// The request frame of the given words (format first, then verb and arguments).
std::string RequestFrame(const std::vector<std::string>& words);
// A reply frame; texts longer than a frame holds are split over several frames.
std::string ReplyFrames(FrameKind kind, const std::string& text);

// Takes frames out of a byte stream as it arrives.
class FrameReader {
 public:
  explicit FrameReader(size_t max_payload) : max_payload_(max_payload) {}
  void Feed(const std::string& bytes) { buffer_ += bytes; }
  // The next whole frame's payload; nullopt when it has not all arrived yet or the stream
  // is broken (then broken() tells).
  std::optional<std::string> Next();
  bool broken() const { return broken_; }
  // Bytes of an incomplete frame held.
  size_t pending() const { return buffer_.size(); }

 private:
  size_t max_payload_;
  std::string buffer_;
  bool broken_ = false;
};

// The words of a request frame's payload; empty words are kept ("set txtX ''").
std::vector<std::string> RequestWords(const std::string& payload);

}  // namespace helmsman::ui::control

#endif  // HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_PROTOCOL_H_
