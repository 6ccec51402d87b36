// The substitute game server on the simulated desktop: the core (server_core.h) behind the
// console of server_console.h, with the desktop's timeline for its timers and a hidden
// control window through which qvserver-ctl drives it.
//
// Control window: a hidden top-level window titled ControlWindowTitle(console title). A
// control command (see server_core.h) is sent to it as kControlMessage with the command as
// text; the answer's result is 1 when the command was carried out, 0 when not, and its text
// says what happened.
#ifndef HELMSMAN_QVSERVER_SERVER_H_
#define HELMSMAN_QVSERVER_SERVER_H_

#include <cstdint>
#include <memory>
#include <string>

#include "platform/clock.h"
#include "platform/file_system.h"
#include "qvserver/server_console.h"
#include "qvserver/server_core.h"
#include "qvserver/universe.h"
#include "simdesk/window_system.h"

namespace helmsman::qvserver {

inline constexpr uint32_t kControlMessage = 0x8051;  // WM_APP + 0x51

class Server : private ServerShell {
 public:
  Server(simdesk::WindowSystem& desk, platform::FileSystem& files, platform::Clock& clock,
         const gamefiles::DemoCatalogue& catalogue, ServerSetup setup, ServerHooks hooks);
  ~Server() override;
  Server(const Server&) = delete;
  Server& operator=(const Server&) = delete;

  // Loads the universe, shows the console and the control window, starts the timers.
  bool Start(std::string* error) { return core_.Start(error); }
  // Carries out one control command.
  bool Control(const std::string& command, std::string* reply) {
    return core_.Control(command, reply);
  }

  Universe& universe() { return core_.universe(); }
  ServerConsole& console() { return console_; }
  simdesk::Handle control_window() const { return control_window_; }

 private:
  TimerId Schedule(int64_t millis, std::function<void()> task) override;
  void Cancel(TimerId timer) override;
  void ShowConsole() override;
  void Crash() override { console_.Crash(); }
  bool crashed() const override { return console_.crashed(); }
  void PostQuit() override;
  void RemoveControl() override;

  simdesk::WindowSystem& desk_;
  ServerCore core_;
  ServerConsole console_;
  simdesk::AppId control_app_ = 0;
  simdesk::Handle control_window_ = 0;
};

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_SERVER_H_
