#include "admin/command_desktop.h"

namespace helmsman::admin {

using platform::MenuHandle;
using platform::SendResult;
using platform::WindowHandle;

WindowHandle CommandDesktop::FindTopLevelWindow(const std::string& title) {
  return gave_up() ? 0 : desktop_.FindTopLevelWindow(title);
}

bool CommandDesktop::WindowExists(WindowHandle window) {
  return !gave_up() && desktop_.WindowExists(window);
}

bool CommandDesktop::Show(WindowHandle window, platform::ShowCommand command) {
  return !gave_up() && desktop_.Show(window, command);
}

MenuHandle CommandDesktop::MenuBar(WindowHandle window) {
  return gave_up() ? 0 : desktop_.MenuBar(window);
}

int CommandDesktop::MenuItemCount(MenuHandle menu) {
  return gave_up() ? -1 : desktop_.MenuItemCount(menu);
}

MenuHandle CommandDesktop::DropDown(MenuHandle menu, int position) {
  return gave_up() ? 0 : desktop_.DropDown(menu, position);
}

std::optional<uint32_t> CommandDesktop::MenuCommandId(MenuHandle menu, int position) {
  if (gave_up()) return std::nullopt;
  return desktop_.MenuCommandId(menu, position);
}

bool CommandDesktop::Post(WindowHandle window, uint32_t message, uintptr_t wparam,
                          intptr_t lparam) {
  return !gave_up() && desktop_.Post(window, message, wparam, lparam);
}

SendResult CommandDesktop::Send(WindowHandle window, uint32_t message, uintptr_t wparam,
                                intptr_t lparam) {
  return gave_up() ? SendResult{} : desktop_.Send(window, message, wparam, lparam);
}

SendResult CommandDesktop::SendWithText(WindowHandle window, uint32_t message, uintptr_t wparam,
                                        const std::string& text) {
  return gave_up() ? SendResult{} : desktop_.SendWithText(window, message, wparam, text);
}

SendResult CommandDesktop::SendForText(WindowHandle window, uint32_t message, uintptr_t wparam,
                                       size_t capacity, std::string* text) {
  if (gave_up()) {
    text->clear();
    return {};
  }
  return desktop_.SendForText(window, message, wparam, capacity, text);
}

WindowHandle CommandDesktop::NextTabItem(WindowHandle dialog, WindowHandle control) {
  return gave_up() ? 0 : desktop_.NextTabItem(dialog, control);
}

std::optional<std::string> CommandDesktop::ClassNameOf(WindowHandle window, size_t capacity) {
  if (gave_up()) return std::nullopt;
  return desktop_.ClassNameOf(window, capacity);
}

int CommandDesktop::ControlId(WindowHandle window) {
  return gave_up() ? 0 : desktop_.ControlId(window);
}

WindowHandle CommandDesktop::ControlById(WindowHandle dialog, int id) {
  return gave_up() ? 0 : desktop_.ControlById(dialog, id);
}

std::optional<std::string> CommandDesktop::ControlTextById(WindowHandle dialog, int id,
                                                           size_t capacity) {
  if (gave_up()) return std::nullopt;
  return desktop_.ControlTextById(dialog, id, capacity);
}

std::optional<int> CommandDesktop::ListRowCount(WindowHandle list) {
  if (gave_up()) return std::nullopt;
  return desktop_.ListRowCount(list);
}

}  // namespace helmsman::admin
