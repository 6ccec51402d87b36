// qvserver-ctl: sends one control command to the running substitute server and prints its
// answer.
//
//   qvserver-ctl [--title TITLE] COMMAND [ARGUMENT...]
//
// The server is the one whose console window is titled TITLE (default: the default console
// title) on the desktop of $HELMSMAN_DESKTOP (see simdesk/socket_desktop.h). Exit status: 0
// when the server carried the command out, 1 when it refused it, 2 for a usage error, 3 when
// no such server could be reached.
#include <cstdio>
#include <string>
#include <vector>

#include "qvserver/server.h"
#include "simdesk/socket_desktop.h"
#include "simdesk/window_system.h"
#include "simdesk/wire.h"

namespace {

namespace qvserver = helmsman::qvserver;
namespace simdesk = helmsman::simdesk;

// The command goes to the server's hidden control window on the simulated desktop.
qvserver::ControlAnswer Send(const std::string& title, const std::string& command) {
  qvserver::ControlAnswer answer;
  std::string folder;
  if (!simdesk::EnsureDesktopFolder(&folder, &answer.error)) return answer;
  simdesk::SetTransportLog(
      [](const std::string& line) { std::fprintf(stderr, "qvserver-ctl: %s\n", line.c_str()); });
  simdesk::SocketPeerDirectory& peers = simdesk::SystemPeers();
  std::string control_title = qvserver::ControlWindowTitle(title);
  for (simdesk::WindowService* peer : peers.AllPeers()) {
    simdesk::Handle window = peer->FindTopLevel(control_title);
    if (!window) continue;
    simdesk::SendRequest request;
    request.message = {window, qvserver::kControlMessage, 0, 0};
    request.has_text_in = true;
    request.text_in = command;
    request.text_out_capacity = simdesk::wire::kMaxAnswerText;
    simdesk::SendReply reply = peer->SendMessage(request);
    if (!reply.ok) {
      answer.error = reply.timed_out
                         ? "the server did not answer within " +
                               std::to_string(simdesk::kSendTimeoutMillis / 1000) + " seconds"
                         : "the server went away";
      return answer;
    }
    answer.reached = true;
    answer.text = reply.text_out;
    answer.done = reply.result == 1;
    return answer;
  }
  answer.error = "no server titled \"" + title + "\" runs on the desktop " + folder;
  return answer;
}

}  // namespace

int main(int argc, char** argv) {
  return qvserver::RunControlClient(std::vector<std::string>(argv + 1, argv + argc), Send, stdout,
                                    stderr);
}
