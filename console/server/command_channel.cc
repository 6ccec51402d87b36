#include "console/server/command_channel.h"

#include <algorithm>
#include <cctype>
#include <cstring>

#include "console/safety/journal.h"

namespace helmsman::server {

namespace {

size_t FindIgnoringCase(const std::string& text, const std::string& lower_needle) {
  auto lower = [](char c) {
    return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  };
  auto it = std::search(text.begin(), text.end(), lower_needle.begin(), lower_needle.end(),
                        [&](char a, char b) { return lower(a) == b; });
  return it == text.end() ? std::string::npos : static_cast<size_t>(it - text.begin());
}

}  // namespace

std::string ServerDirectory(const std::string& server_exe_path) {
  size_t at = FindIgnoringCase(server_exe_path, "qvserver.exe");
  return at == std::string::npos ? std::string() : server_exe_path.substr(0, at);
}

std::string TrimTrailingSpaces(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string RefusalReason(const std::string& reply) {
  std::string line = reply.substr(0, reply.find_first_of("\r\n"));
  return line.empty() ? std::string(kLibraryDidNotCarryOut) : line;
}

std::string QVAdminTextProblem(const std::string& control, const std::string& text) {
  const size_t length = TrimTrailingSpaces(text).size();
  if (length <= kMaxQVAdminTextLength) return "";
  const bool title = control == "txtQVServerWindowName";
  return std::string(title ? "The server window title (" : "The server command-line options (") +
         control + (title ? ") has " : ") have ") + std::to_string(length) +
         " characters; QVAdmin.dll takes at most " + std::to_string(kMaxQVAdminTextLength);
}

CommandChannel::CommandChannel(QVAdminApi& api, logs::Logs& logs, ui::StatusLine& status)
    : api_(api), logs_(logs), status_(status) {}

bool CommandChannel::Initialize(int32_t owner, const std::string& window_title,
                                const std::string& server_exe_path, const std::string& options) {
  // The library would refuse them, and its refusal says nothing of why.
  bool fits = true;
  for (const auto& [control, text] : {std::pair{"txtQVServerWindowName", &window_title},
                                      std::pair{"txtQVServerCommandLineOptions", &options}}) {
    const std::string problem = QVAdminTextProblem(control, *text);
    if (problem.empty()) continue;
    logs_.Append(logs::LogId::kHelmError, ": " + problem);
    fits = false;
  }
  if (!fits) return false;
  std::string error;
  int32_t value = api_.Initialize(owner, TrimTrailingSpaces(window_title),
                                  ServerDirectory(TrimTrailingSpaces(server_exe_path)),
                                  TrimTrailingSpaces(options), &error);
  if (!error.empty()) ReportUnbound(error);
  if (value == 0) return false;
  owner_ = owner;
  return true;
}

bool CommandChannel::Release() {
  if (owner_ == 0) return false;
  std::string error;
  int32_t value = api_.Release(owner_, &error);
  if (!error.empty()) ReportUnbound(error);
  owner_ = 0;
  return value != 0;
}

CommandResult CommandChannel::Run(const std::string& command, uint32_t stated_size) {
  const uint32_t size = std::min<uint32_t>(stated_size, kResultTextCapacity);
  // Emptied first: a library that leaves the buffer untouched (not bound, or not loadable)
  // must not leave the previous command's "SUCCESSFUL" behind.
  std::memset(buffer_.data(), 0, buffer_.size());
  std::string error;
  CommandResult result;
  result.value = api_.DoCommand(command, buffer_.data(), size, &error);
  if (!error.empty()) ReportUnbound(error);
  const char* begin = buffer_.data();
  const char* end = std::find(begin, begin + size, '\0');
  result_text_.assign(begin, end);
  result.successful = result.value != 0 && result_text_.find(kSuccessful) != std::string::npos;
  result.carried_out =
      result.value != 0 || result_text_.find(command + " FAILED\r\n") != std::string::npos;
  result.library_unusable = !error.empty();
  if (sent_.size() == kSentCommandsKept) sent_.pop_front();
  sent_.push_back({safety::JournalTime(logs_.clock().NowLocal()), command, result.value,
                   result_text_.substr(0, kSentReplyBytes)});
  return result;
}

CommandResult CommandChannel::Broadcast(const std::string& text, uint32_t stated_size,
                                        const std::string& success_text) {
  CommandResult result = Run(kMessageCommand + text, stated_size);
  if (!result.went_through()) return result;
  if (result.successful && !success_text.empty()) status_.Set(success_text);
  logs_.Append(logs::LogId::kServerActivity, ": Message [" + text + "] broadcast to universe");
  return result;
}

void CommandChannel::ReportRefusal(const CommandResult& result, const std::string& status_prefix,
                                   const std::string& log_prefix) {
  if (result.carried_out || result.library_unusable) return;
  const std::string reason = RefusalReason(result_text_);
  status_.Set(status_prefix + reason);
  if (!log_prefix.empty()) logs_.Append(logs::LogId::kHelmError, log_prefix + reason);
}

void CommandChannel::ReportUnbound(const std::string& error) {
  logs_.Append(logs::LogId::kHelmError, ": " + error);
  status_.Set(kLibraryUnusableStatus);
}

}  // namespace helmsman::server
