// What the server tests share: the console's logs, status line and main window controls on
// a fake clock, with QVAdmin, the server windows and the sleeper faked.
#ifndef HELMSMAN_CONSOLE_SERVER_TEST_BENCH_H_
#define HELMSMAN_CONSOLE_SERVER_TEST_BENCH_H_

#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/server/chat_box.h"
#include "console/server/command_channel.h"
#include "console/server/online_names.h"
#include "console/server/supervision.h"
#include "console/server/testing/fake_qvadmin.h"
#include "console/server/testing/fake_server_windows.h"
#include "console/server/testing/fake_sleeper.h"
#include "console/settings/settings.h"
#include "console/ui/controls.h"
#include "console/ui/main_window_controls.h"
#include "console/ui/scripted_frontend.h"
#include "platform/clock.h"
#include "platform/locale_texts.h"

namespace helmsman::server {

inline constexpr char kServerTitle[] = "QVServer - Version 1.0 Build 11 - QVServer";

struct TestBench {
  TestBench() {
    ui::AddMainWindowControls(controls, settings);
    status.set_observer([this](const std::string& text) {
      statuses.push_back(text);
      controls.SetText("lblStatus", text);
    });
    channel.Initialize(77, settings.txtQVServerWindowName, "/srv/quorvane/exe/QVServer.exe", "");
  }

  // The messages of a log, without their stamps (all lines carry the same stamp here).
  std::vector<std::string> Messages(logs::LogId log) const {
    std::vector<std::string> messages;
    const std::string stamp = locale.GeneralDateTime(clock.NowLocal());
    for (const std::string& line : logs.lines(log)) {
      messages.push_back(line.rfind(stamp, 0) == 0 ? line.substr(stamp.size()) : "?" + line);
    }
    return messages;
  }
  std::vector<std::string> ServerLog() const { return Messages(logs::LogId::kServerActivity); }
  const std::string& Text(const std::string& control) const { return controls.Get(control).text(); }
  bool Enabled(const std::string& control) const { return controls.Get(control).enabled(); }

  mutable platform::FakeClock clock;
  mutable platform::PictureLocaleTexts locale{"M/d/yyyy", "h:mm:ss tt"};
  logs::Logs logs{clock, locale};
  ui::ScriptedFrontend frontend;
  ui::StatusLine status{&frontend};
  std::vector<std::string> statuses;
  settings::Settings settings;
  ui::Controls controls;
  FakeServerWindows windows;
  FakeQVAdmin admin{&windows};
  FakeSleeper sleeper;
  CommandChannel channel{admin, logs, status};
  OnlineNames online;
  ServerSupervision supervision{controls, settings, channel, windows,
                                sleeper,  logs,     status,  online};
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_TEST_BENCH_H_
