#include "qvserver/server_console.h"

#include "gamefiles/character_sheet.h"
#include "qvserver/console_layout.h"

namespace helmsman::qvserver {

using simdesk::Call;
using simdesk::ControlKind;
using simdesk::Handle;

namespace {

std::vector<simdesk::MenuBarItem> MenuBar() {
  std::vector<simdesk::MenuBarItem> bar;
  for (const ConsoleMenu& item : ConsoleMenuBar()) {
    std::vector<simdesk::MenuEntry> entries;
    uint32_t id = item.first_id;
    for (const std::string& text : item.entries) entries.push_back({text, id++});
    bar.push_back({item.text, entries});
  }
  return bar;
}

std::vector<std::string> HexRows(const std::vector<std::string>& names) {
  std::vector<std::string> rows;
  for (const std::string& name : names) rows.push_back(gamefiles::HexEncodeText(name));
  return rows;
}

int ControlIdOf(const Call& call) { return static_cast<int>(simdesk::LowWord(call.wparam)); }

}  // namespace

ServerConsole::ServerConsole(simdesk::WindowSystem& desk, Universe& universe,
                             platform::FileSystem& files, platform::Clock& clock, std::string title,
                             std::string chat_log_path, Handlers handlers)
    : desk_(desk),
      universe_(universe),
      files_(files),
      clock_(clock),
      title_(std::move(title)),
      chat_log_path_(std::move(chat_log_path)),
      handlers_(std::move(handlers)) {}

ServerConsole::~ServerConsole() {
  if (app_ && desk_.AppExists(app_)) desk_.DestroyApp(app_);
  if (failure_app_ && desk_.AppExists(failure_app_)) desk_.DestroyApp(failure_app_);
}

void ServerConsole::Show() {
  app_ = desk_.CreateApp([this] { EndOnQuit(); });
  window_ = desk_.CreateTopLevel(app_, title_, kConsoleClass);
  desk_.SetWindowProc(window_, [this](const Call& call) { return ConsoleProc(call); });
  desk_.SetMenuBar(window_, MenuBar());
}

void ServerConsole::EndOnQuit() {
  std::string message;
  universe_.Save("", &message);
  desk_.DestroyApp(app_);
  if (handlers_.on_quit) handlers_.on_quit();
}

void ServerConsole::Crash() {
  if (crashed()) return;
  if (desk_.AppExists(app_)) desk_.DestroyApp(app_);
  window_ = 0;
  auto close = [this] {
    if (desk_.AppExists(failure_app_)) desk_.DestroyApp(failure_app_);
    if (handlers_.on_failure_closed) handlers_.on_failure_closed();
  };
  failure_app_ = desk_.CreateApp(close);
  Handle dialog = desk_.CreateTopLevel(failure_app_, kFailureTitle, "#32770");
  desk_.AddControl(dialog, ControlKind::kStatic, kFailureText, -1, false);
  desk_.AddControl(dialog, ControlKind::kButton, "Close", simdesk::IDOK);
  desk_.SetWindowProc(dialog, [this, dialog](const Call& call) -> std::optional<int64_t> {
    if (call.message != simdesk::WM_COMMAND || ControlIdOf(call) != simdesk::IDOK)
      return std::nullopt;
    desk_.PostMessage({dialog, simdesk::WM_QUIT, 0, 0});
    return 0;
  });
}

std::optional<int64_t> ServerConsole::ConsoleProc(const Call& call) {
  if (call.message == simdesk::WM_CLOSE) {
    desk_.PostMessage({window_, simdesk::WM_QUIT, 0, 0});
    return 0;
  }
  if (call.message != simdesk::WM_COMMAND) return std::nullopt;
  std::string message;
  switch (simdesk::LowWord(call.wparam)) {
    case kExitCommand:
      desk_.PostMessage({window_, simdesk::WM_QUIT, 0, 0});
      break;
    case kSaveNowCommand:
      universe_.Save("", &message);
      break;
    case kManageCommand:
      OpenDialog(kManageAccountsTitle);
      break;
    case kChatCommand:
      OpenDialog(kUniverseChatTitle);
      break;
    case kChooseCommand:
      OpenDialog(kChooseAPlayerTitle);
      break;
  }
  return 0;
}

void ServerConsole::OpenDialog(const std::string& title) {
  if (!running() || desk_.FindTopLevel(title)) return;
  Handle dialog = desk_.CreateDialog(app_, window_, title);
  if (title == kManageAccountsTitle) BuildManageAccounts(dialog);
  if (title == kUniverseChatTitle) BuildUniverseChat(dialog);
  if (title == kChooseAPlayerTitle) BuildChooseAPlayer(dialog);
}

// --- Manage Accounts & Characters, Edit Account ---

void ServerConsole::BuildManageAccounts(Handle dialog) {
  universe_.Refresh();
  manage_rows_ = universe_.characters();
  std::vector<std::string> names;
  for (const Character& character : manage_rows_) names.push_back(character.name);
  desk_.AddControl(dialog, ControlKind::kStatic, "Characters on this server", -1, false);
  Handle list = desk_.AddControl(dialog, ControlKind::kListBox, "", kAccountList);
  desk_.SetRows(list, HexRows(names));
  desk_.AddControl(dialog, ControlKind::kButton, "Edit Account", kEditButton);
  desk_.AddControl(dialog, ControlKind::kButton, "Close", simdesk::IDOK);
  desk_.SetWindowProc(dialog, [this](const Call& call) { return ManageProc(call); });
}

std::optional<int64_t> ServerConsole::ManageProc(const Call& call) {
  if (call.message != simdesk::WM_COMMAND) return std::nullopt;
  int id = ControlIdOf(call);
  if (id == simdesk::IDOK || id == kCancelId) {
    desk_.DestroyWindow(call.window);
  } else if (id == kEditButton && simdesk::HighWord(call.wparam) == simdesk::BN_CLICKED) {
    int row = desk_.CurSelOf(desk_.GetDlgItem(call.window, kAccountList));
    if (row >= 0 && row < static_cast<int>(manage_rows_.size()) &&
        !desk_.FindTopLevel(kEditAccountTitle)) {
      Handle edit = desk_.CreateDialog(app_, call.window, kEditAccountTitle);
      BuildEditAccount(edit, manage_rows_[row]);
    }
  }
  return 0;
}

void ServerConsole::BuildEditAccount(Handle dialog, const Character& character) {
  desk_.AddControl(dialog, ControlKind::kStatic,
                   "Account " + character.account + ": " + character.name, -1, false);
  Handle box = desk_.AddControl(dialog, ControlKind::kCheckBox, "Banned", kBannedBox);
  desk_.SetChecked(box, universe_.IsBanned(character.account));
  desk_.AddControl(dialog, ControlKind::kButton, "Kick Account From Server", kKickButton);
  desk_.AddControl(dialog, ControlKind::kButton, "OK", simdesk::IDOK);
  desk_.AddControl(dialog, ControlKind::kButton, "Cancel", kCancelId);
  desk_.SetWindowProc(dialog,
                      [this, character](const Call& call) { return EditProc(call, character); });
}

std::optional<int64_t> ServerConsole::EditProc(const Call& call, const Character& character) {
  if (call.message != simdesk::WM_COMMAND) return std::nullopt;
  int id = ControlIdOf(call);
  if (id != kKickButton && id != simdesk::IDOK && id != kCancelId) return 0;
  if (id != kCancelId) {
    bool banned = desk_.IsChecked(desk_.GetDlgItem(call.window, kBannedBox));
    if (banned != universe_.IsBanned(character.account))
      universe_.SetBanned(character.account, banned);
    if (id == kKickButton) universe_.Kick(character.account);
  }
  desk_.DestroyWindow(call.window);
  return 0;
}

// --- Universe Chat ---

void ServerConsole::BuildUniverseChat(Handle dialog) {
  desk_.AddControl(dialog, ControlKind::kStatic, "Message to every player", -1, false);
  Handle input = desk_.AddControl(dialog, ControlKind::kRichEdit, "", kChatInput);
  desk_.AddControl(dialog, ControlKind::kButton, "Send", kSendButton);
  desk_.AddControl(dialog, ControlKind::kButton, "Close", simdesk::IDOK);
  desk_.SetWindowProc(input, [this, input](const Call& call) -> std::optional<int64_t> {
    if (call.message != simdesk::WM_KEYDOWN || call.wparam != simdesk::VK_RETURN)
      return std::nullopt;
    SendChatLine(input);
    return 0;
  });
  desk_.SetWindowProc(dialog, [this, input](const Call& call) -> std::optional<int64_t> {
    if (call.message != simdesk::WM_COMMAND) return std::nullopt;
    int id = ControlIdOf(call);
    if (id == kSendButton) SendChatLine(input);
    if (id == simdesk::IDOK || id == kCancelId) desk_.DestroyWindow(call.window);
    return 0;
  });
}

void ServerConsole::SendChatLine(Handle input) {
  AppendChatLine(files_, clock_, universe_, chat_log_path_, desk_.TextOf(input));
  desk_.SetText(input, "");
}

// --- Choose A Player ---

void ServerConsole::BuildChooseAPlayer(Handle dialog) {
  desk_.AddControl(dialog, ControlKind::kStatic, "Players online", -1, false);
  Handle list = desk_.AddControl(dialog, ControlKind::kListBox, "", kPlayerList);
  desk_.SetRows(list, HexRows(universe_.OnlineNames()));
  desk_.AddControl(dialog, ControlKind::kButton, "OK", simdesk::IDOK);
  desk_.AddControl(dialog, ControlKind::kButton, "Cancel", kCancelId);
  desk_.SetWindowProc(dialog, [this](const Call& call) -> std::optional<int64_t> {
    if (call.message != simdesk::WM_COMMAND) return std::nullopt;
    int id = ControlIdOf(call);
    if (id == simdesk::IDOK || id == kCancelId) desk_.DestroyWindow(call.window);
    return 0;
  });
}

}  // namespace helmsman::qvserver
