#include "admin/testing/fake_console.h"

#include <cstdio>

namespace helmsman::admin::testing {

using simdesk::Call;
using simdesk::ControlKind;
using simdesk::Handle;

namespace {

constexpr uint32_t kManageCommand = 1108;
constexpr uint32_t kChatCommand = 1300;
constexpr uint32_t kChooseCommand = 1302;
constexpr int kAccountList = 100;
constexpr int kEditButton = 101;
constexpr int kBannedBox = 200;
constexpr int kKickButton = 201;
constexpr int kChatInput = 300;
constexpr int kChatClose = 301;
constexpr int kPlayerList = 400;
constexpr int64_t kEnterKeyData = 0x00068001;

std::vector<simdesk::MenuEntry> Entries(std::vector<std::string> texts,
                                        std::vector<std::pair<int, uint32_t>> commands) {
  std::vector<simdesk::MenuEntry> entries;
  uint32_t filler = 2000;
  for (const std::string& text : texts) entries.push_back({text, filler++});
  for (const auto& [position, id] : commands) entries[position].command_id = id;
  return entries;
}

}  // namespace

std::string HexName(std::string_view name) {
  std::string hex;
  for (char c : name) {
    char group[8];
    std::snprintf(group, sizeof group, "00%02X", static_cast<unsigned char>(c));
    hex += group;
  }
  return hex;
}

FakeConsole::FakeConsole(FakeConsoleOptions options)
    : options_(std::move(options)), banned_(options_.account_rows.size(), false) {
  app_ = desk_.CreateApp([this] {
    if (!options_.ignore_quit) desk_.DestroyApp(app_);
  });
  BuildServerWindow();
}

FakeConsole::~FakeConsole() {
  for (simdesk::Timeline::TimerId timer : timers_) desk_.timeline().Cancel(timer);
  if (desk_.AppExists(app_)) desk_.DestroyApp(app_);
}

bool FakeConsole::running() const { return desk_.Exists(server_); }

std::vector<int> FakeConsole::kicked_rows() const {
  std::vector<int> rows;
  for (const std::string& event : events_)
    if (event.rfind("kick ", 0) == 0) rows.push_back(std::stoi(event.substr(5)));
  return rows;
}

void FakeConsole::SetOnlinePlayers(std::vector<std::string> names) {
  options_.online_players = std::move(names);
  if (desk_.Exists(player_list_)) desk_.SetRows(player_list_, PlayerRows());
}

std::vector<std::string> FakeConsole::PlayerRows() const {
  std::vector<std::string> rows;
  for (const std::string& name : options_.online_players) rows.push_back(HexName(name));
  rows.insert(rows.end(), options_.verbatim_player_rows.begin(),
              options_.verbatim_player_rows.end());
  return rows;
}

void FakeConsole::BuildServerWindow() {
  server_ = desk_.CreateTopLevel(app_, options_.title, "QVServerConsole");
  desk_.SetWindowProc(server_, [this](const Call& call) { return ServerProc(call); });
  if (options_.no_menu) return;
  desk_.SetMenuBar(server_,
                   {{"File", Entries({"Save Universe", "Exit"}, {})},
                    {"Server", Entries({"Start", "Pause", "Resume", "-", "Settings", "Ports",
                                        "Log Level", "-", "Manage Accounts & Characters", "Purge"},
                                       {{8, kManageCommand}})},
                    {"View", Entries({"Statistics"}, {})},
                    {"Players", Entries({"Universe Chat", "Private Chat", "Choose A Player"},
                                        {{0, kChatCommand}, {2, kChooseCommand}})}});
}

std::optional<int64_t> FakeConsole::ServerProc(const Call& call) {
  if (call.message != simdesk::WM_COMMAND) return std::nullopt;
  std::string title;
  switch (simdesk::LowWord(call.wparam)) {
    case kManageCommand:
      title = "Manage Accounts & Characters";
      break;
    case kChatCommand:
      title = "Universe Chat";
      break;
    case kChooseCommand:
      title = "Choose A Player";
      break;
    default:
      return 0;
  }
  if (options_.never_open.count(title)) return 0;
  timers_.push_back(desk_.timeline().Schedule(options_.dialog_delay_millis,
                                              [this, title] { OpenDialog(title); }));
  return 0;
}

void FakeConsole::OpenDialog(const std::string& title) {
  if (!desk_.Exists(server_) || desk_.FindTopLevel(title)) return;
  Handle dialog = desk_.CreateDialog(app_, server_, title);
  events_.push_back("open " + title);
  if (title == "Manage Accounts & Characters") BuildManageAccounts(dialog);
  if (title == "Edit Account") BuildEditAccount(dialog);
  if (title == "Universe Chat") BuildUniverseChat(dialog);
  if (title == "Choose A Player") BuildChooseAPlayer(dialog);
  if (title == options_.hang_when_open) desk_.SetAppHung(app_, true);
}

void FakeConsole::CloseDialog(Handle dialog) {
  events_.push_back("close " + desk_.TextOf(dialog));
  desk_.DestroyWindow(dialog);
}

void FakeConsole::BuildManageAccounts(Handle dialog) {
  desk_.AddControl(dialog, ControlKind::kStatic, "Accounts", -1, false);
  if (!options_.no_lists) {
    Handle list = desk_.AddControl(dialog, ControlKind::kListBox, "", kAccountList);
    desk_.SetRows(list, options_.account_rows);
    desk_.SetWindowProc(list, [this](const Call& call) -> std::optional<int64_t> {
      bool unreadable = call.message == simdesk::LB_GETTEXT &&
                        options_.unreadable_account_rows.count(static_cast<int>(call.wparam));
      if (unreadable) return simdesk::LB_ERR;
      return std::nullopt;
    });
  }
  if (!options_.no_edit_button)
    desk_.AddControl(dialog, ControlKind::kButton, "Edit Account", kEditButton);
  desk_.AddControl(dialog, ControlKind::kButton, "Close", simdesk::IDOK);
  desk_.SetWindowProc(dialog, [this](const Call& call) { return ManageProc(call); });
}

std::optional<int64_t> FakeConsole::ManageProc(const Call& call) {
  if (call.message != simdesk::WM_COMMAND) return std::nullopt;
  Handle dialog = call.window;
  Handle list = desk_.GetDlgItem(dialog, kAccountList);
  int id = static_cast<int>(simdesk::LowWord(call.wparam));
  uint32_t code = simdesk::HighWord(call.wparam);
  if (id == kAccountList && code == simdesk::LBN_SELCHANGE) {
    events_.push_back("select " + std::to_string(desk_.CurSelOf(list)));
  } else if (id == kEditButton && code == simdesk::BN_CLICKED) {
    edit_row_ = desk_.CurSelOf(list);
    events_.push_back("edit " + std::to_string(edit_row_));
    if (edit_row_ >= 0 && !options_.never_open.count("Edit Account"))
      timers_.push_back(desk_.timeline().Schedule(options_.dialog_delay_millis,
                                                  [this] { OpenDialog("Edit Account"); }));
  } else if (id == simdesk::IDOK) {
    CloseDialog(dialog);
  }
  return 0;
}

void FakeConsole::BuildEditAccount(Handle dialog) {
  if (!options_.no_banned_box) {
    Handle box = desk_.AddControl(dialog, ControlKind::kCheckBox, "Banned", kBannedBox);
    desk_.SetChecked(box, banned_.at(edit_row_));
  }
  if (!options_.no_kick_button)
    desk_.AddControl(dialog, ControlKind::kButton, "Kick Account From Server", kKickButton);
  desk_.AddControl(dialog, ControlKind::kButton, "OK", simdesk::IDOK);
  desk_.SetWindowProc(dialog, [this](const Call& call) { return EditProc(call); });
}

std::optional<int64_t> FakeConsole::EditProc(const Call& call) {
  if (call.message != simdesk::WM_COMMAND) return std::nullopt;
  int id = static_cast<int>(simdesk::LowWord(call.wparam));
  if (id != kKickButton && id != simdesk::IDOK) return 0;
  Handle box = desk_.GetDlgItem(call.window, kBannedBox);
  if (box) banned_.at(edit_row_) = desk_.IsChecked(box);
  events_.push_back((id == kKickButton ? "kick " : "ok ") + std::to_string(edit_row_));
  CloseDialog(call.window);
  return 0;
}

void FakeConsole::BuildUniverseChat(Handle dialog) {
  if (!options_.no_chat_input) {
    Handle input = desk_.AddControl(dialog, ControlKind::kRichEdit, "", kChatInput);
    desk_.SetWindowProc(input, [this, input](const Call& call) -> std::optional<int64_t> {
      if (call.message == simdesk::WM_KEYDOWN && call.wparam == simdesk::VK_RETURN &&
          call.lparam == kEnterKeyData) {
        chat_lines_.push_back(desk_.TextOf(input));
        events_.push_back("chat " + desk_.TextOf(input));
        desk_.SetText(input, "");
        return 0;
      }
      return std::nullopt;
    });
  }
  if (!options_.no_chat_close) desk_.AddControl(dialog, ControlKind::kButton, "Close", kChatClose);
  desk_.SetWindowProc(dialog, [this](const Call& call) -> std::optional<int64_t> {
    if (call.message != simdesk::WM_COMMAND) return std::nullopt;
    int id = static_cast<int>(simdesk::LowWord(call.wparam));
    if (id == kChatClose || id == simdesk::IDOK) CloseDialog(call.window);
    return 0;
  });
}

void FakeConsole::BuildChooseAPlayer(Handle dialog) {
  if (!options_.no_lists) {
    player_list_ = desk_.AddControl(dialog, ControlKind::kListBox, "", kPlayerList);
    desk_.SetRows(player_list_, PlayerRows());
  }
  desk_.AddControl(dialog, ControlKind::kButton, "OK", simdesk::IDOK);
  desk_.SetWindowProc(dialog, [this](const Call& call) -> std::optional<int64_t> {
    if (call.message != simdesk::WM_COMMAND) return std::nullopt;
    if (simdesk::LowWord(call.wparam) == simdesk::IDOK) CloseDialog(call.window);
    return 0;
  });
}

simdesk::AppId ShowFailureDialog() {
  simdesk::WindowSystem& desk = simdesk::WindowSystem::Local();
  simdesk::AppId app = desk.CreateApp();
  Handle dialog = desk.CreateTopLevel(app, "Quorvane-Server", "#32770");
  desk.AddControl(dialog, ControlKind::kStatic, "The server has stopped working.", -1, false);
  desk.AddControl(dialog, ControlKind::kButton, "OK", simdesk::IDOK);
  return app;
}

}  // namespace helmsman::admin::testing
