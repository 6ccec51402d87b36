// Server windows for tests: a set of open top-level windows by title. Records every look-up
// and every quit message; a quit message closes its window unless told otherwise.
#ifndef HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_SERVER_WINDOWS_H_
#define HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_SERVER_WINDOWS_H_

#include <map>
#include <string>
#include <vector>

#include "console/server/server_windows.h"

namespace helmsman::server {

class FakeServerWindows : public ServerWindows {
 public:
  // Opens a window with this title (again: keeps the old handle) and returns its handle.
  ServerWindow Open(const std::string& title);
  void Close(const std::string& title);
  bool IsOpen(const std::string& title) const { return open_.count(title) > 0; }
  // Whether a quit message closes the window (default true). A hung server ignores it.
  void set_closes_on_quit(bool closes) { closes_on_quit_ = closes; }
  // Whether the desktop answers look-ups (default true). A stopped server does not: every
  // Find then finds nothing and says so.
  void set_answers(bool answers) { answers_ = answers; }

  ServerWindow Find(const std::string& title) override;
  bool LastFindUnanswered() const override { return !answers_; }
  bool PostQuit(ServerWindow window) override;

  // Titles of the windows that got a quit message, in order.
  const std::vector<std::string>& quit_posted() const { return quit_posted_; }
  int finds() const { return finds_; }

 private:
  std::map<std::string, ServerWindow> open_;
  ServerWindow next_handle_ = 0x100;
  bool closes_on_quit_ = true;
  bool answers_ = true;
  std::vector<std::string> quit_posted_;
  int finds_ = 0;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_SERVER_WINDOWS_H_
