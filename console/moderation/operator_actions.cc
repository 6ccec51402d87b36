#include "console/moderation/operator_actions.h"

#include "console/server/supervision.h"

namespace helmsman::moderation {

std::string SelectedRow(const ui::Controls& controls, const std::string& list) {
  const ui::Control& control = controls.Get(list);
  const int row = control.selected();
  if (row < 0 || row >= static_cast<int>(control.rows().size())) return "";
  return control.rows()[static_cast<size_t>(row)];
}

void ResumeTimer(ui::Controls& controls) {
  const bool running = controls.Get("cmdToggleServer").text() == server::kStopServerCaption;
  controls.SetEnabled("tmrMainEventTimer", running);
}

}  // namespace helmsman::moderation
