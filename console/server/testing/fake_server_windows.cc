#include "console/server/testing/fake_server_windows.h"

namespace helmsman::server {

ServerWindow FakeServerWindows::Open(const std::string& title) {
  auto it = open_.find(title);
  if (it != open_.end()) return it->second;
  ServerWindow handle = next_handle_++;
  open_[title] = handle;
  return handle;
}

void FakeServerWindows::Close(const std::string& title) { open_.erase(title); }

ServerWindow FakeServerWindows::Find(const std::string& title) {
  ++finds_;
  if (!answers_) return 0;
  auto it = open_.find(title);
  return it == open_.end() ? 0 : it->second;
}

bool FakeServerWindows::PostQuit(ServerWindow window) {
  for (auto it = open_.begin(); it != open_.end(); ++it) {
    if (it->second != window) continue;
    quit_posted_.push_back(it->first);
    if (closes_on_quit_) open_.erase(it);
    return true;
  }
  return false;
}

}  // namespace helmsman::server
