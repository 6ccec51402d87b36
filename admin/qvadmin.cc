#include "admin/qvadmin.h"

#include <cstring>

#include "admin/command_desktop.h"
#include "admin/text_codes.h"
#include "platform/file_system.h"

namespace helmsman::admin {

namespace {

struct Keyword {
  std::string_view text;
  CommandKind kind;
  bool takes_argument;
};

// In selection order: "kickonline " before "kick ", "searchkick " before "search ".
constexpr Keyword kKeywords[] = {
    {"list online", CommandKind::kListOnline, false},
    {"kickonline ", CommandKind::kKickOnline, true},
    {"banonline ", CommandKind::kBanOnline, true},
    {"message ", CommandKind::kMessage, true},
    {"kick ", CommandKind::kKick, true},
    {"searchkick ", CommandKind::kSearchKick, true},
    {"search ", CommandKind::kSearch, true},
    {"searchban ", CommandKind::kSearchBan, true},
    {"ban ", CommandKind::kBan, true},
    {"searchunban ", CommandKind::kSearchUnban, true},
    {"unban ", CommandKind::kUnban, true},
    {"stop qvserver", CommandKind::kStop, false},
    {"start qvserver", CommandKind::kStart, false},
};

bool StartsWithIgnoreCase(std::string_view text, std::string_view keyword) {
  return text.size() >= keyword.size() &&
         platform::EqualsIgnoreCase(std::string(text.substr(0, keyword.size())),
                                    std::string(keyword));
}

// Clears the busy flag however the command ends.
class BusyScope {
 public:
  explicit BusyScope(SharedFields& fields) : fields_(fields) {}
  ~BusyScope() { fields_.ClearBusy(); }

 private:
  SharedFields& fields_;
};

}  // namespace

std::optional<SelectedCommand> SelectCommand(std::string_view command) {
  for (const Keyword& keyword : kKeywords) {
    if (!StartsWithIgnoreCase(command, keyword.text)) continue;
    SelectedCommand selected{keyword.kind, {}};
    if (keyword.takes_argument) selected.argument = command.substr(keyword.text.size());
    return selected;
  }
  return std::nullopt;
}

QvAdmin::QvAdmin(Environment environment) : environment_(environment) {}

int32_t QvAdmin::Initialize(int32_t owner, const char* window_title, const char* server_directory,
                            const char* options) {
  if (!environment_.shared_words) return 0;
  SharedFields fields(environment_.shared_words);
  if (fields.initialised_count() != 0) return 1;
  if (owner == 0 || !window_title || !server_directory || !options) return 0;
  std::string directory = platform::ShortPath(server_directory);
  std::string executable = platform::JoinPath(directory, kExecutableName);
  if (std::strlen(window_title) >= kTitleCapacity || directory.size() >= kPathCapacity ||
      executable.size() >= kPathCapacity || std::strlen(options) >= kOptionsCapacity)
    return 0;
  // Another process may have bound the library since the check above: it keeps it.
  if (!fields.Bind(static_cast<uint32_t>(owner))) return 1;
  settings_.window_title = window_title;
  settings_.server_directory = directory;
  settings_.executable_path = executable;
  settings_.options = options;
  return 1;
}

int32_t QvAdmin::Release(int32_t owner) {
  if (!environment_.shared_words) return 0;
  SharedFields fields(environment_.shared_words);
  if (!fields.Unbind(static_cast<uint32_t>(owner))) return 0;
  // The server directory stays, as it always has.
  settings_.window_title.clear();
  settings_.executable_path.clear();
  settings_.options.clear();
  return 1;
}

int32_t QvAdmin::DoCommand(const char* command, char* result_text, uint32_t result_size) {
  if (!environment_.shared_words || !command) return 0;
  SharedFields fields(environment_.shared_words);
  if (fields.initialised_count() == 0) return 0;
  if (result_text && result_size) std::memset(result_text, 0, result_size);
  ReplyText reply(result_text, result_size);
  size_t length = strnlen(command, kMaxCommandLength + 1);
  if (length > kMaxCommandLength) return 0;
  if (!fields.TakeBusy()) {
    reply.Append(kBusyReply);
    return 0;
  }
  BusyScope busy(fields);
  std::string_view text(command, length);
  std::optional<SelectedCommand> selected = SelectCommand(text);
  if (!selected) return 0;
  CommandDesktop desktop(*environment_.desktop);
  bool ok = Execute(*selected, desktop, &reply) && !desktop.gave_up();
  std::string status(text);
  status += ok ? " SUCCESSFUL\r\n" : " FAILED\r\n";
  reply.Append(status);
  return ok ? 1 : 0;
}

bool QvAdmin::SearchAction(const std::string& argument, AccountAction action,
                           ConsoleAutomation& console, ReplyText* reply) {
  size_t blank = argument.find(' ');
  if (blank == std::string::npos) return false;
  int32_t n = static_cast<int32_t>(ParseWrapping32(std::string_view(argument).substr(blank + 1)));
  std::string text = argument.substr(0, blank);
  if (n < 1 || text.empty()) return false;
  return console.ActionOnNthMatch(reply, text, n, action);
}

bool QvAdmin::Execute(const SelectedCommand& command, platform::Desktop& desktop,
                      ReplyText* reply) {
  ConsoleAutomation console(desktop, settings_.window_title);
  ServerControl server(desktop, *environment_.launcher, settings_);
  const std::string& argument = command.argument;
  switch (command.kind) {
    case CommandKind::kListOnline:
      return console.ListOnlinePlayers(reply, 0, kKickAction);
    case CommandKind::kKickOnline:
    case CommandKind::kBanOnline: {
      uint32_t id = ParseWrapping32(argument);
      AccountAction action = command.kind == CommandKind::kKickOnline ? kKickAction : kBanAction;
      return id != 0 && console.ListOnlinePlayers(reply, id, action);
    }
    case CommandKind::kMessage:
      return console.SendUniverseChat(argument);
    case CommandKind::kKick:
      return !argument.empty() && console.AccountActionByName(argument, kKickAction);
    case CommandKind::kBan:
      return !argument.empty() && console.AccountActionByName(argument, kBanAction);
    case CommandKind::kUnban:
      return !argument.empty() && console.AccountActionByName(argument, kUnbanAction);
    case CommandKind::kSearch:
      return !argument.empty() && console.SearchAccounts(reply, argument);
    case CommandKind::kSearchKick:
      return SearchAction(argument, kKickAction, console, reply);
    case CommandKind::kSearchBan:
      return SearchAction(argument, kBanAction, console, reply);
    case CommandKind::kSearchUnban:
      return SearchAction(argument, kUnbanAction, console, reply);
    case CommandKind::kStop:
      return server.Stop(reply);
    case CommandKind::kStart:
      return server.Start(reply);
  }
  return false;
}

}  // namespace helmsman::admin
