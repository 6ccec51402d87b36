// What the operator's moderation actions share.
#ifndef HELMSMAN_CONSOLE_MODERATION_OPERATOR_ACTIONS_H_
#define HELMSMAN_CONSOLE_MODERATION_OPERATOR_ACTIONS_H_

#include <string>

#include "console/ui/controls.h"

namespace helmsman::moderation {

// The text of the row the list has selected; "" when none is.
std::string SelectedRow(const ui::Controls& controls, const std::string& list);

// Switches the main event timer on again after an action that paused it, but only while the
// server is still the console's: an operator who stopped the server while a command waited
// keeps it stopped.
void ResumeTimer(ui::Controls& controls);

}  // namespace helmsman::moderation

#endif  // HELMSMAN_CONSOLE_MODERATION_OPERATOR_ACTIONS_H_
