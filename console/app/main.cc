// helmsman: the operator's console. In a window (Qt) when a display is there, else, or with
// --headless, on the headless frontend.
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "console/app/options.h"
#include "console/server/codec_api.h"
#include "console/server/desktop_server_windows.h"
#include "console/server/qvadmin_api.h"
#include "console/server/sleeper.h"
#include "console/ui/headless/headless_loop.h"
#include "console/ui/main_window.h"
#include "console/ui/version_window.h"
#include "console/web/http_server.h"
#include "console/web/web_api.h"
#include "console/web/web_settings.h"
#include "console/web/web_users.h"
#include "platform/clock.h"
#include "platform/desktop.h"
#include "platform/event_loop.h"
#include "platform/file_system.h"
#include "platform/locale_texts.h"
#include "platform/service_notify.h"
#if defined(HELMSMAN_WITH_CONTROL)
#include "console/ui/control/control_protocol.h"
#include "console/ui/control/control_server.h"
#endif
#if defined(HELMSMAN_WITH_QT)
#include "console/ui/qt/qt_main_window.h"
#endif

namespace {

using namespace helmsman;

// Whether a window can be shown: on Windows always; elsewhere an X or Wayland display, or a
// Qt platform chosen explicitly (offscreen, for instance).
#if defined(_WIN32)
bool HaveDisplay() { return true; }
#else
bool Set(const char* variable) {
  const char* value = std::getenv(variable);
  return value != nullptr && *value != '\0';
}

bool HaveDisplay() { return Set("DISPLAY") || Set("WAYLAND_DISPLAY") || Set("QT_QPA_PLATFORM"); }
#endif

#if defined(HELMSMAN_WITH_CONTROL)
using Control = std::unique_ptr<ui::control::ControlServer>;

// The control socket for helmsman-ctl. False when another console already runs on the same
// program folder: this one must not start. A socket that cannot be made for another reason
// only costs the control: the console runs on without it.
bool StartControl(ui::MainWindow& model, const std::string& folder, bool window,
                  Control* control) {
  platform::ListenError why = platform::ListenError::kNone;
  std::string error;
  *control = ui::control::ControlServer::Start(
      model, ui::control::ControlSocketPath(folder), window,
      [](const std::string& notice) { std::cerr << "helmsman: " << notice << "\n"; }, &why, &error);
  if (*control) return true;
  if (why == platform::ListenError::kInUse) {
    std::cerr << "helmsman: another console is already running on the program folder " << folder
              << " (" << error << "); not starting a second one\n";
    return false;
  }
  std::cerr << "helmsman: " << error << ": helmsman-ctl cannot reach this console\n";
  return true;
}
#else
// A build without the control socket runs without control.
struct Control {};

bool StartControl(ui::MainWindow&, const std::string&, bool, Control*) {
  std::cerr << "helmsman: this build has no control socket: helmsman-ctl cannot reach this "
               "console\n";
  return true;
}
#endif

// The web console: its HTTP server when HelmsmanWeb.ini enables it or --web names its address.
// Requests for the console are posted to this thread's loop and answered there by the API.
// Without it, or refused, the console runs on.
struct WebConsole {
  std::unique_ptr<web::WebApi> api;
  std::unique_ptr<platform::ThreadPoster> poster;
  std::unique_ptr<web::HttpServer> server;  // goes first, then the poster, then the API
};

void StartWebConsole(const app::Options& options, const std::string& folder,
                     ui::MainWindow& model, WebConsole* web) {
  web::WebSettings settings;
  std::string error;
  if (web::LoadWebSettings(platform::DiskFileSystem(), folder, &settings, &error) ==
      web::WebLoad::kUnreadable) {
    std::cerr << "helmsman: " << web::kWebSettingsFileName << " cannot be read (" << error
              << "): the web console stays off\n";
    return;
  }
  if (!options.web_address.empty()) {
    settings.enabled = true;
    settings.address = options.web_address;
    settings.port = options.web_port;
  }
  if (!settings.enabled) return;
  std::string message;
  if (!web::CheckScope(settings.address, settings.tls_configured(), web::TlsBuilt(), &message)) {
    std::cerr << "helmsman: " << message << "\n";
    return;
  }
  web->poster = platform::ThreadPoster::Create(&error);
  if (!web->poster) {
    std::cerr << "helmsman: the web console cannot start: " << error << "\n";
    return;
  }
  web::WebApi::Options api_options;
  api_options.tls = settings.tls_configured();
  api_options.run_later = [web](std::chrono::milliseconds delay, std::function<void()> task) {
    if (web->server) web->server->RunLater(delay, std::move(task));
  };
  web->api = std::make_unique<web::WebApi>(model, platform::DiskFileSystem(), folder,
                                           web->poster->handle(), std::move(api_options));
  web->server = std::make_unique<web::HttpServer>(web::HttpLimits(), web->api->PostingHandler());
  // The certificate and key may be named relative to the program folder.
  const auto in_folder = [&folder](const std::string& path) {
    return platform::IsAbsolutePath(path) ? path : platform::JoinPath(folder, path);
  };
  const bool started =
      settings.tls_configured()
          ? web->server->StartTls(settings.address, settings.port,
                                  {in_folder(settings.certificate), in_folder(settings.key)},
                                  &error)
          : web->server->Start(settings.address, settings.port, &error);
  if (!started) {
    std::cerr << "helmsman: the web console cannot start: " << error << "\n";
    web->server.reset();
    return;
  }
  std::cerr << "helmsman: the web console listens on " << settings.address << " port "
            << web->server->port() << "\n";
  // The first start makes its first user; the password is shown this once (and kept in a
  // file only the owner can read).
  std::string password;
  switch (web::WebUsers(platform::DiskFileSystem(), folder).EnsureFirstAdmin(&password, &error)) {
    case web::WebUsers::FirstAdmin::kMade:
      std::cerr << "helmsman: the web console's first user is \"" << web::kFirstAdminName
                << "\" with the password " << password << " (kept in "
                << web::kFirstAdminPasswordFileName
#if defined(_WIN32)
                << ", with the program folder's permissions: keep that folder to your account; "
                   "change it with helmsman-ctl web-user)\n";
#else
                << ", readable only by you; change it with helmsman-ctl web-user)\n";
#endif
      break;
    case web::WebUsers::FirstAdmin::kFailed:
      std::cerr << "helmsman: the web console's first user could not be made: " << error << "\n";
      break;
    case web::WebUsers::FirstAdmin::kExists:
      break;
  }
}

void NotifyServiceManager(const std::string& state) {
  std::string error;
  if (!platform::NotifyServiceManager(state, &error) && !error.empty()) {
    std::cerr << "helmsman: " << error << "\n";
  }
}

int Run(int argc, char** argv, const app::Options& options) {
  const std::string executable_folder = app::ExecutableFolder(argc > 0 ? argv[0] : "");
  const std::string folder = options.home.empty() ? executable_folder : options.home;
  if (!platform::DiskFileSystem().DirectoryExists(folder)) {
    std::cerr << "helmsman: the program folder " << folder << " does not exist\n";
    return 2;
  }
  // The libraries: in the program folder, else beside the executable, else where the
  // platform looks.
  server::QVAdminLibrary qvadmin({folder, executable_folder});
  server::QVCodecLibrary codec({folder, executable_folder});
  server::DesktopServerWindows windows(platform::SystemDesktop());
  ui::Environment environment;
  environment.program_folder = folder;
  environment.clock = &platform::SystemClock();
  environment.locale = &platform::SystemLocaleTexts();
  environment.files = &platform::DiskFileSystem();
  environment.qvadmin = &qvadmin;
  environment.codec = &codec;
  environment.server_windows = &windows;
  environment.sleeper = &server::SystemSleeper();
  ui::MainWindow model(environment);

  bool headless = options.headless;
#if defined(HELMSMAN_WITH_QT)
  if (!headless && !HaveDisplay()) {
    std::cerr << "helmsman: no display (DISPLAY, WAYLAND_DISPLAY and QT_QPA_PLATFORM are not "
                 "set): running headless\n";
    headless = true;
  }
#else
  if (!headless) {
    std::cerr << "helmsman: built without the Qt view" << (HaveDisplay() ? "" : " (and no display)")
              << ": running headless\n";
    headless = true;
  }
#endif
  Control control;
  if (!StartControl(model, folder, !headless, &control)) return 1;
  WebConsole web;
  StartWebConsole(options, folder, model, &web);
#if defined(HELMSMAN_WITH_QT)
  if (!headless) return ui::qt::RunMainWindow(argc, argv, model);
#endif
  ui::HeadlessOptions headless_options;
  headless_options.answers = options.answers;
  headless_options.run_for_seconds = options.run_for_seconds;
  // Run as a service of Type=notify, the console is ready once start-up is done, and says
  // so again when it begins to shut down.
  headless_options.started = [](const std::string& status) {
    NotifyServiceManager(std::string(platform::kServiceReady) + "\nSTATUS=" + status);
  };
  headless_options.stopping = [] { NotifyServiceManager(platform::kServiceStopping); };
  return ui::RunHeadless(model, headless_options, std::cout);
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  app::Options options;
  std::string error;
  if (!app::ParseOptions(arguments, &options, &error)) {
    std::cerr << "helmsman: " << error << "\n" << app::Usage();
    return 2;
  }
  if (options.help) {
    std::cout << app::Usage();
    return 0;
  }
  if (options.version) {
    for (const std::string& line : ui::VersionLines(ui::ThisBuild(), "", {})) {
      if (line.rfind("Window toolkit: ", 0) != 0) std::cout << line << "\n";
    }
    return 0;
  }
  return Run(argc, argv, options);
}
