#include "console/ui/control/control_requests.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <iterator>
#include <set>
#include <utility>

#include "console/editor/editor_session.h"
#include "console/safety/journal.h"
#include "console/maintenance/pruning.h"
#include "console/maintenance/quarantine_actions.h"
#include "console/safety/quarantine.h"
#include "console/server/crash_report.h"
#include "console/ui/code_page.h"
#include "console/ui/control_tabs.h"
#include "console/ui/control/control_protocol.h"
#include "console/ui/headless/headless_frontend.h"
#include "console/ui/main_window_controls.h"
#include "platform/process.h"

namespace helmsman::ui::control {

namespace {

struct VerbShape {
  const char* verb;
  int positional;  // the number of arguments after the options are taken out
  const char* usage;
};

constexpr VerbShape kVerbs[] = {
    {"list", 0, "list"},
    {"get", 1, "get NAME"},
    {"set", 2, "set NAME TEXT"},
    {"check", 2, "check NAME 0|1"},
    {"select", 2, "select NAME ROW|=TEXT"},
    {"click", 1, "click NAME [--answer ok|cancel]..."},
    {"log", -1, "log [--follow] [server|player|error]"},
    {"status", 0, "status"},
    {"preview", 1, "preview KIND"},
    {"quarantine", 0, "quarantine"},
    {"restore", -1, "restore ENTRY|--last [--only ACCOUNT]"},
    {"journal", 0, "journal [--player NAME] [--account FOLDER] [--since TIME] [--last N]"},
    {"crashes", -1, "crashes [N]"},
};

// The options a verb takes: whether each takes a value.
struct VerbOption {
  const char* verb;
  const char* option;  // without the dashes
  bool takes_value;
};

constexpr VerbOption kVerbOptions[] = {
    {"restore", "last", false},    {"restore", "only", true},     {"journal", "player", true},
    {"journal", "account", true},  {"journal", "since", true},    {"journal", "last", true},
};

const VerbOption* FindOption(const std::string& verb, const std::string& word) {
  if (word.size() <= 2 || word.compare(0, 2, "--") != 0) return nullptr;
  for (const VerbOption& option : kVerbOptions) {
    if (verb == option.verb && word.compare(2, std::string::npos, option.option) == 0) {
      return &option;
    }
  }
  return nullptr;
}

// The kinds of preview, in the order of the pruning buttons, then the maintenance cycle.
constexpr const char* kPreviewKinds[] = {
    "inactive",      "non-banned-inactive",      "uninterested", "non-banned-uninterested",
    "empty-folders", "non-banned-empty-folders", "maintenance"};

const VerbShape* FindVerb(const std::string& verb) {
  for (const VerbShape& shape : kVerbs) {
    if (verb == shape.verb) return &shape;
  }
  return nullptr;
}

Reply BadRequest(const std::string& message) { return Reply{kExitBadRequest, "", message + "\n"}; }
Reply Refused(const std::string& message) { return Reply{kExitRefused, "", message + "\n"}; }

std::string Utf8(const std::string& text) { return Windows1252ToUtf8(text); }

const char* KindName(ControlKind kind) {
  switch (kind) {
    case ControlKind::kButton:
      return "button";
    case ControlKind::kCheckBox:
      return "check";
    case ControlKind::kOption:
      return "option";
    case ControlKind::kText:
      return "text";
    case ControlKind::kLabel:
      return "label";
    case ControlKind::kFrame:
      return "frame";
    case ControlKind::kList:
      return "list";
    case ControlKind::kComboBox:
      return "combo";
    case ControlKind::kScrollBar:
      return "scrollbar";
    case ControlKind::kProgress:
      return "progress";
    case ControlKind::kTimer:
      return "timer";
    case ControlKind::kCalendar:
      return "calendar";
  }
  return "";
}

bool HasRows(ControlKind kind) {
  return kind == ControlKind::kList || kind == ControlKind::kComboBox;
}
bool HasValue(ControlKind kind) {
  return kind == ControlKind::kCheckBox || kind == ControlKind::kOption ||
         kind == ControlKind::kCalendar || kind == ControlKind::kScrollBar ||
         kind == ControlKind::kProgress || kind == ControlKind::kTimer;
}
bool HasRange(ControlKind kind) {
  return kind == ControlKind::kScrollBar || kind == ControlKind::kProgress;
}

// A whole number in decimal, without sign games beyond a leading minus.
std::optional<int> ParseNumber(const std::string& text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  size_t at = text[0] == '-' ? 1 : 0;
  if (at == text.size()) return std::nullopt;
  long long value = 0;
  for (; at < text.size(); ++at) {
    if (text[at] < '0' || text[at] > '9') return std::nullopt;
    value = value * 10 + (text[at] - '0');
  }
  if (text[0] == '-') value = -value;
  if (value < INT32_MIN || value > INT32_MAX) return std::nullopt;
  return static_cast<int>(value);
}

// "2026-12-31" as the calendar's value 20261231; nullopt for anything but a real date.
std::optional<int> ParseDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const std::optional<int> year = ParseNumber(text.substr(0, 4));
  const std::optional<int> month = ParseNumber(text.substr(5, 2));
  const std::optional<int> day = ParseNumber(text.substr(8, 2));
  if (!year || !month || !day || *year < 1 || *month < 1 || *month > 12 || *day < 1) {
    return std::nullopt;
  }
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (*year % 4 == 0 && *year % 100 != 0) || *year % 400 == 0;
  if (*day > kDays[*month - 1] + (*month == 2 && leap ? 1 : 0)) return std::nullopt;
  return *year * 10000 + *month * 100 + *day;
}

std::optional<logs::LogId> ParseLogName(const std::string& name) {
  for (logs::LogId log :
       {logs::LogId::kServerActivity, logs::LogId::kPlayerActivity, logs::LogId::kHelmError}) {
    if (name == LogKey(log) || name == logs::ListControlName(log)) return log;
  }
  if (name == "helm") return logs::LogId::kHelmError;
  return std::nullopt;
}

// What a request's dialogs were and how they were answered, for the reply.
struct Dialog {
  std::string kind;  // "question", "message", "dialog"
  std::string title;
  std::string text;
  std::string answer;  // "OK", "Cancel", a file name, "" (message)
  std::string by;      // "--answer", "no --answer left", "on screen"
};

// The frontend of one request: answers from the request's --answer list, or passes the
// dialogs on to the screen (a window, and no --answer given).
class RequestFrontend : public Frontend {
 public:
  RequestFrontend(Frontend& shown, const Request& request, bool questions_on_screen)
      : shown_(shown),
        answers_(request.answers),
        on_screen_(questions_on_screen && !request.has_answers) {}

  bool AskOkCancel(const std::string& title, const std::string& text) override {
    bool ok = false;
    std::string by = "on screen";
    if (on_screen_) {
      ok = shown_.AskOkCancel(title, text);
    } else if (next_ < answers_.size()) {
      ok = answers_[next_++];
      by = "--answer";
    } else {
      by = "no --answer left";
    }
    dialogs_.push_back({"question", title, text, ok ? "OK" : "Cancel", by});
    return ok;
  }
  // The list a question comes with: its count line in the reply (`preview` gives the rows),
  // the whole list where the question is asked on the screen.
  bool AskOkCancelWithList(const std::string& title, const std::string& text,
                           const QuestionList& list) override {
    dialogs_.push_back({"list", title, list.summary, "", ""});
    if (!on_screen_) return AskOkCancel(title, text);
    const bool ok = shown_.AskOkCancelWithList(title, text, list);
    dialogs_.push_back({"question", title, text, ok ? "OK" : "Cancel", "on screen"});
    return ok;
  }
  void ShowMessage(const std::string& title, const std::string& text) override {
    if (on_screen_) shown_.ShowMessage(title, text);
    dialogs_.push_back({"message", title, text, "OK", on_screen_ ? "on screen" : ""});
  }
  std::string OpenFileDialog(const std::string& title, const std::string& filter) override {
    return FileDialog(title, on_screen_ ? shown_.OpenFileDialog(title, filter) : "");
  }
  std::string SaveFileDialog(const std::string& title, const std::string& filter) override {
    return FileDialog(title, on_screen_ ? shown_.SaveFileDialog(title, filter) : "");
  }
  void Repaint(const std::string& control) override { shown_.Repaint(control); }
  void DoEvents() override { shown_.DoEvents(); }

  const std::vector<Dialog>& dialogs() const { return dialogs_; }

 private:
  std::string FileDialog(const std::string& title, std::string chosen) {
    dialogs_.push_back({"dialog", title, "", chosen.empty() ? "cancelled" : chosen,
                        on_screen_ ? "on screen" : "no file dialogs over the control socket"});
    return chosen;
  }

  Frontend& shown_;
  std::vector<bool> answers_;
  size_t next_ = 0;
  bool on_screen_;
  std::vector<Dialog> dialogs_;
};

// A small writer of JSON objects, one field after the other.
class JsonObject {
 public:
  JsonObject& Text(const char* key, const std::string& value) { return Raw(key, JsonText(value)); }
  JsonObject& Number(const char* key, long long value) { return Raw(key, std::to_string(value)); }
  JsonObject& Bool(const char* key, bool value) { return Raw(key, value ? "true" : "false"); }
  JsonObject& Raw(const char* key, const std::string& json) {
    body_ += (body_.empty() ? "" : ",") + JsonText(key) + ":" + json;
    return *this;
  }
  std::string str() const { return "{" + body_ + "}"; }

 private:
  std::string body_;
};

std::string JsonArray(const std::vector<std::string>& items) {
  std::string out = "[";
  for (size_t i = 0; i < items.size(); ++i) out += (i ? "," : "") + items[i];
  return out + "]";
}

std::string ControlJson(const Control& control, bool with_rows, const std::string& prefix = "") {
  JsonObject object;
  object.Text("name", prefix + control.name())
      .Text("kind", KindName(control.kind()))
      .Bool("enabled", control.enabled())
      .Text("text", control.text());
  // Where the main window shows it, for clients that lay the controls out by tab.
  if (const ui::ControlPlace* place = prefix.empty() ? ui::FindControlPlace(control.name())
                                                     : nullptr) {
    object.Text("tab", std::string(place->tab)).Text("group", std::string(place->group));
  }
  if (HasValue(control.kind())) object.Number("value", control.value());
  if (HasRange(control.kind())) {
    object.Number("minimum", control.minimum()).Number("maximum", control.maximum());
  }
  if (HasRows(control.kind())) {
    object.Number("selected", control.selected());
    if (with_rows) {
      std::vector<std::string> rows;
      for (const std::string& row : control.rows()) rows.push_back(JsonText(row));
      object.Raw("rows", JsonArray(rows));
    } else {
      object.Number("row_count", static_cast<long long>(control.rows().size()));
    }
  }
  return object.str();
}

std::string ListLine(const std::string& name, const char* kind, const char* state,
                     const std::string& shown) {
  char head[160];
  std::snprintf(head, sizeof head, "%-44s %-9s %-8s ", name.c_str(), kind, state);
  return head + Utf8(shown) + "\n";
}

// The open windows first, then every control of each: the main window's by their own names,
// the editor's as frmEditPlayer.NAME.
Reply List(MainWindow& model, ReplyFormat format) {
  const editor::PlayerEditor* open = model.editor_session().editor();
  const std::string editor_caption = open != nullptr ? open->caption() : "";
  Reply reply;
  std::vector<std::string> windows, items;
  auto window = [&](const char* name, bool is_open, const std::string& caption) {
    if (format == ReplyFormat::kJson) {
      windows.push_back(
          JsonObject().Text("name", name).Bool("open", is_open).Text("caption", caption).str());
    } else {
      reply.out += ListLine(name, "window", is_open ? "open" : "closed", caption);
    }
  };
  window(kMainWindowName, true, kMainWindowCaption);
  window(kEditorWindowName, open != nullptr, editor_caption);
  auto controls = [&](const Controls& set, const std::string& prefix) {
    for (const std::string& name : set.names()) {
      const Control& control = set.Get(name);
      if (format == ReplyFormat::kJson) {
        items.push_back(ControlJson(control, false, prefix));
        continue;
      }
      std::string shown = control.text();
      if (HasRows(control.kind())) {
        shown = std::to_string(control.rows().size()) + " rows, selected " +
                std::to_string(control.selected());
      }
      reply.out += ListLine(prefix + name, KindName(control.kind()),
                            control.enabled() ? "enabled" : "disabled", shown);
    }
  };
  controls(model.controls(), "");
  if (open != nullptr) controls(open->controls(), std::string(kEditorWindowName) + ".");
  if (format == ReplyFormat::kJson) {
    reply.out =
        JsonObject().Raw("windows", JsonArray(windows)).Raw("controls", JsonArray(items)).str() +
        "\n";
  }
  return reply;
}

Reply Get(const Control& control, const std::string& name, ReplyFormat format) {
  if (format == ReplyFormat::kJson) {
    const std::string prefix = name.substr(0, name.size() - control.name().size());
    return Reply{kExitDone, ControlJson(control, true, prefix) + "\n", ""};
  }
  std::string out = "name: " + name + "\nkind: " + KindName(control.kind()) +
                    "\nenabled: " + (control.enabled() ? "yes" : "no") +
                    "\ntext: " + Utf8(control.text()) + "\n";
  if (HasValue(control.kind())) out += "value: " + std::to_string(control.value()) + "\n";
  if (HasRange(control.kind())) {
    out += "range: " + std::to_string(control.minimum()) + " to " +
           std::to_string(control.maximum()) + "\n";
  }
  if (HasRows(control.kind())) {
    out += "selected: " + std::to_string(control.selected()) +
           "\nrows: " + std::to_string(control.rows().size()) + "\n";
    for (size_t i = 0; i < control.rows().size(); ++i) {
      out += "  " + std::to_string(i) + ": " + Utf8(control.rows()[i]) + "\n";
    }
  }
  return Reply{kExitDone, out, ""};
}

const char* ServerState(MainWindow& model) {
  if (model.start_up_outcome() == StartUpOutcome::kOffline) return "offline";
  return model.supervision().running() ? "running" : "stopped";
}

Reply Status(MainWindow& model, ReplyFormat format) {
  const Control& timer = model.controls().Get("tmrMainEventTimer");
  const long long online =
      static_cast<long long>(model.controls().Get("lstPlayersOnline").rows().size());
  // An open editor holds the main event timer: it is said with what closes it by itself.
  editor::EditorSession& session = model.editor_session();
  const editor::PlayerEditor* open = session.editor();
  const bool editing = open != nullptr && open->mode() == editor::EditorMode::kEdit;
  const int idle = open != nullptr ? open->inactivity() : 0;
  const int left = idle < editor::kInactivityLimit ? editor::kInactivityLimit - idle : 0;
  if (format == ReplyFormat::kJson) {
    JsonObject object;
    object.Text("status", model.status().text())
        .Text("server", ServerState(model))
        .Bool("timer", timer.enabled())
        .Number("timer_interval", timer.value())
        .Number("players_online", online);
    if (model.supervision().crash_budget_spent()) object.Bool("crash_budget_spent", true);
    if (open != nullptr) {
      object.Raw("editor", JsonObject()
                               .Text("window", kEditorWindowName)
                               .Text("mode", editing ? "edit" : "view")
                               .Text("player", session.player())
                               .Number("idle_seconds", idle)
                               .Number("closes_in_seconds", left)
                               .str());
    }
    return Reply{kExitDone, object.str() + "\n", ""};
  }
  std::string out = "status: " + Utf8(model.status().text()) + "\nserver: " + ServerState(model) +
                    "\ntimer: " +
                    (timer.enabled() ? "running, every " + std::to_string(timer.value()) + " ms"
                                     : std::string("stopped")) +
                    "\nplayers online: " + std::to_string(online) + "\n";
  if (model.supervision().crash_budget_spent()) {
    out += "crash budget: spent (the server crashed too often; Start Server starts it again)\n";
  }
  if (open != nullptr) {
    out += "editor: " + std::string(kEditorWindowName) + (editing ? " editing " : " viewing ") +
           Utf8(session.player()) + ", idle " + std::to_string(idle) + " s, closes by itself in " +
           std::to_string(left) + " s without a request to it\n";
  }
  return Reply{kExitDone, out, ""};
}

Reply Logs(MainWindow& model, const Request& request) {
  Reply reply;
  LogReply lines(model.logs(), request);
  while (lines.Next(SIZE_MAX, &reply.out)) {
  }
  return reply;
}

// The change a set, check or select request makes, and the event it fires; or the reason
// it cannot be made (*reply filled).
struct Action {
  std::function<void()> change;
  ControlEvent event = ControlEvent::kClick;
  std::string done;  // what the reply says was done
};

std::optional<Action> PlanSet(Controls& controls, const Control& control,
                              const std::string& argument, Reply* reply) {
  const std::string name = control.name();
  if (control.kind() == ControlKind::kText) {
    const std::string text = Utf8ToWindows1252(argument);
    return Action{[&controls, name, text] { controls.SetText(name, text); }, ControlEvent::kChange,
                  "set " + name};
  }
  if (control.kind() == ControlKind::kScrollBar) {
    const std::optional<int> value = ParseNumber(argument);
    if (!value || *value < control.minimum() || *value > control.maximum()) {
      *reply =
          BadRequest(name + " takes a whole number from " + std::to_string(control.minimum()) +
                     " to " + std::to_string(control.maximum()) + ", not \"" + argument + "\"");
      return std::nullopt;
    }
    return Action{[&controls, name, v = *value] { controls.SetValue(name, v); },
                  ControlEvent::kChange, "set " + name + " to " + argument};
  }
  if (control.kind() == ControlKind::kCalendar) {
    const std::optional<int> date = ParseDate(argument);
    if (!date) {
      *reply = BadRequest(name + " takes a date as YYYY-MM-DD, not \"" + argument + "\"");
      return std::nullopt;
    }
    return Action{[&controls, name, v = *date] { controls.SetValue(name, v); },
                  ControlEvent::kChange, "set " + name + " to " + argument};
  }
  *reply = BadRequest(name + " is a " + KindName(control.kind()) +
                      ": set takes a text box, a scroll bar or a calendar");
  return std::nullopt;
}

std::optional<Action> PlanCheck(Controls& controls, const Control& control,
                                const std::string& argument, Reply* reply) {
  const std::string name = control.name();
  if (control.kind() != ControlKind::kCheckBox && control.kind() != ControlKind::kOption) {
    *reply = BadRequest(name + " is a " + KindName(control.kind()) +
                        ": check takes a check box or an option button");
    return std::nullopt;
  }
  if (argument != "0" && argument != "1") {
    *reply = BadRequest("check takes 0 or 1, not \"" + argument + "\"");
    return std::nullopt;
  }
  const int value = argument == "1" ? 1 : 0;
  if (control.kind() == ControlKind::kOption && value == 0) {
    *reply = BadRequest(name + " is an option button: choose another option of its group instead");
    return std::nullopt;
  }
  if (control.value() == value) {
    // A person would not click it: it already shows that state.
    return Action{nullptr, ControlEvent::kClick,
                  name + " is already " + (value ? "checked" : "unchecked") + ": nothing done"};
  }
  return Action{[&controls, name, value] { controls.SetValue(name, value); }, ControlEvent::kClick,
                std::string(value ? "checked " : "unchecked ") + name};
}

std::optional<Action> PlanSelect(Controls& controls, const Control& control,
                                 const std::string& argument, Reply* reply) {
  const std::string name = control.name();
  if (!HasRows(control.kind())) {
    *reply = BadRequest(name + " is a " + KindName(control.kind()) +
                        ": select takes a list or a combo box");
    return std::nullopt;
  }
  const int rows = static_cast<int>(control.rows().size());
  int row = -1;
  if (!argument.empty() && argument[0] == '=') {
    const std::string wanted = Utf8ToWindows1252(argument.substr(1));
    for (int i = 0; i < rows && row < 0; ++i) {
      if (control.rows()[i] == wanted) row = i;
    }
    if (row < 0) {
      *reply = BadRequest(name + " has no row \"" + argument.substr(1) + "\"");
      return std::nullopt;
    }
  } else {
    const std::optional<int> index = ParseNumber(argument);
    if (!index || *index < 0 || *index >= rows) {
      *reply = BadRequest("row \"" + argument + "\" is out of range: " + name + " has " +
                          std::to_string(rows) + " rows" +
                          (rows > 0 ? " (0 to " + std::to_string(rows - 1) + ")" : ""));
      return std::nullopt;
    }
    row = *index;
  }
  const ControlEvent event =
      control.kind() == ControlKind::kList ? ControlEvent::kClick : ControlEvent::kChange;
  return Action{
      [&controls, name, row] { controls.Select(name, row); }, event,
      // In the window's code page, as every text of a reply until it is sent.
      "selected row " + std::to_string(row) + " of " + name + ": " + control.rows()[row]};
}

std::string DialogsText(const std::vector<Dialog>& dialogs) {
  std::string out;
  for (const Dialog& dialog : dialogs) {
    out += "[" + dialog.kind + "] " + Utf8(dialog.title) + ": " + Utf8(dialog.text);
    if (dialog.kind == "question") {
      out += " -> " + dialog.answer + " (" + dialog.by + ")";
    } else if (dialog.kind == "dialog") {
      out += " -> " + Utf8(dialog.answer) + " (" + dialog.by + ")";
    }
    out += "\n";
  }
  return out;
}

std::string DialogsJson(const std::vector<Dialog>& dialogs) {
  std::vector<std::string> items;
  for (const Dialog& dialog : dialogs) {
    JsonObject object;
    object.Text("kind", dialog.kind).Text("title", dialog.title).Text("text", dialog.text);
    if (dialog.kind != "message" && dialog.kind != "list") {
      object.Text("answer", dialog.answer).Text("by", dialog.by);
    }
    items.push_back(object.str());
  }
  return JsonArray(items);
}

Reply Act(MainWindow& model, Controls& controls, const std::string& control_name,
          const Request& request, bool questions_on_screen) {
  const Control& control = controls.Get(control_name);
  Reply reply;
  std::optional<Action> action;
  if (request.verb == "set") {
    action = PlanSet(controls, control, request.argument, &reply);
  } else if (request.verb == "check") {
    action = PlanCheck(controls, control, request.argument, &reply);
  } else if (request.verb == "select") {
    action = PlanSelect(controls, control, request.argument, &reply);
  } else if (control.kind() != ControlKind::kButton) {
    reply = BadRequest(request.name + " is a " + KindName(control.kind()) +
                       ": click takes a button (check, select and set take the others)");
  } else {
    action = Action{nullptr, ControlEvent::kClick, "clicked " + request.name};
  }
  if (!action) return reply;
  if (!control.enabled()) {
    return Refused(request.name + " is disabled (greyed out in the window): nothing done");
  }

  Frontend* shown = model.attached_frontend();
  RequestFrontend frontend(shown ? *shown : model.fallback_frontend(), request,
                           questions_on_screen);
  model.set_frontend(&frontend);
  bool handled = true;
  const bool clicks = request.verb == "click";
  if (clicks || action->change) {
    if (action->change) action->change();
    handled = controls.Fire(control_name, action->event);
  }
  model.set_frontend(shown);

  if (clicks && !handled) {
    return Refused(request.name + " does nothing in this version of the console");
  }
  if (request.format == ReplyFormat::kJson) {
    reply.out = JsonObject()
                    .Text("done", action->done)
                    .Raw("dialogs", DialogsJson(frontend.dialogs()))
                    .Text("status", model.status().text())
                    .str() +
                "\n";
  } else {
    reply.out = Utf8(action->done) + "\n" + DialogsText(frontend.dialogs()) +
                "status: " + Utf8(model.status().text()) + "\n";
  }
  return reply;
}

}  // namespace

const char* LogKey(logs::LogId log) {
  switch (log) {
    case logs::LogId::kServerActivity:
      return "server";
    case logs::LogId::kPlayerActivity:
      return "player";
    case logs::LogId::kHelmError:
      return "error";
  }
  return "";
}

bool ParseRequest(const std::vector<std::string>& words, Request* request, Reply* reply) {
  if (words.size() < 2 || (words[0] != "text" && words[0] != "json")) {
    *reply = BadRequest("a request needs a format (text or json) and a verb");
    return false;
  }
  *request = Request();
  request->format = words[0] == "json" ? ReplyFormat::kJson : ReplyFormat::kText;
  request->verb = words[1];
  const VerbShape* shape = FindVerb(request->verb);
  if (shape == nullptr) {
    *reply = BadRequest("unknown verb \"" + request->verb +
                        "\" (list, get, set, check, select, click, log, status, preview, "
                        "quarantine, restore, journal, crashes)");
    return false;
  }
  std::vector<std::string> positional;
  for (size_t i = 2; i < words.size(); ++i) {
    const std::string& word = words[i];
    if (word == "--answer") {
      if (i + 1 == words.size() || (words[i + 1] != "ok" && words[i + 1] != "cancel")) {
        *reply = BadRequest("--answer takes ok or cancel");
        return false;
      }
      request->answers.push_back(words[++i] == "ok");
      request->has_answers = true;
    } else if (word == "--follow" && request->verb == "log") {
      request->follow = true;
    } else if (const VerbOption* option = FindOption(request->verb, word)) {
      if (option->takes_value && i + 1 == words.size()) {
        *reply = BadRequest(word + " takes a value: usage: " + shape->usage);
        return false;
      }
      request->options[option->option] = option->takes_value ? words[++i] : "";
    } else if (word.size() > 2 && word.compare(0, 2, "--") == 0 && request->verb != "set") {
      *reply = BadRequest("unknown option " + word + " for " + request->verb);
      return false;
    } else {
      positional.push_back(word);
    }
  }
  if (request->verb == "log") {
    if (positional.size() > 1) {
      *reply = BadRequest("usage: " + std::string(shape->usage));
      return false;
    }
    if (positional.size() == 1) {
      request->log = ParseLogName(positional[0]);
      if (!request->log) {
        *reply = BadRequest("unknown log \"" + positional[0] + "\" (server, player or error)");
        return false;
      }
    }
    return true;
  }
  if (request->verb == "crashes") {
    // The newest N reports whole; without N, the list.
    if (positional.size() > 1) {
      *reply = BadRequest("usage: " + std::string(shape->usage));
      return false;
    }
    if (!positional.empty()) {
      int count = 0;
      const std::string& text = positional[0];
      const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
      if (error != std::errc() || end != text.data() + text.size() || count <= 0) {
        *reply = BadRequest("crashes takes a number of reports above 0, not \"" + text + "\"");
        return false;
      }
      request->name = text;
    }
    return true;
  }
  if (request->verb == "restore") {
    // An entry's id, or --last, not both.
    if (positional.size() + request->options.count("last") != 1) {
      *reply = BadRequest("usage: " + std::string(shape->usage));
      return false;
    }
    if (!positional.empty()) request->name = positional[0];
    return true;
  }
  if (static_cast<int>(positional.size()) != shape->positional) {
    *reply = BadRequest(std::string(positional.size() < static_cast<size_t>(shape->positional)
                                        ? "missing argument"
                                        : "too many arguments") +
                        ": usage: " + shape->usage);
    return false;
  }
  if (!positional.empty()) request->name = positional[0];
  if (positional.size() > 1) request->argument = positional[1];
  return true;
}

bool IsActing(const Request& request) {
  // A preview reads every candidate's file again into the list: between two ticks too.
  return request.verb == "set" || request.verb == "check" || request.verb == "select" ||
         request.verb == "click" || request.verb == "preview" || request.verb == "restore";
}

namespace {

Reply Preview(MainWindow& model, const std::string& kind, ReplyFormat format) {
  size_t index = 0;
  while (index < std::size(kPreviewKinds) && kind != kPreviewKinds[index]) ++index;
  if (index == std::size(kPreviewKinds)) {
    std::string kinds;
    for (const char* known : kPreviewKinds) kinds += (kinds.empty() ? "" : ", ") + std::string(known);
    return BadRequest("unknown preview kind \"" + kind + "\" (" + kinds + ")");
  }
  std::string refusal;
  const std::vector<maintenance::PreviewItem> items =
      index < maintenance::PruneOperations().size()
          ? model.PreviewPruning(maintenance::PruneOperations()[index], &refusal)
          : model.PreviewMaintenance();
  if (!refusal.empty()) return Refused(refusal);
  size_t characters = 0;
  for (const maintenance::PreviewItem& item : items) characters += item.character.empty() ? 0 : 1;
  const std::string summary = std::to_string(characters) + " characters and " +
                              std::to_string(items.size() - characters) +
                              " folders would be removed";
  Reply reply;
  if (format == ReplyFormat::kJson) {
    std::vector<std::string> objects;
    for (const maintenance::PreviewItem& item : items) {
      objects.push_back(JsonObject()
                            .Text("rule", item.rule)
                            .Text("value", item.value)
                            .Text("character", item.character)
                            .Text("account_folder", item.account_folder)
                            .Text("file", item.file)
                            .str());
    }
    reply.out = JsonObject().Text("kind", kind).Raw("remove", JsonArray(objects)).Text(
                    "summary", summary).str() + "\n";
    return reply;
  }
  for (const maintenance::PreviewItem& item : items) {
    reply.out += Utf8(item.rule + ": " +
                      (item.character.empty() ? item.account_folder
                                              : item.character + " (" + item.account_folder + ")") +
                      ", " + item.value) +
                 "\n";
  }
  reply.out += summary + "\n";
  return reply;
}

Reply QuarantineEntries(MainWindow& model, ReplyFormat format) {
  const std::vector<safety::QuarantineEntry> entries = model.quarantine_folder().List();
  Reply reply;
  std::vector<std::string> objects;
  for (const safety::QuarantineEntry& entry : entries) {
    std::set<std::string> accounts;
    for (const safety::QuarantinedFile& file : entry.files) accounts.insert(file.account);
    if (format == ReplyFormat::kJson) {
      std::vector<std::string> files;
      for (const safety::QuarantinedFile& file : entry.files) {
        files.push_back(JsonObject()
                            .Text("account", file.account)
                            .Text("name", file.name)
                            .Text("original", file.original)
                            .Raw("size", std::to_string(file.size))
                            .Text("sha256", file.sha256)
                            .Raw("record", file.record.empty() ? "false" : "true")
                            .str());
      }
      objects.push_back(JsonObject()
                            .Text("entry", entry.id)
                            .Text("time", entry.time)
                            .Text("action", entry.action)
                            .Text("rule", entry.rule)
                            .Text("limit", entry.limit)
                            .Text("actor", entry.actor)
                            .Raw("readable", entry.readable ? "true" : "false")
                            .Raw("files", JsonArray(files))
                            .str());
      continue;
    }
    reply.out += Utf8(entry.id + "  " + entry.time + "  " + entry.action +
                      (entry.limit.empty() ? "" : " (" + entry.limit + ")") + " by " +
                      entry.actor + ": " + std::to_string(entry.files.size()) + " files of " +
                      std::to_string(accounts.size()) + " accounts" +
                      (entry.readable ? "" : ", MANIFEST DAMAGED: cannot be restored")) +
                 "\n";
  }
  if (format == ReplyFormat::kJson) {
    reply.out = JsonObject()
                    .Text("folder", model.quarantine_folder().root())
                    .Raw("entries", JsonArray(objects))
                    .str() +
                "\n";
  } else {
    reply.out += std::to_string(entries.size()) + " entries in " +
                 Utf8(model.quarantine_folder().root()) + "\n";
  }
  return reply;
}

Reply Restore(MainWindow& model, const Request& request) {
  const auto only = request.options.find("only");
  const std::string account = only == request.options.end() ? "" : only->second;
  const std::string entry = request.name.empty() ? maintenance::kLastEntry : request.name;
  const maintenance::RestoreOutcome outcome = model.RestoreQuarantine(entry, account);
  if (!outcome.found) {
    return Refused(entry == maintenance::kLastEntry
                       ? std::string("the quarantine holds no whole entry to restore")
                       : "no quarantine entry \"" + entry + "\" (see: helmsman-ctl quarantine)");
  }
  Reply reply;
  const std::string summary = "restored " + std::to_string(outcome.report.restored.size()) +
                              " files and " + std::to_string(outcome.records) +
                              " player records from " + outcome.entry;
  if (request.format == ReplyFormat::kJson) {
    std::vector<std::string> restored, problems;
    for (const safety::QuarantinedFile& file : outcome.report.restored) {
      restored.push_back(JsonObject().Text("account", file.account).Text("name", file.name).str());
    }
    for (const std::string& problem : outcome.report.problems) {
      problems.push_back(JsonObject().Text("problem", problem).str());
    }
    reply.out = JsonObject()
                    .Text("entry", outcome.entry)
                    .Raw("restored", JsonArray(restored))
                    .Raw("records", std::to_string(outcome.records))
                    .Raw("problems", JsonArray(problems))
                    .str() +
                "\n";
  } else {
    for (const safety::QuarantinedFile& file : outcome.report.restored) {
      reply.out += Utf8("restored " + file.account + "/" + file.name) + "\n";
    }
    reply.out += summary + "\n";
    for (const std::string& problem : outcome.report.problems) {
      reply.err += Utf8("not restored: " + problem) + "\n";
    }
  }
  // Something kept back is a refusal the script must see; what came back stays back.
  if (!outcome.report.problems.empty()) reply.exit_code = kExitRefused;
  return reply;
}

}  // namespace

namespace {

// A text of the journal's text reply: as it is, or in double quotes (with \" and \\) when it
// is empty or holds a blank, a quote or an equals sign.
std::string JournalWord(const std::string& text) {
  if (!text.empty() && text.find_first_of(" \t\"=\\") == std::string::npos) return Utf8(text);
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') quoted.push_back('\\');
    quoted.push_back(c);
  }
  return Utf8(quoted + "\"");
}

// "YYYY-MM-DD", "YYYY-MM-DDTHH:MM" or "YYYY-MM-DDTHH:MM:SS" (a blank for the T allowed), as
// the journal's times begin; nullopt for anything else.
std::optional<std::string> JournalSince(std::string text) {
  static const std::string kShape = "dddd-dd-ddTdd:dd:dd";
  if (text.size() > 10 && text[10] == ' ') text[10] = 'T';
  if (text.size() != 10 && text.size() != 16 && text.size() != 19) return std::nullopt;
  for (size_t i = 0; i < text.size(); ++i) {
    const bool digit = text[i] >= '0' && text[i] <= '9';
    if (kShape[i] == 'd' ? !digit : text[i] != kShape[i]) return std::nullopt;
  }
  return text;
}

// The journal's entries that pass the request's filters, oldest first: one line each, as
// text (time, action, actor, account and character ("-" for none), details key=value) or as
// the journal's own JSON line.
Reply JournalEntries(MainWindow& model, const Request& request) {
  safety::JournalFilter filter;
  auto option = [&](const char* name) -> const std::string* {
    const auto found = request.options.find(name);
    return found == request.options.end() ? nullptr : &found->second;
  };
  if (const std::string* player = option("player")) filter.character = Utf8ToWindows1252(*player);
  if (const std::string* account = option("account")) filter.account = Utf8ToWindows1252(*account);
  if (const std::string* since = option("since")) {
    const std::optional<std::string> time = JournalSince(*since);
    if (!time) {
      return BadRequest("--since takes a date YYYY-MM-DD or a time YYYY-MM-DDTHH:MM[:SS], not \"" +
                        *since + "\"");
    }
    filter.since = *time;
  }
  if (const std::string* last = option("last")) {
    size_t count = 0;
    const auto [end, error] = std::from_chars(last->data(), last->data() + last->size(), count);
    if (error != std::errc() || end != last->data() + last->size() || count == 0) {
      return BadRequest("--last takes a number of entries above 0, not \"" + *last + "\"");
    }
    filter.last = count;
  }
  Reply reply;
  for (const safety::JournalEntry& entry : model.journal().Read(filter)) {
    if (request.format == ReplyFormat::kJson) {
      reply.out += safety::JournalLine(entry);
      continue;
    }
    std::string line = entry.time + " " + JournalWord(entry.action) + " " +
                       JournalWord(entry.actor) + " " +
                       (entry.account.empty() ? "-" : JournalWord(entry.account)) + " " +
                       (entry.character.empty() ? "-" : JournalWord(entry.character));
    for (const auto& [key, value] : entry.details) {
      line += " " + JournalWord(key) + "=" + JournalWord(value);
    }
    reply.out += line + "\n";
  }
  return reply;
}

Reply Crashes(MainWindow& model, const Request& request) {
  const std::vector<std::string> names =
      server::ListCrashReports(model.files(), model.program_folder());
  Reply reply;
  const size_t count = request.name.empty() ? 0 : std::stoul(request.name);
  std::vector<std::string> items;
  for (size_t i = 0; i < names.size(); ++i) {
    if (count == 0) {
      items.push_back(request.format == ReplyFormat::kJson ? JsonText(names[i]) : names[i]);
      continue;
    }
    if (i == count) break;
    std::string text, error;
    if (!model.files().ReadFile(platform::JoinPath(model.program_folder(), names[i]), &text,
                                &error)) {
      text = "(cannot be read: " + error + ")\r\n";
    }
    if (request.format == ReplyFormat::kJson) {
      items.push_back(JsonObject().Text("name", names[i]).Text("text", text).str());
    } else {
      std::string plain;
      for (char c : text) {
        if (c != '\r') plain += c;
      }
      items.push_back("== " + names[i] + " ==\n" + Utf8(plain));
    }
  }
  if (request.format == ReplyFormat::kJson) {
    reply.out = JsonObject().Raw("reports", JsonArray(items)).str() + "\n";
  } else {
    for (const std::string& item : items) reply.out += item + (count == 0 ? "\n" : "");
    if (names.empty()) reply.out = "no crash reports\n";
  }
  return reply;
}

// The actor the journal names for what a request does, for the request's time.
class RequestActor {
 public:
  RequestActor(MainWindow& model, const std::string& actor)
      : model_(model), before_(model.actor()) {
    static const std::string ctl_actor = "helmsman-ctl:" + platform::CurrentUserName();
    model_.set_actor(actor.empty() ? ctl_actor : actor);
  }
  ~RequestActor() { model_.set_actor(before_); }
  RequestActor(const RequestActor&) = delete;
  RequestActor& operator=(const RequestActor&) = delete;

 private:
  MainWindow& model_;
  std::string before_;
};

}  // namespace

Reply Execute(MainWindow& model, const Request& request, bool questions_on_screen) {
  RequestActor actor(model, request.actor);
  if (request.verb == "list") return List(model, request.format);
  if (request.verb == "status") return Status(model, request.format);
  if (request.verb == "log") return Logs(model, request);
  if (request.verb == "preview") return Preview(model, request.name, request.format);
  if (request.verb == "journal") return JournalEntries(model, request);
  if (request.verb == "quarantine") return QuarantineEntries(model, request.format);
  if (request.verb == "restore") return Restore(model, request);
  if (request.verb == "crashes") return Crashes(model, request);
  // "WINDOW.NAME" names a control of that window; a name alone one of the main window.
  const size_t dot = request.name.find('.');
  const std::string window =
      dot == std::string::npos ? kMainWindowName : request.name.substr(0, dot);
  const std::string name = dot == std::string::npos ? request.name : request.name.substr(dot + 1);
  Controls* controls = nullptr;
  if (window == kMainWindowName) {
    controls = &model.controls();
  } else if (window == kEditorWindowName) {
    editor::PlayerEditor* open = model.editor_session().editor();
    if (open == nullptr) {
      return Refused(std::string(kEditorWindowName) +
                     " is not open (click cmdEditPlayer or cmdViewPlayer): nothing done");
    }
    // A request to the editor is its operator at work: its inactivity time-out starts again.
    open->MouseMoved();
    controls = &open->controls();
  } else {
    return BadRequest("unknown window \"" + window + "\" (" + kMainWindowName + " or " +
                      kEditorWindowName + ")");
  }
  if (!controls->Has(name)) {
    return BadRequest("unknown control \"" + request.name +
                      "\" (helmsman-ctl list shows them all)");
  }
  if (request.verb == "get") return Get(controls->Get(name), request.name, request.format);
  return Act(model, *controls, name, request, questions_on_screen);
}

bool ReadyToAct(MainWindow& model) {
  return model.controls().firing() == 0 && !model.editor_session().busy();
}

LogReply::LogReply(const logs::Logs& logs, const Request& request)
    : logs_(logs), request_(request) {
  for (logs::LogId log :
       {logs::LogId::kServerActivity, logs::LogId::kPlayerActivity, logs::LogId::kHelmError}) {
    if (request.log && *request.log != log) continue;
    parts_.push_back({log, 0, logs.lines(log).size(), logs.erasures(log)});
  }
}

bool LogReply::Next(size_t max_bytes, std::string* out) {
  const size_t start = out->size();
  while (part_ < parts_.size() && out->size() - start < max_bytes) {
    Part& part = parts_[part_];
    const std::vector<std::string>& lines = logs_.lines(part.log);
    if (part.next >= part.end || logs_.erasures(part.log) != part.erasures) {
      ++part_;
      continue;
    }
    *out += FollowedLine(request_, part.log, lines[part.next++]);
  }
  return out->size() > start;
}

std::string FollowedLine(const Request& request, logs::LogId log, const std::string& line) {
  if (request.format == ReplyFormat::kJson) {
    return JsonObject().Text("log", LogKey(log)).Text("line", line).str() + "\n";
  }
  if (request.log) return Utf8(line) + "\n";
  return "[" + std::string(LogName(log)) + "] " + Utf8(line) + "\n";
}

}  // namespace helmsman::ui::control
