// Where the main window shows each of its controls: the tab of `SSTab1` and the inner tab
// within it, as the tabs' forms lay them out. The web console groups the controls this way.
#ifndef HELMSMAN_CONSOLE_UI_CONTROL_TABS_H_
#define HELMSMAN_CONSOLE_UI_CONTROL_TABS_H_

#include <string_view>

namespace helmsman::ui {

struct ControlPlace {
  std::string_view name;
  std::string_view tab;    // "Operation" ... "Logs"
  std::string_view group;  // the inner tab ("Timed Banners"); "" when the tab has none
};

// The place of a control by its name ("txtTimedBanner_0"); null for the controls above the
// tabs and for names the forms lack.
const ControlPlace* FindControlPlace(std::string_view name);

}  // namespace helmsman::ui

#endif  // HELMSMAN_CONSOLE_UI_CONTROL_TABS_H_
