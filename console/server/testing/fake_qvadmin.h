// QVAdmin for tests. Out of the box it answers as the real library does for the commands the
// console sends ("start qvserver", "stop qvserver", "list online", "message ", "kick ",
// "ban ", "unban "): the operation's lines, then the status line (the command, " SUCCESSFUL"
// or " FAILED", CR LF), 1 on success and 0 on failure, written with the bounded append rule.
// With server windows attached, "start qvserver" opens the server window (closing the
// failure dialog first), "stop qvserver" closes it, and the console commands fail while the
// server window is missing or the failure dialog is open.
//
// Any command can be scripted instead (SetAnswer: the return value and the whole reply for
// every command that starts with a keyword, case ignored). Every call is recorded.
// Before Initialize (and after Release) every command returns 0 and leaves the buffer
// untouched, as the real library does.
#ifndef HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_QVADMIN_H_
#define HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_QVADMIN_H_

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "console/server/qvadmin_api.h"
#include "console/server/testing/fake_server_windows.h"

namespace helmsman::server {

inline constexpr char kBusyReply[] = "QVAdmin is busy processing a command. Please try again.\r\n";

class FakeQVAdmin : public QVAdminApi {
 public:
  struct Answer {
    int32_t value = 1;
    std::string reply;
  };
  struct Call {
    std::string command;
    uint32_t size = 0;
  };
  struct InitializeCall {
    int32_t owner = 0;
    std::string window_title;
    std::string server_directory;
    std::string options;
  };

  // windows may be null: then the server counts as running and nothing opens or closes.
  explicit FakeQVAdmin(FakeServerWindows* windows = nullptr) : windows_(windows) {}

  void SetAnswer(const std::string& keyword, Answer answer) { answers_[keyword] = answer; }
  void ClearAnswer(const std::string& keyword) { answers_.erase(keyword); }
  // The names "list online" reports (each as the server's list shows it: hexadecimal).
  void set_online(std::vector<std::string> names) { online_ = std::move(names); }
  // Whether "start qvserver" manages to open the server window (default true).
  void set_server_starts(bool starts) { server_starts_ = starts; }
  // What Initialize returns (default 1).
  void set_initialize_result(int32_t value) { initialize_result_ = value; }
  // Runs at the start of every DoCommand, while the command "waits": a test can press
  // buttons there, as an operator can during a real command.
  void set_on_command(std::function<void(const std::string&)> action) {
    on_command_ = std::move(action);
  }

  int32_t Initialize(int32_t owner, const std::string& window_title,
                     const std::string& server_directory, const std::string& options,
                     std::string* error) override;
  int32_t DoCommand(const std::string& command, char* result_text, uint32_t result_size,
                    std::string* error) override;
  int32_t Release(int32_t owner, std::string* error) override;

  bool bound() const { return bound_; }
  const std::vector<Call>& calls() const { return calls_; }
  std::vector<std::string> commands() const;
  const std::vector<InitializeCall>& initialize_calls() const { return initialize_calls_; }
  const std::vector<int32_t>& released_owners() const { return released_owners_; }
  // Chat lines the "message " command delivered (the text split at each "|").
  const std::vector<std::string>& chat_lines() const { return chat_lines_; }

  // The name field as the server's player list shows it: "00" + two hexadecimal digits per
  // character ("ABC" is "004100420043").
  static std::string HexName(const std::string& name);

 private:
  bool Dispatch(const std::string& command, std::vector<std::string>* pieces);
  bool ServerUsable() const;
  bool Start(std::vector<std::string>* pieces);
  bool Stop(std::vector<std::string>* pieces);
  void ListOnline(std::vector<std::string>* pieces);
  std::string ServerTitle() const { return window_title_; }

  FakeServerWindows* windows_;
  std::map<std::string, Answer> answers_;
  std::vector<std::string> online_;
  bool server_starts_ = true;
  int32_t initialize_result_ = 1;
  bool bound_ = false;
  int32_t owner_ = 0;
  std::string window_title_;
  std::function<void(const std::string&)> on_command_;
  std::vector<Call> calls_;
  std::vector<InitializeCall> initialize_calls_;
  std::vector<int32_t> released_owners_;
  std::vector<std::string> chat_lines_;
};

}  // namespace helmsman::server

#endif  // HELMSMAN_CONSOLE_SERVER_TESTING_FAKE_QVADMIN_H_
