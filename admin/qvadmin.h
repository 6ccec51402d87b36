// QVAdmin: the three entry points of the library as a plain C++ object, and the command
// language. The exported C functions forward to one QvAdmin per process; tests drive it
// directly with their own desktop, launcher and shared words.
//
// Commands, selected by comparing their first characters, without regard to case, with each
// keyword in this order (the first match wins; text after the keywords without argument is
// ignored; for the others the argument is everything after the keyword):
//
//   "list online"   "kickonline " ID   "banonline " ID   "message " TEXT   "kick " NAME
//   "searchkick " TEXT N   "search " TEXT   "searchban " TEXT N   "ban " NAME
//   "searchunban " TEXT N   "unban " NAME   "stop qvserver"   "start qvserver"
//
// A command that reaches an operation ends its reply with the status line: the command as
// given, " SUCCESSFUL" or " FAILED", CR LF. A command in which a call to the server's windows
// timed out fails, and fails at once (see CommandDesktop). The status line is built in a 512-byte
// buffer, so a command holds at most kMaxCommandLength characters; a longer one is refused at once
// (result 0, empty reply) without touching the server.
//
// Settings longer than their buffers (window title kTitleCapacity, server directory and
// executable path kPathCapacity, options kOptionsCapacity, NUL included) make Initialize fail
// (result 0, nothing stored, the library stays unbound).
#ifndef HELMSMAN_ADMIN_QVADMIN_H_
#define HELMSMAN_ADMIN_QVADMIN_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "admin/console_automation.h"
#include "admin/reply_text.h"
#include "admin/server_control.h"
#include "admin/shared_fields.h"
#include "platform/desktop.h"
#include "platform/process.h"

namespace helmsman::admin {

inline constexpr size_t kStatusCapacity = 512;
inline constexpr size_t kMaxCommandLength = 498;  // + " SUCCESSFUL" + CR LF + NUL = 512
inline constexpr size_t kTitleCapacity = 256;
inline constexpr size_t kPathCapacity = 512;
inline constexpr size_t kOptionsCapacity = 256;
inline constexpr char kExecutableName[] = "qvserver.exe";
inline constexpr char kBusyReply[] = "QVAdmin is busy processing a command. Please try again.\r\n";

enum class CommandKind {
  kListOnline,
  kKickOnline,
  kBanOnline,
  kMessage,
  kKick,
  kSearchKick,
  kSearch,
  kSearchBan,
  kBan,
  kSearchUnban,
  kUnban,
  kStop,
  kStart,
};

struct SelectedCommand {
  CommandKind kind;
  std::string argument;  // empty for the keywords that take none
};

// The command a command line selects; nothing for an unknown command.
std::optional<SelectedCommand> SelectCommand(std::string_view command);

struct Environment {
  platform::Desktop* desktop = nullptr;
  platform::ProcessLauncher* launcher = nullptr;
  // kSharedWordCount words shared by every process that loads the library; nullptr when they
  // could not be set up, which leaves the library unable to bind.
  uint32_t* shared_words = nullptr;
};

class QvAdmin {
 public:
  explicit QvAdmin(Environment environment);

  // QVAdmin_Initialize: 1 when the library is bound (by this call or earlier, by any
  // process), 0 when an argument is zero or absent or a setting does not fit its buffer.
  int32_t Initialize(int32_t owner, const char* window_title, const char* server_directory,
                     const char* options);
  // QVAdmin_DoCommand: 1 when the command was carried out successfully, else 0.
  int32_t DoCommand(const char* command, char* result_text, uint32_t result_size);
  // QVAdmin_Release: 1 when owner was the stored owner and the library is now unbound.
  int32_t Release(int32_t owner);

  const ServerSettings& settings() const { return settings_; }

 private:
  bool Execute(const SelectedCommand& command, platform::Desktop& desktop, ReplyText* reply);
  bool SearchAction(const std::string& argument, AccountAction action, ConsoleAutomation& console,
                    ReplyText* reply);

  Environment environment_;
  ServerSettings settings_;
};

}  // namespace helmsman::admin

#endif  // HELMSMAN_ADMIN_QVADMIN_H_
