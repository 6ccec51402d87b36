#include "console/ui/frontend.h"

namespace helmsman::ui {

void StatusLine::Set(const std::string& text) {
  text_ = text;
  if (observer_) observer_(text_);
  if (frontend_) frontend_->Repaint("lblStatus");
}

}  // namespace helmsman::ui
