#include "admin/console_automation.h"

#include <vector>

#include "admin/text_codes.h"

namespace helmsman::admin {

using platform::Desktop;
using platform::MenuHandle;
using platform::WindowHandle;

const ConsoleAutomation::MenuPath ConsoleAutomation::kManageAccounts = {kManageAccountsTitle, 1, 8};
const ConsoleAutomation::MenuPath ConsoleAutomation::kUniverseChat = {kUniverseChatTitle, 3, 0};
const ConsoleAutomation::MenuPath ConsoleAutomation::kChooseAPlayer = {kChooseAPlayerTitle, 3, 2};

namespace {

constexpr int kTabWalkForText = 100;
constexpr int kTabWalkForClass = 20;
constexpr intptr_t kEnterKeyData = 0x00068001;

}  // namespace

void WaitSeconds(Desktop& desktop, int seconds) {
  platform::Clock& clock = desktop.clock();
  int64_t until = clock.NowSeconds() + seconds;
  while (clock.NowSeconds() < until) {
    if (!desktop.PumpOneMessage()) desktop.IdleWait();
  }
}

// --- Building blocks ---

bool ConsoleAutomation::Preconditions() {
  return desktop_.FindTopLevelWindow(server_title_) != 0 &&
         desktop_.FindTopLevelWindow(kFailureDialogTitle) == 0;
}

WindowHandle ConsoleAutomation::AwaitDialog(const char* title) {
  for (int waits = 0;; ++waits) {
    if (WindowHandle dialog = desktop_.FindTopLevelWindow(title)) return dialog;
    if (waits == kDialogLooks) return 0;
    Wait(1);
  }
}

WindowHandle ConsoleAutomation::OpenDialog(const MenuPath& path) {
  if (WindowHandle open = desktop_.FindTopLevelWindow(path.title)) return open;
  WindowHandle server = desktop_.FindTopLevelWindow(server_title_);
  desktop_.Show(server, platform::ShowCommand::kNormal);
  Wait(1);
  MenuHandle bar = desktop_.MenuBar(server);
  if (!bar || desktop_.MenuItemCount(bar) <= 0) return 0;
  MenuHandle drop_down = desktop_.DropDown(bar, path.bar_item);
  if (!drop_down) return 0;
  std::optional<uint32_t> command = desktop_.MenuCommandId(drop_down, path.entry);
  if (!command) return 0;
  desktop_.Post(server, platform::kWmCommand, *command, 0);
  Wait(1);
  return AwaitDialog(path.title);
}

WindowHandle ConsoleAutomation::FindControlByText(WindowHandle dialog, const char* text) {
  WindowHandle control = desktop_.NextTabItem(dialog, 0);
  for (int walked = 0; walked < kTabWalkForText && control; ++walked) {
    std::optional<std::string> caption =
        desktop_.ControlTextById(dialog, desktop_.ControlId(control), kTextCapacity);
    if (caption && platform::EqualsIgnoreCaseCodePage(*caption, text)) return control;
    control = desktop_.NextTabItem(dialog, control);
  }
  return 0;
}

WindowHandle ConsoleAutomation::FindControlByClass(WindowHandle dialog, const char* class_name) {
  WindowHandle control = desktop_.NextTabItem(dialog, 0);
  for (int walked = 0; walked < kTabWalkForClass && control; ++walked) {
    std::optional<std::string> name = desktop_.ClassNameOf(control, kClassNameCapacity);
    if (name && platform::EqualsIgnoreCaseCodePage(*name, class_name)) return control;
    control = desktop_.NextTabItem(dialog, control);
  }
  return 0;
}

std::optional<std::string> ConsoleAutomation::ReadRow(WindowHandle list, int row) {
  std::string text;
  platform::SendResult read = desktop_.SendForText(
      list, platform::kLbGetText, static_cast<uintptr_t>(row), kTextCapacity, &text);
  if (!read.ok || read.value < 0) return std::nullopt;
  return text;
}

void ConsoleAutomation::PressButton(WindowHandle dialog, WindowHandle button) {
  uint32_t id = static_cast<uint32_t>(desktop_.ControlId(button));
  desktop_.Post(dialog, platform::kWmCommand, platform::MakeWParam(id, platform::kBnClicked),
                static_cast<intptr_t>(button));
  Wait(1);
}

void ConsoleAutomation::CloseDialog(WindowHandle dialog) {
  WindowHandle ok = desktop_.ControlById(dialog, platform::kIdOk);
  desktop_.Post(dialog, platform::kWmCommand, platform::MakeWParam(platform::kIdOk, 0),
                static_cast<intptr_t>(ok));
  Wait(1);
}

void ConsoleAutomation::MinimiseServer() {
  if (WindowHandle server = desktop_.FindTopLevelWindow(server_title_))
    desktop_.Show(server, platform::ShowCommand::kMinimize);
}

// Selects the row and edits its account in "Edit Account". True when the edit was confirmed
// (kick or OK pressed).
bool ConsoleAutomation::EditRow(WindowHandle dialog, WindowHandle list, int row,
                                AccountAction action) {
  // A selection that did not reach the server would make the edit act on another row.
  uint32_t list_id = static_cast<uint32_t>(desktop_.ControlId(list));
  if (!desktop_.Send(list, platform::kLbSetCurSel, static_cast<uintptr_t>(row), 0).ok) return false;
  if (!desktop_
           .Send(dialog, platform::kWmCommand,
                 platform::MakeWParam(list_id, platform::kLbnSelChange),
                 static_cast<intptr_t>(list))
           .ok)
    return false;
  WindowHandle edit_button = FindControlByText(dialog, "edit account");
  if (!edit_button) return false;
  PressButton(dialog, edit_button);
  Wait(1);
  WindowHandle edit = AwaitDialog(kEditAccountTitle);
  if (!edit) return false;
  WindowHandle kick_button = FindControlByText(edit, "kick account from server");
  WindowHandle banned_box = FindControlByText(edit, "banned");
  if (action.touch_banned && banned_box) {
    desktop_.Post(banned_box, platform::kBmSetCheck,
                  action.banned ? platform::kBstChecked : platform::kBstUnchecked, 0);
    Wait(1);
  }
  if (action.kick && kick_button) {
    PressButton(edit, kick_button);
  } else {
    PressButton(edit, desktop_.ControlById(edit, platform::kIdOk));
  }
  return true;
}

// --- Operations ---

bool ConsoleAutomation::ListOnlinePlayers(ReplyText* reply, uint32_t selection_id,
                                          AccountAction action) {
  if (!Preconditions()) return false;
  WindowHandle dialog = OpenDialog(kChooseAPlayer);
  if (!dialog) return false;
  bool ok = true;
  bool selected = false;
  std::string remembered;
  if (WindowHandle list = FindControlByClass(dialog, "listbox")) {
    std::optional<int> rows = desktop_.ListRowCount(list);
    ok = rows.has_value();
    if (ok && *rows == 0) reply->Append("No players online\r\n");
    for (int row = 0; ok && row < *rows; ++row) {
      std::optional<std::string> text = ReadRow(list, row);
      if (!text) continue;
      uint32_t id = PlayerId(*text);
      if (!selected) remembered = *text;
      bool is_selected = selection_id != 0 && id == selection_id;
      selected = selected || is_selected;
      reply->Append(std::to_string(id) + ": " + *text +
                    (is_selected ? " <-- SELECTED\r\n" : "\r\n"));
    }
  }
  CloseDialog(dialog);
  MinimiseServer();
  if (!ok) return false;
  // The player list shows the name in hex, as the account list does; the action wants it
  // plain.
  if (selection_id != 0 && selected)
    return AccountActionByName(platform::CodePageFromWide(DecodeHexName(remembered)), action);
  return true;
}

bool ConsoleAutomation::AccountActionByName(const std::string& name, AccountAction action) {
  if (name.size() > kMaxWideText) return false;
  std::u16string wanted = platform::WideFromCodePage(name);
  if (!Preconditions()) return false;
  WindowHandle dialog = OpenDialog(kManageAccounts);
  if (!dialog) {
    MinimiseServer();
    return false;
  }
  bool acted = false;
  if (WindowHandle list = FindControlByClass(dialog, "listbox")) {
    int rows = desktop_.ListRowCount(list).value_or(0);
    for (int row = 0; row < rows; ++row) {
      std::optional<std::string> text = ReadRow(list, row);
      if (!text || !platform::EqualsIgnoreCaseWide(DecodeHexName(*text), wanted)) continue;
      if (EditRow(dialog, list, row, action)) acted = true;
    }
  }
  CloseDialog(dialog);
  MinimiseServer();
  return acted;
}

bool ConsoleAutomation::SearchAccounts(ReplyText* reply, const std::string& text) {
  return WalkMatches(reply, text, 0, {});
}

bool ConsoleAutomation::ActionOnNthMatch(ReplyText* reply, const std::string& text, int n,
                                         AccountAction action) {
  return n >= 1 && WalkMatches(reply, text, n, action);
}

// With n == 0 every match is listed and nothing is edited (the search); otherwise the walk
// stops at the n-th match, lists it and edits it.
bool ConsoleAutomation::WalkMatches(ReplyText* reply, const std::string& text, int n,
                                    AccountAction action) {
  if (text.size() > kMaxWideText) return false;
  std::u16string wanted = platform::WideFromCodePage(text);
  if (!Preconditions()) return false;
  WindowHandle dialog = OpenDialog(kManageAccounts);
  if (!dialog) {
    MinimiseServer();
    return false;
  }
  bool read_any = false;
  bool edited = false;
  if (WindowHandle list = FindControlByClass(dialog, "listbox")) {
    int rows = desktop_.ListRowCount(list).value_or(0);
    int matches = 0;
    for (int row = 0; row < rows; ++row) {
      std::optional<std::string> row_text = ReadRow(list, row);
      if (!row_text) continue;
      read_any = true;
      std::u16string name = DecodeHexName(*row_text);
      if (name.find(wanted) == std::u16string::npos) continue;
      ++matches;
      if (n != 0 && matches != n) continue;
      reply->Append(std::to_string(matches) + ": " + platform::CodePageFromWide(name) + "\r\n");
      if (n != 0) {
        edited = EditRow(dialog, list, row, action);
        break;
      }
    }
  }
  CloseDialog(dialog);
  MinimiseServer();
  return n == 0 ? read_any : edited;
}

bool ConsoleAutomation::SendUniverseChat(const std::string& text) {
  if (!Preconditions()) return false;
  WindowHandle dialog = OpenDialog(kUniverseChat);
  if (!dialog) return false;
  WindowHandle input = FindControlByClass(dialog, "richedit20w");
  WindowHandle close_button = FindControlByText(dialog, "Close");
  bool sent = false;
  if (input) {
    std::string rest = text.substr(0, kMaxWideText);
    sent = true;
    for (bool more = true; more && sent;) {
      size_t bar = rest.find('|');
      more = bar != std::string::npos;
      std::string line = more ? rest.substr(0, bar) : rest;
      if (more) rest.erase(0, bar + 1);
      sent = desktop_.SendWithText(input, platform::kWmSetText, 0, line).ok &&
             desktop_.Send(input, platform::kWmKeyDown, platform::kVkReturn, kEnterKeyData).ok;
    }
  }
  if (close_button) PressButton(dialog, close_button);
  MinimiseServer();
  return sent;
}

}  // namespace helmsman::admin
