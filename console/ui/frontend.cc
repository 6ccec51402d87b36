#include "console/ui/frontend.h"

namespace helmsman::ui {

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
