// The controls of the main window `frmMain`: every control by its name, kind, caption,
// tool tip and range, with the settings controls bound to their fields of the Settings
// record. This list is the contract between the presentation model and the views: the Qt
// form has one widget per name, the tests drive the model by the same names.
#ifndef HELMSMAN_CONSOLE_UI_MAIN_WINDOW_CONTROLS_H_
#define HELMSMAN_CONSOLE_UI_MAIN_WINDOW_CONTROLS_H_

#include <string>
#include <vector>

#include "console/settings/settings.h"
#include "console/ui/controls.h"

namespace helmsman::ui {

inline constexpr char kMainWindowCaption[] = "Helmsman mk.V -- Voxbrine";

// The most characters `txtChatText` holds: QVAdmin takes commands of at most 498 characters,
// and "message " takes 8 of them.
inline constexpr int kChatTextMaxLength = 490;

// The tabs of `SSTab1`, in order.
const std::vector<std::string>& MainWindowTabs();

// The controls the server toggle enables on start and disables on stop, in that order.
const std::vector<std::string>& ServerDependentControls();

// Adds every control of the main window to controls, binding the settings controls to
// their fields in settings (which must outlive controls). Controls start in the state the
// window shows before start-up has run.
void AddMainWindowControls(Controls& controls, settings::Settings& settings);

// The name of a control array element: "txtTimedBanner" and 3 give "txtTimedBanner_3".
std::string ElementName(const std::string& name, int index);

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_MAIN_WINDOW_CONTROLS_H_
