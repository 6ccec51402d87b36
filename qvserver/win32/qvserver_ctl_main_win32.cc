// qvserver-ctl.exe: sends one control command to the running substitute server on Windows
// and prints its answer; the commands and exit codes of the POSIX program
// (qvserver_ctl_main.cc).
//
//   qvserver-ctl [--title TITLE] COMMAND [ARGUMENT...]
//
// The server is found by its control window's title (server_win32.h). The command goes as
// WM_COPYDATA, bounded by kControlTimeoutMillis so that a hung server does not hang the
// client; the answer's text comes back to a message-only window of this program while it
// waits. Exit status: 0 done, 1 refused, 2 usage, 3 no server reachable.
//
// This folder is the Windows console of the substitute server, a Windows GUI program: the one
// place outside platform/ that includes <windows.h>.
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/desktop.h"
#include "qvserver/server_core.h"
#include "qvserver/win32/server_win32.h"

namespace {

namespace platform = helmsman::platform;
namespace qvserver = helmsman::qvserver;

std::string reply_text;
bool answered = false;

LRESULT CALLBACK ReplyProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == WM_COPYDATA && lparam) {
    const auto& data = *reinterpret_cast<const COPYDATASTRUCT*>(lparam);
    if (data.dwData == qvserver::kControlReplyCopyData) {
      reply_text.assign(static_cast<const char*>(data.lpData), data.cbData);
      answered = true;
      return 1;
    }
  }
  return DefWindowProcW(window, message, wparam, lparam);
}

HWND ReplyWindow() {
  WNDCLASSW reply_class = {};
  reply_class.lpfnWndProc = ReplyProc;
  reply_class.hInstance = GetModuleHandleW(nullptr);
  reply_class.lpszClassName = L"QVServerControlReply";
  if (!RegisterClassW(&reply_class)) return nullptr;
  return CreateWindowExW(0, reply_class.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                         reply_class.hInstance, nullptr);
}

qvserver::ControlAnswer Send(const std::string& title, const std::string& command) {
  qvserver::ControlAnswer answer;
  HWND server = reinterpret_cast<HWND>(
      platform::SystemDesktop().FindTopLevelWindow(qvserver::ControlWindowTitle(title)));
  if (!server) {
    answer.error = "no server titled \"" + title + "\" runs on this desktop";
    return answer;
  }
  HWND reply = ReplyWindow();
  if (!reply) {
    answer.error = "cannot make a window for the answer";
    return answer;
  }
  std::string sent_text = command;  // WM_COPYDATA takes a pointer to writable data
  COPYDATASTRUCT data = {qvserver::kControlCopyData, static_cast<DWORD>(sent_text.size()),
                         sent_text.data()};
  DWORD_PTR result = 0;
  SetLastError(0);
  const bool sent =
      SendMessageTimeoutW(server, WM_COPYDATA, reinterpret_cast<WPARAM>(reply),
                          reinterpret_cast<LPARAM>(&data), SMTO_NORMAL | SMTO_ABORTIFHUNG,
                          qvserver::kControlTimeoutMillis, &result) != 0;
  DestroyWindow(reply);
  if (!sent) {
    answer.error = IsWindow(server)
                       ? "the server did not answer within " +
                             std::to_string(qvserver::kControlTimeoutMillis / 1000) + " seconds"
                       : "the server went away";
  } else if (!answered) {
    answer.error = "the server's answer did not arrive";
  } else {
    answer.reached = true;
    answer.text = reply_text;
    answer.done = result == 1;
  }
  return answer;
}

}  // namespace

int main(int argc, char** argv) {
  return qvserver::RunControlClient(std::vector<std::string>(argv + 1, argv + argc), Send, stdout,
                                    stderr);
}
