// The command channel: every action on the running game server is one text command sent
// through QVAdmin. This holds the program-wide result text that every command's reply lands
// in, runs a command and judges its reply, broadcasts messages to all players, and binds and
// releases the library at start-up and shut-down.
//
// The success rule: a command succeeded when QVAdmin_DoCommand returned non-zero AND the
// reply contains "SUCCESSFUL" (exact, case-sensitive). A zero return skips all success
// handling; a non-zero return without "SUCCESSFUL" still lets a caller's handling of a
// non-zero return run (a broadcast is logged, for example).
//
// When the library or one of its exports cannot be bound, the call counts as a zero return,
// the reason goes into the HELM error log and the status line reads kLibraryUnusableStatus.
#ifndef HELMSMAN_CONSOLE_SERVER_COMMAND_CHANNEL_H_
#define HELMSMAN_CONSOLE_SERVER_COMMAND_CHANNEL_H_

#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <string>

#include "console/logs/logs.h"
#include "console/server/online_names.h"
#include "console/server/qvadmin_api.h"
#include "console/ui/frontend.h"

namespace helmsman::server {

// The program-wide result text holds this many bytes, terminator included: the largest
// stated size, that of the online player tracking's "list online".
inline constexpr size_t kResultTextCapacity = kListOnlineReplySize;

// The stated sizes (resultSize) by caller.
// The operator's handlers (chat, toggle, kick, ban, unban, player editor), start-up and every
// send of the main event timer.
inline constexpr uint32_t kOperatorReplySize = 8000;
// The new-player banner, the maintenance cycle, the name and equipment filters, the
// cheaters-log auto-ban. (The tracking's "list online" states kListOnlineReplySize.)
inline constexpr uint32_t kTrackingReplySize = 16000;
// The character-limit filter.
inline constexpr uint32_t kCharacterLimitReplySize = 2000;

inline constexpr char kSuccessful[] = "SUCCESSFUL";
inline constexpr char kMessageCommand[] = "message ";
inline constexpr char kStartServerCommand[] = "start qvserver";
inline constexpr char kStopServerCommand[] = "stop qvserver";
inline constexpr char kLibraryUnusableStatus[] = "Unable to use QVAdmin.dll (see HELM Error Log)";
inline constexpr char kLibraryNotLoadedMessage[] = "QVAdmin.dll did not properly load!";
inline constexpr char kLibraryDidNotCarryOut[] = "QVAdmin.dll did not carry out the command";

struct CommandResult {
  int32_t value = 0;        // what QVAdmin_DoCommand returned
  bool successful = false;  // value != 0 and the reply contains "SUCCESSFUL"
  // The library carried the command out, whether or not it succeeded: it returned non-zero
  // or its reply holds the command's " FAILED" status line. False when it refused the
  // command without acting on it: busy, not bound, a command it does not take (too long),
  // or a library that could not be bound.
  bool carried_out = false;
  // The library or one of its exports could not be bound (already reported, see above).
  bool library_unusable = false;
  bool went_through() const { return value != 0; }
};

// What a refused command's reply says, as one line for the status line: the reply's first
// line (the busy text, for example), or, for an empty reply, that the library did not carry
// out the command.
std::string RefusalReason(const std::string& reply);

// The directory QVAdmin is given for the server program: the part of the path up to and
// including the separator in front of the first "QVServer.exe" (found without regard to
// case). A path without "QVServer.exe" gives the empty text.
std::string ServerDirectory(const std::string& server_exe_path);

// Trailing blanks removed, as the texts handed to the library are.
std::string TrimTrailingSpaces(std::string text);

// The longest window title (`txtQVServerWindowName`) and command-line options
// (`txtQVServerCommandLineOptions`) QVAdmin takes: it keeps each in a 256-byte buffer and
// refuses to bind with a longer one.
inline constexpr size_t kMaxQVAdminTextLength = 255;
// Why QVAdmin would refuse the text of one of those two settings (named by its control):
// "" when it fits once its trailing blanks are removed, else a sentence that names the
// setting, its length and the limit ("The server window title (txtQVServerWindowName) has
// 300 characters; QVAdmin.dll takes at most 255").
std::string QVAdminTextProblem(const std::string& control, const std::string& text);

// One command sent through QVAdmin, as the crash report lists the last ones.
struct SentCommand {
  std::string time;  // local "YYYY-MM-DDTHH:MM:SS"
  std::string command;
  int32_t value = 0;  // what QVAdmin_DoCommand returned
  std::string reply;  // its first kSentReplyBytes
};
inline constexpr size_t kSentCommandsKept = 50;
inline constexpr size_t kSentReplyBytes = 300;

class CommandChannel {
 public:
  // All three must outlive the channel.
  CommandChannel(QVAdminApi& api, logs::Logs& logs, ui::StatusLine& status);

  // QVAdmin_Initialize with the window title, the server directory derived from the server
  // program path, and the command-line options (trailing blanks removed from each). True
  // when the library answered 1. A binding failure is logged as described above. A title or
  // options text longer than kMaxQVAdminTextLength is not handed over at all: false, and the
  // HELM error log names it (QVAdminTextProblem).
  bool Initialize(int32_t owner, const std::string& window_title,
                  const std::string& server_exe_path, const std::string& options);
  // QVAdmin_Release with the owner given to Initialize; does nothing when Initialize did
  // not succeed. True when the library answered 1.
  bool Release();
  bool initialized() const { return owner_ != 0; }

  // Sends one command with the caller's stated size (at most kResultTextCapacity) and copies
  // the reply into the result text, which is emptied first.
  CommandResult Run(const std::string& command, uint32_t stated_size);
  // The reply of the last command.
  const std::string& result_text() const { return result_text_; }
  // The last kSentCommandsKept commands Run sent, oldest first.
  const std::deque<SentCommand>& sent() const { return sent_; }

  // Broadcasts text to all players: "message " + text. A "|" makes the server show the parts
  // as separate chat lines. When the call went through: on success the status line shows
  // success_text (unless it is empty); in either case the server activity log gets
  // ": Message [" + text + "] broadcast to universe". A zero return shows and logs nothing.
  CommandResult Broadcast(const std::string& text, uint32_t stated_size,
                          const std::string& success_text);

  // Says why the library refused a command (result.carried_out false), for callers that
  // must not stay silent about it: the status line shows status_prefix + the reason
  // (RefusalReason of the reply) and, unless log_prefix is empty, the HELM error log gets
  // log_prefix + the reason. A library that could not be bound was reported already and
  // is left at that. Does nothing for a command that was carried out.
  void ReportRefusal(const CommandResult& result, const std::string& status_prefix,
                     const std::string& log_prefix);

 private:
  void ReportUnbound(const std::string& error);

  QVAdminApi& api_;
  logs::Logs& logs_;
  ui::StatusLine& status_;
  int32_t owner_ = 0;
  std::array<char, kResultTextCapacity> buffer_{};
  std::string result_text_;
  std::deque<SentCommand> sent_;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_COMMAND_CHANNEL_H_
