// helmsman-ctl: acts on a running console from a shell, through its control socket.
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "console/app/options.h"
#include "console/ui/control/control_protocol.h"
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
    "\n"
    "  --home DIR   the console's program folder (default: $HELMSMAN_HOME, else the folder\n"
    "               of this program)\n"
    "  --json       replies as JSON (one object per line) instead of plain text\n"
    "  --           the words after it are not options (set txtChatText -- --hello)\n"
    "\n"
    "exit codes: 0 done, 1 refused (a disabled control, nothing to do), 2 bad request\n"
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
