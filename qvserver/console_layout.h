// The console's menu bar and the ids of its commands and controls, shared by the console on
// the simulated desktop and the Win32 console, so that QVAdmin finds the same positions and
// ids on both.
#ifndef HELMSMAN_QVSERVER_CONSOLE_LAYOUT_H_
#define HELMSMAN_QVSERVER_CONSOLE_LAYOUT_H_

#include <cstdint>
#include <string>
#include <vector>

namespace helmsman::qvserver {

// Menu command ids: bar item b's entry e has the id 1000 + 100 * b + e ("-" is a separator,
// which keeps its position).
inline constexpr uint32_t kExitCommand = 1003;
inline constexpr uint32_t kSaveNowCommand = 1102;
inline constexpr uint32_t kManageCommand = 1108;
inline constexpr uint32_t kChatCommand = 1300;
inline constexpr uint32_t kChooseCommand = 1302;

// Control ids.
inline constexpr int kOkId = 1;
inline constexpr int kCancelId = 2;
inline constexpr int kAccountList = 2001;
inline constexpr int kEditButton = 2002;
inline constexpr int kBannedBox = 2101;
inline constexpr int kKickButton = 2102;
inline constexpr int kChatInput = 2201;
inline constexpr int kSendButton = 2202;
inline constexpr int kPlayerList = 2301;

struct ConsoleMenu {
  std::string text;
  std::vector<std::string> entries;
  uint32_t first_id;
};

inline std::vector<ConsoleMenu> ConsoleMenuBar() {
  return {{"File", {"Start Universe", "Pause Universe", "-", "Exit"}, 1000},
          {"Server",
           {"Settings...", "Network...", "Save Now", "-", "Message Of The Day...",
            "Banned Addresses...", "Rules...", "-", "Manage Accounts & Characters",
            "Reload Accounts"},
           1100},
          {"View", {"Statistics", "Server Log"}, 1200},
          {"Players", {"Universe Chat", "Private Message", "Choose A Player"}, 1300}};
}

}  // namespace helmsman::qvserver

#endif  // HELMSMAN_QVSERVER_CONSOLE_LAYOUT_H_
