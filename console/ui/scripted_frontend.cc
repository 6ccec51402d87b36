#include "console/ui/scripted_frontend.h"

#include <algorithm>
#include <utility>

namespace helmsman::ui {

bool ScriptedFrontend::AskOkCancel(const std::string& title, const std::string& text) {
  if (at_next_question_) std::exchange(at_next_question_, nullptr)();
  bool ok = false;
  if (!answers_.empty()) {
    ok = answers_.front();
    answers_.pop_front();
  }
  shown_.push_back("ask [" + title + "] " + text + (ok ? " -> OK" : " -> Cancel"));
  return ok;
}

bool ScriptedFrontend::AskOkCancelWithList(const std::string& title, const std::string& text,
                                           const QuestionList& list) {
  lists_.push_back(list);
  return AskOkCancel(title, text);
}

void ScriptedFrontend::ShowMessage(const std::string& title, const std::string& text) {
  shown_.push_back("message [" + title + "] " + text);
}

std::string ScriptedFrontend::NextFileName() {
  if (file_names_.empty()) return "";
  std::string name = file_names_.front();
  file_names_.pop_front();
  return name;
}

std::string ScriptedFrontend::OpenFileDialog(const std::string& title, const std::string& filter) {
  std::string name = NextFileName();
  shown_.push_back("open [" + title + "] " + filter + " -> " + name);
  return name;
}

std::string ScriptedFrontend::SaveFileDialog(const std::string& title, const std::string& filter) {
  std::string name = NextFileName();
  shown_.push_back("save [" + title + "] " + filter + " -> " + name);
  return name;
}

void ScriptedFrontend::Repaint(const std::string& control) { repainted_.push_back(control); }

int ScriptedFrontend::repaints(const std::string& control) const {
  return static_cast<int>(std::count(repainted_.begin(), repainted_.end(), control));
}

}  // namespace helmsman::ui
