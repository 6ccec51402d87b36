// What the operator's moderation actions share.
#ifndef HELMSMAN_CONSOLE_MODERATION_OPERATOR_ACTIONS_H_
#define HELMSMAN_CONSOLE_MODERATION_OPERATOR_ACTIONS_H_

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "console/safety/journal.h"
#include "console/ui/controls.h"

namespace helmsman::moderation {

// The text of the row the list has selected; "" when none is.
std::string SelectedRow(const ui::Controls& controls, const std::string& list);

// Switches the main event timer on again after an action that paused it, but only while the
// server is still the console's: an operator who stopped the server while a command waited
// keeps it stopped.
void ResumeTimer(ui::Controls& controls);

// Who acts, as the journal names them: what actor gives, "operator" when it is empty.
std::string ActorName(const std::function<std::string()>& actor);

// Appends an action on a character to the journal (nothing when journal is nullptr); the
// account is the account folder's name, the last part of its path.
void JournalAction(safety::Journal* journal, const std::string& action, const std::string& actor,
                   const std::string& account_folder, const std::string& character,
                   std::vector<std::pair<std::string, std::string>> details = {});

}  // namespace helmsman::moderation

#endif  // HELMSMAN_CONSOLE_MODERATION_OPERATOR_ACTIONS_H_
