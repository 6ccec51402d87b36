// Works the Win32 substitute server's console from another process, through the platform
// layer's user32 desktop and QVAdmin's own console automation, as QVAdmin.dll does.
//
//   qvserver_wine_probe console TITLE NAME ACCOUNT_FOLDER   NAME online, its account unbanned
//   qvserver_wine_probe failure TITLE                       after a crash
//
// "console": the console window's class; its menu bar item by item against the layout the
// console is built from; "list online" shows NAME; a chat text with a bar goes out as two
// lines; a ban of NAME creates ACCOUNT_FOLDER\banned; every dialog is closed again.
// "failure": the failure dialog is there and the console is not. Prints what it checked;
// exit status 0 when everything held.
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "admin/console_automation.h"
#include "admin/reply_text.h"
#include "admin/text_codes.h"
#include "gamefiles/character_sheet.h"
#include "platform/desktop.h"
#include "platform/file_system.h"
#include "qvserver/console_layout.h"
#include "qvserver/server_core.h"

namespace {

namespace admin = helmsman::admin;
namespace platform = helmsman::platform;
namespace qvserver = helmsman::qvserver;

int failures = 0;

void Expect(bool held, const std::string& what) {
  std::printf("%s: %s\n", held ? "ok" : "FAILED", what.c_str());
  if (!held) ++failures;
}

// The bar read from the window, entry by entry, against ConsoleMenuBar().
void CheckMenus(platform::Desktop& desk, platform::WindowHandle console) {
  std::vector<qvserver::ConsoleMenu> layout = qvserver::ConsoleMenuBar();
  platform::MenuHandle bar = desk.MenuBar(console);
  Expect(bar != 0 && desk.MenuItemCount(bar) == static_cast<int>(layout.size()),
         "the menu bar has " + std::to_string(layout.size()) + " items");
  if (!bar) return;
  int entries = 0, matching = 0;
  for (size_t item = 0; item < layout.size(); ++item) {
    platform::MenuHandle drop_down = desk.DropDown(bar, static_cast<int>(item));
    uint32_t id = layout[item].first_id;
    for (size_t entry = 0; entry < layout[item].entries.size(); ++entry, ++id) {
      if (layout[item].entries[entry] == "-") continue;
      ++entries;
      std::optional<uint32_t> found =
          drop_down ? desk.MenuCommandId(drop_down, static_cast<int>(entry)) : std::nullopt;
      if (found == id) {
        ++matching;
      } else {
        std::printf("  bar item %zu entry %zu: id %d, expected %u\n", item, entry,
                    found ? static_cast<int>(*found) : -1, id);
      }
    }
  }
  Expect(matching == entries, std::to_string(matching) + " of " + std::to_string(entries) +
                                  " menu entries at their positions with their command ids");
}

int Console(const std::string& title, const std::string& name, const std::string& account) {
  platform::Desktop& desk = platform::SystemDesktop();
  platform::WindowHandle console = desk.FindTopLevelWindow(title);
  Expect(console != 0, "the console window \"" + title + "\" exists");
  if (!console) return 1;
  Expect(desk.ClassNameOf(console, 255) == std::string(qvserver::kConsoleClass),
         "its class is " + std::string(qvserver::kConsoleClass));
  CheckMenus(desk, console);

  admin::ConsoleAutomation automation(desk, title);
  static char buffer[1 << 16];
  std::memset(buffer, 0, sizeof buffer);
  admin::ReplyText reply(buffer, sizeof buffer);
  std::string hex = helmsman::gamefiles::HexEncodeText(name);
  std::string row = std::to_string(admin::PlayerId(hex)) + ": " + hex + "\r\n";
  bool listed = automation.ListOnlinePlayers(&reply, 0, admin::kKickAction);
  Expect(listed && std::string(buffer).find(row) != std::string::npos,
         "\"Choose A Player\" lists " + name + " as \"" + row.substr(0, row.size() - 2) + "\"");
  Expect(automation.SendUniverseChat("wine line one|wine line two"),
         "\"Universe Chat\" takes a text with a bar");
  std::string banned = platform::JoinPath(account, "banned");
  Expect(automation.AccountActionByName(name, admin::kBanAction) &&
             platform::DiskFileSystem().FileExists(banned),
         "a ban through \"Manage Accounts & Characters\" and \"Edit Account\" creates " + banned);
  for (const char* dialog : {qvserver::kChooseAPlayerTitle, qvserver::kManageAccountsTitle,
                             qvserver::kEditAccountTitle, qvserver::kUniverseChatTitle})
    Expect(desk.FindTopLevelWindow(dialog) == 0, std::string("\"") + dialog + "\" is closed");
  return failures ? 1 : 0;
}

int Failure(const std::string& title) {
  platform::Desktop& desk = platform::SystemDesktop();
  Expect(desk.FindTopLevelWindow(qvserver::kFailureTitle) != 0,
         "the failure dialog \"" + std::string(qvserver::kFailureTitle) + "\" exists");
  Expect(desk.FindTopLevelWindow(title) == 0, "the console window is gone");
  return failures ? 1 : 0;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  if (arguments.size() == 4 && arguments[0] == "console")
    return Console(arguments[1], arguments[2], arguments[3]);
  if (arguments.size() == 2 && arguments[0] == "failure") return Failure(arguments[1]);
  std::fputs(
      "usage: qvserver_wine_probe console TITLE NAME ACCOUNT_FOLDER | failure TITLE\n", stderr);
  return 2;
}
