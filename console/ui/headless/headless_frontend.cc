#include "console/ui/headless/headless_frontend.h"

#include <algorithm>

#include "console/ui/code_page.h"
#include "platform/event_loop.h"

namespace helmsman::ui {

namespace {

// DoEvents runs what is ready, but never loops for ever on a source that is always ready.
constexpr int kMaxEventsPerDoEvents = 1000;

}  // namespace

const char* LogName(logs::LogId log) {
  switch (log) {
    case logs::LogId::kServerActivity:
      return "Server Activity Log";
    case logs::LogId::kPlayerActivity:
      return "Player Activity Log";
    case logs::LogId::kHelmError:
      return "HELM Error Log";
  }
  return "";
}

void PrintLogLine(std::ostream& out, logs::LogId log, const std::string& line) {
  out << '[' << LogName(log) << "] " << Windows1252ToUtf8(line) << std::endl;
}

void HeadlessFrontend::Print(const std::string& kind, const std::string& title,
                             const std::string& text) {
  out_ << '[' << kind << "] " << Windows1252ToUtf8(title) << ": " << Windows1252ToUtf8(text);
}

bool HeadlessFrontend::AskOkCancel(const std::string& title, const std::string& text) {
  bool ok = false;
  const char* reason = "";
  switch (answers_) {
    case HeadlessAnswers::kYes:
      ok = true;
      reason = "--yes";
      break;
    case HeadlessAnswers::kNo:
      reason = "--no";
      break;
    case HeadlessAnswers::kUnattended:
      ok = settings_.chkRunHELMUnattended != 0;
      reason = ok ? "Run HELM unattended is on" : "Run HELM unattended is off";
      break;
  }
  Print("question", title, text);
  out_ << " -> " << (ok ? "OK" : "Cancel") << " (" << reason << ')' << std::endl;
  return ok;
}

bool HeadlessFrontend::AskOkCancelWithList(const std::string& title, const std::string& text,
                                           const QuestionList& list) {
  Print("list", title, list.summary);
  out_ << '\n';
  const size_t shown = std::min(list.rows.size(), kListedRows);
  for (size_t i = 0; i < shown; ++i) {
    std::string cells;
    for (size_t c = 0; c < list.rows[i].size(); ++c) {
      cells += (c == 0 ? "" : " | ") + list.rows[i][c];
    }
    Print("list", title, cells);
    out_ << '\n';
  }
  if (list.rows.size() > shown) {
    Print("list", title, "... and " + std::to_string(list.rows.size() - shown) + " more");
    out_ << '\n';
  }
  return AskOkCancel(title, text);
}

void HeadlessFrontend::ShowMessage(const std::string& title, const std::string& text) {
  Print("message", title, text);
  out_ << std::endl;
}

std::string HeadlessFrontend::CancelDialog(const std::string& title) {
  Print("dialog", title, "cancelled (no file dialogs without a display)");
  out_ << std::endl;
  return "";
}

std::string HeadlessFrontend::OpenFileDialog(const std::string& title, const std::string&) {
  return CancelDialog(title);
}

std::string HeadlessFrontend::SaveFileDialog(const std::string& title, const std::string&) {
  return CancelDialog(title);
}

void HeadlessFrontend::DoEvents() { platform::DispatchPendingEvents(kMaxEventsPerDoEvents); }

}  // namespace helmsman::ui
