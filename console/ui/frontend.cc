#include "console/ui/frontend.h"

namespace helmsman::ui {

bool Frontend::AskOkCancelWithList(const std::string& title, const std::string& text,
                                   const QuestionList&) {
  return AskOkCancel(title, text);
}

std::string RemovalCount(size_t characters, size_t folders) {
  auto count = [](size_t n, const char* what) {
    return std::to_string(n) + " " + what + (n == 1 ? "" : "s");
  };
  std::string text;
  if (characters > 0) text = count(characters, "character");
  if (folders > 0) text += (text.empty() ? "" : " and ") + count(folders, "folder");
  return (text.empty() ? "nothing" : text) + " would be removed";
}

void Frontend::ShowVersionWindow(const std::string& title, const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\n") + line;
  ShowMessage(title, text);
}

void StatusLine::Set(const std::string& text) {
  text_ = text;
  if (observer_) observer_(text_);
  if (frontend_) frontend_->Repaint("lblStatus");
}

}  // namespace helmsman::ui
