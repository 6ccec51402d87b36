#include "simdesk/window_system.h"

#include <algorithm>
#include <utility>

#include "simdesk/event_source.h"

namespace helmsman::simdesk {

namespace {

PeerDirectory* g_peer_directory = nullptr;
uint64_t g_timed_out_calls = 0;

std::string ClassNameOf(ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
      return "Button";
    case ControlKind::kListBox:
      return "ListBox";
    case ControlKind::kRichEdit:
      return "RichEdit20W";
    case ControlKind::kEdit:
      return "Edit";
    case ControlKind::kStatic:
      return "Static";
  }
  return "Static";
}

}  // namespace

void SetPeerDirectory(PeerDirectory* directory) { g_peer_directory = directory; }
PeerDirectory* GetPeerDirectory() { return g_peer_directory; }

uint64_t TimedOutCalls() { return g_timed_out_calls; }
void CountTimedOutCall() { ++g_timed_out_calls; }

WindowSystem& WindowSystem::Local() {
  // Never destroyed: the event source attached to the GLib default context points at it.
  static WindowSystem* local = new WindowSystem();
  return *local;
}

WindowSystem::WindowSystem() { AttachEventSource(this); }

Handle WindowSystem::NewHandle() {
  for (;;) {
    if (next_serial_ > kMaxSerial) next_serial_ = 1;
    Handle handle = MakeHandle(slot_, next_serial_++);
    if (!windows_.count(handle) && !menus_.count(handle)) return handle;
  }
}

WindowSystem::Window* WindowSystem::Find(Handle window) {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.get();
}

const WindowSystem::Window* WindowSystem::Find(Handle window) const {
  auto it = windows_.find(window);
  return it == windows_.end() ? nullptr : it->second.get();
}

bool WindowSystem::IsHung(const Window& window) const {
  auto it = apps_.find(window.app);
  return it != apps_.end() && it->second.hung;
}

// --- Applications and windows ---

AppId WindowSystem::CreateApp(std::function<void()> on_quit) {
  AppId app = next_app_++;
  apps_[app].on_quit = std::move(on_quit);
  return app;
}

void WindowSystem::DestroyApp(AppId app) {
  for (Handle window : WindowsOf(app)) DestroyWindow(window);
  apps_.erase(app);
}

bool WindowSystem::AppExists(AppId app) const { return apps_.count(app) != 0; }

void WindowSystem::SetAppHung(AppId app, bool hung) {
  auto it = apps_.find(app);
  if (it != apps_.end()) it->second.hung = hung;
}

Handle WindowSystem::AddWindow(std::unique_ptr<Window> window) {
  window->handle = NewHandle();
  Handle handle = window->handle;
  windows_[handle] = std::move(window);
  return handle;
}

Handle WindowSystem::CreateTopLevel(AppId app, const std::string& title,
                                    const std::string& class_name) {
  if (!AppExists(app)) return 0;
  auto window = std::make_unique<Window>();
  window->app = app;
  window->kind = Kind::kTopLevel;
  window->class_name = class_name;
  window->text = title;
  return AddWindow(std::move(window));
}

Handle WindowSystem::CreateDialog(AppId app, Handle owner, const std::string& title) {
  if (!AppExists(app)) return 0;
  auto window = std::make_unique<Window>();
  window->app = app;
  window->kind = Kind::kDialog;
  window->owner = owner;
  window->class_name = "#32770";
  window->text = title;
  return AddWindow(std::move(window));
}

Handle WindowSystem::AddControl(Handle dialog, ControlKind kind, const std::string& text, int id,
                                bool tab_stop) {
  Window* parent = Find(dialog);
  if (!parent || parent->kind == Kind::kControl) return 0;
  auto window = std::make_unique<Window>();
  window->app = parent->app;
  window->kind = Kind::kControl;
  window->control = kind;
  window->parent = dialog;
  window->class_name = ClassNameOf(kind);
  window->text = text;
  window->id = id;
  window->tab_stop = tab_stop;
  Handle handle = AddWindow(std::move(window));
  Find(dialog)->children.push_back(handle);
  return handle;
}

Handle WindowSystem::SetMenuBar(Handle window, const std::vector<MenuBarItem>& items) {
  Window* target = Find(window);
  if (!target) return 0;
  if (target->menu) DestroyMenu(target->menu);
  Handle bar = NewHandle();
  std::vector<MenuItem>& bar_items = menus_[bar];
  for (const MenuBarItem& item : items) {
    Handle drop_down = NewHandle();
    std::vector<MenuItem>& entries = menus_[drop_down];
    for (const MenuEntry& entry : item.entries)
      entries.push_back({entry.text, entry.command_id, 0});
    bar_items.push_back({item.text, 0, drop_down});
  }
  target->menu = bar;
  return bar;
}

void WindowSystem::DestroyMenu(Handle menu) {
  auto it = menus_.find(menu);
  if (it == menus_.end()) return;
  std::vector<MenuItem> items = std::move(it->second);
  menus_.erase(it);
  for (const MenuItem& item : items)
    if (item.submenu) DestroyMenu(item.submenu);
}

void WindowSystem::SetWindowProc(Handle window, WindowProc proc) {
  if (Window* target = Find(window)) target->proc = std::move(proc);
}

void WindowSystem::DestroyWindow(Handle handle) {
  Window* window = Find(handle);
  if (!window) return;
  // Owned dialogs and controls go with their window, as on Win32.
  std::vector<Handle> dependants = window->children;
  for (const auto& [other, state] : windows_)
    if (state->kind == Kind::kDialog && state->owner == handle) dependants.push_back(other);
  if (window->menu) DestroyMenu(window->menu);
  if (window->parent) {
    if (Window* parent = Find(window->parent)) std::erase(parent->children, handle);
  }
  windows_.erase(handle);
  for (Handle dependant : dependants) DestroyWindow(dependant);
}

// --- State access ---

bool WindowSystem::Exists(Handle window) const { return Find(window) != nullptr; }

std::string WindowSystem::TextOf(Handle window) const {
  const Window* target = Find(window);
  return target ? target->text : std::string();
}

void WindowSystem::SetText(Handle window, const std::string& text) {
  if (Window* target = Find(window)) target->text = text;
}

bool WindowSystem::IsChecked(Handle window) const {
  const Window* target = Find(window);
  return target && target->checked;
}

void WindowSystem::SetChecked(Handle window, bool checked) {
  if (Window* target = Find(window)) target->checked = checked;
}

std::vector<std::string> WindowSystem::RowsOf(Handle window) const {
  const Window* target = Find(window);
  return target ? target->rows : std::vector<std::string>();
}

void WindowSystem::SetRows(Handle window, std::vector<std::string> rows) {
  if (Window* target = Find(window)) {
    target->rows = std::move(rows);
    target->cur_sel = -1;
  }
}

int WindowSystem::CurSelOf(Handle window) const {
  const Window* target = Find(window);
  return target ? target->cur_sel : -1;
}

ShowState WindowSystem::ShowStateOf(Handle window) const {
  const Window* target = Find(window);
  return target ? target->show : ShowState::kHidden;
}

Handle WindowSystem::ParentOf(Handle window) const {
  const Window* target = Find(window);
  return target ? target->parent : 0;
}

std::vector<Handle> WindowSystem::WindowsOf(AppId app) const {
  std::vector<Handle> result;
  for (const auto& [handle, window] : windows_)
    if (window->app == app && window->kind != Kind::kControl) result.push_back(handle);
  return result;
}

// --- WindowService ---

Handle WindowSystem::FindTopLevel(const std::string& title) {
  // Handles grow with creation, so the walk meets the oldest window first.
  for (const auto& [handle, window] : windows_)
    if (window->kind != Kind::kControl && window->text == title) return handle;
  return 0;
}

bool WindowSystem::ShowWindow(Handle window, int show_command) {
  Window* target = Find(window);
  if (!target) return false;
  switch (show_command) {
    case SW_HIDE:
      target->show = ShowState::kHidden;
      break;
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
      target->show = ShowState::kMinimized;
      break;
    default:
      target->show = ShowState::kNormal;
      break;
  }
  return true;
}

Handle WindowSystem::GetMenu(Handle window) {
  Window* target = Find(window);
  return target ? target->menu : 0;
}

int WindowSystem::GetMenuItemCount(Handle menu) {
  auto it = menus_.find(menu);
  return it == menus_.end() ? -1 : static_cast<int>(it->second.size());
}

Handle WindowSystem::GetSubMenu(Handle menu, int position) {
  auto it = menus_.find(menu);
  if (it == menus_.end() || position < 0 || position >= static_cast<int>(it->second.size()))
    return 0;
  return it->second[position].submenu;
}

std::optional<uint32_t> WindowSystem::GetMenuItemId(Handle menu, int position) {
  auto it = menus_.find(menu);
  if (it == menus_.end() || position < 0 || position >= static_cast<int>(it->second.size()))
    return std::nullopt;
  const MenuItem& item = it->second[position];
  if (item.submenu) return std::nullopt;
  return item.command_id;
}

bool WindowSystem::PostMessage(const Message& message) {
  if (!Find(message.window)) return false;
  queue_.push_back(message);
  return true;
}

SendReply WindowSystem::SendMessage(const SendRequest& request) {
  SendReply reply;
  Window* target = Find(request.message.window);
  if (!target) return reply;
  if (IsHung(*target)) {
    // The sender gives up after its time bound, which a hung owner makes it spend in full.
    timeline_.Advance(kSendTimeoutMillis);
    reply.timed_out = true;
    CountTimedOutCall();
    return reply;
  }
  Call call;
  call.window = request.message.window;
  call.message = request.message.message;
  call.wparam = request.message.wparam;
  call.lparam = request.message.lparam;
  call.text_in = request.has_text_in ? &request.text_in : nullptr;
  call.text_out = request.text_out_capacity ? &reply.text_out : nullptr;
  call.text_out_capacity = request.text_out_capacity;
  reply.result = Deliver(call.window, call);
  if (request.text_out_capacity && reply.text_out.size() >= request.text_out_capacity) {
    // The sender's buffer could not hold it: nothing is returned rather than a cut text.
    reply.text_out.clear();
    return reply;
  }
  reply.ok = true;
  return reply;
}

int64_t WindowSystem::Send(Handle window, uint32_t message, uint64_t wparam, int64_t lparam) {
  SendRequest request;
  request.message = {window, message, wparam, lparam};
  return SendMessage(request).result;
}

Handle WindowSystem::GetNextDlgTabItem(Handle dialog, Handle control) {
  Window* target = Find(dialog);
  if (!target) return 0;
  const std::vector<Handle>& children = target->children;
  size_t count = children.size();
  if (count == 0) return 0;
  size_t start = count - 1;  // so that the walk begins at the first control
  if (control) {
    auto it = std::find(children.begin(), children.end(), control);
    if (it == children.end()) return 0;
    start = static_cast<size_t>(it - children.begin());
  }
  for (size_t step = 1; step <= count; ++step) {
    Handle candidate = children[(start + step) % count];
    const Window* child = Find(candidate);
    if (child && child->tab_stop) return candidate;
  }
  return 0;
}

std::optional<std::string> WindowSystem::GetClassName(Handle window) {
  Window* target = Find(window);
  if (!target) return std::nullopt;
  return target->class_name;
}

int WindowSystem::GetDlgCtrlID(Handle window) {
  Window* target = Find(window);
  return target && target->kind == Kind::kControl ? target->id : 0;
}

Handle WindowSystem::GetDlgItem(Handle dialog, int id) {
  Window* target = Find(dialog);
  if (!target) return 0;
  for (Handle child : target->children) {
    const Window* control = Find(child);
    if (control && control->id == id) return child;
  }
  return 0;
}

// --- Delivery and default behaviour ---

int64_t WindowSystem::Deliver(Handle handle, Call& call) {
  Window* window = Find(handle);
  if (!window) return 0;
  // A copy: the procedure may destroy its own window, and the stored function with it.
  WindowProc proc = window->proc;
  if (proc) {
    if (std::optional<int64_t> answer = proc(call)) return *answer;
    window = Find(handle);
    if (!window) return 0;
  }
  return DefaultProc(*window, call);
}

int64_t WindowSystem::DefaultProc(Window& window, Call& call) {
  switch (call.message) {
    case WM_SETTEXT:
      if (!call.text_in) return 0;
      window.text = *call.text_in;
      return 1;
    case WM_GETTEXT: {
      uint64_t capacity = call.wparam;
      if (call.text_out_capacity && call.text_out_capacity < capacity)
        capacity = call.text_out_capacity;
      if (!call.text_out || capacity == 0) return 0;
      *call.text_out = window.text.substr(0, std::min<size_t>(window.text.size(), capacity - 1));
      return static_cast<int64_t>(call.text_out->size());
    }
    case WM_GETTEXTLENGTH:
      return static_cast<int64_t>(window.text.size());
    case WM_CLOSE:
      if (window.kind != Kind::kControl) DestroyWindow(window.handle);
      return 0;
  }
  if (window.kind != Kind::kControl) return 0;
  switch (window.control) {
    case ControlKind::kListBox:
      return ListBoxProc(window, call);
    case ControlKind::kCheckBox:
      if (call.message == BM_SETCHECK) window.checked = call.wparam == BST_CHECKED;
      if (call.message == BM_GETCHECK) return window.checked ? 1 : 0;
      if (call.message == BM_CLICK) {
        window.checked = !window.checked;
        Send(window.parent, WM_COMMAND, MakeWParam(window.id, BN_CLICKED), window.handle);
      }
      return 0;
    case ControlKind::kButton:
      if (call.message == BM_CLICK)
        Send(window.parent, WM_COMMAND, MakeWParam(window.id, BN_CLICKED), window.handle);
      return 0;
    default:
      return 0;
  }
}

int64_t WindowSystem::ListBoxProc(Window& window, Call& call) {
  auto& rows = window.rows;
  int64_t count = static_cast<int64_t>(rows.size());
  int64_t index = static_cast<int64_t>(call.wparam);
  bool valid = index >= 0 && index < count;
  switch (call.message) {
    case LB_GETCOUNT:
      return count;
    case LB_GETTEXT:
      if (!valid || !call.text_out) return LB_ERR;
      *call.text_out = rows[index];
      return static_cast<int64_t>(rows[index].size());
    case LB_GETTEXTLEN:
      return valid ? static_cast<int64_t>(rows[index].size()) : LB_ERR;
    case LB_SETCURSEL:
      window.cur_sel = valid ? static_cast<int>(index) : -1;
      return valid ? index : LB_ERR;
    case LB_GETCURSEL:
      return window.cur_sel < 0 ? LB_ERR : window.cur_sel;
    case LB_ADDSTRING:
      if (!call.text_in) return LB_ERR;
      rows.push_back(*call.text_in);
      return count;
    case LB_DELETESTRING:
      if (!valid) return LB_ERR;
      rows.erase(rows.begin() + index);
      if (window.cur_sel == index) window.cur_sel = -1;
      if (window.cur_sel > index) --window.cur_sel;
      return count - 1;
    case LB_RESETCONTENT:
      rows.clear();
      window.cur_sel = -1;
      return 0;
  }
  return 0;
}

// --- The loop ---

bool WindowSystem::HasPendingWork() const {
  for (const Message& message : queue_) {
    const Window* window = Find(message.window);
    if (!window || !IsHung(*window)) return true;  // a dead window's message is dropped
  }
  return timeline_.HasDueTimer();
}

void WindowSystem::Quit(AppId app) {
  auto it = apps_.find(app);
  if (it == apps_.end()) return;
  if (std::function<void()> on_quit = it->second.on_quit) {
    on_quit();
  } else {
    DestroyApp(app);
  }
}

bool WindowSystem::DispatchOne() {
  for (auto it = queue_.begin(); it != queue_.end(); ++it) {
    const Window* window = Find(it->window);
    if (window && IsHung(*window)) continue;
    Message message = *it;
    queue_.erase(it);
    if (!window) return true;  // its window is gone: the message is dropped
    if (message.message == WM_QUIT) {
      Quit(window->app);
      return true;
    }
    Call call;
    call.window = message.window;
    call.message = message.message;
    call.wparam = message.wparam;
    call.lparam = message.lparam;
    call.posted = true;
    Deliver(message.window, call);
    return true;
  }
  return timeline_.RunOneDueTimer();
}

// --- Programs ---

void WindowSystem::RegisterProgram(const std::string& path, Program program) {
  programs_[path] = std::move(program);
}

bool WindowSystem::RunProgram(const ProgramLaunch& launch) {
  auto it = programs_.find(launch.program);
  if (it == programs_.end()) return false;
  Program program = it->second;  // the program may register or forget programs
  program(launch);
  return true;
}

void WindowSystem::Reset() {
  std::vector<AppId> apps;
  for (const auto& [app, state] : apps_) apps.push_back(app);
  for (AppId app : apps) DestroyApp(app);
  windows_.clear();
  menus_.clear();
  queue_.clear();
  timeline_.ClearTimers();
  timeline_.UseRealTime();
  programs_.clear();
}

}  // namespace helmsman::simdesk
