// The requests of helmsman-ctl, carried out on the main window's presentation model by
// control name, exactly as the view does it: the same setters, then the same event of the
// control, so the same handlers and enabling rules apply. Nothing here knows of sockets.
//
// A control is named as in its window ("txtPlayerMoney"), or with the window's name in front
// ("frmEditPlayer.txtPlayerMoney"); a name alone is one of the main window, frmMain. The
// player editor's controls are there while it is open; a request to it counts as the
// operator's presence for its inactivity time-out.
//
//   list                            the windows (open or closed), then every control of the
//                                   open ones: name, kind, enabled, caption or text
//   get NAME                        one control: text, value, range, enabled, rows, selection
//   set NAME TEXT                   a text box as if typed (then its change event); a scroll
//                                   bar moved to a value within its range; a calendar's
//                                   date chosen (YYYY-MM-DD)
//   check NAME 0|1                  a check box clicked into that state; an option button
//                                   chosen (1 only)
//   select NAME ROW|=TEXT           a list row clicked, a combo box entry or tab chosen
//   click NAME [--answer ok|cancel]...  a button clicked
//   log [--follow] [NAME]           the three logs or one (server, player, error)
//   status                          status line, server state, timer state, open editor
//   preview KIND                    what a prune would remove now, and why
//   quarantine                      the quarantine's entries
//   restore ENTRY|--last [--only ACCOUNT]  puts an entry's files and records back
//   journal [--player NAME] [--account FOLDER] [--since TIME] [--last N]  the action journal
//   crashes [N]                     the crash reports, newest first; with N the N newest whole
//
// Every request may carry --answer ok|cancel (any number, in order): the answers to the
// questions the request raises. Questions beyond them are answered Cancel, message boxes OK,
// file dialogs cancelled; all of them are described in the reply. When the console shows a
// window and the request carries no --answer, its questions appear on the screen instead.
//
// Refusals change nothing: a disabled control (exit kExitRefused), an unknown verb or name,
// a control of the wrong kind, a row or value out of range, a missing or extra argument
// (exit kExitBadRequest).
#ifndef HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_REQUESTS_H_
#define HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_REQUESTS_H_

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "console/logs/logs.h"
#include "console/ui/main_window.h"

namespace helmsman::ui::control {

enum class ReplyFormat { kText, kJson };

struct Request {
  ReplyFormat format = ReplyFormat::kText;
  std::string verb;
  std::string name;      // the control (get, set, check, select, click)
  std::string argument;  // set, check, select
  std::vector<bool> answers;
  bool has_answers = false;
  bool follow = false;             // log --follow
  std::optional<logs::LogId> log;  // log NAME; nullopt = all three
  // The options of a verb that has them, by name without the dashes ("only" of restore
  // --only ACCOUNT); a flag's value is "".
  std::map<std::string, std::string> options;
  // Who the action journal names for what the request does; "" for helmsman-ctl's
  // "helmsman-ctl:USER" (the web console gives "web:USER").
  std::string actor;
};

struct Reply {
  int exit_code = 0;
  std::string out;  // for standard output, UTF-8
  std::string err;  // for standard error, UTF-8
};

// Reads the words of a request (format, verb, arguments). False and *reply (exit
// kExitBadRequest and the message) when they do not make a request.
bool ParseRequest(const std::vector<std::string>& words, Request* request, Reply* reply);

// Whether the request acts on the console (and so must wait until the console is idle),
// rather than only reading from it.
bool IsActing(const Request& request);

// The windows a request can name.
inline constexpr char kMainWindowName[] = "frmMain";
inline constexpr char kEditorWindowName[] = "frmEditPlayer";

// Whether an acting request may be carried out now, as far as the windows go: no handler of
// the main window or of the player editor runs (a tick, a click, a question, a server
// command, the editor's closing steps).
bool ReadyToAct(MainWindow& model);

// Carries out the request on the model. questions_on_screen: the model's frontend shows a
// window, where the questions of a request without --answer are asked. A log request's
// reply is made whole here; the control socket makes it piece by piece with LogReply.
Reply Execute(MainWindow& model, const Request& request, bool questions_on_screen);

// The standard output of a log request, made a piece at a time as the client takes it, so
// that a long log is never copied whole: the lines the logs hold when the request comes, one
// log after the other (server, player, error), each as FollowedLine gives it. Lines added
// later are not part of it (a follower gets them as they come); a log emptied meanwhile ends
// its part there. The logs must outlive the reply.
class LogReply {
 public:
  LogReply(const logs::Logs& logs, const Request& request);
  // Appends whole lines to *out until it has grown by at least max_bytes or the lines are
  // all out; false when none was left.
  bool Next(size_t max_bytes, std::string* out);

 private:
  struct Part {
    logs::LogId log;
    size_t next;        // the row to send next
    size_t end;         // the rows there were at the request
    uint64_t erasures;  // the log's erasures then
  };
  const logs::Logs& logs_;
  Request request_;
  std::vector<Part> parts_;
  size_t part_ = 0;
};

// A log line as a following client gets it: text "[Server Activity Log] line" (just the
// line when one log is followed), JSON {"log":"server","line":"..."}, newline-terminated.
std::string FollowedLine(const Request& request, logs::LogId log, const std::string& line);

// The short names of the logs in requests and JSON: "server", "player", "error".
const char* LogKey(logs::LogId log);

}  // namespace helmsman::ui::control

#endif  // HELMSMAN_CONSOLE_UI_CONTROL_CONTROL_REQUESTS_H_
