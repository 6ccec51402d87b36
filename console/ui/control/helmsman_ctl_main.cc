// helmsman-ctl: acts on a running console from a shell, through its control socket; the web
// console's users are changed in the program folder's users file directly.
#if defined(_WIN32)
#include <windows.h>
#else
#include <termios.h>
#include <unistd.h>
#endif

#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "console/app/options.h"
#include "console/ui/code_page.h"
#include "console/ui/control/control_protocol.h"
#include "console/web/web_users.h"
#include "platform/file_system.h"
#include "platform/local_socket.h"

namespace {

using namespace helmsman;
using namespace helmsman::ui::control;

constexpr int kConnectTimeoutMillis = 5000;
constexpr int kSendTimeoutMillis = 10000;

const char kUsage[] =
    "usage: helmsman-ctl [--home DIR] [--json] VERB [ARGUMENTS]\n"
    "\n"
    "  list                            the windows, then control names with kind, enabled,\n"
    "                                  caption (NAME: a control of frmMain, or WINDOW.NAME,\n"
    "                                  e.g. frmEditPlayer.txtPlayerMoney while it is open)\n"
    "  get NAME                        text or caption, value, enabled, rows, selection\n"
    "  set NAME TEXT                   a text box, as if typed; a scroll bar's value\n"
    "  check NAME 0|1                  a check box or option button\n"
    "  select NAME ROW|=TEXT           a list or combo row, by index or by its text\n"
    "  click NAME [--answer ok|cancel]...  a button; answers for its questions in order\n"
    "  log [--follow] [server|player|error]  the three logs, or one, as they grow\n"
    "  status                          the status line, server state, timer state, editor\n"
    "  preview KIND                    what a prune would remove now, and why; nothing\n"
    "                                  changes (KIND: inactive, non-banned-inactive,\n"
    "                                  uninterested, non-banned-uninterested, empty-folders,\n"
    "                                  non-banned-empty-folders, maintenance)\n"
    "  quarantine                      the quarantine's entries: what each action removed\n"
    "  restore ENTRY|--last [--only ACCOUNT]  puts an entry's files back with their\n"
    "                                  records and ban data; never over a file that exists\n"
    "  journal [--player NAME] [--account FOLDER] [--since TIME] [--last N]\n"
    "                                  who kicked, banned, changed or removed what, and why\n"
    "  crashes [N]                     the crash reports, newest first; the N newest whole\n"
    "  web-user add NAME ROLE          a web console user (ROLE: admin, moderator, viewer);\n"
    "                                  the password is the first line of standard input\n"
    "  web-user remove NAME            removes a web console user\n"
    "  web-user list                   the web console's users and their roles\n"
    "                                  (web-user needs no running console)\n"
    "\n"
    "  --home DIR   the console's program folder (default: $HELMSMAN_HOME, else the folder\n"
    "               of this program)\n"
    "  --json       replies as JSON (one object per line) instead of plain text\n"
    "  --           the words after it are not options (set txtChatText -- --hello)\n"
    "\n"
    "exit codes: 0 done, 1 refused (a disabled control, nothing to do, a web user that\n"
    "exists or is unknown), 2 bad request\n"
    "(unknown verb or control, bad or missing argument), 3 no console reached or\n"
    "connection lost\n";

struct Arguments {
  std::string home;
  bool json = false;
  bool help = false;
  std::vector<std::string> words;  // verb and its arguments
};

bool Parse(int argc, char** argv, Arguments* arguments, std::string* error) {
  bool options_end = false;
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (options_end) {
      arguments->words.push_back(word);
    } else if (word == "--") {
      options_end = true;
    } else if (word == "--json") {
      arguments->json = true;
    } else if (word == "--help" || word == "-h") {
      arguments->help = true;
    } else if (word == "--home") {
      if (i + 1 == argc) {
        *error = "--home needs a folder";
        return false;
      }
      arguments->home = argv[++i];
    } else if (word.rfind("--home=", 0) == 0) {
      arguments->home = word.substr(7);
    } else {
      arguments->words.push_back(word);
    }
  }
  if (!arguments->help && arguments->words.empty()) {
    *error = "no verb given";
    return false;
  }
  return true;
}

std::string ProgramFolder(const Arguments& arguments, const char* argument0) {
  if (!arguments.home.empty()) return arguments.home;
  const char* variable = std::getenv("HELMSMAN_HOME");
  if (variable != nullptr && *variable != '\0') return variable;
  return app::ExecutableFolder(argument0);
}

bool SendRequest(platform::LocalConnection& connection, const std::string& frame) {
  size_t sent = 0;
  while (sent < frame.size()) {
    size_t written = 0;
    if (connection.WriteWaiting(frame.substr(sent), &written, kSendTimeoutMillis) !=
        platform::IoStatus::kDone) {
      return false;
    }
    sent += written;
  }
  return true;
}

// Prints the reply as it comes; the exit code the console sent, or kExitUnreachable.
int Receive(platform::LocalConnection& connection) {
  FrameReader reader(kMaxReplyFrameBytes);
  for (;;) {
    while (std::optional<std::string> payload = reader.Next()) {
      if (payload->empty()) continue;
      const std::string text = payload->substr(1);
      switch (static_cast<FrameKind>((*payload)[0])) {
        case FrameKind::kOut:
          std::cout << text << std::flush;
          break;
        case FrameKind::kErr:
          std::cerr << "helmsman-ctl: " << text << std::flush;
          break;
        case FrameKind::kExit:
          return std::atoi(text.c_str());
      }
    }
    if (reader.broken()) {
      std::cerr << "helmsman-ctl: the console sent a reply this program cannot read\n";
      return kExitUnreachable;
    }
    std::string data;
    if (connection.ReadWaiting(&data, 65536, -1) != platform::IoStatus::kDone) {
      std::cerr << "helmsman-ctl: the console closed the connection before it answered\n";
      return kExitUnreachable;
    }
    reader.Feed(data);
  }
}

// The first line of standard input, not echoed when it is a terminal. False at its end.
#if defined(_WIN32)
bool ReadPassword(std::string* password) {
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  const bool terminal = GetConsoleMode(input, &saved) != 0;
  if (terminal) {
    std::cerr << "Password: " << std::flush;
    SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  }
  const bool read = static_cast<bool>(std::getline(std::cin, *password));
  if (terminal) {
    SetConsoleMode(input, saved);
    std::cerr << "\n";
  }
  if (!read) return false;
  if (!password->empty() && password->back() == '\r') password->pop_back();
  return true;
}
#else
bool ReadPassword(std::string* password) {
  const bool terminal = ::isatty(STDIN_FILENO) == 1;
  struct termios saved;
  if (terminal && ::tcgetattr(STDIN_FILENO, &saved) == 0) {
    struct termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    std::cerr << "Password: " << std::flush;
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    const bool read = static_cast<bool>(std::getline(std::cin, *password));
    ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    std::cerr << "\n";
    if (!read) return false;
  } else if (!std::getline(std::cin, *password)) {
    return false;
  }
  if (!password->empty() && password->back() == '\r') password->pop_back();
  return true;
}
#endif

int ExitCode(web::Outcome outcome) {
  switch (outcome) {
    case web::Outcome::kDone:
      return kExitDone;
    case web::Outcome::kRefused:
      return kExitRefused;
    case web::Outcome::kBadRequest:
      return kExitBadRequest;
  }
  return kExitRefused;
}

int ListWebUsers(const web::WebUsers& users, bool json) {
  std::vector<web::WebUser> list;
  std::vector<std::string> damaged;
  std::string error;
  if (!users.List(&list, &damaged, &error)) {
    std::cerr << "helmsman-ctl: " << error << "\n";
    return kExitRefused;
  }
  for (const std::string& line : damaged) {
    std::cerr << "helmsman-ctl: " << users.path() << ", " << line << "; passed over\n";
  }
  for (const web::WebUser& user : list) {
    if (json) {
      std::cout << "{\"name\":" << ui::JsonText(user.name) << ",\"role\":\""
                << web::RoleName(user.role) << "\"}\n";
    } else {
      std::cout << user.name << " " << web::RoleName(user.role) << "\n";
    }
  }
  if (list.empty() && !json) std::cout << "no web users\n";
  return kExitDone;
}

// web-user add NAME ROLE | remove NAME | list, on the users file of the program folder.
int WebUser(const std::vector<std::string>& words, const std::string& folder, bool json) {
  web::WebUsers users(platform::DiskFileSystem(), folder);
  const std::string action = words.size() > 1 ? words[1] : "";
  web::Result result;
  if (action == "list" && words.size() == 2) {
    return ListWebUsers(users, json);
  } else if (action == "add" && words.size() == 4 &&
             (!web::IsValidUserName(words[2]) || !web::ParseRole(words[3]))) {
    result = users.Add(words[2], words[3], "");  // refused before a password is asked for
  } else if (action == "add" && words.size() == 4) {
    std::string password;
    if (!ReadPassword(&password)) {
      std::cerr << "helmsman-ctl: no password on standard input\n";
      return kExitBadRequest;
    }
    result = users.Add(words[2], words[3], password);
  } else if (action == "remove" && words.size() == 3) {
    result = users.Remove(words[2]);
  } else {
    std::cerr << "helmsman-ctl: web-user takes add NAME ROLE, remove NAME or list\n";
    return kExitBadRequest;
  }
  if (result.outcome != web::Outcome::kDone) {
    std::cerr << "helmsman-ctl: " << result.message << "\n";
  } else {
    std::cout << (action == "add" ? "added " : "removed ") << words[2] << "\n";
  }
  return ExitCode(result.outcome);
}

}  // namespace

int main(int argc, char** argv) {
  Arguments arguments;
  std::string error;
  if (!Parse(argc, argv, &arguments, &error)) {
    std::cerr << "helmsman-ctl: " << error << "\n" << kUsage;
    return kExitBadRequest;
  }
  if (arguments.help) {
    std::cout << kUsage;
    return kExitDone;
  }
  const std::string folder = ProgramFolder(arguments, argc > 0 ? argv[0] : "");
  if (arguments.words[0] == "web-user") return WebUser(arguments.words, folder, arguments.json);
  const std::string path = ControlSocketPath(folder);
  std::unique_ptr<platform::LocalConnection> connection =
      platform::ConnectLocal(path, kConnectTimeoutMillis, &error);
  if (!connection) {
    std::cerr << "helmsman-ctl: " << error << " (is helmsman running with --home " << folder
              << "?)\n";
    return kExitUnreachable;
  }
  std::vector<std::string> words = {arguments.json ? "json" : "text"};
  words.insert(words.end(), arguments.words.begin(), arguments.words.end());
  const std::string frame = RequestFrame(words);
  if (frame.size() - 4 > kMaxRequestBytes) {
    std::cerr << "helmsman-ctl: the request is longer than the console takes (" << kMaxRequestBytes
              << " bytes)\n";
    return kExitBadRequest;
  }
  if (!SendRequest(*connection, frame)) {
    std::cerr << "helmsman-ctl: the console did not take the request\n";
    return kExitUnreachable;
  }
  return Receive(*connection);
}
