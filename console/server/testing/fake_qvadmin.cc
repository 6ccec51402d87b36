#include "console/server/testing/fake_qvadmin.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "console/server/server_windows.h"

namespace helmsman::server {

namespace {

bool StartsWithIgnoringCase(const std::string& text, const std::string& keyword) {
  if (text.size() < keyword.size()) return false;
  for (size_t i = 0; i < keyword.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(keyword[i]))) {
      return false;
    }
  }
  return true;
}

// The bounded append rule: a piece goes in whole when it fits, else it is dropped.
void WriteReply(const std::vector<std::string>& pieces, char* buffer, uint32_t size) {
  if (buffer == nullptr || size == 0) return;
  std::memset(buffer, 0, size);
  size_t used = 0;
  for (const std::string& piece : pieces) {
    if (piece.size() > size - used - 1) continue;
    std::memcpy(buffer + used, piece.data(), piece.size());
    used += piece.size();
  }
}

uint32_t PlayerId(const std::string& entry) {
  uint32_t sum = 0;
  for (char c : entry)
    sum += static_cast<uint32_t>(static_cast<int32_t>(static_cast<signed char>(c)));
  return sum;
}

}  // namespace

std::string FakeQVAdmin::HexName(const std::string& name) {
  std::string hex;
  for (unsigned char c : name) {
    char group[5];
    std::snprintf(group, sizeof group, "00%02X", c);
    hex += group;
  }
  return hex;
}

std::vector<std::string> FakeQVAdmin::commands() const {
  std::vector<std::string> commands;
  for (const Call& call : calls_) commands.push_back(call.command);
  return commands;
}

int32_t FakeQVAdmin::Initialize(int32_t owner, const std::string& window_title,
                                const std::string& server_directory, const std::string& options,
                                std::string* /*error*/) {
  initialize_calls_.push_back({owner, window_title, server_directory, options});
  if (bound_) return 1;
  if (initialize_result_ == 0 || owner == 0) return 0;
  bound_ = true;
  owner_ = owner;
  window_title_ = window_title;
  return initialize_result_;
}

int32_t FakeQVAdmin::Release(int32_t owner, std::string* /*error*/) {
  released_owners_.push_back(owner);
  if (!bound_ || owner != owner_) return 0;
  bound_ = false;
  owner_ = 0;
  return 1;
}

int32_t FakeQVAdmin::DoCommand(const std::string& command, char* result_text, uint32_t result_size,
                               std::string* /*error*/) {
  calls_.push_back({command, result_size});
  if (on_command_) on_command_(command);
  if (!bound_) return 0;
  for (const auto& [keyword, answer] : answers_) {
    if (!StartsWithIgnoringCase(command, keyword)) continue;
    WriteReply({answer.reply}, result_text, result_size);
    return answer.value;
  }
  std::vector<std::string> pieces;
  bool known = true;
  bool ok = false;
  if (StartsWithIgnoringCase(command, "list online")) {
    ok = ServerUsable();
    if (ok) ListOnline(&pieces);
  } else if (StartsWithIgnoringCase(command, "message ")) {
    ok = ServerUsable();
    if (ok) {
      std::string text = command.substr(8);
      size_t from = 0;
      for (size_t bar; (bar = text.find('|', from)) != std::string::npos; from = bar + 1) {
        chat_lines_.push_back(text.substr(from, bar - from));
      }
      chat_lines_.push_back(text.substr(from));
    }
  } else if (StartsWithIgnoringCase(command, "kick ") || StartsWithIgnoringCase(command, "ban ") ||
             StartsWithIgnoringCase(command, "unban ")) {
    ok = ServerUsable() && command.find(' ') + 1 < command.size();
  } else if (StartsWithIgnoringCase(command, "stop qvserver")) {
    ok = Stop(&pieces);
  } else if (StartsWithIgnoringCase(command, "start qvserver")) {
    ok = Start(&pieces);
  } else {
    known = false;
  }
  if (!known) {
    WriteReply({}, result_text, result_size);
    return 0;
  }
  pieces.push_back(command + (ok ? " SUCCESSFUL\r\n" : " FAILED\r\n"));
  WriteReply(pieces, result_text, result_size);
  return ok ? 1 : 0;
}

bool FakeQVAdmin::ServerUsable() const {
  if (windows_ == nullptr) return true;
  return windows_->IsOpen(ServerTitle()) && !windows_->IsOpen(kFailureDialogTitle);
}

void FakeQVAdmin::ListOnline(std::vector<std::string>* pieces) {
  if (online_.empty()) pieces->push_back("No players online\r\n");
  for (const std::string& name : online_) {
    std::string entry = HexName(name);
    pieces->push_back(std::to_string(PlayerId(entry)) + ": " + entry + "\r\n");
  }
}

bool FakeQVAdmin::Stop(std::vector<std::string>* pieces) {
  if (windows_ == nullptr) return true;
  ServerWindow server = windows_->Find(ServerTitle());
  if (server != 0) {
    windows_->PostQuit(server);
    pieces->push_back("\r\nShutting down qvserver...\r\n");
  }
  return !windows_->IsOpen(ServerTitle());
}

bool FakeQVAdmin::Start(std::vector<std::string>* pieces) {
  if (windows_ == nullptr) return true;
  if (windows_->IsOpen(ServerTitle())) return true;
  pieces->push_back("Starting up qvserver...\r\n");
  if (ServerWindow dialog = windows_->Find(kFailureDialogTitle)) windows_->PostQuit(dialog);
  if (server_starts_) windows_->Open(ServerTitle());
  return windows_->IsOpen(ServerTitle());
}

}  // namespace helmsman::server
